#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "Entity/Character/Bone.h"
#include "Entity/Character/CDecompress.h"
#include "Entity/Character/CompressedTrackCursor.h"
#include "fixtures/ByteWriter.h"
#include "modelgen/BitWriter.h"
#include "modelgen/CompressedActionFile.h"
#include "support/LogCapture.h"

namespace {

using Zel::CDecompress;
using Zel::CodecFault;
using Zel::CompressedTrackCursor;
using Zel::TrackDescriptor;
namespace mg = ZelModelGen;

// The decoder over a copy of the bytes in a buffer of exactly their size, so that AddressSanitizer
// sees any read past them while the decoder copies.
struct Decoder {
    CDecompress codec;
    float length = 0;
    std::uint32_t count = 0;
    std::vector<std::int32_t> bones;
    CodecFault fault;

    Decoder(const std::vector<std::uint8_t>& bytes, std::uint32_t boneCount = 511) {
        std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[bytes.size() + 1]);
        if (!bytes.empty())
            std::memcpy(exact.get(), bytes.data(), bytes.size());
        codec.SetBuffer(exact.get(), bytes.size());
        fault = codec.ReadHeader(boneCount, length, count, bones);
    }
};

void ExpectFrame(const mg::CompressedTrackDesc& t, std::uint32_t f, const float* position,
                 const float* rotation, const std::string& what) {
    if (!t.positions.empty()) {
        const mg::Vec3& p = t.positions[f];
        EXPECT_NEAR(position[0], p.x, 2e-5f) << what;
        EXPECT_NEAR(position[1], p.y, 2e-5f) << what;
        EXPECT_NEAR(position[2], p.z, 2e-5f) << what;
    }
    if (!t.rotations.empty()) {
        const mg::Vec4& r = t.rotations[f];
        EXPECT_NEAR(rotation[0], r.x, 2e-5f) << what;
        EXPECT_NEAR(rotation[1], r.y, 2e-5f) << what;
        EXPECT_NEAR(rotation[2], r.z, 2e-5f) << what;
        EXPECT_NEAR(rotation[3], r.w, 3e-5f) << what;
    }
}

TEST(CDecompress, RoundTripOfSixtyTracksPlayedForward) {
    const mg::CompressedActionDesc action = mg::SyntheticCompressedAction(60, 300);
    for (bool wide : {false, true}) {
        mg::CompressedActionDesc a = action;
        a.wideOffsets = wide;
        const mg::WrittenFile file = mg::WriteCompressedActionFile(a);
        EXPECT_EQ(file.bytes.back(), wide ? 0 : 1);
        Decoder d(file.bytes, 60);
        ASSERT_EQ(d.fault, CodecFault::None);
        EXPECT_EQ(d.length, a.length);
        ASSERT_EQ(d.count, 60u);
        for (std::uint32_t i = 0; i < 60; ++i) {
            const mg::CompressedTrackDesc& t = a.tracks[i];
            SCOPED_TRACE("track " + std::to_string(i));
            EXPECT_EQ(d.bones[i], static_cast<std::int32_t>(i));
            TrackDescriptor desc;
            ASSERT_TRUE(d.codec.GetTrackDescriptor(i, desc));
            EXPECT_EQ(desc.frameInterval, t.frameInterval);
            EXPECT_EQ(desc.frameCount, t.Animated() ? 300u : 0u);
            EXPECT_EQ(desc.positionKeyCount, t.positions.empty() ? 0u : 300u);
            EXPECT_EQ(desc.rotationKeyCount, t.rotations.empty() ? 0u : 300u);
            EXPECT_EQ(desc.hasConstantPosition, t.constantPosition.has_value());
            if (t.constantPosition) {
                EXPECT_EQ(desc.constantPosition[0], t.constantPosition->x);
            }
            if (t.rotations.empty()) {
                EXPECT_EQ(desc.constantRotation[3], t.constantRotation.w);
            }
            CompressedTrackCursor cursor(&d.codec, i);
            if (!t.Animated()) {
                EXPECT_EQ(cursor.MoveTo(0), CodecFault::FrameOutOfRange);
                continue;
            }
            for (std::uint32_t f = 0; f < 300; ++f) {
                ASSERT_EQ(cursor.MoveTo(f), CodecFault::None);
                ExpectFrame(t, f, cursor.GetPosition(0), cursor.GetRotation(0),
                            "frame " + std::to_string(f));
                if (f + 1 < 300)
                    ExpectFrame(t, f + 1, cursor.GetPosition(1), cursor.GetRotation(1), "next");
            }
            // Forward play decodes each frame exactly once.
            EXPECT_EQ(cursor.GetDecodedFrameCount(), 300u);
        }
    }
}

TEST(CDecompress, CursorsOnOneFileNeverRestartEachOther) {
    const mg::CompressedActionDesc a = mg::SyntheticCompressedAction(3, 120, 5);
    Decoder d(mg::WriteCompressedActionFile(a).bytes);
    ASSERT_EQ(d.fault, CodecFault::None);
    std::vector<CompressedTrackCursor> cursors;
    for (int c = 0; c < 10; ++c) cursors.emplace_back(&d.codec, c % 2);
    for (std::uint32_t step = 0; step < 60; ++step) {
        for (std::uint32_t c = 0; c < 10; ++c) {
            const std::uint32_t f = step + 5 * c;
            ASSERT_EQ(cursors[c].MoveTo(f), CodecFault::None);
            ExpectFrame(a.tracks[c % 2], f, cursors[c].GetPosition(0), cursors[c].GetRotation(0),
                        "cursor " + std::to_string(c));
            // The first move decodes up to f + 1 from the start; each later one a single frame.
            EXPECT_EQ(cursors[c].GetDecodedFrameCount(), 5 * c + 2 + step);
        }
    }
}

// Every cursor's two slots, cached frame and decoded-frame count, bit for bit.
void ExpectSameCursors(const std::vector<CompressedTrackCursor>& a,
                       const std::vector<CompressedTrackCursor>& b, const std::string& what) {
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t c = 0; c < a.size(); ++c) {
        SCOPED_TRACE(what + ", cursor " + std::to_string(c));
        EXPECT_EQ(a[c].GetCachedFrame(), b[c].GetCachedFrame());
        EXPECT_EQ(a[c].GetDecodedFrameCount(), b[c].GetDecodedFrameCount());
        for (int slot = 0; slot < 2; ++slot) {
            EXPECT_EQ(std::memcmp(a[c].GetPosition(slot), b[c].GetPosition(slot), 3 * 4), 0);
            EXPECT_EQ(std::memcmp(a[c].GetRotation(slot), b[c].GetRotation(slot), 4 * 4), 0);
        }
    }
}

void ExpectMovingTogetherMatchesMovingEachAlone() {
    // 20 tracks (every fifth constant) played forward, with jumps back and to the last frame,
    // and a few cursors that start late, so that batches mix every kind of move.
    const mg::CompressedActionDesc a = mg::SyntheticCompressedAction(20, 80, 7);
    Decoder d(mg::WriteCompressedActionFile(a).bytes);
    ASSERT_EQ(d.fault, CodecFault::None);
    std::vector<CompressedTrackCursor> alone, together;
    for (std::uint32_t c = 0; c < 23; ++c) {
        alone.emplace_back(&d.codec, c % 20);
        together.emplace_back(&d.codec, c % 20);
    }
    const std::uint32_t frames[] = {0, 1, 2, 3, 4, 40, 41, 42, 10, 11, 78, 79, 5, 6};
    for (std::uint32_t f : frames) {
        CodecFault first = CodecFault::None;
        for (CompressedTrackCursor& cursor : alone) {
            const CodecFault fault = cursor.MoveTo(f);
            if (first == CodecFault::None)
                first = fault;
        }
        EXPECT_EQ(CompressedTrackCursor::MoveTo(together, f), first);
        ExpectSameCursors(alone, together, "frame " + std::to_string(f));
    }
    for (std::uint32_t f = 7; f < 80; ++f) {
        for (CompressedTrackCursor& cursor : alone) cursor.MoveTo(f);
        CompressedTrackCursor::MoveTo(together, f);
    }
    ExpectSameCursors(alone, together, "played on");
}

void ExpectMovedTogetherRefuseAsEachAlone() {
    const mg::CompressedActionDesc good = mg::SyntheticCompressedAction(9, 30, 3);
    const mg::WrittenFile file = mg::WriteCompressedActionFile(good);
    // The last track's frames cut short, and a class code that names no symbol.
    std::vector<std::uint8_t> cut = file.bytes;
    const std::size_t table = file.Offset("ac6#offsets");
    cut.erase(cut.begin() + static_cast<std::ptrdiff_t>(table - 6),
              cut.begin() + static_cast<std::ptrdiff_t>(table));
    mg::CompressedActionDesc uncoded = good;
    uncoded.codeLengths = std::array<std::uint8_t, 9>{};
    // A code that leaves prefixes unused, and a track whose bits turn to noise halfway, so that
    // the refusal comes while the cursors play on together.
    mg::CompressedActionDesc holed = good;
    holed.codeLengths = std::array<std::uint8_t, 9>{4, 4, 4, 4, 4, 4, 4, 4, 4};
    const mg::WrittenFile holedFile = mg::WriteCompressedActionFile(holed);
    std::vector<std::uint8_t> noisy = holedFile.bytes;
    const std::size_t middle =
        (holedFile.Offset("ac6/track1") + holedFile.Offset("ac6/track2")) / 2;
    for (std::size_t k = 0; k < 4; ++k) noisy[middle + k] ^= 0xA5;
    const std::vector<std::uint8_t> files[] = {cut, mg::WriteCompressedActionFile(uncoded).bytes,
                                               noisy};
    const CodecFault faults[] = {CodecFault::Truncated, CodecFault::BadClassCode,
                                 CodecFault::BadClassCode};
    // The first frame refused is at least this one.
    const std::uint32_t refusedFrom[] = {0, 0, 2};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        ZelTest::LogCapture log;
        Decoder d(files[i], 10);
        ASSERT_EQ(d.fault, CodecFault::None);
        // The animated tracks: a constant one answers that no frame is in it.
        std::vector<CompressedTrackCursor> alone, together;
        for (std::uint32_t t = 0; t < d.count; ++t) {
            if (d.codec.FindTrackDescriptor(t)->frameCount == 0)
                continue;
            alone.emplace_back(&d.codec, t);
            together.emplace_back(&d.codec, t);
        }
        CodecFault seen = CodecFault::None;
        std::uint32_t firstRefused = 30;
        for (std::uint32_t f = 0; f < 30; ++f) {
            for (CompressedTrackCursor& cursor : alone) cursor.MoveTo(f);
            const CodecFault fault = CompressedTrackCursor::MoveTo(together, f);
            if (fault != CodecFault::None) {
                seen = fault;
                firstRefused = std::min(firstRefused, f);
            }
            ExpectSameCursors(alone, together, "frame " + std::to_string(f));
        }
        EXPECT_EQ(seen, faults[i]);
        EXPECT_GE(firstRefused, refusedFrom[i]);
    }
}

// Batch moves run the build for this processor, then the build for any processor.
class BatchDecodeBuild : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { CDecompress::SetPortableBatchDecode(GetParam()); }
    void TearDown() override { CDecompress::SetPortableBatchDecode(false); }
};

TEST_P(BatchDecodeBuild, MovingCursorsTogetherMatchesMovingEachAlone) {
    ExpectMovingTogetherMatchesMovingEachAlone();
}

TEST_P(BatchDecodeBuild, CursorsMovedTogetherRefuseAsEachAlone) {
    ExpectMovedTogetherRefuseAsEachAlone();
}

INSTANTIATE_TEST_SUITE_P(CDecompress, BatchDecodeBuild, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "AnyProcessor" : "ThisProcessor";
                         });

TEST(CDecompress, AskingForAnEarlierFrameRestartsFromFrameZero) {
    const mg::CompressedActionDesc a = mg::SyntheticCompressedAction(1, 40, 9);
    Decoder d(mg::WriteCompressedActionFile(a).bytes);
    ASSERT_EQ(d.fault, CodecFault::None);
    CompressedTrackCursor cursor(&d.codec, 0);
    float p1[3], q1[4], p2[3] = {}, q2[4] = {};
    ASSERT_EQ(d.codec.DecodeFrame(cursor, 10, p1, q1), CodecFault::None);
    EXPECT_EQ(cursor.GetDecodedFrameCount(), 11u);
    ASSERT_EQ(d.codec.DecodeFrame(cursor, 10, p2, q2), CodecFault::None);
    EXPECT_EQ(cursor.GetDecodedFrameCount(), 22u);
    EXPECT_EQ(std::memcmp(p1, p2, sizeof(p1)), 0);
    EXPECT_EQ(std::memcmp(q1, q2, sizeof(q1)), 0);
    ASSERT_EQ(d.codec.DecodeFrame(cursor, 39, p2, q2), CodecFault::None);
    EXPECT_EQ(cursor.GetDecodedFrameCount(), 51u);
    EXPECT_EQ(d.codec.DecodeFrame(cursor, 40, p2, q2), CodecFault::FrameOutOfRange);
    // The last frame has no second slot.
    ASSERT_EQ(cursor.MoveTo(39), CodecFault::None);
    EXPECT_EQ(cursor.GetCachedFrame(), 39);
}

TEST(CDecompress, HeaderSharesOneFrameCountAndReadsEveryConstantForm) {
    mg::CompressedActionDesc a;
    a.frameCount = 3;
    mg::CompressedTrackDesc still;  // constant, before the first animated track
    still.boneIndex = 7;
    still.frameInterval = 0.5f;
    still.constantRotation = {0.5f, -0.5f, 0.25f, 0.625f};
    still.quantiseConstants = true;
    mg::CompressedTrackDesc moving;
    moving.boneIndex = 2;
    moving.positions = {{0, 0, 0}, {0.5f, 0, 0}, {1, 0, 0}};
    moving.positionBitWhenAnimated = true;
    mg::CompressedTrackDesc bare;  // no constant position
    bare.rotations = {{0, 0, 0, 1}, {0, 0, 0.1f, 0.995f}, {0, 0, 0.2f, -0.98f}};
    a.tracks = {still, moving, bare};
    Decoder d(mg::WriteCompressedActionFile(a).bytes, 8);
    ASSERT_EQ(d.fault, CodecFault::None);
    EXPECT_EQ(d.bones, (std::vector<std::int32_t>{7, 2, 0}));
    TrackDescriptor s, m, b;
    ASSERT_TRUE(d.codec.GetTrackDescriptor(0, s) && d.codec.GetTrackDescriptor(1, m) &&
                d.codec.GetTrackDescriptor(2, b));
    EXPECT_FALSE(d.codec.GetTrackDescriptor(3, b));
    EXPECT_EQ(s.frameCount, 0u);
    EXPECT_EQ(s.frameInterval, 0.5f);
    EXPECT_NEAR(s.constantRotation[1], -0.5f, 2e-5f);
    EXPECT_NEAR(s.constantRotation[3], 0.625f, 2e-5f);
    EXPECT_EQ(m.frameCount, 3u);
    EXPECT_EQ(m.positionKeyCount, 3u);
    EXPECT_EQ(m.rotationKeyCount, 0u);
    EXPECT_FALSE(m.hasConstantPosition);
    EXPECT_EQ(b.frameCount, 3u);
    EXPECT_FALSE(b.hasConstantPosition);
    CompressedTrackCursor cursor(&d.codec, 2);
    ASSERT_EQ(cursor.MoveTo(2), CodecFault::None);
    ExpectFrame(bare, 2, nullptr, cursor.GetRotation(0), "negative w");
    // A constant track is never decoded: the outputs stand.
    CompressedTrackCursor still0(&d.codec, 0);
    float p[3] = {9, 9, 9}, q[4] = {9, 9, 9, 9};
    EXPECT_EQ(d.codec.DecodeFrame(still0, 0, p, q), CodecFault::None);
    EXPECT_EQ(p[0], 9.0f);
    EXPECT_EQ(still0.GetDecodedFrameCount(), 0u);
}

// One position-only track of four frames, assembled bit by bit: class 0 is coded "0" and class 8
// "1"; every component starts a run of one.
std::vector<std::uint8_t> ResidualRulesFile() {
    ZelFixtures::ByteWriter out;
    mg::BitWriter bits(out);
    bits.Float(1.0f).Bits(1, 9).Bits(0, 9);
    bits.Bit(true).Bits(4, 16).Bit(true).Bit(false).Float(0.1f).Bit(false);
    for (float v : {0.0f, 0.0f, 0.0f, 1.0f})  // the constant rotation, raw
        bits.Bit(false).Float(v);
    for (unsigned symbol = 0; symbol < 9; ++symbol)
        bits.Bits(symbol == 0 || symbol == 8 ? 1 : 0, 4);
    bits.Align();
    const std::size_t track = out.Size();
    bits.Float(0).Float(0).Float(0);
    auto wide = [&](bool minus, std::uint32_t magnitude) {
        bits.Bit(false).Bits(0, 1).Bit(minus).Bits(magnitude, 16);
    };
    auto none = [&](bool minus) { bits.Bit(false).Bits(1, 1).Bit(minus); };
    wide(false, 9000), wide(false, 100), none(true);  // frame 1
    wide(true, 5), none(true), none(false);           // frame 2
    none(false), none(false), wide(false, 3);         // frame 3
    bits.Align();
    bits.Bits(static_cast<std::uint32_t>(track), 16);
    out.U8(1);
    return out.Data();
}

TEST(CDecompress, ResidualsXorThePreviousSmallResidual) {
    Decoder d(ResidualRulesFile(), 1);
    ASSERT_EQ(d.fault, CodecFault::None);
    CompressedTrackCursor cursor(&d.codec, 0);
    auto q = [](double v) { return static_cast<float>((v - 32768.0) / 32768.0); };
    // x: 9000 is too large to become the previous residual, so -5 is coded against 0, and the
    // class-8 residual of frame 3 repeats the small one, 5. y: class 8 repeats 100 with the sign
    // bit's sign. z: 0, 0, then 3.
    const float want[4][3] = {
        {0, 0, 0},
        {q(9000), q(100), q(0)},
        {q(9000) + q(8995), q(100) + q(0), q(0) + q(0)},
        {q(9000) + q(8995) + q(9000), q(100) + q(0) + q(100), q(0) + q(0) + q(3)},
    };
    for (std::uint32_t f = 0; f < 4; ++f) {
        ASSERT_EQ(cursor.MoveTo(f), CodecFault::None);
        for (int k = 0; k < 3; ++k)
            EXPECT_FLOAT_EQ(cursor.GetPosition(0)[k], want[f][k]) << f << " " << k;
    }
}

TEST(CDecompress, WOfAnOverlongVectorIsTheCorrectionAlone) {
    ZelFixtures::ByteWriter out;
    mg::BitWriter bits(out);
    bits.Float(1.0f).Bits(1, 9).Bits(0, 9);
    bits.Bit(true).Bits(1, 16).Bit(false).Bit(true).Float(0.1f).Bit(false);
    for (int s = 0; s < 9; ++s) bits.Bits(0, 4);
    bits.Align();
    const std::size_t track = out.Size();
    bits.Bit(true).Float(1.0f).Float(1.0f).Float(0.0f).Float(0.25f).Align();
    bits.Bits(static_cast<std::uint32_t>(track), 16);
    out.U8(1);
    Decoder d(out.Data(), 1);
    ASSERT_EQ(d.fault, CodecFault::None);
    CompressedTrackCursor cursor(&d.codec, 0);
    ASSERT_EQ(cursor.MoveTo(0), CodecFault::None);
    EXPECT_EQ(cursor.GetRotation(0)[3], -0.25f);
}

TEST(CDecompress, MalformedFilesAreRefusedWithTheirReason) {
    const mg::CompressedActionDesc good = mg::SyntheticCompressedAction(4, 20, 3);
    const mg::WrittenFile file = mg::WriteCompressedActionFile(good);
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
        std::uint32_t boneCount;
        CodecFault header;
        CodecFault frames;  // when the header is accepted
    };
    std::vector<Case> cases;
    cases.push_back({"empty", {}, 10, CodecFault::NoHeader, CodecFault::None});
    cases.push_back({"three bytes", {1, 2, 3}, 10, CodecFault::Truncated, CodecFault::None});
    {
        mg::CompressedActionDesc many;
        many.tracks.resize(151);
        cases.push_back({"151 tracks", mg::WriteCompressedActionFile(many).bytes, 200,
                         CodecFault::TooManyTracks, CodecFault::None});
    }
    cases.push_back(
        {"bone outside the skeleton", file.bytes, 3, CodecFault::BoneOutOfRange, CodecFault::None});
    {
        mg::CompressedActionDesc a = good;
        a.codeLengths = std::array<std::uint8_t, 9>{1, 2, 3, 4, 5, 6, 7, 8, 11};
        cases.push_back({"code length 11", mg::WriteCompressedActionFile(a).bytes, 10,
                         CodecFault::BadCodeLength, CodecFault::None});
        a.codeLengths = std::array<std::uint8_t, 9>{};
        cases.push_back({"no class codes", mg::WriteCompressedActionFile(a).bytes, 10,
                         CodecFault::None, CodecFault::BadClassCode});
    }
    {
        std::vector<std::uint8_t> bytes = file.bytes;
        const std::size_t table = file.Offset("ac6#offsets");
        bytes[table + 2] = 0xFF;  // track 1 starts far beyond the data
        bytes[table + 3] = 0xFF;
        cases.push_back(
            {"offset beyond the data", bytes, 10, CodecFault::BadOffsetTable, CodecFault::None});
        bytes = file.bytes;
        bytes.back() = 0;  // 32-bit entries over a 16-bit table
        cases.push_back(
            {"wrong table width", bytes, 10, CodecFault::BadOffsetTable, CodecFault::None});
    }
    {
        // The last track's frames cut short; the table still points inside the file.
        std::vector<std::uint8_t> bytes = file.bytes;
        const std::size_t table = file.Offset("ac6#offsets");
        bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(table - 6),
                    bytes.begin() + static_cast<std::ptrdiff_t>(table));
        cases.push_back({"frames cut short", bytes, 10, CodecFault::None, CodecFault::Truncated});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ZelTest::LogCapture log;
        Decoder d(c.bytes, c.boneCount);
        ASSERT_EQ(d.fault, c.header);
        if (c.header != CodecFault::None) {
            EXPECT_EQ(d.codec.GetTrackCount(), 0u);
            EXPECT_EQ(log.Count("refused"), 1);
            continue;
        }
        CodecFault worst = CodecFault::None;
        for (std::uint32_t t = 0; t < d.count; ++t) {
            CompressedTrackCursor cursor(&d.codec, t);
            TrackDescriptor desc;
            d.codec.GetTrackDescriptor(t, desc);
            for (std::uint32_t f = 0; f < desc.frameCount; ++f) {
                const CodecFault fault = cursor.MoveTo(f);
                if (fault != CodecFault::None) {
                    worst = fault;
                    EXPECT_EQ(cursor.GetCachedFrame(), -1);
                }
            }
        }
        EXPECT_EQ(worst, c.frames);
    }
}

TEST(CDecompress, EveryCutOfAFileIsReadWithinItsBytes) {
    const mg::CompressedActionDesc a = mg::SyntheticCompressedAction(6, 12, 4);
    const std::vector<std::uint8_t> whole = mg::WriteCompressedActionFile(a).bytes;
    ZelTest::LogCapture log;
    for (std::size_t cut = 0; cut < whole.size(); ++cut) {
        Decoder d(std::vector<std::uint8_t>(whole.begin(), whole.begin() + cut), 64);
        for (std::uint32_t t = 0; t < d.count; ++t) {
            CompressedTrackCursor cursor(&d.codec, t);
            for (std::uint32_t f = 0; f < 12; ++f) cursor.MoveTo(f);
        }
        std::vector<CompressedTrackCursor> together;
        for (std::uint32_t t = 0; t < d.count; ++t) together.emplace_back(&d.codec, t);
        for (std::uint32_t f = 0; f < 12; ++f) CompressedTrackCursor::MoveTo(together, f);
    }
}

TEST(CDecompress, ConstantPositionFallsBackToTheBindPosition) {
    Zel::Bone root, child, face;
    root.GetLocalPosition()[0] = 1;
    child.GetLocalPosition()[0] = 2;
    child.SetParent(&root, 0);
    face.GetLocalPosition()[0] = 3;
    face.SetParent(&root, 0);
    face.SetFlags(Zel::Bone::kHeadFlag);
    TrackDescriptor stored;
    stored.hasConstantPosition = true;
    stored.constantPosition[0] = 9;
    TrackDescriptor missing;
    struct Case {
        const TrackDescriptor* d;
        const Zel::Bone* bone;
        float x;
    };
    const Case cases[] = {{&stored, &root, 9},   {&stored, &child, 2}, {&stored, &face, 9},
                          {&stored, nullptr, 9}, {&missing, &root, 1}, {&missing, &face, 3}};
    for (const Case& c : cases) {
        float out[3] = {-1, -1, -1};
        c.d->ConstantPositionFor(c.bone, out);
        EXPECT_EQ(out[0], c.x);
    }
}

}  // namespace
