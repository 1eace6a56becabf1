// The plug-in DLL's own module handle, kept by DllMain when Windows loads the
// library: what resources, window classes and the module's file name are
// found by. Set once before any other code of the DLL runs; read anywhere.
#pragma once

#include <windows.h>

namespace zelto::win32 {

void setModuleHandle(HINSTANCE module);
/// The DLL's handle; the executable's when the code is linked into a
/// program instead (tests), so resources are found there.
HINSTANCE moduleHandle();

}  // namespace zelto::win32
