// kd215-sim: the simulated controller's program: options, the poll() loop, logging, control file and memory file.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "link/controller_model.h"
#include "memory_file.h"
#include "sim_line.h"
#include "sim_options.h"
#include "platform/files.h"

namespace kd215 {
namespace {

constexpr int64_t kMillisecond = 1000000LL;
constexpr int64_t kControlCheckInterval = 100 * kMillisecond;

volatile sig_atomic_t stopRequested = 0;

void requestStop(int) { stopRequested = 1; }

struct SimRun {
    SimOptions options;
    SimController controller;
    SimLine line;
    FILE* log = nullptr;
    int64_t lastRxTime = 0;
    int64_t lastControlCheck = 0;
};

void report(const SimRun& run, const std::string& text) {
    if (!run.options.quiet) std::fprintf(stderr, "kd215-sim: %s\n", text.c_str());
}

void reportError(const std::string& text) { std::fprintf(stderr, "kd215-sim: %s\n", text.c_str()); }

// "12.345678 RX 1B 03 E2 # note": monotonic seconds with microseconds, a tag, the rest.
void logLine(SimRun& run, const char* tag, const std::string& text) {
    const int64_t now = monotonicNanoseconds();
    char stamp[48];
    std::snprintf(stamp, sizeof stamp, "%lld.%06lld", static_cast<long long>(now / 1000000000LL),
                  static_cast<long long>((now % 1000000000LL) / 1000));
    const std::string line = std::string(stamp) + " " + tag + " " + text;
    if (run.log) {
        std::fprintf(run.log, "%s\n", line.c_str());
        std::fflush(run.log);
    }
    report(run, line);
}

void logEvent(SimRun& run, const std::string& text) { logLine(run, "EV", text); }

void applyControlCommand(SimRun& run, const ControlCommand& command) {
    SimController& sim = run.controller;
    switch (command.kind) {
        case ControlCommandKind::None:
            break;
        case ControlCommandKind::Fault:
            addFault(sim, command.fault.kind, command.fault.remaining);
            break;
        case ControlCommandKind::Clear:
            clearFaults(sim);
            break;
        case ControlCommandKind::Unplug:
            sim.unplugged = true;
            sim.assembled = 0;
            break;
        case ControlCommandKind::Plug:
            sim.unplugged = false;
            break;
        case ControlCommandKind::Reload: {
            std::string error;
            if (run.options.memoryPath.empty()) {
                reportError("reload: no --memory file to reload");
                logEvent(run, "control error: reload without --memory");
            } else if (!loadMemoryFile(run.options.memoryPath, sim.memory, error)) {
                reportError("reload: " + error + "; memory kept as it was");
                logEvent(run, "control error: " + error);
            }
            break;
        }
    }
}

void checkControlFile(SimRun& run) {
    run.lastControlCheck = monotonicNanoseconds();
    const std::string& path = run.options.controlPath;
    if (path.empty()) return;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    std::string text;
    char buffer[1024];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    ::unlink(path.c_str());

    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string lineText = text.substr(start, end - start);
        start = end + 1;
        if (!lineText.empty() && lineText.back() == '\r') lineText.pop_back();
        ControlCommand command;
        std::string error;
        if (!parseControlLine(lineText, command, error)) {
            reportError("control file: " + error);
            logEvent(run, "control error: " + error);
            continue;
        }
        if (command.kind == ControlCommandKind::None) continue;
        logEvent(run, "control: " + lineText);
        applyControlCommand(run, command);
    }
}

void handleEvents(SimRun& run, std::vector<SimRxEvent>& events, int64_t rxTime) {
    bool saved = false;
    for (const SimRxEvent& event : events) {
        if (event.memoryChanged && !run.options.memoryPath.empty()) {
            std::string error;
            // On disk before the acknowledgement leaves, so a client that has the ACK can read it.
            if (saveMemoryFile(run.options.memoryPath, run.controller.memory, error)) {
                saved = true;
            } else {
                reportError(error);
                logEvent(run, "memory file not written: " + error);
            }
        }
        std::string rxText = hexBytes(event.received.data(), event.received.size());
        std::string note = event.note;
        if (event.recognised && event.request == SimRequest::Restart) {
            note = "restart " + std::to_string(run.controller.restartCount);
        }
        if (!note.empty()) rxText += " # " + note;
        logLine(run, "RX", rxText);

        if (event.reply.empty()) continue;
        sleepUntil(rxTime + static_cast<int64_t>(run.options.turnaroundMs) * kMillisecond);
        logLine(run, "TX", hexBytes(event.reply.data(), event.reply.size()));
        std::string error;
        if (!sendAtLinePace(run.line, event.reply.data(), event.reply.size(), error)) {
            report(run, error);
            logEvent(run, error);
        }
    }
    if (saved) syncMemoryFile(run.options.memoryPath);
    events.clear();
}

// Reads what the line has; false when the line failed for good.
bool readLine(SimRun& run, std::vector<SimRxEvent>& events) {
    uint8_t buffer[512];
    for (;;) {
        ssize_t n = ::read(run.line.fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) return true;
        if (n < 0 && errno == EIO && run.line.isPty) return true;  // no slave open: nothing came
        if (n <= 0) {
            reportError(n == 0 ? run.line.path + " closed" : "cannot read " + run.line.path +
                                                                 ": " + systemErrorText(static_cast<uint32_t>(errno)));
            return false;
        }
        const int64_t rxTime = monotonicNanoseconds();
        run.lastRxTime = rxTime;
        checkControlFile(run);
        receiveBytes(run.controller, buffer, static_cast<std::size_t>(n), events);
        handleEvents(run, events, rxTime);
    }
}

void takeClientEvents(SimRun& run) {
    std::vector<std::string> notes;
    takePortEvents(run.line, notes);
    for (const auto& note : notes) logEvent(run, note);
}

int64_t nextWake(const SimRun& run) {
    int64_t wake = run.lastControlCheck + kControlCheckInterval;
    if (hasPartialFrame(run.controller)) {
        wake = std::min(wake, run.lastRxTime + static_cast<int64_t>(run.options.gapMs) * kMillisecond);
    }
    return wake;
}

int serve(SimRun& run) {
    std::vector<SimRxEvent> events;
    sigset_t unblocked;
    sigemptyset(&unblocked);
    while (!stopRequested) {
        const int64_t waitFor = std::max<int64_t>(0, nextWake(run) - monotonicNanoseconds());
        struct timespec timeout {};
        timeout.tv_sec = static_cast<time_t>(waitFor / 1000000000LL);
        timeout.tv_nsec = static_cast<long>(waitFor % 1000000000LL);
        struct pollfd fds[2] = {{run.line.fd, POLLIN, 0}, {run.line.watchFd, POLLIN, 0}};
        const nfds_t count = run.line.watchFd >= 0 ? 2 : 1;
        // Signals are blocked everywhere but here, so a stop never cuts a reply in half.
        int ready = ::ppoll(fds, count, &timeout, &unblocked);
        if (ready < 0 && errno != EINTR) {
            reportError(std::string("poll failed: ") + systemErrorText(static_cast<uint32_t>(errno)));
            return 1;
        }
        if (stopRequested) break;
        if (ready > 0 && count == 2 && (fds[1].revents & POLLIN)) takeClientEvents(run);
        if (ready > 0 && (fds[0].revents & (POLLIN | POLLERR | POLLHUP))) {
            if (!readLine(run, events)) return 1;
            // A client may have closed the port while its reply was on the way.
            takeClientEvents(run);
        }
        const int64_t now = monotonicNanoseconds();
        if (hasPartialFrame(run.controller) &&
            now - run.lastRxTime >= static_cast<int64_t>(run.options.gapMs) * kMillisecond) {
            noteLineGap(run.controller, events);
            handleEvents(run, events, now);
        }
        if (now - run.lastControlCheck >= kControlCheckInterval) checkControlFile(run);
    }
    return 0;
}

// The controller as the options describe it, its memory from the file, and the log opened.
bool prepareController(SimRun& run) {
    SimController& sim = run.controller;
    sim.firmwareMajor = run.options.firmwareMajor;
    sim.firmwareMinor = run.options.firmwareMinor;
    for (const SimFault& fault : run.options.faults) addFault(sim, fault.kind, fault.remaining);
    std::string error;
    if (!run.options.memoryPath.empty()) {
        const MemoryFileLoad load = loadOrCreateMemoryFile(run.options.memoryPath, sim.memory, error);
        if (load == MemoryFileLoad::Failed) {
            reportError(error);
            return false;
        }
        if (load == MemoryFileLoad::Created) report(run, "created " + run.options.memoryPath + " (all zero)");
    }
    if (!run.options.logPath.empty()) {
        run.log = std::fopen(run.options.logPath.c_str(), "w");
        if (!run.log) {
            reportError("cannot open log " + run.options.logPath + ": " + systemErrorText(static_cast<uint32_t>(errno)));
            return false;
        }
    }
    return true;
}

// SIGTERM, SIGINT and SIGHUP end the sim between exchanges; they are blocked except while it waits.
void catchStopSignals() {
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    struct sigaction action {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    for (int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        sigaddset(&stopSignals, signalNumber);
        sigaction(signalNumber, &action, nullptr);
    }
    sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

// Paths that can never work are refused at the start, as usage errors, rather than at the first
// save or control check, when nobody is looking.
bool pathsUsable(const SimOptions& options, std::string& error) {
    struct stat info {};
    if (!options.memoryPath.empty() && ::stat(options.memoryPath.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        error = "--memory " + options.memoryPath + " is not a regular file (a folder?); name the memory file itself";
        return false;
    }
    if (!options.controlPath.empty()) {
        const std::size_t slash = options.controlPath.rfind('/');
        const std::string folder = slash == std::string::npos ? "." : options.controlPath.substr(0, slash ? slash : 1);
        if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
            error = "--control " + options.controlPath + ": the folder " + folder + " does not exist";
            return false;
        }
    }
    return true;
}

int runSimulator(int argc, char** argv) {
    SimRun run;
    std::string error;
    if (!parseSimOptions(argc, argv, run.options, error)) {
        reportError(error);
        return 2;
    }
    if (run.options.help) {
        std::fputs(simUsageText(), stdout);
        return 0;
    }
    if (!pathsUsable(run.options, error)) {
        reportError(error);
        return 2;
    }
    if (!prepareController(run)) return 1;
    catchStopSignals();

    const bool opened = run.options.devicePath.empty()
                            ? openPtyLine(run.line, run.options.linkPath, error)
                            : openDeviceLine(run.line, run.options.devicePath, error);
    if (!opened) {
        reportError(error);
        if (run.log) std::fclose(run.log);
        return 1;
    }
    run.lastControlCheck = monotonicNanoseconds();
    run.lastRxTime = run.lastControlCheck;
    checkControlFile(run);

    std::printf("kd215-sim: ready on %s\n", run.line.path.c_str());
    std::fflush(stdout);

    const int status = serve(run);
    closeLine(run.line);
    if (run.log) std::fclose(run.log);
    return status;
}

}  // namespace
}  // namespace kd215

int main(int argc, char** argv) { return kd215::runSimulator(argc, argv); }
