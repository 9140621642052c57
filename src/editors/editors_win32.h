// The three editor dialogs as the menu commands open them; each edits the image in place.
#pragma once

#include <windows.h>

#include "app/program_state.h"

namespace kd215 {

// Modal dialog "SpecEdit": common settings and the input inversions.
void OpenCommonSettingsEditor(HWND owner, ProgramState& s);
// Modal dialog "ChnlEdit": the eight channels' times, limits and inversion.
void OpenChannelEditor(HWND owner, ProgramState& s);
// Modal dialog "Edycja": the scenes or a program, as s.currentArea says (Scenes, Program1,
// Program2); the caller sets the area before and NoArea after.
void OpenSceneProgramEditor(HWND owner, ProgramState& s);

// The dialog procedures, for tests that create the dialogs modeless from their templates.
// The creation parameter (lParam of WM_INITDIALOG) is the ProgramState*.
INT_PTR CALLBACK CommonSettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ChannelDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK SceneProgramDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace kd215
