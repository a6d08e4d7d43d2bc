#include "Entity/Geometry/IODeformedBin.h"

#include <memory>
#include <typeinfo>

#include "Core/ChunkStream.h"
#include "Core/IZelStream.h"
#include "Core/LogDispatch.h"
#include "Entity/Geometry/ChunkRecord.h"
#include "Entity/Geometry/ChunkTags.h"
#include "Entity/Geometry/DeformedMesh.h"
#include "Entity/Geometry/GeometryDeformed.h"
#include "Entity/Geometry/IOGeometryBin.h"
#include "Entity/Geometry/IOMeshBin.h"
#include "Entity/Geometry/ReaderReports.h"

namespace Zel {

namespace {

constexpr std::uint32_t kKeyBytes = 12;
// The smallest morph mesh chunk: header, record and the mesh chunk's header and record.
constexpr std::uint64_t kMorphMeshMin =
    12 + ChunkRecordSize::kDeformedMesh + 12 + ChunkRecordSize::kMesh;

}  // namespace

namespace IODeformedMeshBin {

bool Read(DeformedMesh& mesh, IZelStream* stream, std::uint32_t depth) {
    const ChunkSite site = ZEL_CHUNK_SITE("Zel::IODeformedMeshBin::Read");
    if (depth > kMaxMorphDepth) {
        LogTyped(LOG_ENGINE_INIT, "IODeformedMeshBin::Read: morph meshes nest deeper than %u in %s",
                 kMaxMorphDepth, stream->GetName().c_str());
        return false;
    }
    ChunkRecord chunk;
    if (!chunk.ReadHeader(stream, ID_DEFORMEDMESH, site, "IODeformedMeshBin::Read读取到错误的Tag"))
        return false;
    chunk.ReadRecord(stream, ChunkRecordSize::kDeformedMesh, false, site);
    const std::int32_t keyCount = chunk.I32(0);
    if (!IOMeshBin::Read(mesh, stream))
        return false;
    mesh.SetMorphWord(chunk.U32(4));
    if (keyCount < 0 ||
        !CountFits(stream, static_cast<std::uint64_t>(keyCount), kKeyBytes + kMorphMeshMin)) {
        LogTyped(LOG_ENGINE_INIT, "IODeformedMeshBin::Read: %d keys run past the end of %s",
                 keyCount, stream->GetName().c_str());
        return false;
    }
    Geometry* geometry = mesh.GetOwner();
    for (std::int32_t k = 0; k < keyCount; ++k) {
        auto key = std::make_unique<DeformedMesh::Key>();
        ChunkRecord record;
        record.ReadRecord(stream, kKeyBytes, false, site);
        key->time = record.F32(0);
        key->blend = (record.U32(8) & 0xFF) != 0;
        auto* target = geometry ? dynamic_cast<DeformedMesh*>(geometry->AddMesh()) : nullptr;
        if (!target || !Read(*target, stream, depth + 1))
            return false;
        key->mesh = target;
        mesh.AddKey(std::move(key));
    }
    return true;
}

}  // namespace IODeformedMeshBin

namespace IOGeometryDeformed {

bool Read(GeometryDeformed& geometry, IZelStream* stream, const std::string& directory) {
    const ChunkSite site = ZEL_CHUNK_SITE("Zel::IOGeometryDeformed::Read");
    ChunkRecord chunk;
    if (!chunk.Read(stream, ID_GEOMETRYDEFORMED, ChunkRecordSize::kGeometryDeformed, site,
                    "IOGeometryDeformed::Read读取到错误的Tag"))
        return false;
    if (typeid(geometry) == typeid(GeometryDeformed))
        geometry.SetResourceWord(chunk.GetResourceWord());
    geometry.SetMorph(chunk.F32(0), chunk.U32(4) != 0);
    const std::int32_t count = chunk.I32(8);
    if (!IOGeometryBin::Read(geometry, stream, directory)) {
        ReportReaderError("IOGeometryBin::Read读取基类信息时出错！");
        return false;
    }
    if (count < 0 || !CountFits(stream, static_cast<std::uint64_t>(count), kMorphMeshMin)) {
        LogTyped(LOG_ENGINE_INIT,
                 "IOGeometryDeformed::Read: %d morph meshes run past the end of %s", count,
                 stream->GetName().c_str());
        return false;
    }
    for (std::int32_t i = 0; i < count; ++i) {
        auto* mesh = dynamic_cast<DeformedMesh*>(geometry.AddMesh());
        if (!mesh || !IODeformedMeshBin::Read(*mesh, stream)) {
            ReportReaderError("IOGeometryBin::Read读取deformed mesh信息时出错！");
            return false;
        }
        mesh->FinishLoad();
        mesh->BuildSubMeshes();
        geometry.AddMorphTarget(mesh);
    }
    return true;
}

}  // namespace IOGeometryDeformed
}  // namespace Zel
