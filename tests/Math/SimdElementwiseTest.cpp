#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "Math/ZelSIMDProcessor.h"
#include "SimdTestSupport.h"

namespace {

using Zel::SIMDVec3;
using Zel::SIMDVec4;
using Zel::ZelSIMDProcessor;
using ZelTest::AllSimdVariants;
using ZelTest::Bits;

constexpr int kMaxCount = 19;
constexpr int kOffsets = 4;  // float offsets 0..3: every 4-byte alignment mod 16
constexpr int kSpan = kMaxCount + kOffsets + 4;  // room for the largest count at the largest offset
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kDenormal = 1.5e-40f;
constexpr uint32_t kSentinel = 0x7F8ABCDE;  // a signalling NaN no operation produces

// Two inputs with the awkward values: zeros of both signs, infinities, a denormal, a NaN. The NaNs
// never share an index, so each result has one candidate NaN and its bits are defined.
std::vector<float> InputA() {
    return {1.5f,  -2.25f, 0.0f,  kNaN,      -0.0f, 3.0e38f, kInf, 7.0f, -kInf, 0.1f, kNaN,
            -7.0f, 2.0f,   1e-3f, kDenormal, 4.0f,  -0.5f,   kNaN, 9.0f, 0.75f, 6.0f, -3.0f};
}

std::vector<float> InputB() {
    return {3.0f,   kNaN, 0.0f, -0.0f, kInf,      3.0e38f, kNaN, -7.0f, -kInf, 0.3f, 2.0f,
            -1e-3f, kNaN, 0.0f, -2.0f, kDenormal, 8.0f,    1.0f, -9.0f, 0.25f, 5.0f, kNaN};
}

// Runs one variant with its arrays placed at the given offsets; answers the whole destination
// block, so writes outside the count show up as well as wrong results.
using FloatOp =
    std::function<void(const ZelSIMDProcessor&, float*, const float*, const float*, int)>;

std::vector<uint32_t> RunFloatOp(const ZelSIMDProcessor& p, const FloatOp& op, int count, int d,
                                 int a, int b, bool inPlace) {
    ZelTest::AlignedBlock<float> dst(kSpan), srcA(kSpan), srcB(kSpan);
    const std::vector<float> inA = InputA(), inB = InputB();
    for (int i = 0; i < kSpan; ++i) {
        dst[i] = std::bit_cast<float>(kSentinel);
        srcA[i] = srcB[i] = std::bit_cast<float>(kSentinel);
    }
    std::memcpy(srcA.data() + a, inA.data(), sizeof(float) * kMaxCount);
    std::memcpy(srcB.data() + b, inB.data(), sizeof(float) * kMaxCount);
    if (inPlace) {
        std::memcpy(dst.data() + d, inA.data(), sizeof(float) * count);
        op(p, dst.data() + d, dst.data() + d, srcB.data() + b, count);
    } else {
        op(p, dst.data() + d, srcA.data() + a, srcB.data() + b, count);
    }
    return Bits(dst.data(), kSpan);
}

struct NamedOp {
    std::string name;
    FloatOp op;
};

std::vector<NamedOp> ExactFloatOps() {
    std::vector<NamedOp> ops = {
        {"Add",
         [](auto& p, float* d, const float* a, const float* b, int n) { p.Add(d, a, b, n); }},
        {"Sub",
         [](auto& p, float* d, const float* a, const float* b, int n) { p.Sub(d, a, b, n); }},
        {"Mul",
         [](auto& p, float* d, const float* a, const float* b, int n) { p.Mul(d, a, b, n); }},
        {"Div",
         [](auto& p, float* d, const float* a, const float* b, int n) { p.Div(d, a, b, n); }},
    };
    for (float k : {2.5f, -0.0f, kInf, kDenormal}) {
        const std::string tag = "(k=" + std::to_string(k) + ")";
        ops.push_back({"AddScalar" + tag, [k](auto& p, float* d, const float* a, const float*,
                                              int n) { p.AddScalar(d, k, a, n); }});
        ops.push_back({"ScalarSub" + tag, [k](auto& p, float* d, const float* a, const float*,
                                              int n) { p.ScalarSub(d, k, a, n); }});
        ops.push_back({"MulScalar" + tag, [k](auto& p, float* d, const float* a, const float*,
                                              int n) { p.MulScalar(d, k, a, n); }});
        ops.push_back({"ScalarDiv" + tag, [k](auto& p, float* d, const float* a, const float*,
                                              int n) { p.ScalarDiv(d, k, a, n); }});
    }
    const float bounds[][2] = {
        {-1.0f, 1.0f}, {1.0f, -1.0f}, {0.0f, 0.0f}, {-0.0f, 0.0f}, {-kInf, 2.0f}};
    for (const auto& r : bounds) {
        const float lo = r[0], hi = r[1];
        const std::string tag = "(" + std::to_string(lo) + "," + std::to_string(hi) + ")";
        ops.push_back({"Clamp" + tag, [lo, hi](auto& p, float* d, const float* a, const float*,
                                               int n) { p.Clamp(d, a, lo, hi, n); }});
        ops.push_back({"ClampMin" + tag, [lo](auto& p, float* d, const float* a, const float*,
                                              int n) { p.ClampMin(d, a, lo, n); }});
        ops.push_back({"ClampMax" + tag, [hi](auto& p, float* d, const float* a, const float*,
                                              int n) { p.ClampMax(d, a, hi, n); }});
    }
    return ops;
}

TEST(SimdElementwise, EveryVariantMatchesGenericBitForBitAtEveryCountAndAlignment) {
    const auto& variants = AllSimdVariants();
    for (const NamedOp& op : ExactFloatOps()) {
        for (int count = 0; count <= kMaxCount; ++count) {
            for (int d = 0; d < kOffsets; ++d) {
                for (int a = 0; a < kOffsets; ++a) {
                    for (int b = 0; b < kOffsets; ++b) {
                        const auto expected =
                            RunFloatOp(*variants[0].processor, op.op, count, d, a, b, false);
                        for (const auto& v : variants) {
                            ASSERT_EQ(RunFloatOp(*v.processor, op.op, count, d, a, b, false),
                                      expected)
                                << op.name << " " << v.name << " count " << count << " offsets "
                                << d << a << b;
                        }
                    }
                }
                // In place (dst is the first source) gives what separate arrays give.
                const auto separate =
                    RunFloatOp(*variants[0].processor, op.op, count, d, d, 0, false);
                for (const auto& v : variants)
                    ASSERT_EQ(RunFloatOp(*v.processor, op.op, count, d, d, 0, true), separate)
                        << op.name << " in place " << v.name << " count " << count;
            }
        }
    }
}

TEST(SimdElementwise, NaNAndInvertedBoundsAnswerAsTheScalarRules) {
    // The rules themselves, on the generic variant; the test above holds every other to them.
    const auto& generic = *AllSimdVariants()[0].processor;
    const float src[] = {kNaN, -5.0f, 5.0f, 1.5f};
    float out[4];
    generic.Clamp(out, src, 1.0f, -1.0f, 4);  // min > max: below min gives min
    EXPECT_TRUE(std::isnan(out[0]));
    EXPECT_EQ(out[1], 1.0f);
    EXPECT_EQ(out[2], -1.0f);
    EXPECT_EQ(out[3], -1.0f);
    const float same[] = {-1.0f, 1.0f};
    generic.Clamp(out, same, -1.0f, 1.0f, 2);  // src equal to a bound comes back unchanged
    EXPECT_EQ(out[0], -1.0f);
    EXPECT_EQ(out[1], 1.0f);
}

using CompareOp = std::function<void(const ZelSIMDProcessor&, uint8_t*, const float*, float, int)>;

std::vector<std::pair<std::string, CompareOp>> CompareOps() {
    std::vector<std::pair<std::string, CompareOp>> ops = {
        {"CmpGreater",
         [](auto& p, uint8_t* d, const float* s, float k, int n) { p.CmpGreater(d, s, k, n); }},
        {"CmpGreaterEqual", [](auto& p, uint8_t* d, const float* s, float k,
                               int n) { p.CmpGreaterEqual(d, s, k, n); }},
        {"CmpLess",
         [](auto& p, uint8_t* d, const float* s, float k, int n) { p.CmpLess(d, s, k, n); }},
        {"CmpLessEqual",
         [](auto& p, uint8_t* d, const float* s, float k, int n) { p.CmpLessEqual(d, s, k, n); }},
    };
    for (uint8_t bit : {0, 3, 7}) {
        const std::string tag = "(bit " + std::to_string(bit) + ")";
        ops.push_back({"CmpGreaterBit" + tag, [bit](auto& p, uint8_t* d, const float* s, float k,
                                                    int n) { p.CmpGreaterBit(d, bit, s, k, n); }});
        ops.push_back(
            {"CmpGreaterEqualBit" + tag, [bit](auto& p, uint8_t* d, const float* s, float k,
                                               int n) { p.CmpGreaterEqualBit(d, bit, s, k, n); }});
        ops.push_back({"CmpLessBit" + tag, [bit](auto& p, uint8_t* d, const float* s, float k,
                                                 int n) { p.CmpLessBit(d, bit, s, k, n); }});
        ops.push_back(
            {"CmpLessEqualBit" + tag, [bit](auto& p, uint8_t* d, const float* s, float k, int n) {
                 p.CmpLessEqualBit(d, bit, s, k, n);
             }});
    }
    return ops;
}

TEST(SimdElementwise, ComparesMatchGenericAtEveryCountAndAlignment) {
    const auto& variants = AllSimdVariants();
    const std::vector<float> in = InputA();
    for (const auto& [name, op] : CompareOps()) {
        for (float k : {0.0f, -0.0f, 1.5f, kNaN, kInf}) {
            for (int count = 0; count <= kMaxCount; ++count) {
                for (int d = 0; d < kOffsets; ++d) {
                    for (int s = 0; s < kOffsets; ++s) {
                        std::vector<std::vector<uint8_t>> results;
                        for (const auto& v : variants) {
                            ZelTest::AlignedBlock<uint8_t> dst(kSpan);
                            ZelTest::AlignedBlock<float> src(kSpan);
                            for (int i = 0; i < kSpan; ++i) dst[i] = static_cast<uint8_t>(0x41 + i);
                            std::memcpy(src.data() + s, in.data(), sizeof(float) * kMaxCount);
                            op(*v.processor, dst.data() + d, src.data() + s, k, count);
                            results.emplace_back(dst.data(), dst.data() + kSpan);
                        }
                        for (size_t n = 1; n < results.size(); ++n)
                            ASSERT_EQ(results[n], results[0]) << name << " " << variants[n].name
                                                              << " k " << k << " count " << count;
                    }
                }
            }
        }
    }
}

TEST(SimdElementwise, BitComparesOrIntoExistingBytes) {
    const float src[] = {2.0f, 0.0f, kNaN, 5.0f, 1.0f};
    for (const auto& v : AllSimdVariants()) {
        uint8_t dst[5] = {1, 1, 1, 1, 1};
        v.processor->CmpGreaterBit(dst, 3, src, 1.0f, 5);
        const uint8_t expected[5] = {0x09, 0x01, 0x01, 0x09, 0x01};
        EXPECT_EQ(std::memcmp(dst, expected, 5), 0) << v.name;
    }
}

// Data sets for min/max: zeros of both signs in both orders (the first met must win), NaNs,
// and values at the start values' magnitude.
std::vector<std::vector<float>> MinMaxInputs() {
    return {
        InputA(),
        {0.0f, -0.0f, 1.0f, 0.0f,  -0.0f, 2.0f, kNaN,  0.0f, -0.0f, 3.0f, 0.0f,
         0.0f, -0.0f, 0.0f, -0.0f, 4.0f,  0.0f, -0.0f, 5.0f, 0.0f,  1.0f, 2.0f},
        {-0.0f, 0.0f, -1.0f, -0.0f, 0.0f,  -2.0f, -0.0f, 0.0f,  kNaN, -0.0f, 0.0f,
         -0.0f, 0.0f, -0.0f, 0.0f,  -4.0f, -0.0f, 0.0f,  -5.0f, 0.0f, 0.0f,  0.0f},
        // The first zero lies in a later vector lane than a zero of the other sign.
        {5.0f, -0.0f, 6.0f, 7.0f,  0.0f, 8.0f, 0.0f, 9.0f, 0.0f, -0.0f, 4.0f,
         0.0f, 3.0f,  0.0f, -0.0f, 2.0f, 0.0f, 1.0f, 0.0f, 0.0f, 5.0f,  0.0f},
        {-5.0f, 0.0f,  -6.0f, -7.0f, -0.0f, -8.0f, -0.0f, -9.0f, -0.0f, 0.0f,  -4.0f,
         -0.0f, -3.0f, -0.0f, 0.0f,  -2.0f, -0.0f, -1.0f, -0.0f, -0.0f, -5.0f, -0.0f},
        {kNaN, 1e30f, -1e30f, 2e30f, kNaN, kNaN, 0.5f, kNaN, kNaN, 3.0f, kNaN,
         kNaN, kNaN,  -2.0f,  kNaN,  kNaN, kNaN, 7.0f, kNaN, kNaN, 1.0f, 1.0f},
    };
}

TEST(SimdElementwise, MinMaxMatchGenericAtEveryCountAndAlignment) {
    const auto& variants = AllSimdVariants();
    for (const auto& in : MinMaxInputs()) {
        for (int s = 0; s < kOffsets; ++s) {
            // kSpan floats cover MinMax counts; pairs and triples reuse the same data.
            ZelTest::AlignedBlock<float> src(kSpan * 3 + 8);
            for (size_t i = 0; i < src.size(); ++i) src[i] = in[i % in.size()];
            const float* p = src.data() + s;
            for (int count = 0; count <= kMaxCount; ++count) {
                std::vector<std::vector<uint32_t>> results;
                for (const auto& v : variants) {
                    float lo = 0, hi = 0, lo2[2], hi2[2];
                    SIMDVec3 lo3, hi3;
                    v.processor->MinMax(&lo, &hi, p, count);
                    v.processor->MinMax2(lo2, hi2, p, count);
                    v.processor->MinMax3(&lo3, &hi3, reinterpret_cast<const SIMDVec3*>(p), count);
                    results.push_back({Bits(lo), Bits(hi), Bits(lo2[0]), Bits(lo2[1]), Bits(hi2[0]),
                                       Bits(hi2[1]), Bits(lo3.x), Bits(lo3.y), Bits(lo3.z),
                                       Bits(hi3.x), Bits(hi3.y), Bits(hi3.z)});
                }
                for (size_t n = 1; n < results.size(); ++n)
                    ASSERT_EQ(results[n], results[0]) << variants[n].name << " count " << count;
            }
        }
    }
}

TEST(SimdElementwise, MinMaxExamples) {
    const float twos[] = {2.0f, 2.0f, 2.0f};
    const float one[] = {-3.0f};
    for (const auto& v : AllSimdVariants()) {
        float lo, hi;
        v.processor->MinMax(&lo, &hi, twos, 3);
        EXPECT_EQ(lo, 2.0f);
        EXPECT_EQ(hi, 2.0f);
        v.processor->MinMax(&lo, &hi, one, 1);
        EXPECT_EQ(lo, -3.0f);
        EXPECT_EQ(hi, -3.0f);
        v.processor->MinMax(&lo, &hi, one, 0);
        EXPECT_EQ(lo, 1e30f) << v.name;
        EXPECT_EQ(hi, -1e30f) << v.name;
    }
}

using AlignedOp =
    std::function<void(const ZelSIMDProcessor&, float*, const float*, const float*, int)>;

TEST(SimdElementwise, AlignedFamilyMatchesGenericAndWritesExactlyCount) {
    const std::vector<std::pair<std::string, AlignedOp>> ops = {
        {"ZeroAligned",
         [](auto& p, float* d, const float*, const float*, int n) { p.ZeroAligned(d, n); }},
        {"NegateAligned",
         [](auto& p, float* d, const float*, const float*, int n) { p.NegateAligned(d, n); }},
        {"CopyAligned",
         [](auto& p, float* d, const float* a, const float*, int n) { p.CopyAligned(d, a, n); }},
        {"AddAligned", [](auto& p, float* d, const float* a, const float* b,
                          int n) { p.AddAligned(d, a, b, n); }},
        {"SubAligned", [](auto& p, float* d, const float* a, const float* b,
                          int n) { p.SubAligned(d, a, b, n); }},
        {"MulScalarAligned", [](auto& p, float* d, const float* a, const float*,
                                int n) { p.MulScalarAligned(d, a, -1.5f, n); }},
        {"AddInPlaceAligned", [](auto& p, float* d, const float* a, const float*,
                                 int n) { p.AddInPlaceAligned(d, a, n); }},
        {"SubInPlaceAligned", [](auto& p, float* d, const float* a, const float*,
                                 int n) { p.SubInPlaceAligned(d, a, n); }},
        {"MulScalarInPlaceAligned", [](auto& p, float* d, const float*, const float*,
                                       int n) { p.MulScalarInPlaceAligned(d, 3.0f, n); }},
    };
    const auto& variants = AllSimdVariants();
    const std::vector<float> inA = InputA(), inB = InputB();
    for (const auto& [name, op] : ops) {
        for (int count = 0; count <= kMaxCount; ++count) {
            std::vector<std::vector<uint32_t>> results;
            for (const auto& v : variants) {
                ZelTest::AlignedBlock<float> dst(kSpan), a(kSpan), b(kSpan);
                for (int i = 0; i < kSpan; ++i) {
                    dst[i] = i < kMaxCount ? inB[i] : std::bit_cast<float>(kSentinel);
                    a[i] = i < kMaxCount ? inA[i] : 0.0f;
                    b[i] = i < kMaxCount ? inB[kMaxCount - 1 - i] : 0.0f;
                }
                op(*v.processor, dst.data(), a.data(), b.data(), count);
                results.push_back(Bits(dst.data(), kSpan));
                for (int i = std::max(count, kMaxCount); i < kSpan; ++i)
                    ASSERT_EQ(Bits(dst[i]), kSentinel) << name << " " << v.name << " wrote " << i;
            }
            for (size_t n = 1; n < results.size(); ++n)
                ASSERT_EQ(results[n], results[0])
                    << name << " " << variants[n].name << " count " << count;
        }
    }
}

TEST(SimdElementwise, AddAlignedWithCountFiveWritesElementsZeroToFourOnly) {
    for (const auto& v : AllSimdVariants()) {
        alignas(16) float a[8] = {1, 2, 3, 4, 5, 6, 7, 8};
        alignas(16) float b[8] = {10, 20, 30, 40, 50, 60, 70, 80};
        alignas(16) float dst[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
        v.processor->AddAligned(dst, a, b, 5);
        const float expected[8] = {11, 22, 33, 44, 55, -1, -1, -1};
        for (int i = 0; i < 8; ++i) EXPECT_EQ(dst[i], expected[i]) << v.name << " element " << i;
    }
}

TEST(SimdElementwise, NegateAlignedFlipsOnlyTheSignBit) {
    for (const auto& v : AllSimdVariants()) {
        alignas(16) float d[4] = {0.0f, -0.0f, std::bit_cast<float>(0x7FC01234u), 2.0f};
        v.processor->NegateAligned(d, 4);
        EXPECT_EQ(Bits(d[0]), 0x80000000u) << v.name;
        EXPECT_EQ(Bits(d[1]), 0x00000000u) << v.name;
        EXPECT_EQ(Bits(d[2]), 0xFFC01234u) << v.name;
        EXPECT_EQ(d[3], -2.0f) << v.name;
    }
}

TEST(SimdElementwise, ScalarDivByOneGivesCorrectlyRoundedReciprocals) {
    const float src[] = {3.0f, 7.0f, 0.1f, 1e-30f, 11.0f, 13.0f, 17.0f, 19.0f, 23.0f};
    for (const auto& v : AllSimdVariants()) {
        float dst[9];
        v.processor->ScalarDiv(dst, 1.0f, src, 9);
        for (int i = 0; i < 9; ++i) EXPECT_EQ(dst[i], 1.0f / src[i]) << v.name;
    }
}

// Finite inputs for the operations whose variants may round differently.
std::vector<float> Smooth(int n, float scale, int seed) {
    std::vector<float> out(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) out[i] = scale * std::sin(0.7f * i + seed) + 0.25f * seed;
    return out;
}

// Each result lies within a few units in the last place of the magnitude of its terms.
void ExpectNear(float got, double exact, double magnitude, const std::string& what) {
    EXPECT_LE(std::fabs(got - exact),
              4.0 * std::numeric_limits<float>::epsilon() * magnitude + 1e-37)
        << what << ": got " << got << " exact " << exact;
}

TEST(SimdElementwise, MultiplyAddAndDotProductsStayWithinAFewUlpsOfTheExactSum) {
    constexpr int kRecords = kMaxCount + kOffsets;
    const std::vector<float> a = Smooth(4 * kRecords, 3.0f, 1), b = Smooth(4 * kRecords, 5.0f, 2),
                             c = Smooth(4 * kRecords, 7.0f, 3);
    for (const auto& v : AllSimdVariants()) {
        const ZelSIMDProcessor& p = *v.processor;
        for (int count = 0; count <= kMaxCount; ++count) {
            for (int off = 0; off < kOffsets; ++off) {
                const std::string tag = std::string(v.name) + " count " + std::to_string(count) +
                                        " offset " + std::to_string(off);
                const float* pa = a.data() + off;
                const float* pb = b.data() + off;
                const float k = 1.25f;
                struct MulAddCase {
                    const char* name;
                    std::function<void(float*)> run;
                    std::function<double(int, double)> exact;  // (i, dst before)
                    std::function<double(int, double)> magnitude;
                };
                const MulAddCase cases[] = {
                    {"MulAdd", [&](float* d) { p.MulAdd(d, pa, pb, count); },
                     [&](int i, double d) { return d + double(pa[i]) * pb[i]; },
                     [&](int i, double d) {
                         return std::fabs(d) + std::fabs(double(pa[i]) * pb[i]);
                     }},
                    {"MulSub", [&](float* d) { p.MulSub(d, pa, pb, count); },
                     [&](int i, double d) { return d - double(pa[i]) * pb[i]; },
                     [&](int i, double d) {
                         return std::fabs(d) + std::fabs(double(pa[i]) * pb[i]);
                     }},
                    {"MulAddScalar", [&](float* d) { p.MulAddScalar(d, k, pa, count); },
                     [&](int i, double d) { return d + double(pa[i]) * k; },
                     [&](int i, double d) { return std::fabs(d) + std::fabs(double(pa[i]) * k); }},
                    {"MulSubScalar", [&](float* d) { p.MulSubScalar(d, k, pa, count); },
                     [&](int i, double d) { return d - double(pa[i]) * k; },
                     [&](int i, double d) { return std::fabs(d) + std::fabs(double(pa[i]) * k); }},
                };
                for (const auto& mc : cases) {
                    std::vector<float> dst(c.begin() + off, c.begin() + off + kMaxCount + 1);
                    const std::vector<float> before = dst;
                    mc.run(dst.data());
                    for (int i = 0; i < count; ++i)
                        ExpectNear(dst[i], mc.exact(i, before[i]), mc.magnitude(i, before[i]),
                                   std::string(mc.name) + " " + tag);
                    for (int i = std::max(count, 0); i <= kMaxCount; ++i)
                        EXPECT_EQ(Bits(dst[i]), Bits(before[i])) << mc.name << " " << tag;
                }

                float dot = -1.0f;
                p.DotArrays(&dot, pa, pb, count);
                double exact = 0, magnitude = 0;
                for (int i = 0; i < count; ++i) {
                    exact += double(pa[i]) * pb[i];
                    magnitude += std::fabs(double(pa[i]) * pb[i]);
                }
                ExpectNear(dot, exact, magnitude, "DotArrays " + tag);

                const auto* va = reinterpret_cast<const SIMDVec3*>(pa);
                const auto* vb = reinterpret_cast<const SIMDVec3*>(pb);
                const auto* qa = reinterpret_cast<const SIMDVec4*>(pa);
                const SIMDVec3 v3{0.5f, -2.0f, 3.25f};
                const SIMDVec4 v4{1.5f, -0.75f, 2.0f, -4.0f};
                std::vector<float> out(kMaxCount + 1, -7.0f);
                auto check = [&](const char* name, auto exactFn) {
                    for (int i = 0; i < count; ++i) {
                        auto [e, m] = exactFn(i);
                        ExpectNear(out[i], e, m, std::string(name) + " " + tag);
                    }
                    EXPECT_EQ(out[count], -7.0f) << name << " wrote past count, " << tag;
                    std::fill(out.begin(), out.end(), -7.0f);
                };
                auto dot3 = [](const SIMDVec3& x, const SIMDVec3& y) {
                    return std::pair{double(x.x) * y.x + double(x.y) * y.y + double(x.z) * y.z,
                                     std::fabs(double(x.x) * y.x) + std::fabs(double(x.y) * y.y) +
                                         std::fabs(double(x.z) * y.z)};
                };
                p.DotPairs3(out.data(), va, vb, count);
                check("DotPairs3", [&](int i) { return dot3(va[i], vb[i]); });
                p.DotConst3(out.data(), &v3, va, count);
                check("DotConst3", [&](int i) { return dot3(va[i], v3); });
                p.PlaneDistances(out.data(), &v4, va, count);
                check("PlaneDistances", [&](int i) {
                    auto [e, m] = dot3(SIMDVec3{v4.x, v4.y, v4.z}, va[i]);
                    return std::pair{e + v4.w, m + std::fabs(v4.w)};
                });
                p.PointPlaneDistances(out.data(), &v3, qa, count);
                check("PointPlaneDistances", [&](int i) {
                    auto [e, m] = dot3(SIMDVec3{qa[i].x, qa[i].y, qa[i].z}, v3);
                    return std::pair{e + qa[i].w, m + std::fabs(qa[i].w)};
                });
                p.DotConst4(out.data(), &v4, qa, count);
                check("DotConst4", [&](int i) {
                    auto [e, m] =
                        dot3(SIMDVec3{qa[i].x, qa[i].y, qa[i].z}, SIMDVec3{v4.x, v4.y, v4.z});
                    return std::pair{e + double(qa[i].w) * v4.w,
                                     m + std::fabs(double(qa[i].w) * v4.w)};
                });
            }
        }
    }
}

TEST(SimdElementwise, NonPositiveCountsWriteNothingButTheEmptyResults) {
    for (const auto& v : AllSimdVariants()) {
        float dst[2] = {5.0f, 5.0f};
        const float src[2] = {1.0f, 2.0f};
        v.processor->Add(dst, src, src, -3);
        EXPECT_EQ(dst[0], 5.0f);
        float dot = 5.0f;
        v.processor->DotArrays(&dot, src, src, 0);
        EXPECT_EQ(Bits(dot), 0u) << v.name;
        v.processor->DotArrays(&dot, src, src, -1);
        EXPECT_EQ(Bits(dot), 0u) << v.name;
        float lo, hi;
        v.processor->MinMax(&lo, &hi, src, -2);
        EXPECT_EQ(lo, 1e30f);
        EXPECT_EQ(hi, -1e30f);
    }
}

// Results worked out by hand, so that the generic variant, which every other is compared with,
// is itself held to the contract: argument order (a - b, a / b, k - src, k / src), the bounds
// of the clamps, strict and non-strict compares. Every value is exact in single precision.
constexpr int kTableCount = 9;  // a block of eight and one more, at every alignment
const float kTableA[kTableCount] = {6.0f, -3.0f, 0.5f, 10.0f, -8.0f, 2.0f, 1.0f, 4.0f, -1.0f};
const float kTableB[kTableCount] = {2.0f, 4.0f, -2.0f, 0.25f, 8.0f, -4.0f, 1.0f, 0.5f, -4.0f};
constexpr float kTableK = 3.0f;

struct ArithmeticRow {
    const char* name;
    std::function<void(const ZelSIMDProcessor&, float*)> run;  // dst starts as all ones
    float expected[kTableCount];
};

TEST(SimdElementwise, ArithmeticMatchesHandWorkedResults) {
    const float* a = kTableA;
    const float* b = kTableB;
    const float k = kTableK;
    const int n = kTableCount;
    const ArithmeticRow rows[] = {
        {"Add",
         [=](auto& p, float* d) { p.Add(d, a, b, n); },
         {8.0f, 1.0f, -1.5f, 10.25f, 0.0f, -2.0f, 2.0f, 4.5f, -5.0f}},
        {"Sub a-b",
         [=](auto& p, float* d) { p.Sub(d, a, b, n); },
         {4.0f, -7.0f, 2.5f, 9.75f, -16.0f, 6.0f, 0.0f, 3.5f, 3.0f}},
        {"Mul",
         [=](auto& p, float* d) { p.Mul(d, a, b, n); },
         {12.0f, -12.0f, -1.0f, 2.5f, -64.0f, -8.0f, 1.0f, 2.0f, 4.0f}},
        {"Div a/b",
         [=](auto& p, float* d) { p.Div(d, a, b, n); },
         {3.0f, -0.75f, -0.25f, 40.0f, -1.0f, -0.5f, 1.0f, 8.0f, 0.25f}},
        {"AddScalar k+src",
         [=](auto& p, float* d) { p.AddScalar(d, k, a, n); },
         {9.0f, 0.0f, 3.5f, 13.0f, -5.0f, 5.0f, 4.0f, 7.0f, 2.0f}},
        {"ScalarSub k-src",
         [=](auto& p, float* d) { p.ScalarSub(d, k, a, n); },
         {-3.0f, 6.0f, 2.5f, -7.0f, 11.0f, 1.0f, 2.0f, -1.0f, 4.0f}},
        {"MulScalar",
         [=](auto& p, float* d) { p.MulScalar(d, k, a, n); },
         {18.0f, -9.0f, 1.5f, 30.0f, -24.0f, 6.0f, 3.0f, 12.0f, -3.0f}},
        {"ScalarDiv k/src",
         [=](auto& p, float* d) { p.ScalarDiv(d, k, b, n); },
         {1.5f, 0.75f, -1.5f, 12.0f, 0.375f, -0.75f, 3.0f, 6.0f, -0.75f}},
        {"MulAdd dst+a*b",
         [=](auto& p, float* d) { p.MulAdd(d, a, b, n); },
         {13.0f, -11.0f, 0.0f, 3.5f, -63.0f, -7.0f, 2.0f, 3.0f, 5.0f}},
        {"MulSub dst-a*b",
         [=](auto& p, float* d) { p.MulSub(d, a, b, n); },
         {-11.0f, 13.0f, 2.0f, -1.5f, 65.0f, 9.0f, 0.0f, -1.0f, -3.0f}},
        {"MulAddScalar dst+src*k",
         [=](auto& p, float* d) { p.MulAddScalar(d, k, a, n); },
         {19.0f, -8.0f, 2.5f, 31.0f, -23.0f, 7.0f, 4.0f, 13.0f, -2.0f}},
        {"MulSubScalar dst-src*k",
         [=](auto& p, float* d) { p.MulSubScalar(d, k, a, n); },
         {-17.0f, 10.0f, -0.5f, -29.0f, 25.0f, -5.0f, -2.0f, -11.0f, 4.0f}},
        {"Clamp [-2,5]",
         [=](auto& p, float* d) { p.Clamp(d, a, -2.0f, 5.0f, n); },
         {5.0f, -2.0f, 0.5f, 5.0f, -2.0f, 2.0f, 1.0f, 4.0f, -1.0f}},
        {"ClampMin 0",
         [=](auto& p, float* d) { p.ClampMin(d, a, 0.0f, n); },
         {6.0f, 0.0f, 0.5f, 10.0f, 0.0f, 2.0f, 1.0f, 4.0f, 0.0f}},
        {"ClampMax 1",
         [=](auto& p, float* d) { p.ClampMax(d, a, 1.0f, n); },
         {1.0f, -3.0f, 0.5f, 1.0f, -8.0f, 1.0f, 1.0f, 1.0f, -1.0f}},
    };
    for (const auto& v : AllSimdVariants()) {
        for (const ArithmeticRow& row : rows) {
            for (int offset = 0; offset < kOffsets; ++offset) {
                ZelTest::AlignedBlock<float> dst(kTableCount + kOffsets + 1);
                for (size_t i = 0; i < dst.size(); ++i) dst[i] = std::bit_cast<float>(kSentinel);
                for (int i = 0; i < kTableCount; ++i) dst[offset + i] = 1.0f;
                row.run(*v.processor, dst.data() + offset);
                EXPECT_EQ(Bits(dst.data() + offset, kTableCount), Bits(row.expected, kTableCount))
                    << row.name << " " << v.name << " offset " << offset;
                EXPECT_EQ(Bits(dst[offset + kTableCount]), kSentinel) << row.name << " " << v.name;
            }
        }
    }
}

TEST(SimdElementwise, ComparesMatchHandWorkedResults) {
    // Against k = 1: one element equal to k, the others on either side.
    using Flags = std::vector<uint8_t>;
    const Flags greater = {1, 0, 0, 1, 0, 1, 0, 1, 0};
    const Flags greaterEqual = {1, 0, 0, 1, 0, 1, 1, 1, 0};
    const Flags less = {0, 1, 1, 0, 1, 0, 0, 0, 1};
    const Flags lessEqual = {0, 1, 1, 0, 1, 0, 1, 0, 1};
    const float* s = kTableA;
    const int n = kTableCount;
    struct Row {
        const char* name;
        std::function<void(const ZelSIMDProcessor&, uint8_t*)> run;
        Flags flags;
        bool bitForm;  // bit 3 OR-ed into bytes that hold 0x01
    };
    const Row rows[] = {
        {"CmpGreater", [=](auto& p, uint8_t* d) { p.CmpGreater(d, s, 1.0f, n); }, greater, false},
        {"CmpGreaterEqual", [=](auto& p, uint8_t* d) { p.CmpGreaterEqual(d, s, 1.0f, n); },
         greaterEqual, false},
        {"CmpLess", [=](auto& p, uint8_t* d) { p.CmpLess(d, s, 1.0f, n); }, less, false},
        {"CmpLessEqual", [=](auto& p, uint8_t* d) { p.CmpLessEqual(d, s, 1.0f, n); }, lessEqual,
         false},
        {"CmpGreaterBit", [=](auto& p, uint8_t* d) { p.CmpGreaterBit(d, 3, s, 1.0f, n); }, greater,
         true},
        {"CmpGreaterEqualBit", [=](auto& p, uint8_t* d) { p.CmpGreaterEqualBit(d, 3, s, 1.0f, n); },
         greaterEqual, true},
        {"CmpLessBit", [=](auto& p, uint8_t* d) { p.CmpLessBit(d, 3, s, 1.0f, n); }, less, true},
        {"CmpLessEqualBit", [=](auto& p, uint8_t* d) { p.CmpLessEqualBit(d, 3, s, 1.0f, n); },
         lessEqual, true},
    };
    for (const auto& v : AllSimdVariants()) {
        for (const Row& row : rows) {
            Flags expected(row.flags);
            if (row.bitForm)
                for (uint8_t& f : expected) f = static_cast<uint8_t>(0x01 | (f << 3));
            Flags dst(kTableCount + 1, row.bitForm ? 0x01 : 0xEE);
            row.run(*v.processor, dst.data());
            EXPECT_EQ(Flags(dst.begin(), dst.begin() + kTableCount), expected)
                << row.name << " " << v.name;
            EXPECT_EQ(dst[kTableCount], row.bitForm ? 0x01 : 0xEE) << row.name << " " << v.name;
        }
    }
}

}  // namespace
