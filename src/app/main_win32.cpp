// The program's entry: start-up in its fixed order, the message loop, and shutdown.
#include <windows.h>

#include <commctrl.h>

#include "app/commands.h"
#include "app/ctl3d_win32.h"
#include "app/shell_win32.h"
#include "app/text_win32.h"
#include "link/port_list.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    using namespace kd215;

    // The one state record and the port; everything else reaches them through the shell.
    ProgramState state;
    Win32SerialPort port;
    Shell shell;
    shell.instance = instance;
    shell.state = &state;
    shell.port = &port;
    state.port = &port;
    state.ui = &shell.ui;

    // A missing picture is allowed: the client window then shows its background colour.
    shell.clientBitmap = LoadBitmapW(instance, MAKEINTRESOURCEW(kClientBitmapResource));
    if (!RegisterWindowClasses(instance)) {
        if (shell.clientBitmap != nullptr) DeleteObject(shell.clientBitmap);
        return -1;
    }
    shell.files.instance = instance;
    state.fwStatusText = kUnknownFirmwareText;

    state.portTable = ListPorts();
    state.portIndex = 0;
    if (state.portTable.empty()) {
        MessageBoxW(nullptr, widen(kNoPortsText).c_str(), widen(kNoPortsCaption).c_str(), MB_ICONWARNING);
        if (shell.clientBitmap != nullptr) DeleteObject(shell.clientBitmap);
        return -1;
    }

    state.image = defaultConfigImage();
    state.txBuffer.fill(0);
    ctl3dRegister(instance);

    // The firmware version is asked for first, as soon as the probe has found the controller.
    state.areaAddress = 0;
    state.transferAddress = 0;
    state.currentArea = ConfigArea::Version;
    state.transferState = TransferState::SendRequest;

    BuildMenus(shell);
    HWND window = CreateMainWindow(shell);
    if (window == nullptr) {
        DestroyMenus(shell);
        ctl3dUnregister(instance);
        if (shell.clientBitmap != nullptr) DeleteObject(shell.clientBitmap);
        return -1;
    }
    shell.files.owner = window;
    SetMenu(window, shell.menuBar);
    MoveWindow(window, 0, 0, ScaleForDpi(kMainWindowWidth), ScaleForDpi(kMainWindowHeight), TRUE);
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    InitCommonControls();

    // Stop stays reachable while the version is read; a failed probe leaves the program idle.
    if (StartUpProbe(state)) shell.ui.setStopEnabled(true);

    const int exitCode = RunMessageLoop(shell);

    DestroyMenus(shell);
    if (shell.clientBitmap != nullptr) DeleteObject(shell.clientBitmap);
    port.close();
    ctl3dUnregister(instance);
    return exitCode;
}
