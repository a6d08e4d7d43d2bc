#include "Entity/Geometry/AnimationTrack.h"

#include <cstring>

#include "Core/Globals.h"
#include "Entity/Geometry/MeshSerializer.h"
#include "Math/Matrix4.h"
#include "Entity/Geometry/TransformMath.h"

namespace Zel {

namespace {

template <class Key>
void Clear(AnimationTrack::Channel<Key>& channel) {
    channel = AnimationTrack::Channel<Key>();
}

}  // namespace

AnimationTrack::AnimationTrack(CResourceManager* manager, std::string_view name,
                               std::string_view group, std::uint32_t handle)
    : Animation(manager, name, group, handle) {}

AnimationTrack::~AnimationTrack() = default;

std::uint32_t AnimationTrack::GetSize() {
    const std::uint64_t size = kBaseSize + 20ull * (position_.keys.size() + scale_.keys.size()) +
                               24ull * rotation_.keys.size();
    return size > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<std::uint32_t>(size);
}

bool AnimationTrack::LoadImpl() {
    MeshSerializer* serializer = Globals::Find(&Globals::GetMeshSerializer);
    return serializer && serializer->LoadAnimationTrack(*this, GetLoadPath());
}

void AnimationTrack::UnloadImpl() {
    frameInterval_ = kDefaultFrameInterval;
    length_ = 0.0f;
    frameCount_ = 0;
    ClearKeys();
}

void AnimationTrack::ClearKeys() {
    Clear(position_);
    Clear(rotation_);
    Clear(scale_);
}

void AnimationTrack::TransformKeys(const float* matrix) {
    float inverse[16];
    std::memcpy(inverse, matrix, sizeof inverse);
    Matrix4::Inverse(inverse);
    float scale[3], q[4], t[3];
    Matrix4::Decompose(inverse, scale, q, t);
    for (VectorKey& key : position_.keys) {
        const float scaled[3] = {key.x * scale[0], key.y * scale[1], key.z * scale[2]};
        float turned[3];
        RotateByQuaternion(q, scaled, turned);
        key.x = turned[0] + t[0];
        key.y = turned[1] + t[1];
        key.z = turned[2] + t[2];
    }
    for (RotationKey& key : rotation_.keys) {
        const float r[4] = {key.x, key.y, key.z, key.w};
        float out[4];
        MultiplyQuaternions(q, r, out);
        key.x = out[0];
        key.y = out[1];
        key.z = out[2];
        key.w = out[3];
    }
}

}  // namespace Zel
