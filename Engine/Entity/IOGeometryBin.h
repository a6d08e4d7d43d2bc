// The parts of the geometry chunk reader (tag 1) that need no Geometry: the chunk's header,
// record and per-mesh lists, and its closing material-file strings. The parts and animation
// tracks between them are read by their own readers. Loading thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Entity/GeometryChunkRecord.h"

namespace Zel {

class IZelStream;

namespace IOGeometryBin {

// Header, record and the four lists. False after the report "IOGeometryBin::Read时遇到未知的Tag"
// on a wrong tag, and with a log line when a list would run past the end of the stream.
bool ReadRecord(GeometryChunkRecord& geometry, IZelStream* stream);

// count material-file strings, each joined to the directory of the model file
// (JoinPathWithSlash) and appended. False after the report on a failed string.
bool ReadMaterialFiles(std::uint32_t count, IZelStream* stream, const std::string& directory,
                       std::vector<std::string>& materialFiles);

}  // namespace IOGeometryBin
}  // namespace Zel
