#include "Entity/Character/CDecompress.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <type_traits>

#include "Core/LogDispatch.h"
#include "Entity/Character/CompressedTrackCursor.h"

namespace Zel {
namespace {

constexpr std::size_t kPadding = 8;
constexpr float kQuantum = 3.0517578125e-05f;  // 1 / 32768

}  // namespace

// Bits most significant first, bounded by an end; a read past the end fails and yields zeros.
// Every look loads the eight bytes at the read position (the buffer is padded): an unconditional
// load costs less than a refill branch the data would decide. Kept outside the anonymous
// namespace: the decoder's lanes (local types of a member function) hold one, and such a type
// must not have a part of internal linkage.
class AnimationBitReader {
public:
    // Reads nothing: every read fails.
    AnimationBitReader() = default;
    AnimationBitReader(const std::uint8_t* data, std::uint64_t position, std::uint64_t end)
        : data_(data), position_(std::min(position, end)), end_(end) {}

    // n from 1 to 32.
    std::uint32_t Read(unsigned n) {
        if (end_ - position_ < n) {
            Fail();
            return 0;
        }
        const std::uint32_t value = Peek(n);
        position_ += n;
        return value;
    }
    bool Bit() { return Read(1) != 0; }
    // The next n bits (1 to 32) without moving; bits past the end read as whatever the padded
    // buffer holds, so only a following Skip decides whether they existed.
    std::uint32_t Peek(unsigned n) const {
        return static_cast<std::uint32_t>(Window() >> (64 - n));
    }
    // The 64 bits from the read position on (at least 57 of them from the buffer, the rest 0),
    // without moving.
    std::uint64_t Window() const {
        std::uint64_t word;
        std::memcpy(&word, data_ + (position_ >> 3), sizeof(word));
        if constexpr (std::endian::native == std::endian::little)
            word = __builtin_bswap64(word);
        return word << (position_ & 7);
    }
    std::uint64_t Remaining() const { return end_ - position_; }
    void Skip(unsigned n) {
        if (end_ - position_ < n)
            Fail();
        else
            position_ += n;
    }
    // Skip without the check, for a caller that has made sure n bits remain.
    void Advance(unsigned n) { position_ += n; }
    // A raw float: the 32-bit pattern, high part first.
    float Float() { return std::bit_cast<float>(Read(32)); }
    // A selector bit, then a raw float or a quantised 16-bit value.
    float Component() {
        if (!Bit())
            return Float();
        return Dequantise(Read(16));
    }

    static float Dequantise(std::int64_t value) {
        // Rounded once, to single precision: scaling by a power of two commutes with the
        // rounding, so this is the double product rounded to single precision (the value stays
        // far within 53 bits: at most 65535 frames of 16-bit residuals), one conversion fewer.
        return static_cast<float>(value - 32768) * kQuantum;
    }

    bool Failed() const { return failed_; }
    std::uint64_t Position() const { return position_; }

private:
    void Fail() {
        failed_ = true;
        position_ = end_;
    }

    const std::uint8_t* data_ = nullptr;
    std::uint64_t position_ = 0;
    std::uint64_t end_ = 0;
    bool failed_ = false;
};

namespace {

// The w of a unit quaternion from x, y and z, in single precision, plus a correction.
inline float RebuildW(float x, float y, float z, float correction) {
    return std::sqrt(std::max(0.0f, 1.0f - (x * x + y * y + z * z))) + correction;
}

// Takes one decoded frame: the first p values are added to the running position, and the
// rotation's x, y and z follow with the correction of its w.
inline void ApplyFrame(const float* values, unsigned p, bool rotates, bool negative, float* running,
                       float* q) {
    for (unsigned c = 0; c < p; ++c) running[c] += values[c];
    if (rotates) {
        for (int k = 0; k < 3; ++k) q[k] = values[p + k];
        // The sign flipped by a mask: a branch on the stored sign would be decided by the data.
        q[3] = std::bit_cast<float>(
            std::bit_cast<std::uint32_t>(RebuildW(q[0], q[1], q[2], values[p + 3])) ^
            static_cast<std::uint32_t>(negative) << 31);
    }
}

// The magnitude bits of a residual of class c.
constexpr std::uint32_t MagnitudeBits(std::uint32_t c) {
    return 2 * (8 - c);
}

const char* FaultText(CodecFault fault) {
    switch (fault) {
        case CodecFault::None:
            return "none";
        case CodecFault::NoHeader:
            return "no header";
        case CodecFault::Truncated:
            return "the data ends early";
        case CodecFault::TooManyTracks:
            return "too many tracks";
        case CodecFault::BoneOutOfRange:
            return "a bone index lies outside the skeleton";
        case CodecFault::BadCodeLength:
            return "a class code length is above 10";
        case CodecFault::BadOffsetTable:
            return "a track offset lies outside the frame data";
        case CodecFault::BadClassCode:
            return "a class code names no symbol";
        case CodecFault::FrameOutOfRange:
            return "the frame lies outside the track";
        case CodecFault::TrackOutOfRange:
            return "the track does not exist";
    }
    return "unknown";
}

}  // namespace

void CDecompress::SetBuffer(const std::uint8_t* data, std::size_t size) {
    data_.assign(size + kPadding, 0);
    if (size)
        std::memcpy(data_.data(), data, size);
    size_ = size;
    frameDataEnd_ = 0;
    descriptors_.clear();
    offsets_.clear();
    code_ = ClassCode();
}

bool CDecompress::GetTrackDescriptor(std::uint32_t i, TrackDescriptor& out) const {
    if (i >= descriptors_.size())
        return false;
    out = descriptors_[i];
    return true;
}

CodecFault CDecompress::ReadHeader(std::uint32_t boneCount, float& length, std::uint32_t& count,
                                   std::vector<std::int32_t>& boneIndices) {
    descriptors_.clear();
    offsets_.clear();
    std::vector<std::int32_t> indices;
    float fileLength = 0.0f;
    CodecFault fault = size_ == 0 ? CodecFault::NoHeader : ReadOffsetTable();
    if (fault == CodecFault::None)
        fault = ReadHeaderFields(boneCount, fileLength, indices);
    if (fault != CodecFault::None) {
        descriptors_.clear();
        offsets_.clear();
        LogError("Compressed action refused: %s", FaultText(fault));
        return fault;
    }
    length = fileLength;
    count = GetTrackCount();
    boneIndices = std::move(indices);
    return CodecFault::None;
}

CodecFault CDecompress::ReadOffsetTable() {
    // The track count sits right after the 32-bit length at the start of the header.
    if (size_ < 1)
        return CodecFault::Truncated;
    AnimationBitReader head(data_.data(), 32, static_cast<std::uint64_t>(size_) * 8);
    const std::uint32_t tracks = head.Read(9);
    if (head.Failed())
        return CodecFault::Truncated;
    if (tracks > kMaxTracks)
        return CodecFault::TooManyTracks;
    const std::uint64_t width = data_[size_ - 1] == 0 ? 4 : 2;
    const std::uint64_t tableBytes = width * tracks;
    if (tableBytes + 1 > size_)
        return CodecFault::BadOffsetTable;
    frameDataEnd_ = size_ - 1 - static_cast<std::size_t>(tableBytes);
    AnimationBitReader table(data_.data(), static_cast<std::uint64_t>(frameDataEnd_) * 8,
                             static_cast<std::uint64_t>(size_ - 1) * 8);
    std::uint64_t offset = 0;
    for (std::uint32_t i = 0; i < tracks; ++i) {
        offset += table.Read(static_cast<unsigned>(width * 8));
        // Kept in 64 bits, so that no sum of entries wraps back inside the data.
        if (offset > frameDataEnd_)
            return CodecFault::BadOffsetTable;
        offsets_.push_back(offset);
    }
    return table.Failed() ? CodecFault::Truncated : CodecFault::None;
}

CodecFault CDecompress::ReadHeaderFields(std::uint32_t boneCount, float& length,
                                         std::vector<std::int32_t>& boneIndices) {
    AnimationBitReader r(data_.data(), 0, static_cast<std::uint64_t>(frameDataEnd_) * 8);
    length = r.Float();
    const std::uint32_t tracks = r.Read(9);
    for (std::uint32_t i = 0; i < tracks; ++i) {
        const std::uint32_t bone = r.Read(9);
        if (!r.Failed() && bone >= boneCount)
            return CodecFault::BoneOutOfRange;
        boneIndices.push_back(static_cast<std::int32_t>(bone));
    }
    std::int64_t sharedFrameCount = -1;
    for (std::uint32_t i = 0; i < tracks && !r.Failed(); ++i) {
        TrackDescriptor d;
        if (r.Bit()) {
            if (sharedFrameCount < 0)
                sharedFrameCount = r.Read(16);
            d.frameCount = static_cast<std::uint32_t>(sharedFrameCount);
        }
        if (d.frameCount != 0) {
            d.positionKeyCount = r.Bit() ? d.frameCount : 0;
            d.rotationKeyCount = r.Bit() ? d.frameCount : 0;
        }
        d.frameInterval = r.Float();
        if (r.Bit() && !d.AnimatesPosition()) {
            d.hasConstantPosition = true;
            for (float& v : d.constantPosition) v = r.Component();
        }
        if (!d.AnimatesRotation()) {
            for (float& v : d.constantRotation) v = r.Component();
        }
        descriptors_.push_back(d);
    }
    for (std::uint8_t& length4 : code_.lengths) {
        length4 = static_cast<std::uint8_t>(r.Read(4));
        if (length4 > kMaxCodeLength)
            return CodecFault::BadCodeLength;
    }
    if (r.Failed())
        return CodecFault::Truncated;
    BuildCodeTables();
    return CodecFault::None;
}

void CDecompress::BuildCodeTables() {
    std::fill(std::begin(code_.counts), std::end(code_.counts), 0u);
    for (std::uint32_t symbol = 0; symbol < kClassCount; ++symbol) {
        const std::uint8_t length = code_.lengths[symbol];
        if (length != 0)
            code_.symbols[length][code_.counts[length]++] = static_cast<std::uint8_t>(symbol);
    }
    code_.limits[kMaxCodeLength] = 0;
    for (std::uint32_t l = kMaxCodeLength - 1; l >= 1; --l)
        code_.limits[l] = (code_.counts[l + 1] + code_.limits[l + 1] + 1) / 2;
    // The bit-by-bit walk (one bit; while below the length's limit, one more) done once for
    // every prefix, so that decoding takes one look-up.
    for (std::uint32_t prefix = 0; prefix < (1u << kMaxCodeLength); ++prefix) {
        auto bit = [prefix](std::uint32_t i) { return (prefix >> (kMaxCodeLength - 1 - i)) & 1u; };
        std::uint32_t value = bit(0);
        std::uint32_t l = 1;
        while (l <= kMaxCodeLength && value < code_.limits[l]) {
            value = l < kMaxCodeLength ? 2 * value + bit(l) : value;
            ++l;
        }
        const std::uint32_t rank = value - (l <= kMaxCodeLength ? code_.limits[l] : 0);
        code_.lookup[prefix] =
            l <= kMaxCodeLength && rank < code_.counts[l]
                ? static_cast<std::uint16_t>(MagnitudeBits(code_.symbols[l][rank]) << 8 | l)
                : kNoSymbol;
    }
}

template <bool kChecked, class Reader, class State>
inline bool CDecompress::DecodeResidual(Reader& r, const ClassCode& code, State& s, float& value) {
    // A coded residual takes at most 31 bits (run bit and length, a 10-bit class code,
    // sign and 16 magnitude bits): one look at the next 32 bits serves all its fields,
    // and one bounded step moves past them.
    const std::uint32_t v = r.Peek(32);
    // Whether a run starts here, and whether it is a long one, depend on the data, so both ways
    // are computed and one kept through masks: written as choices, the compiler turns them back
    // into branches, which the data mispredicts.
    const std::uint32_t starts = 0u - static_cast<std::uint32_t>(s.run == 0);
    const std::uint32_t longRun = v >> 31;
    const unsigned head = starts & (1u + 3u * longRun);
    // Every prefix has an entry, so the table is read whether or not a code starts here.
    const std::uint16_t entry = code.lookup[(v << head) >> (32 - kMaxCodeLength)];
    // A prefix that starts no code has length 0 (and 16 magnitude bits, so that an unchecked
    // decode may go on with it harmlessly until its caller refuses the frame).
    const bool noSymbol = (entry & 0xFFu) == 0 && starts != 0;
    if (kChecked && __builtin_expect(noSymbol, 0)) {
        // Within the last bits of the data the prefix runs into what follows: the stream ended
        // before a code did.
        if (r.Remaining() < head + kMaxCodeLength)
            r.Skip(head + kMaxCodeLength);
        return false;
    }
    // A run of one, or of two to nine after the long-run bit; the old run is 0 when one starts.
    s.run += starts & (1u + longRun * (((v >> 28) & 7u) + 1u));
    s.magnitudeBits ^= (s.magnitudeBits ^ static_cast<std::uint32_t>(entry >> 8)) & starts;
    const unsigned used = head + (starts & (entry & 0xFFu));
    --s.run;
    const unsigned bits = s.magnitudeBits;
    const std::uint32_t signAndMagnitude = (v << used) >> (31 - bits);
    if (kChecked)
        r.Skip(used + bits + 1);
    else
        r.Advance(used + bits + 1);
    // Sign and small-residual choices without branches: the data decides them, so a
    // predictor would miss often.
    const std::int64_t minus = -static_cast<std::int64_t>(signAndMagnitude >> bits);
    const std::int64_t size = s.previousResidual ^ (signAndMagnitude & ((1u << bits) - 1u));
    s.previousValue += (size ^ minus) - minus;
    s.previousResidual = size < 8192 ? size : s.previousResidual;
    value = AnimationBitReader::Dequantise(s.previousValue);
    return kChecked || !noSymbol;
}

CodecFault CDecompress::DecodeFrame(CompressedTrackCursor& cursor, std::uint32_t frame,
                                    float* position, float* rotation) const {
    const std::uint32_t track = cursor.track_;
    if (cursor.decoder_ != this || track >= descriptors_.size())
        return CodecFault::TrackOutOfRange;
    const TrackDescriptor& d = descriptors_[track];
    if (d.frameCount == 0)
        return CodecFault::None;
    if (frame >= d.frameCount)
        return CodecFault::FrameOutOfRange;
    const unsigned p = d.AnimatesPosition() ? 3 : 0;
    const unsigned components = p + (d.AnimatesRotation() ? 4 : 0);
    const bool rotates = d.AnimatesRotation();
    const std::uint64_t end = static_cast<std::uint64_t>(frameDataEnd_) * 8;

    // The cursor's state is worked on in place: a refusal marks it for a restart, which sets all
    // of it again, and the outputs are written only on success.
    // Position and rotation stay in locals until the end: storing them element by element and
    // reading them back as a whole would stall on store forwarding.
    CompressedTrackCursor::Component* state = cursor.components_;
    float running[3] = {cursor.runningPosition_[0], cursor.runningPosition_[1],
                        cursor.runningPosition_[2]};
    float q[4] = {cursor.lastRotation_[0], cursor.lastRotation_[1], cursor.lastRotation_[2],
                  cursor.lastRotation_[3]};
    std::uint32_t last = cursor.lastFrame_;
    std::uint64_t decoded = 0;
    const bool resume = last != CompressedTrackCursor::kNoFrame && frame > last;
    const std::uint64_t start = resume ? cursor.bitPosition_ : offsets_[track] * 8;
    AnimationBitReader r(data_.data(), start, end);
    if (!resume) {
        const bool negative = rotates && r.Bit();
        if (p) {
            for (int k = 0; k < 3; ++k) running[k] = r.Float();
        }
        if (rotates) {
            for (int k = 0; k < 3; ++k) q[k] = r.Float();
            q[3] = RebuildW(q[0], q[1], q[2], r.Float());
            if (negative)
                q[3] = -q[3];
        }
        std::fill(state, state + kMaxComponents, CompressedTrackCursor::Component());
        last = 0;
        ++decoded;
    }
    const ClassCode& code = code_;
    bool badCode = false;
    for (std::uint32_t f = last + 1; f <= frame && !r.Failed() && !badCode; ++f) {
        const bool negative = rotates && r.Bit();
        float values[kMaxComponents];
        for (unsigned c = 0; c < components; ++c) {
            if (!DecodeResidual<true>(r, code, state[c], values[c])) {
                badCode = !r.Failed();
                break;
            }
        }
        if (r.Failed() || badCode)
            break;
        ApplyFrame(values, p, rotates, negative, running, q);
        ++decoded;
    }
    if (r.Failed() || badCode) {
        cursor.lastFrame_ = CompressedTrackCursor::kNoFrame;
        const CodecFault fault = badCode ? CodecFault::BadClassCode : CodecFault::Truncated;
        if (!cursor.reported_) {
            cursor.reported_ = true;
            LogError("Compressed action track %u refused: %s", track, FaultText(fault));
        }
        return fault;
    }
    cursor.bitPosition_ = r.Position();
    cursor.lastFrame_ = frame;
    cursor.decodedFrames_ += decoded;
    for (int k = 0; k < 3; ++k) {
        cursor.runningPosition_[k] = running[k];
        if (p)
            position[k] = running[k];
    }
    for (int k = 0; k < 4; ++k) {
        cursor.lastRotation_[k] = q[k];
        if (rotates)
            rotation[k] = q[k];
    }
    return CodecFault::None;
}

// Always inlined, so that it is built for each processor its callers are built for.
__attribute__((always_inline)) inline void CDecompress::AdvanceCursorsBody(
    CompressedTrackCursor* const* cursors, unsigned n, bool* ok) const {
    struct Lane {
        AnimationBitReader r;
        CompressedTrackCursor::Component* state = nullptr;
        unsigned components = 0;
        unsigned p = 0;
        bool rotates = false;
        bool negative = false;
        bool badCode = false;
        float values[kMaxComponents];
    };
    // Lanes past n read nothing and decode no component.
    Lane lanes[kLanes];
    const std::uint64_t end = static_cast<std::uint64_t>(frameDataEnd_) * 8;
    for (unsigned i = 0; i < n; ++i) {
        CompressedTrackCursor& cursor = *cursors[i];
        const TrackDescriptor& d = descriptors_[cursor.track_];
        Lane& lane = lanes[i];
        lane.r = AnimationBitReader(data_.data(), cursor.bitPosition_, end);
        lane.state = cursor.components_;
        lane.p = d.AnimatesPosition() ? 3 : 0;
        lane.rotates = d.AnimatesRotation();
        lane.components = lane.p + (lane.rotates ? 4 : 0);
    }
    // Component by component across the lanes, so that the lanes' chains interleave; unrolled,
    // so that every step is laid out for the processor to overlap. Always inlined, as the body.
    auto decode = [&](auto checked) __attribute__((always_inline)) {
        constexpr bool kChecked = decltype(checked)::value;
        for (Lane& lane : lanes) {
            if (kChecked) {
                lane.negative = lane.rotates && lane.r.Bit();
            } else if (lane.rotates) {
                lane.negative = lane.r.Peek(1) != 0;
                lane.r.Advance(1);
            }
        }
        static_assert(kMaxComponents == 7 && kLanes == 4, "the unroll counts below");
#pragma GCC unroll 7
        for (unsigned c = 0; c < kMaxComponents; ++c) {
#pragma GCC unroll 4
            for (Lane& lane : lanes) {
                if (kChecked) {
                    if (c < lane.components && !lane.badCode &&
                        !DecodeResidual<true>(lane.r, code_, lane.state[c], lane.values[c]))
                        lane.badCode = true;
                } else if (c < lane.components) {
                    lane.badCode |=
                        !DecodeResidual<false>(lane.r, code_, lane.state[c], lane.values[c]);
                }
            }
        }
    };
    // Away from the end of the data no read needs a check: a refused frame is decoded again
    // the checked way.
    bool wholeFrames = true;
    for (unsigned i = 0; i < n; ++i) wholeFrames &= lanes[i].r.Remaining() >= kMaxFrameBits;
    if (wholeFrames)
        decode(std::false_type());
    else
        decode(std::true_type());
    for (unsigned i = 0; i < n; ++i) {
        CompressedTrackCursor& cursor = *cursors[i];
        Lane& lane = lanes[i];
        ok[i] = !lane.r.Failed() && !lane.badCode;
        if (!ok[i]) {
            cursor.lastFrame_ = CompressedTrackCursor::kNoFrame;
            continue;
        }
        // Worked on in locals and stored once: stores read back at once as a whole would stall.
        float running[3] = {cursor.runningPosition_[0], cursor.runningPosition_[1],
                            cursor.runningPosition_[2]};
        float q[4] = {cursor.lastRotation_[0], cursor.lastRotation_[1], cursor.lastRotation_[2],
                      cursor.lastRotation_[3]};
        ApplyFrame(lane.values, lane.p, lane.rotates, lane.negative, running, q);
        cursor.bitPosition_ = lane.r.Position();
        ++cursor.lastFrame_;
        ++cursor.decodedFrames_;
        cursor.cachedFrame_ = cursor.lastFrame_ - 1;
        std::memcpy(cursor.positions_[0], cursor.positions_[1], sizeof(cursor.positions_[0]));
        std::memcpy(cursor.rotations_[0], cursor.rotations_[1], sizeof(cursor.rotations_[0]));
        for (int k = 0; k < 3; ++k) {
            cursor.runningPosition_[k] = running[k];
            if (lane.p)
                cursor.positions_[1][k] = running[k];
        }
        for (int k = 0; k < 4; ++k) {
            cursor.lastRotation_[k] = q[k];
            if (lane.rotates)
                cursor.rotations_[1][k] = q[k];
        }
    }
}

void CDecompress::AdvanceCursors(CompressedTrackCursor* const* cursors, unsigned n,
                                 bool* ok) const {
    // Asked once: the answer does not change while the process runs.
    static const bool oneStepShifts = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("bmi2") != 0;
    }();
    if (oneStepShifts && !portableBatchDecode_.load(std::memory_order_relaxed))
        AdvanceCursorsBmi2(cursors, n, ok);
    else
        AdvanceCursorsAnyProcessor(cursors, n, ok);
}

std::atomic<bool> CDecompress::portableBatchDecode_{false};

void CDecompress::SetPortableBatchDecode(bool on) {
    portableBatchDecode_.store(on, std::memory_order_relaxed);
}

void CDecompress::AdvanceCursorsAnyProcessor(CompressedTrackCursor* const* cursors, unsigned n,
                                             bool* ok) const {
    AdvanceCursorsBody(cursors, n, ok);
}

// A residual shifts by counts the data decides five times; with BMI2 each shift by a register
// count takes one step rather than three.
__attribute__((target("bmi2"))) void CDecompress::AdvanceCursorsBmi2(
    CompressedTrackCursor* const* cursors, unsigned n, bool* ok) const {
    AdvanceCursorsBody(cursors, n, ok);
}

}  // namespace Zel
