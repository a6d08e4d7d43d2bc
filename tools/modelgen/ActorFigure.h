// The figure look of the actor recipe: the nine body parts shaped as the regions of a standing
// person around the biped's bones, skinned to them, with body textures painted in clothing colours
// and patterns (or, for the templates of snapshots, in bare skin), and a skirt for part 5's cloth
// companion.
//
// Slot by slot: 0 the head, 1 the neck and the arms, 2 the hair, 3 the torso, 4 the hips, 5 the
// hands, 6 the legs, 7 and 8 the left and the right shoe. The figure faces -y (the way the walk
// goes) and stands on z = 0.
//
// Texture coordinates point into the actor's spliced body texture: each part's meshes sample the
// block of the 1024 x 1024 atlas its own image lands in and no later part covers. Parts 0 and 1
// share part 2's block (part 2 is laid over their rectangles), so part 2's image carries the face,
// the hair, the bare skin of the neck and the sleeves of the arms.
#pragma once

#include <cstdint>
#include <vector>

#include "modelgen/CharacterDescription.h"
#include "modelgen/GeometryDescription.h"

namespace ZelModelGen {

// The colour of bare skin in every figure texture (R, G, B bytes); the snapshot drops the texels
// of an actor that equal its template's, so only what differs from this skin is pictured.
inline constexpr std::uint8_t kFigureSkin[3] = {226, 178, 146};

// Part n's skin: boxes around its bones, mesh material "<n>", every vertex of a box bound whole to
// the bone of its top or its bottom (the legs stretch from the thigh to the lifted foot). The
// palette lists the bones used.
SkinDesc ActorFigureSkin(std::uint32_t n);
// Part n's body texture as a 64 x 64 24-bit BMP file: clothing (dressed) or bare skin.
std::vector<std::uint8_t> ActorFigureTexture(std::uint32_t n, bool dressed);
// Part 5's cloth companion: a flared skirt of material "skirt_mat" hanging from the waist to above
// the knees, skinned to the pelvis. Marked for the physics scene; its vertices' first colour
// channel (0 at the waist, 0.1 at the hem) keeps it on the skin while the particles fall.
ClothGeometryDesc ActorFigureSkirt();

}  // namespace ZelModelGen
