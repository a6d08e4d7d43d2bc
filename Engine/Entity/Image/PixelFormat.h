// The system's pixel-format codes and the conversions between one RGBA colour of four floats and
// one pixel of a format, including 32-bit float <-> 16-bit half float. Pure functions, any thread.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Zel {

// Pixel-format codes 0-18. Decoded images also use code 2 for 3-byte B, G, R (or R, G, B) pixels.
enum PixelFormat : std::uint32_t {
    PF_NONE = 0,
    PF_A8R8G8B8 = 1,
    PF_X8R8G8B8 = 2,
    PF_X1R5G5B5 = 3,
    PF_G16R16 = 4,
    PF_A16B16G16R16 = 5,
    PF_DXT1 = 6,
    PF_DXT2 = 7,
    PF_DXT3 = 8,
    PF_DXT4 = 9,
    PF_DXT5 = 10,
    PF_D24S8 = 11,
    PF_D24X8 = 12,
    PF_D16 = 13,
    PF_G16R16F = 14,
    PF_A16B16G16R16F = 15,
    PF_R32F = 16,
    PF_G32R32F = 17,
    PF_A32B32G32R32F = 18,
    PF_COUNT = 19,
};

// Descriptor flag bits.
enum PixelFormatFlag : std::uint32_t {
    PFF_ALPHA = 1,
    PFF_COMPRESSED = 2,
    PFF_FLOAT = 4,
    PFF_DEPTH = 8,
};

// Table reads. A code outside 0-18 answers 0 / false (Direct3D format 0 is D3DFMT_UNKNOWN).
std::uint32_t GetPixelFormatFlags(std::uint32_t format);
std::uint32_t GetPixelFormatBytesPerPixel(std::uint32_t format);
// The Direct3D 9 format value; the DXT codes give their FourCC ("DXT1" read little-endian).
std::uint32_t GetPixelFormatD3DFormat(std::uint32_t format);
bool IsPixelFormatCompressed(std::uint32_t format);
bool IsPixelFormatFloat(std::uint32_t format);

// Bytes of one surface: bytes per pixel x width x height x depth, or for DXT 4x4 blocks of 8 bytes
// (DXT1) or 16 bytes (DXT2-DXT5) per depth slice; 0 for codes without a size. 64-bit, so no side
// combination overflows.
std::uint64_t GetPixelFormatByteSize(std::uint32_t width, std::uint32_t height, std::uint32_t depth,
                                     std::uint32_t format);

// value <= 0 (and NaN) gives 0, value >= 1 gives 2^bits - 1, otherwise value x 2^bits truncated.
// bits: 1 to 16.
std::uint32_t FloatToUnorm(float value, int bits);

// IEEE half <-> float, on bit patterns. FloatToHalf truncates the mantissa, flushes values below
// 2^-24 to +0, turns values too large into infinity and keeps a NaN a NaN.
std::uint16_t FloatToHalf(std::uint32_t floatBits);
std::uint32_t HalfToFloat(std::uint16_t half);
// The same on float values.
std::uint16_t FloatToHalfValue(float value);
float HalfToFloatValue(std::uint16_t half);

// Writes one pixel of the format at destination: formats 1 and 2 as bytes B, G, R, A; 5 as four
// 16-bit R, G, B, A; 15 as four halves R, G, B, A; 18 as four floats R, G, B, A. Any other format
// writes nothing. destination must hold the format's bytes per pixel; unaligned is fine.
void PackPixel(float r, float g, float b, float a, std::uint32_t format, void* destination);
void PackPixel(const float colour[4], std::uint32_t format, void* destination);
// The reverse of PackPixel; formats it does not know give 0, 0, 0, 0.
void UnpackPixel(std::uint32_t format, const void* source, float& r, float& g, float& b, float& a);
void UnpackPixel(std::uint32_t format, const void* source, float colour[4]);

}  // namespace Zel
