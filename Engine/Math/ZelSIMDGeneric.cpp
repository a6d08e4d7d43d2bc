#include "Math/ZelSIMDGeneric.h"

#include <bit>
#include <cstddef>
#include <cstring>

#include "Math/FloatMatrix.h"
#include "Math/FloatVector.h"
#include "Math/ZelSIMDKernels.h"

namespace Zel {

namespace K = SIMDKernels;

namespace {

// Sums len products a[j * sa] * b[j * sb] in double; Len is an int or a compile-time constant.
template <class Len>
double Dot(const float* a, std::ptrdiff_t sa, const float* b, std::ptrdiff_t sb, Len len) {
    double sum = 0.0;
    for (int j = 0; j < static_cast<int>(len); ++j) sum += double(a[j * sa]) * double(b[j * sb]);
    return sum;
}

// The inner sums the shared solve and factorisation skeletons ask for.
struct ScalarKernel {
    static double Dot(const float* a, const float* b, int n) { return ::Zel::Dot(a, 1, b, 1, n); }
    static void Scale(float* v, const float* row, const float* diag, int n) {
        for (int j = 0; j < n; ++j) v[j] = row[j] * diag[j];
    }
};

template <K::Store mode>
void MatrixVector(FloatVector& dst, const FloatMatrix& m, const FloatVector& v) {
    const int rows = m.Rows();
    const std::ptrdiff_t cols = m.Cols();
    const float* md = m.Data();
    const float* vd = v.Data();
    float* d = dst.Data();
    K::DispatchLength(m.Cols(), [&](auto len) {
        for (int i = 0; i < rows; ++i) K::Put<mode>(d[i], Dot(md + i * cols, 1, vd, 1, len));
    });
}

template <K::Store mode>
void MatrixTransposedVector(FloatVector& dst, const FloatMatrix& m, const FloatVector& v) {
    const int cols = m.Cols();
    const float* md = m.Data();
    const float* vd = v.Data();
    float* d = dst.Data();
    K::DispatchLength(m.Rows(), [&](auto len) {
        for (int j = 0; j < cols; ++j) K::Put<mode>(d[j], Dot(md + j, cols, vd, 1, len));
    });
}

// Adds one voice into a block of frames of `speakers` floats. Each frame takes `channels`
// input values; speaker s takes input value source[s] of its frame.
void Mix(float* mix, const float* samples, const float* last, const float* current, int speakers,
         int channels, const int* source) {
    float volume[6];
    float step[6];
    for (int s = 0; s < speakers; ++s) {
        volume[s] = last[s];
        step[s] = (current[s] - last[s]) * K::kRampPerFrame;
    }
    for (int frame = 0; frame < K::kMixFrames; ++frame) {
        const float* in = samples + frame * channels;
        float* out = mix + frame * speakers;
        for (int s = 0; s < speakers; ++s) {
            out[s] = static_cast<float>(double(out[s]) + double(in[source[s]]) * volume[s]);
            volume[s] += step[s];
        }
    }
}

// Sample-rate conversion by repetition: at 11025 and 22050 Hz each frame (one value mono, two
// stereo) is written 4 or 2 times, at 44100 Hz the numSamples values are copied once; other rates
// write nothing. read(i) gives interleaved input value i as a float.
template <class Read>
void Upsample(float* dst, int numSamples, int rate, int numChannels, Read read) {
    const int copies = rate == 11025 ? 4 : rate == 22050 ? 2 : rate == 44100 ? 1 : 0;
    if (copies == 0 || numSamples <= 0)
        return;
    if (copies == 1) {
        for (int i = 0; i < numSamples; ++i) dst[i] = read(i);
        return;
    }
    const int channels = numChannels == 1 ? 1 : 2;
    for (int frame = 0; frame < numSamples / channels; ++frame)
        for (int c = 0; c < copies; ++c)
            for (int ch = 0; ch < channels; ++ch) *dst++ = read(frame * channels + ch);
}

}  // namespace

const char* ZelSIMD_Generic::GetName() const {
    return "generic code";
}

void ZelSIMD_Generic::Add(float* dst, const float* a, const float* b, int count) const {
    for (int i = 0; i < count; ++i) dst[i] = a[i] + b[i];
}

void ZelSIMD_Generic::AddScalar(float* dst, float k, const float* src, int count) const {
    for (int i = 0; i < count; ++i) dst[i] = k + src[i];
}

void ZelSIMD_Generic::Sub(float* dst, const float* a, const float* b, int count) const {
    for (int i = 0; i < count; ++i) dst[i] = a[i] - b[i];
}

void ZelSIMD_Generic::ScalarSub(float* dst, float k, const float* src, int count) const {
    for (int i = 0; i < count; ++i) dst[i] = k - src[i];
}

void ZelSIMD_Generic::Mul(float* dst, const float* a, const float* b, int count) const {
    for (int i = 0; i < count; ++i) dst[i] = a[i] * b[i];
}

void ZelSIMD_Generic::MulScalar(float* dst, float k, const float* src, int count) const {
    for (int i = 0; i < count; ++i) dst[i] = src[i] * k;
}

void ZelSIMD_Generic::Div(float* dst, const float* a, const float* b, int count) const {
    for (int i = 0; i < count; ++i) dst[i] = a[i] / b[i];
}

void ZelSIMD_Generic::ScalarDiv(float* dst, float k, const float* src, int count) const {
    for (int i = 0; i < count; ++i) dst[i] = k / src[i];
}

void ZelSIMD_Generic::MulAdd(float* dst, const float* a, const float* b, int count) const {
    for (int i = 0; i < count; ++i) dst[i] = float(double(dst[i]) + double(a[i]) * double(b[i]));
}

void ZelSIMD_Generic::MulAddScalar(float* dst, float k, const float* src, int count) const {
    for (int i = 0; i < count; ++i) dst[i] = float(double(dst[i]) + double(src[i]) * double(k));
}

void ZelSIMD_Generic::MulSub(float* dst, const float* a, const float* b, int count) const {
    for (int i = 0; i < count; ++i) dst[i] = float(double(dst[i]) - double(a[i]) * double(b[i]));
}

void ZelSIMD_Generic::MulSubScalar(float* dst, float k, const float* src, int count) const {
    for (int i = 0; i < count; ++i) dst[i] = float(double(dst[i]) - double(src[i]) * double(k));
}

void ZelSIMD_Generic::DotArrays(float* dst, const float* a, const float* b, int count) const {
    if (count < 4) {
        *dst = float(Dot(a, 1, b, 1, std::max(count, 0)));
        return;
    }
    double partial[4] = {0.0, 0.0, 0.0, 0.0};
    for (int i = 0; i < count; ++i) partial[i & 3] += double(a[i]) * double(b[i]);
    *dst = float((partial[0] + partial[1]) + (partial[2] + partial[3]));
}

void ZelSIMD_Generic::DotPairs3(float* dst, const SIMDVec3* a, const SIMDVec3* b, int count) const {
    for (int i = 0; i < count; ++i)
        dst[i] = float(double(a[i].x) * b[i].x + double(a[i].y) * b[i].y + double(a[i].z) * b[i].z);
}

void ZelSIMD_Generic::DotConst4(float* dst, const SIMDVec4* v, const SIMDVec4* a, int count) const {
    for (int i = 0; i < count; ++i)
        dst[i] = float(double(v->x) * a[i].x + double(v->y) * a[i].y + double(v->z) * a[i].z +
                       double(v->w) * a[i].w);
}

void ZelSIMD_Generic::PlaneDistances(float* dst, const SIMDVec4* p, const SIMDVec3* pts,
                                     int count) const {
    for (int i = 0; i < count; ++i)
        dst[i] = float(double(p->x) * pts[i].x + double(p->y) * pts[i].y + double(p->z) * pts[i].z +
                       double(p->w));
}

void ZelSIMD_Generic::PointPlaneDistances(float* dst, const SIMDVec3* pt, const SIMDVec4* planes,
                                          int count) const {
    for (int i = 0; i < count; ++i)
        dst[i] = float(double(planes[i].x) * pt->x + double(planes[i].y) * pt->y +
                       double(planes[i].z) * pt->z + double(planes[i].w));
}

void ZelSIMD_Generic::DotConst3(float* dst, const SIMDVec3* v, const SIMDVec3* a, int count) const {
    for (int i = 0; i < count; ++i)
        dst[i] = float(double(a[i].x) * v->x + double(a[i].y) * v->y + double(a[i].z) * v->z);
}

void ZelSIMD_Generic::CmpGreaterBit(uint8_t* dst, uint8_t bit, const float* src, float k,
                                    int count) const {
    for (int i = 0; i < count; ++i) dst[i] |= uint8_t((src[i] > k) << bit);
}

void ZelSIMD_Generic::CmpGreater(uint8_t* dst, const float* src, float k, int count) const {
    for (int i = 0; i < count; ++i) dst[i] = src[i] > k;
}

void ZelSIMD_Generic::CmpGreaterEqualBit(uint8_t* dst, uint8_t bit, const float* src, float k,
                                         int count) const {
    for (int i = 0; i < count; ++i) dst[i] |= uint8_t((src[i] >= k) << bit);
}

void ZelSIMD_Generic::CmpGreaterEqual(uint8_t* dst, const float* src, float k, int count) const {
    for (int i = 0; i < count; ++i) dst[i] = src[i] >= k;
}

void ZelSIMD_Generic::CmpLessBit(uint8_t* dst, uint8_t bit, const float* src, float k,
                                 int count) const {
    for (int i = 0; i < count; ++i) dst[i] |= uint8_t((src[i] < k) << bit);
}

void ZelSIMD_Generic::CmpLess(uint8_t* dst, const float* src, float k, int count) const {
    for (int i = 0; i < count; ++i) dst[i] = src[i] < k;
}

void ZelSIMD_Generic::CmpLessEqualBit(uint8_t* dst, uint8_t bit, const float* src, float k,
                                      int count) const {
    for (int i = 0; i < count; ++i) dst[i] |= uint8_t((src[i] <= k) << bit);
}

void ZelSIMD_Generic::CmpLessEqual(uint8_t* dst, const float* src, float k, int count) const {
    for (int i = 0; i < count; ++i) dst[i] = src[i] <= k;
}

void ZelSIMD_Generic::MinMax3(SIMDVec3* min, SIMDVec3* max, const SIMDVec3* src, int count) const {
    SIMDVec3 lo{K::kMinMaxStart, K::kMinMaxStart, K::kMinMaxStart};
    SIMDVec3 hi{-K::kMinMaxStart, -K::kMinMaxStart, -K::kMinMaxStart};
    for (int i = 0; i < count; ++i) {
        K::MinMaxStep(src[i].x, lo.x, hi.x);
        K::MinMaxStep(src[i].y, lo.y, hi.y);
        K::MinMaxStep(src[i].z, lo.z, hi.z);
    }
    *min = lo;
    *max = hi;
}

void ZelSIMD_Generic::MinMax2(float* min, float* max, const float* src, int count) const {
    float lo[2] = {K::kMinMaxStart, K::kMinMaxStart};
    float hi[2] = {-K::kMinMaxStart, -K::kMinMaxStart};
    for (int i = 0; i < count; ++i) {
        K::MinMaxStep(src[2 * i], lo[0], hi[0]);
        K::MinMaxStep(src[2 * i + 1], lo[1], hi[1]);
    }
    min[0] = lo[0];
    min[1] = lo[1];
    max[0] = hi[0];
    max[1] = hi[1];
}

void ZelSIMD_Generic::MinMax(float* min, float* max, const float* src, int count) const {
    float lo = K::kMinMaxStart;
    float hi = -K::kMinMaxStart;
    for (int i = 0; i < count; ++i) K::MinMaxStep(src[i], lo, hi);
    *min = lo;
    *max = hi;
}

void ZelSIMD_Generic::Clamp(float* dst, const float* src, float min, float max, int count) const {
    for (int i = 0; i < count; ++i) dst[i] = K::Clamp(src[i], min, max);
}

void ZelSIMD_Generic::ClampMin(float* dst, const float* src, float min, int count) const {
    for (int i = 0; i < count; ++i) dst[i] = src[i] < min ? min : src[i];
}

void ZelSIMD_Generic::ClampMax(float* dst, const float* src, float max, int count) const {
    for (int i = 0; i < count; ++i) dst[i] = src[i] > max ? max : src[i];
}

void ZelSIMD_Generic::CopyMemory(void* dst, const void* src, int byteCount) const {
    if (byteCount > 0)
        std::memcpy(dst, src, static_cast<std::size_t>(byteCount));
}

void ZelSIMD_Generic::FillMemory(void* dst, int value, int byteCount) const {
    if (byteCount > 0)
        std::memset(dst, value & 0xFF, static_cast<std::size_t>(byteCount));
}

void ZelSIMD_Generic::ZeroAligned(float* dst, int count) const {
    for (int i = 0; i < count; ++i) dst[i] = 0.0f;
}

void ZelSIMD_Generic::NegateAligned(float* dst, int count) const {
    for (int i = 0; i < count; ++i)
        dst[i] = std::bit_cast<float>(std::bit_cast<uint32_t>(dst[i]) ^ 0x80000000u);
}

void ZelSIMD_Generic::CopyAligned(float* dst, const float* src, int count) const {
    for (int i = 0; i < count; ++i) dst[i] = src[i];
}

void ZelSIMD_Generic::AddAligned(float* dst, const float* a, const float* b, int count) const {
    Add(dst, a, b, count);
}

void ZelSIMD_Generic::SubAligned(float* dst, const float* a, const float* b, int count) const {
    Sub(dst, a, b, count);
}

void ZelSIMD_Generic::MulScalarAligned(float* dst, const float* src, float k, int count) const {
    MulScalar(dst, k, src, count);
}

void ZelSIMD_Generic::AddInPlaceAligned(float* dst, const float* src, int count) const {
    Add(dst, dst, src, count);
}

void ZelSIMD_Generic::SubInPlaceAligned(float* dst, const float* src, int count) const {
    Sub(dst, dst, src, count);
}

void ZelSIMD_Generic::MulScalarInPlaceAligned(float* dst, float k, int count) const {
    MulScalar(dst, k, dst, count);
}

void ZelSIMD_Generic::MatrixVectorMul(FloatVector& dst, const FloatMatrix& m,
                                      const FloatVector& v) const {
    MatrixVector<K::Store::Set>(dst, m, v);
}

void ZelSIMD_Generic::MatrixVectorMulAdd(FloatVector& dst, const FloatMatrix& m,
                                         const FloatVector& v) const {
    MatrixVector<K::Store::Add>(dst, m, v);
}

void ZelSIMD_Generic::MatrixVectorMulSub(FloatVector& dst, const FloatMatrix& m,
                                         const FloatVector& v) const {
    MatrixVector<K::Store::Sub>(dst, m, v);
}

void ZelSIMD_Generic::MatrixTransposedVectorMul(FloatVector& dst, const FloatMatrix& m,
                                                const FloatVector& v) const {
    MatrixTransposedVector<K::Store::Set>(dst, m, v);
}

void ZelSIMD_Generic::MatrixTransposedVectorMulAdd(FloatVector& dst, const FloatMatrix& m,
                                                   const FloatVector& v) const {
    MatrixTransposedVector<K::Store::Add>(dst, m, v);
}

void ZelSIMD_Generic::MatrixTransposedVectorMulSub(FloatVector& dst, const FloatMatrix& m,
                                                   const FloatVector& v) const {
    MatrixTransposedVector<K::Store::Sub>(dst, m, v);
}

void ZelSIMD_Generic::MatrixMatrixMul(FloatMatrix& dst, const FloatMatrix& a,
                                      const FloatMatrix& b) const {
    const int rows = a.Rows();
    const int cols = b.Cols();
    const std::ptrdiff_t inner = a.Cols();
    const float* ad = a.Data();
    const float* bd = b.Data();
    float* d = dst.Data();
    K::DispatchLength(a.Cols(), [&](auto len) {
        for (int i = 0; i < rows; ++i)
            for (int j = 0; j < cols; ++j)
                d[i * cols + j] = float(Dot(ad + i * inner, 1, bd + j, cols, len));
    });
}

void ZelSIMD_Generic::MatrixTransposedMatrixMul(FloatMatrix& dst, const FloatMatrix& a,
                                                const FloatMatrix& b) const {
    const int rows = a.Cols();
    const int cols = b.Cols();
    const std::ptrdiff_t stride = a.Cols();
    const float* ad = a.Data();
    const float* bd = b.Data();
    float* d = dst.Data();
    K::DispatchLength(a.Rows(), [&](auto len) {
        for (int i = 0; i < rows; ++i)
            for (int j = 0; j < cols; ++j)
                d[i * cols + j] = float(Dot(ad + i, stride, bd + j, cols, len));
    });
}

void ZelSIMD_Generic::SolveLowerTriangular(const FloatMatrix& l, float* x, const float* b, int n,
                                           int skip) const {
    K::SolveLowerTriangular<ScalarKernel>(l, x, b, n, skip);
}

void ZelSIMD_Generic::SolveLowerTriangularTransposed(const FloatMatrix& l, float* x, const float* b,
                                                     int n) const {
    const std::ptrdiff_t stride = l.Cols();
    const float* ld = l.Data();
    for (int i = n - 1; i >= 0; --i)
        x[i] = float(b[i] - Dot(ld + (i + 1) * stride + i, stride, x + i + 1, 1, n - 1 - i));
}

bool ZelSIMD_Generic::FactorLDLT(FloatMatrix& m, FloatVector& invDiag, int n) const {
    return K::FactorLDLT<ScalarKernel>(m, invDiag, n);
}

void ZelSIMD_Generic::UpsampleInt16To44k(float* dst, const int16_t* src, int numSamples, int rate,
                                         int numChannels) const {
    Upsample(dst, numSamples, rate, numChannels, [src](int i) { return float(src[i]); });
}

void ZelSIMD_Generic::UpsampleFloatTo44k(float* dst, const float* const* src, int numSamples,
                                         int rate, int numChannels) const {
    // Stereo input comes as one array per channel: interleaved value i is frame i / 2 of
    // channel i % 2.
    if (numChannels == 1)
        Upsample(dst, numSamples, rate, 1, [src](int i) { return src[0][i] * 32768.0f; });
    else
        Upsample(dst, numSamples, rate, 2, [src](int i) { return src[i & 1][i >> 1] * 32768.0f; });
}

void ZelSIMD_Generic::MixTwoSpeakerMono(float* mixBuffer, const float* samples, int,
                                        const float* lastVolumes,
                                        const float* currentVolumes) const {
    static constexpr int kSource[2] = {0, 0};
    Mix(mixBuffer, samples, lastVolumes, currentVolumes, 2, 1, kSource);
}

void ZelSIMD_Generic::MixTwoSpeakerStereo(float* mixBuffer, const float* samples, int,
                                          const float* lastVolumes,
                                          const float* currentVolumes) const {
    static constexpr int kSource[2] = {0, 1};
    Mix(mixBuffer, samples, lastVolumes, currentVolumes, 2, 2, kSource);
}

void ZelSIMD_Generic::MixSixSpeakerMono(float* mixBuffer, const float* samples, int,
                                        const float* lastVolumes,
                                        const float* currentVolumes) const {
    static constexpr int kSource[6] = {0, 0, 0, 0, 0, 0};
    Mix(mixBuffer, samples, lastVolumes, currentVolumes, 6, 1, kSource);
}

void ZelSIMD_Generic::MixSixSpeakerStereo(float* mixBuffer, const float* samples, int,
                                          const float* lastVolumes,
                                          const float* currentVolumes) const {
    static constexpr int kSource[6] = {0, 1, 0, 0, 0, 1};
    Mix(mixBuffer, samples, lastVolumes, currentVolumes, 6, 2, kSource);
}

void ZelSIMD_Generic::FloatToInt16(int16_t* dst, const float* src, int count) const {
    for (int i = 0; i < count; ++i) {
        const float v = src[i];
        if (v != v)
            dst[i] = 0;
        else if (v <= -32768.0f)
            dst[i] = -32768;
        else if (v >= 32767.0f)
            dst[i] = 32767;
        else
            dst[i] = static_cast<int16_t>(v);
    }
}

}  // namespace Zel
