// What the header of a compressed action file says about one track: its frame count, frame
// interval, which parts are animated, and the constant position and rotation that stand for the
// parts that are not. Held by CDecompress, copied out by CDecompress::GetTrackDescriptor.
#pragma once

#include <cstdint>

namespace Zel {

class Bone;

struct TrackDescriptor {
    // 0 for a constant track; otherwise the file's one shared frame count.
    std::uint32_t frameCount = 0;
    // Seconds between two frames.
    float frameInterval = 0.0f;
    // Meaningful only when hasConstantPosition; zero otherwise.
    float constantPosition[3] = {0.0f, 0.0f, 0.0f};
    float constantRotation[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    float scale[3] = {1.0f, 1.0f, 1.0f};
    // frameCount when the part is animated, else 0.
    std::uint32_t positionKeyCount = 0;
    std::uint32_t rotationKeyCount = 0;
    // Whether the header carried a constant position.
    bool hasConstantPosition = false;

    bool AnimatesPosition() const { return positionKeyCount != 0; }
    bool AnimatesRotation() const { return rotationKeyCount != 0; }

    // The position a track that does not animate position gives its bone (3 floats): the bone's
    // local bind position for a bone below a parent that is not head-flagged, and for any bone
    // when the header carried no constant position; the constant position otherwise (also
    // without a bone).
    void ConstantPositionFor(const Bone* bone, float* out) const;
};

}  // namespace Zel
