// A DLL the shell tests load into the running Kd215.exe to read what Wine shows no other process:
// the menus' items and states, and which icon each open message box carries.
//
// The driver loads it with a remote LoadLibraryW and then runs Inspect in a remote thread, giving it
// the path of a file to write (UTF-16). Lines, UTF-8, tab-separated:
//   I <menu path> <position> <id> <state> <submenu> <caption>   one per menu item, depth first; the
//                                                              path is the positions from the bar,
//                                                              "/"-joined ("" for the bar itself)
//   B <window> <icon>                                          one per visible message box; icon is
//                                                              warning, error, information, question
//                                                              or none
// state is GetMenuState's value in hex; submenu is the popup's handle in hex, 0 for a command.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string utf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string out(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], length, nullptr, nullptr);
    return out;
}

void dumpMenu(HMENU menu, const std::string& path, std::string& out) {
    const int count = GetMenuItemCount(menu);
    for (int position = 0; position < count; ++position) {
        wchar_t caption[128] = {};
        GetMenuStringW(menu, static_cast<UINT>(position), caption, 128, MF_BYPOSITION);
        HMENU sub = GetSubMenu(menu, position);
        char line[160];
        std::snprintf(line, sizeof(line), "I\t%s\t%d\t%d\t%x\t%llx\t", path.c_str(), position,
                      static_cast<int>(GetMenuItemID(menu, position)),
                      GetMenuState(menu, static_cast<UINT>(position), MF_BYPOSITION),
                      static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(sub)));
        out += line + utf8(caption) + "\n";
        if (sub != nullptr) dumpMenu(sub, path.empty() ? std::to_string(position) : path + "/" + std::to_string(position), out);
    }
}

struct BoxSearch {
    DWORD process;
    std::string* out;
};

const char* iconName(HICON icon) {
    if (icon == nullptr) return "none";
    if (icon == LoadIconW(nullptr, MAKEINTRESOURCEW(32515))) return "warning";      // IDI_WARNING
    if (icon == LoadIconW(nullptr, MAKEINTRESOURCEW(32513))) return "error";        // IDI_ERROR
    if (icon == LoadIconW(nullptr, MAKEINTRESOURCEW(32516))) return "information";  // IDI_INFORMATION
    if (icon == LoadIconW(nullptr, MAKEINTRESOURCEW(32514))) return "question";     // IDI_QUESTION
    return "other";
}

BOOL CALLBACK findIcon(HWND child, LPARAM found) {
    wchar_t name[32] = {};
    GetClassNameW(child, name, 32);
    if (lstrcmpiW(name, L"Static") == 0 && (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
        DWORD_PTR icon = 0;
        SendMessageTimeoutW(child, STM_GETICON, 0, 0, SMTO_BLOCK, 2000, &icon);
        *reinterpret_cast<HICON*>(found) = reinterpret_cast<HICON>(icon);
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK findBox(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<BoxSearch*>(parameter);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t name[32] = {};
    GetClassNameW(window, name, 32);
    if (process != search->process || !IsWindowVisible(window) || lstrcmpW(name, L"#32770") != 0) return TRUE;
    HICON icon = nullptr;
    EnumChildWindows(window, findIcon, reinterpret_cast<LPARAM>(&icon));
    char line[64];
    std::snprintf(line, sizeof(line), "B\t%llx\t%s\n",
                  static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)), iconName(icon));
    *search->out += line;
    return TRUE;
}

}  // namespace

extern "C" __declspec(dllexport) DWORD WINAPI Inspect(LPVOID outputPath) {
    std::string out;
    // This process's main window: another Kd215.exe may be running beside it.
    HWND main = nullptr;
    while ((main = FindWindowExW(nullptr, main, L"Kd215<->PC", nullptr)) != nullptr) {
        DWORD process = 0;
        GetWindowThreadProcessId(main, &process);
        if (process == GetCurrentProcessId()) break;
    }
    if (main != nullptr && GetMenu(main) != nullptr) dumpMenu(GetMenu(main), "", out);
    BoxSearch search{GetCurrentProcessId(), &out};
    EnumWindows(findBox, reinterpret_cast<LPARAM>(&search));
    HANDLE file = CreateFileW(static_cast<const wchar_t*>(outputPath), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 2;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, out.data(), static_cast<DWORD>(out.size()), &written, nullptr);
    CloseHandle(file);
    return ok ? 0 : 3;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
