#include "Entity/TextureManager.h"

#include <algorithm>

#include "Core/ErrorReport.h"
#include "Core/Globals.h"
#include "Core/SectionGuard.h"
#include "Entity/Image.h"
#include "Entity/ImageManager.h"
#include "Entity/RenderTarget.h"
#include "Entity/TextureBase.h"
#include "Render/RenderDevice.h"
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
        SectionGuard targets(renderTargetLock_);
        renderTargets_.clear();
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
        SectionGuard targets(renderTargetLock_);
        std::erase(renderTargets_, static_cast<RenderTarget*>(texture));
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
    RenderTarget* target = factory->NewRenderTarget(renderDevice_, depthStencil);
    if (!target)
        return nullptr;
    {
        SectionGuard guard(listLock_);
        textures_.push_back(target);
    }
    SectionGuard guard(renderTargetLock_);
    renderTargets_.push_back(target);
    return target;
}

RenderTarget* TextureManager::FindFreeRenderTarget(int width, int height, int depth, int format,
                                                   int type) {
    SectionGuard guard(renderTargetLock_);
    for (RenderTarget* target : renderTargets_)
        if (target->GetWidth() == width && target->GetHeight() == height &&
            target->GetDepth() == depth && target->GetFormat() == format &&
            target->GetType() == type && (target->GetFlags() & 1u) == 0)
            return target;
    return nullptr;
}

bool TextureManager::CheckVideoMemory(std::uint64_t bytes) {
    const std::uint64_t available =
        renderDevice_ ? std::uint64_t(renderDevice_->GetAvailableTextureMem()) << 20 : 0;
    return available == 0 || double(bytes) * 0.5 <= double(available);
}

}  // namespace Zel
