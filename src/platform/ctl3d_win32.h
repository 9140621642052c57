// The optional 3-D dialog look: CTL3D32.DLL when present, nothing when not (modern Windows).
#pragma once

#include <windows.h>

namespace kd215 {

// Loads the library and registers the program; false when the library is not there.
bool ctl3dRegister(HINSTANCE instance);
// Gives all controls of a dialog the 3-D look; does nothing without the library.
void ctl3dSubclassDialog(HWND dialog);
// Unregisters and unloads; safe to call when registration failed.
void ctl3dUnregister(HINSTANCE instance);

}  // namespace kd215
