#include "Entity/TextureManager.h"

#include <algorithm>

#include "Core/ErrorReport.h"
#include "Core/Globals.h"
#include "Core/SectionGuard.h"
#include "Entity/Image.h"
#include "Entity/ImageManager.h"
#include "Entity/MaterialManager.h"
#include "Entity/RenderTarget.h"
#include "Entity/TextureBase.h"
#include "Render/RenderResourceRegistry.h"
#include "Render/d3d9/GraphicsAPIManagerD3D9.h"

namespace Zel {

TextureManager::TextureManager() {
    RegisterRenderResourceManager(this);
}

TextureManager::~TextureManager() {
    if (defaultTexture_)
        defaultTexture_->DecRef();
    defaultTexture_ = nullptr;
    UnregisterRenderResourceManager(this);
    {
        SectionGuard targets(targetLock_);
        targets_.clear();
    }
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
    if (texture->IsRenderTarget()) {
        SectionGuard targets(targetLock_);
        std::erase(targets_, static_cast<RenderTarget*>(texture));
    }
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

// ---- Render targets and the video-memory budget (render-target block).

RenderTarget* TextureManager::CreateRenderTarget(bool depthStencil) {
    GraphicsAPIManagerD3D9* factory = Globals::Find(&Globals::GetGraphicsAPIManager);
    if (!renderDevice_ || !factory)
        return nullptr;
    return AddRenderTarget(factory->NewRenderTarget(renderDevice_, depthStencil));
}

RenderTarget* TextureManager::AddRenderTarget(RenderTarget* target) {
    if (!target)
        return nullptr;
    {
        SectionGuard guard(listLock_);
        textures_.push_back(target);
    }
    SectionGuard guard(targetLock_);
    targets_.push_back(target);
    return target;
}

RenderTarget* TextureManager::FindFreeRenderTarget(int width, int height, int depth, int format,
                                                   int type) {
    SectionGuard guard(targetLock_);
    for (RenderTarget* target : targets_) {
        const TextureBase* t = target;
        if (t->GetWidth() == width && t->GetHeight() == height && t->GetDepth() == depth &&
            t->GetFormat() == format && t->GetType() == type && !(t->GetFlags() & 1u))
            return target;
    }
    return nullptr;
}

TextureBase* TextureManager::CreateStagingTexture(int width, int height, int format) {
    TextureBase* texture = CreateTexture(2, 2);
    if (texture && !texture->Create(width, height, 1, 2, format, 1, false)) {
        ForceRemove(texture);
        texture = nullptr;
    }
    return texture;
}

bool TextureManager::CheckVideoMemory(std::uint32_t bytes) {
    if (videoMemoryBudget_ == 0)
        return true;
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

}  // namespace Zel
