// The main window and client window procedures, the menus, the status-bar layout, the message loop
// and the Win32 user interface the portable code talks through.
#include "app/shell_win32.h"

#include <commctrl.h>
#include <dbt.h>

#include <algorithm>

#include "app/commands.h"
#include "app/shell_texts.h"
#include "platform/text_win32.h"
#include "editors/editors_win32.h"
#include "link/transfer_engine.h"

namespace kd215 {

const wchar_t* const kMainClassName = L"Kd215<->PC";
const wchar_t* const kClientClassName = L"ClientWndProc";
const char* const kNoPortsText = "Brak dostępnych portów szeregowych";
const char* const kNoPortsCaption = "Klęska !";

namespace {

const char* const kMenuBarKey = "Kd215<->PC";
const char* const kChoiceKey = "Wybór";
const char* const kPortKey = "Port";
const char* const kHelpFileName = "Kd215.chm";

const COLORREF kBackgroundColour = RGB(241, 245, 247);
constexpr int kActionMenuPosition = 0;  // "&Akcja" on the bar
constexpr int kPortMenuPosition = 1;    // "&Wybór portu" on the bar
constexpr wchar_t kEscape = 27;
// Environment buffers of the home-page command, in characters.
constexpr DWORD kEnvironmentBufferLength = 200;

// The scene and program editor edits the area it is opened for.
struct AreaEditorCommand {
    int id;
    ConfigArea area;
};
const AreaEditorCommand kAreaEditorCommands[] = {
    {kCmdEditScenes, ConfigArea::Scenes},
    {kCmdEditProgram1, ConfigArea::Program1},
    {kCmdEditProgram2, ConfigArea::Program2},
};

Shell* shellOf(HWND window) { return reinterpret_cast<Shell*>(GetWindowLongPtrW(window, GWLP_USERDATA)); }

// Both windows get the shell as their creation parameter and keep it as user data.
void adoptShell(HWND window, LPARAM createParameters) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(createParameters);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
}

// Takes every popup item that opens `shared` out of `menu` (without destroying it), so that
// destroying `menu` leaves the shared popup alive.
void detachShared(HMENU menu, HMENU shared) {
    for (int position = GetMenuItemCount(menu) - 1; position >= 0; --position) {
        HMENU sub = GetSubMenu(menu, position);
        if (sub == shared) {
            RemoveMenu(menu, static_cast<UINT>(position), MF_BYPOSITION);
        } else if (sub != nullptr) {
            detachShared(sub, shared);
        }
    }
}

// The port items after "&Auto": entry i at position i + 1 with ID 201 + i.
bool appendPortItems(HMENU menu, const std::vector<PortInfo>& portTable) {
    for (std::size_t i = 0; i < portTable.size(); ++i) {
        if (AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(kCmdFirstPort + static_cast<int>(i)),
                        widen(portTable[i].name).c_str()) == 0) {
            return false;
        }
    }
    return true;
}

// The device notifications after which the serial ports may have come or gone.
bool portsMayHaveChanged(WPARAM event) {
    return event == DBT_DEVNODES_CHANGED || event == DBT_DEVICEARRIVAL || event == DBT_DEVICEREMOVECOMPLETE;
}

void destroyKeeping(HMENU menu, HMENU shared) {
    if (menu == nullptr) return;
    if (shared != nullptr) detachShared(menu, shared);
    DestroyMenu(menu);
}

// ---- main window ----------------------------------------------------------------------------

bool createChildren(Shell& shell, HWND window) {
    shell.main = window;
    shell.client = CreateWindowExW(WS_EX_CLIENTEDGE, kClientClassName, nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 0,
                                   0, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kClientWindowId)),
                                   shell.instance, &shell);
    shell.statusBar = CreateStatusWindowW(WS_CHILD | WS_VISIBLE, L"", window, kStatusBarId);
    if (shell.client == nullptr || shell.statusBar == nullptr) return false;
    LayoutStatusParts(shell);
    // Placed by the layout at WM_SIZE, which always comes before the window is first shown.
    shell.progressBar = CreateWindowExW(0, PROGRESS_CLASSW, nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                                        shell.statusBar, nullptr, shell.instance, nullptr);
    return shell.progressBar != nullptr;
}

void layoutChildren(Shell& shell, int width, int height) {
    if (shell.statusBar == nullptr) return;
    RECT statusRect;
    GetWindowRect(shell.statusBar, &statusRect);
    const int statusHeight = statusRect.bottom - statusRect.top;
    MoveWindow(shell.statusBar, 0, height - statusHeight, width, statusHeight, TRUE);
    LayoutStatusParts(shell);
    const int inset = scaleForDpi(2);
    MoveWindow(shell.progressBar, shell.progressLeft + inset, inset, std::max(0, width - shell.progressLeft - 2 * inset),
               std::max(0, statusHeight - 2 * inset), TRUE);
    MoveWindow(shell.client, 0, 0, width, std::max(0, height - statusHeight), TRUE);
    InvalidateRect(shell.client, nullptr, FALSE);
    InvalidateRect(shell.statusBar, nullptr, FALSE);
}

// The guide's full path: Kd215.chm in the program's own folder, wherever the program was started from.
std::wstring helpFilePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0) return std::wstring();
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        // Long paths (the manifest allows them) arrive cut short: try again with room for them.
        if (path.size() >= 32768) return std::wstring();
        path.resize(path.size() * 2);
    }
    const std::size_t slash = path.find_last_of(L"\\/");
    return path.substr(0, slash == std::wstring::npos ? 0 : slash + 1) + widen(kHelpFileName);
}

// hhctrl.ocx is loaded only when the guide is asked for: a missing or broken HTML Help then costs
// the program nothing more than this one message.
bool showHtmlHelp(HWND owner, const std::wstring& file) {
    using HtmlHelpProc = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);
    constexpr UINT kDisplayTopic = 0;  // HH_DISPLAY_TOPIC: the default topic of the file
    static HMODULE library = LoadLibraryW(L"hhctrl.ocx");  // kept: the viewer runs on this thread
    if (library == nullptr) return false;
    const auto htmlHelp = reinterpret_cast<HtmlHelpProc>(reinterpret_cast<void*>(GetProcAddress(library, "HtmlHelpW")));
    if (htmlHelp == nullptr) return false;
    return htmlHelp(owner, file.c_str(), kDisplayTopic, 0) != nullptr;
}

void openHelp(Shell& shell) {
    const std::wstring file = helpFilePath();
    const DWORD attributes = file.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(file.c_str());
    const bool present = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    if (present && showHtmlHelp(shell.main, file)) return;
    shell.ui.showMessage(kNoHelpText, kNoHelpCaption, MessageIcon::Information, MessageButtons::Ok);
}

// The value of an environment variable that fits the fixed buffer, or an empty text.
std::wstring environmentValue(const wchar_t* name) {
    wchar_t value[kEnvironmentBufferLength] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, kEnvironmentBufferLength);
    if (length == 0 || length >= kEnvironmentBufferLength) return std::wstring();
    return std::wstring(value, length);
}

// Hands the home page to the command interpreter's "start", without waiting for it.
void openHomePage() {
    const std::wstring interpreter = environmentValue(L"ComSpec");
    if (interpreter.empty()) return;
    // A set OS variable means the NT family, whose interpreter needs /c to run "start" and end.
    const bool ntFamily = !environmentValue(L"OS").empty();
    std::wstring commandLine = L"\"" + interpreter + L"\" " + (ntFamily ? L"/c start " : L"start ") +
                               widen(kHomePageAddress);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (CreateProcessW(interpreter.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                       nullptr, nullptr, &startup, &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
}

void confirmExit(Shell& shell) {
    if (shell.ui.showMessage(kExitWarningText, kCaptionWarning, MessageIcon::Warning, MessageButtons::YesNo) ==
        UserAnswer::Yes) {
        SendMessageW(shell.main, WM_CLOSE, 0, 0);
    }
}

// The commands that belong to the windowing side: help, About, exit, home page and the editors.
bool runShellCommand(Shell& shell, int id) {
    ProgramState& s = *shell.state;
    switch (id) {
        case kCmdHelp: openHelp(shell); return true;
        case kCmdAbout:
            shell.ui.showMessage(aboutText(), kAboutCaption, MessageIcon::Information, MessageButtons::Ok);
            return true;
        case kCmdExit: confirmExit(shell); return true;
        case kCmdHomePage: openHomePage(); return true;
        case kCmdCommonEditor:
            if (commandsAllowed(s)) openCommonSettingsEditor(shell.main, s.image);
            return true;
        case kCmdChannelEditor:
            if (commandsAllowed(s)) {
                openChannelEditor(shell.main, s.image);
                s.editorArea = ConfigArea::NoArea;
                shell.ui.requestRepaint();
            }
            return true;
        default: break;
    }
    for (const AreaEditorCommand& editor : kAreaEditorCommands) {
        if (editor.id != id) continue;
        if (commandsAllowed(s)) {
            s.editorArea = editor.area;
            // Paint what the closing menu uncovered now, so that no late repaint of the client
            // puts the area back over the editor's "\tEdycja".
            UpdateWindow(shell.client);
            shell.ui.setStatusText(kStatusAreaPart, kEditingStatusText);
            openSceneProgramEditor(shell.main, s.image, editor.area);
            s.editorArea = ConfigArea::NoArea;
            shell.ui.requestRepaint();
        }
        return true;
    }
    return false;
}

// One step of the state machine, for the state it was posted for; a stale post does nothing.
void runStep(Shell& shell, WPARAM postedState) {
    ProgramState& s = *shell.state;
    if (static_cast<int>(LOWORD(postedState)) != static_cast<int>(s.link.transferState)) return;
    switch (s.link.transferState) {
        case TransferState::SendRequest:
        case TransferState::AwaitWrite:
        case TransferState::AwaitReply: StepTransfer(s.link, s.image); break;
        case TransferState::FileTransfer: runFileStep(s, shell.files, shell.fileDialog); break;
        default: break;
    }
}

// ---- client window --------------------------------------------------------------------------

void paintClient(Shell& shell, HWND window) {
    const ProgramState& s = *shell.state;
    shell.ui.setStatusText(kStatusAreaPart, areaLabel(shownArea(s)));
    shell.ui.setStatusText(kStatusActionPart, actionStatusText(s));
    shell.ui.setStatusText(kStatusFirmwarePart, s.fwStatusText);

    // The picture is stretched over the outer size, border included; its right and bottom strips clip.
    RECT outer;
    GetWindowRect(window, &outer);
    const int width = outer.right - outer.left;
    const int height = outer.bottom - outer.top;

    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (shell.clientBitmap != nullptr) {
        HDC memory = CreateCompatibleDC(dc);
        if (memory != nullptr) {
            HGDIOBJ previous = SelectObject(memory, shell.clientBitmap);
            SetMapMode(memory, GetMapMode(dc));
            BITMAP picture{};
            GetObjectW(shell.clientBitmap, sizeof(picture), &picture);
            POINT origin{0, 0};
            DPtoLP(memory, &origin, 1);
            SetStretchBltMode(dc, COLORONCOLOR);
            StretchBlt(dc, 0, 0, width, height, memory, origin.x, origin.y, picture.bmWidth, picture.bmHeight,
                       SRCCOPY);
            SelectObject(memory, previous);
            DeleteDC(memory);
        }
    }
    EndPaint(window, &paint);
    UpdateWindow(window);
}

// Waits while the transfer's I/O is under way, until it ends, a message arrives or kLineWaitMs
// pass, so that a transfer waiting on the line does not keep a processor busy. True when a message
// arrived: it is served before the next step.
bool waitForLine(const Shell& shell) {
    const TransferState state = shell.state->link.transferState;
    if (state != TransferState::AwaitWrite && state != TransferState::AwaitReply) return false;
    HANDLE pending = shell.port->pendingEvent();
    if (pending == nullptr) return false;
    return MsgWaitForMultipleObjectsEx(1, &pending, kLineWaitMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE) == WAIT_OBJECT_0 + 1;
}

}  // namespace

// ---- the user-interface seam ----------------------------------------------------------------

UserAnswer Win32UserInterface::showMessage(const std::string& text, const std::string& caption,
                                           MessageIcon icon, MessageButtons buttons) {
    UINT style = 0;
    switch (icon) {
        case MessageIcon::Warning: style |= MB_ICONWARNING; break;
        case MessageIcon::Error: style |= MB_ICONERROR; break;
        case MessageIcon::Information: style |= MB_ICONINFORMATION; break;
    }
    switch (buttons) {
        case MessageButtons::Ok: style |= MB_OK; break;
        case MessageButtons::RetryCancel: style |= MB_RETRYCANCEL; break;
        case MessageButtons::YesNo: style |= MB_YESNO; break;
    }
    switch (MessageBoxW(shell_.main, widen(text).c_str(), widen(caption).c_str(), style)) {
        case IDOK: return UserAnswer::Ok;
        case IDRETRY: return UserAnswer::Retry;
        case IDYES: return UserAnswer::Yes;
        case IDNO: return UserAnswer::No;
        case IDCANCEL: return UserAnswer::Cancel;
        default:  // the box could not be shown: take the answer that changes nothing
            return buttons == MessageButtons::YesNo ? UserAnswer::No : UserAnswer::Cancel;
    }
}

void Win32UserInterface::setStatusText(int part, const std::string& text) {
    if (shell_.statusBar == nullptr) return;
    const std::wstring wide = widen(text);
    SendMessageW(shell_.statusBar, SB_SETTEXTW, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(wide.c_str()));
}

void Win32UserInterface::setRepeatEnabled(bool enabled) {
    EnableMenuItem(shell_.actionMenu, kRepeatItemPosition, MF_BYPOSITION | (enabled ? MF_ENABLED : MF_GRAYED));
}

void Win32UserInterface::setStopEnabled(bool enabled) {
    EnableMenuItem(shell_.actionMenu, kStopItemPosition, MF_BYPOSITION | (enabled ? MF_ENABLED : MF_GRAYED));
}

void Win32UserInterface::setPortChecked(int portIndex, bool checked) {
    // Position 0 is "&Auto"; port i sits at i + 1.
    CheckMenuItem(shell_.portMenu, static_cast<UINT>(portIndex + 1),
                  MF_BYPOSITION | (checked ? MF_CHECKED : MF_UNCHECKED));
}

void Win32UserInterface::setPortItems(const std::vector<PortInfo>& portTable) {
    // "&Auto" stays; the popup keeps its handle, so the bar needs no rebuilding.
    while (GetMenuItemCount(shell_.portMenu) > 1) DeleteMenu(shell_.portMenu, 1, MF_BYPOSITION);
    appendPortItems(shell_.portMenu, portTable);
}

void Win32UserInterface::setProgress(int position) {
    if (shell_.progressBar != nullptr) SendMessageW(shell_.progressBar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void Win32UserInterface::requestRepaint() {
    if (shell_.client != nullptr) InvalidateRect(shell_.client, nullptr, FALSE);
}

// ---- classes, menus, windows ----------------------------------------------------------------

bool registerWindowClasses(HINSTANCE instance) {
    HBRUSH background = CreateSolidBrush(kBackgroundColour);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kLargeIconResource));
    windowClass.hIconSm = LoadIconW(instance, MAKEINTRESOURCEW(kSmallIconResource));
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    windowClass.hbrBackground = background;
    // No menu resource of this name exists; the menu is attached at run time.
    windowClass.lpszMenuName = kMainClassName;
    windowClass.lpszClassName = kMainClassName;
    if (RegisterClassExW(&windowClass) == 0) return false;

    windowClass.style = 0;
    windowClass.lpfnWndProc = ClientWindowProc;
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = kClientClassName;
    return RegisterClassExW(&windowClass) != 0;
}

HMENU BuildMenu(const std::string& key, HMENU choicePopup, const std::vector<PortInfo>& portTable) {
    const MenuPopup* table = findMenu(key);
    if (table == nullptr) return nullptr;
    HMENU menu = key == kMenuBarKey ? CreateMenu() : CreatePopupMenu();
    if (menu == nullptr) return nullptr;
    bool appended = true;
    for (const MenuEntry& item : table->items) {
        if (item.caption == nullptr) {
            appended = AppendMenuW(menu, MF_SEPARATOR, static_cast<UINT_PTR>(-1), nullptr) != 0;
        } else if (item.popupKey != nullptr) {
            const bool shared = item.popupKey == std::string(kChoiceKey);
            HMENU popup = shared ? choicePopup : BuildMenu(item.popupKey, choicePopup, portTable);
            appended = popup != nullptr &&
                       AppendMenuW(menu, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(popup),
                                   widen(item.caption).c_str()) != 0;
            if (!appended && !shared) destroyKeeping(popup, choicePopup);
        } else {
            appended = AppendMenuW(menu, MF_STRING | (item.grayed ? MF_GRAYED : MF_ENABLED),
                                   static_cast<UINT_PTR>(item.id), widen(item.caption).c_str()) != 0;
        }
        if (!appended) break;
    }
    if (appended && key == kPortKey) appended = appendPortItems(menu, portTable);
    if (!appended) {
        destroyKeeping(menu, choicePopup);
        return nullptr;
    }
    return menu;
}

bool buildMenus(Shell& shell) {
    // The bar refers to "Wybór", so it is built first.
    shell.choiceMenu = BuildMenu(kChoiceKey, nullptr, shell.state->portTable);
    if (shell.choiceMenu == nullptr) return false;
    shell.menuBar = BuildMenu(kMenuBarKey, shell.choiceMenu, shell.state->portTable);
    if (shell.menuBar == nullptr) return false;
    shell.actionMenu = GetSubMenu(shell.menuBar, kActionMenuPosition);
    shell.portMenu = GetSubMenu(shell.menuBar, kPortMenuPosition);
    return true;
}

void destroyMenus(Shell& shell) {
    if (shell.menuBar != nullptr && IsMenu(shell.menuBar)) destroyKeeping(shell.menuBar, shell.choiceMenu);
    if (shell.choiceMenu != nullptr && IsMenu(shell.choiceMenu)) DestroyMenu(shell.choiceMenu);
    shell.menuBar = shell.actionMenu = shell.portMenu = shell.choiceMenu = nullptr;
}

HWND createMainWindow(Shell& shell) {
    return CreateWindowExW(0, kMainClassName, widen(kMainWindowTitle).c_str(), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                           CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                           shell.instance, &shell);
}

int scaleForDpi(int pixels) {
    static const int dpi = [] {
        HDC screen = GetDC(nullptr);
        if (screen == nullptr) return 96;
        const int logPixels = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
        return logPixels > 0 ? logPixels : 96;
    }();
    return MulDiv(pixels, dpi, 96);
}

void LayoutStatusParts(Shell& shell) {
    HDC dc = GetDC(shell.main);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    ReleaseDC(shell.main, dc);
    RECT outer;
    GetWindowRect(shell.main, &outer);
    // The status texts are drawn in the GUI font, which grows with the DPI; the window's system font
    // does not (Wine) or less so (Windows), so its width is scaled to keep room for them.
    StatusLayout layout = computeStatusLayout(scaleForDpi(metrics.tmAveCharWidth), outer.right - outer.left);
    shell.progressLeft = layout.progressLeft;
    SendMessageW(shell.statusBar, SB_SETPARTS, 4, reinterpret_cast<LPARAM>(layout.edges));
}

int runMessageLoop(Shell& shell) {
    ProgramState& s = *shell.state;
    MSG message;
    for (;;) {
        if (s.link.transferState != TransferState::Idle) {
            if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                if (message.message == WM_QUIT) return static_cast<int>(message.wParam);
                TranslateMessage(&message);
                DispatchMessageW(&message);
                continue;
            }
            // The queue is empty: user input has been served, the next step may run.
            if (waitForLine(shell)) continue;
            PostMessageW(shell.main, WM_USER, static_cast<WPARAM>(s.link.transferState), 0);
            continue;
        }
        if (s.progressPos != 0) {
            s.progressPos = 0;
            PostMessageW(shell.progressBar, PBM_SETPOS, 0, 0);
        }
        followPortChanges(s);
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) return static_cast<int>(message.wParam);
        if (got == -1) return -1;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) adoptShell(window, lParam);
    Shell* shell = shellOf(window);
    if (shell == nullptr) return DefWindowProcW(window, message, wParam, lParam);

    switch (message) {
        case WM_CREATE: return createChildren(*shell, window) ? 0 : -1;
        case WM_SIZE: layoutChildren(*shell, LOWORD(lParam), HIWORD(lParam)); return 0;
        case WM_CHAR:
            if (LOWORD(wParam) == kEscape) SendMessageW(window, WM_COMMAND, kCmdStop, 0);
            return 0;
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            if (runLinkCommand(*shell->state, id) == CommandResult::Handled) return 0;
            if (runShellCommand(*shell, id)) return 0;
            break;
        }
        case WM_MENUSELECT:
            // Only "&Akcja" records the action: its five action items all open "Wybór".
            if (reinterpret_cast<HMENU>(lParam) == shell->actionMenu && shell->actionMenu != nullptr) {
                SelectAction(shell->state->link, actionForHighlight(LOWORD(wParam)));
            }
            return 0;
        case WM_USER: runStep(*shell, wParam); return 0;
        case WM_DEVICECHANGE:
            // A USB adapter plugged in or pulled out: the menu follows it, no port is probed.
            if (portsMayHaveChanged(wParam)) portsChanged(*shell->state);
            return TRUE;
        case WM_DESTROY:
            // The menus outlive the window: shutdown destroys them, "Wybór" only once.
            SetMenu(window, nullptr);
            PostQuitMessage(0);
            return 0;
        default: break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK ClientWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) adoptShell(window, lParam);
    Shell* shell = shellOf(window);
    switch (message) {
        case WM_CREATE: return 0;
        case WM_PAINT:
            if (shell == nullptr) break;
            paintClient(*shell, window);
            return 0;
        case WM_DESTROY: PostQuitMessage(0); return 0;
        default: break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace kd215
