// What the entities ask of a shadow while they queue themselves as casters: its kind and the
// material casters are drawn with. The shadow map, projective and fake shadows derive from it;
// until they arrive the base is a shadow of kind 0 without a material. Host thread.
#pragma once

#include <cstdint>

namespace Zel {

class Material;

enum ShadowKind : std::int32_t {
    SHADOW_KIND_MAP = 0,   // casters are drawn into the shadow map
    SHADOW_KIND_FAKE = 1,  // casters hand a blob quad to the queue instead
};

class Shadow {
public:
    Shadow() = default;
    virtual ~Shadow() = default;
    Shadow(const Shadow&) = delete;
    Shadow& operator=(const Shadow&) = delete;

    virtual std::int32_t GetKind() const { return SHADOW_KIND_MAP; }
    // The material casters are drawn with (index 0: the caster pass); not owned, may be null.
    virtual Material* GetMaterial(std::uint32_t /*index*/) const { return nullptr; }
};

}  // namespace Zel
