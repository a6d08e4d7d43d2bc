// Decals: the mesh cut out of a floor (its area, its bounds, its texture coordinates, shared
// corners of whole triangles), clip planes through receiver corners, which receivers take a
// decal (visibility, blending, facing in decal space, a rotated box's corners), devices without
// 32-bit indices, the factory round trip, and a whole frame.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <set>
#include <vector>

#include "Core/DeviceCaps.h"
#include "Core/Factory.h"
#include "Entity/Scene/Decal.h"
#include "Entity/Scene/Light.h"
#include "Platform/Win32/Win32Window.h"
#include "support/GoldenImage.h"
#include "support/LogCapture.h"
#include "tests/Entity/Scene/PickingFixture.h"

namespace {

using namespace Zel;
using ZelTest::Soup;

// n x n unit squares in z = 0 from the origin, front faces up.
Soup Floor(std::uint32_t n, float size = 1.0f) {
    Soup soup;
    for (std::uint32_t j = 0; j <= n; ++j)
        for (std::uint32_t i = 0; i <= n; ++i)
            soup.positions.insert(soup.positions.end(), {size * float(i), size * float(j), 0.0f});
    for (std::uint32_t j = 0; j < n; ++j) {
        for (std::uint32_t i = 0; i < n; ++i) {
            const std::uint32_t v00 = j * (n + 1) + i, v10 = v00 + 1, v01 = v00 + n + 1,
                                v11 = v01 + 1;
            soup.indices.insert(soup.indices.end(), {v00, v10, v11, v00, v11, v01});
        }
    }
    return soup;
}

constexpr float kDown[3] = {0, 0, -1};
constexpr float kUnit[3] = {1, 1, 1};
constexpr float kUvFrom[2] = {0, 0};
constexpr float kUvTo[2] = {1, 1};

class DecalTest : public ZelTest::PickingTest {
protected:
    void TearDown() override {
        for (Decal* d : decals_) Scene().ReleaseEntity(d);
        ZelTest::PickingTest::TearDown();
    }

    Entity& MakeReceiver(const Soup& soup, Material* material = nullptr) {
        Entity& e = MakeEntity({&MakeSoupMesh(soup)}, material ? material : &MakeMaterial({{}}));
        e.UpdatePlacement();
        return e;
    }

    Decal* Project(const DecalSource& source, const float* centre, const float* up,
                   const float* extents = kUnit, const float* direction = kDown) {
        Decal* d =
            Scene().CreateDecalEx(source, direction, up, centre, extents, nullptr, kUvFrom, kUvTo);
        if (d)
            decals_.push_back(d);
        return d;
    }

    // Area of the built triangles seen along the projection (decal-space x and z).
    static float Area(const Decal& decal) {
        const float* v = decal.GetBuiltVertices();
        const std::vector<std::uint32_t> idx = decal.GetBuiltIndices();
        float area = 0.0f;
        for (std::size_t t = 0; t + 2 < idx.size(); t += 3) {
            const float* a = v + Decal::kVertexFloats * idx[t];
            const float* b = v + Decal::kVertexFloats * idx[t + 1];
            const float* c = v + Decal::kVertexFloats * idx[t + 2];
            area += std::fabs((b[2] - a[2]) * (c[0] - a[0]) - (b[0] - a[0]) * (c[2] - a[2])) / 2;
        }
        return area;
    }

    std::int32_t DecalsInUse() {
        Factory<Decal>& f = *G()->GetDecalFactory();
        f.GetLock().Enter();
        const std::int32_t n = f.GetPool().GetInUseCount();
        f.GetLock().Leave();
        return n;
    }

    std::vector<Decal*> decals_;
};

TEST_F(DecalTest, ADecalOnAFloorCoversItsFootprintWithTheExpectedUVs) {
    Entity& floor = MakeReceiver(Floor(4));
    DecalSource source;
    source.mainReceiver = &floor;
    const float half = 0.2617994f;
    struct Case {
        const char* what;
        float centre[3];
        float up[3];
        std::uint32_t vertices;  // 0: not checked
    };
    const Case cases[] = {
        {"across the grid lines", {1.5f, 1.5f, 0}, {0, 1, 0}, 0},
        {"clip planes through the floor's corners: whole triangles only", {2, 2, 0}, {0, 1, 0}, 9},
        {"turned 30 degrees about the vertical",
         {2, 2, 0},
         {std::sin(2 * half), std::cos(2 * half), 0},
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Decal* decal = Project(source, c.centre, c.up);
        ASSERT_NE(decal, nullptr);
        EXPECT_FALSE(decal->IsEmpty());
        EXPECT_NEAR(Area(*decal), 4.0f, 1e-4f) << "the 2 x 2 footprint, no gaps or overlaps";
        if (c.vertices) {
            EXPECT_EQ(decal->GetBuiltVertexCount(), c.vertices) << "corners shared";
            EXPECT_EQ(decal->GetBuiltIndices().size(), 24u);
        }
        const float* v = decal->GetBuiltVertices();
        for (std::uint32_t i = 0; i < decal->GetBuiltVertexCount(); ++i) {
            const float* p = v + Decal::kVertexFloats * i;
            EXPECT_LE(std::fabs(p[0]), 1.0f + 1e-5f);
            EXPECT_LE(std::fabs(p[2]), 1.0f + 1e-5f);
            EXPECT_NEAR(p[1], Decal::kDepthOffset, 1e-5f) << "lifted off the floor";
            EXPECT_NEAR(p[3], 0.5f * p[0] + 0.5f, 1e-5f);
            EXPECT_NEAR(p[4], 1.0f - (0.5f * p[2] + 0.5f), 1e-5f);
        }
        // The node carries decal space to the world: every vertex lands on the floor.
        const float* m = decal->GetWorldMatrix();
        for (std::uint32_t i = 0; i < decal->GetBuiltVertexCount(); ++i) {
            float world[3];
            ZelTest::ToWorld(m, v + Decal::kVertexFloats * i, world);
            EXPECT_NEAR(world[2], -Decal::kDepthOffset, 1e-5f);
        }
    }
}

TEST_F(DecalTest, TheWholeTrianglesOfAClippedFloorKeepTheirCornersShared) {
    Entity& floor = MakeReceiver(Floor(4));
    DecalSource source;
    source.mainReceiver = &floor;
    const float centre[3] = {1.5f, 1.5f, 0}, up[3] = {0, 1, 0};
    Decal* decal = Project(source, centre, up);
    ASSERT_NE(decal, nullptr);
    // The square [1, 2]^2 lies wholly inside: its two triangles come last, over four vertices;
    // every clipped piece before them has vertices of its own.
    const std::vector<std::uint32_t> idx = decal->GetBuiltIndices();
    ASSERT_GE(idx.size(), 6u);
    const std::set<std::uint32_t> whole(idx.end() - 6, idx.end());
    EXPECT_EQ(whole.size(), 4u);
    for (std::size_t k = 0; k + 6 < idx.size(); ++k) EXPECT_LT(idx[k], *whole.begin());
}

TEST_F(DecalTest, ReceiversAreChosenByVisibilityMaterialFacingAndBox) {
    struct Case {
        const char* what;
        bool built;
        std::function<void(Entity&, DecalSource&)> setUp;
    };
    const float identity[4] = {0, 0, 0, 1}, origin[3] = {0, 0, 0};
    const float flip[4] = {1, 0, 0, 0};  // 180 degrees about x: the floor faces down
    const Case cases[] = {
        {"a plain floor", true, [](Entity&, DecalSource&) {}},
        {"no receiver", false, [](Entity&, DecalSource& s) { s.mainReceiver = nullptr; }},
        {"a further receiver only", true,
         [](Entity& e, DecalSource& s) {
             s.mainReceiver = nullptr;
             s.receivers = {nullptr, &e};
         }},
        {"a hidden receiver", false,
         [](Entity& e, DecalSource&) { e.ClearStateBits(NODE_VISIBLE); }},
        {"a receiver beside the box", false,
         [&](Entity& e, DecalSource&) {
             const float far[3] = {10, 0, 0};
             Place(e, far, identity);
         }},
        {"a floor facing away", false, [&](Entity& e, DecalSource&) { Place(e, origin, flip); }},
        {"facing away, two-sided decal, one-sided material", false,
         [&](Entity& e, DecalSource& s) {
             Place(e, origin, flip);
             s.twoSided = true;
         }},
        {"facing away, two-sided decal and material", true,
         [&](Entity& e, DecalSource& s) {
             Place(e, origin, flip);
             e.GetSubEntity(0)->SetMaterial(&MakeMaterial({{false, CULL_NONE}}));
             s.twoSided = true;
         }},
        {"a blended receiver", false,
         [&](Entity& e, DecalSource&) { e.GetSubEntity(0)->SetMaterial(&MakeMaterial({{true}})); }},
        {"a blended receiver, blending accepted", true,
         [&](Entity& e, DecalSource& s) {
             e.GetSubEntity(0)->SetMaterial(&MakeMaterial({{true}}));
             s.acceptBlended = true;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // The floor is centred on the origin; the flipped one still covers the box.
        Soup floor = Floor(4);
        for (std::size_t i = 0; i < floor.positions.size(); i += 3) {
            floor.positions[i] -= 2.0f;
            floor.positions[i + 1] -= 2.0f;
        }
        Entity& e = MakeReceiver(floor);
        DecalSource source;
        source.mainReceiver = &e;
        c.setUp(e, source);
        e.UpdatePlacement();
        const std::int32_t inUse = DecalsInUse();
        const float centre[3] = {0, 0, 0}, up[3] = {0, 1, 0};
        Decal* decal = Project(source, centre, up);
        EXPECT_EQ(decal != nullptr, c.built);
        if (!decal) {
            EXPECT_EQ(DecalsInUse(), inUse) << "a failed decal goes back to its factory";
        }
        e.SetStateBits(NODE_VISIBLE);
    }
}

TEST_F(DecalTest, FacingIsJudgedInDecalSpaceSoRotatedReceiversCount) {
    // A wall in the local x-z plane facing -y, turned -90 degrees about x so that it faces up.
    const Soup wall{{-2, 0, -2, 2, 0, -2, 2, 0, 2, -2, 0, 2}, {0, 1, 2, 0, 2, 3}};
    Entity& receiver = MakeReceiver(wall);
    const float s = std::sqrt(0.5f);
    const float turn[4] = {-s, 0, 0, s}, origin[3] = {0, 0, 0};
    Place(receiver, origin, turn);
    DecalSource source;
    source.mainReceiver = &receiver;
    const float centre[3] = {0, 0, 0}, up[3] = {0, 1, 0};
    Decal* decal = Project(source, centre, up);
    ASSERT_NE(decal, nullptr);
    EXPECT_NEAR(Area(*decal), 4.0f, 1e-4f);
}

TEST_F(DecalTest, ATurnedBoxFindsReceiversUnderItsCorners) {
    // A box turned 45 degrees about the vertical reaches x = +-1.41; a small floor piece at
    // x = 1.2 lies under its corner though beyond every single half axis.
    Soup piece{{1.15f, -0.05f, 0, 1.25f, -0.05f, 0, 1.25f, 0.05f, 0}, {0, 1, 2}};
    Entity& receiver = MakeReceiver(piece);
    DecalSource source;
    source.mainReceiver = &receiver;
    const float s = std::sqrt(0.5f);
    const float centre[3] = {0, 0, 0}, up[3] = {s, s, 0};
    Decal* decal = Project(source, centre, up);
    ASSERT_NE(decal, nullptr);
    EXPECT_NEAR(Area(*decal), 0.005f, 1e-5f);
}

TEST_F(DecalTest, WithoutThirtyTwoBitIndicesADecalAbove65535VerticesIsRefused) {
    // 260 x 260 squares of 0.1 wholly inside the box: 68,121 shared vertices.
    Soup floor = Floor(260, 0.1f);
    Entity& receiver = MakeReceiver(floor);
    DecalSource source;
    source.mainReceiver = &receiver;
    const float centre[3] = {13, 13, 0}, up[3] = {0, 1, 0}, extents[3] = {14, 1, 14};
    std::uint32_t& caps = G()->GetDeviceCaps()->featureFlags;
    const std::uint32_t saved = caps;
    caps &= ~std::uint32_t(DEVICE_INDEX_32);
    {
        ZelTest::LogCapture log;
        EXPECT_EQ(Project(source, centre, up, extents), nullptr);
        EXPECT_EQ(log.Count("need 32-bit indices"), 1);
    }
    caps |= DEVICE_INDEX_32;
    Decal* decal = Project(source, centre, up, extents);
    ASSERT_NE(decal, nullptr);
    EXPECT_EQ(decal->GetBuiltVertexCount(), 261u * 261u);
    caps = saved;
}

TEST_F(DecalTest, ReleasingADecalReturnsItToItsFactoryEmpty) {
    Entity& floor = MakeReceiver(Floor(4));
    DecalSource source;
    source.mainReceiver = &floor;
    const std::int32_t inUse = DecalsInUse();
    const float centre[3] = {2, 2, 0}, up[3] = {0, 1, 0};
    Decal* decal = Scene().CreateDecalEx(source, kDown, up, centre, kUnit, nullptr, kUvFrom, kUvTo);
    ASSERT_NE(decal, nullptr);
    EXPECT_EQ(DecalsInUse(), inUse + 1);
    EXPECT_EQ(decal->GetEntityKind(), 15u);
    EXPECT_EQ(decal->GetMaterial(), G()->GetMaterialManager()->GetDefaultMaterial(false));
    ZelTest::LogCapture log;
    Scene().ReleaseEntity(decal);
    EXPECT_EQ(log.Count("Release Unknown Entity"), 1) << "decals are not registered";
    EXPECT_EQ(DecalsInUse(), inUse);
    EXPECT_TRUE(decal->IsEmpty()) << "pooled objects are reset, not destroyed";
    EXPECT_EQ(decal->GetVertexData(), nullptr);
}

// A checkered decal on a flat white floor, drawn through the light's pipe.
using DecalFrameTest = ZelTest::FrameTest;

TEST_F(DecalFrameTest, ADecalDrawsItsCheckerOnTheFloor) {
    Material& simple = *G()->GetMaterialManager()->FindMaterial("Simple", false);
    // The floor ends at x = 1, across the decal: the decal is cut there.
    Soup floor = Floor(6, 1.0f);
    for (std::size_t i = 0; i < floor.positions.size(); i += 3) {
        floor.positions[i] -= 5.0f;
        floor.positions[i + 1] -= 3.0f;
    }
    Entity& ground = MakeEntity({&MakeSoupMesh(floor)}, &simple);
    ground.UpdatePlacement();
    DecalSource source;
    source.mainReceiver = &ground;
    const float s = std::sin(0.3f), c = std::cos(0.3f);
    const float centre[3] = {0.3f, -0.2f, 0}, up[3] = {s, c, 0}, extents[3] = {2.2f, 1, 1.6f};
    Material* checker = G()->GetMaterialManager()->FindMaterial("Default", false);
    ASSERT_NE(checker, nullptr);
    Decal* decal =
        Scene().CreateDecalEx(source, kDown, up, centre, extents, checker, kUvFrom, kUvTo);
    ASSERT_NE(decal, nullptr);
    SetCamera();
    Light* light = Scene().CreateLight(1);
    const float at[3] = {0, 0, 5};
    light->SetPosition(at);
    light->SetRange(50.0f);
    light->UpdatePlacement();
    Draw({&ground}, [&] {
        Scene().PushNewPipe(2, 0, light);
        Scene().PushRenderable(decal);
        Scene().ProcessCurrentPipe();
        Scene().RenderPushedPipes();
        Scene().CleanPushedObjsAndSubModels();
    });
    ZelTest::ExpectGoldenFrame(*Win32Window::Find(window_), "decal_checker_floor", 3);
    Scene().ReleaseEntity(decal);
}

}  // namespace
