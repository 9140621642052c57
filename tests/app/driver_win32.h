// Driving a running Kd215.exe from another process under Wine as a user would: starting it, its
// menus, status bar, message boxes and file dialogs, and the simulated controller's files.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace kd215 {

// What the script hands over through the environment (Windows paths, Z: for the Linux tree).
struct DriverSettings {
    std::wstring exe;         // KD215_EXE: the program under test
    std::wstring work;        // KD215_WORK: a folder for the test's files; the program runs there
    std::wstring simLog;      // KD215_SIM_LOG
    std::wstring simMemory;   // KD215_SIM_MEMORY
    std::wstring simControl;  // KD215_SIM_CONTROL
    std::wstring inspectDll;  // KD215_INSPECT_DLL: the hook DLL that reads the program's menus and status
    std::wstring shots;       // KD215_SHOTS: where requests to the script go; empty for none
    std::string shotPrefix;   // KD215_SHOT_PREFIX: put before every screenshot's name
};
const DriverSettings& settings();

std::wstring toWide(const std::string& utf8);
std::string toUtf8(const std::wstring& wide);
// The Windows path of `name` in the work folder.
std::wstring workPath(const std::string& name);

// Polls `condition` every 20 ms until it holds or `timeoutMs` pass; returns its last value.
bool waitFor(const std::function<bool()>& condition, DWORD timeoutMs = 10000);

// One menu item as the program holds it (read inside the program by the inspection DLL).
struct MenuItem {
    std::string path;      // positions from the bar to the menu holding the item, "/"-joined
    int position = 0;
    int id = 0;            // -1 for popups (and as Windows reports separators)
    unsigned state = 0;    // GetMenuState: MF_GRAYED, MF_CHECKED, MF_SEPARATOR, MF_POPUP ...
    uint64_t submenu = 0;  // the popup's handle, 0 for a command
    std::string caption;
};

// A visible dialog window of the program: a message box or a file dialog.
struct DialogWindow {
    HWND window = nullptr;
    std::string caption;
    std::string text;  // a message box's text (static 0xFFFF)
};

// One running Kd215.exe, closed (and if need be ended) when the record is finished with.
struct Kd215Process {
    PROCESS_INFORMATION info{};
    HWND main = nullptr;
    HWND client = nullptr;
    HWND statusBar = nullptr;
    HWND progressBar = nullptr;
    HMENU actionMenu = nullptr;  // "&Akcja", for WM_MENUSELECT
    HHOOK inspectHook = nullptr;  // the inspection DLL's hook on the program's thread
    std::wstring inspectFile;    // where the hook answers, with "-" and the request's number appended
    unsigned inspectSequence = 0;

    Kd215Process() = default;
    Kd215Process(const Kd215Process&) = delete;
    Kd215Process& operator=(const Kd215Process&) = delete;
    ~Kd215Process();
};

// Starts the program in the work folder with extra or changed environment variables and waits
// for its main window. False (with a reason in `failure`) when it does not come.
bool startProgram(Kd215Process& program, std::string& failure,
                  const std::vector<std::pair<std::wstring, std::wstring>>& environment = {});
// Waits until the firmware version has been read and nothing runs: "\tFW : 1.05" and "\tGotowe".
bool waitReady(Kd215Process& program, DWORD timeoutMs = 10000);
// Waits until no transfer runs: "&Zatrzymaj" grey and, after a repaint, "\tGotowe" in part 2.
// Only meaningful once the transfer has been seen to start (a request arrived, a dialog opened).
bool waitIdle(Kd215Process& program, DWORD timeoutMs = 10000);
// Waits for the process to end; its exit code, or STILL_ACTIVE when it did not end in time.
DWORD waitExit(Kd215Process& program, DWORD timeoutMs = 10000);

// What the program shows, read inside it by the inspection DLL at its next message.
struct Inspection {
    std::vector<MenuItem> items;
    std::string status[4];      // the status bar's parts
    std::vector<int> edges;     // SB_GETPARTS
    int progress = -1;          // PBM_GETPOS
    std::vector<std::pair<HWND, std::string>> boxIcons;  // visible message boxes and their icons
};
bool inspect(Kd215Process& program, Inspection& seen);
// Takes the hook off the program (every message it takes costs a little more while it is on) or
// puts it back.
bool setInspecting(Kd215Process& program, bool on);

std::string statusText(Kd215Process& program, int part);
std::vector<int> statusParts(Kd215Process& program);
int progressPosition(Kd215Process& program);
// The progress bar's rectangle in the status bar's client coordinates.
RECT progressRect(const Kd215Process& program);
std::vector<MenuItem> menuItems(Kd215Process& program);
// The item at `path` and `position`; nullptr when there is none.
const MenuItem* findItem(const std::vector<MenuItem>& items, const std::string& path, int position);
// The icon of the visible message box `box` ("warning", "error", "information", ...).
std::string boxIcon(Kd215Process& program, HWND box);

// "&Akcja" positions of the five actions, as WM_MENUSELECT reports them.
enum ActionPosition : int {
    kReadControllerItem = 2,
    kReadFileItem = 3,
    kVerifyItem = 5,
    kWriteFileItem = 6,
    kWriteControllerItem = 7,
};
// What a user does with the mouse: highlight an item of "&Akcja" (its position, or a command's ID),
// then choose a command. Choosing also repaints the client window, as the closing menu does.
void highlight(Kd215Process& program, int positionOrId);
void command(Kd215Process& program, int id);
void chooseArea(Kd215Process& program, int actionPosition, int areaCommand);
// The Esc key pressed in the main window.
void pressEscape(Kd215Process& program);

// The program's visible dialogs (message boxes and file dialogs) right now.
std::vector<DialogWindow> dialogs(const Kd215Process& program);
// Waits for a visible dialog; with `caption` set, for one with that caption.
bool waitDialog(const Kd215Process& program, DialogWindow& dialog, const std::string& caption = "",
                DWORD timeoutMs = 10000);
// Whether no dialog shows up within `ms`.
bool noDialogFor(const Kd215Process& program, DWORD ms);
bool hasButton(const DialogWindow& dialog, int id);
// Presses a dialog button (IDOK, IDCANCEL, IDRETRY, IDYES, IDNO) and waits for the box to go.
bool answer(const DialogWindow& dialog, int id);
// Whether `dialog` has closed.
bool closed(const DialogWindow& dialog);

// The file dialog: the name offered, the filter chosen; typing a name and pressing the OK button.
std::wstring fileDialogName(const DialogWindow& dialog);
int fileDialogFilterIndex(const DialogWindow& dialog);  // 1-based, as the program sets it
bool typeFileName(const DialogWindow& dialog, const std::wstring& path);
bool acceptFile(const DialogWindow& dialog, const std::wstring& path);
// Accepts the file dialog and answers Yes to the dialog's own questions ("replace it?") until the
// file dialog has closed.
bool acceptFileConfirming(const Kd215Process& program, const DialogWindow& dialog, const std::wstring& path);

// The simulated controller's files.
struct SimFrame {
    std::string direction;  // "RX" (from the program) or "TX"
    std::string bytes;      // hex, space-separated, as the log writes them
};
std::vector<SimFrame> simFrames();
// The frames the program sent after the first `from` frames of the log.
std::vector<std::string> simRequestsSince(std::size_t from);
std::vector<uint8_t> simMemory();
// Replaces the controller's memory (512 bytes) and makes the simulator read it again.
bool setSimMemory(const std::vector<uint8_t>& memory);
// Hands the simulator control commands ("fault silent", "unplug", ...) and waits until it took them.
bool simControl(const std::string& commands);

// Files.
bool readFile(const std::wstring& path, std::vector<uint8_t>& bytes);
bool writeFile(const std::wstring& path, const std::vector<uint8_t>& bytes);
// The names in the work folder's subfolder `folder` (for finding stray temporary files).
std::vector<std::wstring> folderEntries(const std::wstring& folder);

// Asks the script for a screenshot of the screen under `name` and waits until it is taken.
bool screenshot(const std::string& name);
// Asks the script for the processor time used so far by the program's Wine process and by the
// prefix's wineserver, which does part of the work of every message; false when it cannot be had.
bool programCpuSeconds(double& program, double& wineserver);

}  // namespace kd215
