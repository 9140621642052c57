// The channel settings dialog "ChnlEdit": times, limits and input inversion of one channel or all eight.
#include "platform/ctl3d_win32.h"
#include "platform/text_win32.h"
#include "editors/channel_form.h"
#include "editors/dialog_controls_win32.h"
#include "editors/dialog_ids.h"
#include "editors/control_rules.h"
#include "editors/editors_win32.h"
#include "editors/field_rules.h"

namespace kd215 {

namespace {

struct ChannelDialog {
    ConfigImage* image = nullptr;
    WorkingChannel working{};
};

struct RunTimeCaption {
    int id;
    const char* text;
};
const RunTimeCaption kRunTimeCaptions[] = {
    {IDC_LOAD, kLoadCaption},
    {IDC_CHANNEL_GROUP, "Kanał"},
    {IDC_COMMIT, kCommitCaption},
    {IDC_CHANNEL_NUMBER_LABEL, "Nr kanału"},
    {IDC_INPUT_INVERTED, "Inwersja wejścia"},
    {IDC_ALL_CHANNELS, "Wszystkie kanały tak samo"},
};

int fieldOf(int j) { return IDC_FIRST_CHANNEL_FIELD + j; }
int barOf(int j) { return IDC_FIRST_CHANNEL_BAR + j; }

// The channel number 1..8 in field 106, or 0 after telling the user it is not one.
unsigned chosenChannel(HWND dialog) {
    const unsigned n = readUnsignedField(controlText(dialog, IDC_CHANNEL_NUMBER));
    if (n < 1 || n > kChannelCount) {
        ShowFieldError(dialog, IDC_CHANNEL_NUMBER, kBadNumberText);
        return 0;
    }
    return n;
}

// Rewrites both limit fields; their EN_CHANGE moves both thumbs.
void showLimits(HWND dialog, const ChannelDialog& d) {
    setFieldNumber(dialog, fieldOf(kUpperValue), d.working[kUpperValue]);
    setFieldNumber(dialog, fieldOf(kLowerValue), d.working[kLowerValue]);
}

void onLoad(HWND dialog, ChannelDialog& d) {
    const unsigned n = chosenChannel(dialog);
    if (n == 0) return;
    const ChannelSettings& channel = d.image->channels[n - 1];
    d.working = loadChannel(channel);
    for (int j = 0; j < kChannelValueCount; ++j) {
        setFieldNumber(dialog, fieldOf(j), d.working[j]);
        setBarPosition(dialog, barOf(j), d.working[j]);
    }
    setChecked(dialog, IDC_INPUT_INVERTED, channel.inputInverted != 0);
    setChecked(dialog, IDC_ALL_CHANNELS, false);
}

void onCommit(HWND dialog, ChannelDialog& d) {
    const unsigned n = chosenChannel(dialog);
    if (n == 0) return;
    std::array<std::string, kChannelValueCount> texts;
    for (int j = 0; j < kChannelValueCount; ++j) texts[j] = controlText(dialog, fieldOf(j));
    if (const std::optional<int> refused = refusedChannelField(texts, d.working)) {
        focusField(dialog, fieldOf(*refused), kRefusedSelection);
        return;
    }
    storeChannel(*d.image, n, d.working, isChecked(dialog, IDC_INPUT_INVERTED),
                 isChecked(dialog, IDC_ALL_CHANNELS));
}

// EN_CHANGE: the typed number enters the working copy unchecked and moves the field's own thumb.
void onValueTyped(HWND dialog, ChannelDialog& d, int j) {
    const std::string text = controlText(dialog, fieldOf(j));
    const std::optional<uint16_t> value = valueWhileTyping(text);
    if (!value) return;
    d.working[j] = *value;
    setBarPosition(dialog, barOf(j), *parseFieldNumber(text));
}

// EN_KILLFOCUS: an in-range number is taken (with the limit rule for a limit); anything else is marked.
void onValueLeft(HWND dialog, ChannelDialog& d, int j) {
    if (!leaveChannelField(d.working, j, controlText(dialog, fieldOf(j)))) {
        setControlText(dialog, fieldOf(j), kBadFieldMark);
        return;
    }
    if (j == kUpperValue || j == kLowerValue) showLimits(dialog, d);
}

BOOL onCommand(HWND dialog, ChannelDialog& d, int id, int notification) {
    switch (id) {
        case IDC_CLOSE:
            EndDialog(dialog, 0);
            break;
        case IDC_LOAD:
            onLoad(dialog, d);
            break;
        case IDC_COMMIT:
            onCommit(dialog, d);
            break;
        case IDC_NEXT_NUMBER:
        case IDC_PREVIOUS_NUMBER:
            stepNumberField(dialog, IDC_CHANNEL_NUMBER, kChannelCount, id == IDC_NEXT_NUMBER);
            break;
        default:
            routeNumberField(
                id, notification, fieldOf(0), kChannelValueCount, [&](int j) { onValueTyped(dialog, d, j); },
                [&](int j) { onValueLeft(dialog, d, j); });
            break;
    }
    return TRUE;  // every command is the dialog's own, Enter's ID 1 included
}

BOOL onHScroll(HWND dialog, ChannelDialog& d, HWND bar, int code, unsigned thumb) {
    const int j = barIndex(dialog, bar, IDC_FIRST_CHANNEL_BAR, kChannelValueCount);
    if (j < 0) return FALSE;
    if (!scrollChannelValue(d.working, j, code, thumb)) return TRUE;
    if (code == SB_THUMBPOSITION || code == SB_THUMBTRACK) {
        // A thumb dragged past the limit rule is put back where the rule left the value.
        setBarPosition(dialog, barOf(j), d.working[j]);
        if (j == kUpperValue) setBarPosition(dialog, barOf(kLowerValue), d.working[kLowerValue]);
        if (j == kLowerValue) setBarPosition(dialog, barOf(kUpperValue), d.working[kUpperValue]);
    }
    if (j < kUpperValue) {
        setFieldNumber(dialog, fieldOf(j), d.working[j]);
    } else {
        showLimits(dialog, d);
    }
    return TRUE;
}

BOOL onInitDialog(HWND dialog, ChannelDialog& d, LPARAM image) {
    d.image = reinterpret_cast<ConfigImage*>(image);
    ctl3dSubclassDialog(dialog);
    fitNumberFields(dialog, IDC_CHANNEL_NUMBER, 1);
    fitNumberFields(dialog, IDC_FIRST_CHANNEL_FIELD, kChannelValueCount);
    SetWindowTextW(dialog, widen(kChannelTitle).c_str());
    for (const RunTimeCaption& caption : kRunTimeCaptions) setControlText(dialog, caption.id, caption.text);
    setControlText(dialog, IDC_CHANNEL_NUMBER, "1");
    for (int j = 0; j < kChannelValueCount; ++j) setBarRange(dialog, barOf(j), static_cast<int>(channelValueMax(j)));
    onLoad(dialog, d);
    return TRUE;  // the focus goes to the first tab stop, the channel number
}

INT_PTR onMessage(HWND dialog, ChannelDialog& d, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND: return onCommand(dialog, d, LOWORD(wParam), HIWORD(wParam));
        case WM_HSCROLL:
            return onHScroll(dialog, d, reinterpret_cast<HWND>(lParam), LOWORD(wParam), HIWORD(wParam));
        default: return FALSE;
    }
}

}  // namespace

INT_PTR CALLBACK ChannelDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return editorDialogMessage<ChannelDialog>(dialog, message, wParam, lParam, onInitDialog, onMessage);
}

void openChannelEditor(HWND owner, ConfigImage& image) {
    DialogBoxParamW(GetModuleHandleW(nullptr), L"ChnlEdit", owner, ChannelDialogProc, reinterpret_cast<LPARAM>(&image));
}

}  // namespace kd215
