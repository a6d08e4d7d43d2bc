// libFuzzer target over the material manager's road for XML material libraries: the library
// ("mats/fuzz.xml", served from the virtual file system) is loaded through
// MaterialManager::LoadMaterialLib, directly or in queued mode (the split road: open, parse per
// element, texture requests, finalise), and every material the road asks a program for has its
// effect generated (the plain or the screenshot compiler) and compiled by the effect compiler
// with the engine's include files. The first input byte picks the conditions:
//   bit 0  queued mode          bit 1  hold the materials
//   bit 2  the screenshot compiler   bit 3  the specular term left out
// Stage textures take the default texture instead of opening the files the library names.
//
//   MaterialLibRoadFuzz --write-seeds=DIR   writes the seed corpus (made by the fixture writers)
//   MaterialLibRoadFuzz [libFuzzer flags] CORPUS...
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "Core/QueueMode.h"
#include "Core/XMLManager.h"
#include "Entity/Material/LegacyShaderCompiler.h"
#include "Entity/Material/LegacyShaderCompilerScreenShot.h"
#include "Entity/Material/Material.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Texture/TextureBase.h"
#include "Entity/Texture/TextureLoadFlags.h"
#include "Platform/D3DX9/Hlsl/EffectCompiler.h"
#include "Platform/D3DX9/Hlsl/IncludeHandler.h"
#include "Render/RenderSystem.h"
#include "fixtures/EffectFixtures.h"
#include "fixtures/MaterialLibFixtures.h"
#include "fixtures/MaterialXmlFixtures.h"
#include "fuzz/FuzzEngine.h"
#include "fuzz/FixtureIncludes.h"
#include "fuzz/FuzzSeeds.h"

namespace {

using namespace ZelFixtures;

constexpr std::uint8_t kQueued = 1, kHold = 2, kScreenShot = 4, kSpecularOff = 8;

using ZelFuzz::FixtureIncludes;

// The render system's shader compiler: generates the material's effect in memory and compiles
// it; the file it names does not exist, so the material keeps the default program.
class CompilingShaderCompiler final : public Zel::IZelShaderCompiler {
public:
    const std::string& Generate(Zel::Material* material, bool specularOff) override {
        if (material != nullptr) {
            Zel::LegacyShaderCompiler& generator =
                screenShot ? static_cast<Zel::LegacyShaderCompiler&>(screenShot_) : plain_;
            const std::string text =
                generator.BuildEffectText(*material, specularOff || forceSpecularOff);
            FixtureIncludes includes;
            Hlsl::EffectCompiler::Compile(material->GetName() + ".fx", text, {}, &includes);
        }
        return path_;
    }
    bool screenShot = false;
    bool forceSpecularOff = false;

private:
    Zel::LegacyShaderCompiler plain_;
    Zel::LegacyShaderCompilerScreenShot screenShot_;
    const std::string path_ = "fuzz_absent.fx";
};

CompilingShaderCompiler& Compiler() {
    static CompilingShaderCompiler compiler;
    return compiler;
}

LegacyStage Stage(const std::string& name, const std::string& type = "TEXTURE_2D") {
    LegacyStage stage;
    stage.textureType = type;
    stage.textures = {LegacyTexture{name, {}, {}}};
    return stage;
}

void Save(const std::filesystem::path& dir, const std::string& name, std::uint8_t selector,
          const std::string& text) {
    ZelFuzz::SaveSeed(dir, name, ZelFuzz::WithSelector(selector, text));
}

void WriteSeeds(const std::filesystem::path& dir) {
    const float wave[5] = {1, 2, 3, 4, 5};
    LegacyShader lit;
    lit.name = "Lit";
    lit.renderEnv = "light shadowmap";
    lit.shaderType = "light";
    lit.shininess = "20";
    LegacyPass pass;
    pass.attributes = {{"USE_TEXCOORD", "yes"},
                       {"USE_TBN", "yes"},
                       {"BLEND", BlendLine(1, "SrcAlpha", "One")},
                       {"DEPTH", DepthLine(1, "LEQUAL", "WRITE")}};
    LegacyStage animated = Stage("f0.dds", "TEXTURE_ANIMATION");
    animated.animFreq = "10";
    animated.textures.push_back(LegacyTexture{"f1.dds", {}, {}});
    LegacyStage waved = Stage("w.dds");
    waved.texCoordGen = "TEXGEN_CUBEMAP";
    waved.envMode = "TEXENV_TEX_MUL_CONSTALPHA";
    waved.tcMods = {{TcModLine(1, 2, wave), TcModLine(2, 1, wave)}};
    pass.stages = {Stage("base.dds"), Stage("", "TEXTURE_RENDER_IMAGE1"), animated, waved};
    lit.passes = {pass, LegacyPass{{{"ZSORT", "1"}}, false, {}, {Stage("second.dds")}}};
    LegacyShader bone;
    bone.name = "floor_tile";
    bone.gloss = "3";
    bone.shaderType = "bone";
    bone.passes = {LegacyPass{{{"ALPHA", AlphaLine(1, "GREATER", 0.5f)}}, true, {}, {}}};
    LegacyShader many;
    many.name = "many_stages";
    LegacyPass wide;
    for (int i = 0; i < 10; ++i) wide.stages.push_back(Stage("s" + std::to_string(i) + ".dds"));
    many.passes = {wide};
    const std::string legacy = WriteLegacyLibrary({{lit, bone, many, lit}, true});
    Save(dir, "legacy", 0, legacy);
    Save(dir, "legacy_queued", kQueued | kHold, legacy);
    Save(dir, "legacy_screenshot", kScreenShot | kSpecularOff, legacy);

    LibMaterial stone;
    stone.name = "Stone";
    MaterialPass stonePass;
    stonePass.skinning = "HW";
    stonePass.colours = {{"Ambient", "0.1 0.2 0.3"}, {"Shiness", "12"}};
    stonePass.renderState = {
        XmlElementSpec{"Blend", {{"Use", "1"}, {"Src", "SrcAlpha"}, {"Dst", "InvSrcAlpha"}}, {}},
        XmlElementSpec{
            "AlphaTest", {{"Use", "1"}, {"CompareFunc", "Less"}, {"RefVal", "0.5"}}, {}}};
    TextureEntry cube{"c", "CubeMap", "Clamp", "Anisotropic", {}, {{TcModLine(1, 1, wave), {}}}};
    cube.faces = {{"PX", "px.dds"}, {"NX", std::nullopt}};
    stonePass.textures = {TextureEntry{"stone.dds", "Diffuse", "Wrap", "Bilinear", {}, {}},
                          TextureEntry{"RT0", "LightMap", {}, {}, {}, {}}, cube};
    stonePass.hasLighting = true;
    stonePass.lighting = "Pixel";
    stone.passes = {stonePass, MaterialPass{}};
    LibMaterial plain;
    plain.name = "Plain";
    plain.passes = {MaterialPass{}};
    const std::string library = WriteMaterialLibrary({stone, plain});
    Save(dir, "materiallib", 0, library);
    Save(dir, "materiallib_queued", kQueued, library);
    Save(dir, "materiallib_screenshot", kScreenShot | kHold, library);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    ZelFuzz::WriteSeedsWhenAsked(argc, argv, &WriteSeeds);
    Zel::Globals* g = ZelFuzz::QuietGlobals();
    static Zel::RenderSystem renderSystem;
    static Zel::TextureBase image{1, nullptr, 2};
    renderSystem.SetShaderCompiler(&Compiler());
    renderSystem.SetRenderImage(0, &image);
    g->GetSceneManager()->SetRenderSystem(&renderSystem);
    // Stage textures take the default texture instead of opening the files the input names.
    Zel::SetTextureLoadFlags(Zel::GetTextureLoadFlags() | 0x2);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    Zel::Globals* g = ZelFuzz::QuietGlobals();
    const std::uint8_t selector = data[0];
    Compiler().screenShot = (selector & kScreenShot) != 0;
    Compiler().forceSpecularOff = (selector & kSpecularOff) != 0;
    Zel::MaterialManager& materials = *g->GetMaterialManager();
    {
        ZelFuzz::MountedFile file("mats/fuzz.xml", data + 1, size - 1);
        Zel::SetQueueMode((selector & kQueued) ? 1 : 0);
        bool ok = false;
        std::vector<Zel::Material*> out;
        materials.LoadMaterialLib("mats/fuzz.xml", ok, &out, (selector & kHold) != 0);
        Zel::SetQueueMode(0);
        // Touch what was listed, so that a material left half-made shows up.
        volatile std::size_t sum = 0;
        for (Zel::Material* material : materials.GetLastLibraryList())
            sum = sum + material->GetPassCount() + material->GetName().size();
        for (Zel::Material* material : out) sum = sum + material->GetRefCount();
        // The references hold gave go back as a caller gives them back.
        materials.UnLoadMaterials(out);
    }
    materials.RemoveAll();
    g->GetXMLManager()->RemoveAll();
    return 0;
}
