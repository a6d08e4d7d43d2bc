// Resampling of one surface's pixels into another size of the same pixel format: the arithmetic
// of ImageSurface::ResampleTo, as a pure function over pixel buffers.
#pragma once

#include <cstdint>

namespace Zel {

// Filter codes.
enum ResampleFilter : int {
    RESAMPLE_NEAREST = 0,
    RESAMPLE_LINEAR = 1,
    RESAMPLE_LINEAR_MIP = 2,  // the filter mip chains and scale-downs use; same arithmetic as 1
};

// A tightly packed surface: rows of width pixels, height rows a slice, depth slices.
struct SurfacePixels {
    std::uint8_t* data;
    std::uint32_t width, height, depth;
};

// Each axis steps through the source in 16.48 fixed point, step = source size x 2^48 /
// destination size, starting at step / 2 - 1.
// - Nearest copies the source pixel under each position, for formats of 1, 2, 3, 4, 6, 8, 12 or
//   16 bytes a pixel.
// - Linear, for formats 1 and 2 at depth 1: per byte channel a bilinear blend with 12-bit weights
//   from the position less half a pixel (floored at 0), the right and lower neighbours clamped to
//   the edge, rounded. Otherwise (formats 5 and 14-18, or depth above 1) a trilinear blend in
//   floating point with 16-bit weights, through PackPixel / UnpackPixel (float formats on their
//   float channels directly).
// Answers false, writing nothing, for a format or filter it cannot handle, a zero size or a null
// buffer. Sizes up to 16384 a side.
bool ResamplePixels(const SurfacePixels& source, const SurfacePixels& destination,
                    std::uint32_t format, int filter);

}  // namespace Zel
