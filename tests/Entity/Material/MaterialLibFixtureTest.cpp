// The ".xm3" fixture writer against bytes assembled by hand from the record tables: a library of
// one material without passes, and one whose pass has render states and a texture stage with a
// wave and its texture.
#include <gtest/gtest.h>

#include <algorithm>
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

// A library of one material named "m": the library chunk, the name, the Material chunk header
// (pass count, offset 286), the record whose first six words are given, colours 1.0, shininess
// 64, the name again and an empty second string.
std::vector<std::uint8_t> OneMaterialHead(const char* passCount, const std::string& words) {
    std::vector<std::uint8_t> out;
    Hex(out, "0b000000 00000000 00000000");  // MaterialLib header
    Hex(out, "01000000", 256);               // one material
    Hex(out, "00000000 02000000 00000000 6d00");
    Hex(out, std::string("0c000000 ") + passCount + " 1e010000");
    Hex(out, words);
    for (int i = 0; i < 16; ++i) Hex(out, "0000803f");
    Hex(out, "00008042", 256);
    Hex(out, "00000000 02000000 00000000 6d00");
    Hex(out, "00000000 01000000 00000000 00");
    return out;
}

TEST(Xm3FixtureWriter, MatchesHandAssembledBytes) {
    // Flags 7, lighting mode 2, technique code 3, no passes.
    const std::vector<std::uint8_t> expected =
        OneMaterialHead("00000000", "00000000 07000000 02000000 04000000 03000000 0c000000");

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

TEST(Xm3FixtureWriter, PassRenderStateStageAndTextureMatchHandAssembledBytes) {
    std::vector<std::uint8_t> expected =
        OneMaterialHead("01000000", "00000000 00000000 01000000 04000000 00000000 0c000000");
    // Pass: index 1, library flag 1, unread word, vertex flags 0x13, program kind 4, skinning 2,
    // influences 3, position mode 1, pass flags 9.
    Hex(expected, "0d000000 00000000 00000000");
    Hex(expected,
        "01000000 01000000 00000000 13000000 04000000 02000000 03000000 01000000 09000000", 272);
    // Render state: cull 2, depth 4, alpha 5, stencil 8, unread word, blend 5 / 6, reference 64,
    // flags 0x911, one stage group, colour mask 7.
    Hex(expected, "13000000 00000000 00000000");
    Hex(expected,
        "02000000 04000000 05000000 08000000 00000000 05000000 06000000 40000000 11090000"
        "01000000 07000000",
        256);
    // Stage: address 3 2 1, colour parameter (0.5, 0.25, 0, 1), constant colour (1, 0, 0.5, 1),
    // filter 2, slot 6, environment mode 13, flags 6, one wave; colour generation on channel 0 and
    // alpha generation on channel 1, both the default wave (codes 0, axes 1 1 0 0 0.5 and
    // 0 0 0 0 0.5).
    Hex(expected, "14000000 00000000 00000000");
    Hex(expected, "03000000 02000000 01000000");
    Hex(expected, "0000003f 0000803e 00000000 0000803f");
    Hex(expected, "0000803f 00000000 0000003f 0000803f");
    Hex(expected, "02000000 06000000 0d000000 06000000 01000000");
    const std::string defaultWave =
        "00000000 0000803f 0000803f 00000000 00000000 0000003f"
        "00000000 00000000 00000000 00000000 0000003f";
    Hex(expected, "00000000" + defaultWave);
    Hex(expected, "01000000" + defaultWave, 256);
    // The modifier: rotate (code 2) by a sine (kind 1) of frequency 1 and amplitude 0.5.
    Hex(expected,
        "02000100 0000803f 0000003f 00000000 00000000 0000003f"
        "00000000 00000000 00000000 00000000 0000003f");
    // Texture: type 1, then its name.
    Hex(expected, "15000000 00000000 00000000");
    Hex(expected, "01000000", 256);
    Hex(expected, "00000000 02000000 00000000 7400");

    ZelFixtures::Xm3Material material;
    material.name = "m";
    ZelFixtures::Xm3Pass pass;
    pass.index = 1;
    pass.influenceCount = 3;
    pass.positionMode = 1;
    pass.passFlags = 9;
    ZelFixtures::Xm3RenderState& state = pass.state;
    state.cull = 2;
    state.depthFunc = 4;
    state.alphaFunc = 5;
    state.stencilFunc = 8;
    state.srcBlend = 5;
    state.destBlend = 6;
    state.alphaRef = 64;
    state.flags = 0x911;
    state.colourMask = 7;
    ZelFixtures::Xm3Stage stage;
    stage.address[0] = 3;
    stage.address[1] = 2;
    const float colourParam[4] = {0.5f, 0.25f, 0, 1}, constant[4] = {1, 0, 0.5f, 1};
    std::copy(colourParam, colourParam + 4, stage.colourParam);
    std::copy(constant, constant + 4, stage.constantColour);
    stage.filter = 2;
    stage.slot = 6;
    stage.envMode = 13;
    stage.flags = 6;
    ZelFixtures::Xm3Wave rotate;
    rotate.codes[0] = 2;
    rotate.codes[2] = 1;
    rotate.first[1] = 0.5f;
    stage.waves.push_back(rotate);
    stage.texture.names = {"t"};
    state.stages.push_back(stage);
    material.passes.push_back(pass);
    ZelFixtures::Xm3Library library;
    library.materials.push_back(material);
    std::vector<std::size_t> boundaries;
    EXPECT_EQ(ZelFixtures::WriteXm3(library, &boundaries), expected);
    EXPECT_EQ(boundaries,
              (std::vector<std::size_t>{12, 272, 286, 298, 646, 660, 673, 685, 993, 1005, 1305,
                                        1317, 1733, 1777, 1789, 2049, 2063}));
}

}  // namespace
