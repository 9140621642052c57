// A kd215-sim process on a pseudo-terminal in a temporary folder, for the programs that drive it.
#pragma once

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "config/byte_buffer.h"

namespace kd215 {

class SimProcess {
public:
    SimProcess() {
        // tmpfs when there is one: a memory file written on a disk busy with other writes can
        // be held back by the kernel long enough for the PC to miss the acknowledgement.
        std::string pattern = (::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
        pattern += "/kd215-sim-XXXXXX";
        dir_ = ::mkdtemp(&pattern[0]);
    }
    ~SimProcess() {
        stop();
        std::system(("rm -rf '" + dir_ + "'").c_str());
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Writes the controller's 512-byte memory, before start or before a "reload".
    void presetMemory(const ByteBuffer& bytes) {
        std::ofstream(dir_ + "/memory.bin", std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

    // Starts the simulator and waits for its ready line; false when it never came.
    bool start(const std::vector<std::string>& extra = {}) {
        std::vector<std::string> args = {KD215_SIM_PATH, "--link", link(), "--memory", dir_ + "/memory.bin",
                                         "--log", dir_ + "/frames.log", "--control", dir_ + "/control",
                                         "--turnaround-ms", "2", "--quiet"};
        args.insert(args.end(), extra.begin(), extra.end());
        int out[2];
        if (::pipe(out) != 0) return false;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);  // a test that crashes takes its simulator along
            ::dup2(out[1], STDOUT_FILENO);
            std::vector<char*> argv;
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        std::string line;
        for (char ch; ::read(out[0], &ch, 1) == 1 && ch != '\n';) line += ch;
        ::close(out[0]);
        return line.rfind("kd215-sim: ready", 0) == 0;
    }

    void stop() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

    // Hands the simulator a control command ("fault silent 1", "reload", ...) and waits until
    // it took it: before the next frame, and at least every 100 ms.
    void control(const std::string& command) {
        const std::string path = dir_ + "/control";
        std::ofstream(path + ".tmp") << command << "\n";
        std::rename((path + ".tmp").c_str(), path.c_str());
        for (int i = 0; i < 50 && ::access(path.c_str(), F_OK) == 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    ByteBuffer memory() const {
        std::ifstream in(dir_ + "/memory.bin", std::ios::binary);
        return ByteBuffer(std::istreambuf_iterator<char>(in), {});
    }

    // The hex bytes of every logged frame in one direction ("RX": received by the controller),
    // once at least `count` have come or a second has passed.
    std::vector<std::string> frames(const std::string& direction, std::size_t count = 0) const {
        std::vector<std::string> result;
        for (int i = 0; i < 100; ++i) {
            result.clear();
            std::ifstream in(dir_ + "/frames.log");
            for (std::string line; std::getline(in, line);) {
                std::istringstream fields(line);
                std::string stamp, dir, hex, byte;
                fields >> stamp >> dir;
                if (dir != direction) continue;
                while (fields >> byte && byte[0] != '#') hex += (hex.empty() ? "" : " ") + byte;
                result.push_back(hex);
            }
            if (result.size() >= count) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return result;
    }

    // Named after its folder's own random part, so that the lines of several simulators have
    // names of their own ("line-Ab12Cd"), as the ports of one machine do.
    std::string link() const { return dir_ + "/line-" + dir_.substr(dir_.size() - 6); }

private:
    std::string dir_;
    pid_t pid_ = -1;
};

}  // namespace kd215
