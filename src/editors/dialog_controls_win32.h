// The few control operations the three editor dialogs share: texts in UTF-8, numbers, check marks,
// scroll bars, focus with a selection, and ShowFieldError.
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

// The dialog's working copy, kept in DWLP_USER from WM_INITDIALOG to WM_NCDESTROY.
template <typename T>
T* dialogData(HWND dialog) {
    return reinterpret_cast<T*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

}  // namespace kd215
