// Stage textures that materials make beyond a single image, with a device and real image files:
// animated and blended animated stages of XML libraries on the direct and the split road (frames,
// frame time, blend times, missing frames, the default-texture switch), and cube names
// ("a*b*c*d*e*f*") from ".xm3" and XML libraries made into cube textures whose faces hold the
// six images (missing faces, mismatched faces and bad names give the default texture).
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "Core/GlobalConfigManager.h"
#include "Core/IZelFileStream.h"
#include "Core/QueueMode.h"
#include "Core/StreamFactory.h"
#include "Entity/Texture/AnimationBlendTexture.h"
#include "Entity/Texture/AnimationTexture.h"
#include "Entity/Material/IOMaterialBin.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Material/Pass.h"
#include "Entity/Texture/TextureLoadFlags.h"
#include "Platform/D3D9/SoftSurface9.h"
#include "Render/d3d9/TextureCubeMapD3D9.h"
#include "fixtures/MaterialLibFixtures.h"
#include "fixtures/MaterialXmlFixtures.h"
#include "support/LogCapture.h"
#include "tests/Entity/Texture/TextureFixture.h"

namespace {

using namespace ZelFixtures;
using Zel::Material;
using Zel::TextureBase;

constexpr const char* kFaces[6] = {"cube/px.png", "cube/nx.png", "cube/py.png",
                                   "cube/ny.png", "cube/pz.png", "cube/nz.png"};

RgbaImage FaceImage(int face, std::uint32_t side = 4) {
    return MakePatternImage(side, side, std::uint32_t(face) + 11);
}

LegacyStage AnimatedStage(const char* type, std::optional<std::string> frequency,
                          const std::vector<LegacyTexture>& frames) {
    LegacyStage stage;
    stage.textureType = type;
    stage.animFreq = std::move(frequency);
    stage.textures = frames;
    return stage;
}

class MaterialStageTexture : public ZelTest::TextureTest {
protected:
    void SetUp() override {
        ZelTest::TextureTest::SetUp();
        Zel::SetTextureLoadFlags(0);
        WritePng("pics/a.png", MakePatternImage(4, 4, 1));
        WritePng("pics/b.png", MakePatternImage(8, 8, 2));
        for (int i = 0; i < 6; ++i) WritePng(kFaces[i], FaceImage(i));
    }
    void TearDown() override {
        Zel::SetQueueMode(0);
        Zel::SetTextureLoadFlags(savedFlags_);
        ZelTest::TextureTest::TearDown();
    }

    void WritePng(const std::string& path, const RgbaImage& image) {
        Write(path, ZelFixtures::WritePng(PngFromRgba(image, false)));
    }
    Zel::MaterialManager& Materials() { return *G()->GetMaterialManager(); }

    // The library on the direct road or the split road (queued mode).
    void LoadXml(const std::string& path, const std::string& text, bool queued) {
        Write(path, std::vector<std::uint8_t>(text.begin(), text.end()));
        Zel::SetQueueMode(queued ? 1 : 0);
        bool ok = false;
        EXPECT_TRUE(Materials().LoadMaterialLib(path, ok, nullptr, false));
        EXPECT_TRUE(ok);
        Zel::SetQueueMode(0);
    }
    bool LoadXm3(const Xm3Library& library) {
        const std::vector<std::uint8_t> bytes = WriteXm3(library);
        Zel::IZelFileStream* stream =
            Zel::CreateMemoryFileStream("lib.xm3", std::uint32_t(bytes.size()));
        std::memcpy(stream->GetData(), bytes.data(), bytes.size());
        std::vector<Material*> list;
        const bool ok =
            Zel::IOMaterialBin::ReadMaterialLib(Materials(), list, stream, "lib.xm3", false);
        stream->Release();
        return ok;
    }
    const Zel::TextureStage& StageOf(const char* material, std::uint32_t slot) {
        static const Zel::TextureStage kNone;
        Material* found = Materials().FindMaterial(material, false);
        EXPECT_NE(found, nullptr) << material;
        return found && found->GetPass(0) ? found->GetPass(0)->renderState.stages[slot] : kNone;
    }

    // Face f, level 0, as the device cube holds it, without row padding.
    static Bytes CubeFace(Zel::TextureCubeMapD3D9* cube, int face, std::uint32_t side) {
        IDirect3DSurface9* surface = nullptr;
        if (FAILED(cube->GetCubeTexture()->GetCubeMapSurface(D3DCUBEMAP_FACES(face), 0, &surface)))
            return {};
        const SoftSurface9* soft = SoftSurface9::From(surface);
        Bytes out;
        for (std::uint32_t y = 0; y < side; ++y) {
            const BYTE* row = soft->Bits() + std::size_t(soft->Pitch()) * y;
            out.insert(out.end(), row, row + 4 * side);
        }
        surface->Release();
        return out;
    }
    // The stage's texture is a cube whose six faces hold the six face images.
    void ExpectCube(const Zel::TextureStage& stage) {
        auto* cube = dynamic_cast<Zel::TextureCubeMapD3D9*>(stage.GetTexture());
        ASSERT_NE(cube, nullptr);
        EXPECT_EQ(cube->GetType(), TextureBase::KIND_CUBE);
        EXPECT_EQ(cube->GetWidth(), 4);
        ASSERT_NE(cube->GetCubeTexture(), nullptr);
        for (int face = 0; face < 6; ++face) {
            SCOPED_TRACE(face);
            EXPECT_EQ(CubeFace(cube, face, 4), ZelTest::BgraBytes(FaceImage(face), false));
        }
    }

    const std::uint32_t savedFlags_ = Zel::GetTextureLoadFlags();
};

std::string AnimatedLibrary() {
    LegacyPass pass;
    pass.stages = {
        AnimatedStage("TEXTURE_ANIMATION", "4",
                      {{"pics/a.png", {}, {}}, {"missing.png", {}, {}}, {"pics/b.png", {}, {}}}),
        AnimatedStage("TEXTURE_BLEND_ANIMATION", {},
                      {{"pics/b.png", {}, "0.5"}, {"pics/a.png", {}, {}}, {"gone.png", {}, "1"}}),
        AnimatedStage("TEXTURE_ANIMATION", "0", {{"pics/a.png", {}, {}}}),
        AnimatedStage("TEXTURE_ANIMATION", {}, {{"pics/b.png", {}, {}}}),
    };
    LegacyShader shader;
    shader.name = "Anim";
    shader.passes = {pass};
    return WriteLegacyLibrary({{shader}, false});
}

TEST_F(MaterialStageTexture, AnimatedStagesGetTheirFramesOnBothRoads) {
    for (bool defaults : {false, true}) {
        for (bool queued : {false, true}) {
            SCOPED_TRACE(std::string(queued ? "split" : "direct") + (defaults ? ", defaults" : ""));
            Config()->SetValue(39, defaults ? 1 : 0);
            LoadXml(std::string(queued ? "split" : "direct") + (defaults ? "39" : "") + ".xml",
                    AnimatedLibrary(), queued);
            TextureBase* a = Textures()->LoadNamedTexture("pics/a.png");
            TextureBase* b = Textures()->LoadNamedTexture("pics/b.png");
            TextureBase* fallback = Textures()->GetDefaultTexture();
            ASSERT_TRUE(a && b && fallback);
            ASSERT_TRUE(a != b && a != fallback && b != fallback);
            if (defaults)
                a = b = fallback;

            const Zel::TextureStage& first = StageOf("Anim", 0);
            EXPECT_EQ(first.flags & Zel::TSF_TEXTURE_PENDING, 0u);
            auto* animated = dynamic_cast<Zel::AnimationTexture*>(first.GetTexture());
            ASSERT_NE(animated, nullptr);
            EXPECT_EQ(animated->GetRefCount(), 2);  // the manager's and the stage's
            EXPECT_FLOAT_EQ(animated->GetFrameTime(), 0.25f);
            ASSERT_EQ(animated->GetFrameCount(), 3u);
            EXPECT_EQ(animated->GetFrame(0), a);
            EXPECT_EQ(animated->GetFrame(1), fallback);
            EXPECT_EQ(animated->GetFrame(2), b);

            auto* blended =
                dynamic_cast<Zel::AnimationBlendTexture*>(StageOf("Anim", 1).GetTexture());
            ASSERT_NE(blended, nullptr);
            ASSERT_EQ(blended->GetFrameCount(), 3u);
            const TextureBase* frames[] = {b, a, fallback};
            const float durations[] = {0.5f, 0.2f, 1.0f};
            for (std::size_t i = 0; i < 3; ++i) {
                EXPECT_EQ(blended->GetFrame(i), frames[i]) << i;
                EXPECT_FLOAT_EQ(blended->GetFrameDuration(i), durations[i]) << i;
            }

            // A frequency of 0, or none, stops the animation instead of dividing by it.
            for (std::uint32_t slot : {2u, 3u}) {
                auto* still =
                    dynamic_cast<Zel::AnimationTexture*>(StageOf("Anim", slot).GetTexture());
                ASSERT_NE(still, nullptr) << slot;
                EXPECT_EQ(still->GetFrameTime(), 0.0f) << slot;
                EXPECT_EQ(still->GetFrameCount(), 1u) << slot;
            }
            Materials().RemoveAll();
        }
    }
}

Xm3Library CubeLibrary(const std::vector<std::pair<std::string, Xm3Texture>>& materials) {
    Xm3Library library;
    for (const auto& [name, texture] : materials) {
        Xm3Stage stage;
        stage.slot = 5;
        stage.texture = texture;
        Xm3Pass pass;
        pass.state.stages = {stage};
        Xm3Material material;
        material.name = name;
        material.passes = {pass};
        library.materials.push_back(material);
    }
    return library;
}

Xm3Texture CubeTexture(std::vector<std::string> faces) {
    Xm3Texture texture;
    texture.type = faces.size() == 6 ? 4 : 1;
    texture.names = std::move(faces);
    return texture;
}

TEST_F(MaterialStageTexture, CubeNamesFromXm3BecomeOneSharedCube) {
    const std::vector<std::string> faces(std::begin(kFaces), std::end(kFaces));
    const std::size_t images = Images()->GetTotalCount();
    ASSERT_TRUE(LoadXm3(CubeLibrary({{"Sky", CubeTexture(faces)}, {"Sea", CubeTexture(faces)}})));
    const Zel::TextureStage& sky = StageOf("Sky", 5);
    EXPECT_EQ(sky.textureName,
              "cube/px.png*cube/nx.png*cube/py.png*cube/ny.png*cube/pz.png*cube/nz.png*");
    ExpectCube(sky);
    EXPECT_EQ(StageOf("Sea", 5).GetTexture(), sky.GetTexture());
    EXPECT_EQ(sky.GetTexture()->GetRefCount(), 3);  // the manager's and one per stage
    // The face images were only the upload's source.
    EXPECT_EQ(Images()->GetTotalCount(), images);
    EXPECT_EQ(Images()->GetByName("cube/px.png*"), nullptr);
}

TEST_F(MaterialStageTexture, CubeNamesFromXmlInBothDialects) {
    LibMaterial material;
    material.name = "Glass";
    TextureEntry entry;
    entry.path = "sky";
    entry.usage = "CubeMap";
    const char* faceElements[6] = {"PX", "NX", "PY", "NY", "PZ", "NZ"};
    for (int i = 0; i < 6; ++i) entry.faces.emplace_back(faceElements[i], kFaces[i]);
    MaterialPass pass;
    pass.textures = {entry};
    material.passes = {pass};

    LegacyStage cube;
    cube.texCoordGen = "TEXGEN_CUBEMAP";
    cube.textureType = "TEXTURE_CUBE_MAP";
    std::string name;
    for (const char* face : kFaces) name += std::string(face) + "*";
    cube.textures = {LegacyTexture{name, {}, {}}};
    LegacyShader shader;
    shader.name = "Chrome";
    shader.passes = {LegacyPass{{}, false, {}, {cube}}};

    Zel::SetTextureLoadFlags(Zel::TEXTURE_LOAD_IMMEDIATE);
    for (bool queued : {false, true}) {
        SCOPED_TRACE(queued ? "split" : "direct");
        LoadXml(queued ? "a.xml" : "b.xml", WriteMaterialLibrary({material}), queued);
        LoadXml(queued ? "c.xml" : "d.xml", WriteLegacyLibrary({{shader}, false}), queued);
        ExpectCube(StageOf("Glass", 5));
        EXPECT_EQ(StageOf("Chrome", 5).GetTexture(), StageOf("Glass", 5).GetTexture());
        Materials().RemoveAll();
    }
}

TEST_F(MaterialStageTexture, CubesThatCannotBeMadeGiveTheDefaultTextureAndOneLogLine) {
    WritePng("cube/big.png", FaceImage(4, 8));
    const struct {
        const char* what;
        std::vector<std::string> faces;
        const char* log;
    } cases[] = {
        {"missing face",
         {kFaces[0], kFaces[1], kFaces[2], "cube/none.png", kFaces[4], kFaces[5]},
         "face image cube/none.png is missing or unreadable"},
        {"mismatched face",
         {kFaces[0], kFaces[1], kFaces[2], kFaces[3], "cube/big.png", kFaces[5]},
         "face images differ in size or format"},
        {"five faces",
         {"cube/px.png*cube/nx.png*cube/py.png*cube/ny.png*cube/pz.png*"},
         "does not name six face images"},
        {"empty face",
         {"cube/px.png*cube/nx.png**cube/ny.png*cube/pz.png*cube/nz.png*"},
         "does not name six face images"},
    };
    TextureBase* fallback = Textures()->GetDefaultTexture();
    ASSERT_NE(fallback, nullptr);
    const std::size_t textures = Textures()->GetTextureCount();
    const std::size_t images = Images()->GetTotalCount();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ZelTest::LogCapture log;
        ASSERT_TRUE(LoadXm3(CubeLibrary({{"Broken", CubeTexture(c.faces)}})));
        EXPECT_EQ(StageOf("Broken", 5).GetTexture(), fallback);
        // Faces that did load log their loads as every image does; nothing else complains.
        EXPECT_EQ(log.Count("Cube texture"), 1);
        EXPECT_EQ(log.Count(c.log), 1);
        EXPECT_EQ(log.Count("失败"), 0);
        Materials().RemoveAll();
        EXPECT_EQ(Textures()->GetTextureCount(), textures);
        EXPECT_EQ(Images()->GetTotalCount(), images);
    }
}

}  // namespace
