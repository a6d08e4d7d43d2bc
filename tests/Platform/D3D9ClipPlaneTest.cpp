// User clip planes of the software device: the enabled planes of D3DRS_CLIPPLANEENABLE cut what
// is drawn, the fixed-function stage reading them in world space.
#include "tests/Platform/RasterFixture.h"

namespace {

class ClipPlaneTest : public RasterFixture {
protected:
    static D3DMATRIX Identity() {
        D3DMATRIX m{};
        m._11 = m._22 = m._33 = m._44 = 1.0f;
        return m;
    }
    // The lit pixels' bounding box (left, top, right, bottom) and their number.
    struct Lit {
        int left = kSide, top = kSide, right = -1, bottom = -1, count = 0;
    };
    Lit LitPixels() {
        Lit lit;
        const std::vector<DWORD> frame = Frame();
        for (int y = 0; y < int(kSide); ++y)
            for (int x = 0; x < int(kSide); ++x)
                if (frame[std::size_t(y) * kSide + std::size_t(x)] != 0xFF000000u) {
                    lit.left = std::min(lit.left, x);
                    lit.top = std::min(lit.top, y);
                    lit.right = std::max(lit.right, x);
                    lit.bottom = std::max(lit.bottom, y);
                    ++lit.count;
                }
        return lit;
    }
};

TEST_F(ClipPlaneTest, EnabledPlanesCutTheQuadInWorldSpace) {
    struct Case {
        const char* name;
        DWORD enabled;
        float planes[2][4];
        float viewShiftX;  // the view moves the world by this along x
        int left, top, right, bottom;
    };
    const Case cases[] = {
        {"none enabled", 0, {{1, 0, 0, 0}, {0, 0, 0, 0}}, 0.0f, 0, 0, 63, 63},
        {"x >= 0", 1, {{1, 0, 0, 0}, {0, 0, 0, 0}}, 0.0f, 32, 0, 63, 63},
        {"x >= 0 with the view shifted", 1, {{1, 0, 0, 0}, {0, 0, 0, 0}}, 0.5f, 48, 0, 63, 63},
        {"x >= 0 and y >= 0", 3, {{1, 0, 0, 0}, {0, 1, 0, 0}}, 0.0f, 32, 0, 63, 31},
        {"plane 1 alone", 2, {{1, 0, 0, 0}, {0, -1, 0, 0}}, 0.0f, 0, 32, 63, 63},
        {"a plane of zeros keeps everything", 1, {{0, 0, 0, 0}, {0, 0, 0, 0}}, 0.0f, 0, 0, 63, 63},
        {"x <= -2 keeps nothing", 1, {{-1, 0, 0, -2}, {0, 0, 0, 0}}, 0.0f, kSide, kSide, -1, -1},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0), D3D_OK);
        D3DMATRIX identity = Identity();
        D3DMATRIX view = Identity();
        view._41 = c.viewShiftX;
        ASSERT_EQ(device_->SetTransform(D3DTS_WORLD, &identity), D3D_OK);
        ASSERT_EQ(device_->SetTransform(D3DTS_VIEW, &view), D3D_OK);
        ASSERT_EQ(device_->SetTransform(D3DTS_PROJECTION, &identity), D3D_OK);
        ASSERT_EQ(device_->SetClipPlane(0, c.planes[0]), D3D_OK);
        ASSERT_EQ(device_->SetClipPlane(1, c.planes[1]), D3D_OK);
        SetRS(D3DRS_CLIPPLANEENABLE, c.enabled);
        ClipQuad();
        const Lit lit = LitPixels();
        EXPECT_EQ(lit.left, c.left) << c.name;
        EXPECT_EQ(lit.top, c.top) << c.name;
        EXPECT_EQ(lit.right, c.right) << c.name;
        EXPECT_EQ(lit.bottom, c.bottom) << c.name;
        if (lit.count > 0) {
            EXPECT_EQ(lit.count, (lit.right - lit.left + 1) * (lit.bottom - lit.top + 1))
                << c.name << ": the kept part is a whole rectangle";
        }
    }
}

// Lines and points are cut by the same planes.
TEST_F(ClipPlaneTest, LinesAndPointsOutsideAPlaneAreNotDrawn) {
    const float plane[4] = {1, 0, 0, 0};
    ASSERT_EQ(device_->SetClipPlane(0, plane), D3D_OK);
    SetRS(D3DRS_CLIPPLANEENABLE, 1);
    ASSERT_EQ(device_->SetFVF(kLFvf), D3D_OK);
    const std::vector<LVertex> line = {{-1.0f, 0.01f, 0.5f, 0xFFFFFFFFu, 0, 0},
                                       {1.0f, 0.01f, 0.5f, 0xFFFFFFFFu, 0, 0}};
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_LINELIST, 1, line.data(), sizeof(LVertex)), D3D_OK);
    Lit lit = LitPixels();
    EXPECT_EQ(lit.left, 32);
    EXPECT_EQ(lit.right, 63);

    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0), D3D_OK);
    const std::vector<LVertex> points = {{-0.5f, 0.01f, 0.5f, 0xFFFFFFFFu, 0, 0},
                                         {0.5f, 0.01f, 0.5f, 0xFFFFFFFFu, 0, 0}};
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_POINTLIST, 2, points.data(), sizeof(LVertex)), D3D_OK);
    lit = LitPixels();
    EXPECT_EQ(lit.count, 1);
    EXPECT_EQ(lit.left, 48);
}

}  // namespace
