// The end-to-end driver's additions: editor dialogs worked from another process, the silent lines'
// logs, memory helpers and timing.
#include "e2e_driver_win32.h"

#include <commctrl.h>

#include <random>
#include <sstream>

namespace kd215 {

namespace {

constexpr DWORD kMessageTimeoutMs = 5000;
constexpr std::size_t kStatusBufferBytes = 1024;

std::wstring environmentValue(const wchar_t* name) {
    wchar_t value[1024] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, 1024);
    return length > 0 && length < 1024 ? std::wstring(value, length) : std::wstring();
}

// A message sent and waited for, but never for ever: a program stuck in a box must not hang the run.
LRESULT sendWaiting(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool& answered) {
    DWORD_PTR result = 0;
    answered = SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, kMessageTimeoutMs, &result) != 0;
    return static_cast<LRESULT>(result);
}

}  // namespace

// ---- the controller's memory ------------------------------------------------------------------

uint16_t memoryWord(const std::vector<uint8_t>& memory, std::size_t address) {
    return static_cast<uint16_t>(memory.at(address) | (memory.at(address + 1) << 8));
}

void setMemoryWord(std::vector<uint8_t>& memory, std::size_t address, uint16_t value) {
    memory.at(address) = static_cast<uint8_t>(value & 0xFF);
    memory.at(address + 1) = static_cast<uint8_t>(value >> 8);
}

std::vector<uint8_t> seededBytes(uint32_t seed, std::size_t count) {
    std::mt19937 random(seed);
    std::vector<uint8_t> bytes(count);
    for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(random());
    return bytes;
}

std::string memoryDifferences(const std::vector<uint8_t>& got, const std::vector<uint8_t>& want) {
    if (got.size() != want.size()) {
        return "sizes differ: " + std::to_string(got.size()) + " and " + std::to_string(want.size());
    }
    std::ostringstream text;
    int shown = 0;
    for (std::size_t address = 0; address < got.size(); ++address) {
        if (got[address] == want[address]) continue;
        if (++shown > 24) {
            text << " ...";
            break;
        }
        text << " [" << address << "] " << static_cast<int>(got[address]) << " not " << static_cast<int>(want[address])
             << ";";
    }
    return shown == 0 ? "equal" : "differences:" + text.str();
}

// ---- the lines --------------------------------------------------------------------------------

std::vector<std::string> portNames() {
    std::vector<std::string> names;
    std::istringstream words(toUtf8(environmentValue(L"KD215_E2E_PORTS")));
    std::string name;
    while (words >> name) names.push_back(name);
    return names;
}

std::vector<LineEvent> lineEvents(const std::wstring& logPath) {
    std::vector<LineEvent> events;
    std::vector<uint8_t> bytes;
    if (!readFile(logPath, bytes)) return events;
    std::istringstream lines(std::string(bytes.begin(), bytes.end()));
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string time;
        LineEvent event;
        if (!(words >> time >> event.kind)) continue;
        std::string rest;
        std::getline(words, rest);
        const std::size_t start = rest.find_first_not_of(' ');
        rest = start == std::string::npos ? std::string() : rest.substr(start);
        const std::size_t hash = event.kind == "EV" ? std::string::npos : rest.find(" #");
        event.text = rest.substr(0, hash);
        if (hash != std::string::npos) {
            const std::size_t note = rest.find_first_not_of(' ', hash + 2);
            event.note = note == std::string::npos ? std::string() : rest.substr(note);
        }
        events.push_back(event);
    }
    return events;
}

std::wstring silentLineLog(int comNumber) {
    return environmentValue(comNumber == 1 ? L"KD215_E2E_COM1_LOG" : L"KD215_E2E_COM3_LOG");
}

std::vector<std::string> receivedSince(const std::wstring& logPath, std::size_t from) {
    std::vector<std::string> frames;
    const std::vector<LineEvent> events = lineEvents(logPath);
    for (std::size_t i = from; i < events.size(); ++i) {
        if (events[i].kind == "RX") frames.push_back(events[i].text);
    }
    return frames;
}

bool openedSince(const std::wstring& logPath, std::size_t from) {
    const std::vector<LineEvent> events = lineEvents(logPath);
    for (std::size_t i = from; i < events.size(); ++i) {
        if (events[i].kind == "EV" && events[i].text == "port opened") return true;
    }
    return false;
}

// ---- the editors ------------------------------------------------------------------------------

bool waitEditor(const Kd215Process& program, const std::string& title, HWND& editor, DWORD timeoutMs) {
    DialogWindow found;
    if (!waitDialog(program, found, title, timeoutMs)) return false;
    editor = found.window;
    return true;
}

std::string controlText(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    if (control == nullptr) return "<no control " + std::to_string(id) + ">";
    wchar_t text[256] = {};
    bool answered = false;
    sendWaiting(control, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text), answered);
    return answered ? toUtf8(text) : "<no answer>";
}

bool buttonChecked(HWND dialog, int id) {
    bool answered = false;
    const LRESULT state = sendWaiting(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0, answered);
    return answered && state == BST_CHECKED;
}

bool controlVisible(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    return control != nullptr && (GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0;
}

HWND focusedControl(const Kd215Process& program) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    return GetGUIThreadInfo(program.info.dwThreadId, &info) ? info.hwndFocus : nullptr;
}

bool clickInto(const Kd215Process& program, HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    if (control == nullptr) return false;
    // Just inside the field's corner, where a click lands on its text.
    const LPARAM where = MAKELPARAM(2, 2);
    bool down = false, up = false;
    sendWaiting(control, WM_LBUTTONDOWN, MK_LBUTTON, where, down);
    sendWaiting(control, WM_LBUTTONUP, 0, where, up);
    return down && up && waitFor([&] { return focusedControl(program) == control; }, kMessageTimeoutMs);
}

bool typeInto(const Kd215Process& program, HWND dialog, int id, const std::string& text) {
    if (!clickInto(program, dialog, id)) return false;
    const std::wstring wide = toWide(text);
    bool answered = false;
    sendWaiting(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()), answered);
    return answered && controlText(dialog, id) == text;
}

bool clickButton(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    if (button == nullptr) return false;
    bool answered = false;
    sendWaiting(button, BM_CLICK, 0, 0, answered);
    return answered;
}

bool closeEditor(HWND dialog) {
    return clickButton(dialog, IDCANCEL) && waitFor([&] { return !IsWindow(dialog); }, kMessageTimeoutMs);
}

// ---- time -------------------------------------------------------------------------------------

double secondsNow() {
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / frequency;
}

bool programProcessorSeconds(const Kd215Process& program, double& seconds) {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(program.info.hProcess, &created, &exited, &kernel, &user)) return false;
    auto ticks = [](const FILETIME& t) {
        return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    seconds = static_cast<double>(ticks(kernel) + ticks(user)) / 1e7;
    return true;
}

StatusReader::StatusReader(HANDLE process, HWND statusBar)
    : process_(process),
      statusBar_(statusBar),
      buffer_(VirtualAllocEx(process, nullptr, kStatusBufferBytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)) {}

StatusReader::~StatusReader() {
    if (buffer_ != nullptr) VirtualFreeEx(process_, buffer_, 0, MEM_RELEASE);
}

std::string StatusReader::part(int index) const {
    if (buffer_ == nullptr) return "<no buffer>";
    bool answered = false;
    const LRESULT length = sendWaiting(statusBar_, SB_GETTEXTLENGTHW, static_cast<WPARAM>(index), 0, answered);
    const std::size_t characters = LOWORD(length);
    if (!answered) return "<no answer>";
    if ((characters + 1) * sizeof(wchar_t) > kStatusBufferBytes) return "<too long>";
    sendWaiting(statusBar_, SB_GETTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer_), answered);
    std::wstring text(characters, L'\0');
    if (characters > 0 && !ReadProcessMemory(process_, buffer_, &text[0], characters * sizeof(wchar_t), nullptr)) {
        return "<unreadable>";
    }
    return toUtf8(text);
}

}  // namespace kd215
