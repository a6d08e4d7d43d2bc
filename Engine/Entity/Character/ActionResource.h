// One action file held once in memory: one AnimationTrack per animated bone, the bone index of
// each track in the skeleton the file was written for, the action's length, and the decoder of a
// compressed file. Actions (and every channel or model playing one) sample its tracks through
// states of their own, so the resource never changes while it plays. Managed by ActionManager
// under the type name "ActionResource".
//
// Threads: read on the loading thread inside a task; sampled on the host thread; the task
// lock-step keeps the two apart for one resource.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "Core/CResource.h"

namespace Zel {

class AnimationTrack;
class CDecompress;
class Skeleton;

class ActionResource : public CResource {
public:
    ActionResource(CResourceManager* manager, std::string_view name, std::string_view group,
                   std::uint32_t handle);
    ~ActionResource() override;
    ZEL_CLASS_ID(ActionResource)

    // 144 plus the size of every track.
    std::uint32_t GetSize() override;
    // Reads a plain ".at6" file itself (IOActionBin::ReadAction), an ASE scene through
    // MeshSerializer::LoadActionFromAse against the bound skeleton, any other load path through
    // the action manager's reader for its extension; the skeleton
    // must be bound first (its bones give the constants of tracks that do not move).
    bool LoadImpl() override;
    // Tracks, bone indices, length, skeleton and decoder go.
    void UnloadImpl() override;

    // Takes over one reference to the skeleton (released through the skeleton manager on
    // unload); the reference held before is given back.
    void BindSkeleton(Skeleton* skeleton);
    Skeleton* GetSkeleton() const { return skeleton_; }
    // Gives back the skeleton held and acquires the one of the name (none for an empty name or
    // one the skeleton manager does not hold).
    void ReplaceSkeleton(std::string_view name);

    // Builds the tracks of a compressed action file (size bytes at data) against the bound
    // skeleton: the header's length, one track per header track. A track with a bad interval or
    // length is refused (logged; it drives no bone). Answers false, holding nothing, when the
    // file is refused, when there is no skeleton, or when a decoder is already present (the
    // resource is then unchanged).
    bool ReadCompressed(const std::uint8_t* data, std::size_t size);

    float GetLength() const { return length_; }
    std::uint32_t GetTrackCount() const { return static_cast<std::uint32_t>(tracks_.size()); }
    AnimationTrack* GetTrack(std::uint32_t i) const {
        return i < tracks_.size() ? tracks_[i].get() : nullptr;
    }
    // The skeleton bone index of track i, -1 out of range.
    std::int32_t GetBoneId(std::uint32_t i) const { return i < boneIds_.size() ? boneIds_[i] : -1; }
    // The name of the bone of track n in the skeleton; null (logged) without a skeleton or when
    // the skeleton has no such bone.
    const char* GetBoneName(std::uint32_t n) const;

    // For readers of other formats: appends a track driving the bone of the index.
    void AddTrack(std::unique_ptr<AnimationTrack> track, std::int32_t boneId);
    void SetLength(float seconds) { length_ = seconds; }

private:
    std::vector<std::unique_ptr<AnimationTrack>> tracks_;
    std::vector<std::int32_t> boneIds_;
    float length_ = 0.0f;
    Skeleton* skeleton_ = nullptr;
    std::unique_ptr<CDecompress> decoder_;
};

}  // namespace Zel
