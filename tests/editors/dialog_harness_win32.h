// Test support under Wine: the editor dialogs made modeless from their templates, the messages a
// user's actions produce, what the controls show, and a thread that answers message boxes.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "app/program_state.h"
#include "support/recording_ui.h"

namespace kd215::wintest {

// A message box that the dialogs raised, as the answering thread saw it before pressing OK.
struct ShownBox {
    std::string caption;
    std::string text;
    bool errorIcon = false;
    bool ownedByDialog = false;  // owned by the dialog that was open at the time
};

// Starts the thread that answers every message box of this process with OK (at most one per
// 10 ms), so that a test never hangs on one; call once from main.
void startBoxAnswerer();
// The boxes answered since the last call, oldest first.
std::vector<ShownBox> takeBoxes();

// One editor dialog created modeless from its template with the real dialog procedure; destroyed
// with the object. The ProgramState (with its recording UI) is the creation parameter.
class DialogUnderTest {
public:
    DialogUnderTest(const wchar_t* templateName, DLGPROC procedure, ProgramState& state);
    ~DialogUnderTest();
    DialogUnderTest(const DialogUnderTest&) = delete;
    DialogUnderTest& operator=(const DialogUnderTest&) = delete;

    HWND hwnd() const { return dialog_; }
    HWND item(int id) const { return GetDlgItem(dialog_, id); }
    DLGPROC procedure() const { return procedure_; }

    std::string title() const;
    std::string text(int id) const;
    // Replaces a field's text as typing does, raising its EN_CHANGE.
    void type(int id, const std::string& text);
    // Moves the focus to a control, raising EN_KILLFOCUS on the field that had it.
    void focus(int id);
    // Presses a button with the mouse: it takes the focus, then reports the click.
    void click(int id);
    // Scroll-bar action `code` (SB_*) on bar `id`, as WM_HSCROLL or WM_VSCROLL by the bar's kind.
    void scroll(int id, int code, int thumb = 0);

    bool checked(int id) const;
    bool visible(int id) const;
    int thumb(int id) const;
    std::pair<int, int> range(int id) const;
    // Selection of an edit field: first and one-past-last character.
    std::pair<int, int> selection(int id) const;
    // ID of the control with the focus, 0 when none of this dialog has it.
    int focusedId() const;

private:
    HWND dialog_ = nullptr;
    DLGPROC procedure_ = nullptr;
};

// The state a dialog edits, with a UI that records the status bar.
struct EditorFixtureState {
    testing::RecordingUi ui;
    ProgramState state;
    EditorFixtureState() { state.ui = &ui; }
};

}  // namespace kd215::wintest
