// kd215-sim's end of the serial line: a pseudo-terminal (or a real device), and replies sent at line pace.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kd215 {

struct SimLine {
    int fd = -1;         // pty master or the device: what the controller reads and writes
    int slaveFd = -1;    // the sim's own hold on the slave, so clients' closes cause no hangup
    int watchFd = -1;    // inotify on the slave: clients opening and closing the port
    bool isPty = false;
    std::string path;      // the slave or the device
    std::string linkPath;  // symlink to the slave, "" for none
    int clientOpens = 0;   // client opens of the slave not yet closed
};

// Opens a pseudo-terminal, both sides raw 38400 8N2, and points `linkPath` (when not empty) at its
// slave, replacing an existing symlink but never a file.
bool openPtyLine(SimLine& line, const std::string& linkPath, std::string& error);

// Opens a real serial device raw at 38400 8N2.
bool openDeviceLine(SimLine& line, const std::string& devicePath, std::string& error);

// Closes everything and removes the link when it still points at this line's slave.
void closeLine(SimLine& line);

// Reads the clients' opens and closes of the slave; appends one text per event. While no client
// has the port open, reply bytes nobody read are discarded, as a closed port's driver buffer is.
void takePortEvents(SimLine& line, std::vector<std::string>& notes);

// 38400 baud, 8N2: a start bit, eight data bits and two stop bits per byte.
constexpr int64_t kLineBaud = 38400;
constexpr int64_t kBitsPerByte = 11;

// Time `count` bytes take on the line (286.5 us each).
inline int64_t lineTimeNanoseconds(std::size_t count) {
    return static_cast<int64_t>(count) * kBitsPerByte * 1000000000LL / kLineBaud;
}

// Monotonic clock in nanoseconds.
int64_t monotonicNanoseconds();
void sleepUntil(int64_t monotonicDeadline);

// Sends `bytes`: on a pty in small pieces, each when its last byte would have arrived over the real
// line; on a device all at once, the UART keeping the pace. Returns false with `error` when not
// all bytes could be written (a full pty nobody reads, a failing device).
bool sendAtLinePace(const SimLine& line, const uint8_t* bytes, std::size_t count, std::string& error);

}  // namespace kd215
