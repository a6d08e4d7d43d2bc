#include "Entity/Character/ActionResource.h"

#include <cmath>

#include "Core/Globals.h"
#include "Core/LogDispatch.h"
#include "Entity/Character/ActionManager.h"
#include "Entity/Character/Bone.h"
#include "Entity/Character/CDecompress.h"
#include "Entity/Character/Skeleton.h"
#include "Entity/Character/SkeletonManager.h"
#include "Entity/Geometry/AnimationTrack.h"
#include "Entity/Geometry/IOActionBin.h"
#include "Entity/Geometry/MeshSerializer.h"

namespace Zel {

namespace {

constexpr std::uint32_t kResourceBaseSize = 144;

}  // namespace

ActionResource::ActionResource(CResourceManager* manager, std::string_view name,
                               std::string_view group, std::uint32_t handle)
    : CResource(manager, name, group, handle) {}

ActionResource::~ActionResource() {
    UnloadImpl();
}

std::uint32_t ActionResource::GetSize() {
    std::uint64_t size = kResourceBaseSize;
    for (const std::unique_ptr<AnimationTrack>& track : tracks_) size += track->GetSize();
    return size > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<std::uint32_t>(size);
}

bool ActionResource::LoadImpl() {
    const int kind = GetActionFileKind(GetLoadPath());
    if (kind == 1)
        return IOActionBin::ReadAction(*this, GetLoadPath());
    if (kind == 2) {
        // ASE scenes are built against the bound skeleton, which the manager holds.
        MeshSerializer* serializer = Globals::Find(&Globals::GetMeshSerializer);
        return serializer && skeleton_ &&
               serializer->LoadActionFromAse(*this, skeleton_->GetName(), GetLoadPath());
    }
    ActionManager* manager = dynamic_cast<ActionManager*>(GetManager());
    return manager && manager->ReadActionFile(*this, GetLoadPath());
}

void ActionResource::UnloadImpl() {
    boneIds_.clear();
    tracks_.clear();
    length_ = 0.0f;
    BindSkeleton(nullptr);
    decoder_.reset();
}

void ActionResource::BindSkeleton(Skeleton* skeleton) {
    if (skeleton_ == skeleton)
        return;
    if (skeleton_) {
        SkeletonManager* skeletons = Globals::Find(&Globals::GetSkeletonManager);
        if (skeletons)
            skeletons->ReleaseShared(skeleton_);
    }
    skeleton_ = skeleton;
}

void ActionResource::ReplaceSkeleton(std::string_view name) {
    if (SkeletonManager* skeletons = Globals::Find(&Globals::GetSkeletonManager))
        skeletons->ReplaceShared(skeleton_, name);
}

bool ActionResource::ReadCompressed(const std::uint8_t* data, std::size_t size) {
    if (decoder_)
        return false;
    if (!skeleton_) {
        LogError("ActionResource %s: no skeleton to read the compressed action against",
                 GetName().c_str());
        return false;
    }
    auto decoder = std::make_unique<CDecompress>();
    decoder->SetBuffer(data, size);
    float length = 0.0f;
    std::uint32_t count = 0;
    std::vector<std::int32_t> bones;
    if (decoder->ReadHeader(skeleton_->GetBoneCount(), length, count, bones) != CodecFault::None)
        return false;
    if (!(length >= 0.0f) || std::isinf(length)) {
        LogError("ActionResource %s: refused for its length %f", GetName().c_str(),
                 static_cast<double>(length));
        return false;
    }
    std::vector<std::unique_ptr<AnimationTrack>> tracks;
    std::vector<std::int32_t> ids;
    for (std::uint32_t i = 0; i < count && i < bones.size(); ++i) {
        const TrackDescriptor* descriptor = decoder->FindTrackDescriptor(i);
        if (!descriptor)
            continue;
        auto track = std::make_unique<AnimationTrack>(nullptr, "", "", 0);
        track->SetCompressedSource(decoder.get(), i, *descriptor);
        if (!track->HasValidTiming()) {
            LogError("ActionResource %s: track %u refused for its frame interval %f",
                     GetName().c_str(), i, static_cast<double>(descriptor->frameInterval));
            continue;
        }
        if (!descriptor->AnimatesPosition()) {
            float position[3];
            descriptor->ConstantPositionFor(
                skeleton_->GetBone(static_cast<std::uint32_t>(bones[i])), position);
            track->SetBaseTransform(position, descriptor->constantRotation, descriptor->scale);
        }
        tracks.push_back(std::move(track));
        ids.push_back(bones[i]);
    }
    decoder_ = std::move(decoder);
    length_ = length;
    for (std::size_t i = 0; i < tracks.size(); ++i) AddTrack(std::move(tracks[i]), ids[i]);
    return true;
}

void ActionResource::AddTrack(std::unique_ptr<AnimationTrack> track, std::int32_t boneId) {
    if (!track)
        return;
    tracks_.push_back(std::move(track));
    boneIds_.push_back(boneId);
}

const char* ActionResource::GetBoneName(std::uint32_t n) const {
    if (!skeleton_) {
        LogTyped(LOG_ENGINE_INIT, "const char* ActionResource::GetBoneName(int n) m_pSkeleton为空");
        return nullptr;
    }
    const std::int32_t id = GetBoneId(n);
    const Bone* bone = id < 0 ? nullptr : skeleton_->GetBone(static_cast<std::uint32_t>(id));
    if (!bone) {
        LogTyped(LOG_ENGINE_INIT,
                 "\tconst char* ActionResource::GetBoneName(int n) "
                 "骨骼id超出范围：n=%d,m_vBoneIDs[n] = %d",
                 static_cast<int>(n), static_cast<int>(id));
        return nullptr;
    }
    return bone->GetName();
}

}  // namespace Zel
