// The overlapped-I/O backend of the serial seam for Windows (and Wine).
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "link/serial_port.h"

namespace kd215 {

// One port at a time; one overlapped record for writes and one for reads, each with its own
// event, for the whole life of the object. Error codes are GetLastError() values.
//
// Defined outcomes beyond the seam's: a poll on a closed port is Failed with
// ERROR_INVALID_HANDLE; a poll when nothing was started since the open is Failed with
// ERROR_INVALID_PARAMETER; a transfer aborted by purge() is Failed with ERROR_OPERATION_ABORTED;
// a write that ends short on its time-out is Failed with ERROR_TIMEOUT. A finished transfer
// reports the same result at every poll.
class Win32SerialPort final : public SerialPort {
public:
    Win32SerialPort();
    ~Win32SerialPort() override;
    Win32SerialPort(const Win32SerialPort&) = delete;
    Win32SerialPort& operator=(const Win32SerialPort&) = delete;

    // `name` is a table name ("COM3", "COM12"); it is opened as "\\.\COM3".
    OpenResult open(const std::string& name) override;
    bool isOpen() const override { return handle_ != INVALID_HANDLE_VALUE; }
    void close() override;

    void startWrite(const uint8_t* data, std::size_t n) override;
    IoResult pollWrite() override;
    void startRead(uint8_t* into, std::size_t n) override;
    IoResult pollRead() override;
    void purge() override;
    void waitForIo(unsigned milliseconds) override;

    // The event of the transfer not yet seen finished by a poll (the read's when both are), or
    // NULL. A message loop waits on it with MsgWaitForMultipleObjects; it is signalled when the
    // transfer ends, and also when a transfer failed to start, so that the waiter polls at once.
    HANDLE pendingEvent() const;

    uint32_t lastOpenError() const override { return openError_; }

private:
    enum class Phase { Idle, InFlight, StartFailed, Finished };

    struct Transfer {
        OVERLAPPED overlapped{};
        HANDLE event = NULL;
        Phase phase = Phase::Idle;
        DWORD requested = 0;
        DWORD startError = 0;
        IoResult result;
    };

    OpenResult configureLine();
    void start(Transfer& transfer, bool isRead, void* buffer, std::size_t n);
    IoResult poll(Transfer& transfer, bool isRead);
    // Cancels every transfer under way and waits until the driver has let go of their records.
    void cancelInFlight();

    HANDLE handle_ = INVALID_HANDLE_VALUE;
    DWORD openError_ = 0;
    DWORD eventError_ = 0;
    DCB dcb_{};
    Transfer read_;
    Transfer write_;
};

}  // namespace kd215
