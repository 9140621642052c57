// The one seam between the link and a serial line: the engine and the probe see only this.
// One backend per platform: serial_win32.cpp (overlapped I/O), serial_posix.cpp (termios).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kd215 {

enum class IoStatus {
    Complete,  // finished; `bytes` moved (a read may end short on its time-outs)
    Pending,   // still under way: poll again later
    Failed,    // `errorCode` holds the system's error code
};

struct IoResult {
    IoStatus status = IoStatus::Failed;
    uint32_t bytes = 0;
    uint32_t errorCode = 0;
};

enum class OpenResult {
    Opened,
    OpenFailed,       // the device could not be opened ("Błąd otwarcia portu !")
    ConfigureFailed,  // opened, but the line settings were refused ("Błąd konfiguracji portu !")
};

// The program's words for a port that would not open or take its line settings; "" for Opened.
const char* openResultText(OpenResult result);

// The line every port is set to.
extern const char* const kLineMode;  // "baud=38400 parity=N data=8 stop=2"
// Driver queue sizes: the frame buffers' size, so the largest frame fits whole.
constexpr std::size_t kDriverQueueSize = 270;
// Read and write time-outs, in milliseconds.
constexpr unsigned kReadIntervalTimeoutMs = 100;
constexpr unsigned kReadTotalTimeoutPerByteMs = 120;
constexpr unsigned kWriteTotalTimeoutPerByteMs = 120;

class SerialPort {
public:
    virtual ~SerialPort() = default;

    // Opens and configures the named port (a bare table name such as "COM3", or a device path)
    // at kLineMode with the time-outs above. Any port already open is closed first; on failure
    // no port is open.
    virtual OpenResult open(const std::string& name) = 0;
    virtual bool isOpen() const = 0;
    virtual void close() = 0;
    // The system's error code (errno, or GetLastError on Windows) of the last open() that did not
    // succeed; 0 after one that did, or when the backend does not know.
    virtual uint32_t lastOpenError() const { return 0; }

    // Starts writing `n` bytes; `data` stays valid until the write ends. Never reports by itself:
    // a failure to start shows as Failed at the next pollWrite.
    virtual void startWrite(const uint8_t* data, std::size_t n) = 0;
    virtual IoResult pollWrite() = 0;

    // Starts reading up to `n` bytes into `into`, which stays valid until the read ends. The read
    // completes with n bytes, 100 ms after the last byte once one has arrived, or after 120 ms x n
    // in all (then possibly with 0 bytes). A failure to start shows at the next pollRead.
    virtual void startRead(uint8_t* into, std::size_t n) = 0;
    virtual IoResult pollRead() = 0;

    // Aborts the pending write and read and clears both queues.
    virtual void purge() = 0;

    // Blocks at most `milliseconds`, returning early when the pending write or read may have
    // moved on. For callers that have nothing else to do meanwhile (the probe, a command line).
    virtual void waitForIo(unsigned milliseconds) = 0;
};

}  // namespace kd215
