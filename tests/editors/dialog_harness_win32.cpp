// Driving the editor dialogs in-process under Wine, and the thread that answers their message boxes.
#include "dialog_harness_win32.h"

#include <atomic>
#include <mutex>
#include <set>
#include <thread>

#include "app/text_win32.h"

namespace kd215::wintest {

namespace {

std::mutex boxesLock;
std::vector<ShownBox> answeredBoxes;
std::atomic<HWND> currentDialog{nullptr};

// The control ID Wine and Windows give a message box's text.
constexpr int kMessageBoxTextId = 0xFFFF;

std::string windowText(HWND window) {
    wchar_t buffer[512] = {};
    GetWindowTextW(window, buffer, 512);
    return narrow(buffer);
}

struct IconSearch {
    HICON wanted;
    bool found;
};

BOOL CALLBACK findIcon(HWND child, LPARAM param) {
    auto* search = reinterpret_cast<IconSearch*>(param);
    if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
        reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0)) == search->wanted) {
        search->found = true;
    }
    return TRUE;
}

// Whether one of the box's icon statics shows the system's error icon.
bool hasErrorIcon(HWND box) {
    IconSearch search{LoadIconW(nullptr, MAKEINTRESOURCEW(32513) /* IDI_ERROR */), false};
    EnumChildWindows(box, findIcon, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

BOOL CALLBACK answerIfMessageBox(HWND window, LPARAM answered) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId() || !IsWindowVisible(window)) return TRUE;
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    // The dialogs under test are of the same class, but nothing owns them.
    const HWND owner = GetWindow(window, GW_OWNER);
    if (std::wstring(className) != L"#32770" || !owner) return TRUE;
    auto& seen = *reinterpret_cast<std::set<HWND>*>(answered);
    if (!seen.insert(window).second) return TRUE;

    ShownBox box;
    box.caption = windowText(window);
    box.text = windowText(GetDlgItem(window, kMessageBoxTextId));
    box.errorIcon = hasErrorIcon(window);
    box.ownedByDialog = owner == currentDialog.load();
    {
        std::lock_guard<std::mutex> guard(boxesLock);
        answeredBoxes.push_back(box);
    }
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window, IDOK)));
    return TRUE;
}

void pumpMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

}  // namespace

void startBoxAnswerer() {
    std::thread([] {
        std::set<HWND> answered;
        for (;;) {
            EnumWindows(answerIfMessageBox, reinterpret_cast<LPARAM>(&answered));
            Sleep(10);
        }
    }).detach();
}

std::vector<ShownBox> takeBoxes() {
    std::lock_guard<std::mutex> guard(boxesLock);
    std::vector<ShownBox> boxes;
    boxes.swap(answeredBoxes);
    return boxes;
}

DialogUnderTest::DialogUnderTest(const wchar_t* templateName, DLGPROC procedure, ProgramState& state)
    : procedure_(procedure) {
    dialog_ = CreateDialogParamW(GetModuleHandleW(nullptr), templateName, nullptr, procedure,
                                 reinterpret_cast<LPARAM>(&state));
    currentDialog = dialog_;
    if (!dialog_) return;
    ShowWindow(dialog_, SW_SHOW);
    SetForegroundWindow(dialog_);
    pumpMessages();
}

DialogUnderTest::~DialogUnderTest() {
    if (dialog_) DestroyWindow(dialog_);
    currentDialog = nullptr;
    pumpMessages();
}

std::string DialogUnderTest::title() const { return windowText(dialog_); }

std::string DialogUnderTest::text(int id) const { return windowText(item(id)); }

void DialogUnderTest::type(int id, const std::string& text) {
    SetDlgItemTextW(dialog_, id, widen(text).c_str());
    pumpMessages();
}

void DialogUnderTest::focus(int id) {
    SetFocus(item(id));
    pumpMessages();
}

void DialogUnderTest::click(int id) {
    SendMessageW(item(id), BM_CLICK, 0, 0);
    pumpMessages();
}

void DialogUnderTest::scroll(int id, int code, int thumb) {
    const bool vertical = (GetWindowLongW(item(id), GWL_STYLE) & SBS_VERT) != 0;
    SendMessageW(dialog_, vertical ? WM_VSCROLL : WM_HSCROLL, MAKEWPARAM(code, thumb),
                 reinterpret_cast<LPARAM>(item(id)));
    pumpMessages();
}

bool DialogUnderTest::checked(int id) const { return IsDlgButtonChecked(dialog_, id) == BST_CHECKED; }

bool DialogUnderTest::visible(int id) const { return IsWindowVisible(item(id)) != FALSE; }

int DialogUnderTest::thumb(int id) const { return GetScrollPos(item(id), SB_CTL); }

std::pair<int, int> DialogUnderTest::range(int id) const {
    int low = -1, high = -1;
    GetScrollRange(item(id), SB_CTL, &low, &high);
    return {low, high};
}

std::pair<int, int> DialogUnderTest::selection(int id) const {
    DWORD start = 0, end = 0;
    SendMessageW(item(id), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return {static_cast<int>(start), static_cast<int>(end)};
}

int DialogUnderTest::focusedId() const {
    // Without a window manager, Wine may handle the X focus events of a message box that has just
    // closed only after the box is gone, and take the activation from the whole program. The dialog
    // keeps the control that had its focus and gives it back when it is activated again, so this
    // still reads the control that the dialog's own code focused last.
    if (GetActiveWindow() != dialog_) {
        SetActiveWindow(dialog_);
        pumpMessages();
    }
    HWND focused = GetFocus();
    if (!focused || GetParent(focused) != dialog_) return 0;
    return GetDlgCtrlID(focused);
}

}  // namespace kd215::wintest
