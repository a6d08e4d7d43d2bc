// The actor recipe: a character assembled from nine body parts on the 70-bone biped (both feet,
// the head and the spine bones), with the figure files, the actor description, an idle and a walk
// action and the action tree that names them. Built on the skinned and body-part descriptions.
//   "actor.act"                            the actor description (the parts' folder)
//   "boy_fig.fig", "girl_fig.fig"          the biped as skeleton scenes (figure kind 0)
//   "boy_NF_8_fig.fig", "girl_NF_8_fig.fig" the face-bone figure (kind 8), the same biped
//   "part0.bp3" ... "part8.bp3"            one skin each, a cube around the part's bone whose mesh
//                                          material is the part's number; a body texture; part 3
//                                          and part 4 link to each other
//   "part0.bp4" ... "part8.bp4"            the same parts for the newer character, whose meshes
//                                          take the names "part<n>_<i>" when loaded
//   "part0.xml" ... "part8.xml"            their material descriptions: one material
//                                          "part<n>_0" of diffuse red ActorPartRed(n)
//   "new_boy_fig.fig", "new_girl_fig.fig"  the new figures (the same biped)
//   "face8.bp3"                            the face part of figure kind 8
//   "part5_cloth.bp3"                      with ActorLook::Figure: part 5's cloth companion, a skirt
//   "idle.ac6", "walk.ac6"                 one-second actions of 31 frames
//   "actions.xml", "actor_tree.xml"        the action list and one tree per figure
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "modelgen/CharacterDescription.h"
#include "modelgen/CompressedActionFile.h"
#include "modelgen/Recipes.h"

namespace ZelModelGen {

constexpr std::uint32_t kActorPartCount = 9;

// The biped as a skeleton description in table order, feet recorded.
SkeletonDesc ActorSkeleton();
// The index of the biped bone of that name; -1 when none.
std::int32_t ActorBoneIndex(const std::string& name);
// The bone part n's skin follows.
std::string ActorPartBone(std::uint32_t n);
// Part n (0..8) of the figure kind: skin "part<n>", mesh material "<n>", texture "part<n>_tex",
// part id 100 + n. Parts 3 and 4 carry a link record naming each other's slot. Cubes, or with
// ActorLook::Figure the figure's region in clothes (bare skin when dressed is false).
BodyPartDesc ActorBodyPart(std::uint32_t n, std::uint32_t figureKind = 0,
                           ActorLook look = ActorLook::Cubes, bool dressed = true);
// Idle: the root stands at its bind height. Walk: the root moves 1 unit along -y over the
// second; the left foot is lifted 0.2 in the first half and the right foot in the second.
// The red of part n's described material's pass diffuse colour, which tells a copy of it from
// the default material.
inline float ActorPartRed(std::uint32_t n) {
    return 0.125f * static_cast<float>(n);
}
// The material description of a newer part: one material "<partBase>_0" with one pass.
std::string ActorPartDescription(const std::string& partBase, std::uint32_t n);
// The one ".bp5" part with a cloth companion.
constexpr std::uint32_t kActorBp5ClothPart = 5;
// The ".bp5" form of parts 0..8 and their descriptions, under "newbpoutput/" (the folder beside
// the actor description's folder that holds them; the caller makes it), and part 5's cloth
// companion "part5_cloth.bp5" (the cloth recipe's piece, flagged for the physics scene).
std::vector<RecipeFile> ActorBp5Files();
// The two template actors of snapshots, under "media/shaders/role/output/" (the caller makes the
// folder): the description "dress.xml" with the figures beside it, and nine ".BP3" parts for each
// template, "1<set><slot><item>.BP3" (set 1 for the first template, 0 for the second; item
// "001001" for slots 1 and 2, "000000" otherwise), each the actor part of its slot (with
// ActorLook::Figure the figure's part in bare skin).
std::vector<RecipeFile> ActorTemplateFiles(const RecipeOptions& options = {});
CompressedActionDesc ActorIdleAction();
CompressedActionDesc ActorWalkAction();
std::vector<RecipeFile> ActorRecipeFiles(const RecipeOptions& options);

}  // namespace ZelModelGen
