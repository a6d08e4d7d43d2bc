// Picking what the software device drew: window pixels count from the top-left corner, so a
// pick at a drawn pixel finds the entity drawn there and a pick at its mirror image does not.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "Entity/Material/MaterialManager.h"
#include "Entity/Scene/SelectFrustum.h"
#include "Platform/Win32/Win32Window.h"
#include "tests/Entity/Scene/PickingFixture.h"

namespace {

using namespace Zel;

using PickingFrameTest = ZelTest::FrameTest;

TEST_F(PickingFrameTest, APickAtADrawnPixelFindsWhatWasDrawnThere) {
    // A square in the upper left of the view: the window's top rows show it.
    Material& simple = *G()->GetMaterialManager()->FindMaterial("Simple", false);
    const ZelTest::Soup square{{0, 0, 0, 1.5f, 0, 0, 0, 1.5f, 0, 1.5f, 1.5f, 0},
                               {0, 1, 2, 1, 3, 2}};
    Entity& entity = MakeEntity({&MakeSoupMesh(square)}, &simple);
    const float position[3] = {-2.5f, 1.0f, 0}, identity[4] = {0, 0, 0, 1};
    Place(entity, position, identity);
    SetCamera();
    Draw({&entity});

    const Win32Window& window = *Win32Window::Find(window_);
    UINT x0 = kWidth, y0 = kHeight, x1 = 0, y1 = 0;
    for (UINT y = 0; y < kHeight; ++y)
        for (UINT x = 0; x < kWidth; ++x)
            if (window.Pixel(x, y) & 0xFFFFFFu) {
                x0 = std::min(x0, x), x1 = std::max(x1, x);
                y0 = std::min(y0, y), y1 = std::max(y1, y);
            }
    ASSERT_LE(x0, x1) << "the square was drawn";
    ASSERT_LT(y1, kHeight / 2) << "in the upper half of the window";
    const int cx = int(x0 + x1) / 2, cy = int(y0 + y1) / 2;

    SelectFrustum select;
    struct Case {
        const char* what;
        int x, y;
        bool rayMode;
        bool hit;
    };
    const int mirrored = int(kHeight) - 1 - cy;
    const Case cases[] = {
        {"ray at the drawn pixel", cx, cy, true, true},
        {"ray at its mirror image", cx, mirrored, true, false},
        {"rectangle at the drawn pixel", cx, cy, false, true},
        {"rectangle at its mirror image", cx, mirrored, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        select.BeginSelection(c.x - 1, c.y - 1, c.x + 1, c.y + 1, c.rayMode);
        select.TestObject(&entity, 42);
        std::uint32_t out[2];
        EXPECT_EQ(select.EndSelection(out, 2), c.hit ? 1u : 0u);
    }
}

}  // namespace
