#include "Entity/Geometry/IOVBBin.h"

#include <algorithm>
#include <cstring>

#include "Core/IZelStream.h"
#include "Core/LogDispatch.h"
#include "Entity/Geometry/ChunkRecord.h"
#include "Core/ChunkStream.h"
#include "Entity/Geometry/ChunkTags.h"
#include "Entity/Geometry/VertexComponentDataPool.h"
#include "Entity/Geometry/VertexData.h"

namespace Zel {
namespace IOVertexBufferBin {
namespace {
// The smallest pool chunk: header and record.
constexpr std::uint64_t kPoolChunkMin = 12 + ChunkRecordSize::kVertexBufferPool;
}  // namespace

bool Read(VertexBufferRecord& record, std::vector<VertexPoolRecord>& pools, IZelStream* stream,
          VertexElementSizeOf elementSize) {
    const ChunkSite site = ZEL_CHUNK_SITE("Zel::IOVertexBufferBin::Read");
    ChunkRecord chunk;
    if (!chunk.ReadHeader(stream, ID_VERTEXBUFFER, site, "IOVertexBufferBin::Read时Tag错误"))
        return false;
    chunk.ReadRecord(stream, ChunkRecordSize::kVertexBuffer, true, site);
    record.vertexCount = chunk.U32(0);
    record.poolCount = chunk.U32(4);
    record.kind = chunk.U32(8);
    pools.clear();
    if (!CountFits(stream, record.poolCount, kPoolChunkMin)) {
        LogTyped(LOG_ENGINE_INIT, "IOVertexBufferBin::Read: %u pools run past the end of %s",
                 record.poolCount, stream->GetName().c_str());
        return false;
    }
    pools.resize(record.poolCount);
    for (VertexPoolRecord& pool : pools) {
        if (!ReadPool(pool, stream, elementSize))
            return false;
    }
    return true;
}

bool ReadPool(VertexPoolRecord& pool, IZelStream* stream, VertexElementSizeOf elementSize) {
    const ChunkSite site = ZEL_CHUNK_SITE("Zel::IOVertexBufferBin::ReadPool");
    ChunkRecord chunk;
    if (!chunk.ReadHeader(stream, ID_VERTEXBUFFERPOOL, site,
                          "IOVertexBufferBin::ReadPool 读取到的Tag错误"))
        return false;
    chunk.ReadRecord(stream, ChunkRecordSize::kVertexBufferPool, true, site);
    pool.elementCount = chunk.U32(0);
    pool.dataSize = chunk.U32(4);
    pool.semantic = chunk.U32(8);
    pool.elementType = chunk.U32(12);
    pool.furtherWord = chunk.U32(16);
    std::uint32_t capacity = 0;
    if (!CheckedByteCount(elementSize(pool.elementType), pool.elementCount, capacity) ||
        !CountFits(stream, capacity, 1) || !CountFits(stream, pool.dataSize, 1)) {
        LogTyped(LOG_ENGINE_INIT,
                 "IOVertexBufferBin::ReadPool: %u elements of type %u (%u data bytes) run past "
                 "the end of %s",
                 pool.elementCount, pool.elementType, pool.dataSize, stream->GetName().c_str());
        return false;
    }
    pool.data.assign(capacity, 0);
    if (pool.dataSize != capacity)
        ReportChunkAssert(site, "Exp Failed!");
    const std::uint32_t taken = std::min(pool.dataSize, capacity);
    if (taken)
        stream->Read(pool.data.data(), taken);
    if (pool.dataSize > taken)
        stream->Seek(pool.dataSize - taken, STREAM_SEEK_CUR);
    return true;
}

bool Apply(VertexData& data, const VertexBufferRecord& record,
           std::vector<VertexPoolRecord>& pools) {
    data.ClearComponents();
    data.SetVertexCount(record.vertexCount);
    data.SetDirty(true);
    for (VertexPoolRecord& pool : pools) {
        VertexComponentDataPool* component =
            data.AddComponent(pool.semantic, pool.elementType, pool.elementCount, pool.data);
        if (!component)
            return false;
        component->extra = pool.furtherWord;
    }
    return true;
}

}  // namespace IOVertexBufferBin
}  // namespace Zel
