// libFuzzer target over the XML material parser: every "SHADER" and "Material" element of the
// input is parsed directly and with texture requests (then carried out), and the first "SHADER"
// is loaded as text into a material.
//
//   MaterialXmlFuzz --write-seeds=DIR   writes the seed corpus (made by the fixture writer)
//   MaterialXmlFuzz [libFuzzer flags] CORPUS...
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "Core/Globals.h"
#include "Core/TiXmlDocument.h"
#include "Core/XmlElements.h"
#include "Entity/Material/Material.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Material/MaterialParser.h"
#include "Entity/Material/MaterialTextureRequests.h"
#include "Entity/Texture/TextureLoadFlags.h"
#include "Platform/Win32/Win32.h"
#include "fixtures/MaterialXmlFixtures.h"
#include "fuzz/FuzzEngine.h"
#include "fuzz/FuzzSeeds.h"

namespace {

using namespace ZelFixtures;

void Save(const std::filesystem::path& dir, const std::string& name, const std::string& text) {
    ZelFuzz::SaveSeed(dir, name, std::vector<std::uint8_t>(text.begin(), text.end()));
}

void WriteSeeds(const std::filesystem::path& dir) {
    const float wave[5] = {1, 2, 3, 4, 5};
    const float colour[4] = {1, 0.5f, 0.25f, 0.75f};
    const float start[3] = {0, 0, 0}, end[3] = {1, 1, 1};
    LegacyStage stage;
    stage.texCoordGen = "TEXGEN_CUBEMAP";
    stage.envMode = "TEXENV_TEX_MUL_CONSTALPHA";
    stage.constColour = ConstColourLine(1, 1, colour);
    stage.alphaGen = AlphaGenLine(0, 1, 2, wave, 0.5f, 1);
    stage.rgbGen = RgbGenLine(0, 1, 3, wave, start, end);
    stage.textures = {LegacyTexture{"a.dds", TextureParamLine(0, 3, 8), {}}};
    stage.tcMods = {{TcModLine(1, 2, wave), TcModLine(2, 1, wave)}};
    LegacyStage animated;
    animated.textureType = "TEXTURE_ANIMATION";
    animated.animFreq = "10";
    animated.textures = {LegacyTexture{"f0.dds", {}, {}}, LegacyTexture{"f1.dds", {}, {}}};
    LegacyStage blended = animated;
    blended.textureType = "TEXTURE_BLEND_ANIMATION";
    blended.textures[0].gradientTime = "0.5";
    LegacyStage image;
    image.textureType = "TEXTURE_RENDER_IMAGE2";
    LegacyPass pass;
    pass.attributes = {{"USE_TBN", "yes"},
                       {"SORT_KEY", "5"},
                       {"BLEND", BlendLine(1, "SrcAlpha", "InvSrcAlpha")},
                       {"ALPHA", AlphaLine(1, "GREATER", 0.5f)},
                       {"DEPTH", DepthLine(1, "LEQUAL", "WRITE")},
                       {"COLORMASK", ColourMaskLine(1, 1, 1, 0)}};
    pass.hasVp = true;
    pass.vpFile = "vertex_lighting_skl.vp";
    pass.stages = {stage, animated, blended, image};
    LegacyShader shader;
    shader.name = "rock";
    shader.gloss = "2";
    shader.renderEnv = "light shadowmap";
    shader.shaderType = "bone";
    shader.shininess = "16";
    shader.passes = {pass, LegacyPass{}};
    Save(dir, "legacy", WriteLegacyLibrary({{shader, LegacyShader{}}, true}));

    MaterialPass material;
    material.skinning = "HW";
    material.colours = {{"Ambient", "0.1 0.2 0.3"}, {"Shiness", "12"}};
    material.renderState = {
        XmlElementSpec{"AlphaTest", {{"Use", "1"}, {"CompareFunc", "Less"}, {"RefVal", "0.5"}}, {}},
        XmlElementSpec{"Blend", {{"Use", "1"}, {"Src", "One"}, {"Dst", "Zero"}}, {}}};
    TextureEntry cube{"c", "CubeMap", "Clamp", "Anisotropic", {}, {{TcModLine(1, 1, wave), {}}}};
    cube.faces = {{"PX", "px.dds"}, {"NX", std::nullopt}};
    material.textures = {TextureEntry{"RT0", "Diffuse", {}, {}, {}, {}}, cube};
    material.hasLighting = true;
    material.lighting = "Pixel";
    LibMaterial lib;
    lib.name = "stone";
    lib.passes = {material, MaterialPass{}};
    Save(dir, "materiallib", WriteMaterialLibrary({lib, LibMaterial{}}));
}

void ParseBoth(const Zel::XmlNode* element, bool legacy) {
    Zel::MaterialManager* manager = ZelFuzz::QuietGlobals()->GetMaterialManager();
    Zel::Material direct(nullptr, "fuzz", "Material", 0);
    Zel::Material split(nullptr, "fuzz", "Material", 0);
    Zel::MaterialTextureRequests requests;
    if (legacy) {
        Zel::MaterialParser::ParseLegacyAndGenerate(element, direct);
        Zel::MaterialParser::ParseLegacy_New(element, split, &requests);
    } else {
        Zel::MaterialParser::Parse(element, direct);
        Zel::MaterialParser::Parse(element, split, &requests);
    }
    manager->LoadLibMaterialTextures(requests);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    ZelFuzz::WriteSeedsWhenAsked(argc, argv, &WriteSeeds);
    ZelFuzz::QuietGlobals();
    // Stage textures take the default texture instead of opening the files the input names.
    Zel::SetTextureLoadFlags(Zel::GetTextureLoadFlags() | 0x2);
    // Parse errors are printed on standard output; the fuzzer's own report goes to stderr.
    ZelFuzz::SilenceStdout();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    text.resize(std::strlen(text.c_str()));  // the text ends at its first NUL
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    Zel::TiXmlDocument document;
    document.Parse(buffer.data());

    const Zel::XmlNode* shaders = Zel::MaterialParser::LegacyShaderList(&document);
    const char* firstName = nullptr;
    for (const Zel::XmlNode* e = Zel::XmlChildElementByName(shaders, "SHADER"); e;
         e = Zel::XmlNextElementByName(e, "SHADER")) {
        if (!firstName)
            firstName = Zel::XmlAttributeValue(e, "NAME");
        ParseBoth(e, true);
    }
    const Zel::XmlNode* library = Zel::XmlChildElementByName(&document, "MaterialLib");
    for (const Zel::XmlNode* e = Zel::XmlChildElementByName(library, "Material"); e;
         e = Zel::XmlNextElementByName(e, "Material"))
        ParseBoth(e, false);

    Zel::Material target(nullptr, "target", "Material", 0);
    target.LoadFromXmlText(text.c_str(), firstName ? firstName : "");
    return 0;
}
