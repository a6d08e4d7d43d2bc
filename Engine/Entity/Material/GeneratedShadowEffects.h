// The three materials projected shadows draw with, made in code on first request: a static
// caster, a skinned caster and a receiver that projects the shadow texture onto geometry. Each
// writes its fixed effect file under "../Data/Effects/Legacy5/", loads it as its program and is
// registered with the material manager of Globals, which owns it; a cache slot per kind keeps a
// non-owning pointer until it is cleared or the material leaves the manager.
//
// Host thread (the shadow code); the slots are process-wide and unguarded.
#pragma once

#include <cstdint>

namespace Zel {

class Material;

enum GeneratedShadowKind : std::uint32_t {
    GSK_STATIC_CAST = 0,
    GSK_SKELETAL_CAST = 1,
    GSK_PROJECTIVE_RECEIVER = 2,
};

// The material of kind 0, 1 or 2, generated on first use; null for any other kind, without a
// material manager, when the name is taken by a material made elsewhere (logged), or when the
// effect file cannot be created (a new material is not kept; the next request tries again).
Material* GetGeneratedShadowEffect(std::uint32_t kind);
Material* GenerateStaticShadowCastEffect();
Material* GenerateSkeletalShadowCastEffect();
Material* GenerateProjectiveShadowReceiverEffect();
// Empties the slot of kind 0..2; the material stays with the manager. The next request generates
// again into that same material: it rewrites the file and binds the program loaded from it.
void ClearGeneratedShadowEffect(std::uint32_t kind);

}  // namespace Zel
