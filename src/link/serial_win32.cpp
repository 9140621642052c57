// The overlapped-I/O backend of the serial seam: open, configure, start and poll, purge.
#include "link/serial_win32.h"

#include <initializer_list>

#include "link/port_list.h"

namespace kd215 {

namespace {

// How long a cancelled transfer may take to let go of its overlapped record.
constexpr DWORD kCancelWaitMs = 1000;

}  // namespace

std::string portDevicePath(const std::string& name) {
    // COM10 and above open only with the \\.\ prefix; it does no harm to COM1 to COM9.
    if (name.rfind("\\\\.\\", 0) == 0) return name;
    return "\\\\.\\" + name;
}

Win32SerialPort::Win32SerialPort() {
    // Manual-reset events: ReadFile and WriteFile reset them at the start and the driver sets
    // them at the end, so an event stays signalled exactly while its transfer is over. An
    // auto-reset event would be consumed by the first wait that sees it, and a second wait
    // (the message loop waking for a message first, then waiting again) would sleep through a
    // transfer that has already ended.
    read_.event = CreateEventA(NULL, TRUE, FALSE, NULL);
    if (read_.event == NULL) eventError_ = GetLastError();
    write_.event = CreateEventA(NULL, TRUE, FALSE, NULL);
    if (write_.event == NULL) eventError_ = GetLastError();
}

Win32SerialPort::~Win32SerialPort() {
    close();
    if (read_.event != NULL) CloseHandle(read_.event);
    if (write_.event != NULL) CloseHandle(write_.event);
}

OpenResult Win32SerialPort::open(const std::string& name) {
    close();
    openError_ = 0;
    if (read_.event == NULL || write_.event == NULL) {
        openError_ = eventError_;
        return OpenResult::OpenFailed;
    }
    handle_ = CreateFileA(portDevicePath(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                          FILE_FLAG_OVERLAPPED, NULL);
    if (handle_ == INVALID_HANDLE_VALUE) {
        openError_ = GetLastError();
        return OpenResult::OpenFailed;
    }
    if (configureLine() != OpenResult::Opened) {
        close();
        return OpenResult::ConfigureFailed;
    }
    return OpenResult::Opened;
}

OpenResult Win32SerialPort::configureLine() {
    // All four steps run even after one has failed; any failure fails the configuration.
    bool configured = true;
    auto note = [&](BOOL succeeded) {
        if (succeeded) return;
        if (configured) openError_ = GetLastError();
        configured = false;
    };
    dcb_.DCBlength = sizeof(dcb_);
    note(BuildCommDCBA(kLineMode, &dcb_));
    dcb_.fBinary = TRUE;
    note(SetCommState(handle_, &dcb_));
    note(SetupComm(handle_, kDriverQueueSize, kDriverQueueSize));
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = kReadIntervalTimeoutMs;
    timeouts.ReadTotalTimeoutMultiplier = kReadTotalTimeoutPerByteMs;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutMultiplier = kWriteTotalTimeoutPerByteMs;
    timeouts.WriteTotalTimeoutConstant = 0;
    note(SetCommTimeouts(handle_, &timeouts));
    return configured ? OpenResult::Opened : OpenResult::ConfigureFailed;
}

void Win32SerialPort::close() {
    if (isOpen()) {
        cancelInFlight();
        CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }
    read_.phase = Phase::Idle;
    write_.phase = Phase::Idle;
}

void Win32SerialPort::start(Transfer& transfer, bool isRead, void* buffer, std::size_t n) {
    if (!isOpen()) {
        transfer.phase = Phase::StartFailed;
        transfer.startError = ERROR_INVALID_HANDLE;
        SetEvent(transfer.event);
        return;
    }
    // One overlapped record per direction: a transfer still under way there is given up first
    // (with CancelIo, so is one under way in the other direction).
    if (transfer.phase == Phase::InFlight) cancelInFlight();
    ZeroMemory(&transfer.overlapped, sizeof(transfer.overlapped));
    transfer.overlapped.hEvent = transfer.event;
    transfer.requested = static_cast<DWORD>(n);
    const BOOL finishedAtOnce =
        isRead ? ReadFile(handle_, buffer, transfer.requested, NULL, &transfer.overlapped)
               : WriteFile(handle_, buffer, transfer.requested, NULL, &transfer.overlapped);
    if (finishedAtOnce || GetLastError() == ERROR_IO_PENDING) {
        transfer.phase = Phase::InFlight;
        return;
    }
    transfer.phase = Phase::StartFailed;
    transfer.startError = GetLastError();
    // Wake whoever waits on the event, so that the failure is polled without delay.
    SetEvent(transfer.event);
}

void Win32SerialPort::startWrite(const uint8_t* data, std::size_t n) {
    start(write_, false, const_cast<uint8_t*>(data), n);
}

void Win32SerialPort::startRead(uint8_t* into, std::size_t n) { start(read_, true, into, n); }

IoResult Win32SerialPort::poll(Transfer& transfer, bool isRead) {
    if (!isOpen()) return IoResult{IoStatus::Failed, 0, ERROR_INVALID_HANDLE};
    switch (transfer.phase) {
    case Phase::Idle:
        return IoResult{IoStatus::Failed, 0, ERROR_INVALID_PARAMETER};
    case Phase::Finished:
        return transfer.result;
    case Phase::StartFailed:
        transfer.phase = Phase::Finished;
        transfer.result = IoResult{IoStatus::Failed, 0, transfer.startError};
        return transfer.result;
    case Phase::InFlight:
        break;
    }
    DWORD moved = 0;
    if (GetOverlappedResult(handle_, &transfer.overlapped, &moved, FALSE)) {
        // Windows ends a timed-out write successfully with fewer bytes; Wine fails it with
        // ERROR_TIMEOUT. Both become the same failure.
        const bool shortWrite = !isRead && moved < transfer.requested;
        transfer.result = shortWrite ? IoResult{IoStatus::Failed, moved, ERROR_TIMEOUT}
                                     : IoResult{IoStatus::Complete, moved, 0};
    } else {
        const DWORD error = GetLastError();
        if (error == ERROR_IO_INCOMPLETE || error == ERROR_IO_PENDING)
            return IoResult{IoStatus::Pending, 0, 0};
        // A read that times out with no byte at all is a success with 0 bytes on Windows and
        // ERROR_TIMEOUT under Wine: the same finished read either way.
        transfer.result = (isRead && error == ERROR_TIMEOUT)
                              ? IoResult{IoStatus::Complete, moved, 0}
                              : IoResult{IoStatus::Failed, moved, error};
    }
    transfer.phase = Phase::Finished;
    return transfer.result;
}

IoResult Win32SerialPort::pollWrite() { return poll(write_, false); }

IoResult Win32SerialPort::pollRead() { return poll(read_, true); }

void Win32SerialPort::purge() {
    if (!isOpen()) return;
    PurgeComm(handle_, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    // Wine leaves a pending overlapped read alone on PurgeComm; CancelIo ends it.
    cancelInFlight();
}

void Win32SerialPort::cancelInFlight() {
    if (read_.phase != Phase::InFlight && write_.phase != Phase::InFlight) return;
    // CancelIo reaches the transfers this thread started on the handle: all of them, as the
    // port is used from one thread only.
    CancelIo(handle_);
    for (Transfer* transfer : {&read_, &write_}) {
        if (transfer->phase != Phase::InFlight) continue;
        // The overlapped record belongs to the driver until the cancelled transfer has ended.
        DWORD moved = 0;
        if (WaitForSingleObject(transfer->event, kCancelWaitMs) == WAIT_OBJECT_0)
            GetOverlappedResult(handle_, &transfer->overlapped, &moved, FALSE);
        transfer->phase = Phase::Finished;
        transfer->result = IoResult{IoStatus::Failed, moved, ERROR_OPERATION_ABORTED};
    }
}

HANDLE Win32SerialPort::pendingEvent() const {
    for (const Transfer* transfer : {&read_, &write_}) {
        if (transfer->phase == Phase::InFlight || transfer->phase == Phase::StartFailed)
            return transfer->event;
    }
    return NULL;
}

void Win32SerialPort::waitForIo(unsigned milliseconds) {
    HANDLE events[2];
    DWORD count = 0;
    for (const Transfer* transfer : {&read_, &write_}) {
        if (transfer->phase == Phase::InFlight || transfer->phase == Phase::StartFailed)
            events[count++] = transfer->event;
    }
    if (count == 0) return;
    WaitForMultipleObjects(count, events, FALSE, milliseconds);
}

}  // namespace kd215
