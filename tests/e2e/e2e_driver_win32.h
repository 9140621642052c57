// What the end-to-end scenarios add to the shell tests' driver: the editor dialogs used across the
// process boundary, the silent lines' logs, the controller's memory layout, and timing.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "driver_win32.h"

namespace kd215 {

// ---- the controller's memory, as the simulator's memory file holds it -----------------------

constexpr std::size_t kControllerMemorySize = 512;
constexpr std::size_t kSettingsAddress = 4;
constexpr std::size_t kScenesAddress = 80;
constexpr std::size_t kProgram1Address = 160;
constexpr std::size_t kProgram2Address = 330;
constexpr std::size_t kProgramLength = 170;

uint16_t memoryWord(const std::vector<uint8_t>& memory, std::size_t address);
void setMemoryWord(std::vector<uint8_t>& memory, std::size_t address, uint16_t value);
// Pseudo-random bytes, the same for the same seed.
std::vector<uint8_t> seededBytes(uint32_t seed, std::size_t count);
// The addresses at which two memories differ, for a readable failure.
std::string memoryDifferences(const std::vector<uint8_t>& got, const std::vector<uint8_t>& want);

// ---- the lines --------------------------------------------------------------------------------

// The test ports in the order the prefix lists them (KD215_E2E_PORTS).
std::vector<std::string> portNames();
// One line of a simulator's log: "RX" or "TX" with the bytes in hex, or "EV" with its text.
struct LineEvent {
    std::string kind;
    std::string text;
    std::string note;  // what follows "#" on the line, if anything
};
std::vector<LineEvent> lineEvents(const std::wstring& logPath);
// The log of the silent simulator on COM1 or COM3 (KD215_E2E_COM1_LOG, KD215_E2E_COM3_LOG).
std::wstring silentLineLog(int comNumber);
// The frames a line received after its first `from` log lines, and whether it was opened then.
std::vector<std::string> receivedSince(const std::wstring& logPath, std::size_t from);
bool openedSince(const std::wstring& logPath, std::size_t from);

// ---- the editors, as a user works them ------------------------------------------------------

// Waits for the editor with this title.
bool waitEditor(const Kd215Process& program, const std::string& title, HWND& editor, DWORD timeoutMs = 10000);
std::string controlText(HWND dialog, int id);
bool buttonChecked(HWND dialog, int id);
bool controlVisible(HWND dialog, int id);
// The control that has the keyboard focus in the program.
HWND focusedControl(const Kd215Process& program);
// A click into a field: the field takes the focus, the one that had it loses it (EN_KILLFOCUS).
bool clickInto(const Kd215Process& program, HWND dialog, int id);
// Clicks into the field and types `text` over its contents (EN_CHANGE, as typing raises it).
bool typeInto(const Kd215Process& program, HWND dialog, int id, const std::string& text);
// Presses a button or a check box with the mouse (BM_CLICK): it takes the focus, then acts.
bool clickButton(HWND dialog, int id);
// "Koniec", then waits until the dialog has gone.
bool closeEditor(HWND dialog);

// ---- time -------------------------------------------------------------------------------------

double secondsNow();
// User plus kernel time of the program so far, from GetProcessTimes; false when Windows has none.
bool programProcessorSeconds(const Kd215Process& program, double& seconds);

// Reads status-bar parts with a buffer of its own in the program, without the inspection hook, so
// that polling it disturbs the program as little as possible (for benchmarks).
class StatusReader {
public:
    StatusReader(HANDLE process, HWND statusBar);
    ~StatusReader();
    StatusReader(const StatusReader&) = delete;
    StatusReader& operator=(const StatusReader&) = delete;
    std::string part(int index) const;

private:
    HANDLE process_;
    HWND statusBar_;
    void* buffer_;
};

}  // namespace kd215
