// The transfer engine: building, sending and polling one exchange at a time, and its failures.
#include "link/transfer_engine.h"

#include <algorithm>
#include <cstring>

#include "link/serial_port.h"
#include "link/verify.h"

namespace kd215 {

const char* const kCaptionWarning = "Ostrzeżenie";
const char* const kCaptionFailed = "Niepowodzenie";

namespace {

const char* const kNoPortText = "Musisz wybrać dostępny port szeregowy !";
const char* const kCommunicationError = "Błąd komunikacji : ";
const char* const kProtocolError = "Błąd protokołu";
const char* const kSystemErrorCode = "Kod błędu : ";

bool isFileAction(TransferAction action) {
    return action == TransferAction::ReadFromFile || action == TransferAction::WriteToFile;
}

void showSystemError(ProgramState& s, uint32_t code) {
    s.ui->showMessage(kSystemErrorCode + std::to_string(code), kCaptionFailed, MessageIcon::Error,
                      MessageButtons::Ok);
}

// Retry sends the identical request again; Cancel ends the transfer with the image untouched.
void offerRetry(ProgramState& s, const std::string& text) {
    const UserAnswer answer =
        s.ui->showMessage(text, kCaptionFailed, MessageIcon::Warning, MessageButtons::RetryCancel);
    if (answer == UserAnswer::Retry) {
        s.transferState = TransferState::SendRequest;
    } else {
        EndTransfer(s);
    }
}

// A transfer that has just started shows its action at once: waiting for a repaint would leave
// "\tGotowe" in the status bar while a slow or silent controller keeps the program busy, since
// neither a menu closed from the keyboard nor a composited desktop repaints the client.
void showTransferStarted(ProgramState& s) {
    s.ui->setStatusText(kStatusActionPart, actionLabel(s.currentAction));
}

void startWrite(ProgramState& s, const uint8_t* frame, std::size_t length) {
    if (frame != s.txBuffer.data()) std::memcpy(s.txBuffer.data(), frame, length);
    s.txLength = length;
    s.port->startWrite(s.txBuffer.data(), length);
    s.transferState = TransferState::AwaitWrite;
}

void stepSendRequest(ProgramState& s) {
    const int area = static_cast<int>(s.currentArea);
    if (area < 0 || area > static_cast<int>(ConfigArea::Restart)) {
        EndTransfer(s);
        return;
    }
    s.ui->setStatusText(kStatusAreaPart, areaLabel(s.currentArea));
    if (s.currentArea == ConfigArea::Version) {
        startWrite(s, kVersionRequestFrame.data(), kVersionRequestFrame.size());
    } else if (s.currentArea == ConfigArea::Restart) {
        startWrite(s, kRestartFrame.data(), kRestartFrame.size());
    } else {
        const std::size_t length =
            buildBlockRequest(s.txBuffer, s.currentArea, s.currentAction, s.transferAddress, s.image);
        s.ui->setRepeatEnabled(true);
        startWrite(s, s.txBuffer.data(), length);
    }
}

void stepAwaitWrite(ProgramState& s) {
    const IoResult write = s.port->pollWrite();
    if (write.status == IoStatus::Pending) return;
    if (write.status == IoStatus::Failed) {
        s.port->purge();
        showSystemError(s, write.errorCode);
        EndTransfer(s);
        return;
    }
    s.bytesWritten = write.bytes;
    if (s.currentArea == ConfigArea::Restart) {
        EndTransfer(s);  // the controller restarts without answering
        return;
    }
    if (s.currentArea == ConfigArea::Version) {
        s.payloadLength = kVersionPayloadLength + 1;  // one byte more: the read ends on the gap
    } else if (s.currentAction == TransferAction::WriteController) {
        s.payloadLength = 0;  // 6 bytes asked, 3 expected: the acknowledgement
    } else {
        s.payloadLength = areaBlock(s.currentArea).length;
    }
    s.port->startRead(s.rxBuffer.data(), s.payloadLength + kFrameOverhead);
    s.transferState = TransferState::AwaitReply;
}

void finishVerifiedReply(ProgramState& s) {
    const uint8_t* payload = s.rxBuffer.data() + kPayloadOffset;
    // One question per difference, in order; No ends the check there.
    for (const VerifyDifference& difference : verifyArea(s.currentArea, payload, s.image)) {
        if (s.ui->showMessage(verifyPromptText(difference), kCaptionFailed, MessageIcon::Warning,
                              MessageButtons::YesNo) != UserAnswer::Yes) {
            EndTransfer(s);
            return;
        }
    }
    ContinueChain(s);
}

void stepAwaitReply(ProgramState& s) {
    const IoResult read = s.port->pollRead();
    if (read.status == IoStatus::Pending) return;
    if (read.status == IoStatus::Failed) {
        showSystemError(s, read.errorCode);
        EndTransfer(s);
        return;
    }
    s.bytesRead = std::min<uint32_t>(read.bytes, kFrameBufferSize);
    const uint8_t* rx = s.rxBuffer.data();

    if (s.currentAction == TransferAction::WriteController && isDataArea(s.currentArea)) {
        if (isAcknowledgement(rx, s.bytesRead)) {
            s.progressPos = 100;
            s.ui->setProgress(100);
            ContinueChain(s);
        } else {
            offerRetry(s, std::string(kCommunicationError) + "NAK");
        }
        return;
    }

    const BlockReplyCheck check = checkBlockReply(rx, s.bytesRead, s.transferAddress);
    s.payloadLength = check.payloadLength;
    s.replyAddress = check.replyAddress;
    s.replyResidue = check.replyResidue;
    if (!check.passed) {
        s.port->purge();  // drop whatever else the line still delivers before asking
        offerRetry(s, kCommunicationError + check.detail);
        return;
    }
    if (!passesAreaTest(rx, s.currentArea, s.transferAddress)) {
        s.ui->showMessage(kProtocolError, kCaptionFailed, MessageIcon::Warning, MessageButtons::Ok);
        EndTransfer(s);
        return;
    }

    s.transferState = TransferState::Idle;
    if (s.currentArea == ConfigArea::Version) {
        s.fwStatusText = firmwareStatusText(rx);
        s.ui->setStatusText(kStatusFirmwarePart, s.fwStatusText);
        s.progressPos = 100;
        s.ui->setProgress(100);
        EndTransfer(s);
    } else if (s.currentAction == TransferAction::ReadController) {
        decodeAreaPayload(rx + kPayloadOffset, s.currentArea, s.image);
        ContinueChain(s);
    } else if (s.currentAction == TransferAction::Verify) {
        finishVerifiedReply(s);
    } else {
        EndTransfer(s);
    }
}

}  // namespace

void EndTransfer(ProgramState& s) {
    s.transferState = TransferState::Idle;
    s.chainAll = false;
    s.ui->setStopEnabled(false);
    s.ui->requestRepaint();
}

void ContinueChain(ProgramState& s) {
    if (!s.chainAll || s.currentArea == ConfigArea::Program2 || !isDataArea(s.currentArea)) {
        EndTransfer(s);
        return;
    }
    s.transferState = TransferState::Idle;
    BeginAreaTransfer(s, nextChainArea(s.currentArea));
}

void BeginAreaTransfer(ProgramState& s, ConfigArea area) {
    if (s.transferState != TransferState::Idle || !isDataArea(area)) return;
    const bool fileStep = isFileAction(s.currentAction);
    if (!fileStep && !s.port->isOpen()) {
        s.ui->showMessage(kNoPortText, kCaptionWarning, MessageIcon::Warning, MessageButtons::Ok);
        s.chainAll = false;  // a chain cut short here must not carry into a later command
        return;
    }
    s.transferState = fileStep ? TransferState::FileTransfer : TransferState::SendRequest;
    s.currentArea = area;
    s.lastArea = area;
    s.lastAction = s.currentAction;
    s.areaAddress = areaBlock(area).address;
    s.transferAddress = s.areaAddress;
    if (!fileStep) s.ui->setStopEnabled(true);
    showTransferStarted(s);
}

void BeginVersionQuery(ProgramState& s) {
    s.currentArea = ConfigArea::Version;
    s.transferAddress = 0;
    s.transferState = TransferState::SendRequest;
    s.ui->setStopEnabled(true);
    showTransferStarted(s);
}

void BeginRestart(ProgramState& s) {
    s.ui->setStopEnabled(false);
    s.port->purge();
    s.chainAll = false;
    s.currentArea = ConfigArea::Restart;
    s.transferState = TransferState::SendRequest;
    showTransferStarted(s);
}

void StopTransfer(ProgramState& s) {
    s.transferState = TransferState::Idle;
    s.chainAll = false;
    s.ui->setStopEnabled(false);
    s.port->purge();
    s.ui->requestRepaint();
}

bool RepeatLastTransfer(ProgramState& s) {
    if (s.transferState != TransferState::Idle || s.lastAction == TransferAction::NoAction ||
        s.lastArea == ConfigArea::NoArea) {
        return false;
    }
    s.currentAction = s.lastAction;
    s.currentArea = s.lastArea;
    s.transferAddress = s.areaAddress;
    s.transferState = TransferState::SendRequest;
    s.ui->setStopEnabled(true);
    showTransferStarted(s);
    return true;
}

void BeginAllAreas(ProgramState& s) {
    if (s.transferState != TransferState::Idle) return;
    BeginAreaTransfer(s, ConfigArea::Settings);
    if (s.transferState != TransferState::Idle) s.chainAll = true;
}

void StepTransfer(ProgramState& s) {
    switch (s.transferState) {
        case TransferState::SendRequest: stepSendRequest(s); break;
        case TransferState::AwaitWrite: stepAwaitWrite(s); break;
        case TransferState::AwaitReply: stepAwaitReply(s); break;
        default: break;
    }
}

}  // namespace kd215
