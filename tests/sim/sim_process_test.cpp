// The kd215-sim program itself on a pty: exchanges through its link, memory file, log, control file, clean stop.
#include <gtest/gtest.h>

#ifdef KD215_SIM_PATH

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <numeric>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace kd215 {
namespace {

using Bytes = std::vector<uint8_t>;

const Bytes kProbe = {0x1B, 0x03, 0xE2};
const Bytes kAck = {0x06, 0x03, 0xF7};
const Bytes kVersionRequest = {0x12, 0x03, 0xEB};
const Bytes kScenesRead = {0x12, 0x46, 0x50, 0x00, 0x50, 0x08};

long long nowMs() {
    struct timespec t {};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000LL + t.tv_nsec / 1000000;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

Bytes scenesWrite(const Bytes& payload) {
    Bytes frame = {0x11, 0x46, 0x50, 0x00, 0x50};
    frame.insert(frame.end(), payload.begin(), payload.end());
    frame.push_back(static_cast<uint8_t>(-std::accumulate(frame.begin(), frame.end(), 0u)));
    return frame;
}

class SimProcess : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kd215-simproc-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        folder = pattern;
        link = folder + "/port";
        memory = folder + "/memory.bin";
        log = folder + "/sim.log";
        control = folder + "/control";
    }

    void TearDown() override {
        if (port >= 0) ::close(port);
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        if (outFd >= 0) ::close(outFd);
        std::system(("rm -rf '" + folder + "'").c_str());
    }

    // Starts the sim; stdout and stderr come back through one pipe.
    void start(std::vector<std::string> args) {
        int pipeFds[2];
        ASSERT_EQ(::pipe(pipeFds), 0);
        pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::dup2(pipeFds[1], 1);
            ::dup2(pipeFds[1], 2);
            ::close(pipeFds[0]);
            std::vector<char*> argv;
            argv.push_back(const_cast<char*>(KD215_SIM_PATH));
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(KD215_SIM_PATH, argv.data());
            ::_exit(127);
        }
        ::close(pipeFds[1]);
        outFd = pipeFds[0];
    }

    // Everything the sim printed up to the first newline (or its exit), within `timeoutMs`.
    std::string firstLine(int timeoutMs = 3000) {
        std::string text;
        const long long end = nowMs() + timeoutMs;
        while (text.find('\n') == std::string::npos && nowMs() < end) {
            struct pollfd p {outFd, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(end - nowMs())) <= 0) break;
            char buffer[256];
            ssize_t n = ::read(outFd, buffer, sizeof buffer);
            if (n <= 0) break;
            text.append(buffer, static_cast<std::size_t>(n));
        }
        return text;
    }

    void startReady(std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {"--link", link, "--memory", memory, "--log", log,
                                         "--control", control, "--quiet", "--turnaround-ms", "1"};
        args.insert(args.end(), extra.begin(), extra.end());
        start(args);
        std::string line = firstLine();
        ASSERT_EQ(line.rfind("kd215-sim: ready on /dev/pts/", 0), 0u) << line;
        openPort();
    }

    void openPort() {
        port = ::open(link.c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(port, 0) << link;
        struct termios tio {};
        ASSERT_EQ(::tcgetattr(port, &tio), 0);
        ::cfmakeraw(&tio);
        ASSERT_EQ(::tcsetattr(port, TCSANOW, &tio), 0);
    }

    void closePort() {
        ::close(port);
        port = -1;
    }

    // Writes the request and collects the reply until `expected` bytes came or the line stayed
    // quiet for `quietMs`.
    Bytes transact(const Bytes& request, std::size_t expected, int quietMs = 300) {
        EXPECT_EQ(::write(port, request.data(), request.size()),
                  static_cast<ssize_t>(request.size()));
        Bytes reply;
        while (reply.size() < expected) {
            struct pollfd p {port, POLLIN, 0};
            if (::poll(&p, 1, quietMs) <= 0) break;
            uint8_t buffer[512];
            ssize_t n = ::read(port, buffer, sizeof buffer);
            if (n <= 0) break;
            reply.insert(reply.end(), buffer, buffer + n);
        }
        return reply;
    }

    // Puts commands in place the way the sim asks for (rename). The sim looks before it handles
    // the next frame, so a request sent right after meets the command already applied.
    void command(const std::string& text) {
        const std::string temporary = control + ".new";
        std::ofstream(temporary) << text;
        ASSERT_EQ(::rename(temporary.c_str(), control.c_str()), 0);
    }

    // While idle the sim still looks every 100 ms.
    bool controlTakenWithin(int timeoutMs) {
        const long long end = nowMs() + timeoutMs;
        while (exists(control) && nowMs() < end) ::usleep(5000);
        return !exists(control);
    }

    int stop() {
        ::kill(pid, SIGTERM);
        int status = 0;
        const long long end = nowMs() + 2000;
        while (::waitpid(pid, &status, WNOHANG) == 0 && nowMs() < end) ::usleep(5000);
        pid = -1;
        return status;
    }

    std::string folder, link, memory, log, control;
    pid_t pid = -1;
    int outFd = -1;
    int port = -1;
};

TEST_F(SimProcess, ServesALinkThenStopsCleanly) {
    startReady({"--firmware", "2.07"});
    EXPECT_EQ(transact(kProbe, 3), kAck);
    EXPECT_EQ(transact(kVersionRequest, 8),
              (Bytes{0x13, 0x06, 0x00, 0x00, 0x02, 0x07, 0x02, 0xDC}));

    Bytes payload(80);
    for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<uint8_t>(0xA0 + i);
    EXPECT_EQ(transact(scenesWrite(payload), 3), kAck);
    // On disk by the time the acknowledgement arrives.
    const std::string onDisk = readFile(memory);
    ASSERT_EQ(onDisk.size(), 512u);
    EXPECT_EQ(Bytes(onDisk.begin() + 80, onDisk.begin() + 160), payload);
    EXPECT_EQ(onDisk[79], 0);
    EXPECT_EQ(onDisk[160], 0);

    Bytes reply = transact(kScenesRead, 86);
    ASSERT_EQ(reply.size(), 86u);
    EXPECT_EQ(Bytes(reply.begin() + 5, reply.end() - 1), payload);

    // Every line stamped and tagged; the probe's RX directly followed by its TX.
    const std::string logText = readFile(log);
    std::istringstream lines(logText);
    const std::regex shape(R"(^\d+\.\d{6} (RX|TX|EV) .+$)");
    std::vector<std::string> frames;
    for (std::string line; std::getline(lines, line);) {
        EXPECT_TRUE(std::regex_match(line, shape)) << line;
        if (line.find(" RX ") != std::string::npos || line.find(" TX ") != std::string::npos) {
            frames.push_back(line.substr(line.find(' ') + 1));
        }
    }
    ASSERT_GE(frames.size(), 8u) << logText;
    EXPECT_EQ(frames[0], "RX 1B 03 E2");
    EXPECT_EQ(frames[1], "TX 06 03 F7");
    EXPECT_EQ(frames[3], "TX 13 06 00 00 02 07 02 DC");
    EXPECT_EQ(frames[6], "RX 12 46 50 00 50 08");

    const int status = stop();
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(exists(link));
}

TEST_F(SimProcess, ControlFileInjectsFaultsUnplugsAndReloads) {
    startReady();
    command("fault nak 1\n");
    EXPECT_EQ(transact(kScenesRead, 3), (Bytes{0x15, 0x03, 0xE8}));
    EXPECT_EQ(transact(kScenesRead, 86).size(), 86u);

    command("unplug\n");
    EXPECT_TRUE(transact(kProbe, 3, 150).empty());
    command("plug\n");
    EXPECT_EQ(transact(kProbe, 3), kAck);

    std::string changed(512, '\0');
    changed[80] = 0x77;
    std::ofstream(memory, std::ios::binary) << changed;
    command("reload\n");
    Bytes reply = transact(kScenesRead, 86);
    ASSERT_EQ(reply.size(), 86u);
    EXPECT_EQ(reply[5], 0x77);
    EXPECT_NE(readFile(log).find("EV control: reload"), std::string::npos);

    command("fault silent 1\n");
    EXPECT_TRUE(controlTakenWithin(1000));
    EXPECT_TRUE(transact(kProbe, 3, 150).empty());
    EXPECT_EQ(transact(kProbe, 3), kAck);
}

TEST_F(SimProcess, ReplyLeftUnreadIsGoneWhenThePortIsOpenedAgain) {
    startReady();
    ASSERT_EQ(::write(port, kProbe.data(), kProbe.size()), 3);
    ::usleep(50000);  // the acknowledgement now waits unread
    closePort();
    ::usleep(50000);
    openPort();
    EXPECT_EQ(transact(kVersionRequest, 8).size(), 8u);
}

TEST_F(SimProcess, PartialFrameIsForgottenAfterTheLineGap) {
    startReady({"--gap-ms", "30"});
    const Bytes partialWrite = {0x11, 0x46, 0x50, 0x00, 0x50, 0x01, 0x02};
    EXPECT_TRUE(transact(partialWrite, 1, 80).empty());
    EXPECT_EQ(transact(kProbe, 3), kAck);
    EXPECT_NE(readFile(log).find("RX 11 46 50 00 50 01 02 # incomplete frame"), std::string::npos)
        << readFile(log);
}

TEST_F(SimProcess, MemoryOrControlPathThatCannotWorkIsRefusedAtTheStart) {
    const auto refused = [this](std::vector<std::string> args, int code, const std::string& says) {
        start(args);
        const std::string output = firstLine();
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        pid = -1;
        ::close(outFd);
        outFd = -1;
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == code) << status << " " << output;
        EXPECT_NE(output.find(says), std::string::npos) << output;
        EXPECT_FALSE(exists(link));
    };
    std::ofstream(memory, std::ios::binary) << std::string(300, 'x');
    refused({"--link", link, "--memory", memory}, 1, "300");
    EXPECT_EQ(readFile(memory).size(), 300u);
    refused({"--link", link, "--memory", folder}, 2, "not a regular file");
    refused({"--link", link, "--control", folder + "/none/control"}, 2, "does not exist");
}

}  // namespace
}  // namespace kd215

#endif  // KD215_SIM_PATH
