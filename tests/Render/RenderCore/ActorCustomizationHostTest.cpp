// The host's rows over an actor's custom textures and make-up, the configuration proxy's make-up
// file, and a skinned model's custom texture given as a host texture.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "Entity/Character/MakeupState.h"
#include "Entity/Geometry/Geometry.h"
#include "Entity/Image/PixelFormat.h"
#include "Entity/Material/Material.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Material/Pass.h"
#include "Entity/Scene/SubEntity.h"
#include "Entity/Texture/TextureBase.h"
#include "Entity/Texture/TextureManager.h"
#include "Render/RenderCore/ActorWrapper.h"
#include "Render/RenderCore/ProxyFactory.h"
#include "modelgen/Recipes.h"
#include "support/LogCapture.h"
#include "tests/Entity/Character/ActorFixture.h"

namespace ZelTest {
namespace {

using Bytes = std::vector<std::uint8_t>;

class ActorCustomizationHostTest : public ActorTest {
protected:
    void TearDown() override {
        Zel::MakeupState::ResetConfiguration();
        ActorTest::TearDown();
    }
    static ZelI::IActor* Host(Zel::Actor* actor) {
        return dynamic_cast<ZelI::IActor*>(actor->GetInterface());
    }
    Zel::TextureManager& Textures() { return *G()->GetTextureManager(); }
};

TEST_F(ActorCustomizationHostTest, CustomTextureRecordsReachTheActor) {
    const Bytes pixels(std::size_t(8) * 8 * 4, 0x80);
    struct Case {
        const char* name;
        bool apply;  // ApplyCustomTexture, else StoreCustomTexture
        bool record;
        std::int32_t width, part;
        bool accepted, held;
    };
    const Case cases[] = {
        {"stored", false, true, 8, 1, true, true},
        {"applied: drawn at once and let go", true, true, 8, 1, true, false},
        {"no record", false, false, 8, 1, false, false},
        {"negative width", false, true, -8, 1, false, false},
        {"negative part", true, true, 8, -1, false, false},
        {"part 9", false, true, 8, 9, false, false},
    };
    Zel::Actor* actor = NewActor();
    ZelI::IActor* host = Host(actor);
    ASSERT_NE(host, nullptr);
    for (const Case& c : cases) {
        ZelI::CustomTextureRecord r;
        r.u = 0.25f;
        r.v = 0.5f;
        r.width = c.width;
        r.height = 8;
        r.pixels = pixels.data();
        r.byteSize = std::uint32_t(pixels.size());
        r.bodyPart = c.part;
        const ZelI::CustomTextureRecord* given = c.record ? &r : nullptr;
        EXPECT_EQ(c.apply ? host->ApplyCustomTexture(given) : host->StoreCustomTexture(given),
                  c.accepted)
            << c.name;
        EXPECT_EQ(actor->GetCustomTexture().IsHeld(), c.held) << c.name;
        if (c.held) {
            EXPECT_EQ(actor->GetCustomTexture().pixelWidth, 8u) << c.name;
            EXPECT_FLOAT_EQ(actor->GetCustomTexture().x, 0.0f + 512.0f * 0.25f) << c.name;
        }
    }
    actor->DetachInterface();
    ZelI::CustomTextureRecord r;
    r.width = r.height = 1;
    r.pixels = pixels.data();
    r.byteSize = 4;
    EXPECT_FALSE(host->StoreCustomTexture(&r));
    EXPECT_FALSE(host->ApplyCustomTexture(&r));
    EXPECT_FALSE(host->SetMakeupValue(4, 0, 0));
}

// The proxy reads the host's make-up file; the actor's row passes layer, style and colour on.
TEST_F(ActorCustomizationHostTest, MakeUpFromTheConfigurationProxyToTheActor) {
    std::ofstream("f_makeup.xml")
        << "<makeups><makeup id=\"EYEBROW\"><rect><x>0</x><y>0</y><w>1</w><h>1</h></rect>"
           "<tex styleid=\"0\">brow</tex>"
        << "<color id=\"0\"><r>1</r><g>1</g><b>1</b><input_min>0</input_min>"
           "<input_max>1</input_max><output_min>0</output_min><output_max>1</output_max>"
           "<curve>0.5</curve></color>"
        << "<color id=\"3\"><r>1</r><g>1</g><b>1</b><input_min>0</input_min>"
           "<input_max>1</input_max><output_min>0</output_min><output_max>1</output_max>"
           "<curve>0.5</curve></color></makeup></makeups>";
    Zel::IGlobalConfigProxyImpl proxy;
    EXPECT_FALSE(proxy.LoadMakeupConfig(false, "missing.xml"));
    ASSERT_TRUE(proxy.LoadMakeupConfig(false, "f_makeup.xml"));
    EXPECT_EQ(Zel::MakeupState::GetConfig(false).layers.size(), 1u);

    Zel::Actor* actor = Dressed();
    ZelI::IActor* host = Host(actor);
    EXPECT_FALSE(host->SetMakeupValue(4, 0, 3)) << "no make-up without the face-bone figure";
    ASSERT_TRUE(actor->SetBodyPart(2, "face8.bp3"));
    ASSERT_NE(actor->GetMakeupState(), nullptr);
    EXPECT_TRUE(host->SetMakeupValue(4, 0, 3));
    EXPECT_EQ(actor->GetMakeupState()->GetSettings().at(4), std::make_pair(0, 3));
    EXPECT_FALSE(host->SetMakeupValue(4, 0, 2)) << "no such colour";
    EXPECT_EQ(actor->GetMakeupState()->GetSettings().at(4), std::make_pair(0, 3));
}

// The host's texture lives on the device only (the managed pool of the 9Ex device): its pixels
// are read back and become the model's custom image, R, G, B, A; other formats are refused.
TEST_F(ActorCustomizationHostTest, ASkinnedModelTakesAHostTexturesPixels) {
    Textures().SetDevice(Device().GetD3DDevice(), &Device());
    std::vector<ZelModelGen::RecipeFile> files;
    std::string error;
    ASSERT_TRUE(ZelModelGen::SaveRecipe("skinned", "models", {}, files, error)) << error;
    const char* path = "models/skinned.ch3";
    Zel::Geometry* geometry = G()->GetGeometryManager()->GetOrLoad(path, path);
    ASSERT_TRUE(geometry && geometry->IsLoadSucceeded());
    Zel::SkeletonModel* model = Scene().CreateSkeletonModel();
    ASSERT_TRUE(model->LoadGeometry(path));
    ASSERT_TRUE(model->BuildFromGeometry());
    Zel::Material* base = G()->GetMaterialManager()->CreateMaterial("skin_base");
    G()->GetMaterialManager()->Add(base);
    base->CreatePass(0);
    model->SetMaterialAll(base);
    Zel::SubEntity& piece = *model->GetSubEntity(0);
    piece.GetMesh()->SetName(Zel::SkeletonModel::kCustomTextureMesh);
    auto* host = dynamic_cast<ZelI::ISkeletonModel*>(model->GetInterface());
    ASSERT_NE(host, nullptr);

    const Bytes bgra = {30, 20, 10, 40, 3, 2, 1, 4, 7, 6, 5, 8, 9, 9, 9, 9};
    Zel::TextureBase* source = Textures().CreateTexture(Zel::MP_MANAGED, 2);
    ASSERT_TRUE(source->Create(2, 2, 1, 2, Zel::PF_A8R8G8B8, 1, false));
    std::int32_t pitch = 0;
    void* bits = nullptr;
    ASSERT_TRUE(source->LockLevel(0, &pitch, &bits, nullptr, Zel::LO_NORMAL));
    for (int y = 0; y < 2; ++y)
        std::memcpy(static_cast<std::uint8_t*>(bits) + pitch * y, &bgra[std::size_t(y) * 8], 8);
    source->UnlockLevel();
    source->ReleaseSystemCopy();
    Zel::TextureBase* dxt = Textures().CreateTexture(Zel::MP_MANAGED, 2);
    ASSERT_TRUE(dxt->Create(4, 4, 1, 2, Zel::PF_DXT5, 1, false));

    host->SetCustomTexture(nullptr);
    {
        LogCapture log;
        host->SetCustomTexture(dxt->GetInterface());
        EXPECT_EQ(log.Count("is not a 32-bit texture"), 1);
    }
    EXPECT_EQ(model->GetCustomMaterial(), nullptr);

    host->SetCustomTexture(source->GetInterface());
    Zel::Material* custom = model->GetCustomMaterial();
    ASSERT_NE(custom, nullptr);
    Zel::TextureBase* made = custom->GetPass(0)->renderState.stages[0].GetTexture();
    ASSERT_NE(made, nullptr);
    ASSERT_EQ(made->GetWidth(), 2);
    ASSERT_TRUE(made->LockLevel(0, &pitch, &bits, nullptr, Zel::LO_READ_ONLY));
    Bytes got;
    for (int y = 0; y < 2; ++y) {
        const auto* row = static_cast<const std::uint8_t*>(bits) + pitch * y;
        got.insert(got.end(), row, row + 8);
    }
    made->UnlockLevel();
    EXPECT_EQ(got, bgra) << "the same texels, not zeros";
    host->ClearCustomTexture();
    EXPECT_EQ(model->GetCustomMaterial(), nullptr);
}

}  // namespace
}  // namespace ZelTest
