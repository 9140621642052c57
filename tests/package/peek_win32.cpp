// kd215-peek.exe: looks at a running Kd215.exe from another process for the installer test.
//   kd215-peek status N     prints part N of the status bar (UTF-8), exit 1 when there is no window
//   kd215-peek command ID   posts the menu command ID to the main window
//   kd215-peek close        posts WM_CLOSE (the frame's close: no confirmation)
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// The status bar keeps its text in its own process: the answer is read through a buffer made there.
bool readStatusPart(HWND statusBar, int part, std::wstring& text) {
    DWORD processId = 0;
    GetWindowThreadProcessId(statusBar, &processId);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
    if (process == nullptr) return false;
    constexpr SIZE_T kChars = 512;
    void* remote = VirtualAllocEx(process, nullptr, kChars * sizeof(wchar_t), MEM_COMMIT, PAGE_READWRITE);
    bool read = false;
    if (remote != nullptr) {
        const LRESULT length = SendMessageW(statusBar, SB_GETTEXTLENGTHW, part, 0);
        wchar_t local[kChars] = {};
        if (LOWORD(length) < kChars) {
            SendMessageW(statusBar, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(remote));
            read = ReadProcessMemory(process, remote, local, sizeof(local) - sizeof(wchar_t), nullptr) != 0;
            text = local;
        }
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    return read;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    HWND main = FindWindowW(L"Kd215<->PC", nullptr);
    if (main == nullptr) return 1;
    if (std::strcmp(argv[1], "status") == 0 && argc == 3) {
        HWND statusBar = FindWindowExW(main, nullptr, STATUSCLASSNAMEW, nullptr);
        std::wstring text;
        if (statusBar == nullptr || !readStatusPart(statusBar, std::atoi(argv[2]), text)) return 1;
        char utf8[2048] = {};
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8, sizeof(utf8) - 1, nullptr, nullptr);
        std::printf("%s\n", utf8);
        return 0;
    }
    if (std::strcmp(argv[1], "command") == 0 && argc == 3) {
        return PostMessageW(main, WM_COMMAND, static_cast<WPARAM>(std::atoi(argv[2])), 0) ? 0 : 1;
    }
    if (std::strcmp(argv[1], "close") == 0) return PostMessageW(main, WM_CLOSE, 0, 0) ? 0 : 1;
    return 2;
}
