// The list of the characters' composed body textures. Globals builds it empty and destroys it
// after the actor factory, so every actor has let its texture go by then: whatever is still
// listed is forcibly removed from the texture manager (a texture some other holder still
// references is reported by the manager and left).
//
// Threads: the host thread (or a loading task in lock-step with it).
#pragma once

#include <cstddef>
#include <list>

#include "Core/SharedPtr.h"

namespace Zel {

class TextureBase;

class ActorBodyTexture {
public:
    ActorBodyTexture();
    // ReleaseAll, then Clear.
    virtual ~ActorBodyTexture();
    ActorBodyTexture(const ActorBodyTexture&) = delete;
    ActorBodyTexture& operator=(const ActorBodyTexture&) = delete;

    // Lists a texture made for a body texture, holding one reference; a texture already listed
    // (one that came back from the recycle bin) is not listed twice. Null is ignored.
    void Add(TextureBase* texture);
    // Drops the entry of a texture about to be destroyed by its actor, so that the registry's
    // reference does not keep it alive. False when it was not listed.
    bool Remove(TextureBase* texture);
    bool Contains(const TextureBase* texture) const;
    std::size_t GetCount() const { return entries_.size(); }

    // In list order, each held texture's reference is dropped and the texture is handed to the
    // texture manager's forced removal; then the list is emptied. Without a texture manager the
    // references are only dropped.
    void ReleaseAll();
    // Empties the list, dropping every reference still held.
    void Clear();

private:
    std::list<SharedPtr<TextureBase>> entries_;
};

}  // namespace Zel
