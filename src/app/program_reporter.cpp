// The engine's reports as the program shows them: message boxes, status bar, progress, menu items.
#include "app/program_state.h"

#include "link/transfer_engine.h"

namespace kd215 {

const char* const kCaptionWarning = "Ostrzeżenie";
const char* const kCaptionFailed = "Niepowodzenie";
const char* const kUnknownFirmwareText = "\tFW : N/A";

std::string firmwareStatusText(FirmwareVersion version) { return "\tFW : " + firmwareVersionText(version); }

void ProgramReporter::transferStarted(ConfigArea area, TransferAction action) {
    // Stop applies to exchanges with the controller, not to the restart frame nor to a file step.
    s_.editorArea.reset();
    s_.ui->setStopEnabled(area == ConfigArea::Version || (isDataArea(area) && !isFileAction(action)));
    s_.ui->setStatusText(kStatusActionPart, actionLabel(action));
}

void ProgramReporter::requestSent(ConfigArea area) {
    s_.ui->setStatusText(kStatusAreaPart, areaLabel(area));
    if (isDataArea(area)) s_.ui->setRepeatEnabled(true);
}

void ProgramReporter::areaDone(ConfigArea, TransferAction action) {
    if (action != TransferAction::WriteController) return;
    s_.progressPos = 100;
    s_.ui->setProgress(100);
}

void ProgramReporter::firmwareRead(FirmwareVersion version) {
    s_.fwStatusText = firmwareStatusText(version);
    s_.ui->setStatusText(kStatusFirmwarePart, s_.fwStatusText);
    s_.progressPos = 100;
    s_.ui->setProgress(100);
}

void ProgramReporter::transferEnded() {
    s_.ui->setStopEnabled(false);
    s_.ui->requestRepaint();
}

bool ProgramReporter::retryAfter(const TransferOutcome& outcome) {
    return s_.ui->showMessage(transferFaultText(outcome), kCaptionFailed, MessageIcon::Warning,
                              MessageButtons::RetryCancel) == UserAnswer::Retry;
}

void ProgramReporter::failed(const TransferOutcome& outcome) {
    const bool noPort = outcome.fault == TransferFault::NoPort;
    const MessageIcon icon = outcome.fault == TransferFault::SystemError ? MessageIcon::Error : MessageIcon::Warning;
    s_.ui->showMessage(transferFaultText(outcome), noPort ? kCaptionWarning : kCaptionFailed, icon, MessageButtons::Ok);
}

bool ProgramReporter::continueAfter(const VerifyDifference& difference) {
    return s_.ui->showMessage(verifyPromptText(difference), kCaptionFailed, MessageIcon::Warning,
                              MessageButtons::YesNo) == UserAnswer::Yes;
}

}  // namespace kd215
