// The common file dialogs, the attribute tests and the atomic save and plain read of an area file.
#include "app/file_access_win32.h"

#include <commdlg.h>

#include <algorithm>

#include "platform/files.h"
#include "platform/text_win32.h"

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

bool Win32FileAccess::writeWhole(const std::string& path, const ByteBuffer& bytes, FileError& error) {
    // The old file is replaced only by a complete new one; a failure anywhere leaves it untouched.
    return replaceFile(path, bytes, true, error);
}

FileReadStatus Win32FileAccess::readStart(const std::string& path, std::size_t limit, ByteBuffer& bytes) {
    const FileReadStatus status = readFileBytes(path, limit, bytes);
    return status;
}

}  // namespace kd215
