// A pseudo-terminal pair for the serial tests: the port opens `devicePath`, the test plays the
// device on `master`.
#pragma once

#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "link/serial_port.h"
#include "platform/pty_posix.h"

namespace kd215::test {

struct PtyPair {
    int master = -1;
    std::string devicePath;

    PtyPair() { master = openPseudoTerminal(devicePath); }
    ~PtyPair() { closeMaster(); }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ready() const { return master >= 0 && !devicePath.empty(); }

    void closeMaster() {
        if (master >= 0) ::close(master);
        master = -1;
    }

    void send(const std::vector<uint8_t>& bytes) const {
        if (::write(master, bytes.data(), bytes.size()) < 0) return;
    }

    // What the port wrote, waiting up to `ms` for the first byte and briefly for the rest.
    std::vector<uint8_t> receive(int ms = 500) const {
        std::vector<uint8_t> bytes;
        pollfd watched{master, POLLIN, 0};
        int waitMs = ms;
        while (::poll(&watched, 1, waitMs) > 0 && (watched.revents & POLLIN)) {
            uint8_t chunk[512];
            const ssize_t got = ::read(master, chunk, sizeof(chunk));
            if (got <= 0) break;
            bytes.insert(bytes.end(), chunk, chunk + got);
            waitMs = 20;
        }
        return bytes;
    }
};

// Polls a transfer until it is no longer Pending (or five seconds pass), waiting between polls.
inline IoResult awaitIo(SerialPort& port, bool reading) {
    const auto giveUpAt = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    IoResult result = reading ? port.pollRead() : port.pollWrite();
    while (result.status == IoStatus::Pending && std::chrono::steady_clock::now() < giveUpAt) {
        port.waitForIo(20);
        result = reading ? port.pollRead() : port.pollWrite();
    }
    return result;
}
inline IoResult awaitRead(SerialPort& port) { return awaitIo(port, true); }
inline IoResult awaitWrite(SerialPort& port) { return awaitIo(port, false); }

}  // namespace kd215::test
