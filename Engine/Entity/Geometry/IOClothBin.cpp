#include "Entity/Geometry/IOClothBin.h"

#include <cstring>
#include <memory>
#include <typeinfo>
#include <vector>

#include "Core/ChunkStream.h"
#include "Core/IZelStream.h"
#include "Core/LogDispatch.h"
#include "Core/PathUtils.h"
#include "Entity/Geometry/ChunkRecord.h"
#include "Entity/Geometry/ChunkTags.h"
#include "Entity/Geometry/ClothMeshData.h"
#include "Entity/Geometry/GeometryCloth.h"
#include "Entity/Geometry/IOBodyPartBin.h"
#include "Entity/Geometry/IOGeometryBin.h"
#include "Entity/Geometry/IOMeshBin.h"
#include "Entity/Geometry/IOSkinBin.h"
#include "Entity/Geometry/Skin.h"
#include "Math/BoundBase.h"

namespace Zel {

namespace {

constexpr std::uint32_t kSubPartHead = 8;
constexpr std::uint64_t kBoundChunkMin = 12 + ChunkRecordSize::kBound;

// count float3 read in one piece; false when they do not lie inside the stream.
bool ReadPoints(IZelStream* stream, std::uint32_t count, std::vector<std::array<float, 3>>& out) {
    std::vector<std::uint32_t> words;
    if (!CountFits(stream, count, 12) || !ReadU32Array(stream, 3 * count, words))
        return false;
    out.resize(count);
    if (count)
        std::memcpy(out.data(), words.data(), 12ull * count);
    return true;
}

// Reads one flagged array; an array the piece holds already is reported and replaced.
template <class Array, class ReadArray>
bool ReadFlagged(bool flagged, Array& array, const ChunkSite& site, ReadArray read) {
    if (!flagged)
        return true;
    if (!array.empty())
        ReportChunkAssert(site, "Exp Failed!");
    return read(array);
}

}  // namespace

namespace IOClothMeshDataBin {

bool Read(ClothMeshData& cloth, IZelStream* stream) {
    const ChunkSite site = ZEL_CHUNK_SITE("Zel::IOClothMeshDataBin::Read");
    ChunkRecord chunk;
    if (!chunk.Read(stream, ID_CLOTHMESHDATA, ChunkRecordSize::kClothMeshData, site,
                    "IOClothMeshDataBin::Read遇到错误的Tag"))
        return false;
    if (!IOMeshBin::Read(cloth, stream))
        return false;
    for (int p = ClothMeshData::BENDING; p <= ClothMeshData::THICKNESS; ++p)
        cloth.SetParam(static_cast<ClothMeshData::Param>(p), chunk.F32(4 * p));
    const std::uint32_t pointsA = chunk.U32(24);
    const std::uint32_t pointsB = chunk.U32(28);
    const std::uint32_t recordCount = chunk.U32(32);
    const std::uint32_t subParts = chunk.U32(64);
    const std::uint32_t indexCount = chunk.U32(68);
    cloth.SetSortKey(chunk.U32(60));
    cloth.SetIndexCountWord(indexCount);
    const char* name = stream->GetName().c_str();
    if (!CountFits(stream, subParts, kSubPartHead)) {
        LogTyped(LOG_ENGINE_INIT, "IOClothMeshDataBin::Read: %u sub-parts run past the end of %s",
                 subParts, name);
        return false;
    }
    for (std::uint32_t i = 0; i < subParts; ++i) {
        std::uint32_t kind = 0, reserved = 0;
        if (!ReadU32(stream, kind) || !ReadU32(stream, reserved))
            return false;
        if (kind == 0) {
            auto mesh = std::make_unique<Mesh>(cloth.GetOwner(), cloth.GetName(), true, true);
            if (!IOMeshBin::Read(*mesh, stream))
                return false;
            mesh->BuildOpenEdgeVertices();
            cloth.AddSubMesh(std::move(mesh));
        } else if (kind == 1) {
            auto skin = std::make_unique<Skin>(cloth.GetOwner(), cloth.GetName());
            if (!IOSkinBin::Read(*skin, stream))
                return false;
            skin->CreateBlendComponents();
            cloth.AddSubMesh(std::move(skin));
        }
    }
    if (!CountFits(stream, recordCount, ClothMeshData::kRecordBytes)) {
        LogTyped(LOG_ENGINE_INIT,
                 "IOClothMeshDataBin::Read: %u cloth records run past the end of %s", recordCount,
                 name);
        return false;
    }
    auto& records = cloth.GetRecords();
    for (std::uint32_t i = 0; i < recordCount; ++i) {
        std::array<std::uint8_t, ClothMeshData::kRecordBytes> record{};
        if (stream->Read(record.data(), ClothMeshData::kRecordBytes) != ClothMeshData::kRecordBytes)
            return false;
        records.push_back(record);
    }
    const auto points = [&](std::uint32_t count) {
        return [stream, count](std::vector<ClothMeshData::Float3>& array) {
            return ReadPoints(stream, count, array);
        };
    };
    const auto indices = [&](std::vector<std::uint32_t>& array) {
        return ReadU32Array(stream, indexCount, array);
    };
    const bool ok =
        ReadFlagged(chunk.U32(36) != 0 && pointsA, cloth.GetWeldedPositions(), site,
                    points(pointsA)) &&
        ReadFlagged(chunk.U32(44) != 0 && pointsB, cloth.GetSecondPoints(), site,
                    points(pointsB)) &&
        ReadFlagged(chunk.U32(48) != 0 && indexCount, cloth.GetPhysicsTriangles(), site, indices) &&
        ReadFlagged(chunk.U32(52) != 0 && indexCount, cloth.GetSecondIndices(), site, indices);
    if (!ok) {
        LogTyped(LOG_ENGINE_INIT,
                 "IOClothMeshDataBin::Read: the cloth arrays run past the end of %s", name);
        return false;
    }
    // The physics side walks the triangles over the points: an index past them is refused here.
    const std::size_t welded = cloth.GetWeldedPositions().size();
    for (std::uint32_t v : cloth.GetPhysicsTriangles()) {
        if (v >= welded) {
            LogTyped(LOG_ENGINE_INIT,
                     "IOClothMeshDataBin::Read: triangle index %u past the %zu points of %s", v,
                     welded, name);
            return false;
        }
    }
    return true;
}

}  // namespace IOClothMeshDataBin

namespace IOGeometryClothBin {

bool Read(GeometryCloth& geometry, IZelStream* stream, const std::string& path) {
    const ChunkSite site = ZEL_CHUNK_SITE("Zel::IOGeometryClothBin::Read");
    ChunkRecord chunk;
    if (!chunk.Read(stream, ID_GEOMETRYCLOTH, ChunkRecordSize::kGeometryCloth, site,
                    "IOGeometryClothBin::Read读取到错误的Tag"))
        return false;
    if (typeid(geometry) == typeid(GeometryCloth))
        geometry.SetResourceWord(chunk.GetResourceWord());
    geometry.SetFlagWord(chunk.U32(0));
    const std::uint32_t boundCount = chunk.U32(4);
    const std::uint32_t pointCount = chunk.U32(8);
    bool ok = false;
    {
        IOGeometryBodyPartBin::OpenLodCompanion companion;
        if (!path.empty())
            companion.OpenForPath(path, true);
        ok = IOGeometryBin::Read(geometry, stream, GetDirectory(path));
    }
    if (!ok)
        return false;
    if (!CountFits(stream, boundCount, kBoundChunkMin)) {
        LogTyped(LOG_ENGINE_INIT, "IOGeometryClothBin::Read: %u bounds run past the end of %s",
                 boundCount, stream->GetName().c_str());
        return false;
    }
    for (std::uint32_t i = 0; i < boundCount; ++i) {
        BoundBase* shape = nullptr;
        if (!IOBoundBin::Read(shape, stream))
            return false;
        geometry.GetBoneBounds().push_back(shape);
    }
    if (!ReadPoints(stream, pointCount, geometry.GetAttachmentPoints())) {
        LogTyped(LOG_ENGINE_INIT, "IOGeometryClothBin::Read: %u points run past the end of %s",
                 pointCount, stream->GetName().c_str());
        return false;
    }
    for (std::uint32_t m = 0; m < geometry.GetMeshCount(); ++m) {
        auto* cloth = dynamic_cast<ClothMeshData*>(geometry.GetMesh(m));
        if (!cloth)
            continue;
        cloth->MapRenderVertices();
        cloth->BuildAttachments(geometry.GetAttachmentPoints());
    }
    return true;
}

}  // namespace IOGeometryClothBin
}  // namespace Zel
