// Hand-typed expected bytes for the fixture writer tests: hex strings ("0E000000 08000000",
// blanks ignored) placed at offsets of a zero-filled buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ZelTest {

std::vector<std::uint8_t> Hex(const std::string& text);

class Golden {
public:
    explicit Golden(std::size_t size) : bytes_(size, 0) {}
    // Puts the hex bytes at the offset (the buffer must hold them).
    Golden& At(std::size_t offset, const std::string& hex);
    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
};

// Concatenation of hex pieces, each a std::string.
std::vector<std::uint8_t> Join(const std::vector<std::vector<std::uint8_t>>& pieces);
// "N zero bytes" in hex, for reserved blocks.
std::string Zeros(std::size_t count);
// The first differing offset of two byte strings as text, for failure messages.
std::string FirstDifference(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b);

}  // namespace ZelTest
