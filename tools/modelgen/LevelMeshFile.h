// The binary level mesh: a flat little-endian sequence without tags. A name is a u32 byte count
// and that many bytes (no NUL is written; the plan's StringFault length and omitCharacters apply).
// Paths: "file" (the file name), "head", "sceneName", "meshes", "meshN" with "meshN/material" and
// data sections "meshN#faces", "#positions", "#colours", "#uv0", "#uv1", "#faceVectors",
// "#normals"; "points", "indexWords", "occluderN". Count fields: head "sceneCount",
// "skipCount"; meshes "meshCount", "occluderCount"; meshN "faceCount", "faceVectorCount",
// "vertexCount", "colourCount", "normalFlag", "uv0Flag", "uv1Flag"; points "pointCount";
// indexWords "indexCount". Face records are {0, 0, i0, i1, i2, 0}; element k of "meshN#faces" is
// index k of the mesh's index list.
#pragma once

#include "modelgen/FaultPlan.h"
#include "modelgen/LevelDescription.h"
#include "modelgen/WrittenFile.h"

namespace ZelModelGen {

WrittenFile WriteLevelMeshFile(const LevelMeshDesc& level, const FaultPlan& faults = FaultPlan());

}  // namespace ZelModelGen
