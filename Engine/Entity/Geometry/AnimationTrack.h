// The keys of one animated transform: position, rotation and scale keys with their times, the
// frame-to-key tables, the key ranges, the length and the frame count. Built from a text scene
// (MeshSerializer::BuildTrackFromAseObject) or by the action readers; AnimationManager creates
// tracks by name, and a track's own load reads the ASE text file of its load path. A track of a
// compressed action file holds no keys: it samples its frames from the shared decoder through the
// cursor of each user's AnimationState. Loading thread for its load, host thread otherwise.
//
// The binary track record of the action readers (tag 7 with its key chunk, tag 8; the plain
// ".at6" record carries the same fields) maps onto a track as follows: value 0 (f32 at 4) is the
// frame interval, value 1 (f32 at 12) the length, the flags word (at 28) the flags (the reader
// then sets kKeepsPosition), the first vector (at 32) the base position, the second and third
// vectors (at 48) the base scale and the x, y, z of the base rotation (w completes the unit
// quaternion), the frame count (at 76) the frame count and the size of each frame table; track
// words 0 to 2 have no field here. In the key chunk, key words 0 to 8 are firstKind, first and
// last of the position, rotation and scale channels in that order; the three counts size the key
// arrays (16-byte VectorKey, 20-byte RotationKey, 16-byte VectorKey) and the per-frame tables
// that follow are the channels' frameKeys.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "Entity/Character/TrackDescriptor.h"
#include "Entity/Geometry/Animation.h"

namespace Zel {

class CDecompress;

class AnimationTrack : public Animation {
public:
    // Flag bits.
    static constexpr std::uint32_t kConstant = 0x1;       // no keys: the base pose holds
    static constexpr std::uint32_t kKeepsPosition = 0x2;  // the sampled position wins on bones
    static constexpr std::uint32_t kKeepsRotation = 0x4;  // a constant track keeps its rotation
    static constexpr float kDefaultFrameInterval = 0.33f;
    // The global switch that lets tracks sample (on by default).
    static constexpr std::uint32_t kUpdateTrackAnimationsSwitch = 29;
    // The memory size of a track without keys.
    static constexpr std::uint32_t kBaseSize = 332;

    // A position or scale key (x, y, z) and a rotation key (quaternion x, y, z, w); times in
    // seconds.
    struct VectorKey {
        float x = 0.0f, y = 0.0f, z = 0.0f, time = 0.0f;
    };
    struct RotationKey {
        float x = 0.0f, y = 0.0f, z = 0.0f, w = 1.0f, time = 0.0f;
    };
    // The keys of one channel: the kind of its first key as the file gave it (0 key, 1 TCB key,
    // 3 sample), the key range (first and last index; -1 with no keys) and, per frame, the index
    // of the key in force (-1 for none).
    template <class Key>
    struct Channel {
        std::vector<Key> keys;
        std::int32_t firstKind = 0;
        std::int32_t first = 0;
        std::int32_t last = -1;
        std::vector<std::int32_t> frameKeys;
    };

    AnimationTrack(CResourceManager* manager, std::string_view name, std::string_view group,
                   std::uint32_t handle);
    ~AnimationTrack() override;
    ZEL_CLASS_ID(AnimationTrack)
    // AnimationManager sets the path a new track loads from.
    using CResource::SetLoadPath;

    // 332 + 20 per position and scale key + 24 per rotation key.
    std::uint32_t GetSize() override;
    // MeshSerializer::LoadAnimationTrack over the load path.
    bool LoadImpl() override;
    // Frame interval 0.33, length 0, frame count 0, keys freed.
    void UnloadImpl() override;
    float GetLength() const override { return length_; }
    std::uint32_t GetPositionKeyCount() const override {
        return decoder_ ? compressedPositionKeys_
                        : static_cast<std::uint32_t>(position_.keys.size());
    }
    std::uint32_t GetRotationKeyCount() const override {
        return decoder_ ? compressedRotationKeys_
                        : static_cast<std::uint32_t>(rotation_.keys.size());
    }
    void FillConstants(AnimationState& state) const override;
    void GetFirstPosition(float* out) const override;
    void GetLastPosition(float* out) const override;
    bool IsConstant() const override { return (flags_ & kConstant) != 0; }
    bool KeepsPosition() const override { return (flags_ & kKeepsPosition) != 0; }
    bool KeepsRotation() const override { return (flags_ & kKeepsRotation) != 0; }
    // Does nothing while switch 29 is off, or for a keyed track whose state has ended. At or past
    // the length a looping state restarts at 0 and any other state ends: it takes the time of
    // the length and the last frame's pose. Keyed tracks interpolate between the keys around the
    // time (equal key times take the earlier key); compressed tracks between the decoded frames
    // around it.
    void Evaluate(float& time, AnimationState& state) override;

    // Makes this a track of the compressed file: track `track` of the decoder (not owned; it
    // outlives the track), with the descriptor's frame count, interval, constants and key counts
    // and the length (frames - 1) x interval. Any keys are freed.
    void SetCompressedSource(const CDecompress* decoder, std::uint32_t track,
                             const TrackDescriptor& descriptor);
    const CDecompress* GetDecoder() const { return decoder_; }
    // Whether the frame interval is a positive number and the length neither negative nor NaN;
    // a track without frames needs no interval.
    bool HasValidTiming() const;
    std::uint32_t GetScaleKeyCount() const {
        return static_cast<std::uint32_t>(scale_.keys.size());
    }

    // Frees every key array and frame table.
    void ClearKeys();
    // Re-expresses every key under the matrix (16 floats, Matrix4 layout): the matrix is inverted
    // (left as it is when singular) and split into scale, rotation q and translation t; a position
    // key p becomes q (scale p) + t, a rotation key r becomes q r.
    void TransformKeys(const float* matrix);

    Channel<VectorKey>& Positions() { return position_; }
    Channel<RotationKey>& Rotations() { return rotation_; }
    Channel<VectorKey>& Scales() { return scale_; }
    const Channel<VectorKey>& Positions() const { return position_; }
    const Channel<RotationKey>& Rotations() const { return rotation_; }
    const Channel<VectorKey>& Scales() const { return scale_; }

    void SetLength(float seconds) { length_ = seconds; }
    float GetFrameInterval() const { return frameInterval_; }
    void SetFrameInterval(float seconds) { frameInterval_ = seconds; }
    std::uint32_t GetFrameCount() const { return frameCount_; }
    void SetFrameCount(std::uint32_t count) { frameCount_ = count; }
    std::uint32_t GetFlags() const { return flags_; }
    void SetFlags(std::uint32_t flags) { flags_ = flags; }

private:
    float frameInterval_ = kDefaultFrameInterval;
    float length_ = 0.0f;
    std::uint32_t frameCount_ = 0;
    Channel<VectorKey> position_;
    Channel<RotationKey> rotation_;
    Channel<VectorKey> scale_;
    std::uint32_t flags_ = 0;
    const CDecompress* decoder_ = nullptr;
    std::uint32_t decoderTrack_ = 0;
    std::uint32_t compressedPositionKeys_ = 0;
    std::uint32_t compressedRotationKeys_ = 0;
};

}  // namespace Zel
