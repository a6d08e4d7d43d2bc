#include "modelgen/BitWriter.h"

#include <cstring>

namespace ZelModelGen {

BitWriter& BitWriter::Bits(std::uint32_t value, unsigned n) {
    for (unsigned i = n; i-- > 0;) {
        byte_ = (byte_ << 1) | ((value >> i) & 1u);
        if (++held_ == 8) {
            out_.U8(static_cast<std::uint8_t>(byte_));
            byte_ = 0;
            held_ = 0;
        }
    }
    return *this;
}

BitWriter& BitWriter::Float(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof(bits));
    return Bits(bits, 32);
}

BitWriter& BitWriter::Align() {
    if (held_ != 0)
        Bits(0, 8 - held_);
    return *this;
}

}  // namespace ZelModelGen
