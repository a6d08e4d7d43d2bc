#include "Entity/Geometry/IOSkinBin.h"

#include <algorithm>
#include <cstring>
#include <typeinfo>
#include <vector>

#include "Core/ChunkStream.h"
#include "Core/DebugHelperImpl.h"
#include "Core/Factory.h"
#include "Core/Globals.h"
#include "Core/IZelStream.h"
#include "Core/LogDispatch.h"
#include "Entity/Character/Action.h"
#include "Entity/Character/Bone.h"
#include "Entity/Character/Skeleton.h"
#include "Entity/Character/SkeletonManager.h"
#include "Entity/Geometry/ChunkRecord.h"
#include "Entity/Geometry/ChunkTags.h"
#include "Entity/Geometry/GeometrySkin.h"
#include "Entity/Geometry/IOActionBin.h"
#include "Entity/Geometry/IOGeometryBin.h"
#include "Entity/Geometry/IOMeshBin.h"
#include "Entity/Geometry/ReaderReports.h"
#include "Entity/Geometry/Skin.h"
#include "Math/BoundCapsule.h"
#include "Math/BoundSphere.h"

namespace Zel {

namespace {

constexpr std::uint32_t kSmallPaletteSlots = 29;
// The smallest chunks that can follow: a bone (header, record, empty string) and an action
// (header, record, two empty strings).
constexpr std::uint64_t kBoneChunkMin = 12 + ChunkRecordSize::kBone + 12;
constexpr std::uint64_t kActionChunkMin = 12 + ChunkRecordSize::kAction + 24;

void ReleaseAction(Action* action) {
    if (Factory<Action>* factory = Globals::Find(&Globals::GetActionFactory))
        factory->Release(action);
}

}  // namespace

namespace IOGeometrySkinBin {

bool Read(GeometrySkin& geometry, IZelStream* stream, const std::string& directory) {
    const ChunkSite site = ZEL_CHUNK_SITE("Zel::IOGeometrySkinBin::Read");
    ChunkRecord chunk;
    if (!chunk.Read(stream, ID_GEOMETRYSKIN, ChunkRecordSize::kGeometrySkin, site,
                    "IOGeometrySkinBin::Read遇到未知的Tag"))
        return false;
    if (typeid(geometry) == typeid(GeometrySkin))
        geometry.SetResourceWord(chunk.GetResourceWord());
    const bool withSkeleton = chunk.U32(0) != 0;
    const std::uint32_t actionCount = chunk.U32(4);
    if (!IOGeometryBin::Read(geometry, stream, directory)) {
        ReportReaderError("IOGeometrySkinBin::Read读取基类信息时出错！");
        return false;
    }
    if (withSkeleton) {
        if (geometry.GetSkeleton())
            ReportChunkAssert(site, "Exp Failed!");
        SkeletonManager* skeletons = Globals::Find(&Globals::GetSkeletonManager);
        Skeleton* skeleton =
            skeletons ? skeletons->GetOrLoadFromStream(geometry.GetName(), stream) : nullptr;
        if (!skeleton) {
            ReportReaderError("IOGeometrySkinBin::Read读取骨架信息时出错！");
            return false;
        }
        geometry.SetSkeleton(skeleton);
    }
    if (!CountFits(stream, actionCount, kActionChunkMin)) {
        LogTyped(LOG_ENGINE_INIT, "IOGeometrySkinBin::Read: %u actions run past the end of %s",
                 actionCount, stream->GetName().c_str());
        return false;
    }
    Factory<Action>* factory = Globals::Find(&Globals::GetActionFactory);
    const std::string skeletonName =
        geometry.GetSkeleton() ? geometry.GetSkeleton()->GetName() : std::string();
    for (std::uint32_t i = 0; i < actionCount; ++i) {
        Action* action = factory ? factory->Acquire() : nullptr;
        if (!action) {
            LogError("IOGeometrySkinBin::Read: no action can be taken from the action factory");
            return false;
        }
        std::string name, file;
        std::uint32_t word = 0;
        if (!IOActionBin::Read(*action, directory + "/", name, file, skeletonName, stream, word)) {
            ReleaseAction(action);
            return false;
        }
        geometry.AddAction(action, directory + "/" + file);
    }
    return true;
}

}  // namespace IOGeometrySkinBin

namespace IOSkinBin {

bool Read(Skin& skin, IZelStream* stream) {
    const ChunkSite site = ZEL_CHUNK_SITE("Zel::IOSkinBin::Read");
    ChunkRecord chunk;
    if (!chunk.ReadHeader(stream, ID_SKIN, site, "IOSkinBin::Read读取到错误的Tag"))
        return false;
    std::uint32_t count = 0;
    ReadU32(stream, count);
    const bool large = count > kSmallPaletteSlots;
    const std::uint32_t size = large ? ChunkRecordSize::kSkinLarge : ChunkRecordSize::kSkinSmall;
    if (chunk.GetSizeWord() != size)
        ReportChunkAssert(site, "Exp Failed!");
    // The rest of the record: the palette slots the count selects and two reserved words.
    chunk.ReadRecord(stream, size - 4, false, site);
    if (count > Skin::kMaxPaletteBones) {
        LogTyped(LOG_ENGINE_INIT, "IOSkinBin::Read: palette of %u bones in %s (at most %u)", count,
                 stream->GetName().c_str(), Skin::kMaxPaletteBones);
        return false;
    }
    std::array<std::uint32_t, Skin::kMaxPaletteBones> palette{};
    const std::uint32_t slots = large ? Skin::kMaxPaletteBones : kSmallPaletteSlots;
    for (std::uint32_t k = 0; k < slots; ++k) palette[k] = chunk.U32(4 * k);
    skin.SetPalette(count, palette);
    if (!IOMeshBin::Read(skin, stream))
        return false;
    if (!skin.GetBlendRecords().empty()) {
        ReportChunkAssert(site, "Exp Failed!");
        LogTyped(LOG_ENGINE_INIT, "IOSkinBin::Read: a second blend record block for %s in %s",
                 skin.GetName().c_str(), stream->GetName().c_str());
        return false;
    }
    const std::uint32_t vertices = skin.GetVertexCount();
    std::vector<std::uint32_t> words;
    if (!CountFits(stream, vertices, Skin::kBlendRecordBytes) ||
        !ReadU32Array(stream, vertices * (Skin::kBlendRecordBytes / 4), words)) {
        LogTyped(LOG_ENGINE_INIT, "IOSkinBin::Read: %u blend records run past the end of %s",
                 vertices, stream->GetName().c_str());
        return false;
    }
    std::vector<SkinBlendRecord>& blend = skin.GetBlendRecords();
    blend.resize(vertices);
    for (std::uint32_t v = 0; v < vertices; ++v) {
        const std::uint32_t* w = &words[9 * v];
        blend[v].count = std::clamp(static_cast<std::int32_t>(w[0]), 0, 4);
        for (std::uint32_t k = 0; k < 4; ++k) {
            blend[v].bones[k] = w[1 + k];
            std::memcpy(&blend[v].weights[k], &w[5 + k], 4);
        }
    }
    skin.CreateBlendComponents();
    skin.BuildBoneBatches();
    return true;
}

}  // namespace IOSkinBin

namespace IOSkeletonBin {

bool Read(Skeleton& skeleton, IZelStream* stream) {
    const ChunkSite site = ZEL_CHUNK_SITE("Zel::IOSkeletonBin::Read");
    ChunkRecord chunk;
    if (!chunk.Read(stream, ID_SKELETON, ChunkRecordSize::kSkeleton, site,
                    "IOSkeletonBin::Read遇到未知的Tag"))
        return false;
    const std::uint32_t boneCount = chunk.U32(4);
    if (!CountFits(stream, boneCount, kBoneChunkMin)) {
        LogTyped(LOG_ENGINE_INIT, "IOSkeletonBin::Read: %u bones run past the end of %s", boneCount,
                 stream->GetName().c_str());
        return false;
    }
    skeleton.ReleaseBones();
    skeleton.SetRoleBones(chunk.I32(12), chunk.I32(16));
    skeleton.SetFootBone(0, chunk.I32(20));
    skeleton.SetFootBone(1, chunk.I32(24));
    std::vector<std::int32_t> ids(boneCount), parentIds(boneCount);
    for (std::uint32_t i = 0; i < boneCount; ++i) {
        Bone* bone = skeleton.AppendBone();
        if (!bone || !IOBoneBin::Read(*bone, ids[i], parentIds[i], stream))
            return false;
    }
    const std::vector<Bone*>& bones = skeleton.GetBones();
    for (std::uint32_t i = 0; i < boneCount; ++i) {
        if (parentIds[i] < 0)
            continue;
        const auto parent = std::find(ids.begin(), ids.end(), parentIds[i]);
        if (parent == ids.end())
            continue;
        const auto p = static_cast<std::int32_t>(parent - ids.begin());
        bones[i]->SetParent(bones[p], p);
        bones[p]->AddChild(bones[i], static_cast<std::int32_t>(i));
    }
    skeleton.SetRootIndex(chunk.I32(0));
    return skeleton.FinishTree() == SkeletonFault::None;
}

}  // namespace IOSkeletonBin

namespace IOBoneBin {

bool Read(Bone& bone, std::int32_t& id, std::int32_t& parentId, IZelStream* stream) {
    const ChunkSite site = ZEL_CHUNK_SITE("Zel::IOBoneBin::Read");
    ChunkRecord chunk;
    if (!chunk.Read(stream, ID_BONE, ChunkRecordSize::kBone, site, "IOBoneBin::Read遇到未知的Tag"))
        return false;
    id = chunk.I32(0);
    parentId = chunk.I32(4);
    const std::uint32_t links = chunk.U32(8);
    for (std::uint32_t k = 0; k < 3; ++k) {
        bone.GetLocalPosition()[k] = chunk.F32(16 + 4 * k);
        bone.GetModelPosition()[k] = chunk.F32(44 + 4 * k);
    }
    for (std::uint32_t k = 0; k < 4; ++k) bone.GetLocalRotation()[k] = chunk.F32(28 + 4 * k);
    chunk.ColumnMajorMatrix(56, bone.GetInverseBindMatrix());
    chunk.ColumnMajorMatrix(120, bone.GetBindMatrix());
    chunk.ColumnMajorMatrix(184, bone.GetParentRelativeMatrix());
    std::string name;
    if (!ReadShortString(stream, name)) {
        ReportChunkAssert(site, "IOGeometrySkinBin::Read读取字符串错误");
        return false;
    }
    if (name.size() > Bone::kMaxNameLength)
        ReportChunkAssert(site, "Exp Failed!");
    bone.SetName(name);
    std::vector<std::uint32_t> linkWords;
    if (!ReadU32Array(stream, links, linkWords)) {
        LogTyped(LOG_ENGINE_INIT,
                 "IOBoneBin::Read: %u link words of bone %s run past the end of %s", links,
                 bone.GetName(), stream->GetName().c_str());
        return false;
    }
    return true;
}

}  // namespace IOBoneBin

namespace IOBoundBin {

namespace {

bool ReadShape(IZelStream* stream, std::uint32_t tag, std::uint32_t size, const char* report,
               ChunkRecord& chunk) {
    return chunk.Read(stream, tag, size, ChunkSite{__FILE_NAME__, __LINE__, report}, report);
}

}  // namespace

bool ReadSphere(BoundSphere& sphere, IZelStream* stream) {
    ChunkRecord chunk;
    if (!ReadShape(stream, ID_BOUNDSPHERE, ChunkRecordSize::kBoundSphere,
                   "IOBoundSphereBin::Read读取到错误的Tag", chunk))
        return false;
    sphere.SetRadius(chunk.F32(0));
    return true;
}

bool ReadCapsule(BoundCapsule& capsule, IZelStream* stream) {
    ChunkRecord chunk;
    if (!ReadShape(stream, ID_BOUNDCAPSULE, ChunkRecordSize::kBoundCapsule,
                   "IOBoundCapsuleBin::Read读取到错误的Tag", chunk))
        return false;
    capsule.SetRadius(chunk.F32(0));
    capsule.SetHeight(chunk.F32(4));
    return true;
}

bool Read(BoundBase*& slot, IZelStream* stream) {
    slot = nullptr;
    ChunkRecord chunk;
    if (!ReadShape(stream, ID_BOUND, ChunkRecordSize::kBound, "IOBoundBin::Read读取到错误的Tag",
                   chunk))
        return false;
    float local[16];
    for (std::uint32_t k = 0; k < 16; ++k) local[k] = chunk.F32(4 * k);
    BoundBase* shape = nullptr;
    bool ok = false;
    switch (chunk.U32(64)) {
        case 0:
            if (BoundSphere* sphere = AcquireBoundSphere()) {
                shape = sphere;
                ok = ReadSphere(*sphere, stream);
            }
            break;
        case 1:
            if (BoundCapsule* capsule = AcquireBoundCapsule()) {
                shape = capsule;
                ok = ReadCapsule(*capsule, stream);
            }
            break;
        default:
            LogTyped(LOG_ENGINE_INIT, "IOBoundBin::Read: unknown shape kind %u in %s",
                     chunk.U32(64), stream->GetName().c_str());
            return false;
    }
    std::string name;
    if (!shape || !ok || !ReadShortString(stream, name)) {
        if (shape)
            shape->Recycle();
        return false;
    }
    shape->SetIdentifier(chunk.U32(68));
    shape->SetLocalTransform(local);
    shape->SetName(name);
    slot = shape;
    return true;
}

}  // namespace IOBoundBin
}  // namespace Zel
