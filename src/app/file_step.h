// The file step: saving and loading the area files through the file dialogs, singly or chained.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/program_state.h"
#include "platform/files.h"

namespace kd215 {

// What one file dialog is asked for, and what it answers.
struct FileDialogRequest {
    bool save = false;
    std::string title;         // "Wybierz plik do zapisu :" or "Wybierz plik z danymi :"
    int filterIndex = 1;       // 1 settings, 2 scenes, 3 programs
    std::string defaultExtension;
    std::string path;          // in: the last path (shown again); out: the chosen one
    std::size_t extensionOffset = 0;  // out: where the chosen path's extension begins, 0 if none
};


// Dialogs and files, so the step runs the same on Windows and in native tests.
class FileAccess {
public:
    virtual ~FileAccess() = default;
    // Shows the save or open dialog; false when the user cancelled.
    virtual bool chooseFile(FileDialogRequest& request) = 0;
    virtual bool exists(const std::string& path) = 0;
    virtual bool isReadOnly(const std::string& path) = 0;
    // Replaces the file as a whole: a failure leaves any old file exactly as it was.
    virtual bool writeWhole(const std::string& path, const ByteBuffer& bytes, FileError& error) = 0;
    // Reads at most `limit` bytes from the start of the file.
    virtual FileReadStatus readStart(const std::string& path, std::size_t limit, ByteBuffer& bytes) = 0;
};

// The dialog record's lasting part: the path shown again by the next dialog.
struct FileDialogState {
    std::string path;
    std::size_t extensionOffset = 0;
};

// The filter list of the file dialogs, as pairs of description and pattern.
struct FileFilter {
    const char* description;
    const char* pattern;
};
extern const FileFilter kFileFilters[4];

// One run of the file step for currentArea and currentAction.
void runFileStep(ProgramState& s, FileAccess& files, FileDialogState& dialog);

// The path with its extension replaced by `extension`, starting where the old one began; a path
// without an extension gets one appended.
std::string replaceExtension(const std::string& path, std::size_t extensionOffset,
                             const std::string& extension);

}  // namespace kd215
