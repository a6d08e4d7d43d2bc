#include "Platform/D3D9/SoftSampler.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <emmintrin.h>

#include "Platform/D3D9/D3D9Format.h"
#include "Platform/D3D9/DxtBlock.h"
#include "Platform/D3D9/PixelCodec.h"
#include "Platform/D3D9/SoftBaseTexture9.h"
#include "Platform/D3D9/SoftSurface9.h"

namespace {

constexpr float kByte = 1.0f / 255.0f;

inline __attribute__((always_inline)) void FetchArgb(const SoftSampler::Level& l, int x, int y,
                                                     float out[4]) {
    DWORD c;
    std::memcpy(
        &c, l.bits + static_cast<std::size_t>(y) * l.pitch + static_cast<std::size_t>(x) * 4, 4);
    out[0] = static_cast<float>((c >> 16) & 0xFF) * kByte;
    out[1] = static_cast<float>((c >> 8) & 0xFF) * kByte;
    out[2] = static_cast<float>(c & 0xFF) * kByte;
    out[3] = static_cast<float>(c >> 24) * kByte;
}

inline __attribute__((always_inline)) void FetchXrgb(const SoftSampler::Level& l, int x, int y,
                                                     float out[4]) {
    FetchArgb(l, x, y, out);
    out[3] = 1.0f;
}

void FetchGeneric(const SoftSampler::Level& l, int x, int y, float out[4]) {
    UINT bpp = D3D9Format::Find(l.format)->bytesPerPixel;
    PixelCodec::Rgba c =
        PixelCodec::Decode(l.format, l.bits + static_cast<std::size_t>(y) * l.pitch +
                                         static_cast<std::size_t>(x) * bpp);
    out[0] = c.r;
    out[1] = c.g;
    out[2] = c.b;
    out[3] = c.a;
}

// A filtered fetch reads up to four neighbouring texels, mostly of one block, so each thread
// keeps its last decoded block. The key is the block's bytes, not its address, so a texture
// rewritten in place can never answer stale texels.
struct DecodedDxtBlock {
    D3DFORMAT format = D3DFMT_UNKNOWN;
    BYTE bytes[16] = {};
    D3DCOLOR texels[16] = {};
};

void FetchDxt(const SoftSampler::Level& l, int x, int y, float out[4]) {
    const UINT blockBytes = DxtBlock::BlockBytes(l.format);
    const BYTE* block = l.bits + static_cast<std::size_t>(y / 4) * l.pitch +
                        static_cast<std::size_t>(x / 4) * blockBytes;
    thread_local DecodedDxtBlock last;
    if (last.format != l.format || std::memcmp(last.bytes, block, blockBytes) != 0) {
        std::memcpy(last.bytes, block, blockBytes);
        last.format = l.format;
        DxtBlock::Decode(l.format, block, last.texels);
    }
    const D3DCOLOR c = last.texels[(y & 3) * 4 + (x & 3)];
    out[0] = static_cast<float>((c >> 16) & 0xFF) * kByte;
    out[1] = static_cast<float>((c >> 8) & 0xFF) * kByte;
    out[2] = static_cast<float>(c & 0xFF) * kByte;
    out[3] = static_cast<float>(c >> 24) * kByte;
}

// Texel decoders the filters are instantiated with: the common 32-bit formats inline, the rest
// through the level's fetch.
struct ArgbTexel {
    static void Get(const SoftSampler::Level& l, int x, int y, float out[4]) {
        FetchArgb(l, x, y, out);
    }
};
struct XrgbTexel {
    static void Get(const SoftSampler::Level& l, int x, int y, float out[4]) {
        FetchXrgb(l, x, y, out);
    }
};
struct AnyTexel {
    static void Get(const SoftSampler::Level& l, int x, int y, float out[4]) {
        l.fetch(l, x, y, out);
    }
};

SoftSampler::Fetch FetchFor(D3DFORMAT format) {
    if (format == D3DFMT_A8R8G8B8)
        return &FetchArgb;
    if (format == D3DFMT_X8R8G8B8)
        return &FetchXrgb;
    if (D3D9Format::IsBlock(format))
        return &FetchDxt;
    if (PixelCodec::Supports(format))
        return &FetchGeneric;
    return nullptr;
}

// floor(v) as an integer, with NaN as the lower limit and the range kept far from overflow.
// Branch-free, so that lane loops vectorise.
int FloorInt(float v) {
    v = std::min(std::max(-1073741824.0f, v), 1073741824.0f);
    int i = static_cast<int>(v);
    return i - static_cast<int>(static_cast<float>(i) > v);
}

float Finite(float v) {
    return std::isfinite(v) ? v : 0.0f;
}

// The cube face a direction points at and its coordinates on that face (Direct3D's layout).
void CubeFace(float x, float y, float z, int* face, float* s, float* t) {
    float ax = std::fabs(x), ay = std::fabs(y), az = std::fabs(z);
    float sc, tc, ma;
    if (ax >= ay && ax >= az) {
        *face = x >= 0 ? 0 : 1;
        sc = x >= 0 ? -z : z;
        tc = -y;
        ma = ax;
    } else if (ay >= az) {
        *face = y >= 0 ? 2 : 3;
        sc = x;
        tc = y >= 0 ? z : -z;
        ma = ay;
    } else {
        *face = z >= 0 ? 4 : 5;
        sc = z >= 0 ? x : -x;
        tc = -y;
        ma = az;
    }
    if (!(ma > 0.0f)) {
        *s = *t = 0.5f;
        return;
    }
    *s = Finite((sc / ma + 1.0f) * 0.5f);
    *t = Finite((tc / ma + 1.0f) * 0.5f);
}

float Lerp(float a, float b, float f) {
    return a + (b - a) * f;
}

}  // namespace

void SoftSampler::Prepare(SoftBaseTexture9* texture, const DWORD* states) {
    levelCount_ = 0;
    cube_ = false;
    if (!texture)
        return;
    Fetch fetch = FetchFor(texture->Format());
    if (!fetch)
        return;
    texture->EnsureMipChain();
    cube_ = texture->Type() == D3DRTYPE_CUBETEXTURE;
    UINT levels = std::min(texture->ChainLevels(), kMaxLevels);
    for (UINT face = 0; face < texture->Faces(); ++face) {
        for (UINT level = 0; level < levels; ++level) {
            SoftSurface9* s = texture->Level(face, level);
            faces_[face][level] = Level{s->Bits(),
                                        s->Pitch(),
                                        static_cast<int>(s->Width()),
                                        static_cast<int>(s->Height()),
                                        s->Format(),
                                        fetch};
        }
    }
    levelCount_ = levels;
    addressU_ = states[D3DSAMP_ADDRESSU];
    addressV_ = states[D3DSAMP_ADDRESSV];
    PixelCodec::Rgba b = PixelCodec::FromColor(states[D3DSAMP_BORDERCOLOR]);
    border_[0] = b.r;
    border_[1] = b.g;
    border_[2] = b.b;
    border_[3] = b.a;
    magFilter_ = states[D3DSAMP_MAGFILTER];
    minFilter_ = states[D3DSAMP_MINFILTER];
    mipFilter_ = states[D3DSAMP_MIPFILTER];
    std::memcpy(&lodBias_, &states[D3DSAMP_MIPMAPLODBIAS], 4);
    lodBias_ = Finite(lodBias_);
    maxMipLevel_ = static_cast<int>(std::min<DWORD>(states[D3DSAMP_MAXMIPLEVEL], levels - 1));
}

inline int SoftSampler::Address(int i, int size, DWORD mode, bool* border) const {
    switch (mode) {
        case D3DTADDRESS_MIRROR: {
            int period = 2 * size;
            int m = i % period;
            if (m < 0)
                m += period;
            return m >= size ? period - 1 - m : m;
        }
        case D3DTADDRESS_CLAMP:
            return std::clamp(i, 0, size - 1);
        case D3DTADDRESS_BORDER:
            if (i < 0 || i >= size)
                *border = true;
            return std::clamp(i, 0, size - 1);
        case D3DTADDRESS_MIRRORONCE:
            return std::clamp(i < 0 ? -1 - i : i, 0, size - 1);
        default: {  // wrap
            if ((size & (size - 1)) == 0)
                return i & (size - 1);
            int m = i % size;
            return m < 0 ? m + size : m;
        }
    }
}

template <class Texel>
void SoftSampler::Filter(const Level& l, float u, float v, bool linear, float out[4]) const {
    if (!linear) {
        bool border = false;
        int x = Address(FloorInt(u * static_cast<float>(l.width)), l.width, addressU_, &border);
        int y = Address(FloorInt(v * static_cast<float>(l.height)), l.height, addressV_, &border);
        if (border)
            std::memcpy(out, border_, sizeof(border_));
        else
            Texel::Get(l, x, y, out);
        return;
    }
    float tx = u * static_cast<float>(l.width) - 0.5f;
    float ty = v * static_cast<float>(l.height) - 0.5f;
    int x0 = FloorInt(tx), y0 = FloorInt(ty);
    float fx = Finite(tx - static_cast<float>(x0)), fy = Finite(ty - static_cast<float>(y0));
    bool bx0 = false, bx1 = false, by0 = false, by1 = false;
    int ax0 = Address(x0, l.width, addressU_, &bx0),
        ax1 = Address(x0 + 1, l.width, addressU_, &bx1);
    int ay0 = Address(y0, l.height, addressV_, &by0),
        ay1 = Address(y0 + 1, l.height, addressV_, &by1);
    float t[4][4];
    auto tap = [&](int k, int x, int y, bool border) {
        if (border)
            std::memcpy(t[k], border_, sizeof(border_));
        else
            Texel::Get(l, x, y, t[k]);
    };
    tap(0, ax0, ay0, bx0 || by0);
    tap(1, ax1, ay0, bx1 || by0);
    tap(2, ax0, ay1, bx0 || by1);
    tap(3, ax1, ay1, bx1 || by1);
    for (int c = 0; c < 4; ++c)
        out[c] = Lerp(Lerp(t[0][c], t[1][c], fx), Lerp(t[2][c], t[3][c], fx), fy);
}

template <class Texel>
void SoftSampler::SampleLane(int face, float u, float v, float lod, float out[4]) const {
    const auto& levels = faces_[static_cast<std::size_t>(face)];
    int top = static_cast<int>(levelCount_) - 1;
    bool magnify = !(lod > 0.0f);
    DWORD filter = magnify ? magFilter_ : minFilter_;
    bool linear = filter >= D3DTEXF_LINEAR;
    if (magnify || mipFilter_ == D3DTEXF_NONE || top == 0) {
        Filter<Texel>(levels[static_cast<std::size_t>(maxMipLevel_)], u, v, linear, out);
        return;
    }
    float l = std::clamp(lod, static_cast<float>(maxMipLevel_), static_cast<float>(top));
    if (mipFilter_ == D3DTEXF_POINT) {
        int level = std::min(FloorInt(l + 0.5f), top);
        Filter<Texel>(levels[static_cast<std::size_t>(level)], u, v, linear, out);
        return;
    }
    int l0 = FloorInt(l);
    float f = l - static_cast<float>(l0);
    Filter<Texel>(levels[static_cast<std::size_t>(l0)], u, v, linear, out);
    if (f > 0.0f && l0 < top) {
        float second[4];
        Filter<Texel>(levels[static_cast<std::size_t>(l0 + 1)], u, v, linear, second);
        for (int c = 0; c < 4; ++c) out[c] = Lerp(out[c], second[c], f);
    }
}

void SoftSampler::Sample(const SoftSampleRequest& r) const {
    if (!Bound()) {
        for (int c = 0; c < 4; ++c)
            for (unsigned i = 0; i < kSoftLanes; ++i) r.out[c][i] = c == 3 ? 1.0f : 0.0f;
        return;
    }
    float u[kSoftLanes], v[kSoftLanes];
    int face[kSoftLanes] = {};
    if (cube_) {
        for (unsigned i = 0; i < kSoftLanes; ++i) {
            float x = r.coord[0][i];
            float y = r.coordinates > 1 ? r.coord[1][i] : 0.0f;
            float z = r.coordinates > 2 ? r.coord[2][i] : 0.0f;
            CubeFace(x, y, z, &face[i], &u[i], &v[i]);
        }
    } else {
        for (unsigned i = 0; i < kSoftLanes; ++i) {
            u[i] = r.coord[0][i];
            v[i] = r.coordinates > 1 ? r.coord[1][i] : 0.0f;
        }
    }

    float lod[kSoftLanes];
    if (r.lod == SoftLodMode::Explicit) {
        for (unsigned i = 0; i < kSoftLanes; ++i) lod[i] = Finite(r.lodValue[i]);
    } else if (r.vertex) {
        for (unsigned i = 0; i < kSoftLanes; ++i) lod[i] = 0.0f;
    } else {
        float w = static_cast<float>(faces_[0][0].width);
        float h = static_cast<float>(faces_[0][0].height);
        auto lambda = [&](float dudx, float dvdx, float dudy, float dvdy) {
            float x2 = dudx * dudx * w * w + dvdx * dvdx * h * h;
            float y2 = dudy * dudy * w * w + dvdy * dvdy * h * h;
            float m = std::max(x2, y2);
            // log2 of the longer footprint side; a zero footprint magnifies.
            return m > 0.0f && std::isfinite(m) ? 0.5f * std::log2(m) : (m > 0.0f ? 32.0f : -32.0f);
        };
        if (r.ddx[0] && !cube_) {
            for (unsigned i = 0; i < kSoftLanes; ++i) {
                float dvdx = r.coordinates > 1 ? r.ddx[1][i] : 0.0f;
                float dvdy = r.coordinates > 1 ? r.ddy[1][i] : 0.0f;
                lod[i] = lambda(r.ddx[0][i], dvdx, r.ddy[0][i], dvdy);
            }
        } else {
            for (unsigned q = 0; q < kSoftLanes; q += 4) {
                float l =
                    lambda(u[q + 1] - u[q], v[q + 1] - v[q], u[q + 2] - u[q], v[q + 2] - v[q]);
                lod[q] = lod[q + 1] = lod[q + 2] = lod[q + 3] = l;
            }
        }
        if (r.lod == SoftLodMode::Bias)
            for (unsigned i = 0; i < kSoftLanes; ++i) lod[i] += Finite(r.lodValue[i]);
    }

    for (unsigned i = 0; i < kSoftLanes; ++i) lod[i] += lodBias_;
    if (!cube_ && SampleFast(u, v, lod, r.out))
        return;
    D3DFORMAT format = faces_[0][0].format;
    if (format == D3DFMT_A8R8G8B8)
        SampleLanes<ArgbTexel>(face, u, v, lod, r.out);
    else if (format == D3DFMT_X8R8G8B8)
        SampleLanes<XrgbTexel>(face, u, v, lod, r.out);
    else
        SampleLanes<AnyTexel>(face, u, v, lod, r.out);
}

template <class Texel>
void SoftSampler::SampleLanes(const int* face, const float* u, const float* v, const float* lod,
                              float* const* out) const {
    for (unsigned i = 0; i < kSoftLanes; ++i) {
        float c[4];
        SampleLane<Texel>(face[i], u[i], v[i], lod[i], c);
        out[0][i] = c[0];
        out[1][i] = c[1];
        out[2][i] = c[2];
        out[3][i] = c[3];
    }
}

bool SoftSampler::SampleFast(const float* u, const float* v, const float* lod,
                             float* const* out) const {
    D3DFORMAT format = faces_[0][0].format;
    bool linear = magFilter_ >= D3DTEXF_LINEAR;
    if ((format != D3DFMT_A8R8G8B8 && format != D3DFMT_X8R8G8B8) ||
        linear != (minFilter_ >= D3DTEXF_LINEAR) || addressU_ == D3DTADDRESS_BORDER ||
        addressV_ == D3DTADDRESS_BORDER)
        return false;
    bool opaque = format == D3DFMT_X8R8G8B8;
    int top = static_cast<int>(levelCount_) - 1;
    int level[kSoftLanes];
    float fraction[kSoftLanes];
    bool second = false;
    for (unsigned i = 0; i < kSoftLanes; ++i) {
        level[i] = maxMipLevel_;
        fraction[i] = 0.0f;
        if (!(lod[i] > 0.0f) || mipFilter_ == D3DTEXF_NONE || top == 0)
            continue;
        float l = std::clamp(lod[i], static_cast<float>(maxMipLevel_), static_cast<float>(top));
        if (mipFilter_ == D3DTEXF_POINT) {
            level[i] = std::min(FloorInt(l + 0.5f), top);
        } else {
            level[i] = FloorInt(l);
            if (level[i] < top) {
                fraction[i] = l - static_cast<float>(level[i]);
                second |= fraction[i] > 0.0f;
            }
        }
    }
    alignas(64) float first[4][kSoftLanes];
    FastPass(level, u, v, linear, opaque, first);
    if (second) {
        alignas(64) float next[4][kSoftLanes];
        int nextLevel[kSoftLanes];
        for (unsigned i = 0; i < kSoftLanes; ++i)
            nextLevel[i] = fraction[i] > 0.0f ? level[i] + 1 : level[i];
        FastPass(nextLevel, u, v, linear, opaque, next);
        for (int c = 0; c < 4; ++c)
            for (unsigned i = 0; i < kSoftLanes; ++i)
                first[c][i] = Lerp(first[c][i], next[c][i], fraction[i]);
    }
    for (int c = 0; c < 4; ++c) std::memcpy(out[c], first[c], sizeof(first[c]));
    return true;
}

void SoftSampler::FastPass(const int* level, const float* u, const float* v, bool linear,
                           bool opaque, float (*out)[kSoftLanes]) const {
    const auto& levels = faces_[0];
    alignas(64) DWORD texel[4][kSoftLanes];
    alignas(64) float fx[kSoftLanes], fy[kSoftLanes], width[kSoftLanes], height[kSoftLanes];
    alignas(64) int ix[kSoftLanes], iy[kSoftLanes];
    for (unsigned i = 0; i < kSoftLanes; ++i) {
        const Level& l = levels[static_cast<std::size_t>(level[i])];
        width[i] = static_cast<float>(l.width);
        height[i] = static_cast<float>(l.height);
    }
    // FloorInt and Fraction four lanes at a time (SSE2 is part of every x86-64 processor).
    const __m128 offset = _mm_set1_ps(linear ? 0.5f : 0.0f);
    const __m128 low = _mm_set1_ps(-1073741824.0f), high = _mm_set1_ps(1073741824.0f);
    const __m128 zero = _mm_setzero_ps(), one = _mm_set1_ps(1.0f);
    auto split = [&](const float* c, const float* size, unsigned i, int* whole, float* part) {
        __m128 t = _mm_sub_ps(_mm_mul_ps(_mm_loadu_ps(c + i), _mm_load_ps(size + i)), offset);
        t = _mm_min_ps(_mm_max_ps(t, low), high);  // NaN reads as the low limit
        __m128i n = _mm_cvttps_epi32(t);
        n = _mm_add_epi32(n, _mm_castps_si128(_mm_cmpgt_ps(_mm_cvtepi32_ps(n), t)));
        _mm_store_si128(reinterpret_cast<__m128i*>(whole + i), n);
        __m128 f = _mm_sub_ps(t, _mm_cvtepi32_ps(n));
        _mm_store_ps(part + i, _mm_min_ps(_mm_max_ps(f, zero), one));
    };
    for (unsigned i = 0; i < kSoftLanes; i += 4) {
        split(u, width, i, ix, fx);
        split(v, height, i, iy, fy);
    }
    // The usual case, one level for the batch and wrapping power-of-two sides, addresses by
    // masks.
    bool uniform = true;
    for (unsigned i = 1; i < kSoftLanes; ++i) uniform &= level[i] == level[0];
    const Level& first = levels[static_cast<std::size_t>(level[0])];
    bool masked = uniform && addressU_ == D3DTADDRESS_WRAP && addressV_ == D3DTADDRESS_WRAP &&
                  (first.width & (first.width - 1)) == 0 &&
                  (first.height & (first.height - 1)) == 0 && first.pitch % 4 == 0;
    if (masked) {
        int wm = first.width - 1, hm = first.height - 1;
        int stride = static_cast<int>(first.pitch / 4);
        const BYTE* base = first.bits;
        auto at = [&](int x, int y) {
            DWORD c;
            std::memcpy(&c, base + (static_cast<std::size_t>(y * stride + x) * 4), 4);
            return c;
        };
        if (!linear) {
            for (unsigned i = 0; i < kSoftLanes; ++i) texel[0][i] = at(ix[i] & wm, iy[i] & hm);
        } else {
            for (unsigned i = 0; i < kSoftLanes; ++i) {
                int x0 = ix[i] & wm, x1 = (ix[i] + 1) & wm, y0 = iy[i] & hm, y1 = (iy[i] + 1) & hm;
                texel[0][i] = at(x0, y0);
                texel[1][i] = at(x1, y0);
                texel[2][i] = at(x0, y1);
                texel[3][i] = at(x1, y1);
            }
        }
    }
    bool unused = false;
    for (unsigned i = 0; i < kSoftLanes && !masked; ++i) {
        const Level& l = levels[static_cast<std::size_t>(level[i])];
        auto at = [&](int x, int y) {
            DWORD c;
            std::memcpy(
                &c,
                l.bits + static_cast<std::size_t>(y) * l.pitch + static_cast<std::size_t>(x) * 4,
                4);
            return c;
        };
        int x0 = ix[i], y0 = iy[i];
        if (!linear) {
            texel[0][i] = at(Address(x0, l.width, addressU_, &unused),
                             Address(y0, l.height, addressV_, &unused));
            continue;
        }
        int ax0 = Address(x0, l.width, addressU_, &unused);
        int ax1 = Address(x0 + 1, l.width, addressU_, &unused);
        int ay0 = Address(y0, l.height, addressV_, &unused);
        int ay1 = Address(y0 + 1, l.height, addressV_, &unused);
        texel[0][i] = at(ax0, ay0);
        texel[1][i] = at(ax1, ay0);
        texel[2][i] = at(ax0, ay1);
        texel[3][i] = at(ax1, ay1);
    }
    static constexpr int kShift[4] = {16, 8, 0, 24};  // r, g, b, a
    for (int c = 0; c < 4; ++c) {
        float* o = out[c];
        if (c == 3 && opaque) {
            std::fill(o, o + kSoftLanes, 1.0f);
            continue;
        }
        int shift = kShift[c];
        const __m128i byte = _mm_set1_epi32(0xFF);
        const __m128 scale = _mm_set1_ps(kByte);
        auto channel = [&](int tap, unsigned i) {
            __m128i t = _mm_load_si128(reinterpret_cast<const __m128i*>(texel[tap] + i));
            return _mm_cvtepi32_ps(_mm_and_si128(_mm_srl_epi32(t, _mm_cvtsi32_si128(shift)), byte));
        };
        auto lerp = [](__m128 a, __m128 b, __m128 f) {
            return _mm_add_ps(a, _mm_mul_ps(_mm_sub_ps(b, a), f));
        };
        for (unsigned i = 0; i < kSoftLanes; i += 4) {
            if (!linear) {
                _mm_storeu_ps(o + i, _mm_mul_ps(channel(0, i), scale));
                continue;
            }
            __m128 x = _mm_load_ps(fx + i), y = _mm_load_ps(fy + i);
            __m128 top = lerp(channel(0, i), channel(1, i), x);
            __m128 bottom = lerp(channel(2, i), channel(3, i), x);
            _mm_storeu_ps(o + i, _mm_mul_ps(lerp(top, bottom, y), scale));
        }
    }
}
