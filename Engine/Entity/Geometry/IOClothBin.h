// Readers of the binary cloth file: the cloth geometry chunk (tag 23: a geometry chunk, bound
// chunks and attachment points) and the cloth mesh data chunk (tag 24) of each of its cloth
// meshes. Every count is checked against the bytes left before anything is allocated. Loading
// thread only.
#pragma once

#include <string>

namespace Zel {

class ClothMeshData;
class GeometryCloth;
class IZelStream;

namespace IOGeometryClothBin {
// The geometry, its bounds and points, then each cloth mesh's set-up (render-vertex map and
// attachments). The bp3 form of the "_lod" companion of the path serves the geometry's meshes.
bool Read(GeometryCloth& geometry, IZelStream* stream, const std::string& path);
}  // namespace IOGeometryClothBin

namespace IOClothMeshDataBin {
bool Read(ClothMeshData& cloth, IZelStream* stream);
}  // namespace IOClothMeshDataBin

}  // namespace Zel
