#include "Entity/TextureManager.h"

#include <algorithm>

#include "Core/ErrorReport.h"
#include "Core/Globals.h"
#include "Core/LogDispatch.h"
#include "Core/SectionGuard.h"
#include "Entity/Image.h"
#include "Entity/ImageManager.h"
#include "Entity/MaterialManager.h"
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

bool TextureManager::CheckVideoMemory(std::uint32_t bytes) {
    if (videoMemoryBudget_ == 0) {
        LogTyped(LOG_ENGINE_INIT, "可用显存返回0!,直接返回true");
        return true;
    }
    const std::uint32_t available =
        videoMemoryBudget_ > deviceTextureBytes_ ? videoMemoryBudget_ - deviceTextureBytes_ : 0;
    return double(bytes) * 0.5 <= double(available);
}

void TextureManager::AddDeviceTextureBytes(std::uint32_t bytes) {
    deviceTextureBytes_ += bytes;
}

void TextureManager::RemoveDeviceTextureBytes(std::uint32_t bytes) {
    deviceTextureBytes_ = deviceTextureBytes_ > bytes ? deviceTextureBytes_ - bytes : 0;
}

bool TextureManager::ReserveVideoMemory(std::uint32_t bytes) {
    if (!CheckVideoMemory(bytes)) {
        if (MaterialManager* materials = Globals::Find(&Globals::GetMaterialManager)) {
            materials->Collect();
            materials->Purge();
        }
        PurgeUnused();
        if (ImageManager* images = Globals::Find(&Globals::GetImageManager)) {
            images->Collect();
            images->Purge();
        }
        if (!CheckVideoMemory(bytes))
            return false;
    }
    AddDeviceTextureBytes(bytes);
    return true;
}

std::size_t TextureManager::GetTextureCount() {
    SectionGuard guard(listLock_);
    return textures_.size();
}

}  // namespace Zel
