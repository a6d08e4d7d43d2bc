#include "Platform/D3D9/PixelCodec.h"

#include <cstring>

namespace {

DWORD Load(const BYTE* p, int bytes) {
    DWORD v = 0;
    for (int i = 0; i < bytes; ++i) v |= static_cast<DWORD>(p[i]) << (8 * i);
    return v;
}

void Store(BYTE* p, int bytes, DWORD v) {
    for (int i = 0; i < bytes; ++i) p[i] = static_cast<BYTE>(v >> (8 * i));
}

float Unorm(DWORD bits, DWORD max) {
    return static_cast<float>(bits) / static_cast<float>(max);
}

DWORD ToUnorm(float v, DWORD max) {
    if (!(v > 0.0f))
        return 0;  // also NaN
    if (v >= 1.0f)
        return max;
    return static_cast<DWORD>(v * static_cast<float>(max) + 0.5f);
}

float LoadFloat(const BYTE* p) {
    float f;
    std::memcpy(&f, p, 4);
    return f;
}

void StoreFloat(BYTE* p, float f) {
    std::memcpy(p, &f, 4);
}

float LoadHalf(const BYTE* p) {
    return PixelCodec::HalfToFloat(static_cast<WORD>(Load(p, 2)));
}
void StoreHalf(BYTE* p, float f) {
    Store(p, 2, PixelCodec::FloatToHalf(f));
}

}  // namespace

bool PixelCodec::Supports(D3DFORMAT format) {
    switch (format) {
        case D3DFMT_A8R8G8B8:
        case D3DFMT_X8R8G8B8:
        case D3DFMT_R5G6B5:
        case D3DFMT_X1R5G5B5:
        case D3DFMT_A1R5G5B5:
        case D3DFMT_A4R4G4B4:
        case D3DFMT_A8:
        case D3DFMT_L8:
        case D3DFMT_A8L8:
        case D3DFMT_G16R16:
        case D3DFMT_A16B16G16R16:
        case D3DFMT_R16F:
        case D3DFMT_G16R16F:
        case D3DFMT_A16B16G16R16F:
        case D3DFMT_R32F:
        case D3DFMT_G32R32F:
        case D3DFMT_A32B32G32R32F:
            return true;
        default:
            return false;
    }
}

PixelCodec::Rgba PixelCodec::Decode(D3DFORMAT format, const BYTE* p) {
    switch (format) {
        case D3DFMT_A8R8G8B8:
        case D3DFMT_X8R8G8B8: {
            Rgba c = FromColor(Load(p, 4));
            if (format == D3DFMT_X8R8G8B8)
                c.a = 1.0f;
            return c;
        }
        case D3DFMT_R5G6B5: {
            DWORD v = Load(p, 2);
            return {Unorm(v >> 11, 31), Unorm((v >> 5) & 63, 63), Unorm(v & 31, 31), 1.0f};
        }
        case D3DFMT_X1R5G5B5:
        case D3DFMT_A1R5G5B5: {
            DWORD v = Load(p, 2);
            float a = format == D3DFMT_A1R5G5B5 ? static_cast<float>(v >> 15) : 1.0f;
            return {Unorm((v >> 10) & 31, 31), Unorm((v >> 5) & 31, 31), Unorm(v & 31, 31), a};
        }
        case D3DFMT_A4R4G4B4: {
            DWORD v = Load(p, 2);
            return {Unorm((v >> 8) & 15, 15), Unorm((v >> 4) & 15, 15), Unorm(v & 15, 15),
                    Unorm(v >> 12, 15)};
        }
        case D3DFMT_A8:
            return {0.0f, 0.0f, 0.0f, Unorm(p[0], 255)};
        case D3DFMT_L8: {
            float l = Unorm(p[0], 255);
            return {l, l, l, 1.0f};
        }
        case D3DFMT_A8L8: {
            float l = Unorm(p[0], 255);
            return {l, l, l, Unorm(p[1], 255)};
        }
        case D3DFMT_G16R16:
            return {Unorm(Load(p, 2), 65535), Unorm(Load(p + 2, 2), 65535), 1.0f, 1.0f};
        case D3DFMT_A16B16G16R16:
            return {Unorm(Load(p, 2), 65535), Unorm(Load(p + 2, 2), 65535),
                    Unorm(Load(p + 4, 2), 65535), Unorm(Load(p + 6, 2), 65535)};
        case D3DFMT_R16F:
            return {LoadHalf(p), 1.0f, 1.0f, 1.0f};
        case D3DFMT_G16R16F:
            return {LoadHalf(p), LoadHalf(p + 2), 1.0f, 1.0f};
        case D3DFMT_A16B16G16R16F:
            return {LoadHalf(p), LoadHalf(p + 2), LoadHalf(p + 4), LoadHalf(p + 6)};
        case D3DFMT_R32F:
            return {LoadFloat(p), 1.0f, 1.0f, 1.0f};
        case D3DFMT_G32R32F:
            return {LoadFloat(p), LoadFloat(p + 4), 1.0f, 1.0f};
        case D3DFMT_A32B32G32R32F:
            return {LoadFloat(p), LoadFloat(p + 4), LoadFloat(p + 8), LoadFloat(p + 12)};
        default:
            return {0.0f, 0.0f, 0.0f, 0.0f};
    }
}

void PixelCodec::Encode(D3DFORMAT format, const Rgba& c, BYTE* p) {
    switch (format) {
        case D3DFMT_A8R8G8B8:
            Store(p, 4, ToColor(c));
            break;
        case D3DFMT_X8R8G8B8:
            Store(p, 4, ToColor(c) | 0xFF000000u);
            break;
        case D3DFMT_R5G6B5:
            Store(p, 2, (ToUnorm(c.r, 31) << 11) | (ToUnorm(c.g, 63) << 5) | ToUnorm(c.b, 31));
            break;
        case D3DFMT_X1R5G5B5:
        case D3DFMT_A1R5G5B5: {
            DWORD a = format == D3DFMT_A1R5G5B5 ? ToUnorm(c.a, 1) : 1;
            Store(
                p, 2,
                (a << 15) | (ToUnorm(c.r, 31) << 10) | (ToUnorm(c.g, 31) << 5) | ToUnorm(c.b, 31));
            break;
        }
        case D3DFMT_A4R4G4B4:
            Store(p, 2,
                  (ToUnorm(c.a, 15) << 12) | (ToUnorm(c.r, 15) << 8) | (ToUnorm(c.g, 15) << 4) |
                      ToUnorm(c.b, 15));
            break;
        case D3DFMT_A8:
            p[0] = static_cast<BYTE>(ToUnorm(c.a, 255));
            break;
        case D3DFMT_L8:
            p[0] = static_cast<BYTE>(ToUnorm(c.r, 255));
            break;
        case D3DFMT_A8L8:
            p[0] = static_cast<BYTE>(ToUnorm(c.r, 255));
            p[1] = static_cast<BYTE>(ToUnorm(c.a, 255));
            break;
        case D3DFMT_G16R16:
            Store(p, 2, ToUnorm(c.r, 65535));
            Store(p + 2, 2, ToUnorm(c.g, 65535));
            break;
        case D3DFMT_A16B16G16R16:
            Store(p, 2, ToUnorm(c.r, 65535));
            Store(p + 2, 2, ToUnorm(c.g, 65535));
            Store(p + 4, 2, ToUnorm(c.b, 65535));
            Store(p + 6, 2, ToUnorm(c.a, 65535));
            break;
        case D3DFMT_R16F:
            StoreHalf(p, c.r);
            break;
        case D3DFMT_G16R16F:
            StoreHalf(p, c.r);
            StoreHalf(p + 2, c.g);
            break;
        case D3DFMT_A16B16G16R16F:
            StoreHalf(p, c.r);
            StoreHalf(p + 2, c.g);
            StoreHalf(p + 4, c.b);
            StoreHalf(p + 6, c.a);
            break;
        case D3DFMT_R32F:
            StoreFloat(p, c.r);
            break;
        case D3DFMT_G32R32F:
            StoreFloat(p, c.r);
            StoreFloat(p + 4, c.g);
            break;
        case D3DFMT_A32B32G32R32F:
            StoreFloat(p, c.r);
            StoreFloat(p + 4, c.g);
            StoreFloat(p + 8, c.b);
            StoreFloat(p + 12, c.a);
            break;
        default:
            break;
    }
}

PixelCodec::Rgba PixelCodec::FromColor(D3DCOLOR v) {
    return {Unorm((v >> 16) & 0xFF, 255), Unorm((v >> 8) & 0xFF, 255), Unorm(v & 0xFF, 255),
            Unorm(v >> 24, 255)};
}

D3DCOLOR PixelCodec::ToColor(const Rgba& c) {
    return (ToUnorm(c.a, 255) << 24) | (ToUnorm(c.r, 255) << 16) | (ToUnorm(c.g, 255) << 8) |
           ToUnorm(c.b, 255);
}

float PixelCodec::HalfToFloat(WORD h) {
    DWORD sign = static_cast<DWORD>(h & 0x8000) << 16;
    DWORD exponent = (h >> 10) & 0x1F;
    DWORD mantissa = h & 0x3FF;
    DWORD bits;
    if (exponent == 0) {
        if (mantissa == 0) {
            bits = sign;
        } else {  // subnormal: normalise
            int e = -1;
            do {
                ++e;
                mantissa <<= 1;
            } while ((mantissa & 0x400) == 0);
            bits = sign | (static_cast<DWORD>(127 - 15 - e) << 23) | ((mantissa & 0x3FF) << 13);
        }
    } else if (exponent == 31) {
        bits = sign | 0x7F800000u | (mantissa << 13);
    } else {
        bits = sign | ((exponent + 127 - 15) << 23) | (mantissa << 13);
    }
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

WORD PixelCodec::FloatToHalf(float value) {
    DWORD bits;
    std::memcpy(&bits, &value, 4);
    WORD sign = static_cast<WORD>((bits >> 16) & 0x8000);
    DWORD exponent = (bits >> 23) & 0xFF;
    DWORD mantissa = bits & 0x7FFFFF;
    if (exponent == 0xFF)
        return static_cast<WORD>(sign | 0x7C00 | (mantissa ? 0x200 : 0));
    int e = static_cast<int>(exponent) - 127 + 15;
    if (e >= 31)
        return static_cast<WORD>(sign | 0x7C00);
    if (e <= 0) {
        if (e < -10)
            return sign;
        mantissa |= 0x800000;
        int shift = 14 - e;
        DWORD half = mantissa >> shift;
        DWORD rest = mantissa & ((1u << shift) - 1);
        DWORD halfway = 1u << (shift - 1);
        if (rest > halfway || (rest == halfway && (half & 1)))
            ++half;
        return static_cast<WORD>(sign | half);
    }
    DWORD half = (static_cast<DWORD>(e) << 10) | (mantissa >> 13);
    DWORD rest = mantissa & 0x1FFF;
    if (rest > 0x1000 || (rest == 0x1000 && (half & 1)))
        ++half;  // may carry into the exponent
    return static_cast<WORD>(sign | half);
}
