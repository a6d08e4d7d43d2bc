// Field reads for the image decoders. Every caller has checked that offset + the field's width
// lies inside the input; these only assemble the bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Zel::ImageBytes {

inline std::uint16_t Le16(const std::uint8_t* data, std::size_t offset) {
    return static_cast<std::uint16_t>(data[offset] | data[offset + 1] << 8);
}

inline std::uint32_t Le32(const std::uint8_t* data, std::size_t offset) {
    return std::uint32_t(data[offset]) | std::uint32_t(data[offset + 1]) << 8 |
           std::uint32_t(data[offset + 2]) << 16 | std::uint32_t(data[offset + 3]) << 24;
}

inline std::uint32_t Be32(const std::uint8_t* data, std::size_t offset) {
    return std::uint32_t(data[offset]) << 24 | std::uint32_t(data[offset + 1]) << 16 |
           std::uint32_t(data[offset + 2]) << 8 | std::uint32_t(data[offset + 3]);
}

// Whether [offset, offset + length) lies inside an input of size bytes; no overflow for any
// 64-bit operands.
inline bool Inside(std::uint64_t offset, std::uint64_t length, std::uint64_t size) {
    return offset <= size && length <= size - offset;
}

}  // namespace Zel::ImageBytes
