// The compressed action file (".ac6") written from synthetic tracks, for tests, fuzz seeds and
// benchmarks. Layout: a bit stream (MSB first) of the header (length as a raw float, 9-bit track
// count, 9-bit bone index per track, one descriptor per track, nine 4-bit class code lengths),
// then per track, from a byte boundary, frame 0 raw and frames 1 to N-1 as run-length class coded
// residuals of 16-bit quantised values ((q - 32768) / 32768), then the offset table (the first
// track's byte offset, then differences; 32-bit entries as 24 + 8 bits, or 16-bit entries) and
// the width byte (0 for 32-bit entries). Sections: "ac6#header", "ac6/trackN", "ac6#offsets",
// "ac6#width".
//
// Positions are coded as displacements from the position the reader will have rebuilt, so their
// error does not add up over frames.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "modelgen/FaultPlan.h"
#include "modelgen/ModelTypes.h"
#include "modelgen/WrittenFile.h"

namespace ZelModelGen {

struct CompressedTrackDesc {
    std::uint32_t boneIndex = 0;
    float frameInterval = 1.0f / 30.0f;
    // One entry per frame of the file when the part is animated; empty otherwise.
    std::vector<Vec3> positions;
    std::vector<Vec4> rotations;  // x, y, z, w
    // Written when the position is not animated.
    std::optional<Vec3> constantPosition;
    Vec4 constantRotation{0, 0, 0, 1};
    // Constants as quantised components (selector 1) rather than raw floats.
    bool quantiseConstants = false;
    // The constant-position bit set on a track that animates its position (nothing follows).
    bool positionBitWhenAnimated = false;

    bool Animated() const { return !positions.empty() || !rotations.empty(); }
};

struct CompressedActionDesc {
    float length = 1.0f;
    // The frame count shared by every animated track.
    std::uint32_t frameCount = 0;
    std::vector<CompressedTrackDesc> tracks;
    // Offset entries: 16 bits when every entry fits unless wideOffsets.
    bool wideOffsets = false;
    // Replaces the class code lengths the writer would choose (symbols it uses must keep one).
    std::optional<std::array<std::uint8_t, 9>> codeLengths;
};

WrittenFile WriteCompressedActionFile(const CompressedActionDesc& action,
                                      const FaultPlan& faults = FaultPlan());

// A smooth synthetic action: `tracks` tracks on bones 0, 1, ... of `frames` frames, each turning
// and moving along its own curve (track 0 moves, the others only turn; every fifth track is
// constant).
CompressedActionDesc SyntheticCompressedAction(std::uint32_t tracks, std::uint32_t frames,
                                               std::uint32_t seed = 1);

}  // namespace ZelModelGen
