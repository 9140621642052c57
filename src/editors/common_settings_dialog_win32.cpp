// The common settings dialog "SpecEdit": input inversions, common input, switch times, operating mode.
#include "platform/ctl3d_win32.h"
#include "platform/text_win32.h"
#include "editors/common_settings_form.h"
#include "editors/dialog_controls_win32.h"
#include "editors/dialog_ids.h"
#include "editors/control_rules.h"
#include "editors/editors_win32.h"
#include "editors/field_rules.h"

namespace kd215 {

namespace {

// The dialog's working copy: the two times; the buttons hold their own state.
struct CommonSettingsDialog {
    ConfigImage* image = nullptr;
    std::array<uint8_t, 2> workingTimes{};
};

// Captions the dialog sets when it opens (the template leaves them empty).
struct RunTimeCaption {
    int id;
    const char* text;
};
const RunTimeCaption kRunTimeCaptions[] = {
    {IDC_INPUTS_GROUP, "Inwersja wejść"},
    {IDC_COMMON_INPUT_GROUP, "Wejście wspólne"},
    {IDC_FIRST_COMMON_INPUT + 2, kCommonInputCaptions[2]},
    {IDC_SWITCH_ON_LABEL, "Załączania"},
    {IDC_SWITCH_OFF_LABEL, "Wyłączania"},
    {IDC_FIRST_MODE + 0, kOperatingModeCaptions[0]},
    {IDC_FIRST_MODE + 1, kOperatingModeCaptions[1]},
    {IDC_FIRST_MODE + 3, kOperatingModeCaptions[3]},
    {IDC_COMMIT, kCommitCaption},
};

const int kTimeBars[2] = {IDC_SWITCH_ON_BAR, IDC_SWITCH_OFF_BAR};
const int kTimeFields[2] = {IDC_SWITCH_ON_FIELD, IDC_SWITCH_OFF_FIELD};

BOOL onInitDialog(HWND dialog, CommonSettingsDialog& d, LPARAM image) {
    d.image = reinterpret_cast<ConfigImage*>(image);
    ctl3dSubclassDialog(dialog);
    fitNumberFields(dialog, IDC_SWITCH_ON_FIELD, 2);
    SetWindowTextW(dialog, widen(kCommonSettingsTitle).c_str());
    for (const RunTimeCaption& caption : kRunTimeCaptions) setControlText(dialog, caption.id, caption.text);

    const CommonSettingsForm form = loadCommonSettings(*d.image);
    for (int n = 0; n < kChannelCount; ++n) {
        setControlText(dialog, IDC_FIRST_INPUT_INVERTED + n, inputCheckBoxCaption(n));
        setChecked(dialog, IDC_FIRST_INPUT_INVERTED + n, form.inputInverted[n]);
    }
    for (int k = 0; k < kCommonInputCount; ++k) setChecked(dialog, IDC_FIRST_COMMON_INPUT + k, form.commonInputButtons[k]);
    for (int m = 0; m < kOperatingModeCount; ++m) setChecked(dialog, IDC_FIRST_MODE + m, form.operatingModeButtons[m]);

    d.workingTimes = form.workingTimes;
    for (int i = 0; i < 2; ++i) setBarRange(dialog, kTimeBars[i], kSwitchTimeMax);
    // Each write raises the field's EN_CHANGE, which places the thumb.
    for (int i = 0; i < 2; ++i) setFieldNumber(dialog, kTimeFields[i], d.workingTimes[i]);
    return TRUE;  // the focus goes to the first tab stop, the input 1 check box
}

void onCommit(HWND dialog, CommonSettingsDialog& d) {
    const std::array<std::string, 2> texts = {controlText(dialog, kTimeFields[0]), controlText(dialog, kTimeFields[1])};
    if (const std::optional<int> refused = refusedTimeField(texts, d.workingTimes)) {
        focusField(dialog, kTimeFields[*refused], kRefusedSelection);
        return;
    }
    CommonSettingsForm form;
    for (int n = 0; n < kChannelCount; ++n) form.inputInverted[n] = isChecked(dialog, IDC_FIRST_INPUT_INVERTED + n);
    for (int k = 0; k < kCommonInputCount; ++k) form.commonInputButtons[k] = isChecked(dialog, IDC_FIRST_COMMON_INPUT + k);
    for (int m = 0; m < kOperatingModeCount; ++m) form.operatingModeButtons[m] = isChecked(dialog, IDC_FIRST_MODE + m);
    form.workingTimes = d.workingTimes;
    storeCommonSettings(*d.image, form);
}

// EN_CHANGE: the number's low byte becomes the working time, unchecked, and the thumb follows.
void onTimeTyped(HWND dialog, CommonSettingsDialog& d, int i) {
    const std::optional<long> number = parseFieldNumber(controlText(dialog, kTimeFields[i]));
    if (!number) return;
    d.workingTimes[i] = static_cast<uint8_t>(*number & 0xFF);
    setBarPosition(dialog, kTimeBars[i], thumbPosition(ScrollAxis::Vertical, *number, kSwitchTimeMax));
}

// EN_KILLFOCUS: a number in 0..99 becomes the working time; anything else is marked.
void onTimeLeft(HWND dialog, CommonSettingsDialog& d, int i) {
    const std::optional<uint16_t> value = valueOnLeave(controlText(dialog, kTimeFields[i]), kSwitchTimeMax);
    if (value) {
        d.workingTimes[i] = static_cast<uint8_t>(*value);
    } else {
        setControlText(dialog, kTimeFields[i], kBadFieldMark);
    }
}

BOOL onCommand(HWND dialog, CommonSettingsDialog& d, int id, int notification) {
    switch (id) {
        case IDC_COMMIT:
            onCommit(dialog, d);
            return TRUE;
        case IDC_CLOSE:
            EndDialog(dialog, 0);
            return TRUE;
        default:
            // Anything but the two time fields gets the dialog manager's default handling.
            return routeNumberField(
                id, notification, IDC_SWITCH_ON_FIELD, 2, [&](int i) { onTimeTyped(dialog, d, i); },
                [&](int i) { onTimeLeft(dialog, d, i); });
    }
}

BOOL onVScroll(HWND dialog, CommonSettingsDialog& d, HWND bar, int code, unsigned thumb) {
    const int i = barIndex(dialog, bar, IDC_SWITCH_ON_BAR, 2);
    if (i < 0) return FALSE;
    const std::optional<uint16_t> value =
        scrolledValue(ScrollAxis::Vertical, code, d.workingTimes[i], kSwitchTimeMax, thumb);
    // The field's EN_CHANGE takes the value into the working copy and sets the thumb.
    if (value) setFieldNumber(dialog, kTimeFields[i], *value);
    return TRUE;
}

INT_PTR onMessage(HWND dialog, CommonSettingsDialog& d, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND: return onCommand(dialog, d, LOWORD(wParam), HIWORD(wParam));
        case WM_VSCROLL:
            return onVScroll(dialog, d, reinterpret_cast<HWND>(lParam), LOWORD(wParam), HIWORD(wParam));
        default: return FALSE;
    }
}

}  // namespace

INT_PTR CALLBACK CommonSettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return editorDialogMessage<CommonSettingsDialog>(dialog, message, wParam, lParam, onInitDialog, onMessage);
}

void openCommonSettingsEditor(HWND owner, ConfigImage& image) {
    DialogBoxParamW(GetModuleHandleW(nullptr), L"SpecEdit", owner, CommonSettingsDialogProc,
                    reinterpret_cast<LPARAM>(&image));
}

}  // namespace kd215
