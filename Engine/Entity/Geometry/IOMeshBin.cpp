#include "Entity/Geometry/IOMeshBin.h"

#include <algorithm>

#include "Core/IZelStream.h"
#include "Core/LogDispatch.h"
#include "Entity/Geometry/ChunkRecord.h"
#include "Core/ChunkStream.h"
#include "Entity/Geometry/ChunkTags.h"
#include "Entity/Geometry/IOIndexBufferBin.h"
#include "Entity/Geometry/IOVBBin.h"
#include "Entity/Geometry/LodCompanion.h"
#include "Entity/Geometry/Mesh.h"
#include "Entity/Geometry/MeshData.h"
#include "Entity/Geometry/VertexData.h"
#include "Entity/Geometry/VertexDataSysMem.h"

namespace Zel {
namespace IOMeshBin {
namespace {
// The vertex buffer kind of vertex data kept wholly in system memory (VertexDataSysMem).
constexpr std::uint32_t kSystemMemoryKind = 2;
}  // namespace

bool ReadChunk(MeshChunk& mesh, IZelStream* stream, VertexElementSizeOf elementSize) {
    const ChunkSite site = ZEL_CHUNK_SITE("Zel::IOMeshBin::Read");
    ChunkRecord chunk;
    if (!chunk.ReadHeader(stream, ID_MESH, site, "IOMeshBin::Read"))
        return false;
    chunk.ReadRecord(stream, ChunkRecordSize::kMesh, false, site);
    MeshRecord& r = mesh.record;
    for (std::uint32_t i = 0; i < 3; ++i) {
        r.boxMin[i] = chunk.F32(4 * i);
        r.boxMax[i] = chunk.F32(12 + 4 * i);
    }
    r.wordB = chunk.U32(28);
    r.wordC = chunk.U32(32);
    r.lodStripCount = chunk.U32(36);
    r.groupWord = chunk.U32(40);
    r.vertexCount = chunk.U32(44);
    r.faceCount = chunk.U32(48);
    r.hasVertexBuffer = chunk.U32(52) != 0;
    r.hasIndexBuffer = chunk.U32(56) != 0;
    if (!ReadShortString(stream, r.materialName)) {
        LogTyped(LOG_ENGINE_INIT, "BinaryIO Error : Zel::ZelString error");
        return false;
    }
    if (!ReadLodStrips(r.lodStripCount, stream, mesh.groups))
        return false;
    if (r.hasVertexBuffer &&
        !IOVertexBufferBin::Read(mesh.vertexBuffer, mesh.pools, stream, elementSize))
        return false;
    if (r.hasIndexBuffer) {
        const LodCompanion* companion = LodCompanion::Current();
        if (!companion) {
            if (!IOIndexBufferBin::Read(mesh.indexBuffer, stream))
                return false;
        } else if (!IOIndexBufferBin::Read(mesh.indexBuffer, stream, companion->GetStream())) {
            LogTyped(LOG_ENGINE_INIT, "lod from *_lod.bp3 file error");
            return false;
        }
    }
    return CheckMeshCounts(r.vertexCount, r.hasVertexBuffer ? &mesh.vertexBuffer : nullptr,
                           mesh.pools, r.hasIndexBuffer ? &mesh.indexBuffer : nullptr, mesh.groups,
                           stream->GetName());
}

bool Read(Mesh& mesh, IZelStream* stream) {
    MeshChunk chunk;
    if (!ReadChunk(chunk, stream, &VertexElementSize))
        return false;
    const MeshRecord& r = chunk.record;
    mesh.GetBoundsForUpdate().SetMinMax(r.boxMin, r.boxMax);
    mesh.SetWord(0, r.faceCount);
    mesh.SetWord(1, r.wordB);
    mesh.SetWord(2, r.wordC);
    mesh.SetFaceCount(r.faceCount);
    mesh.SetVertexCount(r.vertexCount);
    mesh.SetGroupWord(r.groupWord);
    mesh.SetMaterialName(r.materialName);
    for (LodStripRecord& record : chunk.groups) {
        auto group = std::make_unique<LodStripArray>();
        group->value = record.primitiveCount;
        group->entries.reserve(record.entries.size());
        for (const LodStripRecord::Entry& e : record.entries)
            group->entries.push_back({e[0], e[1], e[2], e[3], e[4]});
        mesh.AddRenderGroup(std::move(group));
    }
    if (r.hasVertexBuffer) {
        if (chunk.vertexBuffer.kind == kSystemMemoryKind && mesh.GetVertexData() &&
            mesh.GetVertexData()->GetKind() != kSystemMemoryKind)
            mesh.ReplaceOwnVertexData(std::make_unique<VertexDataSysMem>(&mesh));
        if (!mesh.GetVertexData() ||
            !IOVertexBufferBin::Apply(*mesh.GetVertexData(), chunk.vertexBuffer, chunk.pools))
            return false;
    }
    if (!r.hasIndexBuffer)
        return true;
    return mesh.GetIndexData() &&
           IOIndexBufferBin::Apply(*mesh.GetIndexData(), chunk.indexBuffer, true);
}

bool ReadLodStrip(LodStripRecord& group, IZelStream* stream) {
    ChunkRecord chunk;
    chunk.ReadHeader(stream);
    if (chunk.GetTag() != ID_LODSTRIP) {
        LogTyped(LOG_ENGINE_INIT, "IOMeshBin::ReadLodStrip读取到tag不是ID_LODSTRIP");
        return false;
    }
    chunk.ReadRecord(stream, ChunkRecordSize::kLodStrip, true,
                     ZEL_CHUNK_SITE("Zel::IOMeshBin::ReadLodStrip"));
    const std::uint32_t entryCount = chunk.U32(0);
    group.primitiveCount = chunk.U32(4);
    if (!CountFits(stream, entryCount, ChunkRecordSize::kLodStripEntry)) {
        LogTyped(LOG_ENGINE_INIT, "IOMeshBin::ReadLodStrip: %u entries run past the end of %s",
                 entryCount, stream->GetName().c_str());
        return false;
    }
    std::vector<std::uint32_t> words;
    if (!ReadU32Array(stream, entryCount * 5, words))
        return false;
    group.entries.resize(entryCount);
    for (std::uint32_t i = 0; i < entryCount; ++i)
        std::copy_n(words.begin() + 5 * i, 5, group.entries[i].begin());
    return true;
}

bool ReadLodStrips(std::uint32_t stripCount, IZelStream* stream,
                   std::vector<LodStripRecord>& groups) {
    const LodCompanion* companion = LodCompanion::Current();
    for (std::uint32_t i = 0; i < stripCount; ++i) {
        LodStripRecord group;
        if (!ReadLodStrip(group, stream)) {
            if (companion)
                ReportChunkAssert(ZEL_CHUNK_SITE("Zel::IOMeshBin::Read"),
                                  "读取原始bp3文件内的Lod的Strip失败,文件名=%s",
                                  companion->GetFileName().c_str());
            return false;
        }
        groups.push_back(std::move(group));
    }
    if (!companion)
        return true;
    std::uint32_t total = 0;
    ReadU32(companion->GetStream(), total);
    for (std::uint32_t k = stripCount; k < total; ++k) {
        LodStripRecord group;
        if (!ReadLodStrip(group, companion->GetStream())) {
            LogTyped(LOG_ENGINE_INIT, "读取Lod文件的LodStrip失败,文件名=%s",
                     companion->GetFileName().c_str());
            break;
        }
        groups.push_back(std::move(group));
    }
    return true;
}

bool CheckMeshCounts(std::uint32_t meshVertexCount, const VertexBufferRecord* vertexBuffer,
                     const std::vector<VertexPoolRecord>& pools,
                     const IndexBufferRecord* indexBuffer,
                     const std::vector<LodStripRecord>& groups, const std::string& streamName) {
    const char* name = streamName.c_str();
    if (vertexBuffer) {
        if (vertexBuffer->vertexCount != meshVertexCount) {
            LogError("mesh of %s: vertex buffer holds %u vertices, the mesh %u", name,
                     vertexBuffer->vertexCount, meshVertexCount);
            return false;
        }
        for (const VertexPoolRecord& pool : pools) {
            if (pool.elementCount != meshVertexCount) {
                LogError("mesh of %s: pool of semantic 0x%x holds %u elements for %u vertices",
                         name, pool.semantic, pool.elementCount, meshVertexCount);
                return false;
            }
        }
    }
    const std::uint64_t indexCount = indexBuffer ? indexBuffer->indices.size() : 0;
    // The vertex count is the mesh's own, so indices answer to it with or without a vertex
    // buffer.
    if (indexBuffer) {
        for (std::uint32_t index : indexBuffer->indices) {
            if (index >= meshVertexCount) {
                LogError("mesh of %s: index %u is not below the vertex count %u", name, index,
                         meshVertexCount);
                return false;
            }
        }
    }
    if (!indexBuffer)
        return true;
    for (const LodStripRecord& group : groups) {
        for (const LodStripRecord::Entry& e : group.entries) {
            const std::uint64_t end = std::uint64_t(e[3] / 4) + std::max(e[1], e[2]);
            if (end > indexCount) {
                LogError(
                    "mesh of %s: group entry at byte %u for %u indices lies outside the %llu"
                    " indices",
                    name, e[3], std::max(e[1], e[2]), static_cast<unsigned long long>(indexCount));
                return false;
            }
        }
    }
    return true;
}

}  // namespace IOMeshBin
}  // namespace Zel
