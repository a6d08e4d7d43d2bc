#include "Entity/GpuProgramManager.h"

#include "Render/RenderResourceRegistry.h"

namespace Zel {

GpuProgramManager::GpuProgramManager() {
    RegisterType("GpuProgram");
    RegisterRenderResourceManager(this);
}

GpuProgramManager::~GpuProgramManager() {
    UnregisterRenderResourceManager(this);
}

}  // namespace Zel
