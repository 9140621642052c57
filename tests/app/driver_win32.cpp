// Driving Kd215.exe from a second process: windows found by class, messages posted as the menus and
// keys would post them, text read back across the process boundary, and the simulator's files.
#include "driver_win32.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <sstream>

namespace kd215 {

namespace {

constexpr int kFileNameCombo = 0x47c;  // cmb13: the Explorer-style dialog's file name box
constexpr int kFileNameEdit = 0x480;   // edt1: the same in the older template
constexpr int kFileTypeCombo = 0x470;  // cmb1: "Files of type"
constexpr int kMessageTextId = 0xFFFF;

std::wstring environmentValue(const wchar_t* name) {
    wchar_t value[1024] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, 1024);
    return length > 0 && length < 1024 ? std::wstring(value, length) : std::wstring();
}

DWORD processOf(HWND window) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process;
}

std::wstring classOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

// WM_GETTEXT sent directly: GetWindowText reads only captions of another process's windows.
std::wstring windowText(HWND window) {
    wchar_t text[1024] = {};
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, &copied);
    return text;
}

struct MainSearch {
    DWORD process;
    HWND found;
};

BOOL CALLBACK findMain(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<MainSearch*>(parameter);
    if (processOf(window) == search->process && IsWindowVisible(window) && classOf(window) == L"Kd215<->PC") {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

struct DialogSearch {
    DWORD process;
    std::vector<DialogWindow>* found;
};

BOOL CALLBACK findDialogs(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<DialogSearch*>(parameter);
    if (processOf(window) != search->process || !IsWindowVisible(window) || classOf(window) != L"#32770")
        return TRUE;
    DialogWindow dialog;
    dialog.window = window;
    dialog.caption = toUtf8(windowText(window));
    HWND message = GetDlgItem(window, kMessageTextId);
    if (message != nullptr) dialog.text = toUtf8(windowText(message));
    search->found->push_back(dialog);
    return TRUE;
}

HWND findFileNameEdit(HWND dialog) {
    HWND edit = GetDlgItem(dialog, kFileNameEdit);
    if (edit != nullptr) return edit;
    HWND box = GetDlgItem(dialog, kFileNameCombo);
    if (box == nullptr) return nullptr;
    // ComboBoxEx32 > ComboBox > Edit, or a plain combo box with its edit directly inside.
    for (int depth = 0; depth < 3 && box != nullptr; ++depth) {
        HWND inner = FindWindowExW(box, nullptr, L"Edit", nullptr);
        if (inner != nullptr) return inner;
        box = FindWindowExW(box, nullptr, nullptr, nullptr);
    }
    return nullptr;
}

// The inspection hook, loaded here once so that Windows can name its module to the program.
HOOKPROC inspectHookProcedure(HMODULE& module) {
    static HMODULE loaded = LoadLibraryW(settings().inspectDll.c_str());
    module = loaded;
    return loaded == nullptr ? nullptr
                             : reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(loaded, "InspectHook")));
}

std::string unescaped(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char next = text[++i];
        out += next == 't' ? '\t' : next == 'n' ? '\n' : next;
    }
    return out;
}

std::vector<std::string> splitTabs(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) return fields;
        start = tab + 1;
    }
}

HANDLE openShared(const std::wstring& path, DWORD access, DWORD disposition) {
    return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Writes `bytes` under a neighbouring name and renames it into place, as the simulator expects.
bool replaceFile(const std::wstring& path, const std::vector<uint8_t>& bytes) {
    const std::wstring next = path + L".next";
    return writeFile(next, bytes) && MoveFileExW(next.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

}  // namespace

const DriverSettings& settings() {
    static const DriverSettings values = [] {
        DriverSettings s;
        s.exe = environmentValue(L"KD215_EXE");
        s.work = environmentValue(L"KD215_WORK");
        s.simLog = environmentValue(L"KD215_SIM_LOG");
        s.simMemory = environmentValue(L"KD215_SIM_MEMORY");
        s.simControl = environmentValue(L"KD215_SIM_CONTROL");
        s.inspectDll = environmentValue(L"KD215_INSPECT_DLL");
        s.shots = environmentValue(L"KD215_SHOTS");
        s.shotPrefix = toUtf8(environmentValue(L"KD215_SHOT_PREFIX"));
        return s;
    }();
    return values;
}

std::wstring toWide(const std::string& utf8) {
    if (utf8.empty()) return std::wstring();
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], length);
    return wide;
}

std::string toUtf8(const std::wstring& wide) {
    if (wide.empty()) return std::string();
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &text[0], length, nullptr, nullptr);
    return text;
}

std::wstring workPath(const std::string& name) { return settings().work + L"\\" + toWide(name); }

bool waitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition()) return true;
        if (GetTickCount64() >= end) return condition();
        Sleep(20);
    }
}

// ---- the program ----------------------------------------------------------------------------

Kd215Process::~Kd215Process() {
    if (inspectHook != nullptr) UnhookWindowsHookEx(inspectHook);
    if (info.hProcess == nullptr) return;
    if (WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT) {
        // Whatever box is open is dismissed first, so that the close is not held up by it.
        for (const DialogWindow& dialog : dialogs(*this)) {
            PostMessageW(dialog.window, WM_COMMAND, IDCANCEL, 0);
            PostMessageW(dialog.window, WM_COMMAND, IDNO, 0);
            PostMessageW(dialog.window, WM_COMMAND, IDOK, 0);
        }
        if (main != nullptr) PostMessageW(main, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(info.hProcess, 5000) == WAIT_TIMEOUT) TerminateProcess(info.hProcess, 99);
        WaitForSingleObject(info.hProcess, 5000);
    }
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
}

bool startProgram(Kd215Process& program, std::string& failure,
                  const std::vector<std::pair<std::wstring, std::wstring>>& environment) {
    static int started = 0;
    program.inspectFile = workPath("inspect-" + std::to_string(++started));

    // The environment: ours with the changes; an empty value removes a variable.
    std::map<std::wstring, std::wstring> variables;
    wchar_t* block = GetEnvironmentStringsW();
    for (const wchar_t* entry = block; *entry != L'\0'; entry += wcslen(entry) + 1) {
        const std::wstring text(entry);
        const std::size_t equals = text.find(L'=', 1);
        if (equals != std::wstring::npos) variables[text.substr(0, equals)] = text.substr(equals + 1);
    }
    FreeEnvironmentStringsW(block);
    std::vector<std::pair<std::wstring, std::wstring>> changes = environment;
    changes.emplace_back(L"KD215_INSPECT_FILE", program.inspectFile);
    for (const auto& change : changes) {
        for (auto it = variables.begin(); it != variables.end();) {
            it = _wcsicmp(it->first.c_str(), change.first.c_str()) == 0 ? variables.erase(it) : std::next(it);
        }
        if (!change.second.empty()) variables[change.first] = change.second;
    }
    std::wstring newBlock;
    for (const auto& variable : variables) newBlock += variable.first + L"=" + variable.second + L'\0';
    newBlock += L'\0';

    std::wstring commandLine = L"\"" + settings().exe + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    if (!CreateProcessW(settings().exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                        &newBlock[0], settings().work.c_str(), &startup, &program.info)) {
        failure = "CreateProcess failed with " + std::to_string(GetLastError());
        return false;
    }
    // The hook goes on the program's one thread; Windows loads the DLL there at its next message.
    if (!setInspecting(program, true)) {
        failure = "cannot hook the inspection DLL into the program (" + std::to_string(GetLastError()) + ")";
        return false;
    }
    MainSearch search{program.info.dwProcessId, nullptr};
    if (!waitFor([&] {
            EnumWindows(findMain, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        })) {
        failure = "no main window within 10 s";
        return false;
    }
    program.main = search.found;
    program.client = FindWindowExW(program.main, nullptr, L"ClientWndProc", nullptr);
    program.statusBar = FindWindowExW(program.main, nullptr, STATUSCLASSNAMEW, nullptr);
    program.progressBar = program.statusBar ? FindWindowExW(program.statusBar, nullptr, PROGRESS_CLASSW, nullptr) : nullptr;
    const std::vector<MenuItem> items = menuItems(program);
    const MenuItem* action = findItem(items, "", 0);
    if (action == nullptr || action->submenu == 0) {
        failure = "the program's menus cannot be read, or the bar has no \"&Akcja\" popup";
        return false;
    }
    program.actionMenu = reinterpret_cast<HMENU>(static_cast<UINT_PTR>(action->submenu));
    return true;
}

bool waitReady(Kd215Process& program, DWORD timeoutMs) {
    return waitFor(
        [&] {
            Inspection seen;
            return inspect(program, seen) && seen.status[0] == "\tFW : 1.05" && seen.status[2] == "\tGotowe";
        },
        timeoutMs);
}

bool waitIdle(Kd215Process& program, DWORD timeoutMs) {
    return waitFor(
        [&] {
            // The status text is only as fresh as the last paint of the client window.
            InvalidateRect(program.client, nullptr, FALSE);
            Inspection seen;
            if (!inspect(program, seen)) return false;
            const MenuItem* stop = findItem(seen.items, "0", 9);
            return stop != nullptr && (stop->state & MF_GRAYED) != 0 && seen.status[2] == "\tGotowe";
        },
        timeoutMs);
}

DWORD waitExit(Kd215Process& program, DWORD timeoutMs) {
    if (WaitForSingleObject(program.info.hProcess, timeoutMs) != WAIT_OBJECT_0) return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(program.info.hProcess, &code);
    return code;
}

bool inspect(Kd215Process& program, Inspection& seen) {
    seen = Inspection();
    static const UINT request = RegisterWindowMessageW(L"Kd215.Inspect");
    const unsigned sequence = ++program.inspectSequence;
    const std::string header = "N\t" + std::to_string(sequence) + "\n";
    const std::wstring answer = program.inspectFile + L"-" + std::to_wstring(sequence);
    if (!PostMessageW(program.main, request, sequence, 0)) return false;
    std::vector<uint8_t> bytes;
    if (!waitFor([&] { return GetFileAttributesW(answer.c_str()) != INVALID_FILE_ATTRIBUTES; }, 10000) ||
        !readFile(answer, bytes) || bytes.size() < header.size() ||
        !std::equal(header.begin(), header.end(), bytes.begin())) {
        return false;
    }
    DeleteFileW(answer.c_str());
    std::istringstream lines(std::string(bytes.begin(), bytes.end()));
    std::string line;
    while (std::getline(lines, line)) {
        const std::vector<std::string> fields = splitTabs(line);
        if (fields[0] == "I" && fields.size() == 7) {
            MenuItem item;
            item.path = fields[1];
            item.position = std::stoi(fields[2]);
            item.id = std::stoi(fields[3]);
            item.state = static_cast<unsigned>(std::stoul(fields[4], nullptr, 16));
            item.submenu = std::stoull(fields[5], nullptr, 16);
            item.caption = unescaped(fields[6]);
            seen.items.push_back(item);
        } else if (fields[0] == "S" && fields.size() == 3) {
            const int part = std::stoi(fields[1]);
            if (part >= 0 && part < 4) seen.status[part] = unescaped(fields[2]);
        } else if (fields[0] == "E") {
            for (std::size_t i = 1; i < fields.size(); ++i) seen.edges.push_back(std::stoi(fields[i]));
        } else if (fields[0] == "G" && fields.size() == 2) {
            seen.progress = std::stoi(fields[1]);
        } else if (fields[0] == "B" && fields.size() == 3) {
            seen.boxIcons.emplace_back(reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::stoull(fields[1], nullptr, 16))),
                                       fields[2]);
        }
    }
    return true;
}

bool setInspecting(Kd215Process& program, bool on) {
    if (!on) {
        if (program.inspectHook != nullptr) UnhookWindowsHookEx(program.inspectHook);
        program.inspectHook = nullptr;
        return true;
    }
    if (program.inspectHook != nullptr) return true;
    HMODULE module = nullptr;
    HOOKPROC hook = inspectHookProcedure(module);
    program.inspectHook = hook ? SetWindowsHookExW(WH_GETMESSAGE, hook, module, program.info.dwThreadId) : nullptr;
    return program.inspectHook != nullptr;
}

std::string statusText(Kd215Process& program, int part) {
    Inspection seen;
    if (!inspect(program, seen)) return "<not inspected>";
    return part >= 0 && part < 4 ? seen.status[part] : "<no such part>";
}

std::vector<int> statusParts(Kd215Process& program) {
    Inspection seen;
    inspect(program, seen);
    return seen.edges;
}

int progressPosition(Kd215Process& program) {
    Inspection seen;
    inspect(program, seen);
    return seen.progress;
}

RECT progressRect(const Kd215Process& program) {
    RECT rect{};
    GetWindowRect(program.progressBar, &rect);
    MapWindowPoints(nullptr, program.statusBar, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::vector<MenuItem> menuItems(Kd215Process& program) {
    Inspection seen;
    inspect(program, seen);
    return seen.items;
}

const MenuItem* findItem(const std::vector<MenuItem>& items, const std::string& path, int position) {
    for (const MenuItem& item : items) {
        if (item.path == path && item.position == position) return &item;
    }
    return nullptr;
}

std::string boxIcon(Kd215Process& program, HWND box) {
    Inspection seen;
    if (!inspect(program, seen)) return "<not inspected>";
    for (const auto& entry : seen.boxIcons) {
        if (entry.first == box) return entry.second;
    }
    return "<no such box>";
}

void highlight(Kd215Process& program, int positionOrId) {
    PostMessageW(program.main, WM_MENUSELECT, MAKEWPARAM(positionOrId, MF_HILITE),
                 reinterpret_cast<LPARAM>(program.actionMenu));
}

void command(Kd215Process& program, int id) {
    PostMessageW(program.main, WM_COMMAND, MAKEWPARAM(id, 0), 0);
    // A closing menu uncovers part of the client window; its paint comes after the command.
    InvalidateRect(program.client, nullptr, FALSE);
}

void chooseArea(Kd215Process& program, int actionPosition, int areaCommand) {
    highlight(program, actionPosition);
    command(program, areaCommand);
}

void pressEscape(Kd215Process& program) {
    const LPARAM escapeScanCode = 0x01 << 16;
    PostMessageW(program.main, WM_KEYDOWN, VK_ESCAPE, escapeScanCode | 1);
    PostMessageW(program.main, WM_KEYUP, VK_ESCAPE, escapeScanCode | 1 | (1u << 30) | (1u << 31));
}

std::vector<DialogWindow> dialogs(const Kd215Process& program) {
    std::vector<DialogWindow> found;
    DialogSearch search{program.info.dwProcessId, &found};
    EnumWindows(findDialogs, reinterpret_cast<LPARAM>(&search));
    return found;
}

bool waitDialog(const Kd215Process& program, DialogWindow& dialog, const std::string& caption, DWORD timeoutMs) {
    return waitFor(
        [&] {
            for (const DialogWindow& candidate : dialogs(program)) {
                if (caption.empty() || candidate.caption == caption) {
                    dialog = candidate;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
}

bool noDialogFor(const Kd215Process& program, DWORD ms) {
    return !waitFor([&] { return !dialogs(program).empty(); }, ms);
}

bool hasButton(const DialogWindow& dialog, int id) { return GetDlgItem(dialog.window, id) != nullptr; }

bool answer(const DialogWindow& dialog, int id) {
    HWND button = GetDlgItem(dialog.window, id);
    if (button == nullptr) return false;
    PostMessageW(dialog.window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    return waitFor([&] { return closed(dialog); }, 5000);
}

bool closed(const DialogWindow& dialog) { return !IsWindow(dialog.window) || !IsWindowVisible(dialog.window); }

std::wstring fileDialogName(const DialogWindow& dialog) {
    HWND edit = findFileNameEdit(dialog.window);
    return edit != nullptr ? windowText(edit) : L"<no file name box>";
}

int fileDialogFilterIndex(const DialogWindow& dialog) {
    HWND types = GetDlgItem(dialog.window, kFileTypeCombo);
    if (types == nullptr) return 0;
    return static_cast<int>(SendMessageW(types, CB_GETCURSEL, 0, 0)) + 1;
}

bool typeFileName(const DialogWindow& dialog, const std::wstring& path) {
    HWND edit = findFileNameEdit(dialog.window);
    DWORD_PTR done = 0;
    return edit != nullptr && SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()),
                                                  SMTO_ABORTIFHUNG, 5000, &done);
}

bool acceptFile(const DialogWindow& dialog, const std::wstring& path) {
    HWND ok = GetDlgItem(dialog.window, IDOK);
    if (ok == nullptr || (!path.empty() && !typeFileName(dialog, path))) return false;
    return PostMessageW(dialog.window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok)) != 0;
}

bool acceptFileConfirming(const Kd215Process& program, const DialogWindow& dialog, const std::wstring& path) {
    if (!acceptFile(dialog, path)) return false;
    return waitFor([&] {
        if (closed(dialog)) return true;
        for (const DialogWindow& other : dialogs(program)) {
            if (other.window != dialog.window && hasButton(other, IDYES)) answer(other, IDYES);
        }
        return false;
    });
}

// ---- the simulator --------------------------------------------------------------------------

std::vector<SimFrame> simFrames() {
    std::vector<SimFrame> frames;
    std::vector<uint8_t> bytes;
    if (!readFile(settings().simLog, bytes)) return frames;
    std::istringstream lines(std::string(bytes.begin(), bytes.end()));
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string time, direction, word, hex;
        words >> time >> direction;
        if (direction != "RX" && direction != "TX") continue;
        while (words >> word && word != "#") hex += (hex.empty() ? "" : " ") + word;
        frames.push_back({direction, hex});
    }
    return frames;
}

std::vector<std::string> simRequestsSince(std::size_t from) {
    std::vector<std::string> requests;
    const std::vector<SimFrame> frames = simFrames();
    for (std::size_t i = from; i < frames.size(); ++i) {
        if (frames[i].direction == "RX") requests.push_back(frames[i].bytes);
    }
    return requests;
}

std::vector<uint8_t> simMemory() {
    std::vector<uint8_t> bytes;
    readFile(settings().simMemory, bytes);
    return bytes;
}

bool setSimMemory(const std::vector<uint8_t>& memory) {
    return replaceFile(settings().simMemory, memory) && simControl("reload");
}

bool simControl(const std::string& commands) {
    const std::string text = commands + "\n";
    if (!replaceFile(settings().simControl, std::vector<uint8_t>(text.begin(), text.end()))) return false;
    return waitFor([] { return GetFileAttributesW(settings().simControl.c_str()) == INVALID_FILE_ATTRIBUTES; }, 5000);
}

// ---- files ----------------------------------------------------------------------------------

bool readFile(const std::wstring& path, std::vector<uint8_t>& bytes) {
    bytes.clear();
    HANDLE file = openShared(path, GENERIC_READ, OPEN_EXISTING);
    if (file == INVALID_HANDLE_VALUE) return false;
    uint8_t chunk[4096];
    DWORD read = 0;
    bool ok = true;
    while ((ok = ReadFile(file, chunk, sizeof(chunk), &read, nullptr) != 0) && read > 0) {
        bytes.insert(bytes.end(), chunk, chunk + read);
    }
    CloseHandle(file);
    return ok;
}

bool writeFile(const std::wstring& path, const std::vector<uint8_t>& bytes) {
    HANDLE file = openShared(path, GENERIC_WRITE, CREATE_ALWAYS);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = bytes.empty() ||
                    (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                     written == bytes.size());
    CloseHandle(file);
    return ok;
}

std::vector<std::wstring> folderEntries(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

namespace {

// Drops NAME.req holding `kind` where the script looks, and waits until the script has served it.
bool askScript(const std::wstring& name, const std::string& kind) {
    const std::wstring request = settings().shots + L"\\" + name + L".req";
    if (!writeFile(request, std::vector<uint8_t>(kind.begin(), kind.end()))) return false;
    return waitFor([&] { return GetFileAttributesW(request.c_str()) == INVALID_FILE_ATTRIBUTES; }, 20000);
}

}  // namespace

bool screenshot(const std::string& name) {
    if (settings().shots.empty()) return true;
    return askScript(toWide(settings().shotPrefix + name), "shot");
}

bool programCpuSeconds(double& program, double& wineserver) {
    static int sample = 0;
    const std::wstring name = L"cpu-" + std::to_wstring(++sample);
    std::vector<uint8_t> answer;
    if (settings().shots.empty() || !askScript(name, "cpu") ||
        !readFile(settings().shots + L"\\" + name + L".txt", answer))
        return false;
    unsigned long long programTicks = 0, serverTicks = 0, perSecond = 0;
    const std::string text(answer.begin(), answer.end());
    if (std::sscanf(text.c_str(), "%llu %llu %llu", &programTicks, &serverTicks, &perSecond) != 3 || perSecond == 0)
        return false;
    program = static_cast<double>(programTicks) / static_cast<double>(perSecond);
    wineserver = static_cast<double>(serverTicks) / static_cast<double>(perSecond);
    return true;
}

}  // namespace kd215
