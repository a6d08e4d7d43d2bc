#include "Render/RenderCore/ZelTextBoxManager.h"

#include "Render/RenderResourceRegistry.h"

namespace Zel {

ZelTextBoxManager::ZelTextBoxManager() {
    RegisterRenderResourceManager(this);
}

ZelTextBoxManager::~ZelTextBoxManager() {
    UnregisterRenderResourceManager(this);
}

}  // namespace Zel
