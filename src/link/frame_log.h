// The --log file: every frame on the line with its time, direction, hex bytes and ASCII, and the
// port wrapper that feeds it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>

#include "link/serial_port.h"

namespace kd215 {

// Local time as "2024-05-01 12:00:00", with ".123" milliseconds when asked.
std::string localTimeText(bool withMilliseconds);
// Local time in ISO 8601 with its offset from UTC: "2026-12-07T10:26:10+01:00".
std::string isoLocalTimeText();

// "TX 12 46 50 00 50 08  |.FP.P.|": direction, bytes in hex, then the printable ones as ASCII.
std::string frameLogText(const char* direction, const uint8_t* bytes, std::size_t n);

// Lines are appended and flushed one by one, so a log survives whatever ends the run.
class FrameLog {
public:
    FrameLog() = default;
    ~FrameLog();
    FrameLog(const FrameLog&) = delete;
    FrameLog& operator=(const FrameLog&) = delete;

    // Opens `path` for appending; false with `error` set when it cannot.
    bool open(const std::string& path, std::string& error);
    // Also hands every line, without its line end, to `echo` (-v: the command's sink).
    void echoTo(std::function<void(const std::string&)> echo) { echo_ = std::move(echo); }

    // "TIME TX|RX HEX |ASCII|"
    void frame(const char* direction, const uint8_t* bytes, std::size_t n);
    // "TIME -- text", for what is not a frame: the port opened, a read with nothing, a failure.
    void note(const std::string& text);
    // The system's error code of the first line that could not be written to the file (a full
    // disk), 0 while every line went in.
    int writeError() const { return writeError_; }

private:
    void line(const std::string& text);
    std::FILE* file_ = nullptr;
    std::function<void(const std::string&)> echo_;
    int writeError_ = 0;
};

// A serial port that hands every byte it moves to a FrameLog (when one is open) and counts what
// the line delivered, so that a silent line can be told from a controller that answers badly.
class LoggingPort final : public SerialPort {
public:
    LoggingPort(SerialPort& inner, FrameLog& log) : inner_(inner), log_(log) {}

    OpenResult open(const std::string& name) override;
    bool isOpen() const override { return inner_.isOpen(); }
    uint32_t lastOpenError() const override { return inner_.lastOpenError(); }
    void close() override;
    void startWrite(const uint8_t* data, std::size_t n) override;
    IoResult pollWrite() override;
    void startRead(uint8_t* into, std::size_t n) override;
    IoResult pollRead() override;
    void purge() override;
    void waitForIo(unsigned milliseconds) override { inner_.waitForIo(milliseconds); }

    // Bytes received since this object was made.
    uint64_t bytesReceived() const { return bytesReceived_; }

private:
    SerialPort& inner_;
    FrameLog& log_;
    uint8_t* readInto_ = nullptr;
    bool readOutstanding_ = false;
    bool writeOutstanding_ = false;
    uint64_t bytesReceived_ = 0;
};

}  // namespace kd215
