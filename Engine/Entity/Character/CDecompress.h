// The decoder of compressed action files (names ending in "ac6"): a bit-packed header (length,
// tracks, bone indices, track descriptors, the class code), one delta-coded run of frames per
// track, and a trailing offset table. The decoder holds only what the file says, read once; the
// decoding position and predictor state of a track live in the CompressedTrackCursor of whoever
// plays it, so any number of players can sample one file at different places.
//
// Hostile input: every field is checked against the file (track count, bone indices, code
// lengths, class symbols, offsets, the frame asked for) and every read against the end of the
// frame data; a refusal answers its reason, and nothing is read outside the copy of the file.
//
// Threads: SetBuffer and ReadHeader on the loading thread; afterwards the decoder is immutable and
// DecodeFrame may run on any thread with its own cursors.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "Entity/Character/TrackDescriptor.h"

namespace Zel {

class CompressedTrackCursor;

// Why a compressed file or frame was refused (0: it was not).
enum class CodecFault : int {
    None = 0,
    NoHeader = 1,         // nothing read yet, or no file
    Truncated = 2,        // a read ran past the end of the header or of the frame data
    TooManyTracks = 3,    // more than kMaxTracks tracks
    BoneOutOfRange = 4,   // a bone index at or beyond the skeleton's bone count
    BadCodeLength = 5,    // a class code length above kMaxCodeLength
    BadOffsetTable = 6,   // the offset table or an offset lies outside the frame data
    BadClassCode = 7,     // a class code that names no symbol
    FrameOutOfRange = 8,  // a frame at or beyond the track's frame count
    TrackOutOfRange = 9,  // a cursor bound to no track of this file
};

class CDecompress {
public:
    static constexpr std::uint32_t kMaxTracks = 150;
    static constexpr std::uint32_t kMaxCodeLength = 10;
    static constexpr std::uint32_t kClassCount = 9;
    // Position x, y, z and rotation x, y, z, w.
    static constexpr std::uint32_t kMaxComponents = 7;
    // Tracks decoded side by side by one AdvanceCursors call.
    static constexpr unsigned kLanes = 4;

    CDecompress() = default;
    CDecompress(const CDecompress&) = delete;
    CDecompress& operator=(const CDecompress&) = delete;

    // Batch moves pick the build of their decoder that suits the processor; on, they take the
    // build for any processor (for tests on machines that have BMI2). Process-wide.
    static void SetPortableBatchDecode(bool on);

    // Keeps a copy of the file's bytes (size bytes at data); forgets any header read before.
    void SetBuffer(const std::uint8_t* data, std::size_t size);

    // Reads the header and the offset table. boneCount is the number of bones of the skeleton
    // the track bone indices refer to. On success answers None with the action's length in
    // seconds, the track count and the bone index of each track; otherwise the reason, logged
    // once, and the decoder holds no tracks.
    CodecFault ReadHeader(std::uint32_t boneCount, float& length, std::uint32_t& count,
                          std::vector<std::int32_t>& boneIndices);

    std::uint32_t GetTrackCount() const { return static_cast<std::uint32_t>(descriptors_.size()); }
    // Copies descriptor i; false out of range.
    bool GetTrackDescriptor(std::uint32_t i, TrackDescriptor& out) const;
    const TrackDescriptor* FindTrackDescriptor(std::uint32_t i) const {
        return i < descriptors_.size() ? &descriptors_[i] : nullptr;
    }

    // Decodes frame `frame` of the cursor's track and writes its position (3 floats) when the
    // track animates position and its rotation (x, y, z, w) when it animates rotation; the other
    // output is left as it is. Reads on from the cursor's last frame when the frame lies after
    // it, else restarts the track from frame 0. A constant track answers None at once. On a
    // refusal the outputs are untouched and the cursor restarts on its next call.
    CodecFault DecodeFrame(CompressedTrackCursor& cursor, std::uint32_t frame, float* position,
                           float* rotation) const;

private:
    friend class CompressedTrackCursor;

    struct ClassCode {
        std::uint8_t lengths[kClassCount] = {};
        std::uint32_t counts[kMaxCodeLength + 1] = {};
        std::uint32_t limits[kMaxCodeLength + 1] = {};
        std::uint8_t symbols[kMaxCodeLength + 1][kClassCount] = {};
        // For every 10-bit prefix, the magnitude bits of the class symbol it starts with (high
        // byte: the decoder needs them, not the symbol) and the code's length
        // (low byte); kNoSymbol (length 0) when it starts with no code.
        std::uint16_t lookup[1u << kMaxCodeLength] = {};
    };
    static constexpr std::uint16_t kNoSymbol = 16 << 8;
    // The most bits one frame of a track takes: the sign bit of w, then at most 31 bits per
    // component (run bit and length, a class code, sign and 16 magnitude bits).
    static constexpr std::uint32_t kMaxFrameBits = 1 + kMaxComponents * 31;

    CodecFault ReadHeaderFields(std::uint32_t boneCount, float& length,
                                std::vector<std::int32_t>& boneIndices);
    CodecFault ReadOffsetTable();
    void BuildCodeTables();
    // One coded residual of a component (the cursor's per-component state); false when its class
    // code names no symbol. Checked, the reader fails when the stream ended before the residual
    // did; unchecked, the caller has made sure that a whole frame's bits remain, and a class code
    // that names no symbol is only answered (the residual read goes on harmlessly).
    template <bool kChecked, class Reader, class State>
    static bool DecodeResidual(Reader& r, const ClassCode& code, State& s, float& value);
    // Moves each of n cursors (at most kLanes, bound to this decoder, each caching frame f - 1
    // with its stream at frame f, and f + 1 inside its track) on by one frame: one frame decoded
    // per track. The tracks are decoded side by side: a bit stream is one long chain of
    // dependent loads, and several chains at once keep the processor busy. ok[i] answers whether
    // cursor i moved; a cursor that did not is left to restart, its cache as it was.
    void AdvanceCursors(CompressedTrackCursor* const* cursors, unsigned n, bool* ok) const;
    // AdvanceCursors's work, built for any processor and again for processors with BMI2;
    // AdvanceCursors asks the processor which to call.
    void AdvanceCursorsAnyProcessor(CompressedTrackCursor* const* cursors, unsigned n,
                                    bool* ok) const;
    void AdvanceCursorsBmi2(CompressedTrackCursor* const* cursors, unsigned n, bool* ok) const;
    // Set, batch moves take the build for any processor even where BMI2 is present, so that both
    // builds are exercised on one machine.
    static std::atomic<bool> portableBatchDecode_;
    void AdvanceCursorsBody(CompressedTrackCursor* const* cursors, unsigned n, bool* ok) const;

    // The file followed by zero padding, so that whole words may be loaded near its end.
    std::vector<std::uint8_t> data_;
    std::size_t size_ = 0;
    // The frame data end where the offset table starts (bytes).
    std::size_t frameDataEnd_ = 0;
    std::vector<TrackDescriptor> descriptors_;
    std::vector<std::uint64_t> offsets_;
    ClassCode code_;
};

}  // namespace Zel
