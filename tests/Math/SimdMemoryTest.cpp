#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "Math/ZelSIMDMMX.h"
#include "Math/ZelSIMDProcessor.h"
#include "SimdTestSupport.h"

namespace {

using Zel::ZelSIMDProcessor;
using ZelTest::AllSimdVariants;

constexpr int kGuard = 16;

// The distinct copy and fill bodies: the portable one, MMX's (which SSE, SSE2 and SSE3 keep) and
// 3DNow!'s copy.
std::vector<ZelTest::SimdVariant> CopyBodies() {
    const auto& all = AllSimdVariants();
    return {all[0], all[1], all[2], all[4]};
}

class CopyBench {
public:
    explicit CopyBench(int maxBytes)
        : src_(static_cast<size_t>(maxBytes) + 64),
          dst_(static_cast<size_t>(maxBytes) + 64 + 2 * kGuard) {
        for (size_t i = 0; i < src_.size(); ++i) src_[i] = static_cast<unsigned char>(i * 131 + 7);
    }

    // Copies n bytes between the given alignments and checks the copy and the guard bytes on
    // both sides of the destination.
    ::testing::AssertionResult Copy(const ZelSIMDProcessor& p, int n, int dstAlign, int srcAlign) {
        unsigned char* dst = dst_.data() + kGuard + dstAlign;
        const unsigned char* src = src_.data() + srcAlign;
        std::memset(dst_.data(), 0xEE, static_cast<size_t>(n) + dstAlign + 2 * kGuard);
        p.CopyMemory(dst, src, n);
        if (n > 0 && std::memcmp(dst, src, static_cast<size_t>(n)) != 0)
            return ::testing::AssertionFailure() << "bytes differ";
        for (int g = 1; g <= kGuard; ++g)
            if (dst[-g] != 0xEE || dst[n + g - 1] != 0xEE)
                return ::testing::AssertionFailure() << "guard byte " << g << " overwritten";
        return ::testing::AssertionSuccess();
    }

    ::testing::AssertionResult Fill(const ZelSIMDProcessor& p, int n, int dstAlign, int value) {
        unsigned char* dst = dst_.data() + kGuard + dstAlign;
        std::memset(dst_.data(), 0xEE, static_cast<size_t>(n) + dstAlign + 2 * kGuard);
        p.FillMemory(dst, value, n);
        for (int i = 0; i < n; ++i)
            if (dst[i] != static_cast<unsigned char>(value & 0xFF))
                return ::testing::AssertionFailure() << "byte " << i << " not filled";
        for (int g = 1; g <= kGuard; ++g)
            if (dst[-g] != 0xEE || dst[n + g - 1] != 0xEE)
                return ::testing::AssertionFailure() << "guard byte " << g << " overwritten";
        return ::testing::AssertionSuccess();
    }

private:
    std::vector<unsigned char> src_;
    std::vector<unsigned char> dst_;
};

TEST(SimdMemory, CopyAndFillAreExactForEverySizeUpTo5000AndEveryAlignment) {
    constexpr int kMax = 5000;
    CopyBench bench(kMax);
    for (const auto& v : CopyBodies()) {
        for (int n = 0; n <= kMax; ++n) {
            // Every pair of alignments for the sizes where the paths change, and a rotating pair
            // elsewhere, so each size and each pair is met.
            const bool everyPair = n <= 80 || (n >= 4090 && n <= 4170) || n % 257 == 0;
            for (int pair = 0; pair < 64; ++pair) {
                if (!everyPair && pair != n % 64)
                    continue;
                const int d = pair / 8, s = pair % 8;
                ASSERT_TRUE(bench.Copy(*v.processor, n, d, s))
                    << v.name << " n " << n << " dst+" << d << " src+" << s;
            }
            for (int d = 0; d < 8; ++d) {
                if (!everyPair && d != n % 8)
                    continue;
                ASSERT_TRUE(bench.Fill(*v.processor, n, d, 0x1234))
                    << v.name << " n " << n << " dst+" << d;
            }
        }
    }
}

TEST(SimdMemory, ThreeDNowCopyAroundItsSizeClassThresholds) {
    const int sizes[] = {32768,     32769,          32767 + 8,     65536,
                         65537,     65543,          1023 * 64,     1023 * 64 + 63,
                         1024 * 64, 1024 * 64 + 7,  3151 * 64,     3151 * 64 + 63,
                         3152 * 64, 3152 * 64 + 71, 3280 * 64 + 5, 4000 * 64 + 3};
    CopyBench bench(4000 * 64 + 80);
    const auto& all = AllSimdVariants();
    for (const auto& v : {all[2], all[1]}) {
        for (int n : sizes) {
            for (int d : {0, 1, 7})
                for (int s : {0, 3})
                    ASSERT_TRUE(bench.Copy(*v.processor, n, d, s))
                        << v.name << " n " << n << " dst+" << d << " src+" << s;
        }
    }
}

TEST(SimdMemory, FillKeepsOnlyTheLowByteAndNegativeCountsDoNothing) {
    CopyBench bench(300);
    for (const auto& v : CopyBodies()) {
        EXPECT_TRUE(bench.Fill(*v.processor, 200, 3, 0x1234));
        EXPECT_TRUE(bench.Fill(*v.processor, 100, 0, -1));
        EXPECT_TRUE(bench.Fill(*v.processor, 0, 5, 0x55));
        unsigned char bytes[4] = {1, 2, 3, 4};
        v.processor->FillMemory(bytes, 0, -5);
        v.processor->CopyMemory(bytes, bytes + 2, -1);
        EXPECT_EQ(bytes[0], 1);
        EXPECT_EQ(bytes[3], 4);
    }
}

// The bodies used beyond the last-level cache, called directly on small blocks: a page-interleaved
// part, a line-by-line part and the tails around them.
class StreamingBodies : public Zel::ZelSIMD_MMX {
public:
    void CopyMemory(void* dst, const void* src, int n) const override {
        if (n > 0)
            StreamCopy(static_cast<unsigned char*>(dst), static_cast<const unsigned char*>(src),
                       static_cast<std::size_t>(n));
    }
    void FillMemory(void* dst, int value, int n) const override {
        if (n > 0)
            StreamFill(static_cast<unsigned char*>(dst), static_cast<unsigned char>(value & 0xFF),
                       static_cast<std::size_t>(n));
    }
};

TEST(SimdMemory, StreamingCopyAndFillAreExactAroundTheirBlockSizes) {
    const int sizes[] = {0,    1,   15,   16,   17,    63,    64,         65,    127,
                         128,  200, 4095, 4096, 16383, 16384, 16384 + 63, 16448, 16384 * 2 + 4097,
                         70001};
    CopyBench bench(70001);
    const StreamingBodies streaming;
    for (int n : sizes) {
        for (int d = 0; d < 16; ++d) {
            for (int s : {0, 1, 8, 13})
                ASSERT_TRUE(bench.Copy(streaming, n, d, s))
                    << "n " << n << " dst+" << d << " src+" << s;
            ASSERT_TRUE(bench.Fill(streaming, n, d, 0x1A5)) << "n " << n << " dst+" << d;
        }
    }
}

}  // namespace
