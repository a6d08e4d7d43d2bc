#include "Platform/D3DX9/JpegTableCheck.h"

#include <cstring>

namespace {

constexpr std::uint8_t kMarkerDht = 0xC4;
constexpr std::uint8_t kMarkerSos = 0xDA;
constexpr std::uint8_t kMarkerEoi = 0xD9;

std::size_t Be16(const std::uint8_t* p, std::size_t at) {
    return std::size_t(p[at]) << 8 | p[at + 1];
}

// Marks the tables of a DHT segment [at, end) as defined; false when it does not fit.
bool ReadTables(const std::uint8_t* data, std::size_t at, std::size_t end, unsigned* defined) {
    while (at < end) {
        if (end - at < 17)
            return false;
        const std::uint8_t classAndId = data[at];
        if ((classAndId >> 4) > 1 || (classAndId & 15) > 3)
            return false;
        std::size_t symbols = 0;
        for (int i = 1; i <= 16; ++i) symbols += data[at + i];
        if (symbols > 256 || symbols > end - at - 17)
            return false;
        *defined |= 1u << ((classAndId >> 4) * 4 + (classAndId & 15));
        at += 17 + symbols;
    }
    return true;
}

// Whether the scan header [at, end) names only defined tables.
bool ScanTablesDefined(const std::uint8_t* data, std::size_t at, std::size_t end,
                       unsigned defined) {
    if (at >= end)
        return false;
    const std::size_t components = data[at];
    if (end - at < 1 + 2 * components + 3)
        return false;
    const std::uint8_t first = data[at + 1 + 2 * components];
    const std::uint8_t last = data[at + 2 + 2 * components];
    for (std::size_t i = 0; i < components; ++i) {
        const std::uint8_t tables = data[at + 2 + 2 * i];
        const unsigned dc = tables >> 4, ac = tables & 15;
        if (first == 0 && (dc > 3 || !(defined & (1u << dc))))
            return false;
        if (last > 0 && (ac > 3 || !(defined & (1u << (4 + ac)))))
            return false;
    }
    return true;
}

}  // namespace

bool JpegScansUseDefinedTables(const std::uint8_t* data, std::size_t size) {
    if (!data || size < 2 || data[0] != 0xFF || data[1] != 0xD8)
        return false;
    unsigned defined = 0;
    std::size_t at = 2;
    while (at + 4 <= size) {
        if (data[at] != 0xFF) {
            // Entropy-coded data between a scan and the next marker.
            const void* next = std::memchr(data + at, 0xFF, size - at);
            at = next ? std::size_t(static_cast<const std::uint8_t*>(next) - data) : size;
            continue;
        }
        const std::uint8_t marker = data[at + 1];
        if (marker == 0xFF || marker == 0x00 || marker == 0x01 ||
            (marker >= 0xD0 && marker <= 0xD7)) {
            at += marker == 0xFF ? 1 : 2;  // fill byte, stuffed zero, or a marker without length
            continue;
        }
        if (marker == kMarkerEoi)
            return true;
        const std::size_t length = Be16(data, at + 2);
        if (length < 2 || length > size - at - 2)
            return false;
        const std::size_t begin = at + 4, end = at + 2 + length;
        if (marker == kMarkerDht && !ReadTables(data, begin, end, &defined))
            return false;
        if (marker == kMarkerSos && !ScanTablesDefined(data, begin, end, defined))
            return false;
        at = end;
    }
    return true;
}
