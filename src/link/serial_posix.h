// The termios backend of the serial seam: a tty or pseudo-terminal, polled without threads.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include "link/serial_port.h"

namespace kd215 {

// Takes the open line out of exclusive mode; async-signal-safe, for a handler that ends the
// process while a port is open.
void releaseExclusiveLine();

// One port at a time, raw 38400 8N2, no flow control. The Windows time-out rules are kept in
// software: every poll moves what the driver has ready and then applies the deadlines.
//
// Defined outcomes beyond the seam's: a poll on a closed port is Failed with EBADF; a poll when
// nothing was started since the open is Failed with EINVAL; a read or write that purge()
// abandoned is Failed with ECANCELED; a write not handed to the driver whole within 120 ms per
// byte is Failed with ETIMEDOUT. A finished transfer reports the same result at every poll.
class PosixSerialPort final : public SerialPort {
public:
    PosixSerialPort() = default;
    ~PosixSerialPort() override;
    PosixSerialPort(const PosixSerialPort&) = delete;
    PosixSerialPort& operator=(const PosixSerialPort&) = delete;

    // Opens portDevicePath(name): a name without a slash is looked up under /dev ("ttyUSB0").
    OpenResult open(const std::string& name) override;
    bool isOpen() const override { return fd_ >= 0; }
    void close() override;

    void startWrite(const uint8_t* data, std::size_t n) override;
    IoResult pollWrite() override;
    void startRead(uint8_t* into, std::size_t n) override;
    IoResult pollRead() override;
    void purge() override;
    void waitForIo(unsigned milliseconds) override;

    uint32_t lastOpenError() const override { return static_cast<uint32_t>(openError_); }

private:
    using Clock = std::chrono::steady_clock;

    struct Transfer {
        bool started = false;
        bool finished = false;
        IoResult result;
        uint8_t* target = nullptr;        // a read's buffer
        const uint8_t* source = nullptr;  // a write's data
        std::size_t wanted = 0;
        std::size_t moved = 0;
        Clock::time_point deadline;    // 120 ms per byte from the start
        Clock::time_point lastByteAt;  // a read's latest arrival, for the 100 ms interval
    };

    OpenResult configureLine();
    void advanceRead();
    void advanceWrite();
    static void begin(Transfer& transfer, std::size_t n, unsigned msPerByte);
    static void finish(Transfer& transfer, IoStatus status, uint32_t errorCode);
    IoResult poll(Transfer& transfer, void (PosixSerialPort::*advance)());

    int fd_ = -1;
    int openError_ = 0;
    Transfer read_;
    Transfer write_;
};

}  // namespace kd215
