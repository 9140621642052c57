// The driver's side of the process boundary: windows found by class, texts read with messages sent
// and waited for (never for ever), the status bar through a buffer inside the program, and what only
// Linux can do (keys, screenshots, processor time) asked of the runner through request files.
#include "driver_win32.h"

#include <commctrl.h>

#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

namespace kd215 {

namespace {

constexpr DWORD kSendTimeoutMs = 5000;
constexpr SIZE_T kStatusBufferBytes = 1024;
const wchar_t* const kMainClass = L"Kd215<->PC";

LRESULT sendWaiting(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool* answered = nullptr) {
    DWORD_PTR result = 0;
    const bool ok = SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, kSendTimeoutMs, &result) != 0;
    if (answered != nullptr) *answered = ok;
    return static_cast<LRESULT>(result);
}

std::wstring classOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

std::wstring windowText(HWND window) {
    wchar_t text[1024] = {};
    sendWaiting(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
    return text;
}

BOOL CALLBACK visitWindow(HWND window, LPARAM visit) {
    if (IsWindowVisible(window)) (*reinterpret_cast<const std::function<void(HWND)>*>(visit))(window);
    return TRUE;
}

// Every visible top-level window of the program: its dialogs and boxes all belong to its one thread.
void eachWindowOf(const Program& program, const std::function<void(HWND)>& visit) {
    EnumThreadWindows(program.info.dwThreadId, visitWindow, reinterpret_cast<LPARAM>(&visit));
}

bool writeFile(const std::wstring& path, const std::vector<uint8_t>& bytes) {
    std::ofstream file(path.c_str(), std::ios::binary);
    return static_cast<bool>(file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size())));
}

// Writes under a neighbouring name and renames into place, so that the reader never sees half a file;
// with `servedMs`, waits that long at most for the reader to take the file away.
bool replaceFile(const std::wstring& path, const std::string& text, DWORD servedMs = 0) {
    const std::wstring next = path + L".next";
    const auto served = [&] { return GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES; };
    return writeFile(next, std::vector<uint8_t>(text.begin(), text.end())) &&
           MoveFileExW(next.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) &&
           (servedMs == 0 || waitFor(served, servedMs));
}

// Drops NAME.req holding `request` in the runner's folder and waits until the runner has served it.
bool askRunner(const std::wstring& name, const std::string& request) {
    return replaceFile(env(L"KD215_REQUESTS") + L"\\" + name + L".req", request, 20000);
}

}  // namespace

std::wstring toWide(const std::string& utf8) {
    std::wstring wide(utf8.size(), L'\0');
    wide.resize(static_cast<std::size_t>(
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], static_cast<int>(wide.size()))));
    return wide;
}

std::string toUtf8(const std::wstring& wide) {
    std::string text(wide.size() * 3, '\0');
    text.resize(static_cast<std::size_t>(WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                                             &text[0], static_cast<int>(text.size()), nullptr, nullptr)));
    return text;
}

std::wstring env(const wchar_t* name) {
    wchar_t value[1024] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, 1024);
    return length < 1024 ? std::wstring(value, length) : std::wstring();
}

std::wstring workPath(const std::string& name) { return env(L"KD215_WORK") + L"\\" + toWide(name); }

bool waitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition()) return true;
        if (GetTickCount64() > end) return false;
        Sleep(20);
    }
}

// ---- the program ------------------------------------------------------------------------------

void closeProgram(Program& program) {
    if (program.info.hProcess == nullptr) return;
    // A stuck box would outlast WM_CLOSE: after a moment the process is ended.
    PostMessageW(program.main, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(program.info.hProcess, 1000) != WAIT_OBJECT_0) TerminateProcess(program.info.hProcess, 1);
    detachProgram(program);
}

// The status bar and a buffer inside the program for SB_GETTEXT.
bool prepareStatusBar(Program& program, std::string& failure) {
    program.statusBar = FindWindowExW(program.main, nullptr, STATUSCLASSNAMEW, nullptr);
    program.statusBuffer =
        VirtualAllocEx(program.info.hProcess, nullptr, kStatusBufferBytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (program.statusBar == nullptr || program.statusBuffer == nullptr) failure = "no status bar to read";
    return failure.empty();
}

bool startProgram(Program& program, std::string& failure) {
    std::wstring commandLine = L"\"" + env(L"KD215_EXE") + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, env(L"KD215_WORK").c_str(),
                        &startup, &program.info)) {
        failure = "CreateProcess failed with " + std::to_string(GetLastError());
        return false;
    }
    const auto shown = [&] {
        eachWindowOf(program, [&](HWND w) { program.main = classOf(w) == kMainClass ? w : program.main; });
        return program.main != nullptr;
    };
    if (!waitFor(shown)) {
        failure = "no main window within 10 s";
        return false;
    }
    return prepareStatusBar(program, failure);
}

bool attachProgram(Program& program, std::string& failure) {
    program.main = FindWindowW(kMainClass, nullptr);
    if (program.main == nullptr) {
        failure = "no Kd215.exe running";
        return false;
    }
    program.info.dwThreadId = GetWindowThreadProcessId(program.main, &program.info.dwProcessId);
    program.info.hProcess = OpenProcess(PROCESS_ALL_ACCESS, FALSE, program.info.dwProcessId);
    return program.info.hProcess != nullptr && prepareStatusBar(program, failure);
}

void detachProgram(Program& program) {
    if (program.statusBuffer != nullptr) VirtualFreeEx(program.info.hProcess, program.statusBuffer, 0, MEM_RELEASE);
    if (program.info.hThread != nullptr) CloseHandle(program.info.hThread);
    if (program.info.hProcess != nullptr) CloseHandle(program.info.hProcess);
    program.info = {};
    program.main = program.statusBar = nullptr;
    program.statusBuffer = nullptr;
}

std::string statusText(const Program& program, int part) {
    bool answered = false;
    const std::size_t length = LOWORD(sendWaiting(program.statusBar, SB_GETTEXTLENGTHW, part, 0, &answered));
    if (!answered || (length + 1) * sizeof(wchar_t) > kStatusBufferBytes) return "<no answer>";
    sendWaiting(program.statusBar, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(program.statusBuffer), &answered);
    std::wstring text(length, L'\0');
    if (length > 0 && !ReadProcessMemory(program.info.hProcess, program.statusBuffer, &text[0],
                                         length * sizeof(wchar_t), nullptr))
        return "<unreadable>";
    return toUtf8(text);
}

bool waitReady(const Program& program, DWORD timeoutMs) {
    return waitFor([&] { return statusText(program, 0) == "\tFW : 1.05" && statusText(program, 2) == "\tGotowe"; },
                   timeoutMs);
}

bool waitGotowe(const Program& program, DWORD timeoutMs) {
    return waitFor([&] { return statusText(program, 2) == "\tGotowe"; }, timeoutMs);
}

DWORD waitExit(const Program& program, DWORD timeoutMs) {
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(program.info.hProcess, timeoutMs) == WAIT_OBJECT_0) GetExitCodeProcess(program.info.hProcess, &code);
    return code;
}

void postCommand(const Program& program, int id) { PostMessageW(program.main, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

bool xdotool(const std::string& arguments) {
    static int sequence = 0;
    return askRunner(L"input-" + std::to_wstring(++sequence), "xdotool " + arguments);
}

bool typeKeys(const std::string& keys) { return xdotool("key --delay 60 " + keys); }

// ---- dialogs ----------------------------------------------------------------------------------

std::vector<Dialog> dialogs(const Program& program) {
    std::vector<Dialog> found;
    eachWindowOf(program, [&](HWND w) {
        if (classOf(w) != L"#32770") return;
        HWND message = GetDlgItem(w, 0xFFFF);
        found.push_back({w, toUtf8(windowText(w)), message ? toUtf8(windowText(message)) : std::string()});
    });
    return found;
}

std::string describeDialogs(const Program& program) {
    std::string text;
    for (const Dialog& d : dialogs(program)) text += "[" + d.caption + "] " + d.text + "\n";
    return text.empty() ? "no dialog" : text;
}

bool noDialogFor(const Program& program, DWORD ms) {
    return !waitFor([&] { return !dialogs(program).empty(); }, ms);
}

bool hasButton(const Dialog& dialog, int id) { return GetDlgItem(dialog.window, id) != nullptr; }

bool answer(const Dialog& dialog, int id) {
    HWND button = GetDlgItem(dialog.window, id);
    // Posted: the click may open the next box at once, which a sent message would wait behind.
    return button != nullptr && PostMessageW(button, BM_CLICK, 0, 0) &&
           waitFor([&] { return !IsWindow(dialog.window) || !IsWindowVisible(dialog.window); }, 5000);
}

std::string controlText(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    return control ? toUtf8(windowText(control)) : "<no control " + std::to_string(id) + ">";
}

bool clickButton(HWND dialog, int id) {
    bool answered = false;
    sendWaiting(GetDlgItem(dialog, id), BM_CLICK, 0, 0, &answered);
    return answered;
}

HWND focused(const Program& program) {
    GUITHREADINFO thread{};
    thread.cbSize = sizeof(thread);
    return GetGUIThreadInfo(program.info.dwThreadId, &thread) ? thread.hwndFocus : nullptr;
}

bool typeInto(const Program& program, HWND dialog, int id, const std::string& text) {
    HWND field = GetDlgItem(dialog, id);
    if (field == nullptr) return false;
    // A click just inside the field: it takes the focus, and the field that had it is left.
    sendWaiting(field, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    sendWaiting(field, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    if (!waitFor([&] { return focused(program) == field; }, 5000)) return false;
    const std::wstring wide = toWide(text);
    sendWaiting(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
    return controlText(dialog, id) == text;
}

bool acceptFile(const Program& program, const Dialog& dialog, const std::wstring& path) {
    // The file name box: edt1 in the old template, or the edit inside the combo box cmb13.
    HWND edit = GetDlgItem(dialog.window, 0x480);
    for (HWND box = GetDlgItem(dialog.window, 0x47c); edit == nullptr && box != nullptr;
         box = FindWindowExW(box, nullptr, nullptr, nullptr)) {
        edit = FindWindowExW(box, nullptr, L"Edit", nullptr);
    }
    if (edit == nullptr) return false;
    if (!path.empty()) sendWaiting(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    PostMessageW(GetDlgItem(dialog.window, IDOK), BM_CLICK, 0, 0);
    return waitFor([&] {
        if (!IsWindow(dialog.window)) return true;
        for (const Dialog& other : dialogs(program)) {
            if (other.window != dialog.window && hasButton(other, IDYES)) answer(other, IDYES);
        }
        return false;
    });
}

// ---- the simulated lines ----------------------------------------------------------------------

Line line(const char* name) { return {env(toWide(std::string("KD215_LINE_") + name).c_str())}; }

std::vector<std::string> frames(const Line& line, const char* kind, std::size_t from) {
    std::vector<uint8_t> bytes;
    readFile(line.base + L".log", bytes);
    std::istringstream lines(std::string(bytes.begin(), bytes.end()));
    std::vector<std::string> found;
    for (std::string text, time, seen, word; std::getline(lines, text);) {
        std::istringstream words(text);
        if (!(words >> time >> seen) || seen != kind) continue;
        std::string frame;
        while (words >> word && word != "#") frame += (frame.empty() ? "" : " ") + word;
        found.push_back(frame);
    }
    found.erase(found.begin(), found.begin() + std::min(from, found.size()));
    return found;
}

bool simControl(const Line& line, const std::string& commands) {
    return replaceFile(line.base + L".control", commands + "\n", 5000);
}

std::vector<uint8_t> simMemory(const Line& line) {
    std::vector<uint8_t> bytes;
    readFile(line.base + L".bin", bytes);
    return bytes;
}

bool setSimMemory(const Line& line, const std::vector<uint8_t>& memory) {
    return replaceFile(line.base + L".bin", std::string(memory.begin(), memory.end())) && simControl(line, "reload");
}

// ---- files and figures ------------------------------------------------------------------------

bool readFile(const std::wstring& path, std::vector<uint8_t>& bytes) {
    std::ifstream file(path.c_str(), std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return file.is_open();
}

std::vector<uint8_t> seededBytes(uint32_t seed, std::size_t count) {
    std::mt19937 random(seed);
    std::vector<uint8_t> bytes(count);
    for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(random());
    return bytes;
}

std::string memoryDifferences(const std::vector<uint8_t>& got, const std::vector<uint8_t>& want) {
    if (got.size() != want.size()) return "sizes " + std::to_string(got.size()) + " and " + std::to_string(want.size());
    std::ostringstream text;
    for (std::size_t a = 0, shown = 0; a < got.size() && shown < 24; ++a) {
        if (got[a] != want[a] && ++shown) text << " [" << a << "] " << int(got[a]) << " not " << int(want[a]) << ";";
    }
    return text.str().empty() ? "equal" : "differences:" + text.str();
}

bool screenshot(const std::string& name) { return askRunner(toWide(toUtf8(env(L"KD215_SHOT_PREFIX")) + name), "shot"); }

bool cpuSeconds(double& program, double& wineserver) {
    static int sample = 0;
    const std::wstring name = L"cpu-" + std::to_wstring(++sample);
    if (!askRunner(name, "cpu")) return false;
    std::ifstream reply((env(L"KD215_REQUESTS") + L"\\" + name + L".txt").c_str());
    double programTicks = 0, serverTicks = 0, perSecond = 0;
    if (!(reply >> programTicks >> serverTicks >> perSecond) || perSecond <= 0) return false;
    program = programTicks / perSecond;
    wineserver = serverTicks / perSecond;
    return true;
}

}  // namespace kd215
