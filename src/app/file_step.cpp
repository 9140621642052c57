// The file step: one area saved or loaded per run, with the messages for each failure.
#include "app/file_step.h"

#include "config/area_files.h"
#include "link/transfer_engine.h"

namespace kd215 {

const FileFilter kFileFilters[4] = {
    {"Ustawienia", "*.ust"},
    {"Zawartość scen", "*.sce"},
    {"Zawartość  programów", "*.pg?"},
    {"Wszystkie pliki", "*.*"},
};

namespace {

const char* const kStatusFile = "\tPlik";
const char* const kCaptionProblem = "Mamy problem";
const char* const kSaveTitle = "Wybierz plik do zapisu :";
const char* const kLoadTitle = "Wybierz plik z danymi :";

int filterIndexFor(ConfigArea area) {
    switch (area) {
        case ConfigArea::Settings: return 1;
        case ConfigArea::Scenes: return 2;
        case ConfigArea::Program1:
        case ConfigArea::Program2: return 3;
        default: return 0;
    }
}

// Every failure ends the step and any chain, so no later area is touched.
void fail(ProgramState& s, const std::string& text, const char* caption, MessageIcon icon) {
    s.ui->showMessage(text, caption, icon, MessageButtons::Ok);
    EndTransfer(s.link);
}

void abandon(ProgramState& s) {
    DropAction(s.link);
    EndTransfer(s.link);
}

void chainOn(ProgramState& s, FileDialogState& dialog) {
    if (!ContinueFileChain(s.link)) return;
    const char* extension = areaBlock(s.link.currentArea).fileExtension;
    dialog.path = replaceExtension(dialog.path, dialog.extensionOffset, extension);
    if (dialog.extensionOffset == 0 || dialog.extensionOffset > dialog.path.size()) {
        dialog.extensionOffset = dialog.path.size() - std::string(extension).size();
    }
}

bool askForFile(ProgramState& s, FileAccess& files, FileDialogState& dialog, bool save) {
    FileDialogRequest request;
    request.save = save;
    request.title = save ? kSaveTitle : kLoadTitle;
    request.filterIndex = filterIndexFor(s.link.currentArea);
    request.defaultExtension = areaBlock(s.link.currentArea).fileExtension;
    request.path = dialog.path;
    if (!files.chooseFile(request)) return false;
    dialog.path = request.path;
    dialog.extensionOffset = request.extensionOffset;
    return true;
}

void save(ProgramState& s, FileAccess& files, FileDialogState& dialog) {
    if (!askForFile(s, files, dialog, true)) {
        abandon(s);
        return;
    }
    const std::string& path = dialog.path;
    if (files.exists(path) && files.isReadOnly(path)) {
        fail(s, path + " :\nBrak dostępu do zapisu !", kCaptionFailed, MessageIcon::Error);
        return;
    }
    FileError error;
    if (!files.writeWhole(path, encodeAreaFile(s.image, s.link.currentArea), error)) {
        fail(s, error.created ? fileWriteFailedText(path) : kFileOpenFailedText, kCaptionFailed, MessageIcon::Error);
        return;
    }
    chainOn(s, dialog);
}

void load(ProgramState& s, FileAccess& files, FileDialogState& dialog) {
    if (!askForFile(s, files, dialog, false)) {
        abandon(s);
        return;
    }
    const std::string& path = dialog.path;
    if (!files.exists(path)) {
        fail(s, fileMissingText(path), kCaptionWarning, MessageIcon::Error);
        return;
    }
    const std::size_t size = areaFileSize(s.link.currentArea);
    ByteBuffer bytes;
    const FileReadStatus read = files.readStart(path, size, bytes);
    if (read == FileReadStatus::Missing || read == FileReadStatus::OpenFailed) {
        fail(s, kFileOpenFailedText, kCaptionFailed, MessageIcon::Error);
        return;
    }
    if (read != FileReadStatus::Ok ||
        !decodeAreaFile(bytes, s.link.currentArea, s.image)) {
        fail(s, fileReadFailedText(path), kCaptionFailed, MessageIcon::Error);
        return;
    }
    chainOn(s, dialog);
}

}  // namespace

std::string replaceExtension(const std::string& path, std::size_t extensionOffset,
                             const std::string& extension) {
    // A dialog reports 0 for a name without an extension; writing there would destroy the path.
    if (extensionOffset == 0 || extensionOffset > path.size()) return path + "." + extension;
    return path.substr(0, extensionOffset) + extension;
}

void runFileStep(ProgramState& s, FileAccess& files, FileDialogState& dialog) {
    s.ui->setStatusText(kStatusAreaPart, kStatusFile);
    s.ui->setRepeatEnabled(false);
    if (filterIndexFor(s.link.currentArea) == 0) {
        DropAction(s.link);
        fail(s, "Błędny obszar : " + std::to_string(static_cast<int>(s.link.currentArea)) + " !",
             kCaptionProblem, MessageIcon::Warning);
        return;
    }
    BeginFileStep(s.link);
    if (s.link.currentAction == TransferAction::WriteToFile) {
        save(s, files, dialog);
    } else if (s.link.currentAction == TransferAction::ReadFromFile) {
        load(s, files, dialog);
    } else {
        const int action = static_cast<int>(s.link.currentAction);
        DropAction(s.link);
        fail(s, "Błędna akcja : " + std::to_string(action) + " !", kCaptionProblem,
             MessageIcon::Warning);
    }
}

}  // namespace kd215
