// Driving the transfer engine to the end of one exchange, and the console's answers to it.
#include "link_session.h"

#include <algorithm>
#include <cstring>

#include "link/probe.h"
#include "link/serial_port.h"
#include "link/transfer_engine.h"
#include "link/verify.h"

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

void ConsoleUi::beginExchange() {
    retriesUsed_ = 0;
    failed_ = false;
    portFailed_ = false;
    failureText_.clear();
    prompts_.clear();
}

UserAnswer ConsoleUi::showMessage(const std::string& text, const std::string&, MessageIcon icon,
                                  MessageButtons buttons) {
    switch (buttons) {
        case MessageButtons::YesNo:
            prompts_.push_back(text);
            return UserAnswer::Yes;
        case MessageButtons::RetryCancel:
            if (retriesUsed_ < retries_) {
                ++retriesUsed_;
                progress_.message(text + " – ponawiam (" + std::to_string(retriesUsed_) + " z " +
                                  std::to_string(retries_) + ")");
                return UserAnswer::Retry;
            }
            failed_ = true;
            failureText_ = text;
            return UserAnswer::Cancel;
        case MessageButtons::Ok:
            failed_ = true;
            portFailed_ = icon == MessageIcon::Error;  // "Kod błędu : " comes from the port
            failureText_ = text;
            return UserAnswer::Ok;
    }
    return UserAnswer::Cancel;
}

LinkSession::LinkSession(LoggingPort& port, Progress& progress, int retries)
    : port_(port), progress_(progress), ui_(progress, retries) {
    state_.port = &port_;
    state_.ui = &ui_;
}

LinkStatus LinkSession::run(TransferAction action, ConfigArea area) {
    ui_.beginExchange();
    state_.currentAction = action;
    if (area == ConfigArea::Version) {
        BeginVersionQuery(state_);
    } else if (area == ConfigArea::Restart) {
        BeginRestart(state_);
    } else {
        BeginAreaTransfer(state_, area);
    }
    // The port's own time-outs end every exchange, so this loop always ends.
    while (transferActive(state_)) {
        StepTransfer(state_);
        if (transferActive(state_)) port_.waitForIo(kStepWaitMs);
    }
    if (!ui_.failed()) return LinkStatus::Done;

    progress_.message(ui_.failureText());
    if (!ui_.portFailed() && port_.bytesReceived() == 0) {
        progress_.message(kControllerNotFoundText);
        return LinkStatus::NoController;
    }
    return LinkStatus::CommunicationFailed;
}

LinkStatus LinkSession::version(std::string& firmwareText) {
    const LinkStatus status = run(TransferAction::ReadController, ConfigArea::Version);
    if (status == LinkStatus::Done) firmwareText = state_.fwStatusText;
    return status;
}

LinkStatus LinkSession::restart() { return run(TransferAction::WriteController, ConfigArea::Restart); }

LinkStatus LinkSession::readArea(ConfigArea area, ConfigImage& image, std::vector<uint8_t>& payload) {
    state_.image = image;
    const LinkStatus status = run(TransferAction::ReadController, area);
    if (status != LinkStatus::Done) return status;
    image = state_.image;
    const uint8_t* data = state_.rxBuffer.data() + kPayloadOffset;
    payload.assign(data, data + areaBlock(area).length);
    return status;
}

LinkStatus LinkSession::writeArea(ConfigArea area, const ConfigImage& image) {
    state_.image = image;
    return run(TransferAction::WriteController, area);
}

std::vector<std::string> compareArea(ConfigArea area, const uint8_t* payload, const ConfigImage& expected) {
    std::vector<std::string> lines;
    for (const VerifyDifference& difference : verifyArea(area, payload, expected)) {
        lines.push_back(verifyLineText(difference));
    }
    return lines;
}

}  // namespace kd215
