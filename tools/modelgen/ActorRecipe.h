// The actor recipe: a character assembled from nine body parts on the 70-bone biped (both feet,
// the head and the spine bones), with the figure files, the actor description, an idle and a walk
// action and the action tree that names them. Built on the skinned and body-part descriptions.
//   "actor.act"                            the actor description (the parts' folder)
//   "boy_fig.fig", "girl_fig.fig"          the biped as skeleton scenes (figure kind 0)
//   "boy_NF_8_fig.fig", "girl_NF_8_fig.fig" the face-bone figure (kind 8), the same biped
//   "part0.bp3" ... "part8.bp3"            one skin each, a cube around the part's bone whose mesh
//                                          material is the part's number; a body texture; part 3
//                                          and part 4 link to each other
//   "face8.bp3"                            the face part of figure kind 8
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
// part id 100 + n. Parts 3 and 4 carry a link record naming each other's slot.
BodyPartDesc ActorBodyPart(std::uint32_t n, std::uint32_t figureKind = 0);
// Idle: the root stands at its bind height. Walk: the root moves 1 unit along -y over the
// second; the left foot is lifted 0.2 in the first half and the right foot in the second.
CompressedActionDesc ActorIdleAction();
CompressedActionDesc ActorWalkAction();
std::vector<RecipeFile> ActorRecipeFiles(const RecipeOptions& options);

}  // namespace ZelModelGen
