#include "Entity/Geometry/IOIndexBufferBin.h"

#include <algorithm>
#include <cstring>

#include "Core/Globals.h"
#include "Core/IZelStream.h"
#include "Core/LogDispatch.h"
#include "Entity/Geometry/ChunkRecord.h"
#include "Core/ChunkStream.h"
#include "Entity/Geometry/ChunkTags.h"
#include "Entity/Geometry/IndexData.h"
#include "Entity/Geometry/MeshData.h"
#include "Entity/Scene/SceneManager.h"
#include "Render/RenderCodes.h"

namespace Zel {
namespace IOIndexBufferBin {
namespace {

// The header of the main chunk; false after the report on a wrong tag.
bool ReadMainHeader(ChunkRecord& chunk, IZelStream* stream) {
    return chunk.ReadHeader(stream, ID_INDEXBUFFER, ZEL_CHUNK_SITE("Zel::IOIndexBufferBin::Read"),
                            "IOIndexBufferBin::Read读取到错误的Tag");
}

void TakeRecord(const ChunkRecord& chunk, IndexBufferRecord& record) {
    record.bufferOffset = chunk.U32(4);
    record.usage = chunk.U32(12);
    record.flags = chunk.U32(16);
    record.lodMismatch = false;
}

bool ReadIndices(IZelStream* stream, std::uint32_t count, std::vector<std::uint32_t>& indices) {
    if (ReadU32Array(stream, count, indices))
        return true;
    LogTyped(LOG_ENGINE_INIT, "IOIndexBufferBin::Read: %u indices run past the end of %s", count,
             stream->GetName().c_str());
    return false;
}

}  // namespace

bool Read(IndexBufferRecord& record, IZelStream* stream) {
    ChunkRecord chunk;
    if (!ReadMainHeader(chunk, stream))
        return false;
    chunk.ReadRecord(stream, ChunkRecordSize::kIndexBuffer, false, ChunkSite{});
    TakeRecord(chunk, record);
    return ReadIndices(stream, chunk.U32(0), record.indices);
}

bool Read(IndexBufferRecord& record, IZelStream* stream, IZelStream* companion) {
    ChunkRecord main;
    if (!ReadMainHeader(main, stream))
        return false;
    ChunkRecord lod;
    lod.ReadHeader(companion);
    const bool withLod = lod.GetTag() == ID_INDEXBUFFER;
    if (!withLod)
        ReportChunkAssert(ZEL_CHUNK_SITE("Zel::IOIndexBufferBin::Read"),
                          "IOIndexBufferBin::Read读取到错误的Lod的Tag");
    main.ReadRecord(stream, ChunkRecordSize::kIndexBuffer, false, ChunkSite{});
    TakeRecord(main, record);
    const std::uint32_t mainCount = main.U32(0);
    if (!ReadIndices(stream, mainCount, record.indices))
        return false;
    if (!withLod)
        return true;
    lod.ReadRecord(companion, ChunkRecordSize::kIndexBuffer, false, ChunkSite{});
    const std::uint32_t lodCount = lod.U32(0);
    const std::uint32_t baseCount = lod.U32(4);
    std::vector<std::uint32_t> lodIndices;
    if (!ReadIndices(companion, lodCount, lodIndices))
        return false;
    if (mainCount != baseCount) {
        const std::size_t clear = std::min<std::uint64_t>(lod.U32(8), std::uint64_t(lodCount) * 4);
        if (clear)
            std::memset(lodIndices.data(), 0, clear);
        ReportChunkAssert(ZEL_CHUNK_SITE("Zel::IOIndexBufferBin::Read"),
                          "发现LOD文件的Index数据和原始文件不匹配");
        record.lodMismatch = true;
    }
    record.indices.insert(record.indices.end(), lodIndices.begin(), lodIndices.end());
    return true;
}

bool Apply(IndexData& data, IndexBufferRecord& record, bool makeHardwareBuffer) {
    data.TakeIndices(record.indices);
    data.SetLeadingWord(data.GetIndexCount());
    data.SetBufferOffset(record.bufferOffset);
    if (record.lodMismatch) {
        if (SceneManager* scene = Globals::Find(&Globals::GetSceneManager))
            scene->SetLodMismatch(1);
    }
    if (!makeHardwareBuffer)
        return true;
    return data.CreateBuffer(DeviceUses32BitIndices() ? IS_32BIT : IS_16BIT,
                             BU_STATIC | BU_WRITE_ONLY);
}

}  // namespace IOIndexBufferBin
}  // namespace Zel
