// The transfer engine's own state, and the seam through which it reports what happened: outcomes,
// progress and verification differences out, Retry/Cancel and Yes/No decisions back in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "config/config_image.h"
#include "link/frames.h"
#include "link/verify.h"

namespace kd215 {

class SerialPort;

enum class TransferState : int32_t {
    Idle = 0,
    SendRequest = 1,
    AwaitWrite = 2,
    AwaitReply = 3,
    FileTransfer = 5,  // the program's file step runs instead of an exchange
};

// Why a transfer did not end well (TransferFault, with the reply's own faults, is in frames.h).
// `refused` and `received` say what came, beside the fault the program names: a reply that
// is anything but an acknowledgement is a NAK to the program, a refusal only when it is one.
struct TransferOutcome {
    TransferFault fault = TransferFault::NoData;
    uint32_t value = 0;
    bool refused = false;   // the reply was a whole, well-formed NAK frame
    uint32_t received = 0;  // bytes of the reply that came (0: the line stayed silent)
};

// The program's message for a fault: "Błąd komunikacji : NAK", "Kod błędu : 5", ...
std::string transferFaultText(const TransferOutcome& outcome);
// What follows "Błąd komunikacji : " for a fault of the line's answer ("NAK", "suma kontrolna = 7");
// "" for the faults the program names otherwise (protocol, system error, no port).
std::string communicationFaultText(const TransferOutcome& outcome);

// What the engine tells whoever shows its work. The decisions (retryAfter, continueAfter) come
// back to the engine; everything else only reports and has nothing to do by default.
class LinkReporter {
public:
    virtual ~LinkReporter() = default;

    // An area, the version query or the restart starts under `action`.
    virtual void transferStarted(ConfigArea /*area*/, TransferAction /*action*/) {}
    // The request for `area` goes out.
    virtual void requestSent(ConfigArea /*area*/) {}
    // The area has been read, acknowledged as written, or verified to the end.
    virtual void areaDone(ConfigArea /*area*/, TransferAction /*action*/) {}
    // The version reply arrived, with the version it reports.
    virtual void firmwareRead(FirmwareVersion /*version*/) {}
    // Whatever ran has ended, well or not, or was stopped.
    virtual void transferEnded() {}

    // A retryable fault: true sends the same request again, false ends the transfer.
    virtual bool retryAfter(const TransferOutcome& outcome) = 0;
    // A fault that ends the transfer.
    virtual void failed(const TransferOutcome& outcome) = 0;
    // One verification difference: true goes on checking, false ends the transfer there.
    virtual bool continueAfter(const VerifyDifference& difference) = 0;
};

// Everything the engine keeps between its steps.
struct LinkState {
    TransferState transferState = TransferState::Idle;
    ConfigArea currentArea = ConfigArea::Version;
    TransferAction currentAction = TransferAction::WriteController;
    ConfigArea lastArea = ConfigArea::Settings;
    TransferAction lastAction = TransferAction::WriteController;
    uint32_t areaAddress = 0;      // address of the area started last
    uint32_t transferAddress = 0;  // put into the request and expected back; 0 for the version
    bool chainAll = false;         // "&Wszystko": the end of an area starts the next one

    // Decoded from the last exchange.
    uint8_t payloadLength = 0;
    uint32_t replyAddress = 0;
    uint8_t replyResidue = 0;
    uint32_t bytesWritten = 0;
    uint32_t bytesRead = 0;

    FrameBuffer txBuffer{};
    FrameBuffer rxBuffer{};
    std::size_t txLength = 0;

    // The seams, set once before the first transfer and never null afterwards.
    SerialPort* port = nullptr;
    LinkReporter* reporter = nullptr;
};

// Sets the seams, once, before the first transfer.
inline void ConnectLink(LinkState& link, SerialPort& port, LinkReporter& reporter) {
    link.port = &port;
    link.reporter = &reporter;
}

}  // namespace kd215
