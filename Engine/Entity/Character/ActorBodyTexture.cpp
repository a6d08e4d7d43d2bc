#include "Entity/Character/ActorBodyTexture.h"

#include <algorithm>

#include "Core/Globals.h"
#include "Entity/Texture/TextureBase.h"
#include "Entity/Texture/TextureManager.h"

namespace Zel {

ActorBodyTexture::ActorBodyTexture() = default;

ActorBodyTexture::~ActorBodyTexture() {
    ReleaseAll();
    Clear();
}

void ActorBodyTexture::Add(TextureBase* texture) {
    if (texture && !Contains(texture))
        entries_.emplace_back(texture);
}

bool ActorBodyTexture::Remove(TextureBase* texture) {
    const auto it = std::find_if(entries_.begin(), entries_.end(),
                                 [texture](const auto& e) { return e.Get() == texture; });
    if (it == entries_.end())
        return false;
    entries_.erase(it);
    return true;
}

bool ActorBodyTexture::Contains(const TextureBase* texture) const {
    return std::any_of(entries_.begin(), entries_.end(),
                       [texture](const auto& e) { return e.Get() == texture; });
}

void ActorBodyTexture::ReleaseAll() {
    TextureManager* textures = Globals::Find(&Globals::GetTextureManager);
    for (SharedPtr<TextureBase>& entry : entries_) {
        TextureBase* texture = entry.Get();
        if (!texture)
            continue;
        entry.Reset();
        if (textures)
            textures->ForceRemove(texture);
    }
    entries_.clear();
}

void ActorBodyTexture::Clear() {
    entries_.clear();
}

}  // namespace Zel
