// Several controllers at once: each port's run on a thread of its own, their lines gathered whole.
#include "commands/many_ports.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <streambuf>
#include <thread>

#include "commands/ctl_commands.h"
#include "commands/ctl_json.h"
#include "link/probe.h"
#include "link/serial_port.h"
#include "platform/files.h"
#include "ports/ctl_platform.h"
#include "ports/port_names.h"

namespace kd215 {

namespace {

const char* const kPortMark = "{port}";

std::string trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::size_t characterCount(const std::string& text) {
    std::size_t n = 0;
    for (const char c : text) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

// On a terminal: what each port is doing, and the whole lines waiting for the main thread,
// which clears the block of progress lines, prints them and draws the block again.
struct Board {
    std::mutex lock;
    std::vector<PortProgress> ports;
    std::vector<bool> done;
    std::vector<std::pair<std::ostream*, std::string>> lines;
};

// Lines written by one port's run, passed on whole to the shared stream with the port's name,
// so that lines of different ports never mix. Standard error keeps the message form:
// "kd215ctl: PORT: ..." then the message's own text. With a board, the lines wait there, and a
// progress text (written after "\r", never ended by "\n") tells the board what the port is doing.
class PortLines final : public std::streambuf {
public:
    PortLines(std::ostream& target, std::mutex& lock, const std::string& name, bool messages, Board* board = nullptr,
              std::size_t index = 0)
        : target_(target), lock_(lock), name_(name), messages_(messages), board_(board), index_(index) {}
    ~PortLines() override {
        if (!pending_.empty() && !progressText_) emit();
    }
    const std::vector<std::string>& lines() const { return lines_; }

protected:
    int overflow(int ch) override {
        if (ch == traits_type::eof()) return 0;
        if (ch == '\r' && board_ != nullptr) {
            showDoing(pending_);
            pending_.clear();
            progressText_ = true;
            return ch;
        }
        if (ch == '\n') progressText_ = false;
        pending_ += static_cast<char>(ch);
        if (ch == '\n') emit();
        return ch;
    }
    int sync() override {
        if (board_ != nullptr && !pending_.empty()) showDoing(pending_);
        return 0;
    }

private:
    void emit() {
        if (pending_.back() == '\n') pending_.pop_back();
        const std::string form = "kd215ctl: ";
        std::string line;
        if (!messages_) {
            line = name_ + ": " + pending_;
        } else if (pending_.rfind(form, 0) == 0) {
            line = form + name_ + ": " + pending_.substr(form.size());
        } else {
            line = form + name_ + ": " + pending_;  // a frame line of -v
        }
        lines_.push_back(pending_);
        if (messages_) showDoing(pending_.rfind(form, 0) == 0 ? pending_.substr(form.size()) : pending_);
        pending_.clear();
        if (board_ != nullptr) {
            std::lock_guard<std::mutex> hold(board_->lock);
            board_->lines.emplace_back(&target_, line);
            return;
        }
        std::lock_guard<std::mutex> hold(lock_);
        target_ << line << '\n';
        target_.flush();
    }

    void showDoing(const std::string& text) {
        const std::string shown = trimmed(text);
        if (board_ == nullptr || !messages_ || shown.empty()) return;
        std::lock_guard<std::mutex> hold(board_->lock);
        board_->ports[index_].doing = shown;
    }

    std::ostream& target_;
    std::mutex& lock_;
    std::string name_;
    bool messages_;
    Board* board_;
    std::size_t index_;
    std::string pending_;
    bool progressText_ = false;  // pending_ came after "\r": a progress text, not a line
    std::vector<std::string> lines_;
};

// One port's run: what it is given and what it leaves.
struct PortRun {
    std::string given;   // as named on the command line or in the file
    std::string stable;  // the name that survives a replug, where the system has one
    std::string device;
    std::string name;    // file-safe, for {port} and the start of its lines
    CtlOptions options;
    int code = kExitDone;
    Json result;
    std::vector<std::string> messages;
    double seconds = 0;
};

std::string replaced(std::string text, const std::string& name) {
    for (std::size_t at; (at = text.find(kPortMark)) != std::string::npos;) text.replace(at, 6, name);
    return text;
}

std::string padded(const std::string& text, std::size_t width) {
    const std::size_t n = characterCount(text);
    return text + std::string(n < width ? width - n : 0, ' ') + "  ";
}

// The names of the outputs one port's run would write: each must hold {port}.
std::vector<std::string> outputNames(const CtlOptions& o) {
    std::vector<std::string> names;
    if (o.command == "read" || o.command == "report") {
        names.push_back(o.output.empty() ? (o.command == "read" ? "kd215" : "raport.html") : o.output);
    }
    if (o.command == "backup" && !o.operands.empty()) names.push_back(o.operands[0]);
    if (!o.logPath.empty()) names.push_back(o.logPath);
    return names;
}

// The ports --ports-from lists: one a line, "#" starts a comment. Exit 5 when it cannot be read.
int readPortsFile(const std::string& path, std::vector<std::string>& ports, std::ostream& err) {
    ByteBuffer bytes;
    const FileReadStatus status = readFileBytes(path, 1 << 20, bytes);
    if (status != FileReadStatus::Ok) {
        err << "kd215ctl: " << path << ": "
            << (status == FileReadStatus::Missing ? "nie ma takiego pliku" : "nie da się odczytać pliku") << "\n";
        return kExitFile;
    }
    std::istringstream lines(std::string(bytes.begin(), bytes.end()));
    for (std::string line; std::getline(lines, line);) {
        line = trimmed(line.substr(0, line.find('#')));
        if (!line.empty()) ports.push_back(line);
    }
    return kExitDone;
}

// Every port of this machine where a controller acknowledges the probe, all probed at once, so
// that silent ports cost one time-out in all. Bluetooth ports stay unopened, as in probe.
std::vector<std::string> answeringPorts() {
    std::vector<std::string> candidates;
    for (const PortEntry& port : listSerialPorts(false)) {
        if (!port.bluetooth) candidates.push_back(port.device);
    }
    std::vector<char> answered(candidates.size(), 0);
    std::vector<std::thread> probes;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        probes.emplace_back([&, i] {
            keepInterruptsFromThisThread();
            std::unique_ptr<SerialPort> port = makeSerialPort();
            const ProbeOutcome outcome = ProbePorts(*port, {{candidates[i], portDevicePath(candidates[i]), "", false}});
            answered[i] = outcome.foundIndex == 0;
            port->close();
        });
    }
    for (std::thread& probe : probes) probe.join();
    std::vector<std::string> found;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        if (answered[i]) found.push_back(candidates[i]);
    }
    return found;
}

// What became of one port, for the table and for "error" in JSON: done, the differences, or the
// failure and its last message (the areas' states after a failed write).
std::string outcomeText(const PortRun& run) {
    std::string why;
    for (auto line = run.messages.rbegin(); line != run.messages.rend() && why.empty(); ++line) {
        std::string text = *line;
        if (text.rfind("kd215ctl: ", 0) == 0) text.erase(0, 10);
        if (text.size() < 11 || text.compare(text.size() - 11, 11, ": przerwano") != 0) why = text;
    }
    const auto withWhy = [&](const char* word) { return why.empty() ? std::string(word) : word + (" – " + why); };
    if (run.code == kExitDone) return "gotowe";
    if (run.code == kExitDifferences) {
        const std::size_t n = run.result.is_object() && run.result.contains("differences") ? run.result["differences"].size() : 0;
        return "różnice: " + std::to_string(n);
    }
    if (run.code >= kExitSignalBase) return withWhy("przerwano");
    if (run.code == kExitNoController) return withWhy("brak sterownika");
    if (run.code == kExitCommunication) return withWhy("błąd komunikacji");
    if (run.code == kExitFile) return withWhy("błąd pliku");
    return withWhy("błąd");
}

std::string secondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", seconds);
    std::string shown = text;
    std::replace(shown.begin(), shown.end(), '.', ',');
    return shown;
}

// The result last, so that a long reason needs no column after it.
void printTable(const std::vector<PortRun>& runs, std::ostream& out) {
    std::size_t nameWidth = 4;
    for (const PortRun& run : runs) nameWidth = std::max(nameWidth, characterCount(run.name));
    out << padded("port", nameWidth) << padded("czas", 7) << "wynik\n";
    for (const PortRun& run : runs) {
        out << padded(run.name, nameWidth) << padded(secondsText(run.seconds), 7) << outcomeText(run) << "\n";
    }
}

Json runJson(const PortRun& run) {
    Json object = {{"schema", kJsonSchema}, {"port", run.stable}, {"device", run.device}, {"exit", run.code}};
    if (run.result.is_object()) {
        for (const auto& [key, value] : run.result.items()) {
            if (!object.contains(key)) object[key] = value;
        }
    } else {
        object["error"] = outcomeText(run);
    }
    return object;
}

}  // namespace

std::string portFileName(const std::string& stableName, int parts) {
    std::size_t start = stableName.size();
    for (int i = 0; i < parts && start != std::string::npos && start > 0; ++i) {
        start = stableName.find_last_of("/\\", start - 1);
    }
    std::string name = stableName.substr(start == std::string::npos ? 0 : start + 1);
    while (!name.empty() && (name[0] == '/' || name[0] == '\\')) name.erase(0, 1);
    for (char& ch : name) {
        const bool plain = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') ||
                           ch == '-' || ch == '_' || ch == '.';
        if (!plain) ch = '_';
    }
    return name.empty() || name == "." || name == ".." ? "port" : name;
}

std::vector<std::string> portFileNames(const std::vector<std::string>& stableNames) {
    std::vector<int> parts(stableNames.size(), 1);
    std::vector<std::string> names(stableNames.size());
    for (bool again = true; again;) {
        again = false;
        for (std::size_t i = 0; i < names.size(); ++i) names[i] = portFileName(stableNames[i], parts[i]);
        for (std::size_t i = 0; i < names.size(); ++i) {
            for (std::size_t j = i + 1; j < names.size(); ++j) {
                if (names[i] != names[j]) continue;
                // Longer only while the name still grows: two names for one port stay alike.
                for (const std::size_t k : {i, j}) {
                    if (portFileName(stableNames[k], parts[k] + 1) != names[k]) {
                        ++parts[k];
                        again = true;
                    }
                }
            }
        }
    }
    return names;
}

std::string progressBlock(const std::vector<PortProgress>& ports, std::size_t columns) {
    std::size_t nameWidth = 0;
    for (const PortProgress& port : ports) nameWidth = std::max(nameWidth, characterCount(port.name));
    const std::size_t limit = columns > 0 ? columns - 1 : 0;
    std::string block;
    for (const PortProgress& port : ports) {
        std::string line = padded(port.name, nameWidth) + padded(secondsText(port.seconds), 7) + port.doing;
        std::size_t kept = 0, end = 0;
        for (; end < line.size(); ++end) {
            if ((static_cast<unsigned char>(line[end]) & 0xC0) == 0x80) continue;  // inside a character
            if (kept == limit) break;
            ++kept;
        }
        line.resize(end);
        block += line + "\n";
    }
    return block;
}

bool runsOnManyPorts(const CtlOptions& o) {
    if (o.command == "ports") return false;
    return o.ports.size() > 1 || !o.portsFrom.empty() || o.allPorts;
}

int runOnManyPorts(const CtlOptions& options, const std::vector<std::string>& args, std::ostream& out,
                   std::ostream& err, bool errIsTerminal) {
    // Every output named once for all ports would be written by each: refused before any port opens.
    for (const std::string& output : outputNames(options)) {
        if (output.find(kPortMark) == std::string::npos) {
            err << "kd215ctl: " << output << ": wiele portów, a jeden plik; nazwa musi zawierać {port} "
                << "(np. kopie/{port}.json) (pomoc: kd215ctl help)\n";
            return kExitUsage;
        }
    }
    std::vector<std::string> given = options.ports;
    if (!options.portsFrom.empty()) {
        const int read = readPortsFile(options.portsFrom, given, err);
        if (read != kExitDone) return read;
    }
    if (options.allPorts) {
        for (const std::string& port : answeringPorts()) {
            if (std::find(given.begin(), given.end(), port) == given.end()) given.push_back(port);
        }
        if (given.empty()) {
            err << "kd215ctl: " << kControllerNotFoundText << "\n";
            return kExitNoController;
        }
    }
    if (given.empty()) {
        err << "kd215ctl: " << options.portsFrom << ": brak portów (pomoc: kd215ctl help)\n";
        return kExitUsage;
    }

    const std::vector<PortEntry> known = listSerialPorts(true);
    std::vector<PortRun> runs(given.size());
    std::vector<std::string> stableNames;
    for (std::size_t i = 0; i < given.size(); ++i) {
        PortRun& run = runs[i];
        run.given = given[i];
        const PortEntry* entry = findPort(known, given[i]);
        run.stable = entry != nullptr ? entry->name : given[i];
        run.device = entry != nullptr ? entry->device : portDevicePath(given[i]);
        stableNames.push_back(run.stable);
    }
    const std::vector<std::string> names = portFileNames(stableNames);
    std::map<std::string, std::string> owners;  // file-safe name -> the port it stands for
    for (std::size_t i = 0; i < given.size(); ++i) {
        PortRun& run = runs[i];
        run.name = names[i];
        const auto [owner, fresh] = owners.emplace(run.name, run.device);
        if (!fresh) {
            err << "kd215ctl: " << given[i] << ": "
                << (owner->second == run.device ? "port podany więcej niż raz"
                                                : "ta sama nazwa {port} (" + run.name + ") co inny port")
                << " (pomoc: kd215ctl help)\n";
            return kExitUsage;
        }
        CtlOptions& o = run.options;
        o = options;
        o.port = given[i];
        o.ports = {given[i]};
        o.portsFrom.clear();
        o.allPorts = false;
        if (o.command == "probe") o.operands = {given[i]};
        if (!o.output.empty()) o.output = replaced(o.output, run.name);
        if (o.command == "backup") o.operands[0] = replaced(o.operands[0], run.name);
        if (!o.logPath.empty()) o.logPath = replaced(o.logPath, run.name);
    }

    // Interruptions come to this thread alone; each line stops at its next safe point and says
    // where it stood, so the whole run is deferred until every line has ended.
    deferInterrupts(true);
    std::mutex outLock, errLock;
    const bool redraw = errIsTerminal && runs.size() > 1 && !options.quiet && !options.json && stderrRedrawsLines();
    Board board;
    for (const PortRun& run : runs) board.ports.push_back({run.name, "", 0});
    board.done.assign(runs.size(), false);
    Board* const shared = redraw ? &board : nullptr;
    const auto started = std::chrono::steady_clock::now();
    std::vector<std::thread> lines;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        lines.emplace_back([&, i] {
            keepInterruptsFromThisThread();
            PortRun& run = runs[i];
            {
                PortLines outLines(out, outLock, run.name, false, shared, i);
                PortLines errLines(err, errLock, run.name, true, shared, i);
                std::ostream runOut(&outLines), runErr(&errLines);
                run.code = runCommand(run.options, args, runOut, runErr, redraw, &run.result);
                runOut.flush();
                runErr.flush();
                run.messages = errLines.lines();
            }  // the last unended line is passed on before the port counts as done
            run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            std::lock_guard<std::mutex> hold(board.lock);
            board.ports[i] = {run.name, outcomeText(run), run.seconds};
            board.done[i] = true;
        });
    }
    // The main thread alone writes while the block is shown: it clears the block, prints the
    // lines that came, and draws the block again, a few times a second until every port is done.
    std::size_t drawn = 0;  // lines of the block now on the screen
    for (bool running = redraw; running;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        std::vector<std::pair<std::ostream*, std::string>> waiting;
        std::vector<PortProgress> ports;
        {
            std::lock_guard<std::mutex> hold(board.lock);
            waiting.swap(board.lines);
            const double now = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            for (std::size_t i = 0; i < board.ports.size(); ++i) {
                if (!board.done[i]) board.ports[i].seconds = now;
            }
            ports = board.ports;
            running = std::find(board.done.begin(), board.done.end(), false) != board.done.end();
        }
        if (drawn > 0) err << "\x1b[" << drawn << "A\r\x1b[J";
        for (const auto& [stream, line] : waiting) {
            *stream << line << '\n';
            stream->flush();
        }
        drawn = 0;
        if (running) {
            err << progressBlock(ports, static_cast<std::size_t>(stderrColumns()));
            drawn = ports.size();
        }
        err.flush();
    }
    for (std::thread& line : lines) line.join();
    deferInterrupts(false);

    int code = kExitDone;
    Json all = Json::array();
    for (const PortRun& run : runs) {
        code = std::max(code, run.code);
        all.push_back(runJson(run));
    }
    if (options.json) {
        out << jsonText(all) << "\n";
    } else {
        printTable(runs, out);
    }
    if (interruptSignal() != 0) code = std::max(code, kExitSignalBase + interruptSignal());
    return code;
}

}  // namespace kd215
