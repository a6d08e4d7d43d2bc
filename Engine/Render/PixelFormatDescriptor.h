// The descriptor of each pixel-format code (Entity/PixelFormat.h): flags, sizes and the channel
// masks and shifts, twelve 32-bit words in this order. Pure table reads; any thread.
#pragma once

#include <cstdint>

namespace Zel {

struct PixelFormatDescriptor {
    std::uint32_t flags;          // PixelFormatFlag bits
    std::uint32_t bytesPerPixel;  // 0 for the block-compressed formats
    std::uint32_t channelCount;
    std::uint32_t bytesPerChannel;
    std::uint32_t mask[4];   // A, R, G, B
    std::uint32_t shift[4];  // A, R, G, B
};

// The descriptor of a code; a code outside 0-18 answers the all-zero descriptor of code 0.
const PixelFormatDescriptor& GetPixelFormatDescriptor(std::uint32_t format);

}  // namespace Zel
