// Driving the transfer engine to the end of one exchange, and the console's answers to it.
#include "ports/link_session.h"

#include <algorithm>
#include <cstring>

#include "link/probe.h"
#include "link/serial_port.h"
#include "link/transfer_engine.h"

namespace kd215 {

namespace {

// How long one wait between engine steps may last; the port returns earlier when I/O moves.
constexpr unsigned kStepWaitMs = 20;

std::size_t characterCount(const std::string& text) {
    std::size_t n = 0;
    for (const char c : text) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

}  // namespace

void Progress::show(const std::string& text) {
    if (!enabled_) return;
    const std::size_t length = characterCount(text);
    err_ << '\r' << text;
    if (shown_ > length) err_ << std::string(shown_ - length, ' ') << '\r' << text;
    err_.flush();
    shown_ = length;
}

void Progress::clear() {
    if (!enabled_ || shown_ == 0) return;
    err_ << '\r' << std::string(shown_, ' ') << '\r';
    err_.flush();
    shown_ = 0;
}

void Progress::message(const std::string& text) {
    clear();
    err_ << text << '\n';
    err_.flush();
}

LinkSession::LinkSession(LoggingPort& port, const std::string& portPath, Progress& progress, int retries)
    : port_(port), portPath_(portPath), progress_(progress), retries_(retries) {
    ConnectLink(link_, port_, *this);
}

bool LinkSession::retryAfter(const TransferOutcome& outcome) {
    if (retriesUsed_ >= retries_) {
        failed(outcome);
        return false;
    }
    ++retriesUsed_;
    progress_.note(transferFaultText(outcome) + " – ponawiam (" + std::to_string(retriesUsed_) + " z " +
                      std::to_string(retries_) + ")");
    return true;
}

void LinkSession::failed(const TransferOutcome& outcome) {
    failed_ = true;
    failure_ = outcome;
}

LinkStatus LinkSession::run(TransferAction action, ConfigArea area) {
    retriesUsed_ = 0;  // the retry budget is per exchange
    failed_ = false;
    SelectAction(link_, action);
    if (area == ConfigArea::Version) {
        BeginVersionQuery(link_);
    } else if (area == ConfigArea::Restart) {
        BeginRestart(link_);
    } else {
        BeginAreaTransfer(link_, area);
    }
    // The port's own time-outs end every exchange, so this loop always ends.
    while (transferActive(link_)) {
        StepTransfer(link_, image_);
        if (transferActive(link_)) port_.waitForIo(kStepWaitMs);
    }
    if (!failed_) return LinkStatus::Done;

    progress_.message(transferFaultText(failure_));
    if (failure_.fault != TransferFault::SystemError && port_.bytesReceived() == 0) {
        progress_.message("Na porcie " + portPath_ + " nie odpowiedział żaden sterownik.\n" + kControllerNotFoundText);
        return LinkStatus::NoController;
    }
    return LinkStatus::CommunicationFailed;
}

LinkStatus LinkSession::version(std::string& firmwareText) {
    const LinkStatus status = run(TransferAction::ReadController, ConfigArea::Version);
    if (status == LinkStatus::Done) firmwareText = firmwareText_;
    return status;
}

LinkStatus LinkSession::restart() { return run(TransferAction::WriteController, ConfigArea::Restart); }

LinkStatus LinkSession::readArea(ConfigArea area, ConfigImage& image, std::vector<uint8_t>& payload) {
    image_ = image;
    const LinkStatus status = run(TransferAction::ReadController, area);
    if (status != LinkStatus::Done) return status;
    image = image_;
    const uint8_t* data = link_.rxBuffer.data() + kPayloadOffset;
    payload.assign(data, data + areaBlock(area).length);
    return status;
}

LinkStatus LinkSession::writeArea(ConfigArea area, const ConfigImage& image) {
    image_ = image;
    return run(TransferAction::WriteController, area);
}

std::string differenceLine(const VerifyDifference& difference) {
    return verifyItemText(difference) + ": sterownik " + std::to_string(difference.controllerValue) + ", plik " +
           std::to_string(difference.pcValue);
}

}  // namespace kd215
