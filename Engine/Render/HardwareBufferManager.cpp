#include "Render/HardwareBufferManager.h"

#include "Render/RenderResourceRegistry.h"

namespace Zel {

HardwareBufferManager::HardwareBufferManager() {
    RegisterRenderResourceManager(this);
}

HardwareBufferManager::~HardwareBufferManager() {
    UnregisterRenderResourceManager(this);
}

}  // namespace Zel
