// The list of the characters' composed body textures. Globals builds it empty and destroys it
// with the scene objects that use it.
#pragma once

namespace Zel {

class ActorBodyTexture {
public:
    ActorBodyTexture() = default;
    virtual ~ActorBodyTexture() = default;
    ActorBodyTexture(const ActorBodyTexture&) = delete;
    ActorBodyTexture& operator=(const ActorBodyTexture&) = delete;
};

}  // namespace Zel
