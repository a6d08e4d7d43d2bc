// JPEG files whose Huffman table segments lie about their size, made from a good file: the
// header reader of the system's stb_image (2.27) takes the code counts as they stand and writes
// past its tables, so these must never reach it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace ZelTest {

// name, file
inline std::vector<std::pair<std::string, std::vector<std::uint8_t>>> JpegDhtFaults(
    const std::vector<std::uint8_t>& good) {
    using Bytes = std::vector<std::uint8_t>;
    std::vector<std::pair<std::string, Bytes>> out;
    // A whole segment right after the start-of-image marker: 16 code lengths of 20 codes each,
    // 320 symbols (a table holds at most 256), every symbol byte present.
    Bytes many(good.begin(), good.begin() + 2);
    const std::size_t length = 2 + 17 + 320;
    for (std::uint8_t b : {std::uint8_t(0xFF), std::uint8_t(0xC4), std::uint8_t(length >> 8),
                           std::uint8_t(length & 0xFF), std::uint8_t(0x00)})
        many.push_back(b);
    many.insert(many.end(), 16, 20);
    many.insert(many.end(), 320, 0);
    many.insert(many.end(), good.begin() + 2, good.end());
    out.emplace_back("320 symbols in one table", many);
    // A segment whose length runs past the end of the file: its counts would be read from the
    // scan header and what follows (found by fuzzing).
    Bytes cut(good.begin(), good.begin() + 2);
    for (std::uint8_t b : {0xFF, 0xC4, 0x00, 0x14, 0x00, 0x00, 0x00, 0xFF, 0xDA, 0x00,
                           0x08, 0x01, 0x01, 0x00, 0x00, 0x3F, 0x00, 0x0F, 0xFF, 0xD9})
        cut.push_back(b);
    out.emplace_back("segment past the end of the file", cut);
    return out;
}

}  // namespace ZelTest
