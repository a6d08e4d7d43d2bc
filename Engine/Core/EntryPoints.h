// The library's lifetime beyond its exports (Interface/ZelEngine.h): the shader-compiler module
// loaded when the render window is created and released by DeleteRenderer. Host thread.
#pragma once

#include "Platform/Win32/Win32Types.h"

namespace Zel {

// Makes sure Globals exists and restarts its timer; the first call loads "D3DCompiler_43.dll"
// (nothing of it is called) and logs the time it took. A load failure is reported and changes
// nothing else.
void InitGlobalObj();
// The first step of render-window creation; the same as InitGlobalObj.
inline void LoadShaderCompilerLibrary() {
    InitGlobalObj();
}
// The loaded compiler module; null before InitGlobalObj and after DeleteRenderer.
HMODULE GetShaderCompilerModule();

}  // namespace Zel
