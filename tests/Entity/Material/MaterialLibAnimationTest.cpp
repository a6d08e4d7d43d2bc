// The animated stage of binary material libraries (".xm3", texture type 5) with a device and real
// image files: the stage gets an animated texture with the record's frame time, one frame per
// name (the image's texture, or the default texture for a missing image); a file cut inside a
// frame name fails and leaves no animated texture behind.
#include <cstring>
#include <vector>

#include "Core/IZelFileStream.h"
#include "Core/StreamFactory.h"
#include "Entity/Texture/AnimationTexture.h"
#include "Entity/Material/IOMaterialBin.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Material/Pass.h"
#include "fixtures/MaterialLibFixtures.h"
#include "tests/Entity/Texture/TextureFixture.h"

namespace {

using Zel::AnimationTexture;
using ZelFixtures::Xm3Library;

Xm3Library AnimatedLibrary(const std::vector<std::string>& frames, float frameTime) {
    ZelFixtures::Xm3Stage stage;
    stage.slot = 3;
    stage.texture.type = 5;
    stage.texture.names = frames;
    stage.texture.frameTime = frameTime;
    ZelFixtures::Xm3Pass pass;
    pass.state.stages = {stage};
    ZelFixtures::Xm3Material material;
    material.name = "Anim";
    material.passes = {pass};
    Xm3Library library;
    library.materials = {material};
    return library;
}

class MaterialLibAnimation : public ZelTest::TextureTest {
protected:
    void SetUp() override {
        ZelTest::TextureTest::SetUp();
        Write("pics\\a.png", ZelFixtures::WritePng(ZelFixtures::PngFromRgba(
                                 ZelFixtures::MakePatternImage(4, 4), false)));
    }

    bool Read(const std::vector<std::uint8_t>& bytes) {
        Zel::IZelFileStream* stream =
            Zel::CreateMemoryFileStream("lib.xm3", std::uint32_t(bytes.size()));
        std::memcpy(stream->GetData(), bytes.data(), bytes.size());
        std::vector<Zel::Material*> list;
        const bool ok = Zel::IOMaterialBin::ReadMaterialLib(*G()->GetMaterialManager(), list,
                                                            stream, "lib.xm3", false);
        stream->Release();
        return ok;
    }

    const Zel::TextureStage& Stage() {
        return G()
            ->GetMaterialManager()
            ->FindMaterial("Anim", false)
            ->GetPass(0)
            ->renderState.stages[3];
    }
};

TEST_F(MaterialLibAnimation, FramesAreTheImagesTexturesOrTheDefaultTexture) {
    ASSERT_TRUE(Read(ZelFixtures::WriteXm3(
        AnimatedLibrary({"pics/a.png", "missing.png", "pics/a.png"}, 0.125f))));
    const Zel::TextureStage& stage = Stage();
    EXPECT_EQ(stage.textureName, "pics/a.png*missing.png*pics/a.png*");
    EXPECT_EQ(stage.flags & Zel::TSF_TEXTURE_PENDING, 0u);
    auto* animated = dynamic_cast<AnimationTexture*>(stage.GetTexture());
    ASSERT_NE(animated, nullptr);
    EXPECT_EQ(animated->GetType(), Zel::TextureBase::KIND_ANIMATED);
    EXPECT_EQ(animated->GetRefCount(), 2);  // the manager's and the stage's
    EXPECT_FLOAT_EQ(animated->GetFrameTime(), 0.125f);

    Zel::TextureBase* picture = Textures()->LoadNamedTexture("pics/a.png");
    Zel::TextureBase* fallback = Textures()->GetDefaultTexture();
    ASSERT_NE(picture, nullptr);
    ASSERT_NE(fallback, nullptr);
    EXPECT_NE(picture, fallback);
    ASSERT_EQ(animated->GetFrameCount(), 3u);
    EXPECT_EQ(animated->GetFrame(0), picture);
    EXPECT_EQ(animated->GetFrame(1), fallback);
    EXPECT_EQ(animated->GetFrame(2), picture);
    EXPECT_EQ(picture->GetWidth(), 4);
}

TEST_F(MaterialLibAnimation, ACutFrameNameFailsAndLeavesNoAnimatedTexture) {
    std::vector<std::uint8_t> bytes = ZelFixtures::WriteXm3(AnimatedLibrary({"pics/a.png"}, 1.0f));
    bytes.pop_back();  // the frame name is the file's last string
    ASSERT_NE(Textures()->GetDefaultTexture(), nullptr);
    const std::size_t before = Textures()->GetTextureCount();
    EXPECT_FALSE(Read(bytes));
    EXPECT_EQ(Textures()->GetTextureCount(), before);
    EXPECT_EQ(Stage().GetTexture(), nullptr);
}

}  // namespace
