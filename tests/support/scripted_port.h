// Test support: a serial port whose every result is scripted, for failures a device cannot show.
#pragma once

#include <algorithm>
#include <cstring>
#include <deque>
#include <vector>

#include "link/frames.h"
#include "link/serial_port.h"

namespace kd215::fakes {

class ScriptedPort : public SerialPort {
public:
    struct Reply {
        IoStatus status = IoStatus::Complete;
        std::vector<uint8_t> bytes;
        uint32_t errorCode = 0;
    };

    bool open_ = true;
    std::deque<Reply> writeResults;  // default: the write completes
    std::deque<Reply> reads;         // default: nothing arrives
    std::vector<std::vector<uint8_t>> written;
    int purges = 0;
    std::vector<int> purgesAtWrite;  // how many purges had been made when each write started

    OpenResult open(const std::string&) override {
        open_ = true;
        return OpenResult::Opened;
    }
    bool isOpen() const override { return open_; }
    void close() override { open_ = false; }
    void startWrite(const uint8_t* data, std::size_t n) override {
        written.emplace_back(data, data + n);
        purgesAtWrite.push_back(purges);
    }
    IoResult pollWrite() override {
        const Reply r = next(writeResults);
        return {r.status, static_cast<uint32_t>(written.back().size()), r.errorCode};
    }
    void startRead(uint8_t* into, std::size_t n) override {
        readInto_ = into;
        readWanted_ = n;
    }
    IoResult pollRead() override {
        const Reply r = next(reads);
        if (r.status != IoStatus::Complete) return {r.status, 0, r.errorCode};
        const std::size_t n = std::min(r.bytes.size(), readWanted_);
        std::memcpy(readInto_, r.bytes.data(), n);
        return {IoStatus::Complete, static_cast<uint32_t>(n), 0};
    }
    void purge() override { ++purges; }
    void waitForIo(unsigned) override {}

private:
    static Reply next(std::deque<Reply>& script) {
        if (script.empty()) return {};
        Reply r = script.front();
        script.pop_front();
        return r;
    }
    uint8_t* readInto_ = nullptr;
    std::size_t readWanted_ = 0;
};

// The controller's answer to a settings read with reply code `code`: all zero but the switch-on
// time, 77, which no default image holds.
inline std::vector<uint8_t> settingsReply(uint8_t code = 0x13) {
    std::vector<uint8_t> frame(68 + kFrameOverhead, 0);
    frame[0] = code;
    frame[1] = 0x46;
    frame[2] = 4;
    frame[4] = 68;
    frame[5 + 2] = 77;
    frame.back() = FrameChecksum(frame.data(), 68);
    return frame;
}

}  // namespace kd215::fakes
