#include "Render/PixelFormatDescriptor.h"

#include <array>

#include "Entity/Image/PixelFormat.h"

namespace Zel {
namespace {

// Channel layout per code; flags and bytes per pixel come from the pixel-format table itself.
struct Layout {
    std::uint32_t channelCount;
    std::uint32_t bytesPerChannel;
    std::uint32_t mask[4];
    std::uint32_t shift[4];
};

constexpr Layout kLayouts[PF_COUNT] = {
    {0, 0, {0, 0, 0, 0}, {0, 0, 0, 0}},                                        // none
    {4, 1, {0xFF000000, 0x00FF0000, 0x0000FF00, 0x000000FF}, {24, 16, 8, 0}},  // A8R8G8B8
    {4, 1, {0, 0x00FF0000, 0x0000FF00, 0x000000FF}, {0, 16, 8, 0}},            // X8R8G8B8
    // Three 5-bit channels, as the format stores them.
    {3, 1, {0, 0x7C00, 0x03E0, 0x001F}, {0, 10, 5, 0}},     // X1R5G5B5
    {2, 2, {0, 0x0000FFFF, 0xFFFF0000, 0}, {0, 0, 16, 0}},  // G16R16
    {4, 2, {0, 0, 0, 0}, {0, 0, 0, 0}},                     // A16B16G16R16
    {0, 0, {0, 0, 0, 0}, {0, 0, 0, 0}},                     // DXT1
    {0, 0, {0, 0, 0, 0}, {0, 0, 0, 0}},                     // DXT2
    {0, 0, {0, 0, 0, 0}, {0, 0, 0, 0}},                     // DXT3
    {0, 0, {0, 0, 0, 0}, {0, 0, 0, 0}},                     // DXT4
    {0, 0, {0, 0, 0, 0}, {0, 0, 0, 0}},                     // DXT5
    {2, 2, {0, 0, 0, 0}, {0, 0, 0, 0}},                     // D24S8
    {2, 2, {0, 0, 0, 0}, {0, 0, 0, 0}},                     // D24X8
    {1, 2, {0, 0, 0, 0}, {0, 0, 0, 0}},                     // D16
    {2, 2, {0, 0, 0, 0}, {0, 0, 0, 0}},                     // G16R16F
    {4, 2, {0, 0, 0, 0}, {0, 0, 0, 0}},                     // A16B16G16R16F
    {1, 4, {0, 0, 0, 0}, {0, 0, 0, 0}},                     // R32F
    {2, 4, {0, 0, 0, 0}, {0, 0, 0, 0}},                     // G32R32F
    {4, 4, {0, 0, 0, 0}, {0, 0, 0, 0}},                     // A32B32G32R32F
};

std::array<PixelFormatDescriptor, PF_COUNT> BuildDescriptors() {
    std::array<PixelFormatDescriptor, PF_COUNT> table{};
    for (std::uint32_t code = 0; code < PF_COUNT; ++code) {
        const Layout& l = kLayouts[code];
        table[code] = PixelFormatDescriptor{GetPixelFormatFlags(code),
                                            GetPixelFormatBytesPerPixel(code),
                                            l.channelCount,
                                            l.bytesPerChannel,
                                            {l.mask[0], l.mask[1], l.mask[2], l.mask[3]},
                                            {l.shift[0], l.shift[1], l.shift[2], l.shift[3]}};
    }
    return table;
}

}  // namespace

const PixelFormatDescriptor& GetPixelFormatDescriptor(std::uint32_t format) {
    static const std::array<PixelFormatDescriptor, PF_COUNT> kTable = BuildDescriptors();
    return kTable[format < PF_COUNT ? format : PF_NONE];
}

}  // namespace Zel
