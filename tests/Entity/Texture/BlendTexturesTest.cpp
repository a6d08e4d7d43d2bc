// Texture blending into the texture manager's scratch buffers.
#include <cstring>

#include "Entity/Texture/BlendTextures.h"
#include "tests/Entity/Texture/TextureFixture.h"

namespace {

using Blend = ZelTest::TextureTest;
using Pixel = std::array<std::uint8_t, 4>;  // B, G, R, A

// A 4 x 3 destination in the 2 MiB scratch buffer, filled with one pixel.
struct Canvas {
    std::uint8_t* bits;
    static constexpr int kWidth = 4, kHeight = 3;
    Pixel At(int x, int y) const {
        Pixel p;
        std::memcpy(p.data(), bits + (y * kWidth + x) * 4, 4);
        return p;
    }
};

Canvas MakeCanvas(Zel::TextureManager* textures, Pixel fill) {
    Canvas canvas{textures->GetScratchBuffer2M()};
    for (int i = 0; i < Canvas::kWidth * Canvas::kHeight; ++i)
        std::memcpy(canvas.bits + i * 4, fill.data(), 4);
    return canvas;
}

TEST_F(Blend, PixelsFollowSourceOverDestination) {
    const struct {
        const char* name;
        Pixel destination, source, expected;
    } cases[] = {
        {"a transparent destination takes the source whole",
         {10, 20, 30, 0},
         {200, 100, 50, 77},
         {200, 100, 50, 77}},
        {"an opaque source gives its colour and alpha 255",
         {10, 20, 30, 128},
         {200, 100, 50, 255},
         {200, 100, 50, 255}},
        {"a source of alpha 0 leaves the destination",
         {10, 20, 30, 128},
         {200, 100, 50, 0},
         {10, 20, 30, 128}},
        // as = 128/255 over an opaque destination: 3 x 0.502 = 1.506 rounds up, not down.
        {"colours round to nearest", {0, 0, 0, 255}, {3, 200, 255, 128}, {2, 100, 128, 255}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Canvas canvas = MakeCanvas(Textures(), c.destination);
        const Pixel source = c.source;
        Zel::BlendTexturesDesc desc;
        desc.destination = canvas.bits;
        desc.source = source.data();
        desc.destinationWidth = Canvas::kWidth;
        desc.destinationHeight = Canvas::kHeight;
        desc.copyWidth = desc.copyHeight = 1;
        desc.sourcePitch = 4;
        desc.x = 2;
        desc.y = 1;
        ASSERT_TRUE(Zel::BlendTextures(desc, false));
        EXPECT_EQ(canvas.At(2, 1), c.expected);
        EXPECT_EQ(canvas.At(1, 1), c.destination);
    }
}

TEST_F(Blend, RowsRunFromTheSourcesLastRowAndFlipFromTheBottom) {
    // A 2 x 2 source block with a distinct pixel each, opaque.
    const std::uint8_t source[] = {1, 1, 1, 255, 2, 2, 2, 255, 0, 0, 0, 0, 0, 0, 0, 0,
                                   3, 3, 3, 255, 4, 4, 4, 255, 0, 0, 0, 0, 0, 0, 0, 0};
    for (bool flip : {false, true}) {
        SCOPED_TRACE(flip);
        Canvas canvas = MakeCanvas(Textures(), {9, 9, 9, 0});
        // Edge-exact: x + 2 = 4 and y + 2 = 3.
        Zel::BlendTexturesDesc desc{canvas.bits, source, 4, 3, 2, 2, 16, 2, 1};
        ASSERT_TRUE(Zel::BlendTextures(desc, flip));
        if (!flip) {
            // Source row 1 lands on destination row 1, source row 0 on row 2.
            EXPECT_EQ(canvas.At(2, 1)[0], 3);
            EXPECT_EQ(canvas.At(3, 1)[0], 4);
            EXPECT_EQ(canvas.At(2, 2)[0], 1);
            EXPECT_EQ(canvas.At(3, 2)[0], 2);
            EXPECT_EQ(canvas.At(2, 0)[0], 9);
        } else {
            // Rows start at height - y - 1 = 1 and go up.
            EXPECT_EQ(canvas.At(2, 1)[0], 3);
            EXPECT_EQ(canvas.At(2, 0)[0], 1);
            EXPECT_EQ(canvas.At(3, 0)[0], 2);
            EXPECT_EQ(canvas.At(2, 2)[0], 9);
        }
    }
    // With y = 0 the first blended row is the last destination row.
    Canvas canvas = MakeCanvas(Textures(), {9, 9, 9, 0});
    Zel::BlendTexturesDesc desc{canvas.bits, source, 4, 3, 1, 1, 16, 0, 0};
    ASSERT_TRUE(Zel::BlendTextures(desc, true));
    EXPECT_EQ(canvas.At(0, 2)[0], 1);
    EXPECT_EQ(canvas.At(0, 0)[0], 9);
}

TEST_F(Blend, InvalidRequestsWriteNothingAndAreLogged) {
    Canvas canvas = MakeCanvas(Textures(), {9, 9, 9, 9});
    std::vector<std::uint8_t> source(64 * 4, 200);
    std::vector<std::uint8_t> elsewhere(4 * 3 * 4, 0);
    const Zel::BlendTexturesDesc good{canvas.bits, source.data(), 4, 3, 2, 2, 8, 1, 1};
    struct Case {
        const char* name;
        void (*change)(Zel::BlendTexturesDesc&);
    };
    static std::uint8_t* outside;
    outside = elsewhere.data();
    const Case cases[] = {
        {"one pixel past the right edge", [](Zel::BlendTexturesDesc& d) { d.x = 3; }},
        {"one row past the bottom", [](Zel::BlendTexturesDesc& d) { d.y = 2; }},
        {"negative x", [](Zel::BlendTexturesDesc& d) { d.x = -1; }},
        {"negative y", [](Zel::BlendTexturesDesc& d) { d.y = -1; }},
        {"negative width", [](Zel::BlendTexturesDesc& d) { d.copyWidth = -2; }},
        {"zero height", [](Zel::BlendTexturesDesc& d) { d.copyHeight = 0; }},
        {"negative destination width", [](Zel::BlendTexturesDesc& d) { d.destinationWidth = -4; }},
        {"a pitch shorter than a row", [](Zel::BlendTexturesDesc& d) { d.sourcePitch = 7; }},
        {"no source", [](Zel::BlendTexturesDesc& d) { d.source = nullptr; }},
        {"no destination", [](Zel::BlendTexturesDesc& d) { d.destination = nullptr; }},
        {"a destination outside the scratch buffers",
         [](Zel::BlendTexturesDesc& d) { d.destination = outside; }},
        {"a destination larger than its scratch buffer",
         [](Zel::BlendTexturesDesc& d) {
             d.destinationWidth = 1024;
             d.destinationHeight = 513;
         }},
        {"a destination that runs past its buffer's end",
         [](Zel::BlendTexturesDesc& d) { d.destination += 0x200000 - 16; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Zel::BlendTexturesDesc desc = good;
        c.change(desc);
        EXPECT_FALSE(Zel::BlendTextures(desc, false));
        EXPECT_EQ(canvas.At(1, 1), (Pixel{9, 9, 9, 9}));
        EXPECT_EQ(elsewhere[0], 0);
    }
    EXPECT_EQ(Occurrences(LogText(), " Blend Texture Failed, 4,3,2,2,3,1"), 1);
    EXPECT_EQ(Occurrences(LogText(), " Blend Texture Failed, "), int(std::size(cases)));
    EXPECT_TRUE(Zel::BlendTextures(good, false));
}

}  // namespace
