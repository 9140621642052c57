// Control operations shared by the editor dialogs; UTF-8 inside, UTF-16 at the W calls.
#include "editors/dialog_controls_win32.h"

#include "platform/text_win32.h"
#include "editors/control_rules.h"
#include "editors/field_rules.h"

namespace kd215 {

void stepNumberField(HWND dialog, int id, unsigned limit, bool next) {
    const unsigned shown = readUnsignedField(controlText(dialog, id));
    const std::optional<unsigned> n = next ? nextNumber(shown, limit) : previousNumber(shown);
    if (n) setFieldNumber(dialog, id, static_cast<long>(*n));
}

std::string controlText(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    const int length = GetWindowTextLengthW(control);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(control, &text[0], length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return narrow(text);
}

void setControlText(HWND dialog, int id, const std::string& text) {
    SetDlgItemTextW(dialog, id, widen(text).c_str());
}

void setFieldNumber(HWND dialog, int id, long number) {
    setControlText(dialog, id, std::to_string(number));
}

bool isChecked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

void setChecked(HWND dialog, int id, bool checked) {
    SendDlgItemMessageW(dialog, id, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void showControl(HWND dialog, int id, bool shown) { ShowWindow(GetDlgItem(dialog, id), shown ? SW_SHOW : SW_HIDE); }

void fitNumberFields(HWND dialog, int firstId, int count) {
    for (int id = firstId; id < firstId + count; ++id) {
        SendDlgItemMessageW(dialog, id, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(0, 0));
    }
}

void setBarRange(HWND dialog, int id, int max) { SetScrollRange(GetDlgItem(dialog, id), SB_CTL, 0, max, FALSE); }

void setBarPosition(HWND dialog, int id, long position) {
    SetScrollPos(GetDlgItem(dialog, id), SB_CTL, static_cast<int>(position), TRUE);
}

int barIndex(HWND dialog, HWND bar, int firstId, int count) {
    if (!bar) return -1;
    for (int j = 0; j < count; ++j) {
        if (GetDlgItem(dialog, firstId + j) == bar) return j;
    }
    return -1;
}

void focusField(HWND dialog, int id, int characters) {
    HWND field = GetDlgItem(dialog, id);
    SetFocus(field);
    SendMessageW(field, EM_SETSEL, 0, characters);
}

void ShowFieldError(HWND dialog, int fieldId, const char* text) {
    MessageBoxW(dialog, widen(text).c_str(), widen(kFieldErrorCaption).c_str(), MB_OK | MB_ICONERROR);
    focusField(dialog, fieldId, -1);
}

}  // namespace kd215
