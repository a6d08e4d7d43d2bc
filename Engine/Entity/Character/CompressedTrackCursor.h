// One player's place in one track of a compressed action file: where the track's bit stream was
// left, the predictor state of each component, the running position, and a two-frame cache of
// decoded frames for sampling between them. Whoever samples a compressed track (a channel, a
// model's main or extra action) owns one cursor for it; the decoder and the file stay shared and
// unchanged.
//
// Threads: the thread that samples with it.
#pragma once

#include <cstdint>
#include <span>

#include "Entity/Character/CDecompress.h"

namespace Zel {

class CompressedTrackCursor {
public:
    // No frame decoded yet.
    static constexpr std::uint32_t kNoFrame = 1000000000;

    CompressedTrackCursor() = default;
    // Bound to track `track` of the decoder (not owned; it must outlive the cursor).
    CompressedTrackCursor(const CDecompress* decoder, std::uint32_t track) { Bind(decoder, track); }

    // Binds the cursor afresh: nothing decoded, nothing cached.
    void Bind(const CDecompress* decoder, std::uint32_t track);
    const CDecompress* GetDecoder() const { return decoder_; }
    std::uint32_t GetTrack() const { return track_; }

    // Brings the cache to frame f: slot 0 holds frame f and slot 1 frame f + 1 (unless f is the
    // last frame). The next frame after the cached one costs one frame decode; any other frame
    // decodes f (from the start of the track when f is not after the stream's last frame) and
    // f + 1. On a refusal nothing is cached.
    CodecFault MoveTo(std::uint32_t f);
    // MoveTo(f) for every cursor; the cursors that play on from frame f - 1 are decoded several
    // at a time, which is quicker than one by one. Answers the first refusal (None when there was
    // none); a refused cursor caches nothing.
    static CodecFault MoveTo(std::span<CompressedTrackCursor> cursors, std::uint32_t f);
    // The cached frame, -1 when none.
    std::int64_t GetCachedFrame() const { return cachedFrame_; }
    // Position (3 floats) and rotation (x, y, z, w) of slot 0 or 1; only the parts the track
    // animates are meaningful; rotations start as (0, 0, 0, 1).
    const float* GetPosition(int slot) const { return positions_[slot & 1]; }
    const float* GetRotation(int slot) const { return rotations_[slot & 1]; }

    // Frames decoded through this cursor since it was bound.
    std::uint64_t GetDecodedFrameCount() const { return decodedFrames_; }
    // The last frame the stream decoded, kNoFrame when none.
    std::uint32_t GetLastFrame() const { return lastFrame_; }

private:
    friend class CDecompress;

    // Whether MoveTo(f) is one frame decoded on from the stream's place.
    bool PlaysOnTo(std::uint32_t f) const;

    struct Component {
        std::int64_t previousValue = 0;
        std::int64_t previousResidual = 0;
        std::uint32_t run = 0;
        // The magnitude bits of the current run's class (16 for class 0).
        std::uint32_t magnitudeBits = 16;
    };

    const CDecompress* decoder_ = nullptr;
    std::uint32_t track_ = 0;
    // Stream state: valid while lastFrame_ is not kNoFrame.
    std::uint32_t lastFrame_ = kNoFrame;
    std::uint64_t bitPosition_ = 0;
    Component components_[CDecompress::kMaxComponents];
    float runningPosition_[3] = {};
    float lastRotation_[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    std::uint64_t decodedFrames_ = 0;
    bool reported_ = false;
    // Two-frame cache.
    std::int64_t cachedFrame_ = -1;
    float positions_[2][3] = {};
    float rotations_[2][4] = {{0.0f, 0.0f, 0.0f, 1.0f}, {0.0f, 0.0f, 0.0f, 1.0f}};
};

}  // namespace Zel
