#include "Entity/TextureManager.h"

#include <algorithm>

#include "Core/ErrorReport.h"
#include "Core/Globals.h"
#include "Core/SectionGuard.h"
#include "Entity/Image.h"
#include "Entity/ImageManager.h"
#include "Entity/TextureBase.h"
#include "Render/RenderResourceRegistry.h"

namespace Zel {

TextureManager::TextureManager() {
    RegisterRenderResourceManager(this);
}

TextureManager::~TextureManager() {
    if (defaultTexture_)
        defaultTexture_->DecRef();
    defaultTexture_ = nullptr;
    UnregisterRenderResourceManager(this);
    SectionGuard guard(listLock_);
    for (TextureBase* texture : textures_) delete texture;
    textures_.clear();
}

TextureBase* TextureManager::CreateTexture(std::uint32_t pool, int kind) {
    if (!device_)
        return nullptr;
    auto* texture = new TextureBase(pool, device_, kind);
    SectionGuard guard(listLock_);
    textures_.push_back(texture);
    return texture;
}

bool TextureManager::ForceRemove(TextureBase* texture) {
    if (texture && texture == defaultTexture_)
        return true;
    SectionGuard guard(listLock_);
    const auto found = std::find(textures_.begin(), textures_.end(), texture);
    if (!texture || found == textures_.end() || texture->GetRefCount() != 1) {
        ReportError("Can't forceremove this resource!");
        return false;
    }
    textures_.erase(found);
    delete texture;
    return true;
}

TextureBase* TextureManager::GetDefaultTexture() {
    if (!defaultTexture_) {
        ImageManager* images = Globals::Find(&Globals::GetImageManager);
        Image* image = images ? images->GetDefaultImage() : nullptr;
        TextureBase* texture = image ? image->GetTexture() : nullptr;
        if (texture) {
            texture->AddRef();
            defaultTexture_ = texture;
        }
    }
    return defaultTexture_;
}

std::size_t TextureManager::GetTextureCount() {
    SectionGuard guard(listLock_);
    return textures_.size();
}

}  // namespace Zel
