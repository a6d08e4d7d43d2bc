// One writer per chunk tag. Each enters its chunk under `name` (so its path is the parent's path
// and the name), writes the header and the fixed record field by field, then its strings, data and
// child chunks in the order the format reads them. Counts and flags come from the description;
// a FaultPlan field of the same name replaces the value written.
#pragma once

#include <string>

#include "modelgen/CharacterDescription.h"
#include "modelgen/ChunkStreamWriter.h"
#include "modelgen/GeometryDescription.h"

namespace ZelModelGen {

// Geometry and meshes.
void WriteGeometryChunk(ChunkStreamWriter& w, const GeometryDesc& g, const std::string& name);
void WritePartChunk(ChunkStreamWriter& w, const PartDesc& part, const std::string& name);
void WriteMeshChunk(ChunkStreamWriter& w, const MeshDesc& mesh, const std::string& name);
void WriteLodStripChunk(ChunkStreamWriter& w, const LodGroup& group, const std::string& name);
void WriteVertexBufferChunk(ChunkStreamWriter& w, const MeshDesc& mesh, const std::string& name);
void WriteVertexPoolChunk(ChunkStreamWriter& w, const PoolDesc& pool, const std::string& name);
void WriteIndexBufferChunk(ChunkStreamWriter& w, const MeshDesc& mesh, const std::string& name);

// Skins, skeletons, actions, tracks, bounds.
void WriteSkinnedGeometryChunk(ChunkStreamWriter& w, const SkinnedGeometryDesc& s,
                               const std::string& name);
void WriteSkinChunk(ChunkStreamWriter& w, const SkinDesc& skin, const std::string& name);
void WriteSkeletonChunk(ChunkStreamWriter& w, const SkeletonDesc& s, const std::string& name);
void WriteBoneChunk(ChunkStreamWriter& w, const BoneDesc& bone, const std::string& name);
void WriteActionChunk(ChunkStreamWriter& w, const ActionDesc& action, const std::string& name);
void WriteAnimationTrackChunk(ChunkStreamWriter& w, const AnimTrackDesc& track,
                              const std::string& name);
void WriteAnimationKeysChunk(ChunkStreamWriter& w, const AnimKeysDesc& keys,
                             std::uint32_t frameCount, const std::string& name);
void WriteBoundChunk(ChunkStreamWriter& w, const BoundDesc& bound, const std::string& name);
void WriteBoundSphereChunk(ChunkStreamWriter& w, const BoundDesc& bound, const std::string& name);
void WriteBoundCapsuleChunk(ChunkStreamWriter& w, const BoundDesc& bound,
                            const std::string& name);

// Body parts, textures, morph and cloth.
void WriteBodyPartChunk(ChunkStreamWriter& w, const BodyPartDesc& part, const std::string& name);
void WriteBodyTextureChunk(ChunkStreamWriter& w, const BodyTextureDesc& texture,
                           const std::string& name);
void WriteMorphGeometryChunk(ChunkStreamWriter& w, const MorphGeometryDesc& m,
                             const std::string& name);
void WriteMorphMeshChunk(ChunkStreamWriter& w, const MorphMeshDesc& m, const std::string& name);
void WriteClothGeometryChunk(ChunkStreamWriter& w, const ClothGeometryDesc& c,
                             const std::string& name);
void WriteClothMeshDataChunk(ChunkStreamWriter& w, const ClothMeshDesc& c,
                             const std::string& name);

// The key arrays of a track (positions, rotations and, when asked, scales), then, when the track
// has frames, one frame table per kind that has keys. Shared by the keys chunk and the plain
// action file, which has no scale keys.
void WriteKeyArrays(RecordWriter& w, const AnimKeysDesc& keys, std::uint32_t frameCount,
                    bool withScales);

// Shared pieces: a matrix stored column by column (element row r, column c at 4 x (4c + r)), and
// indexed child names ("part0", "lod1", ...).
void WriteColumnMajor(RecordWriter& w, const Matrix4& m);
std::string Indexed(const char* name, std::size_t i);
inline std::uint32_t Count32(std::size_t n) { return static_cast<std::uint32_t>(n); }

}  // namespace ZelModelGen
