// The program's entry: start-up in its fixed order, the message loop, and shutdown.
#include <windows.h>

#include <commctrl.h>

#include "app/commands.h"
#include "platform/ctl3d_win32.h"
#include "app/shell_win32.h"
#include "platform/text_win32.h"
#include "link/port_list.h"
#include "link/port_table.h"
#include "link/transfer_engine.h"

namespace {

using namespace kd215;

// Everything start-up takes that must be given back; each release is safe when nothing was taken.
void releaseResources(Shell& shell) {
    destroyMenus(shell);
    ctl3dUnregister(shell.instance);
    if (shell.clientBitmap != nullptr) DeleteObject(shell.clientBitmap);
    shell.clientBitmap = nullptr;
    if (shell.port != nullptr) shell.port->close();
}

// The port table; without a port the program has nothing to do and says so.
bool loadPortTable(ProgramState& state) {
    state.listPorts = ListPorts;
    state.portTable = buildPortTable(ListPorts());
    state.portIndex = 0;
    if (!state.portTable.empty()) return true;
    MessageBoxW(nullptr, widen(kNoPortsText).c_str(), widen(kNoPortsCaption).c_str(), MB_ICONWARNING);
    return false;
}

// The firmware version is asked for first, as soon as the probe has found the controller.
void prepareVersionQuery(ProgramState& state) {
    state.image = defaultConfigImage();
    state.fwStatusText = kUnknownFirmwareText;
    QueueVersionQuery(state.link);
}

// Menus, the main window at its size, shown; false when the menus or the window cannot be made.
bool openMainWindow(Shell& shell, int showCommand) {
    if (!buildMenus(shell)) return false;
    HWND window = createMainWindow(shell);
    if (window == nullptr) return false;
    shell.files.owner = window;
    SetMenu(window, shell.menuBar);
    MoveWindow(window, 0, 0, scaleForDpi(kMainWindowWidth), scaleForDpi(kMainWindowHeight), TRUE);
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    InitCommonControls();
    return true;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    // The one state record and the port; everything else reaches them through the shell.
    ProgramState state;
    Win32SerialPort port;
    Shell shell;
    shell.instance = instance;
    shell.state = &state;
    shell.port = &port;
    shell.files.instance = instance;
    state.connect(port, shell.ui);

    // A missing picture is allowed: the client window then shows its background colour.
    shell.clientBitmap = LoadBitmapW(instance, MAKEINTRESOURCEW(kClientBitmapResource));
    if (!registerWindowClasses(instance) || !loadPortTable(state)) {
        releaseResources(shell);
        return -1;
    }
    prepareVersionQuery(state);
    ctl3dRegister(instance);
    if (!openMainWindow(shell, showCommand)) {
        releaseResources(shell);
        return -1;
    }

    // Stop stays reachable while the version is read; a failed probe leaves the program idle.
    if (startUpProbe(state)) shell.ui.setStopEnabled(true);

    const int exitCode = runMessageLoop(shell);
    releaseResources(shell);
    return exitCode;
}
