// The common file dialogs, the attribute tests and the atomic save and plain read of an area file.
#include "app/file_access_win32.h"

#include <commdlg.h>

#include <algorithm>

#include "app/text_win32.h"

namespace kd215 {

namespace {

// The filter list as the dialog takes it: pairs of zero-terminated strings, a second zero at the end.
std::wstring filterList() {
    std::wstring list;
    for (const FileFilter& filter : kFileFilters) {
        list += widen(filter.description);
        list.push_back(L'\0');
        list += widen(filter.pattern);
        list.push_back(L'\0');
    }
    list.push_back(L'\0');
    return list;
}

DWORD attributesOf(const std::string& path) { return GetFileAttributesW(widen(path).c_str()); }

// The folder that holds `path`, where the temporary file must live so that the final move is a
// rename within one volume. "." for a bare name.
std::wstring folderOf(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return L".";
    if (slash == 0 || (slash == 2 && path[1] == L':')) return path.substr(0, slash + 1);
    return path.substr(0, slash);
}

bool writeAll(HANDLE file, const std::vector<uint8_t>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
        if (!WriteFile(file, bytes.data() + done, chunk, &written, NULL) || written == 0) return false;
        done += written;
    }
    return true;
}

}  // namespace

bool Win32FileAccess::chooseFile(FileDialogRequest& request) {
    const std::wstring filters = filterList();
    const std::wstring title = widen(request.title);
    const std::wstring defaultExtension = widen(request.defaultExtension);
    wchar_t fileName[kFileNameBufferLength] = {};
    const std::wstring shown = widen(request.path);
    // A path too long for the buffer is not offered again: the dialog would refuse to open.
    if (shown.size() < kFileNameBufferLength) std::copy(shown.begin(), shown.end(), fileName);

    OPENFILENAMEW dialog{};
    // The short form of the record, without the fields added for the places bar.
    dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
    dialog.hwndOwner = owner;
    dialog.hInstance = instance;
    dialog.lpstrFilter = filters.c_str();
    dialog.nFilterIndex = static_cast<DWORD>(request.filterIndex);
    dialog.lpstrFile = fileName;
    dialog.nMaxFile = kFileNameBufferLength;
    dialog.nMaxFileTitle = 34;
    dialog.lpstrTitle = title.c_str();
    dialog.lpstrDefExt = defaultExtension.c_str();
    if (request.save) {
        dialog.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_CREATEPROMPT | OFN_NOREADONLYRETURN;
        if (!GetSaveFileNameW(&dialog)) return false;
    } else {
        dialog.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
        if (!GetOpenFileNameW(&dialog)) return false;
    }
    const std::wstring chosen(fileName);
    request.path = narrow(chosen);
    // The dialog counts UTF-16 units; the program's path is UTF-8, so the offset is re-counted.
    request.extensionOffset = dialog.nFileExtension == 0 || dialog.nFileExtension > chosen.size()
                                  ? 0
                                  : narrow(chosen.substr(0, dialog.nFileExtension)).size();
    return true;
}

bool Win32FileAccess::exists(const std::string& path) {
    return attributesOf(path) != INVALID_FILE_ATTRIBUTES;
}

bool Win32FileAccess::isReadOnly(const std::string& path) {
    const DWORD attributes = attributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

FileWriteResult Win32FileAccess::writeWhole(const std::string& path, const std::vector<uint8_t>& bytes) {
    const std::wstring target = widen(path);
    wchar_t temporary[MAX_PATH] = {};
    // Creates the empty temporary file under a name nobody else holds.
    if (GetTempFileNameW(folderOf(target).c_str(), L"kd2", 0, temporary) == 0) {
        return FileWriteResult::OpenFailed;
    }
    HANDLE file = CreateFileW(temporary, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        DeleteFileW(temporary);
        return FileWriteResult::OpenFailed;
    }
    const bool written = writeAll(file, bytes) && FlushFileBuffers(file);
    const bool closed = CloseHandle(file) != 0;
    // The old file is replaced only by a complete new one; a failure anywhere leaves it untouched.
    if (!written || !closed ||
        !MoveFileExW(temporary, target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(temporary);
        return FileWriteResult::WriteFailed;
    }
    return FileWriteResult::Written;
}

FileReadResult Win32FileAccess::readStart(const std::string& path, std::size_t limit,
                                          std::vector<uint8_t>& bytes) {
    bytes.clear();
    HANDLE file = CreateFileW(widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return FileReadResult::OpenFailed;
    bytes.resize(limit);
    std::size_t done = 0;
    bool failed = false;
    while (done < limit) {
        DWORD read = 0;
        if (!ReadFile(file, bytes.data() + done, static_cast<DWORD>(limit - done), &read, NULL)) {
            failed = true;
            break;
        }
        if (read == 0) break;  // end of file: a short file is the caller's to judge
        done += read;
    }
    CloseHandle(file);
    bytes.resize(done);
    return failed ? FileReadResult::ReadFailed : FileReadResult::Read;
}

}  // namespace kd215
