#include "Entity/Material/WaveRecord.h"

#include <cstring>

namespace Zel {

namespace {
float FloatAt(const std::uint8_t* bytes) {
    const std::uint32_t bits = std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 |
                               std::uint32_t(bytes[2]) << 16 | std::uint32_t(bytes[3]) << 24;
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}
}  // namespace

void WaveRecord::FromBytes(const std::uint8_t* bytes) {
    std::memcpy(codes, bytes, 4);
    for (int i = 0; i < 5; ++i) first[i] = FloatAt(bytes + 4 + 4 * i);
    for (int i = 0; i < 5; ++i) second[i] = FloatAt(bytes + 24 + 4 * i);
}

}  // namespace Zel
