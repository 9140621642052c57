// The file step's dialogs and files on Windows: the common file dialogs and an atomic whole-file save.
#pragma once

#include <windows.h>

#include "app/file_step.h"

namespace kd215 {

// Paths are UTF-8 inside the program and UTF-16 at every call, so any name the dialog offers
// (Polish letters included) opens, whatever the system's ANSI code page.
class Win32FileAccess final : public FileAccess {
public:
    // Set once the main window exists: the dialogs are modal to it.
    HWND owner = nullptr;
    HINSTANCE instance = nullptr;

    bool chooseFile(FileDialogRequest& request) override;
    bool exists(const std::string& path) override;
    bool isReadOnly(const std::string& path) override;
    // Writes a temporary file beside the target, flushes it and moves it over the target in one
    // step; on any failure the temporary file is deleted and the target is left as it was.
    bool writeWhole(const std::string& path, const ByteBuffer& bytes, FileError& error) override;
    FileReadStatus readStart(const std::string& path, std::size_t limit, ByteBuffer& bytes) override;
};

// The characters the file dialog's name buffer holds, terminator included.
constexpr std::size_t kFileNameBufferLength = 260;

}  // namespace kd215
