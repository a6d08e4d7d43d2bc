// Bits written most significant first into a byte writer, for bit-packed formats (the compressed
// action file) and for hand-assembled edge files. A byte is handed to the writer once its eight
// bits are complete; Align pads the last one with zero bits.
#pragma once

#include <cstdint>

#include "fixtures/ByteWriter.h"

namespace ZelModelGen {

class BitWriter {
public:
    explicit BitWriter(ZelFixtures::ByteWriter& out) : out_(out) {}
    BitWriter(const BitWriter&) = delete;
    BitWriter& operator=(const BitWriter&) = delete;

    // The low n bits of the value (n from 0 to 32), the highest first.
    BitWriter& Bits(std::uint32_t value, unsigned n);
    BitWriter& Bit(bool on) { return Bits(on ? 1 : 0, 1); }
    // A 32-bit float pattern, high part first.
    BitWriter& Float(float value);
    // Zero bits up to the next byte boundary.
    BitWriter& Align();
    // Bits written but not yet handed over (0 to 7).
    unsigned Pending() const { return held_; }

private:
    ZelFixtures::ByteWriter& out_;
    std::uint32_t byte_ = 0;
    unsigned held_ = 0;
};

}  // namespace ZelModelGen
