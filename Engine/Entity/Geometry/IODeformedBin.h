// Readers of the morph geometry (tag 27: a geometry chunk and its morph meshes) and of the morph
// mesh chunk (tag 28: a mesh and its keys, each key's target a nested morph mesh). Nesting deeper
// than kMaxMorphDepth refuses the file. Loading thread only.
#pragma once

#include <cstdint>
#include <string>

namespace Zel {

class DeformedMesh;
class GeometryDeformed;
class IZelStream;

namespace IOGeometryDeformed {
bool Read(GeometryDeformed& geometry, IZelStream* stream, const std::string& directory);
}  // namespace IOGeometryDeformed

namespace IODeformedMeshBin {
constexpr std::uint32_t kMaxMorphDepth = 16;
// depth: the nesting of this chunk (0 for a morph mesh of the geometry).
bool Read(DeformedMesh& mesh, IZelStream* stream, std::uint32_t depth = 0);
}  // namespace IODeformedMeshBin

}  // namespace Zel
