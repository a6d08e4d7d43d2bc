#include "Math/ZelSIMDSSE.h"

#include <emmintrin.h>

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "Math/FloatMatrix.h"
#include "Math/FloatVector.h"
#include "Math/ZelSIMDKernels.h"

namespace Zel {

namespace K = SIMDKernels;

namespace {

// Operands of the element-wise skeleton: an array gives element i or the four from i; a constant
// gives itself.
struct Array {
    const float* p;
    float At(int i) const { return p[i]; }
    __m128 Load(int i) const { return _mm_loadu_ps(p + i); }
};

struct Constant {
    float k;
    float At(int) const { return k; }
    __m128 Load(int) const { return _mm_set1_ps(k); }
};

// dst[i] = op(x[i], ...): single elements up to dst's first 16-byte boundary, then eight per
// step with aligned stores, then four, then single ones. op gives a vector lane the same bits as
// a single element, so no result depends on which path handles it. Loads are unaligned: the
// sources need not share dst's alignment. Each step loads its elements before storing them, so
// dst may be one of the sources.
template <class Op, class... X>
void MapN(float* dst, int count, Op op, X... x) {
    if (count <= 0)
        return;
    const auto toBoundary =
        static_cast<int>((0 - (reinterpret_cast<std::uintptr_t>(dst) >> 2)) & 3);
    const int head = std::min(count, toBoundary);
    int i = 0;
    for (; i < head; ++i) dst[i] = op(x.At(i)...);
    for (; i + 8 <= count; i += 8) {
        _mm_store_ps(dst + i, op(x.Load(i)...));
        _mm_store_ps(dst + i + 4, op(x.Load(i + 4)...));
    }
    if (i + 4 <= count) {
        _mm_storeu_ps(dst + i, op(x.Load(i)...));
        i += 4;
    }
    for (; i < count; ++i) dst[i] = op(x.At(i)...);
}

template <class X, class Y, class Op>
void Map(float* dst, X x, Y y, int count, Op op) {
    MapN(dst, count, op, x, y);
}

// Element operations for Map, written once for floats and vectors.
constexpr auto kAdd = [](auto a, auto b) { return a + b; };
constexpr auto kSub = [](auto a, auto b) { return a - b; };
constexpr auto kMul = [](auto a, auto b) { return a * b; };
constexpr auto kDiv = [](auto a, auto b) { return a / b; };
constexpr auto kFirst = [](auto a, auto) { return a; };

// The vector forms below pick exactly what the scalar formulas pick, NaN and inverted bounds
// included: MINPS/MAXPS answer their second operand when the comparison fails.
struct ClampOp {
    float lo, hi;
    float operator()(float v, float) const { return K::Clamp(v, lo, hi); }
    __m128 operator()(__m128 v, __m128) const {
        const __m128 lower = _mm_set1_ps(lo);
        const __m128 below = _mm_cmplt_ps(v, lower);
        const __m128 upper = _mm_min_ps(_mm_set1_ps(hi), v);  // v > hi ? hi : v
        return _mm_or_ps(_mm_and_ps(below, lower), _mm_andnot_ps(below, upper));
    }
};

struct ClampMinOp {
    float lo;
    float operator()(float v, float) const { return v < lo ? lo : v; }
    __m128 operator()(__m128 v, __m128) const { return _mm_max_ps(_mm_set1_ps(lo), v); }
};

struct ClampMaxOp {
    float hi;
    float operator()(float v, float) const { return v > hi ? hi : v; }
    __m128 operator()(__m128 v, __m128) const { return _mm_min_ps(_mm_set1_ps(hi), v); }
};

struct NegateOp {
    float operator()(float v, float) const {
        return std::bit_cast<float>(std::bit_cast<uint32_t>(v) ^ 0x80000000u);
    }
    __m128 operator()(__m128 v, __m128) const { return _mm_xor_ps(v, _mm_set1_ps(-0.0f)); }
};

float HorizontalSum(__m128 v) {
    alignas(16) float lane[4];
    _mm_store_ps(lane, v);
    return (lane[0] + lane[1]) + (lane[2] + lane[3]);
}

// Twelve products of four back-to-back 3-float records, as loaded in three vectors, summed per
// record: (x + y) + z.
__m128 SumTriples(__m128 p0, __m128 p1, __m128 p2) {
    const __m128 u = _mm_shuffle_ps(p1, p2, _MM_SHUFFLE(1, 1, 2, 2));
    const __m128 xs = _mm_shuffle_ps(p0, u, _MM_SHUFFLE(2, 0, 3, 0));
    const __m128 ys =
        _mm_shuffle_ps(_mm_shuffle_ps(p0, p1, _MM_SHUFFLE(0, 0, 1, 1)),
                       _mm_shuffle_ps(p1, p2, _MM_SHUFFLE(2, 2, 3, 3)), _MM_SHUFFLE(2, 0, 2, 0));
    const __m128 zs =
        _mm_shuffle_ps(_mm_shuffle_ps(p0, p1, _MM_SHUFFLE(1, 1, 2, 2)),
                       _mm_shuffle_ps(p2, p2, _MM_SHUFFLE(3, 3, 0, 0)), _MM_SHUFFLE(2, 0, 2, 0));
    return (xs + ys) + zs;
}

// Four 4-float records of products summed per record: ((x + y) + z) + w.
__m128 SumQuads(__m128 p0, __m128 p1, __m128 p2, __m128 p3) {
    _MM_TRANSPOSE4_PS(p0, p1, p2, p3);
    return ((p0 + p1) + p2) + p3;
}

// The constant 3-vector repeated so that it lines up with four records loaded as three vectors.
struct Pattern3 {
    __m128 c0, c1, c2;
    explicit Pattern3(float x, float y, float z)
        : c0(_mm_setr_ps(x, y, z, x)), c1(_mm_setr_ps(y, z, x, y)), c2(_mm_setr_ps(z, x, y, z)) {}
};

// Byte n holds 1 when bit n of a four-bit compare mask is set.
constexpr uint32_t SpreadBits(int mask) {
    uint32_t word = 0;
    for (int n = 0; n < 4; ++n)
        if (mask & (1 << n))
            word |= 1u << (8 * n);
    return word;
}

constexpr uint32_t kSpread[16] = {
    SpreadBits(0),  SpreadBits(1),  SpreadBits(2),  SpreadBits(3),  SpreadBits(4),  SpreadBits(5),
    SpreadBits(6),  SpreadBits(7),  SpreadBits(8),  SpreadBits(9),  SpreadBits(10), SpreadBits(11),
    SpreadBits(12), SpreadBits(13), SpreadBits(14), SpreadBits(15),
};

// The ordered IEEE comparisons (false for NaN), for floats and, as lane masks, for vectors.
constexpr auto kGreater = [](auto a, auto b) { return a > b; };
constexpr auto kGreaterEqual = [](auto a, auto b) { return a >= b; };
constexpr auto kLess = [](auto a, auto b) { return a < b; };
constexpr auto kLessEqual = [](auto a, auto b) { return a <= b; };

// dst[i] = flag, or dst[i] |= flag << bit when keep is set. Sixteen compare masks pack into
// sixteen bytes and one store; four more become four bytes and one 4-byte store. A bit of 8 or
// more ORs nothing in.
template <class Cmp>
void Compare(uint8_t* dst, const float* src, float k, int count, unsigned bit, bool keep, Cmp cmp) {
    if (bit > 7)
        return;
    const __m128 kv = _mm_set1_ps(k);
    const __m128i flag = _mm_set1_epi8(static_cast<char>(1u << bit));
    auto mask = [&](int i) { return reinterpret_cast<__m128i>(cmp(_mm_loadu_ps(src + i), kv)); };
    int i = 0;
    for (; i + 16 <= count; i += 16) {
        const __m128i words = _mm_packs_epi16(_mm_packs_epi32(mask(i), mask(i + 4)),
                                              _mm_packs_epi32(mask(i + 8), mask(i + 12)));
        __m128i bytes = _mm_and_si128(words, flag);
        auto* out = reinterpret_cast<__m128i*>(dst + i);
        if (keep)
            bytes = _mm_or_si128(bytes, _mm_loadu_si128(out));
        _mm_storeu_si128(out, bytes);
    }
    for (; i + 4 <= count; i += 4) {
        uint32_t word = kSpread[_mm_movemask_ps(reinterpret_cast<__m128>(mask(i)))] << bit;
        if (keep) {
            uint32_t old;
            std::memcpy(&old, dst + i, 4);
            word |= old;
        }
        std::memcpy(dst + i, &word, 4);
    }
    for (; i < count; ++i) {
        const auto flagBit = static_cast<uint8_t>(cmp(src[i], k) << bit);
        dst[i] = keep ? static_cast<uint8_t>(dst[i] | flagBit) : flagBit;
    }
}

// Vector lanes meet the elements out of order; they agree with the scalar rule on every value,
// but when the extreme found is a zero, its sign must be that of the first zero in order.
float FirstZero(float extreme, const float* p, std::ptrdiff_t stride, int count) {
    if (extreme != 0.0f)
        return extreme;
    for (int i = 0; i < count; ++i)
        if (p[i * stride] == 0.0f)
            return p[i * stride];
    return extreme;
}

// Folds lane extremes of a vector into scalar ones with the scalar rule.
void FoldLanes(__m128 lo4, __m128 hi4, const int* lanes, int laneCount, float& lo, float& hi) {
    alignas(16) float l[4];
    alignas(16) float h[4];
    _mm_store_ps(l, lo4);
    _mm_store_ps(h, hi4);
    for (int n = 0; n < laneCount; ++n) {
        if (l[lanes[n]] < lo)
            lo = l[lanes[n]];
        if (h[lanes[n]] > hi)
            hi = h[lanes[n]];
    }
}

// Sums of single-precision products, four lanes wide, over exactly n elements.
struct VectorKernel {
    static float Dot(const float* a, const float* b, int n) {
        __m128 acc = _mm_setzero_ps();
        int j = 0;
        for (; j + 4 <= n; j += 4) acc += _mm_loadu_ps(a + j) * _mm_loadu_ps(b + j);
        float sum = HorizontalSum(acc);
        for (; j < n; ++j) sum += a[j] * b[j];
        return sum;
    }
    static void Scale(float* v, const float* row, const float* diag, int n) {
        int j = 0;
        for (; j + 4 <= n; j += 4)
            _mm_storeu_ps(v + j, _mm_loadu_ps(row + j) * _mm_loadu_ps(diag + j));
        for (; j < n; ++j) v[j] = row[j] * diag[j];
    }
};

// out[j] (=, +=, -=) sum over k < inner of coef[k * coefStride] * b[k * cols + j], for j < cols:
// four outputs at a time from whole rows of b, each coefficient broadcast.
template <K::Store mode>
void CombineRows(float* out, const float* coef, std::ptrdiff_t coefStride, int inner,
                 const float* b, int cols) {
    const std::ptrdiff_t stride = cols;
    int j = 0;
    for (; j + 4 <= cols; j += 4) {
        __m128 acc = _mm_setzero_ps();
        for (int k = 0; k < inner; ++k)
            acc += _mm_set1_ps(coef[k * coefStride]) * _mm_loadu_ps(b + k * stride + j);
        if constexpr (mode == K::Store::Add)
            acc = _mm_loadu_ps(out + j) + acc;
        if constexpr (mode == K::Store::Sub)
            acc = _mm_loadu_ps(out + j) - acc;
        _mm_storeu_ps(out + j, acc);
    }
    for (; j < cols; ++j) {
        float sum = 0.0f;
        for (int k = 0; k < inner; ++k) sum += coef[k * coefStride] * b[k * stride + j];
        K::Put<mode>(out[j], sum);
    }
}

template <K::Store mode>
void MatrixVector(FloatVector& dst, const FloatMatrix& m, const FloatVector& v) {
    const int rows = m.Rows();
    const int cols = m.Cols();
    const float* md = m.Data();
    float* d = dst.Data();
    for (int i = 0; i < rows; ++i)
        K::Put<mode>(d[i],
                     VectorKernel::Dot(md + static_cast<std::ptrdiff_t>(i) * cols, v.Data(), cols));
}

// Two frames per step: each speaker's volume for an even and the following odd frame lie in the
// lanes, and both advance by twice the per-frame step.
template <int kSpeakers, int kChannels>
void Mix(float* mix, const float* samples, const float* last, const float* current,
         const int (&source)[kSpeakers]) {
    constexpr int kLanes = 2 * kSpeakers;
    constexpr int kVectors = kLanes / 4;
    alignas(16) float volume0[kLanes];
    alignas(16) float step0[kLanes];
    for (int s = 0; s < kSpeakers; ++s) {
        const float step = (current[s] - last[s]) * K::kRampPerFrame;
        volume0[s] = last[s];
        volume0[kSpeakers + s] = last[s] + step;
        step0[s] = step0[kSpeakers + s] = 2.0f * step;
    }
    __m128 volume[kVectors];
    __m128 step[kVectors];
    for (int q = 0; q < kVectors; ++q) {
        volume[q] = _mm_load_ps(volume0 + 4 * q);
        step[q] = _mm_load_ps(step0 + 4 * q);
    }
    for (int frame = 0; frame < K::kMixFrames; frame += 2) {
        const float* in = samples + frame * kChannels;
        alignas(16) float input[kLanes];
        for (int s = 0; s < kSpeakers; ++s) {
            input[s] = in[source[s]];
            input[kSpeakers + s] = in[kChannels + source[s]];
        }
        float* out = mix + frame * kSpeakers;
        for (int q = 0; q < kVectors; ++q) {
            _mm_storeu_ps(out + 4 * q,
                          _mm_loadu_ps(out + 4 * q) + _mm_load_ps(input + 4 * q) * volume[q]);
            volume[q] += step[q];
        }
    }
}

}  // namespace

const char* ZelSIMD_SSE::GetName() const {
    return "MMX & SSE";
}

void ZelSIMD_SSE::Add(float* dst, const float* a, const float* b, int count) const {
    Map(dst, Array{a}, Array{b}, count, kAdd);
}

void ZelSIMD_SSE::AddScalar(float* dst, float k, const float* src, int count) const {
    Map(dst, Constant{k}, Array{src}, count, kAdd);
}

void ZelSIMD_SSE::Sub(float* dst, const float* a, const float* b, int count) const {
    Map(dst, Array{a}, Array{b}, count, kSub);
}

void ZelSIMD_SSE::ScalarSub(float* dst, float k, const float* src, int count) const {
    Map(dst, Constant{k}, Array{src}, count, kSub);
}

void ZelSIMD_SSE::Mul(float* dst, const float* a, const float* b, int count) const {
    Map(dst, Array{a}, Array{b}, count, kMul);
}

void ZelSIMD_SSE::MulScalar(float* dst, float k, const float* src, int count) const {
    Map(dst, Array{src}, Constant{k}, count, kMul);
}

void ZelSIMD_SSE::Div(float* dst, const float* a, const float* b, int count) const {
    Map(dst, Array{a}, Array{b}, count, kDiv);
}

void ZelSIMD_SSE::ScalarDiv(float* dst, float k, const float* src, int count) const {
    Map(dst, Constant{k}, Array{src}, count, kDiv);
}

// Single precision throughout, as every step of this variant: the product is rounded before the
// sum, in the vector lanes as in the single elements.
void ZelSIMD_SSE::MulAdd(float* dst, const float* a, const float* b, int count) const {
    MapN(
        dst, count, [](auto d, auto x, auto y) { return d + x * y; }, Array{dst}, Array{a},
        Array{b});
}

void ZelSIMD_SSE::MulAddScalar(float* dst, float k, const float* src, int count) const {
    Map(dst, Array{dst}, Array{src}, count, [k](auto d, auto s) { return d + s * k; });
}

void ZelSIMD_SSE::MulSub(float* dst, const float* a, const float* b, int count) const {
    MapN(
        dst, count, [](auto d, auto x, auto y) { return d - x * y; }, Array{dst}, Array{a},
        Array{b});
}

void ZelSIMD_SSE::MulSubScalar(float* dst, float k, const float* src, int count) const {
    MulAddScalar(dst, -k, src, count);
}

void ZelSIMD_SSE::DotArrays(float* dst, const float* a, const float* b, int count) const {
    if (count < 4) {
        float sum = 0.0f;
        for (int i = 0; i < count; ++i) sum += a[i] * b[i];
        *dst = sum;
        return;
    }
    __m128 acc = _mm_setzero_ps();
    int i = 0;
    for (; i + 4 <= count; i += 4) acc += _mm_loadu_ps(a + i) * _mm_loadu_ps(b + i);
    alignas(16) float partial[4];
    _mm_store_ps(partial, acc);
    for (; i < count; ++i) partial[i & 3] += a[i] * b[i];
    *dst = (partial[0] + partial[1]) + (partial[2] + partial[3]);
}

void ZelSIMD_SSE::DotPairs3(float* dst, const SIMDVec3* a, const SIMDVec3* b, int count) const {
    const float* fa = &a->x;
    const float* fb = &b->x;
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        const float* pa = fa + 3 * i;
        const float* pb = fb + 3 * i;
        _mm_storeu_ps(dst + i, SumTriples(_mm_loadu_ps(pa) * _mm_loadu_ps(pb),
                                          _mm_loadu_ps(pa + 4) * _mm_loadu_ps(pb + 4),
                                          _mm_loadu_ps(pa + 8) * _mm_loadu_ps(pb + 8)));
    }
    for (; i < count; ++i) dst[i] = (a[i].x * b[i].x + a[i].y * b[i].y) + a[i].z * b[i].z;
}

void ZelSIMD_SSE::DotConst4(float* dst, const SIMDVec4* v, const SIMDVec4* a, int count) const {
    const __m128 c = _mm_loadu_ps(&v->x);
    const float* fa = &a->x;
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        const float* p = fa + 4 * i;
        _mm_storeu_ps(dst + i, SumQuads(_mm_loadu_ps(p) * c, _mm_loadu_ps(p + 4) * c,
                                        _mm_loadu_ps(p + 8) * c, _mm_loadu_ps(p + 12) * c));
    }
    for (; i < count; ++i)
        dst[i] = ((v->x * a[i].x + v->y * a[i].y) + v->z * a[i].z) + v->w * a[i].w;
}

void ZelSIMD_SSE::PlaneDistances(float* dst, const SIMDVec4* p, const SIMDVec3* pts,
                                 int count) const {
    const Pattern3 c(p->x, p->y, p->z);
    const __m128 w = _mm_set1_ps(p->w);
    const float* f = &pts->x;
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        const float* q = f + 3 * i;
        _mm_storeu_ps(dst + i, SumTriples(_mm_loadu_ps(q) * c.c0, _mm_loadu_ps(q + 4) * c.c1,
                                          _mm_loadu_ps(q + 8) * c.c2) +
                                   w);
    }
    for (; i < count; ++i) dst[i] = ((p->x * pts[i].x + p->y * pts[i].y) + p->z * pts[i].z) + p->w;
}

void ZelSIMD_SSE::PointPlaneDistances(float* dst, const SIMDVec3* pt, const SIMDVec4* planes,
                                      int count) const {
    const __m128 c = _mm_setr_ps(pt->x, pt->y, pt->z, 1.0f);
    const float* f = &planes->x;
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        const float* q = f + 4 * i;
        _mm_storeu_ps(dst + i, SumQuads(_mm_loadu_ps(q) * c, _mm_loadu_ps(q + 4) * c,
                                        _mm_loadu_ps(q + 8) * c, _mm_loadu_ps(q + 12) * c));
    }
    for (; i < count; ++i)
        dst[i] = ((planes[i].x * pt->x + planes[i].y * pt->y) + planes[i].z * pt->z) + planes[i].w;
}

void ZelSIMD_SSE::DotConst3(float* dst, const SIMDVec3* v, const SIMDVec3* a, int count) const {
    const Pattern3 c(v->x, v->y, v->z);
    const float* f = &a->x;
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        const float* q = f + 3 * i;
        _mm_storeu_ps(dst + i, SumTriples(_mm_loadu_ps(q) * c.c0, _mm_loadu_ps(q + 4) * c.c1,
                                          _mm_loadu_ps(q + 8) * c.c2));
    }
    for (; i < count; ++i) dst[i] = (a[i].x * v->x + a[i].y * v->y) + a[i].z * v->z;
}

void ZelSIMD_SSE::CmpGreaterBit(uint8_t* dst, uint8_t bit, const float* src, float k,
                                int count) const {
    Compare(dst, src, k, count, bit, true, kGreater);
}

void ZelSIMD_SSE::CmpGreater(uint8_t* dst, const float* src, float k, int count) const {
    Compare(dst, src, k, count, 0, false, kGreater);
}

void ZelSIMD_SSE::CmpGreaterEqualBit(uint8_t* dst, uint8_t bit, const float* src, float k,
                                     int count) const {
    Compare(dst, src, k, count, bit, true, kGreaterEqual);
}

void ZelSIMD_SSE::CmpGreaterEqual(uint8_t* dst, const float* src, float k, int count) const {
    Compare(dst, src, k, count, 0, false, kGreaterEqual);
}

void ZelSIMD_SSE::CmpLessBit(uint8_t* dst, uint8_t bit, const float* src, float k,
                             int count) const {
    Compare(dst, src, k, count, bit, true, kLess);
}

void ZelSIMD_SSE::CmpLess(uint8_t* dst, const float* src, float k, int count) const {
    Compare(dst, src, k, count, 0, false, kLess);
}

void ZelSIMD_SSE::CmpLessEqualBit(uint8_t* dst, uint8_t bit, const float* src, float k,
                                  int count) const {
    Compare(dst, src, k, count, bit, true, kLessEqual);
}

void ZelSIMD_SSE::CmpLessEqual(uint8_t* dst, const float* src, float k, int count) const {
    Compare(dst, src, k, count, 0, false, kLessEqual);
}

void ZelSIMD_SSE::MinMax3(SIMDVec3* min, SIMDVec3* max, const SIMDVec3* src, int count) const {
    float lo[3] = {K::kMinMaxStart, K::kMinMaxStart, K::kMinMaxStart};
    float hi[3] = {-K::kMinMaxStart, -K::kMinMaxStart, -K::kMinMaxStart};
    const float* f = &src->x;
    int i = 0;
    if (count >= 4) {
        // Four records load as three vectors whose lanes hold x y z x | y z x y | z x y z.
        __m128 lo4[3];
        __m128 hi4[3];
        for (int q = 0; q < 3; ++q) {
            lo4[q] = _mm_set1_ps(K::kMinMaxStart);
            hi4[q] = _mm_set1_ps(-K::kMinMaxStart);
        }
        for (; i + 4 <= count; i += 4) {
            const float* q = f + 3 * i;
            const __m128 v0 = _mm_loadu_ps(q);
            const __m128 v1 = _mm_loadu_ps(q + 4);
            const __m128 v2 = _mm_loadu_ps(q + 8);
            lo4[0] = _mm_min_ps(v0, lo4[0]);
            hi4[0] = _mm_max_ps(v0, hi4[0]);
            lo4[1] = _mm_min_ps(v1, lo4[1]);
            hi4[1] = _mm_max_ps(v1, hi4[1]);
            lo4[2] = _mm_min_ps(v2, lo4[2]);
            hi4[2] = _mm_max_ps(v2, hi4[2]);
        }
        static constexpr int kLanes[3][3][2] = {
            {{0, 3}, {1, 0}, {2, 0}},  // vector 0: x in lanes 0 and 3, y in 1, z in 2
            {{2, 0}, {0, 3}, {1, 0}},  // vector 1: x in 2, y in 0 and 3, z in 1
            {{1, 0}, {2, 0}, {0, 3}},  // vector 2: x in 1, y in 2, z in 0 and 3
        };
        for (int q = 0; q < 3; ++q)
            for (int c = 0; c < 3; ++c)
                FoldLanes(lo4[q], hi4[q], kLanes[q][c], kLanes[q][c][1] ? 2 : 1, lo[c], hi[c]);
    }
    for (; i < count; ++i)
        for (int c = 0; c < 3; ++c) K::MinMaxStep(f[3 * i + c], lo[c], hi[c]);
    *min = {FirstZero(lo[0], f, 3, count), FirstZero(lo[1], f + 1, 3, count),
            FirstZero(lo[2], f + 2, 3, count)};
    *max = {FirstZero(hi[0], f, 3, count), FirstZero(hi[1], f + 1, 3, count),
            FirstZero(hi[2], f + 2, 3, count)};
}

void ZelSIMD_SSE::MinMax2(float* min, float* max, const float* src, int count) const {
    float lo[2] = {K::kMinMaxStart, K::kMinMaxStart};
    float hi[2] = {-K::kMinMaxStart, -K::kMinMaxStart};
    int i = 0;
    if (count >= 2) {
        // Two pairs per vector: x y x y.
        __m128 lo4 = _mm_set1_ps(K::kMinMaxStart);
        __m128 hi4 = _mm_set1_ps(-K::kMinMaxStart);
        for (; i + 2 <= count; i += 2) {
            const __m128 v = _mm_loadu_ps(src + 2 * i);
            lo4 = _mm_min_ps(v, lo4);
            hi4 = _mm_max_ps(v, hi4);
        }
        static constexpr int kLanes[2][2] = {{0, 2}, {1, 3}};
        for (int c = 0; c < 2; ++c) FoldLanes(lo4, hi4, kLanes[c], 2, lo[c], hi[c]);
    }
    for (; i < count; ++i)
        for (int c = 0; c < 2; ++c) K::MinMaxStep(src[2 * i + c], lo[c], hi[c]);
    for (int c = 0; c < 2; ++c) {
        min[c] = FirstZero(lo[c], src + c, 2, count);
        max[c] = FirstZero(hi[c], src + c, 2, count);
    }
}

void ZelSIMD_SSE::MinMax(float* min, float* max, const float* src, int count) const {
    float lo = K::kMinMaxStart;
    float hi = -K::kMinMaxStart;
    int i = 0;
    if (count >= 8) {
        __m128 lo0 = _mm_set1_ps(lo), lo1 = lo0;
        __m128 hi0 = _mm_set1_ps(hi), hi1 = hi0;
        for (; i + 8 <= count; i += 8) {
            const __m128 v0 = _mm_loadu_ps(src + i);
            const __m128 v1 = _mm_loadu_ps(src + i + 4);
            lo0 = _mm_min_ps(v0, lo0);
            hi0 = _mm_max_ps(v0, hi0);
            lo1 = _mm_min_ps(v1, lo1);
            hi1 = _mm_max_ps(v1, hi1);
        }
        static constexpr int kLanes[4] = {0, 1, 2, 3};
        FoldLanes(_mm_min_ps(lo0, lo1), _mm_max_ps(hi0, hi1), kLanes, 4, lo, hi);
    }
    for (; i < count; ++i) K::MinMaxStep(src[i], lo, hi);
    *min = FirstZero(lo, src, 1, count);
    *max = FirstZero(hi, src, 1, count);
}

void ZelSIMD_SSE::Clamp(float* dst, const float* src, float min, float max, int count) const {
    Map(dst, Array{src}, Constant{0.0f}, count, ClampOp{min, max});
}

void ZelSIMD_SSE::ClampMin(float* dst, const float* src, float min, int count) const {
    Map(dst, Array{src}, Constant{0.0f}, count, ClampMinOp{min});
}

void ZelSIMD_SSE::ClampMax(float* dst, const float* src, float max, int count) const {
    Map(dst, Array{src}, Constant{0.0f}, count, ClampMaxOp{max});
}

void ZelSIMD_SSE::ZeroAligned(float* dst, int count) const {
    Map(dst, Constant{0.0f}, Constant{0.0f}, count, kFirst);
}

void ZelSIMD_SSE::NegateAligned(float* dst, int count) const {
    Map(dst, Array{dst}, Constant{0.0f}, count, NegateOp{});
}

void ZelSIMD_SSE::CopyAligned(float* dst, const float* src, int count) const {
    Map(dst, Array{src}, Constant{0.0f}, count, kFirst);
}

void ZelSIMD_SSE::AddAligned(float* dst, const float* a, const float* b, int count) const {
    Map(dst, Array{a}, Array{b}, count, kAdd);
}

void ZelSIMD_SSE::SubAligned(float* dst, const float* a, const float* b, int count) const {
    Map(dst, Array{a}, Array{b}, count, kSub);
}

void ZelSIMD_SSE::MulScalarAligned(float* dst, const float* src, float k, int count) const {
    Map(dst, Array{src}, Constant{k}, count, kMul);
}

void ZelSIMD_SSE::AddInPlaceAligned(float* dst, const float* src, int count) const {
    Map(dst, Array{dst}, Array{src}, count, kAdd);
}

void ZelSIMD_SSE::SubInPlaceAligned(float* dst, const float* src, int count) const {
    Map(dst, Array{dst}, Array{src}, count, kSub);
}

void ZelSIMD_SSE::MulScalarInPlaceAligned(float* dst, float k, int count) const {
    Map(dst, Array{dst}, Constant{k}, count, kMul);
}

void ZelSIMD_SSE::MatrixVectorMul(FloatVector& dst, const FloatMatrix& m,
                                  const FloatVector& v) const {
    MatrixVector<K::Store::Set>(dst, m, v);
}

void ZelSIMD_SSE::MatrixVectorMulAdd(FloatVector& dst, const FloatMatrix& m,
                                     const FloatVector& v) const {
    MatrixVector<K::Store::Add>(dst, m, v);
}

void ZelSIMD_SSE::MatrixVectorMulSub(FloatVector& dst, const FloatMatrix& m,
                                     const FloatVector& v) const {
    MatrixVector<K::Store::Sub>(dst, m, v);
}

void ZelSIMD_SSE::MatrixTransposedVectorMul(FloatVector& dst, const FloatMatrix& m,
                                            const FloatVector& v) const {
    CombineRows<K::Store::Set>(dst.Data(), v.Data(), 1, m.Rows(), m.Data(), m.Cols());
}

void ZelSIMD_SSE::MatrixTransposedVectorMulAdd(FloatVector& dst, const FloatMatrix& m,
                                               const FloatVector& v) const {
    CombineRows<K::Store::Add>(dst.Data(), v.Data(), 1, m.Rows(), m.Data(), m.Cols());
}

void ZelSIMD_SSE::MatrixTransposedVectorMulSub(FloatVector& dst, const FloatMatrix& m,
                                               const FloatVector& v) const {
    CombineRows<K::Store::Sub>(dst.Data(), v.Data(), 1, m.Rows(), m.Data(), m.Cols());
}

void ZelSIMD_SSE::MatrixMatrixMul(FloatMatrix& dst, const FloatMatrix& a,
                                  const FloatMatrix& b) const {
    const std::ptrdiff_t inner = a.Cols();
    const std::ptrdiff_t cols = b.Cols();
    for (int i = 0; i < a.Rows(); ++i)
        CombineRows<K::Store::Set>(dst.Data() + i * cols, a.Data() + i * inner, 1, a.Cols(),
                                   b.Data(), b.Cols());
}

void ZelSIMD_SSE::MatrixTransposedMatrixMul(FloatMatrix& dst, const FloatMatrix& a,
                                            const FloatMatrix& b) const {
    const std::ptrdiff_t cols = b.Cols();
    for (int i = 0; i < a.Cols(); ++i)
        CombineRows<K::Store::Set>(dst.Data() + i * cols, a.Data() + i, a.Cols(), a.Rows(),
                                   b.Data(), b.Cols());
}

void ZelSIMD_SSE::SolveLowerTriangular(const FloatMatrix& l, float* x, const float* b, int n,
                                       int skip) const {
    K::SolveLowerTriangular<VectorKernel>(l, x, b, n, skip);
}

void ZelSIMD_SSE::SolveLowerTriangularTransposed(const FloatMatrix& l, float* x, const float* b,
                                                 int n) const {
    const std::ptrdiff_t stride = l.Cols();
    const float* ld = l.Data();
    auto at = [ld, stride](int row, int col) { return ld[row * stride + col]; };
    // Blocks of four unknowns from the bottom: the right-hand sides less what the unknowns below
    // contribute (one row of l per unknown, four columns wide), then the 4 x 4 block itself.
    int m = n;
    for (; m >= 4; m -= 4) {
        __m128 rhs = _mm_loadu_ps(b + m - 4);
        for (int j = m; j < n; ++j)
            rhs -= _mm_set1_ps(x[j]) * _mm_loadu_ps(ld + j * stride + m - 4);
        alignas(16) float r[4];
        _mm_store_ps(r, rhs);
        const float x3 = r[3];
        const float x2 = r[2] - at(m - 1, m - 2) * x3;
        const float x1 = (r[1] - at(m - 2, m - 3) * x2) - at(m - 1, m - 3) * x3;
        const float x0 =
            ((r[0] - at(m - 3, m - 4) * x1) - at(m - 2, m - 4) * x2) - at(m - 1, m - 4) * x3;
        x[m - 1] = x3;
        x[m - 2] = x2;
        x[m - 3] = x1;
        x[m - 4] = x0;
    }
    for (int i = m - 1; i >= 0; --i) {
        float sum = b[i];
        for (int j = i + 1; j < n; ++j) sum -= at(j, i) * x[j];
        x[i] = sum;
    }
}

bool ZelSIMD_SSE::FactorLDLT(FloatMatrix& m, FloatVector& invDiag, int n) const {
    return K::FactorLDLT<VectorKernel>(m, invDiag, n);
}

void ZelSIMD_SSE::MixTwoSpeakerMono(float* mixBuffer, const float* samples, int,
                                    const float* lastVolumes, const float* currentVolumes) const {
    static constexpr int kSource[2] = {0, 0};
    Mix<2, 1>(mixBuffer, samples, lastVolumes, currentVolumes, kSource);
}

void ZelSIMD_SSE::MixTwoSpeakerStereo(float* mixBuffer, const float* samples, int,
                                      const float* lastVolumes, const float* currentVolumes) const {
    static constexpr int kSource[2] = {0, 1};
    Mix<2, 2>(mixBuffer, samples, lastVolumes, currentVolumes, kSource);
}

void ZelSIMD_SSE::MixSixSpeakerMono(float* mixBuffer, const float* samples, int,
                                    const float* lastVolumes, const float* currentVolumes) const {
    static constexpr int kSource[6] = {0, 0, 0, 0, 0, 0};
    Mix<6, 1>(mixBuffer, samples, lastVolumes, currentVolumes, kSource);
}

void ZelSIMD_SSE::MixSixSpeakerStereo(float* mixBuffer, const float* samples, int,
                                      const float* lastVolumes, const float* currentVolumes) const {
    static constexpr int kSource[6] = {0, 1, 0, 0, 0, 1};
    Mix<6, 2>(mixBuffer, samples, lastVolumes, currentVolumes, kSource);
}

int16_t ZelSIMD_SSE::RoundToInt16(float v) {
    if (v != v)
        return 0;
    v = v < -32768.0f ? -32768.0f : (v > 32767.0f ? 32767.0f : v);
    // CVTSS2SI rounds by the current mode: to nearest, ties to even.
    return static_cast<int16_t>(_mm_cvtss_si32(_mm_set_ss(v)));
}

void ZelSIMD_SSE::FloatToInt16(int16_t* dst, const float* src, int count) const {
    for (int i = 0; i < count; ++i) dst[i] = RoundToInt16(src[i]);
}

}  // namespace Zel
