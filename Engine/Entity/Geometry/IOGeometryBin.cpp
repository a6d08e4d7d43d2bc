#include "Entity/Geometry/IOGeometryBin.h"

#include <cstring>
#include <typeinfo>

#include "Core/IZelStream.h"
#include "Core/LogDispatch.h"
#include "Core/PathUtils.h"
#include "Entity/Geometry/ChunkRecord.h"
#include "Core/ChunkStream.h"
#include "Entity/Geometry/ChunkTags.h"
#include "Entity/Geometry/Geometry.h"
#include "Entity/Geometry/ClothMeshData.h"
#include "Entity/Geometry/DeformedMesh.h"
#include "Entity/Geometry/IOActionBin.h"
#include "Entity/Geometry/IOClothBin.h"
#include "Entity/Geometry/IODeformedBin.h"
#include "Entity/Geometry/IOMeshBin.h"
#include "Entity/Geometry/IOSkinBin.h"
#include "Entity/Geometry/AnimationManager.h"
#include "Entity/Geometry/AnimationTrack.h"
#include "Entity/Geometry/Skin.h"
#include "Core/Globals.h"
#include <cstdio>
#include "Entity/Geometry/Mesh.h"

namespace Zel {
namespace IOGeometryBin {
namespace {

constexpr std::uint32_t kMatrixTable = 68;

// count vectors of N floats, read in one piece.
template <std::size_t N>
bool ReadFloatList(IZelStream* stream, std::uint32_t count,
                   std::vector<std::array<float, N>>& list) {
    static_assert(sizeof(std::array<float, N>) == 4 * N, "vectors are packed floats");
    std::vector<std::uint32_t> words;
    if (!CountFits(stream, count, 4 * N) || !ReadU32Array(stream, count * N, words))
        return false;
    list.resize(count);
    if (count)
        std::memcpy(list.data(), words.data(), words.size() * 4);
    return true;
}

// The smallest part chunk: a mesh chunk's header, record and empty string record.
constexpr std::uint64_t kPartChunkMin = 12 + ChunkRecordSize::kMesh + 12;

void ApplyRecord(Geometry& geometry, GeometryChunkRecord& record) {
    geometry.GetBounds().SetMinMax(record.boxMin.data(), record.boxMax.data());
    std::copy(record.headerWords.begin(), record.headerWords.end(),
              geometry.GetHeaderWords().begin());
    std::array<Matrix4, Geometry::kMatrixSlots> matrices;
    for (std::uint32_t i = 0; i < Geometry::kMatrixSlots; ++i)
        std::copy(record.matrices[i].begin(), record.matrices[i].end(), matrices[i].m);
    geometry.SetMatrixTable(matrices, record.matrixCount);
    const auto append = [](auto& to, auto& from) { to.insert(to.end(), from.begin(), from.end()); };
    append(geometry.GetExtraWords(), record.extraWords);
    append(geometry.GetScales(), record.scales);
    append(geometry.GetTranslations(), record.translations);
    append(geometry.GetRotations(), record.rotations);
}

// The geometry's animation tracks, named after its load path; a track of that name that the
// animation manager holds already is refilled and not added again.
bool ReadAnimations(Geometry& geometry, std::uint32_t count, IZelStream* stream) {
    constexpr std::uint64_t kTrackChunkMin =
        12 + ChunkRecordSize::kAnimation + 12 + ChunkRecordSize::kAnimationKeys;
    if (!CountFits(stream, count, kTrackChunkMin)) {
        LogTyped(LOG_ENGINE_INIT, "IOGeometryBin::Read: %u animation tracks run past the end of %s",
                 count, stream->GetName().c_str());
        return false;
    }
    AnimationManager* animations = Globals::Find(&Globals::GetAnimationManager);
    for (std::uint32_t j = 0; j < count; ++j) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".animation%u", j);
        const std::string name = geometry.GetLoadPath() + suffix;
        AnimationTrack* track = nullptr;
        bool added = false;
        if (animations) {
            track = dynamic_cast<AnimationTrack*>(animations->GetByName(name));
            if (track) {
                track->UnloadImpl();
            } else {
                track = dynamic_cast<AnimationTrack*>(animations->Create(name));
                added = track != nullptr;
            }
        }
        std::unique_ptr<AnimationTrack> scratch;
        if (!track) {
            scratch = std::make_unique<AnimationTrack>(nullptr, name, "", 0);
            track = scratch.get();
        }
        if (added)
            geometry.AddAnimation(SharedPtr<CResource>(track));
        std::uint32_t bone = 0;
        if (!IOAnimationBin::Read(*track, bone, stream))
            return false;
    }
    return true;
}

}  // namespace

bool Read(Geometry& geometry, IZelStream* stream, const std::string& directory) {
    GeometryChunkRecord record;
    if (!ReadRecord(record, stream))
        return false;
    if (typeid(geometry) == typeid(Geometry))
        geometry.SetResourceWord(record.resourceWord);
    ApplyRecord(geometry, record);
    const char* name = stream->GetName().c_str();
    if (!CountFits(stream, record.partCount, kPartChunkMin)) {
        LogTyped(LOG_ENGINE_INIT, "IOGeometryBin::Read: %u parts run past the end of %s",
                 record.partCount, name);
        return false;
    }
    for (std::uint32_t i = 0; i < record.partCount; ++i) {
        Mesh* part = geometry.AddMesh();
        const std::uint32_t type = part->GetMeshType();
        bool ok = false;
        if (type == 0) {
            ok = IOMeshBin::Read(*part, stream);
        } else if (type == 1) {
            ok = IOSkinBin::Read(static_cast<Skin&>(*part), stream);
        } else if (type == 2) {
            ok = IODeformedMeshBin::Read(static_cast<DeformedMesh&>(*part), stream);
        } else if (type == 3) {
            ok = IOClothMeshDataBin::Read(static_cast<ClothMeshData&>(*part), stream);
        } else {
            LogTyped(LOG_ENGINE_INIT,
                     "IOGeometryBin::Read: part %u of %s has mesh type %u, which cannot be read "
                     "yet",
                     i, name, type);
        }
        if (!ok)
            return false;
        // Cloth mesh data carries a sort key of its own.
        if (type != 3)
            part->SetSortKey(i);
    }
    if (!ReadAnimations(geometry, record.animationCount, stream))
        return false;
    return ReadMaterialFiles(record.materialFileCount, stream, directory,
                             geometry.GetMaterialFiles());
}

bool ReadRecord(GeometryChunkRecord& geometry, IZelStream* stream) {
    const ChunkSite site = ZEL_CHUNK_SITE("Zel::IOGeometryBin::Read");
    ChunkRecord chunk;
    if (!chunk.ReadHeader(stream, ID_GEOMETRY, site, "IOGeometryBin::Read时遇到未知的Tag"))
        return false;
    geometry.resourceWord = chunk.GetResourceWord();
    chunk.ReadRecord(stream, ChunkRecordSize::kGeometry, false, site);
    geometry.partCount = chunk.U32(0);
    for (std::uint32_t i = 0; i < 3; ++i) {
        geometry.boxMin[i] = chunk.F32(4 + 4 * i);
        geometry.boxMax[i] = chunk.F32(16 + 4 * i);
    }
    for (std::uint32_t i = 0; i < 10; ++i) geometry.headerWords[i] = chunk.U32(28 + 4 * i);
    for (std::uint32_t i = 0; i < 16; ++i)
        chunk.ColumnMajorMatrix(kMatrixTable + 64 * i, geometry.matrices[i].data());
    geometry.matrixCount = chunk.U32(1092);
    const std::uint32_t extraWordCount = chunk.U32(1096);
    const std::uint32_t scaleCount = chunk.U32(1100);
    const std::uint32_t translationCount = chunk.U32(1104);
    const std::uint32_t rotationCount = chunk.U32(1108);
    geometry.animationCount = chunk.U32(1112);
    geometry.materialFileCount = chunk.U32(1116);
    const std::uint64_t listBytes = 4ull * extraWordCount + 12ull * scaleCount +
                                    12ull * translationCount + 16ull * rotationCount;
    if (!CountFits(stream, listBytes, 1) ||
        !ReadU32Array(stream, extraWordCount, geometry.extraWords) ||
        !ReadFloatList(stream, scaleCount, geometry.scales) ||
        !ReadFloatList(stream, translationCount, geometry.translations) ||
        !ReadFloatList(stream, rotationCount, geometry.rotations)) {
        LogTyped(LOG_ENGINE_INIT,
                 "IOGeometryBin::Read: lists of %u words, %u scales, %u translations and %u "
                 "rotations run past the end of %s",
                 extraWordCount, scaleCount, translationCount, rotationCount,
                 stream->GetName().c_str());
        return false;
    }
    return true;
}

bool ReadMaterialFiles(std::uint32_t count, IZelStream* stream, const std::string& directory,
                       std::vector<std::string>& materialFiles) {
    for (std::uint32_t i = 0; i < count; ++i) {
        std::string name;
        if (!ReadShortString(stream, name)) {
            ReportChunkAssert(ZEL_CHUNK_SITE("Zel::IOGeometryBin::Read"),
                              "IOGeometryBin::Read时读取材质文件名字符串失败");
            return false;
        }
        materialFiles.push_back(JoinPathWithSlash(directory, name));
    }
    return true;
}

}  // namespace IOGeometryBin
}  // namespace Zel
