// DXT5 compression of composed textures through NVIDIA Texture Tools, into a caller's buffer.
#pragma once

#include <cstdint>

namespace Zel {

// Bytes NVIDIA Texture Tools writes for a DXT5 texture without a header: over the levels
// (width x height halving to 1 x 1 when withMipmaps, else the top level alone) the sum of
// max(1, ceil(w / 4)) x max(1, ceil(h / 4)) blocks of 16 bytes.
std::uint64_t Dxt5CompressedSize(std::uint32_t width, std::uint32_t height, bool withMipmaps);

// Compresses a width x height image of B, G, R, A pixels (rows of 4 x width bytes) to DXT5 with
// nvtt's fastest quality, box-filtered mipmaps when asked, into destination (capacity bytes; not
// owned). format must be 10 (PF_DXT5). outSize receives the bytes written in every case. False
// for a null source or destination, zero capacity or side, another format, an nvtt failure
// (a destination too small among them), or a written size other than Dxt5CompressedSize.
// Each call uses its own output handler, so calls may run on several threads at once.
bool CompressDxt5(const std::uint8_t* source, std::uint32_t capacity, std::uint32_t format,
                  std::uint32_t width, std::uint32_t height, std::uint8_t* destination,
                  bool withMipmaps, std::uint32_t& outSize);

}  // namespace Zel
