// The three editor dialogs as the menu commands open them; each edits the image in place.
#pragma once

#include <windows.h>

#include "config/config_image.h"

namespace kd215 {

// Modal dialog "SpecEdit": common settings and the input inversions.
void openCommonSettingsEditor(HWND owner, ConfigImage& image);
// Modal dialog "ChnlEdit": the eight channels' times, limits and inversion.
void openChannelEditor(HWND owner, ConfigImage& image);
// Modal dialog "Edycja": the scenes, program 1 or program 2 (`area`).
void openSceneProgramEditor(HWND owner, ConfigImage& image, ConfigArea area);

// What the scene and program editor is created with.
struct SceneEditorTarget {
    ConfigImage* image;
    ConfigArea area;
};

// The dialog procedures, for tests that create the dialogs modeless from their templates.
// The creation parameter (lParam of WM_INITDIALOG) is the ConfigImage*, and for the scene and
// program editor the SceneEditorTarget*.
INT_PTR CALLBACK CommonSettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ChannelDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK SceneProgramDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace kd215
