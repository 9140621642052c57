// The scene and program editor "Edycja": one entry at a time of the scenes, program 1 or program 2.
#include "platform/ctl3d_win32.h"
#include "platform/text_win32.h"
#include "editors/channel_form.h"
#include "editors/dialog_controls_win32.h"
#include "editors/dialog_ids.h"
#include "editors/control_rules.h"
#include "editors/editors_win32.h"
#include "editors/field_rules.h"
#include "editors/scene_form.h"

namespace kd215 {

namespace {

struct SceneProgramDialog {
    ConfigImage* image = nullptr;
    const SceneJob* job = nullptr;  // nullptr: opened for an area that is no job; nothing is set up
    WorkingEntry working{};         // what the scroll bars step from; the commit reads the fields
};

// Background of the dialog class: system colour 11 plus one, as a class brush value.
constexpr LONG_PTR kDialogClassBackground = 12;

int fieldOf(int j) { return IDC_FIRST_LEVEL_FIELD + j; }  // 401..410
int barOf(int j) { return IDC_FIRST_LEVEL_BAR + j; }      // 201..210
ScrollAxis axisOf(int j) { return j < kEntryRiseValue ? ScrollAxis::Vertical : ScrollAxis::Horizontal; }

void placeThumb(HWND dialog, int j, long number) {
    setBarPosition(dialog, barOf(j), thumbPosition(axisOf(j), number, entryValueMax(j)));
}

// The entry number in field 105, or 0 after telling the user it is none of the job's.
unsigned chosenEntry(HWND dialog, const SceneJob& job) {
    const unsigned n = readUnsignedField(controlText(dialog, IDC_ENTRY_NUMBER));
    if (n < 1 || n > job.entryCount) {
        ShowFieldError(dialog, IDC_ENTRY_NUMBER, kBadNumberText);
        return 0;
    }
    return n;
}

void onLoad(HWND dialog, SceneProgramDialog& d) {
    const unsigned n = chosenEntry(dialog, *d.job);
    if (n == 0) return;
    const LoadedEntry entry = loadEntry(*d.image, *d.job, n);
    d.working = entry.values;
    if (d.job->program >= 0) setChecked(dialog, IDC_END_STEP, entry.endStep);
    for (int j = 0; j < kEntryValueCount; ++j) {
        setFieldNumber(dialog, fieldOf(j), entry.values[j]);
        placeThumb(dialog, j, entry.values[j]);
    }
}

void onCommit(HWND dialog, SceneProgramDialog& d) {
    const unsigned n = chosenEntry(dialog, *d.job);
    if (n == 0) return;
    EntryFieldTexts texts;
    for (int j = 0; j < kEntryValueCount; ++j) texts[j] = controlText(dialog, fieldOf(j));
    if (const std::optional<int> refused = refusedEntryField(*d.job, texts)) {
        focusField(dialog, fieldOf(*refused), kRefusedSelection);
        return;
    }
    storeEntry(*d.image, *d.job, n, texts, isChecked(dialog, IDC_END_STEP));
}

// EN_CHANGE: the typed number enters the working copy unchecked and moves the field's thumb.
void onValueTyped(HWND dialog, SceneProgramDialog& d, int j) {
    const std::string text = controlText(dialog, fieldOf(j));
    const std::optional<uint16_t> value = valueWhileTyping(text);
    if (!value) return;
    d.working[j] = *value;
    placeThumb(dialog, j, *parseFieldNumber(text));
}

// EN_KILLFOCUS: an in-range number is taken; anything else is marked.
void onValueLeft(HWND dialog, SceneProgramDialog& d, int j) {
    const std::optional<uint16_t> value = valueOnLeave(controlText(dialog, fieldOf(j)), entryValueMax(j));
    if (value) {
        d.working[j] = *value;
    } else {
        setControlText(dialog, fieldOf(j), kBadFieldMark);
    }
}

BOOL onCommand(HWND dialog, SceneProgramDialog& d, int id, int notification) {
    if (id == IDC_CLOSE) {
        EndDialog(dialog, 0);
        return TRUE;
    }
    if (!d.job) return TRUE;
    switch (id) {
        case IDC_LOAD:
            onLoad(dialog, d);
            break;
        case IDC_COMMIT:
            onCommit(dialog, d);
            break;
        case IDC_NEXT_NUMBER:
        case IDC_PREVIOUS_NUMBER:
            stepNumberField(dialog, IDC_ENTRY_NUMBER, d.job->entryCount, id == IDC_NEXT_NUMBER);
            break;
        default:
            routeNumberField(
                id, notification, fieldOf(0), kEntryValueCount, [&](int j) { onValueTyped(dialog, d, j); },
                [&](int j) { onValueLeft(dialog, d, j); });
            break;
    }
    return TRUE;  // every command is the dialog's own, Enter's ID 1 included
}

// WM_VSCROLL from a level bar (first = 0, count 8) or WM_HSCROLL from a time bar (first = 8, count 2).
BOOL onScroll(HWND dialog, SceneProgramDialog& d, HWND bar, int first, int count, int code, unsigned thumb) {
    if (!d.job) return FALSE;
    const int index = barIndex(dialog, bar, barOf(first), count);
    if (index < 0) return FALSE;
    const int j = first + index;
    const std::optional<uint16_t> value = scrolledValue(axisOf(j), code, d.working[j], entryValueMax(j), thumb);
    // The field's EN_CHANGE takes the value into the working copy and moves the thumb.
    if (value) setFieldNumber(dialog, fieldOf(j), *value);
    return TRUE;
}

BOOL onInitDialog(HWND dialog, SceneProgramDialog& d, LPARAM parameter) {
    const auto* target = reinterpret_cast<const SceneEditorTarget*>(parameter);
    d.image = target->image;
    ctl3dSubclassDialog(dialog);
    d.job = sceneJobFor(target->area);
    if (!d.job) return FALSE;
    fitNumberFields(dialog, IDC_ENTRY_NUMBER, 1);
    fitNumberFields(dialog, IDC_FIRST_LEVEL_FIELD, kEntryValueCount);
    SetWindowTextW(dialog, widen(d.job->title).c_str());
    setControlText(dialog, IDC_LOAD, kLoadCaption);
    setControlText(dialog, IDC_LEVELS_GROUP, kLevelsGroupCaption);
    setControlText(dialog, IDC_COMMIT, kCommitCaption);
    setControlText(dialog, IDC_END_STEP, kEndStepCaption);
    // Dialogs paint their background from WM_CTLCOLORDLG, not from the class brush, so this
    // shared "#32770" class value changes the look of no dialog or message box.
    SetClassLongPtrW(dialog, GCLP_HBRBACKGROUND, kDialogClassBackground);
    UpdateWindow(dialog);

    const bool program = d.job->program >= 0;
    for (int id : {IDC_DURATION_BAR, IDC_DURATION_FIELD, IDC_DURATION_LABEL, IDC_END_STEP}) {
        showControl(dialog, id, program);
    }
    setControlText(dialog, IDC_ENTRY_NUMBER, "1");
    for (int j = 0; j < kEntryValueCount; ++j) setBarRange(dialog, barOf(j), static_cast<int>(entryValueMax(j)));
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_LOAD, BN_CLICKED), 0);
    return TRUE;  // the focus goes to the first tab stop, the entry number
}

INT_PTR onMessage(HWND dialog, SceneProgramDialog& d, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND: return onCommand(dialog, d, LOWORD(wParam), HIWORD(wParam));
        case WM_VSCROLL:
            return onScroll(dialog, d, reinterpret_cast<HWND>(lParam), 0, kChannelCount, LOWORD(wParam),
                            HIWORD(wParam));
        case WM_HSCROLL:
            return onScroll(dialog, d, reinterpret_cast<HWND>(lParam), kEntryRiseValue, 2, LOWORD(wParam),
                            HIWORD(wParam));
        default: return FALSE;
    }
}

}  // namespace

INT_PTR CALLBACK SceneProgramDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return editorDialogMessage<SceneProgramDialog>(dialog, message, wParam, lParam, onInitDialog, onMessage);
}

void openSceneProgramEditor(HWND owner, ConfigImage& image, ConfigArea area) {
    const SceneEditorTarget target{&image, area};
    DialogBoxParamW(GetModuleHandleW(nullptr), L"Edycja", owner, SceneProgramDialogProc,
                    reinterpret_cast<LPARAM>(&target));
}

}  // namespace kd215
