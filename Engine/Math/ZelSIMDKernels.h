// Pieces the processor variants share so that their results agree: the scalar formulas every
// head and tail uses, and the row-by-row skeletons of the triangular solve and the LDLT
// factorisation, into which each variant plugs its own inner sums. Internal to the processors.
#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <type_traits>

#include "Math/FloatMatrix.h"
#include "Math/FloatVector.h"

namespace Zel::SIMDKernels {

// The float nearest 1e30: where minima start (maxima start at its negation).
constexpr float kMinMaxStart = 1e30f;

// Sound mixing works on blocks of 4096 frames; a voice's volume ramps over one block.
constexpr int kMixFrames = 4096;
constexpr float kRampPerFrame = 1.0f / kMixFrames;

// Tests the lower bound first, so with lo > hi an element below lo yields lo; NaN passes.
inline float Clamp(float v, float lo, float hi) {
    return v < lo ? lo : (v > hi ? hi : v);
}

// Replaces only when strictly smaller or larger: NaN never enters, and among equal values the
// first one met stays.
inline void MinMaxStep(float v, float& lo, float& hi) {
    if (v < lo)
        lo = v;
    if (v > hi)
        hi = v;
}

// How a finished sum reaches its destination element.
enum class Store { Set, Add, Sub };

// sum is completed first (in whatever precision the variant keeps it), then combined with the
// destination and rounded once.
template <Store mode, class T>
inline void Put(float& d, T sum) {
    if constexpr (mode == Store::Set)
        d = static_cast<float>(sum);
    else if constexpr (mode == Store::Add)
        d = static_cast<float>(d + sum);
    else
        d = static_cast<float>(d - sum);
}

// Calls f with the length as a compile-time constant for the short lengths met most (1 to 6), so
// those sums become straight-line code; other lengths go as a plain int.
template <class F>
inline void DispatchLength(int n, F&& f) {
    switch (n) {
        case 1:
            f(std::integral_constant<int, 1>{});
            break;
        case 2:
            f(std::integral_constant<int, 2>{});
            break;
        case 3:
            f(std::integral_constant<int, 3>{});
            break;
        case 4:
            f(std::integral_constant<int, 4>{});
            break;
        case 5:
            f(std::integral_constant<int, 5>{});
            break;
        case 6:
            f(std::integral_constant<int, 6>{});
            break;
        default:
            f(n);
            break;
    }
}

// Forward substitution row by row; K::Dot(row, x, i) sums the first i products.
template <class K>
void SolveLowerTriangular(const FloatMatrix& l, float* x, const float* b, int n, int skip) {
    const std::ptrdiff_t stride = l.Cols();
    const float* ld = l.Data();
    for (int i = std::max(skip, 0); i < n; ++i)
        x[i] = static_cast<float>(b[i] - K::Dot(ld + i * stride, x, i));
}

// Scratch floats for one factorisation: on the stack for the sizes met in practice, from the heap
// beyond that.
constexpr int kLocalScratchFloats = 2048;

// L D L^T row by row. K::Scale(v, row, diag, i) forms v[j] = row[j] * diag[j] for j < i in
// single precision; K::Dot(a, b, i) sums the first i products.
template <class K>
bool FactorLDLT(FloatMatrix& m, FloatVector& invDiag, int n) {
    if (n <= 0)
        return true;
    alignas(16) float local[kLocalScratchFloats];
    std::unique_ptr<float[]> heap;
    float* diag = local;
    if (n > kLocalScratchFloats / 2) {
        heap.reset(new float[2 * static_cast<std::size_t>(n)]);
        diag = heap.get();
    }
    float* v = diag + n;
    const std::ptrdiff_t stride = m.Cols();
    float* md = m.Data();
    float* inv = invDiag.Data();
    for (int i = 0; i < n; ++i) {
        float* row = md + i * stride;
        K::Scale(v, row, diag, i);
        const float d = static_cast<float>(row[i] - K::Dot(row, v, i));
        if (d == 0.0f)
            return false;
        const float r = 1.0f / d;
        row[i] = d;
        diag[i] = d;
        inv[i] = r;
        for (int k = i + 1; k < n; ++k) {
            float* rk = md + k * stride;
            rk[i] = static_cast<float>((rk[i] - K::Dot(rk, v, i)) * r);
        }
    }
    return true;
}

}  // namespace Zel::SIMDKernels
