// The ".xm3" fixture writer against bytes assembled by hand from the record tables: a library of
// one material without passes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fixtures/MaterialLibFixtures.h"

namespace {

// Appends the bytes of a hex text (blanks ignored), then count zero bytes.
void Hex(std::vector<std::uint8_t>& out, const std::string& hex, std::size_t zeros = 0) {
    std::string digits;
    for (char c : hex)
        if (c != ' ')
            digits += c;
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2)
        out.push_back(std::uint8_t(std::stoul(digits.substr(i, 2), nullptr, 16)));
    out.insert(out.end(), zeros, 0);
}

TEST(Xm3FixtureWriter, MatchesHandAssembledBytes) {
    std::vector<std::uint8_t> expected;
    Hex(expected, "0b000000 00000000 00000000");       // MaterialLib header
    Hex(expected, "01000000", 256);                    // one material
    Hex(expected, "00000000 02000000 00000000 6d00");  // "m"
    Hex(expected, "0c000000 00000000 1e010000");       // Material, 0 passes, @286
    Hex(expected, "00000000 07000000 02000000 04000000 03000000 0c000000");
    for (int i = 0; i < 16; ++i) Hex(expected, "0000803f");  // colours 1.0
    Hex(expected, "00008042", 256);                          // shininess 64
    Hex(expected, "00000000 02000000 00000000 6d00");        // name again
    Hex(expected, "00000000 01000000 00000000 00");          // empty second string

    ZelFixtures::Xm3Library library;
    ZelFixtures::Xm3Material material;
    material.name = "m";
    material.flags = 7;
    material.lightingMode = 2;
    material.techniqueCode = 3;
    library.materials.push_back(material);
    std::vector<std::size_t> boundaries;
    EXPECT_EQ(ZelFixtures::WriteXm3(library, &boundaries), expected);
    EXPECT_EQ(boundaries, (std::vector<std::size_t>{12, 272, 286, 298, 646, 660, 673}));
}

}  // namespace
