#include "Entity/Geometry/AnimationTrack.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Entity/Character/AnimationState.h"
#include "Entity/Character/CDecompress.h"
#include "Entity/Character/CompressedTrackCursor.h"
#include "Math/Quaternion.h"
#include "Entity/Geometry/MeshSerializer.h"
#include "Math/Matrix4.h"
#include "Entity/Geometry/TransformMath.h"

namespace Zel {

namespace {

template <class Key>
void Clear(AnimationTrack::Channel<Key>& channel) {
    channel = AnimationTrack::Channel<Key>();
}

// The fraction of the way from a to b that t lies, within [0, 1]; 0 when the two coincide, so
// that equal key times take the earlier key.
float Fraction(float t, float a, float b) {
    const float span = b - a;
    if (!(span > 0.0f))
        return 0.0f;
    const float u = (t - a) / span;
    return u > 0.0f ? std::min(u, 1.0f) : 0.0f;
}

void Lerp3(float* out, const float* a, const float* b, float u) {
    for (int i = 0; i < 3; ++i) out[i] = (1.0f - u) * a[i] + u * b[i];
}

// The key in force at the frame from the channel's frame table; null when there is none.
template <class Key>
const Key* KeyAt(const AnimationTrack::Channel<Key>& channel, std::uint32_t frame,
                 std::size_t& index) {
    if (frame >= channel.frameKeys.size())
        return nullptr;
    const std::int32_t k = channel.frameKeys[frame];
    if (k < 0 || static_cast<std::size_t>(k) >= channel.keys.size())
        return nullptr;
    index = static_cast<std::size_t>(k);
    return &channel.keys[index];
}

void SamplePositionKeys(const AnimationTrack::Channel<AnimationTrack::VectorKey>& channel,
                        std::uint32_t frame, float t, float* out) {
    std::size_t k = 0;
    const AnimationTrack::VectorKey* key = KeyAt(channel, frame, k);
    if (!key) {
        out[0] = out[1] = out[2] = 0.0f;
        return;
    }
    const float a[3] = {key->x, key->y, key->z};
    if (k + 1 >= channel.keys.size()) {
        std::copy(a, a + 3, out);
        return;
    }
    const AnimationTrack::VectorKey& next = channel.keys[k + 1];
    const float b[3] = {next.x, next.y, next.z};
    Lerp3(out, a, b, Fraction(t, key->time, next.time));
}

void SampleRotationKeys(const AnimationTrack::Channel<AnimationTrack::RotationKey>& channel,
                        std::uint32_t frame, float t, float* out) {
    std::size_t k = 0;
    const AnimationTrack::RotationKey* key = KeyAt(channel, frame, k);
    if (!key) {
        out[0] = out[1] = out[2] = 0.0f;
        out[3] = 1.0f;
        return;
    }
    const float a[4] = {key->x, key->y, key->z, key->w};
    if (k + 1 >= channel.keys.size()) {
        std::copy(a, a + 4, out);
        return;
    }
    const AnimationTrack::RotationKey& next = channel.keys[k + 1];
    const float b[4] = {next.x, next.y, next.z, next.w};
    Quaternion::Slerp(out, a, b, Fraction(t, key->time, next.time));
}

// Decodes one frame of the track with a cursor of its own.
void DecodeAlone(const CDecompress* decoder, std::uint32_t track, std::uint32_t frame,
                 float* position) {
    CompressedTrackCursor cursor(decoder, track);
    if (cursor.MoveTo(frame) == CodecFault::None)
        std::copy(cursor.GetPosition(0), cursor.GetPosition(0) + 3, position);
}

}  // namespace

AnimationTrack::AnimationTrack(CResourceManager* manager, std::string_view name,
                               std::string_view group, std::uint32_t handle)
    : Animation(manager, name, group, handle) {}

AnimationTrack::~AnimationTrack() = default;

std::uint32_t AnimationTrack::GetSize() {
    const std::uint64_t size = kBaseSize + 20ull * (GetPositionKeyCount() + scale_.keys.size()) +
                               24ull * GetRotationKeyCount();
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
    decoder_ = nullptr;
    compressedPositionKeys_ = compressedRotationKeys_ = 0;
}

void AnimationTrack::SetCompressedSource(const CDecompress* decoder, std::uint32_t track,
                                         const TrackDescriptor& descriptor) {
    ClearKeys();
    decoder_ = decoder;
    decoderTrack_ = track;
    frameCount_ = descriptor.frameCount;
    frameInterval_ = descriptor.frameInterval;
    length_ = frameCount_ == 0 ? 0.0f : static_cast<float>(frameCount_ - 1) * frameInterval_;
    compressedPositionKeys_ = descriptor.positionKeyCount;
    compressedRotationKeys_ = descriptor.rotationKeyCount;
    SetBaseTransform(descriptor.constantPosition, descriptor.constantRotation, descriptor.scale);
    const bool constant = !descriptor.AnimatesPosition() && !descriptor.AnimatesRotation();
    flags_ = constant ? (flags_ | kConstant) : (flags_ & ~kConstant);
}

bool AnimationTrack::HasValidTiming() const {
    if (!(length_ >= 0.0f) || std::isinf(length_))
        return false;
    return frameCount_ == 0 || (frameInterval_ > 0.0f && std::isfinite(frameInterval_));
}

void AnimationTrack::FillConstants(AnimationState& state) const {
    if (GetPositionKeyCount() == 0)
        std::copy(GetBasePosition(), GetBasePosition() + 3, state.GetPosition());
    if (GetRotationKeyCount() == 0)
        std::copy(GetBaseRotation(), GetBaseRotation() + 4, state.GetRotation());
}

void AnimationTrack::GetFirstPosition(float* out) const {
    std::copy(GetBasePosition(), GetBasePosition() + 3, out);
    if (GetPositionKeyCount() == 0)
        return;
    if (decoder_) {
        DecodeAlone(decoder_, decoderTrack_, 0, out);
        return;
    }
    const VectorKey& key = position_.keys.front();
    out[0] = key.x, out[1] = key.y, out[2] = key.z;
}

void AnimationTrack::GetLastPosition(float* out) const {
    std::copy(GetBasePosition(), GetBasePosition() + 3, out);
    if (GetPositionKeyCount() == 0)
        return;
    if (decoder_) {
        if (frameCount_ != 0)
            DecodeAlone(decoder_, decoderTrack_, frameCount_ - 1, out);
        return;
    }
    const VectorKey& key = position_.keys.back();
    out[0] = key.x, out[1] = key.y, out[2] = key.z;
}

void AnimationTrack::Evaluate(float& time, AnimationState& state) {
    if (!IsGlobalSwitchOn(kUpdateTrackAnimationsSwitch))
        return;
    if (!decoder_ && state.HasEnded())
        return;
    // A negative or NaN time starts the track.
    if (!(time >= 0.0f))
        time = 0.0f;
    // A state that does not loop ends at the length, where it takes the final pose (the pose
    // would otherwise be stale when play jumps straight to the end).
    bool ending = false;
    if (time >= length_) {
        if (state.IsLooping()) {
            time = 0.0f;
        } else {
            state.SetEnded(true);
            time = length_;
            ending = true;
        }
    }
    state.SetTime(time);
    if (frameCount_ == 0 || !(frameInterval_ > 0.0f))
        return;
    const auto whole =
        static_cast<std::uint64_t>(std::min(static_cast<double>(time) / frameInterval_, 4.0e18));
    const std::uint32_t frame =
        ending ? static_cast<std::uint32_t>(std::min<std::uint64_t>(whole, frameCount_ - 1))
               : static_cast<std::uint32_t>(whole % frameCount_);
    const bool last = frame + 1 >= frameCount_;
    if (decoder_) {
        CompressedTrackCursor& cursor = state.GetCursor();
        if (cursor.GetDecoder() != decoder_ || cursor.GetTrack() != decoderTrack_)
            cursor.Bind(decoder_, decoderTrack_);
        if (cursor.MoveTo(frame) != CodecFault::None)
            return;
        const float frameStart = static_cast<float>(frame) * frameInterval_;
        const float u = Fraction(time, frameStart, frameStart + frameInterval_);
        if (compressedPositionKeys_ != 0) {
            if (last)
                std::copy(cursor.GetPosition(0), cursor.GetPosition(0) + 3, state.GetPosition());
            else
                Lerp3(state.GetPosition(), cursor.GetPosition(0), cursor.GetPosition(1), u);
        }
        if (compressedRotationKeys_ != 0) {
            if (last)
                std::copy(cursor.GetRotation(0), cursor.GetRotation(0) + 4, state.GetRotation());
            else
                Quaternion::Slerp(state.GetRotation(), cursor.GetRotation(0), cursor.GetRotation(1),
                                  u);
        }
        return;
    }
    if (!position_.keys.empty())
        SamplePositionKeys(position_, frame, time, state.GetPosition());
    if (!rotation_.keys.empty())
        SampleRotationKeys(rotation_, frame, time, state.GetRotation());
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
