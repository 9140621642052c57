// Driving the transfer engine to the end of one exchange, and the console's answers to it.
#include "ports/link_session.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "link/probe.h"
#include "link/serial_port.h"
#include "link/transfer_engine.h"
#include "platform/files.h"
#include "platform/interrupts.h"
#include "ports/port_access.h"
#include "records/config_files.h"

namespace kd215 {

namespace {

// How long one wait between engine steps may last; the port returns earlier when I/O moves.
constexpr unsigned kStepWaitMs = 20;
// The line counts as quiet after this long without a byte: far longer than any gap inside a reply,
// and than the controller's usual turnaround. A drain gives up after kMaxDrainMs of steady noise.
constexpr std::size_t kQuietBytes = 1;  // one byte's read time-out, kReadTotalTimeoutPerByteMs
constexpr unsigned kMaxDrainMs = 3000;

const char* const kNoControllerWords = "nie odpowiedział żaden sterownik Kd215; sprawdź kabel, zasilanie i port";
const char* const kOtherDeviceWords = "odpowiedziało urządzenie, które nie jest sterownikiem Kd215; nic do niego nie wysłano";
const char* const kStoppedAnsweringWords = "sterownik przestał odpowiadać, także na sprawdzenie połączenia; bez ponowień";

std::string probeReplyWords(uint32_t received) {
    return received == 0 ? "brak odpowiedzi" : "odpowiedź nie jest potwierdzeniem sterownika, odebrano " + byteCount(received);
}

std::string systemFailureWords(uint32_t errorCode) {
    return adapterGone(errorCode) ? "adapter odłączony" : systemErrorText(errorCode);
}

// What came, in kd215ctl's words: the program calls every answer to a write but an
// acknowledgement a NAK, and garbage "brak danych" by the number of bytes it was.
std::string whatCame(const TransferOutcome& outcome) {
    if (outcome.fault == TransferFault::SystemError) return systemFailureWords(outcome.value);
    if (outcome.fault == TransferFault::NoPort) return "";
    if (outcome.refused) return "sterownik odmówił";
    if (outcome.received == 0) return "brak odpowiedzi";
    const char* what = outcome.fault == TransferFault::BadChecksum    ? "zła suma kontrolna, "
                       : outcome.fault == TransferFault::WrongAddress ? "zły adres zwrotny, "
                       : outcome.fault == TransferFault::ProtocolError ? "nie ta odpowiedź, "
                                                                       : "";
    return std::string("odpowiedź uszkodzona: ") + what + "odebrano " + byteCount(outcome.received);
}

std::string withWhatCame(const std::string& fault, const TransferOutcome& outcome) {
    const std::string words = whatCame(outcome);
    return fault + (words.empty() ? "" : " (" + words + ")");
}

// The program's text for the fault, then what came: "Błąd komunikacji : NAK (brak odpowiedzi)".
std::string faultLine(const TransferOutcome& outcome) { return withWhatCame(transferFaultText(outcome), outcome); }

// A fault of the line's answer without the program's heading: "NAK (sterownik odmówił)"; "" for
// any other fault.
std::string faultAlone(const TransferOutcome& outcome) {
    const std::string fault = communicationFaultText(outcome);
    return fault.empty() ? "" : withWhatCame(fault, outcome);
}

}  // namespace

LinkSession::LinkSession(LoggingPort& port, const std::string& portPath, CommandSink& sink, int retries)
    : port_(port), portPath_(portPath), sink_(sink), retries_(retries) {
    ConnectLink(link_, port_, *this);
}

void LinkSession::drainLine() {
    port_.purge();
    uint8_t sink[16];
    const auto giveUpAt = std::chrono::steady_clock::now() + std::chrono::milliseconds(kMaxDrainMs);
    while (interruptSignal() == 0 && std::chrono::steady_clock::now() < giveUpAt) {
        port_.startRead(sink, kQuietBytes);
        IoResult got = port_.pollRead();
        while (got.status == IoStatus::Pending && interruptSignal() == 0) {
            port_.waitForIo(kStepWaitMs);
            got = port_.pollRead();
        }
        if (got.status != IoStatus::Complete || got.bytes == 0) break;
    }
    port_.purge();
}

LinkStatus LinkSession::confirmController() {
    ProbeReply reply;
    for (int attempt = 0;; ++attempt) {
        if (interruptSignal() != 0) return LinkStatus::Interrupted;
        reply = probeOpenPort(port_);
        if (reply.acknowledged) return LinkStatus::Done;
        if (reply.errorCode != 0 && interruptSignal() == 0) {
            sink_.failed(portPath_, systemFailureWords(reply.errorCode), "");
            return LinkStatus::CommunicationFailed;
        }
        if (attempt >= retries_ || interruptSignal() != 0) break;
        sink_.note(portPath_, probeReplyWords(reply.received) + " – ponowienie " + std::to_string(attempt + 1) + " z " +
                                  std::to_string(retries_));
        drainLine();
    }
    if (interruptSignal() != 0) return LinkStatus::Interrupted;
    if (reply.received == 0) {
        sink_.failed(portPath_, kNoControllerWords, "");
        return LinkStatus::NoController;
    }
    sink_.failed(portPath_, kOtherDeviceWords + (" (" + probeReplyWords(reply.received) + ")"), "");
    return LinkStatus::NotAController;
}

bool LinkSession::stillAnswers() {
    drainLine();
    return probeOpenPort(port_).acknowledged;
}

bool LinkSession::retryAfter(const TransferOutcome& outcome) {
    noteAnswer(outcome);
    if (retriesUsed_ >= retries_ || interruptSignal() != 0) {
        failed(outcome);
        return false;
    }
    // A request met by silence is not sent again into a line that no longer answers the probe:
    // the line is given up after one probe's time-out, not after every retry's full wait.
    if (outcome.received == 0 && !stillAnswers()) {
        silenced_ = true;
        failed(outcome);
        return false;
    }
    ++retriesUsed_;
    sink_.note(portPath_, faultLine(outcome) + " – ponowienie " + std::to_string(retriesUsed_) + " z " +
                              std::to_string(retries_));
    // The rest of a spoiled reply may still be coming: the retry is sent into a quiet line.
    drainLine();
    return true;
}

void LinkSession::noteAnswer(const TransferOutcome& outcome) {
    // Only a whole, sound NAK says the controller refused the block; anything else may hide a
    // stored one whose answer was lost or spoiled.
    if (sent_ && !outcome.refused) unanswered_ = true;
    sent_ = false;
}

void LinkSession::failed(const TransferOutcome& outcome) {
    noteAnswer(outcome);
    failed_ = true;
    failure_ = outcome;
}

LinkStatus LinkSession::run(TransferAction action, ConfigArea area) {
    retriesUsed_ = 0;  // the retry budget is per exchange
    failed_ = false;
    silenced_ = false;
    sent_ = false;
    unanswered_ = false;
    if (interruptSignal() != 0) return LinkStatus::Interrupted;
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
        if (interruptSignal() != 0) {
            unanswered_ = unanswered_ || sent_;
            EndTransfer(link_);
            port_.purge();
            return LinkStatus::Interrupted;
        }
        StepTransfer(link_, image_);
        if (transferActive(link_)) port_.waitForIo(kStepWaitMs);
    }
    if (!failed_) return LinkStatus::Done;
    if (interruptSignal() != 0) return LinkStatus::Interrupted;
    sink_.failed(portPath_, faultLine(failure_), faultAlone(failure_));
    if (silenced_) {
        sink_.failed(portPath_, kStoppedAnsweringWords, "");
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

LinkStatus LinkSession::readArea(ConfigArea area, ConfigImage& image) {
    image_ = image;
    const LinkStatus status = run(TransferAction::ReadController, area);
    if (status == LinkStatus::Done) image = image_;
    return status;
}

LinkStatus LinkSession::writeArea(ConfigArea area, const ConfigImage& image) {
    image_ = image;
    return run(TransferAction::WriteController, area);
}

}  // namespace kd215
