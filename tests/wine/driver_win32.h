// Driving a running Kd215.exe from another process under Wine as a user would: the keyboard (through
// xdotool, asked of the runner script), clicks on dialog buttons, the status bar read across the
// process boundary, and the simulated controllers' files.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kd215 {

std::wstring toWide(const std::string& utf8);
std::string toUtf8(const std::wstring& wide);
std::wstring env(const wchar_t* name);
// The Windows path of `name` in the work folder (KD215_WORK), where the program runs.
std::wstring workPath(const std::string& name);
bool waitFor(const std::function<bool()>& condition, DWORD timeoutMs = 10000);

struct Program;
// Ends the program if it still runs (closing it first) and clears the record for another start.
void closeProgram(Program& program);

// One running Kd215.exe, ended when the record goes.
struct Program {
    PROCESS_INFORMATION info{};
    HWND main = nullptr;
    HWND statusBar = nullptr;
    void* statusBuffer = nullptr;  // SB_GETTEXT needs a buffer inside the program
    Program() = default;
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;
    ~Program() { closeProgram(*this); }
};
bool startProgram(Program& program, std::string& failure);
// The Kd215.exe already running (one started by somebody else, such as an installer's shortcut),
// and letting it go again untouched.
bool attachProgram(Program& program, std::string& failure);
void detachProgram(Program& program);
std::string statusText(const Program& program, int part);
// Firmware version read and nothing running: "\tFW : 1.05" and "\tGotowe".
bool waitReady(const Program& program, DWORD timeoutMs = 10000);
bool waitGotowe(const Program& program, DWORD timeoutMs = 10000);
DWORD waitExit(const Program& program, DWORD timeoutMs = 10000);
// A menu command as the menu posts it, with nothing else done on the program's behalf.
void postCommand(const Program& program, int id);
// Keys typed into the program's focused main window, xdotool's names, space-separated; or any xdotool
// command line, such as clicks at screen positions.
bool typeKeys(const std::string& keys);
bool xdotool(const std::string& arguments);

struct Dialog {
    HWND window = nullptr;
    std::string caption;
    std::string text;  // a message box's text
};
std::vector<Dialog> dialogs(const Program& program);
std::string describeDialogs(const Program& program);
bool noDialogFor(const Program& program, DWORD ms);
bool hasButton(const Dialog& dialog, int id);
// Clicks a button (BM_CLICK, as the mouse does) and waits for the dialog to go.
bool answer(const Dialog& dialog, int id);
std::string controlText(HWND dialog, int id);
HWND focused(const Program& program);
bool clickButton(HWND dialog, int id);
// Clicks into a field and types `text` over its contents.
bool typeInto(const Program& program, HWND dialog, int id, const std::string& text);
// Types a path into the file dialog, presses its OK button and says Yes to "replace it?".
bool acceptFile(const Program& program, const Dialog& dialog, const std::wstring& path);

// A simulated line: its log's frames ("RX"/"TX" with the bytes, "EV" with the text) and its files.
struct Line {
    std::wstring base;  // the link's Windows path; .log, .bin and .control beside it
};
Line line(const char* name);  // KD215_LINE_<name>
// The frames of `kind` in the line's log, from the `from`th of them on.
std::vector<std::string> frames(const Line& line, const char* kind, std::size_t from = 0);
inline std::vector<std::string> received(const Line& line, std::size_t from = 0) { return frames(line, "RX", from); }
bool simControl(const Line& line, const std::string& commands);
std::vector<uint8_t> simMemory(const Line& line);
bool setSimMemory(const Line& line, const std::vector<uint8_t>& memory);

bool readFile(const std::wstring& path, std::vector<uint8_t>& bytes);
std::vector<uint8_t> seededBytes(uint32_t seed, std::size_t count);
std::string memoryDifferences(const std::vector<uint8_t>& got, const std::vector<uint8_t>& want);

// Asks the runner for a screenshot saved as NAME.png (with the locale's prefix).
bool screenshot(const std::string& name);
// Processor seconds used so far by Kd215.exe and by the prefix's wineserver, read from Linux.
bool cpuSeconds(double& program, double& wineserver);

}  // namespace kd215
