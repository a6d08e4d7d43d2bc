// The reader of the geometry chunk (tag 1), whole into a Geometry, and its parts that need no
// Geometry: the chunk's header, record and per-mesh lists, and its closing material-file strings.
// Loading thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Entity/Geometry/GeometryChunkRecord.h"

namespace Zel {

class Geometry;
class IZelStream;

namespace IOGeometryBin {

// A whole geometry chunk into the geometry: the record (bounds, header words, matrix table), the
// four lists appended, one mesh per part (Geometry::AddMesh; sort key = part index, except for
// cloth mesh data, which reads its own), then the material files joined to `directory` (the
// folder of the model file; empty for a file named without one). The resource word is kept only
// by the plain Geometry class. Each part is read by the reader of its mesh type (0 mesh, 1 skin,
// 2 morph mesh, 3 cloth mesh data); a part count whose parts cannot fit in what is left of the
// stream is refused with a log line. False on the first failure; the geometry keeps what was read
// and the caller unloads it.
bool Read(Geometry& geometry, IZelStream* stream, const std::string& directory);

// Header, record and the four lists. False after the report "IOGeometryBin::Read时遇到未知的Tag"
// on a wrong tag, and with a log line when a list would run past the end of the stream.
bool ReadRecord(GeometryChunkRecord& geometry, IZelStream* stream);

// count material-file strings, each joined to the directory of the model file
// (JoinPathWithSlash) and appended. False after the report on a failed string.
bool ReadMaterialFiles(std::uint32_t count, IZelStream* stream, const std::string& directory,
                       std::vector<std::string>& materialFiles);

}  // namespace IOGeometryBin
}  // namespace Zel
