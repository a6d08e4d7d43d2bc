// The host's box widgets: their own state, the renderer's lists, the instanced draws of up to 120
// boxes (faces before edges), the buffers given back on device loss and made again on reset, and
// a whole frame of boxes on the software device.
// Regenerate with ZEL_UPDATE_GOLDEN=1 ctest --test-dir build/dev -L pipeline, then look at
// tests/golden/widget_boxes.png before committing it.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "demo/DemoDataTree.h"
#include "Entity/Scene/SceneManager.h"
#include "Platform/Win32/Win32Window.h"
#include "Render/RenderSystem.h"
#include "Render/WidgetRenderImpl.h"
#include "support/GoldenImage.h"
#include "tests/Render/FrameFixture.h"

namespace {

using Zel::WidgetAABBImpl;

WidgetAABBImpl* NewBox(float x = 0.0f) {
    const float minimum[3] = {x, 0.0f, 0.0f}, maximum[3] = {x + 1.0f, 1.0f, 1.0f};
    return new WidgetAABBImpl(minimum, maximum);
}

TEST(WidgetAABBTest, StateOfANewAndAnEditedBox) {
    WidgetAABBImpl* box = NewBox();
    EXPECT_EQ(box->GetFlags(), 0u);
    EXPECT_EQ(box->GetType(), 0);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(box->GetWireColour()[i], 1.0f);
        EXPECT_EQ(box->GetSolidColour()[i], 1.0f);
    }
    const float at[3] = {1, 2, 3}, size[3] = {2, -1, 0.5f};
    box->SetPositionSize(at, size);
    float size4[4] = {9, 9, 9, 9};
    box->GetSize(size4);
    EXPECT_EQ(size4[0], 2.0f);
    EXPECT_EQ(size4[1], -1.0f);  // nothing corrects a negative size
    EXPECT_EQ(size4[2], 0.5f);
    EXPECT_EQ(size4[3], 0.0f);
    struct Mode {
        bool wire, solid;
        std::uint32_t flags;
    };
    for (const Mode& m :
         {Mode{true, false, 1}, Mode{false, true, 2}, Mode{true, true, 3}, Mode{false, false, 0}}) {
        box->SetDrawModes(m.wire, m.solid);
        EXPECT_EQ(box->GetFlags(), m.flags);
    }
    box->Release();
}

TEST(WidgetAABBTest, PackedColourKeepsSixBitsAChannel) {
    struct Case {
        float rgba[4];
        float packed;
    };
    const Case cases[] = {
        {{0, 0, 0, 0}, 0.0f},
        {{1, 1, 1, 1}, 16777215.0f},  // 2^24 - 1, exact in a float
        {{1, 0, 0, 0}, 63.0f * 262144.0f},
        {{0, 0, 0, 1}, 63.0f},
        {{0.5f, 0.5f, 0.5f, 0.5f}, 31.0f * (262144 + 4096 + 64 + 1)},
        {{2.0f, -1.0f, 0, 0}, 63.0f * 262144.0f},  // out-of-range channels clamp
    };
    for (const Case& c : cases) EXPECT_EQ(Zel::PackWidgetColour(c.rgba), c.packed);
}

class WidgetRenderTest : public ZelTest::FrameTest {
protected:
    void SetUp() override {
        ZelTest::FrameTest::SetUp();
        ASSERT_TRUE(ZelDemo::CopyEngineData(dir_.Path(), nullptr, true));
        const float eye[3] = {3.0f, 2.5f, 4.0f}, target[3] = {0.5f, 0.3f, 0.0f};
        LookAt(eye, target);
    }
    void TearDown() override {
        for (WidgetAABBImpl* box : boxes_) box->Release();
        renderer_.reset();
        ZelTest::FrameTest::TearDown();
    }
    Zel::WidgetRenderImpl& Renderer() {
        if (!renderer_)
            renderer_ = std::make_unique<Zel::WidgetRenderImpl>();
        return *renderer_;
    }
    WidgetAABBImpl* Add(bool wire, bool solid, float x = 0.0f) {
        WidgetAABBImpl* box = NewBox(x);
        box->SetDrawModes(wire, solid);
        boxes_.push_back(box);
        Renderer().AddWidget(box);
        return box;
    }
    std::vector<std::pair<bool, std::uint32_t>> Draws() {
        std::vector<std::pair<bool, std::uint32_t>> out;
        for (const auto& d : Renderer().GetBoxRenderer().GetLastDraws())
            out.emplace_back(d.solid, d.boxes);
        return out;
    }

    std::unique_ptr<Zel::WidgetRenderImpl> renderer_;
    std::vector<WidgetAABBImpl*> boxes_;
};

using DrawList = std::vector<std::pair<bool, std::uint32_t>>;

TEST_F(WidgetRenderTest, BoxesGoInDrawsOfAtMost120FacesBeforeEdges) {
    ASSERT_TRUE(Renderer().GetBoxRenderer().IsReady());
    for (int i = 0; i < 121; ++i) Add(true, false);
    Renderer().Render();
    EXPECT_EQ(Draws(), (DrawList{{false, 120}, {false, 1}}));

    Renderer().Clear();
    Add(false, false);  // neither: not drawn
    Add(true, true);
    Add(false, true);
    Renderer().Render();
    EXPECT_EQ(Draws(), (DrawList{{true, 2}, {false, 1}}));

    Renderer().Clear();
    Renderer().Render();
    EXPECT_TRUE(Draws().empty());
}

TEST_F(WidgetRenderTest, ReleasedWidgetLeavesTheRenderer) {
    WidgetAABBImpl* box = NewBox();
    box->SetDrawModes(true, false);
    Renderer().AddWidget(box);
    Renderer().AddWidget(box);  // twice: drawn twice
    Add(true, false);
    Renderer().Render();
    EXPECT_EQ(Draws(), (DrawList{{false, 3}}));
    box->Release();
    EXPECT_EQ(Renderer().GetList(0).size(), 1u);
    Renderer().Render();
    EXPECT_EQ(Draws(), (DrawList{{false, 1}}));
}

TEST_F(WidgetRenderTest, BuffersAreGivenBackOnLossAndMadeAgainOnReset) {
    Add(true, true);
    Zel::AABBObjRender8& boxes = Renderer().GetBoxRenderer();
    ASSERT_TRUE(boxes.IsReady());
    system_.OnLostDevice();
    EXPECT_FALSE(boxes.IsReady());
    Renderer().Render();
    EXPECT_TRUE(Draws().empty());
    system_.OnResetDevice();
    EXPECT_TRUE(boxes.IsReady());
    Renderer().Render();
    EXPECT_EQ(Draws(), (DrawList{{true, 1}, {false, 1}}));
}

TEST_F(WidgetRenderTest, FrameOfBoxes) {
    IDirect3DDevice9* d = Device().GetD3DDevice();
    ASSERT_EQ(D3D_OK,
              d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF101018u, 1.0f, 0));
    WidgetAABBImpl* faces = Add(false, true, -1.2f);
    faces->SetSolidColour(0.2f, 0.5f, 1.0f, 1.0f);
    WidgetAABBImpl* both = Add(true, true, 0.2f);
    both->SetSolidColour(1.0f, 0.5f, 0.1f, 1.0f);
    both->SetWireColour(1.0f, 1.0f, 0.2f, 1.0f);
    WidgetAABBImpl* edges = Add(true, false, 1.6f);
    edges->SetWireColour(0.2f, 1.0f, 0.3f, 1.0f);
    system_.BeginScene();
    Renderer().Render();
    system_.EndScene();
    ASSERT_EQ(D3D_OK, d->Present(nullptr, nullptr, nullptr, nullptr));
    ZelTest::ExpectGoldenFrame(*Win32Window::Find(window_), "widget_boxes", 3);
}

}  // namespace
