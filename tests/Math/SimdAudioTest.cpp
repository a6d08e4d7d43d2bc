#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "Math/ZelSIMDProcessor.h"
#include "SimdTestSupport.h"

namespace {

using Zel::ZelSIMDProcessor;
using ZelTest::AllSimdVariants;
using ZelTest::Bits;

constexpr int kFrames = 4096;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

TEST(SimdAudio, UpsamplingRepeatsFrames) {
    for (const auto& v : AllSimdVariants()) {
        const ZelSIMDProcessor& p = *v.processor;
        std::vector<float> out(20, -9.0f);
        const int16_t mono[] = {1, -2};
        p.UpsampleInt16To44k(out.data(), mono, 2, 11025, 1);
        EXPECT_EQ(std::vector<float>(out.begin(), out.begin() + 9),
                  (std::vector<float>{1, 1, 1, 1, -2, -2, -2, -2, -9}))
            << v.name;

        std::fill(out.begin(), out.end(), -9.0f);
        const int16_t stereo[] = {1, 2, 3, 4};
        p.UpsampleInt16To44k(out.data(), stereo, 4, 22050, 2);
        EXPECT_EQ(std::vector<float>(out.begin(), out.begin() + 9),
                  (std::vector<float>{1, 2, 1, 2, 3, 4, 3, 4, -9}))
            << v.name;

        std::fill(out.begin(), out.end(), -9.0f);
        p.UpsampleInt16To44k(out.data(), stereo, 4, 11025, 2);
        EXPECT_EQ(std::vector<float>(out.begin(), out.begin() + 17),
                  (std::vector<float>{1, 2, 1, 2, 1, 2, 1, 2, 3, 4, 3, 4, 3, 4, 3, 4, -9}))
            << v.name;

        std::fill(out.begin(), out.end(), -9.0f);
        p.UpsampleInt16To44k(out.data(), stereo, 4, 8000, 1);
        EXPECT_EQ(out[0], -9.0f) << v.name;
        p.UpsampleInt16To44k(out.data(), stereo, 3, 44100, 2);  // whatever numChannels says
        EXPECT_EQ(std::vector<float>(out.begin(), out.begin() + 4),
                  (std::vector<float>{1, 2, 3, -9}))
            << v.name;

        std::fill(out.begin(), out.end(), -9.0f);
        const float left[] = {1.0f, -0.5f};
        const float right[] = {0.25f, -1.0f};
        const float* channels[] = {left, right};
        p.UpsampleFloatTo44k(out.data(), channels, 4, 44100, 2);
        EXPECT_EQ(std::vector<float>(out.begin(), out.begin() + 5),
                  (std::vector<float>{32768, 8192, -16384, -32768, -9}))
            << v.name;
        p.UpsampleFloatTo44k(out.data(), channels, 2, 22050, 1);
        EXPECT_EQ(std::vector<float>(out.begin(), out.begin() + 5),
                  (std::vector<float>{32768, 32768, -16384, -16384, -9}))
            << v.name;
    }
}

using MixFn = void (ZelSIMDProcessor::*)(float*, const float*, int, const float*,
                                         const float*) const;

struct MixCase {
    const char* name;
    MixFn fn;
    int speakers;
    int channels;
    int source[6];  // which input value of its frame each speaker takes
};

const MixCase kMixCases[] = {
    {"MixTwoSpeakerMono", &ZelSIMDProcessor::MixTwoSpeakerMono, 2, 1, {0, 0}},
    {"MixTwoSpeakerStereo", &ZelSIMDProcessor::MixTwoSpeakerStereo, 2, 2, {0, 1}},
    {"MixSixSpeakerMono", &ZelSIMDProcessor::MixSixSpeakerMono, 6, 1, {0, 0, 0, 0, 0, 0}},
    {"MixSixSpeakerStereo", &ZelSIMDProcessor::MixSixSpeakerStereo, 6, 2, {0, 1, 0, 0, 0, 1}},
};

std::vector<float> Samples(int channels) {
    std::vector<float> s(static_cast<size_t>(kFrames * channels));
    for (size_t i = 0; i < s.size(); ++i) s[i] = static_cast<float>(int(i * 7919 % 2001) - 1000);
    return s;
}

// Runs one mix with the buffers placed at float offsets; answers the mix block.
std::vector<float> RunMix(const ZelSIMDProcessor& p, const MixCase& c,
                          const std::vector<float>& samples, const std::vector<float>& mixStart,
                          const float* last, const float* current, int mixOffset,
                          int sampleOffset) {
    ZelTest::AlignedBlock<float> mix(mixStart.size() + 8), in(samples.size() + 8);
    std::memcpy(mix.data() + mixOffset, mixStart.data(), mixStart.size() * sizeof(float));
    std::memcpy(in.data() + sampleOffset, samples.data(), samples.size() * sizeof(float));
    (p.*c.fn)(mix.data() + mixOffset, in.data() + sampleOffset, 0, last, current);
    return std::vector<float>(mix.data() + mixOffset, mix.data() + mixOffset + mixStart.size());
}

TEST(SimdAudio, ConstantVolumeAndTheZeroToOneRampAreExact) {
    const float half[6] = {0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f};
    const float zero[6] = {};
    const float one[6] = {1, 1, 1, 1, 1, 1};
    for (const MixCase& c : kMixCases) {
        const std::vector<float> samples = Samples(c.channels);
        const std::vector<float> start(static_cast<size_t>(kFrames * c.speakers), 3.0f);
        for (const auto& v : AllSimdVariants()) {
            const auto constant = RunMix(*v.processor, c, samples, start, half, half, 0, 0);
            const auto ramp = RunMix(*v.processor, c, samples, start, zero, one, 0, 0);
            for (int f = 0; f < kFrames; ++f) {
                for (int s = 0; s < c.speakers; ++s) {
                    const float in = samples[f * c.channels + c.source[s]];
                    const size_t at = static_cast<size_t>(f * c.speakers + s);
                    ASSERT_EQ(constant[at], 3.0f + in * 0.5f) << c.name << " " << v.name;
                    ASSERT_EQ(ramp[at], 3.0f + in * (f / 4096.0f)) << c.name << " " << v.name;
                }
            }
        }
    }
}

TEST(SimdAudio, RampsStayCloseToTheExactRampWhateverTheAlignment) {
    const float last[6] = {0.9f, -0.3f, 0.1f, 1.7f, 0.0f, -1.1f};
    const float current[6] = {0.2f, 0.6f, 1.3f, -0.4f, 0.7f, 0.05f};
    for (const MixCase& c : kMixCases) {
        const std::vector<float> samples = Samples(c.channels);
        std::vector<float> start(static_cast<size_t>(kFrames * c.speakers));
        for (size_t i = 0; i < start.size(); ++i) start[i] = static_cast<float>(i % 13) * 0.37f;
        for (const auto& v : AllSimdVariants()) {
            const auto aligned = RunMix(*v.processor, c, samples, start, last, current, 0, 0);
            for (int f = 0; f < kFrames; ++f) {
                for (int s = 0; s < c.speakers; ++s) {
                    const double step = (double(current[s]) - last[s]) / 4096.0;
                    const double volume = last[s] + f * step;
                    const double in = samples[f * c.channels + c.source[s]];
                    const size_t at = static_cast<size_t>(f * c.speakers + s);
                    const double exact = start[at] + in * volume;
                    // The volume gathers one rounding per frame it advances.
                    const double tolerance =
                        4096 * 6e-8 * std::fabs(in) * 2.0 + 1e-6 * std::fabs(exact);
                    ASSERT_NEAR(aligned[at], exact, tolerance)
                        << c.name << " " << v.name << " frame " << f;
                }
            }
            for (int mixOffset = 0; mixOffset < 4; ++mixOffset)
                for (int sampleOffset = 0; sampleOffset < 4; ++sampleOffset)
                    ASSERT_EQ(RunMix(*v.processor, c, samples, start, last, current, mixOffset,
                                     sampleOffset),
                              aligned)
                        << c.name << " " << v.name << " offsets " << mixOffset << sampleOffset;
        }
    }
}

bool Rounds(const char* name) {
    return std::string(name).rfind("SSE", 0) == 0;
}

TEST(SimdAudio, FloatToInt16TruncatesOrRoundsToEvenAndSaturates) {
    struct Row {
        float in;
        int16_t truncated;
        int16_t rounded;
    };
    const Row rows[] = {
        {40000.0f, 32767, 32767},
        {-40000.0f, -32768, -32768},
        {1.7f, 1, 2},
        {-1.7f, -1, -2},
        {-32768.0f, -32768, -32768},
        {32767.0f, 32767, 32767},
        {2.5f, 2, 2},
        {3.5f, 3, 4},
        {-2.5f, -2, -2},
        {32766.6f, 32766, 32767},
        {-32767.6f, -32767, -32768},
        {-0.4f, 0, 0},
        {1e20f, 32767, 32767},
        {-1e20f, -32768, -32768},
        {kNaN, 0, 0},
        {0.5f, 0, 0},
        {1.5f, 1, 2},
        {-3e9f, -32768, -32768},
        {std::numeric_limits<float>::infinity(), 32767, 32767},
    };
    constexpr int kCount = sizeof(rows) / sizeof(rows[0]);
    for (const auto& v : AllSimdVariants()) {
        // Every count and every alignment of both arrays: results depend on neither.
        for (int count = 0; count <= kCount; ++count) {
            for (int srcOffset = 0; srcOffset < 4; ++srcOffset) {
                for (int dstOffset = 0; dstOffset < 8; ++dstOffset) {
                    ZelTest::AlignedBlock<float> src(kCount + 4);
                    ZelTest::AlignedBlock<int16_t> dst(kCount + 9);
                    for (int i = 0; i < kCount; ++i) src[srcOffset + i] = rows[i].in;
                    for (int i = 0; i < kCount + 9; ++i) dst[i] = 0x5A5A;
                    v.processor->FloatToInt16(dst.data() + dstOffset, src.data() + srcOffset,
                                              count);
                    for (int i = 0; i < kCount + 9; ++i) {
                        const int k = i - dstOffset;
                        const int16_t expected = k < 0 || k >= count ? int16_t(0x5A5A)
                                                 : Rounds(v.name)    ? rows[k].rounded
                                                                     : rows[k].truncated;
                        ASSERT_EQ(dst[i], expected)
                            << v.name << " count " << count << " element " << k;
                    }
                }
            }
        }
    }
}

}  // namespace
