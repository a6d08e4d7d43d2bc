#include "Entity/Image/PixelFormat.h"

#include <cstring>

namespace Zel {
namespace {

struct FormatEntry {
    std::uint32_t d3dFormat;
    std::uint32_t flags;
    std::uint32_t bytesPerPixel;
};

constexpr std::uint32_t FourCc(char a, char b, char c, char d) {
    return std::uint32_t(std::uint8_t(a)) | std::uint32_t(std::uint8_t(b)) << 8 |
           std::uint32_t(std::uint8_t(c)) << 16 | std::uint32_t(std::uint8_t(d)) << 24;
}

constexpr FormatEntry kFormats[PF_COUNT] = {
    {0, 0, 0},           // none
    {21, PFF_ALPHA, 4},  // A8R8G8B8
    {22, 0, 4},          // X8R8G8B8
    {24, 0, 2},          // X1R5G5B5
    {34, 0, 4},          // G16R16
    {36, 0, 8},          // A16B16G16R16
    {FourCc('D', 'X', 'T', '1'), PFF_COMPRESSED, 0},
    {FourCc('D', 'X', 'T', '2'), PFF_COMPRESSED, 0},
    {FourCc('D', 'X', 'T', '3'), PFF_COMPRESSED, 0},
    {FourCc('D', 'X', 'T', '4'), PFF_COMPRESSED, 0},
    {FourCc('D', 'X', 'T', '5'), PFF_COMPRESSED, 0},
    {75, PFF_DEPTH, 4},    // D24S8
    {77, PFF_DEPTH, 4},    // D24X8
    {80, PFF_DEPTH, 2},    // D16
    {112, PFF_FLOAT, 4},   // G16R16F
    {113, PFF_FLOAT, 8},   // A16B16G16R16F
    {114, PFF_FLOAT, 4},   // R32F
    {115, PFF_FLOAT, 8},   // G32R32F
    {116, PFF_FLOAT, 16},  // A32B32G32R32F
};

const FormatEntry& Entry(std::uint32_t format) {
    static constexpr FormatEntry kNone{0, 0, 0};
    return format < PF_COUNT ? kFormats[format] : kNone;
}

std::uint32_t FloatBits(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, 4);
    return bits;
}

float BitsFloat(std::uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, 4);
    return value;
}

template <typename T>
void Store(void* destination, std::size_t index, T value) {
    std::memcpy(static_cast<std::uint8_t*>(destination) + index * sizeof(T), &value, sizeof(T));
}

template <typename T>
T Load(const void* source, std::size_t index) {
    T value;
    std::memcpy(&value, static_cast<const std::uint8_t*>(source) + index * sizeof(T), sizeof(T));
    return value;
}

}  // namespace

std::uint32_t GetPixelFormatFlags(std::uint32_t format) {
    return Entry(format).flags;
}
std::uint32_t GetPixelFormatBytesPerPixel(std::uint32_t format) {
    return Entry(format).bytesPerPixel;
}
std::uint32_t GetPixelFormatD3DFormat(std::uint32_t format) {
    return Entry(format).d3dFormat;
}
bool IsPixelFormatCompressed(std::uint32_t format) {
    return (Entry(format).flags & PFF_COMPRESSED) != 0;
}
bool IsPixelFormatFloat(std::uint32_t format) {
    return (Entry(format).flags & PFF_FLOAT) != 0;
}

std::uint64_t GetPixelFormatByteSize(std::uint32_t width, std::uint32_t height, std::uint32_t depth,
                                     std::uint32_t format) {
    if (IsPixelFormatCompressed(format)) {
        std::uint64_t blocks = ((std::uint64_t(width) + 3) / 4) * ((std::uint64_t(height) + 3) / 4);
        if (format == PF_DXT1)
            return blocks * 8 * depth;
        if (format >= PF_DXT2 && format <= PF_DXT5)
            return blocks * 16 * depth;
        return 0;
    }
    return std::uint64_t(GetPixelFormatBytesPerPixel(format)) * width * height * depth;
}

std::uint32_t FloatToUnorm(float value, int bits) {
    const std::uint32_t top = (1u << bits) - 1;
    if (!(value > 0.0f))
        return 0;
    if (value >= 1.0f)
        return top;
    return static_cast<std::uint32_t>(value * static_cast<float>(1u << bits));
}

std::uint16_t FloatToHalf(std::uint32_t floatBits) {
    const std::uint32_t sign = (floatBits >> 16) & 0x8000;
    const int exponent = static_cast<int>((floatBits >> 23) & 0xFF);
    const std::uint32_t mantissa = floatBits & 0x7FFFFF;
    if (exponent == 255) {
        if (mantissa == 0)
            return static_cast<std::uint16_t>(sign | 0x7C00);
        std::uint32_t payload = mantissa >> 13;
        if (payload == 0)
            payload = 1;  // a NaN whose payload sits below bit 13 stays a NaN
        return static_cast<std::uint16_t>(sign | 0x7C00 | payload);
    }
    const int e = exponent - 112;
    if (e < 1) {
        if (e < -10)
            return 0;
        return static_cast<std::uint16_t>(sign | (((mantissa | 0x800000) >> (1 - e)) >> 13));
    }
    if (e >= 31)
        return static_cast<std::uint16_t>(sign | 0x7C00);
    return static_cast<std::uint16_t>(sign | (std::uint32_t(e) << 10) | (mantissa >> 13));
}

std::uint32_t HalfToFloat(std::uint16_t half) {
    const std::uint32_t sign = std::uint32_t(half & 0x8000) << 16;
    const std::uint32_t exponent = (half >> 10) & 0x1F;
    std::uint32_t mantissa = half & 0x3FF;
    if (exponent == 31)
        return sign | 0x7F800000 | (mantissa << 13);
    if (exponent == 0) {
        if (mantissa == 0)
            return sign;
        std::uint32_t shifts = 0;
        while ((mantissa & 0x400) == 0) {
            mantissa <<= 1;
            ++shifts;
        }
        return sign | ((113 - shifts) << 23) | ((mantissa & 0x3FF) << 13);
    }
    return sign | ((exponent + 112) << 23) | (mantissa << 13);
}

std::uint16_t FloatToHalfValue(float value) {
    return FloatToHalf(FloatBits(value));
}
float HalfToFloatValue(std::uint16_t half) {
    return BitsFloat(HalfToFloat(half));
}

void PackPixel(float r, float g, float b, float a, std::uint32_t format, void* destination) {
    switch (format) {
        case PF_A8R8G8B8:
        case PF_X8R8G8B8: {
            auto* out = static_cast<std::uint8_t*>(destination);
            out[0] = static_cast<std::uint8_t>(FloatToUnorm(b, 8));
            out[1] = static_cast<std::uint8_t>(FloatToUnorm(g, 8));
            out[2] = static_cast<std::uint8_t>(FloatToUnorm(r, 8));
            out[3] = static_cast<std::uint8_t>(FloatToUnorm(a, 8));
            break;
        }
        case PF_A16B16G16R16: {
            const float channels[4] = {r, g, b, a};
            for (int i = 0; i < 4; ++i)
                Store(destination, i, static_cast<std::uint16_t>(FloatToUnorm(channels[i], 16)));
            break;
        }
        case PF_A16B16G16R16F: {
            const float channels[4] = {r, g, b, a};
            for (int i = 0; i < 4; ++i) Store(destination, i, FloatToHalfValue(channels[i]));
            break;
        }
        case PF_A32B32G32R32F: {
            const float channels[4] = {r, g, b, a};
            for (int i = 0; i < 4; ++i) Store(destination, i, channels[i]);
            break;
        }
        default:
            break;
    }
}

void PackPixel(const float colour[4], std::uint32_t format, void* destination) {
    PackPixel(colour[0], colour[1], colour[2], colour[3], format, destination);
}

void UnpackPixel(std::uint32_t format, const void* source, float colour[4]) {
    switch (format) {
        case PF_A8R8G8B8:
        case PF_X8R8G8B8: {
            const auto* in = static_cast<const std::uint8_t*>(source);
            colour[0] = in[2] / 255.0f;
            colour[1] = in[1] / 255.0f;
            colour[2] = in[0] / 255.0f;
            colour[3] = in[3] / 255.0f;
            return;
        }
        case PF_A16B16G16R16:
            for (int i = 0; i < 4; ++i) colour[i] = Load<std::uint16_t>(source, i) / 65535.0f;
            return;
        case PF_A16B16G16R16F:
            for (int i = 0; i < 4; ++i)
                colour[i] = HalfToFloatValue(Load<std::uint16_t>(source, i));
            return;
        case PF_A32B32G32R32F:
            for (int i = 0; i < 4; ++i) colour[i] = Load<float>(source, i);
            return;
        default:
            for (int i = 0; i < 4; ++i) colour[i] = 0.0f;
            return;
    }
}

void UnpackPixel(std::uint32_t format, const void* source, float& r, float& g, float& b, float& a) {
    float colour[4];
    UnpackPixel(format, source, colour);
    r = colour[0];
    g = colour[1];
    b = colour[2];
    a = colour[3];
}

}  // namespace Zel
