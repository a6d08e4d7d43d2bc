// The draw path from the render queue to the device: records drawn their repeat count of times,
// solid groups slot by slot (the shader-model-2 slots only on such a device), pieces of marked
// owners inside an occlusion query, passes of one piece added onto each other, the counters the
// group draws keep, and the host's pipe calls around them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "Core/DeviceCaps.h"
#include "Core/FrameStats.h"
#include "Core/GlobalConfigManager.h"
#include "Core/EnginePaths.h"
#include "Entity/Material/LegacyShaderCompiler.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Material/ZelShaderConstFiller.h"
#include "Entity/Scene/Camera.h"
#include "Entity/Scene/Level.h"
#include "Entity/Scene/Light.h"
#include "Entity/Scene/RenderableGroup.h"
#include "Render/ClearRecord.h"
#include "Render/FogRecord.h"
#include "Render/RenderSystem.h"
#include "Entity/Geometry/GeometryManager.h"
#include "Platform/Win32/Win32Window.h"
#include "modelgen/Recipes.h"
#include "support/GoldenImage.h"
#include "tests/Entity/Scene/RenderSceneFixture.h"

namespace {

using namespace Zel;

constexpr float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

class RenderPipesTest : public ZelTest::RenderSceneTest {
protected:
    void SetUp() override {
        ZelTest::RenderSceneTest::SetUp();
        Scene().SetDX7Mode(false);
        // Clip space is world space: the test triangles lie in view.
        Scene().SetViewMatrix(kIdentity);
        Scene().SetProjectionMatrix(kIdentity);
        Scene().SetCurrentView(kIdentity, kIdentity, kIdentity);
        Soft()->ResetCallCounts();
    }
    void TearDown() override {
        for (std::uint32_t s : {16u, 17u, 18u, 71u, 78u}) G()->GetConfigManager()->SetValue(s, 1);
        G()->GetConfigManager()->SetValue(78, 0);
        ZelTest::RenderSceneTest::TearDown();
    }

    ULONGLONG Draws() { return Calls(D3D9Call::DrawIndexedPrimitive); }
};

TEST_F(RenderPipesTest, ARecordIsDrawnItsRepeatCountOfTimesAndOnlyInsideAScene) {
    Material& material = MakeMaterial({{}});
    Entity& entity = MakeEntity({&MakeMesh()}, &material);
    SubEntity& piece = *entity.GetSubEntity(0);
    Pass& pass = *material.GetPass(0);
    ASSERT_EQ(piece.FillRenderOperation(&pass, 0), 1u);
    RenderOperation& record = *piece.GetRenderOperationRecord();

    EXPECT_EQ(system_.ProcessRenderOperation(record), 0u);  // outside a scene
    EXPECT_EQ(Draws(), 0u);
    system_.BeginScene();
    struct Case {
        std::uint32_t repeat;
        std::uint32_t primitives;
    };
    for (const Case& c : {Case{0, 0}, Case{1, 1}, Case{3, 3}}) {
        SCOPED_TRACE(testing::Message() << "repeat " << c.repeat);
        Soft()->ResetCallCounts();
        record.repeatCount = c.repeat;
        EXPECT_EQ(system_.ProcessRenderOperation(record), c.primitives);
        EXPECT_EQ(Draws(), c.repeat);
    }
}

TEST_F(RenderPipesTest, UserMemoryIsDrawnIndexedOnlyWithIndicesToDraw) {
    Material& simple = *G()->GetMaterialManager()->FindMaterial("Simple", false);
    const float vertices[12] = {0, 0, 0.5f, 1, 0, 0.5f, 0, 1, 0.5f, 1, 1, 0.5f};
    const std::uint16_t indices[6] = {0, 1, 2, 2, 1, 3};
    struct Case {
        const char* what;
        std::uint32_t type;
        const std::uint16_t* indices;
        std::uint32_t indexCount;
        std::uint32_t primitives;
        ULONGLONG indexed, plain;
    };
    const Case cases[] = {
        {"indexed list", PT_TRIANGLE_LIST, indices, 6, 2, 1, 0},
        {"indices but no count: a list of the vertices", PT_TRIANGLE_LIST, indices, 0, 1, 0, 1},
        {"no indices", PT_TRIANGLE_STRIP, nullptr, 6, 2, 0, 1},
        {"unknown primitive type", 7, indices, 6, 0, 0, 0},
    };
    system_.BeginScene();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RenderOperation record;
        record.pass = simple.GetPass(0);
        record.renderState = &record.pass->renderState;
        record.program = simple.GetProgram();
        record.primitiveType = c.type;
        record.userVertices = vertices;
        record.userVertexStride = 12;
        record.vertexCount = 4;
        record.userIndices = c.indices;
        record.userIndexFormat = IS_16BIT;
        record.indexCount = c.indexCount;
        Soft()->ResetCallCounts();
        EXPECT_EQ(system_.ProcessRenderOperation(record), c.primitives);
        EXPECT_EQ(Calls(D3D9Call::DrawIndexedPrimitiveUP), c.indexed);
        EXPECT_EQ(Calls(D3D9Call::DrawPrimitiveUP), c.plain);
    }
}

TEST_F(RenderPipesTest, SolidGroupsDrawTheShaderModel2SlotsOnlyOnSuchADevice) {
    Material& material = MakeMaterial({{}});
    Entity& entity = MakeEntity({&MakeMesh()}, &material);
    SubEntity& piece = *entity.GetSubEntity(0);
    struct Case {
        std::int32_t slot;
        bool drawnWithCaps, drawnWithout;
    };
    const Case cases[] = {
        {0, true, true},    {1, true, true},    {4, true, true},    {5, true, true},
        {12, true, true},   {13, true, true},   {8, true, false},   {9, true, false},
        {16, true, false},  {17, true, false},  {2, false, false},  {3, false, false},
        {6, false, false},  {7, false, false},  {10, false, false}, {11, false, false},
        {14, false, false}, {15, false, false}, {18, false, false}, {19, false, false},
    };
    system_.BeginScene();
    for (const Case& c : cases) {
        for (bool caps : {true, false}) {
            SCOPED_TRACE(testing::Message() << "slot " << c.slot << (caps ? " with" : " without")
                                            << " the shader-model-2 bits");
            const std::uint32_t both = DEVICE_VS_2_0 | DEVICE_PS_2_0;
            std::uint32_t& features = G()->GetDeviceCaps()->featureFlags;
            features = caps ? (features | both) : (features & ~both);
            Queue().AddRenderable(&piece, nullptr, RENDER_GROUP_ENTITY_UNLIT,
                                  static_cast<std::uint32_t>(c.slot), nullptr);
            Soft()->ResetCallCounts();
            const bool drawn = caps ? c.drawnWithCaps : c.drawnWithout;
            EXPECT_EQ(Scene().DrawSolidGroup(*Queue().GetGroup(RENDER_GROUP_ENTITY_UNLIT)),
                      drawn ? 1u : 0u);
            EXPECT_EQ(Draws(), drawn ? 1u : 0u);
            Queue().ClearAll();
        }
    }
}

TEST_F(RenderPipesTest, APieceOfAMarkedOwnerIsQueriedAndKeepsItsPixelCount) {
    // A generated program: it places the geometry with the world and view-projection matrices.
    Material& material = *G()->GetMaterialManager()->FindMaterial("Simple", false);
    ASSERT_TRUE(material.IsProgramReady());
    material.GetPass(0)->renderState.cullMode = CULL_NONE;
    Mesh& mesh = MakeMesh();
    Entity& marked = MakeEntity({&mesh}, &material);
    Entity& plain = MakeEntity({&mesh}, &material);
    marked.SetStateBits(ENTITY_STATE_MARKED);
    SubEntity& queried = *marked.GetSubEntity(0);
    SubEntity& unqueried = *plain.GetSubEntity(0);
    queried.SetCounter(7);
    unqueried.SetCounter(7);
    Queue().AddRenderable(&queried, nullptr, RENDER_GROUP_ENTITY_UNLIT, 0, nullptr);
    Queue().AddRenderable(&unqueried, nullptr, RENDER_GROUP_ENTITY_UNLIT, 0, nullptr);
    const float black[4] = {0, 0, 0, 1};
    system_.Clear(CLEAR_COLOUR | CLEAR_DEPTH, black, 1.0f, 0);
    system_.BeginScene();
    EXPECT_EQ(Scene().DrawSolidGroup(*Queue().GetGroup(RENDER_GROUP_ENTITY_UNLIT)), 2u);
    // The triangle (0,0) (1,0) (0,1) in clip space covers an eighth of the window, give or take
    // its edge pixels.
    const double eighth = double(kWidth) * kHeight / 8.0;
    EXPECT_NEAR(double(queried.GetCounter()), eighth, eighth * 0.1);

    EXPECT_EQ(unqueried.GetCounter(), 7u);
}

TEST_F(RenderPipesTest, TheSecondPassOfAPieceIsAddedOntoTheFirstWithBlackFog) {
    Material& material = MakeMaterial({{}, {}});
    Entity& entity = MakeEntity({&MakeMesh()}, &material);
    SubEntity& piece = *entity.GetSubEntity(0);
    for (Pass* pass : material.GetPasses()) pass->renderState.flags |= RSF_FOG;
    FogRecord fog;
    fog.mode = FOG_LINEAR;
    fog.colour[1] = 0.0f;  // magenta
    system_.SetFog(fog);
    system_.BeginScene();
    struct Case {
        const char* what;
        bool opaqueSwitch;
        DWORD blend;
    };
    for (const Case& c : {Case{"blending", false, TRUE}, Case{"switch 78", true, FALSE}}) {
        SCOPED_TRACE(c.what);
        G()->GetConfigManager()->SetValue(78, c.opaqueSwitch ? 1 : 0);
        piece.SetRenderMark(0);
        Queue().AddRenderable(&piece, nullptr, RENDER_GROUP_ENTITY_UNLIT, 0, nullptr);
        Soft()->ResetCallCounts();
        EXPECT_EQ(Scene().DrawSolidGroup(*Queue().GetGroup(RENDER_GROUP_ENTITY_UNLIT)), 2u);
        EXPECT_EQ(Draws(), 2u);
        // Both passes advanced the mark; the last draw was the added one.
        EXPECT_EQ(piece.GetRenderMark(), 2u);
        EXPECT_EQ(piece.GetRenderOperationRecord()->accumulation, 1u);
        EXPECT_EQ(DeviceRenderState(D3DRS_ALPHABLENDENABLE), c.blend);
        EXPECT_EQ(DeviceRenderState(D3DRS_SRCBLEND), DWORD(D3DBLEND_ONE));
        // Drawn opaque, the factors stay as the blending draw left them.
        EXPECT_EQ(DeviceRenderState(D3DRS_DESTBLEND), DWORD(D3DBLEND_ONE));
        EXPECT_EQ(DeviceRenderState(D3DRS_FOGCOLOR) & 0xFFFFFFu, 0u);
        Queue().ClearAll();
    }
    // The stored fog keeps its colour for the next piece.
    EXPECT_EQ(system_.GetFog().colour[0], 1.0f);
    EXPECT_EQ(system_.GetFog().colour[1], 0.0f);
}

TEST_F(RenderPipesTest, GroupDrawsCountTheirPiecesAndEntries) {
    Material& solid = MakeMaterial({{}});
    Material& glass = MakeMaterial({{true}});
    Light* light = Scene().CreateLight(1);
    Entity& a = MakeEntity({&MakeMesh(), &MakeMesh(-1.0f)}, &solid);
    Entity& b = MakeEntity({&MakeMesh(-0.5f)}, &glass);
    Queue().AddRenderable(a.GetSubEntity(0), nullptr, RENDER_GROUP_ENTITY_UNLIT, 0, nullptr);
    Queue().AddRenderable(a.GetSubEntity(1), light, RENDER_GROUP_ENTITY_LIT, 12, nullptr);
    Queue().AddRenderable(a.GetSubEntity(1), light, RENDER_GROUP_ENTITY_PER_LIGHT, 4, nullptr);
    Queue().AddRenderable(b.GetSubEntity(0), nullptr, RENDER_GROUP_ENTITY_UNLIT, 0, nullptr);
    system_.BeginScene();
    struct Case {
        const char* what;
        std::uint32_t groupFlags;
        std::uint32_t staticWorld, entityLit, transparent;
    };
    const Case cases[] = {
        {"without the unlit groups", 0, 0, 2, 1},
        {"with the unlit groups", 4, 1, 2, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Stats() = FrameStats{};
        Scene().SetRenderGroupFlags(c.groupFlags);
        Scene().RenderPushedPipes();
        Scene().RenderTransparentPipeline();
        EXPECT_EQ(Stats()[FRAME_STATIC_WORLD_PIECES], c.staticWorld);
        EXPECT_EQ(Stats()[FRAME_ENTITY_LIT_PIECES], c.entityLit);
        EXPECT_EQ(Stats()[FRAME_TRANSPARENT_ENTRIES], c.transparent);
    }
    // Group flags as the draws leave them: unlit groups carry bit 1, level groups bit 0.
    EXPECT_EQ(Queue().GetGroup(RENDER_GROUP_LEVEL_UNLIT)->GetFlags(),
              RENDER_GROUP_FLAG_LEVEL | RENDER_GROUP_FLAG_UNLIT);
    EXPECT_EQ(Queue().GetGroup(RENDER_GROUP_ENTITY_UNLIT)->GetFlags(), RENDER_GROUP_FLAG_UNLIT);
    EXPECT_EQ(Queue().GetGroup(RENDER_GROUP_LEVEL_LIT)->GetFlags(), RENDER_GROUP_FLAG_LEVEL);
    // Nothing drawn without switch 17 (opaque) and 16 (transparent).
    G()->GetConfigManager()->SetValue(16, 0);
    G()->GetConfigManager()->SetValue(17, 0);
    Stats() = FrameStats{};
    Soft()->ResetCallCounts();
    Scene().RenderPushedPipes();
    Scene().RenderTransparentPipeline();
    EXPECT_EQ(Draws(), 0u);
    EXPECT_EQ(Stats()[FRAME_TRANSPARENT_ENTRIES], 0u);
}

TEST_F(RenderPipesTest, PipesOpenCloseAndPushAsTheHostAsks) {
    Material& material = MakeMaterial({{}});
    Entity& model = MakeEntity({&MakeMesh()}, &material);
    Light* light = Scene().CreateLight(1);
    RenderCorePipeline& pipeline = Scene().GetRenderPipeline();

    // A push without an open pipe adds nothing and counts nothing.
    Scene().PushRenderable(&model);
    EXPECT_TRUE(pipeline.GetItems().empty());
    EXPECT_EQ(Stats()[FRAME_PUSHED_MODELS], 0u);

    struct ModeCase {
        std::int32_t mode;
        bool open;
        std::int32_t modeAfter;
        bool itemsKept;
    };
    const ModeCase modes[] = {
        {0, true, 0, true},  // no pipe was open: nothing to end
        {3, true, 0, true},  // ignored: the open pipe keeps its items
        {2, true, 2, false}, {1, true, 2, true}, {7, true, 2, true},
    };
    for (const ModeCase& c : modes) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode);
        pipeline.AddItem(&model);
        const std::size_t before = pipeline.GetItems().size();
        Scene().PushNewPipe(c.mode, 0, light);
        EXPECT_EQ(Scene().IsPipeOpen(), c.open);
        EXPECT_EQ(pipeline.GetMode(), c.modeAfter);
        EXPECT_EQ(pipeline.GetItems().size(), c.itemsKept ? before : 0u);
    }
    EXPECT_EQ(pipeline.GetTarget(), light);
    Scene().CleanPushedObjsAndSubModels();

    // One host frame through the pipe queues and draws the model, then empties everything.
    Scene().PushNewPipe(0, 0, nullptr);
    Scene().PushRenderable(&model);
    EXPECT_EQ(Stats()[FRAME_PUSHED_MODELS], 1u);
    system_.BeginScene();
    Scene().ProcessCurrentPipe();
    Scene().SetRenderGroupFlags(0);
    Scene().RenderPushedPipes();  // the model is unlit: it needs the unlit groups
    EXPECT_EQ(Draws(), 0u);
    Scene().SetRenderGroupFlags(4);
    Scene().RenderPushedPipes();
    EXPECT_EQ(Draws(), 1u);
    Scene().SetLevel(Scene().CreateLevel());
    Scene().ClearTransparentPipeline();
    EXPECT_EQ(Scene().GetLevel(), nullptr);
    Scene().CleanPushedObjsAndSubModels();
    EXPECT_FALSE(Scene().IsPipeOpen());
    Soft()->ResetCallCounts();
    Scene().RenderPushedPipes();
    EXPECT_EQ(Draws(), 0u);

    // Models wait for switch 18; a model outside the render camera's view is culled and counted.
    Scene().PushNewPipe(0, 0, nullptr);
    G()->GetConfigManager()->SetValue(18, 0);
    Scene().PushRenderable(&model);
    EXPECT_TRUE(pipeline.GetItems().empty());
    G()->GetConfigManager()->SetValue(18, 1);
    Camera* camera = Scene().CreateCamera();
    const float position[3] = {0, 0, 10}, orientation[4] = {0, 0, 0, 1};
    camera->Frustum::Update(position, orientation, &system_);
    Scene().SetRenderCamera(camera);
    Entity& behind = MakeEntity({&MakeMesh(0.0f)}, &material);
    const float far[3] = {0, 0, 20};
    behind.SetPosition(far);
    behind.UpdatePlacement();
    Scene().PushRenderable(&behind);
    EXPECT_EQ(Stats()[FRAME_CULLED_MODELS], 1u);
    EXPECT_TRUE(pipeline.GetItems().empty());
    Scene().SetRenderCamera(nullptr);
    Scene().CleanPushedObjsAndSubModels();
}

}  // namespace

TEST_F(RenderPipesTest, TheShadowPassEndsThePipelineButLeavesThePipeOpen) {
    Material& material = MakeMaterial({{}});
    Entity& model = MakeEntity({&MakeMesh()}, &material);
    Level* level = Scene().CreateLevel();
    for (std::int32_t quality : {SHADOW_OFF, SHADOW_FAKE}) {
        SCOPED_TRACE(testing::Message() << "shadow quality " << quality);
        Scene().SetShadowMode(quality);
        Scene().PushNewPipe(0, 0, nullptr);
        Scene().PushRenderable(&model);
        Queue().AddRenderable(model.GetSubEntity(0), nullptr, RENDER_GROUP_SHADOW_CASTERS, 0,
                              nullptr);
        Scene().RenderShadows(level);
        EXPECT_TRUE(Scene().GetRenderPipeline().GetItems().empty());
        EXPECT_TRUE(Scene().IsPipeOpen());
        // The casters are gone: drawing them draws nothing.
        Soft()->ResetCallCounts();
        system_.BeginScene();
        Scene().RenderShadowCasters();
        system_.EndScene();
        EXPECT_EQ(Draws(), 0u);
        // Only a shadow pass that runs takes the level.
        EXPECT_EQ(Scene().GetLevel(), quality == SHADOW_OFF ? nullptr : level);
        Scene().CleanPushedObjsAndSubModels();
        Scene().ClearTransparentPipeline();
    }
}

// A host frame through the pipes on a model written by the model generator: two cubes of lit
// materials, seen from above and to the side, drawn once with the scene's ambient light and then
// once more for a point light up and to the left, added onto the first pass.
class PipeGoldenTest : public RenderPipesTest {
protected:
    // A lit material of one untextured pass, its program generated for it.
    Material& LitMaterial(const char* name) {
        auto material = std::make_unique<Material>(nullptr, name, "Material", 0);
        material->lightingMode = 1;
        material->flags = MF_LIT;
        Pass* pass = material->CreatePass(0);
        pass->vertexFlags = VF_POSITION | VF_NORMAL;
        material->UpdatePasses();
        EXPECT_TRUE(material->AssignGeneratedProgram());
        materials_.push_back(std::move(material));
        return *materials_.back();
    }
};

TEST_F(PipeGoldenTest, AHostFrameDrawsTheModelAmbientThenAddsTheLight) {
    ZelModelGen::RecipeOptions options;
    options.meshCount = 2;
    options.subdivisions = 2;
    options.wide = false;
    std::vector<ZelModelGen::RecipeFile> files;
    std::string error;
    ASSERT_TRUE(ZelModelGen::SaveRecipe("cube", "models", options, files, error)) << error;
    G()->GetGeometryManager()->SetBasePath("");
    Entity* model = Scene().CreateModelByFile("models/cube.dm3");
    ASSERT_NE(model, nullptr);
    // The recipe's material library is not written: the pieces take lit materials of the test.
    model->SetMaterialByMeshName(&LitMaterial("near"), "Mesh0");
    model->SetMaterialByMeshName(&LitMaterial("far"), "Mesh1");

    const float eye[3] = {-1.5f, 5.0f, 9.0f}, target[3] = {1.5f, 0.5f, 0.0f}, up[3] = {0, 1, 0};
    SetLookAtView(eye, target, up, 50.0f, 30.0f);
    const float at[3] = {-2.0f, 4.0f, 3.0f};
    const float dim[4] = {0.25f, 0.25f, 0.3f, 1.0f}, warm[4] = {1.0f, 0.95f, 0.8f, 1.0f};
    Light& light = MakePointLight(at, dim, warm);
    // The plain pipe, then one for the light: the second pass of each piece is added.
    const float background[4] = {0.06f, 0.06f, 0.1f, 1.0f};
    DrawPlainAndLitPipes(background, {model}, &light);
    ZelTest::ExpectGoldenFrame(*Win32Window::Find(window_), "pipes_lit_cubes", 3);
}

// Pieces kept in memory hold 32-bit indices; a record that starts past its first index draws
// from there, as a buffer draw does.
TEST_F(PipeGoldenTest, UserMemoryIndicesStartAtTheRecordsFirstIndex) {
    Material& simple = *G()->GetMaterialManager()->FindMaterial("Simple", false);
    // Two triangles in clip space: the left half of the window, then the right half.
    const float vertices[18] = {-1, -1, 0.5f, -1, 1, 0.5f, -0.1f, 0, 0.5f,
                                1,  -1, 0.5f, 1,  1, 0.5f, 0.1f,  0, 0.5f};
    const std::uint32_t indices[6] = {0, 1, 2, 3, 4, 5};
    const float black[4] = {0, 0, 0, 1};
    system_.Clear(CLEAR_COLOUR | CLEAR_DEPTH, black, 1.0f, 0);
    system_.BeginScene();
    RenderOperation record;
    record.pass = simple.GetPass(0);
    record.renderState = &record.pass->renderState;
    record.program = simple.GetProgram();
    record.primitiveType = PT_TRIANGLE_LIST;
    record.userVertices = vertices;
    record.userVertexStride = 12;
    record.vertexCount = 6;
    record.userIndices = indices;
    record.userIndexFormat = IS_32BIT;
    record.startIndex = 3;
    record.indexCount = 3;
    EXPECT_EQ(system_.ProcessRenderOperation(record), 1u);
    system_.EndScene();
    ASSERT_EQ(D3D_OK, Device().GetD3DDevice()->Present(nullptr, nullptr, nullptr, nullptr));
    const Win32Window& window = *Win32Window::Find(window_);
    EXPECT_EQ(window.Pixel(kWidth / 8, kHeight / 2) & 0xFFFFFFu, 0u) << "the first triangle";
    EXPECT_NE(window.Pixel(kWidth * 7 / 8, kHeight / 2) & 0xFFFFFFu, 0u) << "the second one";
}
