// The application shell on Windows: the main window and its children, the menus, the message loop
// that drives every transfer, and the Win32 face of the user-interface seam.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "app/file_access_win32.h"
#include "app/file_step.h"
#include "app/program_state.h"
#include "link/serial_win32.h"

namespace kd215 {

extern const wchar_t* const kMainClassName;    // "Kd215<->PC"
extern const wchar_t* const kClientClassName;  // "ClientWndProc"
extern const char* const kNoPortsText;         // "Brak dostępnych portów szeregowych"
extern const char* const kNoPortsCaption;      // "Klęska !"

// Resource and child-window identifiers.
constexpr int kLargeIconResource = 2;
constexpr int kSmallIconResource = 3;
constexpr int kClientBitmapResource = 4;
constexpr int kStatusBarId = 2;
constexpr int kClientWindowId = 4;

// Where the main window is put and how big it is made at start-up, in pixels at 96 DPI (scaleForDpi).
constexpr int kMainWindowWidth = 800;
constexpr int kMainWindowHeight = 600;

// How long the loop sleeps at most between two polls of a transfer whose I/O is under way; it
// wakes earlier when the I/O ends or input arrives.
constexpr DWORD kLineWaitMs = 15;

struct Shell;

// The user-interface seam on Windows: message boxes owned by the main window, the status bar,
// the "&Akcja" and "&Wybór portu" items by position, the progress bar, the client repaint.
class Win32UserInterface final : public UserInterface {
public:
    explicit Win32UserInterface(const Shell& shell) : shell_(shell) {}
    UserAnswer showMessage(const std::string& text, const std::string& caption, MessageIcon icon,
                           MessageButtons buttons) override;
    void setStatusText(int part, const std::string& text) override;
    void setRepeatEnabled(bool enabled) override;
    void setStopEnabled(bool enabled) override;
    void setPortChecked(int portIndex, bool checked) override;
    void setPortItems(const std::vector<PortInfo>& portTable) override;
    void setProgress(int position) override;
    void requestRepaint() override;

private:
    const Shell& shell_;
};

// The windows, menus and picture of the one main window, with the program state they show.
// One instance, made by the entry point; both window procedures find it in their user data.
struct Shell {
    HINSTANCE instance = nullptr;
    ProgramState* state = nullptr;
    Win32SerialPort* port = nullptr;

    HBITMAP clientBitmap = nullptr;  // may be missing: the client then shows its background only
    HWND main = nullptr;
    HWND client = nullptr;
    HWND statusBar = nullptr;
    HWND progressBar = nullptr;
    int progressLeft = 0;  // the status bar's third edge, where the progress bar begins

    HMENU menuBar = nullptr;
    HMENU actionMenu = nullptr;  // "&Akcja"
    HMENU portMenu = nullptr;    // "&Wybór portu"
    HMENU choiceMenu = nullptr;  // "Wybór", shared by five items of "&Akcja"

    Win32UserInterface ui{*this};
    Win32FileAccess files;
    FileDialogState fileDialog;
};

// Registers "Kd215<->PC" and "ClientWndProc"; false when either fails.
bool registerWindowClasses(HINSTANCE instance);

// The menu of `key` from the menu tree, built with AppendMenuW: "Kd215<->PC" (the bar, whose
// popups are built in turn, except "Wybór", which is `choicePopup`), "Akcje", "Edycje", "Pomoc",
// "Port" ("&Auto" and then the port items 201 + i) or "Wybór". nullptr for an unknown key or when
// an item fails to append (the half-built menu is destroyed).
HMENU BuildMenu(const std::string& key, HMENU choicePopup, const std::vector<PortInfo>& portTable);

// Builds "Wybór" and then the bar, and finds the two popups whose items change state.
bool buildMenus(Shell& shell);
// Destroys the bar (with its popups) and "Wybór", whichever still exist.
void destroyMenus(Shell& shell);

// Creates the main window with its client window, status bar and progress bar; nullptr on failure.
HWND createMainWindow(Shell& shell);

// `pixels` at 96 DPI in pixels at the system DPI (the screen's LOGPIXELSY, read once): the program
// declares itself DPI aware, so Windows no longer stretches it and fixed sizes must grow with the font.
int scaleForDpi(int pixels);

// Computes the status-bar edges from the main window's font and width and applies them.
void LayoutStatusParts(Shell& shell);

// Runs until WM_QUIT and returns its exit code. While a transfer is active, posts one WM_USER
// step each time the queue is empty, waiting first (at most kLineWaitMs) while the port's I/O is
// under way. Idle, it first reads the port list again when a device change had to wait.
int runMessageLoop(Shell& shell);

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ClientWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace kd215
