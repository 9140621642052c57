// The frame log and the logging port wrapper.
#include "link/frame_log.h"

#include <cerrno>
#include <chrono>
#include <ctime>

#include "platform/files.h"

namespace kd215 {

std::string localTimeText(bool withMilliseconds) {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    char text[40];
    const std::tm* local = std::localtime(&seconds);
    if (local == nullptr || std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", local) == 0) return "?";
    std::string out = text;
    if (withMilliseconds) {
        char fraction[8];
        std::snprintf(fraction, sizeof fraction, ".%03d", static_cast<int>(millis));
        out += fraction;
    }
    return out;
}

std::string isoLocalTimeText() {
    const std::time_t now = std::time(nullptr);
    std::tm local{}, utc{};
    const std::tm* l = std::localtime(&now);
    if (l == nullptr) return "?";
    local = *l;
    const std::tm* u = std::gmtime(&now);
    if (u == nullptr) return "?";
    utc = *u;
    // The UTC fields read as local time are `offset` seconds away from now; %z would do this,
    // but the Windows runtime writes a zone name there.
    utc.tm_isdst = local.tm_isdst;
    const long offset = static_cast<long>(std::difftime(now, std::mktime(&utc)));
    char text[40];
    if (std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local) == 0) return "?";
    char zone[32];
    const long minutes = (offset < 0 ? -offset : offset) / 60;
    std::snprintf(zone, sizeof zone, "%c%02d:%02d", offset < 0 ? '-' : '+', static_cast<int>(minutes / 60), static_cast<int>(minutes % 60));
    return std::string(text) + zone;
}

std::string frameLogText(const char* direction, const uint8_t* bytes, std::size_t n) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string hex;
    std::string ascii;
    for (std::size_t i = 0; i < n; ++i) {
        if (i) hex += ' ';
        hex += kHex[bytes[i] >> 4];
        hex += kHex[bytes[i] & 0xF];
        ascii += (bytes[i] >= 0x20 && bytes[i] < 0x7F) ? static_cast<char>(bytes[i]) : '.';
    }
    return std::string(direction) + " " + hex + "  |" + ascii + "|";
}

FrameLog::~FrameLog() {
    if (file_ != nullptr) std::fclose(file_);
}

bool FrameLog::open(const std::string& path, std::string& error) {
    file_ = openForAppend(path);
    if (file_ == nullptr) {
        error = path + " :\n" + kFileOpenFailedText;
        return false;
    }
    return true;
}

void FrameLog::line(const std::string& text) {
    if (file_ == nullptr && !echo_) return;
    const std::string stamped = localTimeText(true) + " " + text;
    if (echo_) echo_(stamped);
    if (file_ == nullptr) return;
    const std::string out = stamped + "\n";
    const bool written = std::fwrite(out.data(), 1, out.size(), file_) == out.size();
    if ((std::fflush(file_) != 0 || !written) && writeError_ == 0) writeError_ = errno != 0 ? errno : EIO;
}

void FrameLog::frame(const char* direction, const uint8_t* bytes, std::size_t n) {
    line(frameLogText(direction, bytes, n));
}

void FrameLog::note(const std::string& text) { line("-- " + text); }

OpenResult LoggingPort::open(const std::string& name) {
    const OpenResult result = inner_.open(name);
    log_.note("port " + name + (result == OpenResult::Opened ? " otwarty" : " nie otwiera się"));
    readOutstanding_ = writeOutstanding_ = false;
    return result;
}

void LoggingPort::close() {
    if (inner_.isOpen()) log_.note("port zamknięty");
    inner_.close();
    readOutstanding_ = writeOutstanding_ = false;
}

void LoggingPort::startWrite(const uint8_t* data, std::size_t n) {
    log_.frame("TX", data, n);
    writeOutstanding_ = true;
    inner_.startWrite(data, n);
}

IoResult LoggingPort::pollWrite() {
    const IoResult result = inner_.pollWrite();
    if (writeOutstanding_ && result.status == IoStatus::Failed) {
        log_.note("zapis nieudany, kod błędu " + std::to_string(result.errorCode));
    }
    if (result.status != IoStatus::Pending) writeOutstanding_ = false;
    return result;
}

void LoggingPort::startRead(uint8_t* into, std::size_t n) {
    readInto_ = into;
    readOutstanding_ = true;
    inner_.startRead(into, n);
}

IoResult LoggingPort::pollRead() {
    const IoResult result = inner_.pollRead();
    if (!readOutstanding_ || result.status == IoStatus::Pending) return result;
    readOutstanding_ = false;
    if (result.status == IoStatus::Failed) {
        log_.note("odczyt nieudany, kod błędu " + std::to_string(result.errorCode));
    } else if (result.bytes == 0) {
        log_.note("RX: brak odpowiedzi");
    } else {
        bytesReceived_ += result.bytes;
        log_.frame("RX", readInto_, result.bytes);
    }
    return result;
}

void LoggingPort::purge() {
    inner_.purge();
    readOutstanding_ = writeOutstanding_ = false;
}

}  // namespace kd215
