#include "Entity/TextureManager.h"

#include "Render/RenderResourceRegistry.h"

namespace Zel {

TextureManager::TextureManager() {
    RegisterRenderResourceManager(this);
}

TextureManager::~TextureManager() {
    UnregisterRenderResourceManager(this);
}

}  // namespace Zel
