// The transfer engine: building, sending and polling one exchange at a time, and its failures.
#include "link/transfer_engine.h"

#include <algorithm>
#include <cstring>

#include "link/serial_port.h"
#include "link/verify.h"

namespace kd215 {

namespace {

void endWith(LinkState& link, TransferFault fault, uint32_t value = 0) {
    const bool replied = fault != TransferFault::SystemError;
    const uint32_t received = replied ? link.bytesRead : 0;
    link.reporter->failed({fault, value, replied && isNakFrame(link.rxBuffer.data(), received), received});
    EndTransfer(link);
}

// Retry sends the identical request again; Cancel ends the transfer with the image untouched.
// What came is told beside the fault, so that a reporter can say more than the program does.
void offerRetry(LinkState& link, TransferFault fault, uint32_t value = 0) {
    const uint8_t* rx = link.rxBuffer.data();
    const TransferOutcome outcome{fault, value, isNakFrame(rx, link.bytesRead), link.bytesRead};
    if (link.reporter->retryAfter(outcome)) {
        link.transferState = TransferState::SendRequest;
    } else {
        EndTransfer(link);
    }
}

// A transfer that has just started is reported at once: waiting for a repaint would leave
// "\tGotowe" in the status bar while a slow or silent controller keeps the program busy.
void reportStarted(LinkState& link) { link.reporter->transferStarted(link.currentArea, link.currentAction); }

void startWrite(LinkState& link, const uint8_t* frame, std::size_t length) {
    if (frame != link.txBuffer.data()) std::memcpy(link.txBuffer.data(), frame, length);
    link.txLength = length;
    link.port->startWrite(link.txBuffer.data(), length);
    link.transferState = TransferState::AwaitWrite;
}

void stepSendRequest(LinkState& link, const ConfigImage& image) {
    const int area = static_cast<int>(link.currentArea);
    if (area < 0 || area > static_cast<int>(ConfigArea::Restart)) {
        EndTransfer(link);
        return;
    }
    link.reporter->requestSent(link.currentArea);
    link.bytesRead = 0;
    if (link.currentArea == ConfigArea::Version) {
        startWrite(link, kVersionRequestFrame.data(), kVersionRequestFrame.size());
    } else if (link.currentArea == ConfigArea::Restart) {
        startWrite(link, kRestartFrame.data(), kRestartFrame.size());
    } else {
        const std::size_t length =
            buildBlockRequest(link.txBuffer, link.currentArea, link.currentAction, link.transferAddress, image);
        startWrite(link, link.txBuffer.data(), length);
    }
}

void stepAwaitWrite(LinkState& link) {
    const IoResult write = link.port->pollWrite();
    if (write.status == IoStatus::Pending) return;
    if (write.status == IoStatus::Failed) {
        link.port->purge();
        endWith(link, TransferFault::SystemError, write.errorCode);
        return;
    }
    link.bytesWritten = write.bytes;
    if (link.currentArea == ConfigArea::Restart) {
        EndTransfer(link);  // the controller restarts without answering
        return;
    }
    if (link.currentArea == ConfigArea::Version) {
        link.payloadLength = kVersionPayloadLength + 1;  // one byte more: the read ends on the gap
    } else if (link.currentAction == TransferAction::WriteController) {
        link.payloadLength = 0;  // 6 bytes asked, 3 expected: the acknowledgement
    } else {
        link.payloadLength = areaBlock(link.currentArea).length;
    }
    link.port->startRead(link.rxBuffer.data(), link.payloadLength + kFrameOverhead);
    link.transferState = TransferState::AwaitReply;
}

// One question per difference, in order; No ends the check there.
void finishVerifiedReply(LinkState& link, const ConfigImage& image) {
    const VerifyOutcome outcome =
        VerifyArea(link.currentArea, link.rxBuffer.data() + kPayloadOffset, image,
                   [&link](const VerifyDifference& difference) { return link.reporter->continueAfter(difference); });
    if (outcome == VerifyOutcome::StoppedByUser) {
        EndTransfer(link);
        return;
    }
    link.reporter->areaDone(link.currentArea, link.currentAction);
    ContinueChain(link);
}

void stepAwaitReply(LinkState& link, ConfigImage& image) {
    const IoResult read = link.port->pollRead();
    if (read.status == IoStatus::Pending) return;
    if (read.status == IoStatus::Failed) {
        endWith(link, TransferFault::SystemError, read.errorCode);
        return;
    }
    link.bytesRead = std::min<uint32_t>(read.bytes, kFrameBufferSize);
    const uint8_t* rx = link.rxBuffer.data();

    if (link.currentAction == TransferAction::WriteController && isDataArea(link.currentArea)) {
        if (isAcknowledgement(rx, link.bytesRead)) {
            link.reporter->areaDone(link.currentArea, link.currentAction);
            ContinueChain(link);
        } else {
            offerRetry(link, TransferFault::Nak);
        }
        return;
    }

    const BlockReplyCheck check = checkBlockReply(rx, link.bytesRead, link.transferAddress);
    link.payloadLength = check.payloadLength;
    link.replyAddress = check.replyAddress;
    link.replyResidue = check.replyResidue;
    if (!check.passed) {
        link.port->purge();  // drop whatever else the line still delivers before asking
        offerRetry(link, check.fault, check.faultValue);
        return;
    }
    if (!passesAreaTest(rx, link.currentArea, link.transferAddress)) {
        endWith(link, TransferFault::ProtocolError);
        return;
    }

    link.transferState = TransferState::Idle;
    if (link.currentArea == ConfigArea::Version) {
        link.reporter->firmwareRead(firmwareVersionOf(rx));
        EndTransfer(link);
    } else if (link.currentAction == TransferAction::ReadController) {
        decodeAreaPayload(rx + kPayloadOffset, link.currentArea, image);
        link.reporter->areaDone(link.currentArea, link.currentAction);
        ContinueChain(link);
    } else if (link.currentAction == TransferAction::Verify) {
        finishVerifiedReply(link, image);
    } else {
        EndTransfer(link);
    }
}

}  // namespace

std::string communicationFaultText(const TransferOutcome& outcome) {
    switch (outcome.fault) {
        case TransferFault::Nak: return "NAK";
        case TransferFault::BadChecksum: return "suma kontrolna = " + std::to_string(outcome.value);
        case TransferFault::WrongAddress: return "adres zwrotny " + std::to_string(outcome.value);
        case TransferFault::NoData: return "brak danych : " + std::to_string(outcome.value);
        default: return "";
    }
}

std::string transferFaultText(const TransferOutcome& outcome) {
    const std::string communication = communicationFaultText(outcome);
    if (!communication.empty()) return "Błąd komunikacji : " + communication;
    switch (outcome.fault) {
        case TransferFault::ProtocolError: return "Błąd protokołu";
        case TransferFault::SystemError: return "Kod błędu : " + std::to_string(outcome.value);
        case TransferFault::NoPort: return "Musisz wybrać dostępny port szeregowy !";
        default: return {};
    }
}

void EndTransfer(LinkState& link) {
    link.transferState = TransferState::Idle;
    link.chainAll = false;
    link.reporter->transferEnded();
}

ConfigArea chainedArea(const LinkState& link) {
    if (!link.chainAll || !isDataArea(link.currentArea)) return ConfigArea::NoArea;
    return nextChainArea(link.currentArea);
}

void ContinueChain(LinkState& link) {
    const ConfigArea next = chainedArea(link);
    link.transferState = TransferState::Idle;
    if (next != ConfigArea::NoArea) BeginAreaTransfer(link, next);
    // Nothing follows, or the next area was refused (its port went while a verification prompt
    // was open): the transfer ends here, so that Stop is greyed as after any other end.
    if (link.transferState == TransferState::Idle) EndTransfer(link);
}

void BeginAreaTransfer(LinkState& link, ConfigArea area) {
    if (link.transferState != TransferState::Idle || !isDataArea(area)) return;
    const bool fileStep = isFileAction(link.currentAction);
    if (!fileStep && !link.port->isOpen()) {
        link.chainAll = false;  // a chain cut short here must not carry into a later command
        link.reporter->failed({TransferFault::NoPort, 0});
        return;
    }
    link.transferState = fileStep ? TransferState::FileTransfer : TransferState::SendRequest;
    link.currentArea = area;
    link.lastArea = area;
    link.lastAction = link.currentAction;
    link.areaAddress = areaBlock(area).address;
    link.transferAddress = link.areaAddress;
    reportStarted(link);
}

void SelectAction(LinkState& link, TransferAction action) { link.currentAction = action; }

void QueueVersionQuery(LinkState& link) {
    link.currentArea = ConfigArea::Version;
    link.transferAddress = 0;
    link.transferState = TransferState::SendRequest;
}

void BeginVersionQuery(LinkState& link) {
    QueueVersionQuery(link);
    reportStarted(link);
}

void BeginRestart(LinkState& link) {
    link.port->purge();
    link.chainAll = false;
    link.currentArea = ConfigArea::Restart;
    link.transferState = TransferState::SendRequest;
    reportStarted(link);
}

void StopTransfer(LinkState& link) {
    link.transferState = TransferState::Idle;
    link.chainAll = false;
    link.port->purge();
    link.reporter->transferEnded();
}

void AbandonTransfer(LinkState& link) {
    link.transferState = TransferState::Idle;
    link.chainAll = false;
}

void BeginFileStep(LinkState& link) { link.transferState = TransferState::Idle; }

bool ContinueFileChain(LinkState& link) {
    const ConfigArea next = chainedArea(link);
    if (next == ConfigArea::NoArea) {
        EndTransfer(link);
        return false;
    }
    link.currentArea = next;
    link.transferState = TransferState::FileTransfer;
    return true;
}

void DropAction(LinkState& link) { link.currentAction = TransferAction::NoAction; }

bool repeatLastTransfer(LinkState& link) {
    if (link.transferState != TransferState::Idle || link.lastAction == TransferAction::NoAction ||
        link.lastArea == ConfigArea::NoArea) {
        return false;
    }
    link.currentAction = link.lastAction;
    link.currentArea = link.lastArea;
    link.transferAddress = link.areaAddress;
    link.transferState = TransferState::SendRequest;
    reportStarted(link);
    return true;
}

void beginAllAreas(LinkState& link) {
    if (link.transferState != TransferState::Idle) return;
    BeginAreaTransfer(link, ConfigArea::Settings);
    if (link.transferState != TransferState::Idle) link.chainAll = true;
}

void StepTransfer(LinkState& link, ConfigImage& image) {
    switch (link.transferState) {
        case TransferState::SendRequest: stepSendRequest(link, image); break;
        case TransferState::AwaitWrite: stepAwaitWrite(link); break;
        case TransferState::AwaitReply: stepAwaitReply(link, image); break;
        default: break;
    }
}

}  // namespace kd215
