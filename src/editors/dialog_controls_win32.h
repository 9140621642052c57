// What the three editor dialogs share: their skeleton (working copy, number fields, number buttons)
// and the control operations: texts in UTF-8, numbers, check marks, scroll bars, focus, ShowFieldError.
#pragma once

#include <windows.h>

#include <string>

namespace kd215 {

// The whole text of a control, in UTF-8.
std::string controlText(HWND dialog, int id);
// Sets a control's text; for an edit field this raises its EN_CHANGE at once.
void setControlText(HWND dialog, int id, const std::string& text);
// Writes a number into a field in decimal.
void setFieldNumber(HWND dialog, int id, long number);

bool isChecked(HWND dialog, int id);
void setChecked(HWND dialog, int id, bool checked);
void showControl(HWND dialog, int id, bool shown);

// Drops the inner margins of `count` fields from `firstId` on: the fields are 16 dialog units wide,
// and with the margins that MS Shell Dlg brings a three-digit number would not fit in them.
void fitNumberFields(HWND dialog, int firstId, int count);

// Scroll bar controls: the range without redrawing, the position redrawn (the bar keeps it inside
// its range).
void setBarRange(HWND dialog, int id, int max);
void setBarPosition(HWND dialog, int id, long position);
// The index of `bar` among the `count` bars from `firstId` on, or -1 when it is none of them.
int barIndex(HWND dialog, HWND bar, int firstId, int count);

// Gives a field the focus and selects its first `characters` characters (-1: all of them).
void focusField(HWND dialog, int id, int characters);

// A message box with `text`, the caption "Ostrzeżenie :", the error icon and OK; then the field
// gets the focus with all its text selected.
void ShowFieldError(HWND dialog, int fieldId, const char* text);

// "+" and "-" beside an entry or channel number: the number in field `id` one up (to `limit`) or
// one down (to 1); a number out of range comes back to the nearest end. Loading is left to "Ładuj".
void stepNumberField(HWND dialog, int id, unsigned limit, bool next);

// A number field's notifications among the `count` fields from `firstId` on: EN_CHANGE goes to
// `typed` and EN_KILLFOCUS to `left`, each with the field's index. False when `id` is no such field.
template <typename Typed, typename Left>
bool routeNumberField(int id, int notification, int firstId, int count, Typed typed, Left left) {
    if (id < firstId || id >= firstId + count) return false;
    if (notification == EN_CHANGE) typed(id - firstId);
    if (notification == EN_KILLFOCUS) left(id - firstId);
    return true;
}

// The dialog's working copy, kept in DWLP_USER from WM_INITDIALOG to WM_NCDESTROY.
template <typename T>
T* dialogData(HWND dialog) {
    return reinterpret_cast<T*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

// The procedure every editor shares. At WM_INITDIALOG the working copy T is made and kept before
// `init(dialog, copy, lParam)` runs, so that the notifications the set-up raises reach it; every
// later message goes to `handle(dialog, copy, message, wParam, lParam)` until WM_NCDESTROY
// deletes the copy. Messages before WM_INITDIALOG get the dialog manager's handling.
template <typename T, typename Init, typename Handle>
INT_PTR editorDialogMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, Init init, Handle handle) {
    if (message == WM_INITDIALOG) {
        auto* copy = new T;
        SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(copy));
        return init(dialog, *copy, lParam);
    }
    T* copy = dialogData<T>(dialog);
    if (copy == nullptr) return FALSE;
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(dialog, DWLP_USER, 0);
        delete copy;
        return FALSE;
    }
    return handle(dialog, *copy, message, wParam, lParam);
}

}  // namespace kd215
