// Billboards: the pieces and shared shapes of each kind, the matrices the facing, split and axis
// rules build from the current camera, their bounds, copies and recycling, and a drawn frame.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "Core/DeviceCaps.h"
#include "Core/Factory.h"
#include "Entity/Geometry/IndexData.h"
#include "Entity/Image/PixelFormat.h"
#include "Entity/Scene/BillBoard.h"
#include "Entity/Scene/Camera.h"
#include "Entity/Texture/RenderTarget.h"
#include "Math/AABB.h"
#include "Math/MathUtil.h"
#include "Math/Matrix4.h"
#include "Math/Quaternion.h"
#include "Render/ClearRecord.h"
#include "Render/HardwareIndexBuffer.h"
#include "support/GoldenImage.h"
#include "tests/Entity/Scene/DrawSceneFixture.h"

namespace {

using namespace Zel;

std::vector<float> Row(const float* v, int n) {
    return std::vector<float>(v, v + n);
}

// m times the point p (column vector).
std::vector<float> Apply(const float* m, const float* p) {
    std::vector<float> out(3);
    for (int r = 0; r < 3; ++r)
        out[r] = m[4 * r] * p[0] + m[4 * r + 1] * p[1] + m[4 * r + 2] * p[2] + m[4 * r + 3];
    return out;
}

void ExpectNear(const std::vector<float>& a, const std::vector<float>& b) {
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) EXPECT_NEAR(a[i], b[i], 1e-4f) << "element " << i;
}

class BillBoardTest : public ZelTest::DrawSceneTest {
protected:
    void SetUp() override {
        ZelTest::DrawSceneTest::SetUp();
        camera_ = Scene().CreateCamera();
        Scene().SetRenderCamera(camera_);
        // Looking along +Y from (0, -10, 0): -Z turned a quarter about X.
        const float s = std::sqrt(0.5f);
        const float turn[4] = {s, 0.0f, 0.0f, s};
        const float at[3] = {0.0f, -10.0f, 0.0f};
        camera_->SetOrientation(turn);
        camera_->SetPosition(at);
    }
    void TearDown() override {
        Scene().SetRenderCamera(nullptr);
        BillBoard::ReleaseSharedShapes();
        ZelTest::DrawSceneTest::TearDown();
    }

    BillBoard& Make(std::int32_t kind) {
        BillBoard* board = Scene().CreateBillBoard(kind);
        EXPECT_NE(board, nullptr);
        return *board;
    }
    void Update(BillBoard& board) {
        std::uint32_t counter = 0;
        board.Update(&counter, 0.0f, ++frame_);
    }

    Camera* camera_ = nullptr;
    std::uint32_t frame_ = 1;
};

TEST_F(BillBoardTest, EachKindHasItsPiecesShapeAndExtent) {
    struct Case {
        std::int32_t kind;
        std::uint32_t pieces;
        std::uint32_t indices;
        std::uint32_t hostKind;
    };
    for (const Case& c : {Case{0, 1, 6, 0}, Case{1, 1, 6, 1}, Case{2, 2, 3, 2}, Case{3, 2, 3, 3},
                          Case{4, 1, 6, 4}, Case{7, 1, 6, 0}}) {
        SCOPED_TRACE(c.kind);
        BillBoard& board = Make(c.kind);
        EXPECT_EQ(board.GetHostKind(), c.hostKind);
        EXPECT_EQ(board.GetEntityKind(), 9u);
        ASSERT_EQ(board.GetSubEntities().size(), c.pieces);
        Pass pass(nullptr, 0);
        for (std::uint32_t i = 0; i < c.pieces; ++i) {
            SubEntity& piece = *board.GetSubEntities()[i];
            EXPECT_EQ(piece.GetUserWord(), i);
            ASSERT_EQ(piece.FillRenderOperation(&pass, 0), 1u);
            EXPECT_EQ(piece.GetRenderOperationRecord()->indexCount, c.indices);
            EXPECT_EQ(piece.GetRenderOperationRecord()->vertexCount, c.indices == 6 ? 4u : 3u);
        }
        // Kinds that build nothing draw the unit shape where the identity puts it.
        if (c.kind == 1 || c.kind == 4 || c.kind == 7) {
            Update(board);
            EXPECT_EQ(Row(board.GetMatrix(0), 16), Row(IdentityMatrix(), 16));
            EXPECT_EQ(Row(board.GetMatrix(1), 16), Row(IdentityMatrix(), 16));
        }
        Scene().ReleaseEntity(&board);
    }
}

TEST_F(BillBoardTest, SizesScaleTheShapeByKind) {
    // Kind 3 spans 2 x width across and height upwards; kind 0 half its width and height.
    BillBoard& axis = Make(3);
    axis.SetSize(1.0f, 2.0f);
    Update(axis);
    const float corner0[3] = {-1, 0, 0}, corner1[3] = {1, 0, 1};
    ExpectNear(Apply(axis.GetMatrix(0), corner0), {-1, 0, 0});
    ExpectNear(Apply(axis.GetMatrix(0), corner1), {1, 0, 2});
    EXPECT_EQ(Row(axis.GetMatrix(0), 16), Row(axis.GetMatrix(1), 16));

    BillBoard& quad = Make(0);
    quad.SetSize(1.0f, 2.0f);
    Update(quad);
    const float quadCorner[3] = {1, 1, 0};
    ExpectNear(Apply(quad.GetMatrix(0), quadCorner), {0.5f, 1.0f, 0.0f});
    // Its box: the unit quad (0.01 thick) through the matrix.
    const AABB& box = quad.GetBoundingBox();
    ExpectNear(Row(box.GetMin(), 3), {-0.5f, -1.0f, -0.01f});
    ExpectNear(Row(box.GetMax(), 3), {0.5f, 1.0f, 0.01f});

    // Kind 2: the camera's turn for both triangles, the second lifted by height along the
    // billboard's own up axis.
    BillBoard& split = Make(2);
    split.SetSize(2.0f, 3.0f);
    const float at[3] = {4, 5, 6};
    split.SetPosition(at);
    Update(split);
    const float origin[3] = {0, 0, 0};
    ExpectNear(Apply(split.GetMatrix(0), origin), {4, 5, 6});
    ExpectNear(Apply(split.GetMatrix(1), origin), {4, 5, 9});
}

TEST_F(BillBoardTest, FacingFlagsFollowTheCamera) {
    BillBoard& board = Make(0);
    const float at[3] = {3, 2, 1};
    board.SetPosition(at);
    const float* cameraTurn = camera_->GetWorldOrientation();
    const float scale[3] = {0.5f, 0.5f, 1.0f};
    float expected[16];

    // Flag 1 alone: exactly the camera's turn wherever it stands.
    board.SetFlags(BillBoard::kFaceCamera);
    Update(board);
    Matrix4::MakeTransform(expected, scale, cameraTurn, at);
    ExpectNear(Row(board.GetMatrix(0), 16), Row(expected, 16));

    // Flag 8 keeps the matrix whatever the camera does.
    board.SetFlags(BillBoard::kFaceCamera | BillBoard::kFreeze);
    const float elsewhere[3] = {-6, 1, 9};
    camera_->SetPosition(elsewhere);
    const float turned[4] = {0, 0, std::sqrt(0.5f), std::sqrt(0.5f)};
    camera_->SetOrientation(turned);
    Update(board);
    ExpectNear(Row(board.GetMatrix(0), 16), Row(expected, 16));

    // Flag 256 moves a rebuilt matrix toward the camera by the offset, once per update.
    board.SetFlags(BillBoard::kFaceCamera | BillBoard::kTowardCamera);
    board.SetCameraOffset(2.0f);
    Update(board);
    Update(board);
    float toCamera[3] = {elsewhere[0] - at[0], elsewhere[1] - at[1], elsewhere[2] - at[2]};
    const float length = std::sqrt(toCamera[0] * toCamera[0] + toCamera[1] * toCamera[1] +
                                   toCamera[2] * toCamera[2]);
    const float origin[3] = {0, 0, 0};
    ExpectNear(Apply(board.GetMatrix(0), origin),
               {at[0] + 2 * toCamera[0] / length, at[1] + 2 * toCamera[1] / length,
                at[2] + 2 * toCamera[2] / length});
    // Without a rule that rebuilds, the offset is not added again and again.
    const std::vector<float> kept = Row(board.GetMatrix(0), 16);
    board.SetFlags(BillBoard::kTowardCamera);
    Update(board);
    Update(board);
    EXPECT_EQ(Row(board.GetMatrix(0), 16), kept);

    // Without a current camera the camera rules keep the matrix.
    Scene().SetRenderCamera(nullptr);
    board.SetFlags(BillBoard::kFaceCamera);
    Update(board);
    EXPECT_EQ(Row(board.GetMatrix(0), 16), kept);

    // Flags 0: the node's own placement.
    board.SetFlags(0);
    Update(board);
    Matrix4::MakeTransform(expected, scale, board.GetWorldOrientation(), at);
    ExpectNear(Row(board.GetMatrix(0), 16), Row(expected, 16));
}

TEST_F(BillBoardTest, ALevelledBillboardUnderATopDownCameraStaysARotation) {
    // Looking straight down: the camera's direction has no horizontal part.
    const float down[4] = {0, 0, 0, 1};
    camera_->SetOrientation(down);
    float q[4];
    const float vertical[3] = {0, 0, -1};
    Quaternion::ToHorizontal(q, vertical);
    EXPECT_EQ(Row(q, 4), (std::vector<float>{0, 0, 0, 1}));
    for (std::uint32_t flags :
         {BillBoard::kLevelled, BillBoard::kFaceCamera | BillBoard::kTurnToCamera}) {
        SCOPED_TRACE(flags);
        BillBoard& board = Make(0);
        const float above[3] = {0, -10, -5};
        board.SetPosition(above);
        board.SetFlags(flags);
        Update(board);
        // Columns of unit length (scale 0.5, 0.5, 1): no stretched, non-unit turn.
        const float* m = board.GetMatrix(0);
        const float columnLength[3] = {0.5f, 0.5f, 1.0f};
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(std::sqrt(m[c] * m[c] + m[4 + c] * m[4 + c] + m[8 + c] * m[8 + c]),
                        columnLength[c], 1e-4f);
    }
}

TEST_F(BillBoardTest, CopiesTakeEverythingButTheColourAndRecyclingResetsTheSettings) {
    BillBoard& source = Make(2);
    source.SetSize(3.0f, 4.0f);
    source.SetFlags(BillBoard::kFaceCamera);
    source.SetAuxiliaryValue(7.0f);
    source.SetCameraOffset(0.5f);
    const float red[4] = {1, 0, 0, 1};
    source.SetColour(red);
    Update(source);
    auto* clone = dynamic_cast<BillBoard*>(source.Clone(false));
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(clone->GetKind(), 2u);
    EXPECT_EQ(clone->GetWidth(), 3.0f);
    EXPECT_EQ(clone->GetHeight(), 4.0f);
    EXPECT_EQ(clone->GetFlags(), BillBoard::kFaceCamera);
    EXPECT_EQ(clone->GetAuxiliaryValue(), 7.0f);
    EXPECT_EQ(clone->GetCameraOffset(), 0.5f);
    EXPECT_EQ(Row(clone->GetMatrix(1), 16), Row(source.GetMatrix(1), 16));
    EXPECT_EQ(Row(clone->GetColour(), 4), std::vector<float>(4, 1.0f));
    ASSERT_EQ(clone->GetSubEntities().size(), 2u);
    EXPECT_EQ(clone->GetSubEntities()[1]->GetUserWord(), 1u);
    EXPECT_EQ(clone->GetSubEntities()[1]->GetOwner(), clone);

    Scene().ReleaseEntity(&source);
    BillBoard* again = Scene().CreateBillBoard(0);
    ASSERT_EQ(again, &source);  // the pool hands the same object back
    EXPECT_EQ(again->GetWidth(), 1.0f);
    EXPECT_EQ(again->GetFlags(), 0u);
    EXPECT_EQ(again->GetAuxiliaryValue(), 0.0f);
    EXPECT_EQ(again->GetCameraOffset(), 1.0f);
    EXPECT_EQ(again->GetSubEntities().size(), 1u);
}

TEST_F(BillBoardTest, ShapeIndicesAreWideOnlyWhenTheDeviceTakesThem) {
    for (bool wide : {false, true}) {
        SCOPED_TRACE(wide);
        BillBoard::ReleaseSharedShapes();
        std::uint32_t& flags = G()->GetDeviceCaps()->featureFlags;
        flags = wide ? (flags | DEVICE_INDEX_32) : (flags & ~std::uint32_t(DEVICE_INDEX_32));
        for (std::uint32_t kind : {0u, 2u}) {
            IndexData* indices = BillBoard::GetSharedIndexData(kind);
            ASSERT_NE(indices, nullptr);
            ASSERT_NE(indices->GetBuffer(), nullptr);
            EXPECT_EQ(indices->GetBuffer()->GetIndexSize(), wide ? 4u : 2u);
        }
    }
}

TEST_F(BillBoardTest, AFrameOfBillboardsFacingTheCamera) {
    Material& material = FlatMaterial("sprite", 0);
    // A camera-facing quad, a split pair and an axis billboard in a row, seen from the front.
    struct Placement {
        std::int32_t kind;
        float x;
        float width, height;
        std::uint32_t flags;
    };
    std::vector<BillBoard*> boards;
    for (const Placement& p :
         {Placement{0, -3.0f, 2.0f, 2.0f, BillBoard::kFaceCamera},
          Placement{2, 0.0f, 1.5f, 1.5f, 0}, Placement{3, 3.0f, 0.8f, 2.5f, 0}}) {
        BillBoard& board = Make(p.kind);
        const float at[3] = {p.x, 0.0f, -1.0f};
        board.SetPosition(at);
        board.SetSize(p.width, p.height);
        board.SetFlags(p.flags);
        board.SetMaterialAll(&material);
        Update(board);
        boards.push_back(&board);
    }
    const float eye[3] = {0.0f, -10.0f, 0.0f}, target[3] = {0.0f, 0.0f, 0.0f};
    LookAt(eye, target, 45.0f);

    TextureManager& textures = *G()->GetTextureManager();
    RenderTarget* frame = textures.CreateRenderTarget(false);
    RenderTarget* depth = textures.CreateRenderTarget(true);
    ASSERT_TRUE(frame && depth);
    ASSERT_TRUE(frame->Create(kWidth, kHeight, 1, 0, PF_A8R8G8B8, 1, false));
    ASSERT_TRUE(depth->Create(kWidth, kHeight, 1, 0, PF_D24S8, 1, false));
    frame->Bind(0);
    depth->Bind(0);
    const float background[4] = {0.1f, 0.1f, 0.2f, 1.0f};
    system_.Clear(CLEAR_COLOUR | CLEAR_DEPTH, background, 1.0f, 0);
    system_.BeginScene();
    Scene().PushNewPipe(0, 0, nullptr);
    for (BillBoard* board : boards) Scene().PushRenderable(board);
    Scene().ProcessCurrentPipe();
    Scene().RenderPushedPipes();
    Scene().CleanPushedObjsAndSubModels();
    system_.EndScene();
    frame->Unbind();
    depth->Unbind();
    const std::string path = (dir_.Path() / "billboards.png").string();
    ASSERT_TRUE(frame->SaveToFile(path.c_str(), 3));
    ZelTest::ExpectGoldenPng(path, "billboards_facing", 3);
}

}  // namespace
