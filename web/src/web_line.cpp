// The page's serial line behind the engine's seam: every call goes to Module.kdLine (line.js).
#include "web_line.h"

#include <emscripten.h>

#include "link/port_list.h"

namespace kd215 {

namespace {

// 0 opened, 1 the port would not open, 2 it took no line settings.
EM_ASYNC_JS(int, lineOpen, (const char* name), {
    return await Module.kdLine.open(UTF8ToString(name));
});
EM_JS(void, lineClose, (), { Module.kdLine.close(); });
EM_JS(void, lineWrite, (const uint8_t* data, int n), {
    Module.kdLine.write(HEAPU8.slice(data, data + n));
});
// 0 under way, 1 done, 2 failed.
EM_JS(int, lineWriteState, (), { return Module.kdLine.writeState(); });
// Moves at most `max` received bytes to `into`; -1 when the line failed (adapter pulled out).
EM_JS(int, lineTake, (uint8_t* into, int max), {
    const bytes = Module.kdLine.take(max);
    if (bytes === null) return -1;
    HEAPU8.set(bytes, into);
    return bytes.length;
});
EM_JS(void, linePurge, (), { Module.kdLine.purge(); });
EM_ASYNC_JS(void, lineWait, (int milliseconds), { await Module.kdLine.wait(milliseconds); });

IoResult complete(std::size_t bytes) { return {IoStatus::Complete, static_cast<uint32_t>(bytes), 0}; }
IoResult pending() { return {IoStatus::Pending, 0, 0}; }
IoResult lost() { return {IoStatus::Failed, 0, kLineLostError}; }

}  // namespace

// The page opens a port by the name its menu shows.
std::string portDevicePath(const std::string& name) { return name; }

OpenResult WebSerialPort::open(const std::string& name) {
    close();
    const int opened = lineOpen(name.c_str());
    open_ = opened == 0;
    if (opened == 0) return OpenResult::Opened;
    return opened == 2 ? OpenResult::ConfigureFailed : OpenResult::OpenFailed;
}

void WebSerialPort::close() {
    readPending_ = false;
    if (!open_) return;
    open_ = false;
    lineClose();
}

void WebSerialPort::startWrite(const uint8_t* data, std::size_t n) {
    if (open_) lineWrite(data, static_cast<int>(n));
}

IoResult WebSerialPort::pollWrite() {
    if (!open_) return lost();
    switch (lineWriteState()) {
        case 0: return pending();
        case 1: return complete(0);
        default: return lost();
    }
}

void WebSerialPort::startRead(uint8_t* into, std::size_t n) {
    readPending_ = true;
    readInto_ = into;
    readWanted_ = n;
    readGot_ = 0;
    readStartedMs_ = emscripten_get_now();
    lastByteMs_ = 0;
}

IoResult WebSerialPort::pollRead() {
    if (!open_ || !readPending_) return lost();
    const int taken = lineTake(readInto_ + readGot_, static_cast<int>(readWanted_ - readGot_));
    if (taken < 0) {
        readPending_ = false;
        return lost();
    }
    const double now = emscripten_get_now();
    if (taken > 0) {
        readGot_ += static_cast<std::size_t>(taken);
        lastByteMs_ = now;
    }
    // The time-outs of every open port: n bytes, or 100 ms quiet after a byte, or 120 ms a byte.
    const bool full = readGot_ == readWanted_;
    const bool quiet = readGot_ > 0 && now - lastByteMs_ >= kReadIntervalTimeoutMs;
    const bool expired = now - readStartedMs_ >= static_cast<double>(kReadTotalTimeoutPerByteMs) * readWanted_;
    if (!full && !quiet && !expired) return pending();
    readPending_ = false;
    return complete(readGot_);
}

void WebSerialPort::purge() {
    readPending_ = false;
    if (open_) linePurge();
}

void WebSerialPort::waitForIo(unsigned milliseconds) { lineWait(static_cast<int>(milliseconds)); }

}  // namespace kd215
