// Skies, billboards, decals, levels and particle buffers created through the root interface: each is
// handed out as its wrapper, drawn in a frame, and given back by its release.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "Core/Factory.h"
#include "Entity/Scene/BillBoard.h"
#include "Entity/Scene/Decal.h"
#include "Entity/Scene/Level.h"
#include "Entity/Scene/ParticleVB.h"
#include "Entity/Scene/SceneManager.h"
#include "Interface/IBillboard.h"
#include "Interface/IDecal.h"
#include "Interface/ILevel.h"
#include "Interface/IMatProxyTable.h"
#include "Interface/IShader.h"
#include "Interface/IModel.h"
#include "Interface/IParticleVB.h"
#include "Interface/ISkyBall.h"
#include "Render/RenderCore/RCInterfaceImpl.h"
#include "support/LogCapture.h"
#include "tests/Render/RenderCore/HostWindowFixture.h"

namespace ZelTest {
namespace {

constexpr const char* kCube = "../resources/models/lit_cube.dm3";

class SceneObjectCreationTest : public OpenWindowTest {
protected:
    // One frame with the nodes pushed to the open pipe.
    void Frame(const std::vector<ZelI::IMoveObject*>& nodes) {
        Render()->FrameBegin();
        Render()->Clear();
        for (ZelI::IMoveObject* node : nodes) Render()->PushToPipe(node);
        Render()->FrameEnd();
        Render()->SwapBuffer();
    }
    std::size_t RegisteredEntities() { return G()->GetSceneManager()->GetEntityCount(); }
    // Objects a factory has handed out and not taken back.
    template <class T>
    static std::int32_t Taken(Zel::Factory<T>* factory) {
        factory->GetLock().Enter();
        const std::int32_t count = factory->GetPool().GetInUseCount();
        factory->GetLock().Leave();
        return count;
    }
};

// A host's description of the decal's receivers.
class Receivers : public ZelI::IDecalSource {
public:
    ZelI::IObject* main = nullptr;
    std::vector<ZelI::IObject*> others;

    ZelI::IObject* GetMainReceiver() override { return main; }
    std::uint32_t GetReceiverCount() override { return static_cast<std::uint32_t>(others.size()); }
    ZelI::IObject* GetReceiver(std::uint32_t i) override { return others[i]; }
    bool AcceptBlended() override { return true; }
    bool AcceptAlphaTested() override { return true; }
    bool IsTwoSided() override { return true; }
};

TEST_F(SceneObjectCreationTest, EverySkyIsANewWrapperThatTheSkyGoingAwayUnbinds) {
    const std::size_t before = RegisteredEntities();
    ZelI::ISkyBall* sky = Render()->CreateSkyBall(kCube);
    ASSERT_NE(sky, nullptr);
    ZelI::ISkyBall* second = Render()->CreateSkyBall(kCube);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, sky);
    EXPECT_EQ(sky->GetMaterialCount(), 1u);
    sky->SetSkyParameter(2.0f);
    Frame({sky, second});
    EXPECT_EQ(RegisteredEntities(), before + 2);

    // Released: the sky goes back to the scene.
    second->Release();
    EXPECT_EQ(RegisteredEntities(), before + 1);
    // Released with every entity: the host's wrapper reaches nothing afterwards.
    Render()->ReleaseAllEntities();
    EXPECT_FALSE(sky->IsValid());
    EXPECT_EQ(sky->GetMaterialCount(), 0u);

    LogCapture log;
    EXPECT_EQ(Render()->CreateSkyBall(nullptr), nullptr);
    EXPECT_EQ(Render()->CreateSkyBall("../resources/models/missing.dm3"), nullptr);
}

TEST_F(SceneObjectCreationTest, ANamedBillboardKeepsTheValueAsItsFlagWord) {
    const std::size_t before = RegisteredEntities();
    ZelI::IBillboard* board = Render()->CreateNamedBillBoard("board", Zel::BillBoard::kFaceCamera);
    ASSERT_NE(board, nullptr);
    EXPECT_EQ(board->GetUserInt(), static_cast<std::int32_t>(Zel::BillBoard::kFaceCamera));
    EXPECT_EQ(board->GetKind(), 0);
    board->SetSize(2.0f, 3.0f);
    float size[2] = {};
    board->GetSize(size);
    EXPECT_EQ(size[0], 2.0f);
    EXPECT_EQ(size[1], 3.0f);
    board->SetColor(0xFF0000FFu);  // ABGR: red in the low byte
    auto* node = Zel::UnwrapInterface<Zel::BillBoard, ZelI::IMoveObject>(board);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->GetColour()[0], 1.0f);
    EXPECT_EQ(node->GetColour()[2], 0.0f);
    board->SetUserFloat(0.5f);
    EXPECT_EQ(board->GetUserFloat(), 0.5f);
    Frame({board});
    EXPECT_EQ(RegisteredEntities(), before + 1);
    board->Release();
    EXPECT_EQ(RegisteredEntities(), before);
}

// Animated texture stages turn and scroll with the scene time: every begun frame moves it on by
// the frame's step.
TEST_F(SceneObjectCreationTest, EachBegunFrameMovesTheSceneTimeOnByItsStep) {
    Zel::SceneManager* scene = G()->GetSceneManager();
    float total = 0.0f;
    for (int frame = 0; frame < 3; ++frame) {
        const float before = scene->GetTimeValue();
        Frame({});
        const float step = scene->GetUpdateTimeStep();
        EXPECT_FLOAT_EQ(scene->GetTimeValue(), before + step) << frame;
        total += step;
    }
    EXPECT_GT(total, 0.0f);
}

// A billboard draws only with a material, and the host's material reaches it through the
// interface every scene object shares.
TEST_F(SceneObjectCreationTest, ABillboardDrawsWithTheMaterialTheHostGivesIt) {
    ZelI::IBillboard* board = Render()->CreateNamedBillBoard("board", Zel::BillBoard::kFaceCamera);
    ASSERT_NE(board, nullptr);
    auto* node = Zel::UnwrapInterface<Zel::BillBoard, ZelI::IMoveObject>(board);
    ASSERT_NE(node, nullptr);
    ASSERT_EQ(node->GetAllSubEntityCount(), 1u);
    const float eye[3] = {0.0f, 0.0f, 5.0f}, target[3] = {0.0f, 0.0f, 0.0f},
                up[3] = {0.0f, 1.0f, 0.0f};
    Render()->LookAt(eye, target, up);
    Render()->UpdateCameras();
    // The draw calls of one frame whose pipe holds the billboard alone.
    const auto drawnIn = [&] {
        Render()->FrameBegin();
        Render()->Clear();
        board->UpdateFrame(0.0f);
        const ULONGLONG before = DrawCalls();
        Render()->PushNewPipe(0, 0, 0, 0, 0);
        Render()->PushToPipe(board);
        Render()->ProcessCurrentPipe();
        Render()->RenderPushedPipes();
        Render()->CleanPushedObjsAndSubModels();
        Render()->RenderTransparentPipeline();
        Render()->ClearTransparentPipeline();
        const ULONGLONG drawn = DrawCalls() - before;
        Render()->FrameEnd();
        Render()->SwapBuffer();
        return drawn;
    };
    EXPECT_EQ(node->GetSubEntityMaterial(0), nullptr);
    const ULONGLONG bare = drawnIn();

    ZelI::IMaterial* material = Render()->FindMaterial("DrawQuad");
    ASSERT_NE(material, nullptr);
    board->SetMaterial(material);
    ASSERT_NE(node->GetSubEntityMaterial(0), nullptr);
    EXPECT_EQ(node->GetSubEntityMaterial(0)->GetName(), "DrawQuad");
    board->SetMaterial(nullptr);  // changes nothing
    ASSERT_NE(node->GetSubEntityMaterial(0), nullptr);
    EXPECT_GT(drawnIn(), bare);
    board->Release();
    board->SetMaterial(material);  // unbound: nothing
}

TEST_F(SceneObjectCreationTest, ADecalIsBuiltOverItsReceiversAndGoesBackToItsFactory) {
    ZelI::IModel* cube = Render()->CreateModel(kCube, 0);
    ASSERT_NE(cube, nullptr);
    Receivers receivers;
    receivers.main = cube;
    const float direction[3] = {0, 0, -1}, up[3] = {0, 1, 0}, centre[3] = {0, 0, 0};
    const float extents[3] = {10, 10, 10}, uvFrom[2] = {0, 0}, uvTo[2] = {1, 1};
    auto word = [](const void* p) { return reinterpret_cast<std::intptr_t>(p); };
    const std::intptr_t source = word(static_cast<ZelI::IDecalSource*>(&receivers));

    Zel::Factory<Zel::Decal>* decals = G()->GetDecalFactory();
    const std::int32_t used = Taken(decals);
    ZelI::IDecal* decal = Render()->CreateDecalEx(source, word(direction), word(up), word(centre),
                                                  word(extents), 0, word(uvFrom), word(uvTo));
    ASSERT_NE(decal, nullptr);
    EXPECT_TRUE(decal->IsReady());
    EXPECT_EQ(decal->GetMaterialCount(), 1u);
    EXPECT_EQ(Taken(decals), used + 1);
    // Made without a material: it draws with the default one, which it does not hold.
    EXPECT_EQ(decal->GetResource(), nullptr);
    ZelI::IMaterial* material = Render()->FindMaterial("DrawQuad");
    ASSERT_NE(material, nullptr);
    ZelI::IObject* asResource = material;
    decal->SetMaterial(material);
    EXPECT_EQ(decal->GetResource(), asResource);
    decal->SetMaterial(nullptr);  // changes nothing
    EXPECT_EQ(decal->GetResource(), asResource);
    Frame({cube, decal});
    decal->Release();
    EXPECT_EQ(Taken(decals), used);
    EXPECT_EQ(decal->GetResource(), nullptr);  // unbound
    decal->SetMaterial(material);

    // Nothing to project onto, or no source at all: no decal, none left taken.
    Receivers none;
    struct Case {
        std::intptr_t source;
        std::intptr_t direction;
    };
    const Case refused[] = {{word(static_cast<ZelI::IDecalSource*>(&none)), word(direction)},
                            {0, word(direction)},
                            {source, 0}};
    for (const Case& c : refused) {
        LogCapture log;
        EXPECT_EQ(Render()->CreateDecalEx(c.source, c.direction, word(up), word(centre),
                                          word(extents), 0, word(uvFrom), word(uvTo)),
                  nullptr);
        EXPECT_EQ(Taken(decals), used);
    }
    cube->Release();
}

TEST_F(SceneObjectCreationTest, ALevelsProxyTableHoldsOneProxyPerMaterialOfItsPieces) {
    ZelI::ILevel* level = Render()->CreateAndLoadLevel("../resources/level/grid.xml");
    ASSERT_NE(level, nullptr);
    ASSERT_GT(level->GetMaterialCount(), 0u);
    ZelI::IMatProxyTable* table = level->CreateMatProxyTable();
    ASSERT_NE(table, nullptr);
    ASSERT_GE(table->GetCount(), 1);
    // One proxy per distinct material: every one names a material a piece draws with.
    auto* node = Zel::UnwrapInterface<Zel::Level, ZelI::IMoveObject>(level);
    ASSERT_NE(node, nullptr);
    std::set<std::string> names;
    for (std::uint32_t i = 0; i < node->GetAllSubEntityCount(); ++i)
        names.insert(node->GetSubEntityMaterial(i)->GetName());
    EXPECT_EQ(static_cast<std::size_t>(table->GetCount()), names.size());
    for (std::int32_t i = 0; i < table->GetCount(); ++i)
        EXPECT_EQ(names.count(table->GetAt(i)->GetName()), 1u) << i;
    table->Release();
    level->Release();
    EXPECT_EQ(level->CreateMatProxyTable(), nullptr);  // unbound
}

TEST_F(SceneObjectCreationTest, AParticleBufferIsFilledDrawnAndGivenBackToItsFactory) {
    Zel::Factory<Zel::ParticleVB>* buffers = G()->GetParticleFactory();
    const std::int32_t used = Taken(buffers);
    ZelI::IParticleVB* vb = Render()->CreateParticleVB();
    ASSERT_NE(vb, nullptr);
    EXPECT_EQ(Taken(buffers), used + 1);
    ASSERT_TRUE(vb->BuildVertexStream(2));
    EXPECT_EQ(vb->GetCapacity(), 2u);
    void* vertices = vb->Lock(8);
    ASSERT_NE(vertices, nullptr);
    vb->Unlock(8);

    const float lo[3] = {-1, -1, -1}, hi[3] = {1, 1, 1};
    Render()->FrameBegin();
    Render()->Clear();
    Render()->SetParticleInstance(reinterpret_cast<std::intptr_t>(vb),
                                  reinterpret_cast<std::intptr_t>(lo),
                                  reinterpret_cast<std::intptr_t>(hi), 2, 0, 0);
    Render()->FrameEnd();
    Render()->SwapBuffer();

    vb->Release();
    EXPECT_FALSE(vb->IsValid());
    EXPECT_EQ(vb->GetCapacity(), 0u);
    EXPECT_EQ(Taken(buffers), used);
}

}  // namespace
}  // namespace ZelTest
