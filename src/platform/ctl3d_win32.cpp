// CTL3D32.DLL reached at run time: the program carries on without it, as modern Windows lacks it.
#include "platform/ctl3d_win32.h"

namespace kd215 {

namespace {

using RegisterFn = BOOL(WINAPI*)(HINSTANCE);
using SubclassFn = BOOL(WINAPI*)(HWND, WORD);

HMODULE library = nullptr;
RegisterFn registerFn = nullptr;
RegisterFn unregisterFn = nullptr;
SubclassFn subclassFn = nullptr;

// All control kinds.
constexpr WORD kAllControls = 0xFFFF;

template <typename Fn>
Fn lookUp(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

}  // namespace

bool ctl3dRegister(HINSTANCE instance) {
    library = LoadLibraryA("CTL3D32.DLL");
    if (!library) return false;
    registerFn = lookUp<RegisterFn>("Ctl3dRegister");
    unregisterFn = lookUp<RegisterFn>("Ctl3dUnregister");
    subclassFn = lookUp<SubclassFn>("Ctl3dSubclassDlgEx");
    if (!registerFn || !registerFn(instance)) {
        FreeLibrary(library);
        library = nullptr;
        registerFn = unregisterFn = nullptr;
        subclassFn = nullptr;
        return false;
    }
    return true;
}

void ctl3dSubclassDialog(HWND dialog) {
    if (subclassFn) subclassFn(dialog, kAllControls);
}

void ctl3dUnregister(HINSTANCE instance) {
    if (!library) return;
    if (unregisterFn) unregisterFn(instance);
    FreeLibrary(library);
    library = nullptr;
    registerFn = unregisterFn = nullptr;
    subclassFn = nullptr;
}

}  // namespace kd215
