#include "Entity/TextureManager.h"

#include <algorithm>

#include "Core/ErrorReport.h"
#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Core/PathUtils.h"
#include "Core/SectionGuard.h"
#include "Entity/Image.h"
#include "Entity/ImageManager.h"
#include "Entity/TextureBase.h"
#include "Entity/TextureLoadFlags.h"
#include "Entity/TextureStage.h"
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

// --- Stage textures for materials -----------------------------------------------------------

void TextureManager::ResolveTextureSlot(TextureStage& stage) {
    if (!(stage.flags & TSF_TEXTURE_PENDING))
        return;
    GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager);
    const bool defaultTextures =
        (GetTextureLoadFlags() & 0x2) != 0 || (config && config->GetValue(39) != 0);
    if (defaultTextures)
        stage.SetTexture(defaultTexture_);
    else
        LoadTextureSlot(stage);
    stage.flags &= ~std::uint32_t(TSF_TEXTURE_PENDING);
}

void TextureManager::LoadTextureSlot(TextureStage& stage) {
    stage.flags &= ~std::uint32_t(TSF_TEXTURE_PENDING);
    SharedPtr<Image> image;
    LoadImage(stage.textureName, image);
    TextureBase* texture =
        image && image->IsLoadSucceeded() ? image->CreateDefaultTexture() : nullptr;
    stage.SetTexture(texture ? texture : GetDefaultTexture());
}

void TextureManager::LoadImage(const std::string& path, SharedPtr<Image>& image) {
    ImageManager* images = Globals::Find(&Globals::GetImageManager);
    if (!images)
        return;
    CResource* loaded =
        PathHasParentOrSlash(path) ? images->Load(path) : images->LoadFromBasePath(path);
    auto* found = dynamic_cast<Image*>(loaded);
    image.Assign(found && found->IsLoadSucceeded() ? found : images->GetDefaultImage());
}

}  // namespace Zel
