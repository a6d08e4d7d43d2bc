// The binary level mesh: a flat little-endian file (no chunk tags) of meshes, points and the
// level's occluder quads. The level geometry reads it through LoadLevelMesh and builds its meshes
// from the result; the simplified level reads it without occluders.
//
// The file is checked as it is read: every count against the bytes that remain. A file that ends
// early, or a face that names a vertex at or past the mesh's vertex count, fails with one logged
// error. Names longer than 255 bytes keep their first 255 bytes; colours beyond the vertex count
// are passed over. A scene count other than 1 is reported ("Exp Failed!") and read as 1 (0 skips
// to the points).
//
// Any thread; one stream per call.
#pragma once

#include <string>

#include "Entity/Geometry/LevelMeshData.h"

namespace Zel {

class IZelStream;

// Reads the stream from its position into out (which is cleared first); occluders only when
// withOccluders is set. False, with a logged error, when the file is inconsistent; out then holds
// what was read so far.
bool ReadLevelMesh(IZelStream& stream, LevelMeshData& out, bool withOccluders);
// Opens the file (virtual file system or disk) and reads it; false with a logged error when it
// cannot be opened or read.
bool LoadLevelMesh(const std::string& path, LevelMeshData& out, bool withOccluders);

}  // namespace Zel
