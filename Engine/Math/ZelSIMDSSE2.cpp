#include "Math/ZelSIMDSSE2.h"

#include <emmintrin.h>

namespace Zel {

const char* ZelSIMD_SSE2::GetName() const {
    return "MMX & SSE & SSE2";
}

void ZelSIMD_SSE2::FloatToInt16(int16_t* dst, const float* src, int count) const {
    const __m128 lo = _mm_set1_ps(-32768.0f);
    const __m128 hi = _mm_set1_ps(32767.0f);
    // NaN lanes become 0, then every lane is clamped before the conversion, so values beyond the
    // 32-bit range saturate instead of turning into the conversion's overflow marker.
    auto convert = [lo, hi](__m128 v) {
        v = _mm_and_ps(v, _mm_cmpord_ps(v, v));
        return _mm_cvtps_epi32(_mm_min_ps(_mm_max_ps(v, lo), hi));
    };
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m128i low = convert(_mm_loadu_ps(src + i));
        const __m128i high = convert(_mm_loadu_ps(src + i + 4));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_packs_epi32(low, high));
    }
    for (; i < count; ++i) dst[i] = RoundToInt16(src[i]);
}

}  // namespace Zel
