// A hook DLL the shell tests put into the running Kd215.exe to read what Wine shows no other
// process: the menus' items and states, the status bar, and the icon of each open message box.
//
// The driver installs InspectHook as a WH_GETMESSAGE hook on the program's thread and posts the
// registered message "Kd215.Inspect" (wParam: a sequence number) to the main window. When the
// program takes that message from its queue (in its own loop or in any modal one), the hook writes
// the file named by the program's KD215_INSPECT_FILE variable followed by "-" and the sequence
// number: first under a temporary name, then renamed, so the driver never reads half a file. Lines, UTF-8, tab-separated, with
// tab, newline and backslash inside texts written as \t, \n and \\:
//   N <sequence>                                               first line
//   I <menu path> <position> <id> <state> <submenu> <caption>   one per menu item, depth first; the
//                                                              path is the positions from the bar,
//                                                              "/"-joined ("" for the bar itself)
//   S <part> <text>                                            the status bar's parts 0 to 3
//   E <edge> ...                                               the status bar's part edges
//   G <position>                                               the progress bar
//   B <window> <icon>                                          one per visible message box; icon is
//                                                              warning, error, information, question
//                                                              or none
// state is GetMenuState's value in hex; submenu is the popup's handle in hex, 0 for a command.
// Everything runs on the program's own thread, at a point where it takes a message anyway.
#include <windows.h>

#include <commctrl.h>

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

std::string escaped(const std::wstring& text) {
    std::string out;
    for (char c : utf8(text)) {
        if (c == '\t') {
            out += "\\t";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\\') {
            out += "\\\\";
        } else {
            out += c;
        }
    }
    return out;
}

std::string hex(UINT_PTR value) {
    char text[32];
    std::snprintf(text, sizeof(text), "%llx", static_cast<unsigned long long>(value));
    return text;
}

void dumpMenu(HMENU menu, const std::string& path, std::string& out) {
    const int count = GetMenuItemCount(menu);
    for (int position = 0; position < count; ++position) {
        wchar_t caption[128] = {};
        GetMenuStringW(menu, static_cast<UINT>(position), caption, 128, MF_BYPOSITION);
        HMENU sub = GetSubMenu(menu, position);
        out += "I\t" + path + "\t" + std::to_string(position) + "\t" +
               std::to_string(static_cast<int>(GetMenuItemID(menu, position))) + "\t" +
               hex(GetMenuState(menu, static_cast<UINT>(position), MF_BYPOSITION)) + "\t" +
               hex(reinterpret_cast<UINT_PTR>(sub)) + "\t" + escaped(caption) + "\n";
        if (sub != nullptr) {
            dumpMenu(sub, path.empty() ? std::to_string(position) : path + "/" + std::to_string(position), out);
        }
    }
}

void dumpStatus(HWND main, std::string& out) {
    HWND status = FindWindowExW(main, nullptr, STATUSCLASSNAMEW, nullptr);
    if (status == nullptr) return;
    for (int part = 0; part < 4; ++part) {
        const LRESULT length = SendMessageW(status, SB_GETTEXTLENGTHW, static_cast<WPARAM>(part), 0);
        std::wstring text(LOWORD(length) + 1u, L'\0');
        SendMessageW(status, SB_GETTEXTW, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(&text[0]));
        text.resize(LOWORD(length));
        out += "S\t" + std::to_string(part) + "\t" + escaped(text) + "\n";
    }
    int edges[16] = {};
    const LRESULT count = SendMessageW(status, SB_GETPARTS, 16, reinterpret_cast<LPARAM>(edges));
    out += "E";
    for (LRESULT i = 0; i < count && i < 16; ++i) out += "\t" + std::to_string(edges[i]);
    out += "\n";
    HWND progress = FindWindowExW(status, nullptr, PROGRESS_CLASSW, nullptr);
    if (progress != nullptr) out += "G\t" + std::to_string(SendMessageW(progress, PBM_GETPOS, 0, 0)) + "\n";
}

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
        *reinterpret_cast<HICON*>(found) = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK findBox(HWND window, LPARAM parameter) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t name[32] = {};
    GetClassNameW(window, name, 32);
    if (process != GetCurrentProcessId() || !IsWindowVisible(window) || lstrcmpW(name, L"#32770") != 0) return TRUE;
    HICON icon = nullptr;
    EnumChildWindows(window, findIcon, reinterpret_cast<LPARAM>(&icon));
    *reinterpret_cast<std::string*>(parameter) +=
        "B\t" + hex(reinterpret_cast<UINT_PTR>(window)) + "\t" + iconName(icon) + "\n";
    return TRUE;
}

// This process's main window: another Kd215.exe may be running beside it.
HWND mainWindow() {
    HWND main = nullptr;
    while ((main = FindWindowExW(nullptr, main, L"Kd215<->PC", nullptr)) != nullptr) {
        DWORD process = 0;
        GetWindowThreadProcessId(main, &process);
        if (process == GetCurrentProcessId()) return main;
    }
    return nullptr;
}

void writeInspection(WPARAM sequence) {
    wchar_t path[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"KD215_INSPECT_FILE", path, MAX_PATH) == 0) return;
    std::string out = "N\t" + std::to_string(static_cast<unsigned long long>(sequence)) + "\n";
    HWND main = mainWindow();
    if (main != nullptr) {
        if (GetMenu(main) != nullptr) dumpMenu(GetMenu(main), "", out);
        dumpStatus(main, out);
    }
    EnumWindows(findBox, reinterpret_cast<LPARAM>(&out));

    // A name of its own per answer: nothing is renamed over a file the driver may be reading.
    const std::wstring answer = std::wstring(path) + L"-" + std::to_wstring(static_cast<unsigned long long>(sequence));
    const std::wstring partial = answer + L".part";
    HANDLE file = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, out.data(), static_cast<DWORD>(out.size()), &written, nullptr);
    CloseHandle(file);
    if (ok) MoveFileExW(partial.c_str(), answer.c_str(), 0);
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK InspectHook(int code, WPARAM removal, LPARAM message) {
    static const UINT request = RegisterWindowMessageW(L"Kd215.Inspect");
    auto* taken = reinterpret_cast<MSG*>(message);
    if (code == HC_ACTION && removal == PM_REMOVE && taken->message == request) {
        writeInspection(taken->wParam);
        taken->message = WM_NULL;  // the program never sees it
    }
    return CallNextHookEx(nullptr, code, removal, message);
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
