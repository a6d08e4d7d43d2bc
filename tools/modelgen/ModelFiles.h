// Whole model files written from their descriptions. Each returns the bytes with the sections they
// are made of; the FaultPlan's knobs are applied on the way (see FaultPlan). Top-level chunk names,
// and so the roots of every path: "geometry" (".dm3"), "skinnedGeometry" (".ch3"), "bodyPart"
// (".bp3", ".bp4", ".bp5"), "morphGeometry" (".an3"), "clothGeometry" (cloth files), "action" (the
// plain action file), "mesh0", "mesh1", ... (LOD companion blocks).
#pragma once

#include <vector>

#include "modelgen/CharacterDescription.h"
#include "modelgen/FaultPlan.h"
#include "modelgen/GeometryDescription.h"
#include "modelgen/WrittenFile.h"

namespace ZelModelGen {

WrittenFile WriteGeometryFile(const GeometryDesc& g, const FaultPlan& faults = FaultPlan());
WrittenFile WriteSkinnedGeometryFile(const SkinnedGeometryDesc& s,
                                     const FaultPlan& faults = FaultPlan());
WrittenFile WriteBodyPartFile(const BodyPartDesc& part, const FaultPlan& faults = FaultPlan());
WrittenFile WriteMorphGeometryFile(const MorphGeometryDesc& m,
                                   const FaultPlan& faults = FaultPlan());
WrittenFile WriteClothGeometryFile(const ClothGeometryDesc& c,
                                   const FaultPlan& faults = FaultPlan());

// The LOD companion ("_lod" file) of the meshes in the order the main file's reader meets them:
// per mesh a block "meshN" of a u32 strip total (main groups + LOD groups), the LOD groups as LOD
// strip chunks, and, when the mesh has an index buffer, an index buffer chunk whose record is
// {LOD index count, base index count, bytes to clear, two further words} followed by the LOD
// indices. There is no file header.
WrittenFile WriteLodCompanion(const std::vector<const MeshDesc*>& meshes,
                              const FaultPlan& faults = FaultPlan());
// The meshes that a body part's or a cloth geometry's companion serves, in read order: every
// mesh of the body part's skins, or of the cloth geometry's geometry chunk.
std::vector<const MeshDesc*> CompanionMeshes(const BodyPartDesc& part);
std::vector<const MeshDesc*> CompanionMeshes(const ClothGeometryDesc& cloth);

// The plain action file ("at6"): a 24-byte header (five reserved words, the track count), one
// 72-byte entry per track (the track block's file offset at entry offset 4), an 84-byte action
// block (length at 0, bone count at 8), the bone indices, and per track a block of a 24-byte head,
// the 184-byte track record and its keys. Track blocks follow each other in entry order.
WrittenFile WritePlainActionFile(const PlainActionDesc& action,
                                 const FaultPlan& faults = FaultPlan());

}  // namespace ZelModelGen
