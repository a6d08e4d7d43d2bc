#include "Entity/Material/MaterialParser.h"

#include <locale.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "Core/DeviceCaps.h"
#include "Core/ErrorReport.h"
#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Core/LogDispatch.h"
#include "Core/XmlElements.h"
#include "Entity/Texture/AnimationBlendTexture.h"
#include "Entity/Texture/AnimationTexture.h"
#include "Entity/Material/LegacyStageAnimRecord.h"
#include "Entity/Material/Material.h"
#include "Entity/Material/MaterialTextureRequests.h"
#include "Entity/Material/Pass.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Texture/TextureLoadFlags.h"
#include "Entity/Texture/TextureManager.h"
#include "Render/RenderCodes.h"
#include "Render/RenderSystem.h"
#include "Entity/Material/TextureStage.h"

namespace Zel {

namespace {

// Vertex semantic bits the parser sets.
constexpr std::uint32_t kPosition = 0x1;
constexpr std::uint32_t kNormal = 0x2;
constexpr std::uint32_t kTexCoord0 = 0x10;
constexpr std::uint32_t kTangentFrame = 0x3003;  // position, normal, binormal, tangent
constexpr std::uint32_t kBlendWeightsAndIndices = 0xC000;
constexpr std::uint32_t kFirstLegacyStages = 10;
// The n-th "STAGE" of a pass; slots 4 and 5 are reached only through coordinate generation.
constexpr std::uint32_t kLegacySlots[kFirstLegacyStages] = {0, 1, 2, 3, 6, 7, 8, 9, 10, 11};
constexpr std::uint32_t kSphereSlot = 6;
constexpr float kDefaultGradientTime = 0.2f;
// Value words are scanned into buffers of this size (one byte for the terminator).
constexpr std::size_t kWordBytes = 64;

// Library numbers are written with '.' decimals: every scan of a parse runs in the C locale.
class CNumericLocale {
public:
    CNumericLocale() : previous_(Locale() ? uselocale(Locale()) : nullptr) {}
    ~CNumericLocale() {
        if (previous_)
            uselocale(previous_);
    }
    CNumericLocale(const CNumericLocale&) = delete;
    CNumericLocale& operator=(const CNumericLocale&) = delete;

private:
    static locale_t Locale() {
        static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
        return c;
    }
    locale_t previous_;
};

struct WordValue {
    const char* word;
    std::uint32_t value;
};

template <std::size_t N>
std::uint32_t Lookup(const WordValue (&table)[N], const char* word, std::uint32_t fallback) {
    if (!word)
        return fallback;
    for (const WordValue& entry : table)
        if (std::strcmp(entry.word, word) == 0)
            return entry.value;
    return fallback;
}

constexpr WordValue kCompareWords[] = {
    {"Fail", 0},         {"NEVER", 0},  {"Pass", 1},      {"ALWAYS", 1},
    {"Less", 2},         {"LESS", 2},   {"LessEqual", 3}, {"LEQUAL", 3},
    {"Equal", 4},        {"EQUAL", 4},  {"NotEqual", 5},  {"NOTEQUAL", 5},
    {"GreaterEqual", 6}, {"GEQUAL", 6}, {"Greater", 7},   {"GREATER", 7},
};

constexpr WordValue kBlendWords[] = {
    {"One", 0},         {"1", 0},           {"Zero", 1},        {"0", 1},
    {"SrcColor", 2},    {"InvSrcColor", 3}, {"1-SrcColor", 3},  {"SrcAlpha", 4},
    {"InvSrcAlpha", 5}, {"1-SrcAlpha", 5},  {"DstAlpha", 6},    {"InvDstAlpha", 7},
    {"1-DstAlpha", 7},  {"DstColor", 8},    {"InvDstColor", 9}, {"1-DstColor", 9},
};

constexpr WordValue kTextureTypeWords[] = {
    {"TEXTURE_1D", 1},
    {"TEXTURE_2D", 2},
    {"TEXTURE_3D", 3},
    {"TEXTURE_CUBE_MAP", 2},
    {"TEXTURE_SPHEREMAP", 2},
    {"TEXTURE_ANIMATION", 5},
    {"TEXTURE_BLEND_ANIMATION", 6},
};

constexpr WordValue kUsageWords[] = {
    {"Diffuse", 0},    {"DetailDiffuse", 1}, {"Bump", 2},      {"DetailBump", 3},
    {"Specular", 4},   {"CubeMap", 5},       {"SphereMap", 6}, {"Reflection", 7},
    {"Refraction", 8}, {"ShadowMap", 9},     {"LightMap", 10},
};

constexpr WordValue kFilterWords[] = {
    {"None", 0}, {"Bilinear", 1}, {"Trilinear", 2}, {"Anisotropic", 3}};

constexpr WordValue kAddressWords[] = {{"Mirror", 0}, {"Wrap", 1}, {"Clamp", 2}, {"Border", 3}};

constexpr WordValue kVertexProgramWords[] = {
    {"vertex_lighting_skl.vp", 0},        {"vertex_lighting_skl_point.vp", 1},
    {"vertex_lighting_skl_sphere.vp", 2}, {"vertex_lighting_skl_cube.vp", 3},
    {";no_lighting_skl.vp", 5},
};

constexpr const char* kTexEnvNames[MaterialParser::kTexEnvCount] = {
    "TEXENV_TEX_REPLACE",
    "TEXENV_MODULATE",
    "TEXENV_TEX_MUL_CONST",
    "TEXENV_TEX_MUL_CONSTALPHA",
    "TEXENV_TEX_CONSTALPHA",
    "TEXENV_MODULATE_MUL_CONSTALPHA",
    "TEXENV_TEX_MUL_PRE",
    "TEXENV_PRE_SRCALPHA",
    "TEXENV_TEX_ADD_PRE",
    "TEXENV_TEX_ADDSIGNED_PRE",
    "TEXENV_TEX_BLEND_PRE_SRCALPHA",
    "TEXENV_TEX_BLEND_PRE_SRCALPHA_ALPHA_ADD",
    "TEXENV_TEX_BLEND_PRE_PREALPHA",
    "TEXENV_TEX_BLEND_PRE_CONSTALPHA",
    "TEXENV_TEX_BLEND_PRE_VALPHA",
    "TEXENV_TEX_BLEND_PRE_SRCALPHA_VERTEX_ALPHA",
    "TEXENV_TEX_BLEND_PRE_PREALPHA_VERTEX_ALPHA",
    "TEXENV_TEX_MUL_CONSTALPHA_ADD_PRE",
    "TEXENV_TEX_MUL_PREALPHA_ADD_PRE",
    "TEXENV_TEX_PRESRCALPHA_CONSTALPHA_REPLACE",
    "TEXENV_TEX_SRCALPHA_CONSTALPHA_REPLACE",
    "TEXENV_MODULATE2",
    "TEXENV_TEX_MUL_PRE2",
    "TEXENV_TEX_ADD_PRE2",
    "TEXENV_TEX_MUL_CONSTALPHA_ADD_PRE2",
    "TEXENV_TEX_MUL_PREALPHA_ADD_PRE2",
    "TEXENV_MODULATE2_CONSTALPHA",
    "TEXENV_MODULATE_CONSTALPHA",
    "TEXENV_MODULATE4",
    "TEXENV_TEX_MUL_PRE4",
    "TEXENV_TEX_ADD_PRE4",
    "TEXENV_TEX_MUL_CONSTALPHA_ADD_PRE4",
    "TEXENV_TEX_MUL_PREALPHA_ADD_PRE4",
    "TEXENV_TEX_MUL_CONST2",
    "TEXENV_TEX_TERRAIN_MUL1",
    "TEXENV_TEX_TERRAIN_MUL2",
    "TEXENV_MODULATE_TEMP_TRANS",
    "TEXENV_TEX_MUL_CONST_TEMP_TRANS",
    "TEXENV_TEX_MUL_CONSTALPHA_ADD_PRE_ALPHA_REPLACE",
    "TEXENV_TEX_MUL_PREALPHA_ADD_PRE_ALPHA_REPLACE",
    "TEXENV_BUMP",
    "TEXENV_BUMP_SPECULAR",
    "TEXENV_POWER2",
    "TEXENV_CONST_MUL_PREALPHA_ADD_PRE",
    "TEXENV_CONST_BLEND_PRE_PREALPHA",
    "TEXENV_CONST_MUL_PREALPHA_ADD_TEX_MUL_PRE",
    "TEXENV_TEX_BLEND_CONST_SRCALPHA",
    "TEXENV_TEX_BLEND_CONST_PREALPHA",
    "TEXENV_MODULATE2_MUL_CONSTALPHA",
    "TEXENV_PRE_BLEND_CONST_SRCALPHA_ALPHA_PRE",
    "TEXENV_MODULATE_RGB",
    "TEXENV_TEX_BLEND_RATIOALPHA",
    "TEXENV_TEX_RATIOALPHA_REPLACE",
};

const char* Attribute(const XmlNode* node, const char* name) {
    return XmlAttributeValue(node, name);
}

bool AttributeIs(const XmlNode* node, const char* name, const char* value) {
    const char* text = Attribute(node, name);
    return text && std::strcmp(text, value) == 0;
}

bool Contains(const char* text, const char* part) {
    return text && std::strstr(text, part) != nullptr;
}

void SetBit(std::uint32_t& word, std::uint32_t bit, bool on) {
    word = on ? word | bit : word & ~bit;
}

// A decimal number; fallback when the text holds none.
float ScanFloat(const char* text, float fallback) {
    float value = fallback;
    if (text)
        std::sscanf(text, "%f", &value);
    return value;
}

// An alpha reference 0..1 as the 0..255 value of the render state; NaN counts as 0.
std::uint32_t AlphaReference(float reference) {
    if (!(reference >= 0.0f))
        reference = 0.0f;
    if (reference > 1.0f)
        reference = 1.0f;
    return std::uint32_t(reference * 255.0f);
}

// The second number of "TEXTUREPARAM".
std::uint32_t LegacyFilter(int code) {
    switch (code) {
        case 1:
        case 2:
            return 0;
        case 3:
        case 4:
            return 2;
        case 5:
            return 3;
        default:
            return 1;
    }
}

// The third number of "TEXTUREPARAM".
std::uint32_t LegacyAddress(int code) {
    switch (code) {
        case 7:
            return 0;
        case 8:
            return 2;
        default:
            return 1;
    }
}

void ReadTextureParam(const XmlNode* texture, TextureStage& stage) {
    const char* text = Attribute(texture, "TEXTUREPARAM");
    if (!text)
        return;
    int unused = 0, filter = 0, address = 0;
    const int fields = std::sscanf(text, "%d %d %d", &unused, &filter, &address);
    if (fields >= 2)
        stage.filter = LegacyFilter(filter);
    if (fields >= 3)
        stage.addressU = stage.addressV = stage.addressW = LegacyAddress(address);
}

// "%u %u %f %f %f %f %f": mode, wave kind, then the axis's five floats. Unscanned fields keep the
// wave defaults. False when the text is missing.
bool ReadTcModAxis(const char* text, WaveRecord& wave, int axis) {
    if (!text)
        return false;
    unsigned mode = wave.codes[axis], kind = wave.codes[axis + 2];
    float* values = axis == 0 ? wave.first : wave.second;
    std::sscanf(text, "%u %u %f %f %f %f %f", &mode, &kind, &values[0], &values[1], &values[2],
                &values[3], &values[4]);
    wave.codes[axis] = std::uint8_t(mode);
    wave.codes[axis + 2] = std::uint8_t(kind);
    return true;
}

void ReadAlphaGen(const char* text, TextureStage& stage) {
    WaveRecord wave;
    unsigned unused = 0, code0 = wave.codes[0], code2 = wave.codes[2];
    std::sscanf(text, "%u %u %u %f %f %f %f %f StartAlpha(%f)-EndAlpha(%f)", &unused, &code0,
                &code2, &wave.first[0], &wave.first[1], &wave.first[2], &wave.first[3],
                &wave.first[4], &wave.second[0], &wave.second[1]);
    wave.codes[0] = std::uint8_t(code0);
    wave.codes[2] = std::uint8_t(code2);
    stage.alphaGen = wave;
    stage.flags |= TSF_ALPHA_GEN;
}

void ReadRgbGen(const char* text, TextureStage& stage) {
    WaveRecord wave;
    unsigned unused = 0, code0 = wave.codes[0], code2 = wave.codes[2];
    float unusedFloat = 0.0f;
    std::sscanf(text, "%u %u %u %f %f %f %f %f StartColor(%f %f %f)-EndColor(%f %f %f)", &unused,
                &code0, &code2, &wave.first[0], &wave.first[1], &wave.first[2], &wave.first[3],
                &unusedFloat, &wave.first[4], &wave.second[0], &wave.second[1], &wave.second[2],
                &wave.second[3], &wave.second[4]);
    wave.codes[0] = std::uint8_t(code0);
    wave.codes[2] = std::uint8_t(code2);
    stage.colourGen = wave;
    stage.flags |= TSF_COLOUR_GEN;
}

void ReadConstColourParam(const char* text, const char* envMode, TextureStage& stage) {
    unsigned constColour = 0, constAlpha = 0;
    float colour[4] = {stage.constantColour[0], stage.constantColour[1], stage.constantColour[2],
                       stage.constantColour[3]};
    std::sscanf(text, "%u %u %f %f %f %f", &constColour, &constAlpha, &colour[0], &colour[1],
                &colour[2], &colour[3]);
    SetBit(stage.flags, TSF_CONST_COLOUR, constColour != 0);
    SetBit(stage.flags, TSF_CONST_ALPHA, constAlpha != 0);
    if (Contains(envMode, "CONSTALPHA"))
        stage.flags |= TSF_CONST_ALPHA;
    else if (Contains(envMode, "CONST"))
        stage.flags |= TSF_CONST_COLOUR;
    if (!(stage.flags & TSF_CONST_ALPHA))
        colour[3] = 1.0f;
    std::copy_n(colour, 4, stage.constantColour);
}

// The "TCMOD" children of a stage element: each with both axes (legacy) or either (the newer
// dialect) appends one modifier.
void ReadTcMods(const XmlNode* stageElement, TextureStage& stage, bool needBothAxes) {
    for (const XmlNode* mod = XmlChildElementByName(stageElement, "TCMOD"); mod;
         mod = XmlNextElementByName(mod, "TCMOD")) {
        const char* x = Attribute(mod, "TCMODX");
        const char* y = Attribute(mod, "TCMODY");
        if (needBothAxes && (!x || !y))
            continue;
        WaveRecord wave;
        ReadTcModAxis(x, wave, 0);
        ReadTcModAxis(y, wave, 1);
        stage.texCoordMods.push_back(wave);
    }
}

RenderSystem* CurrentRenderSystem() {
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    return scene ? scene->GetRenderSystem() : nullptr;
}

bool IsFixedFunctionPath() {
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    return !scene || scene->IsDX7Mode();
}

// Binds render image index (or nothing when there is none) and clears the pending bit.
void BindRenderImage(TextureStage& stage, std::uint32_t index) {
    RenderSystem* renderSystem = CurrentRenderSystem();
    stage.SetTexture(renderSystem ? renderSystem->GetRenderImage(index) : nullptr);
    stage.flags &= ~std::uint32_t(TSF_TEXTURE_PENDING);
}

// A pending stage loads its texture at once when the global immediate-load bit asks for it.
void ResolveWhenImmediate(TextureStage& stage) {
    if (!(stage.flags & TSF_TEXTURE_PENDING) || !(GetTextureLoadFlags() & TEXTURE_LOAD_IMMEDIATE))
        return;
    if (TextureManager* textures = Globals::Find(&Globals::GetTextureManager))
        textures->ResolveTextureSlot(stage);
}

// The record of the stage's slot in the pass's block (the last one appended), or null.
LegacyStageAnimRecord* RecordFor(MaterialTextureRequests* requests, const TextureStage& stage) {
    if (!requests || requests->blocks.empty())
        return nullptr;
    LegacyStageAnimRecord& record = requests->blocks.back()[stage.stageSlot];
    record.stage = const_cast<TextureStage*>(&stage);
    return &record;
}

// Texture types 5 and 6: the frames, recorded or made into the stage's animated texture.
void ReadAnimatedTexture(const XmlNode* stageElement, TextureStage& stage, std::uint32_t type,
                         LegacyStageAnimRecord* record) {
    LegacyStageAnimRecord local;
    LegacyStageAnimRecord& target = record ? *record : local;
    target.stage = &stage;
    target.kind = type;
    if (type == LegacyStageAnimRecord::kAnimated)
        target.frequency = ScanFloat(Attribute(stageElement, "ANIM_FREQ"), 0.0f);
    ReadTextureParam(XmlChildElementByName(stageElement, "TEXTURE"), stage);
    for (const XmlNode* texture = XmlChildElementByName(stageElement, "TEXTURE"); texture;
         texture = XmlNextElementByName(texture, "TEXTURE")) {
        const char* directory = Attribute(texture, "DIRECTORY");
        const std::string frame = directory ? directory : "";
        stage.textureName += frame;
        stage.textureName += '*';
        if (type == LegacyStageAnimRecord::kAnimated)
            target.frames.push_back(frame);
        else
            target.blendFrames.emplace_back(
                frame, ScanFloat(Attribute(texture, "GRADIENT_TIME"), kDefaultGradientTime));
    }
    if (!record)
        MaterialParser::BindAnimatedTexture(local);
}

// One "STAGE" element into the stage of its slot.
void ReadLegacyStage(const XmlNode* element, std::uint32_t ordinal, Pass& pass,
                     MaterialTextureRequests* requests) {
    if (ordinal >= kFirstLegacyStages) {
        LogTyped(LOG_ENGINE_INIT, "MaterialParser::ParseLegacy;STAGE %u beyond the stage slots",
                 ordinal + 1);
        return;
    }
    const char* texGenWord = Attribute(element, "TEXCOORD_GEN");
    const char* envMode = Attribute(element, "TEXENV_MODE");
    const char* typeWord = Attribute(element, "TEXTURE_TYPE");
    const char* constColour = Attribute(element, "CONSTCOLORPARAM");
    const char* alphaGen = Attribute(element, "ALPHA_GEN");
    const char* rgbGen = Attribute(element, "RGB_GEN");
    const XmlNode* texture = XmlChildElementByName(element, "TEXTURE");

    std::uint32_t texGen = TCG_NONE;
    if (texGenWord && std::strcmp(texGenWord, "TEXGEN_SPHERE") == 0)
        texGen = TCG_SPHERE_MAP;
    else if (texGenWord && std::strcmp(texGenWord, "TEXGEN_CUBEMAP") == 0)
        texGen = TCG_CUBE_REFLECTION;
    std::uint32_t slot = kLegacySlots[ordinal];
    if (texGen == TCG_CUBE_REFLECTION)
        slot = TextureStage::kCubeSlot;
    else if (texGen == TCG_SPHERE_MAP)
        slot = kSphereSlot;

    TextureStage& stage = pass.renderState.stages[slot];
    stage.stageSlot = slot;
    stage.flags |= TSF_TEXTURE_PENDING;
    stage.textureName.clear();
    LegacyStageAnimRecord* record = RecordFor(requests, stage);

    stage.envMode = envMode ? MaterialParser::TexEnvWord(envMode) : 1;
    if (constColour)
        ReadConstColourParam(constColour, envMode, stage);
    if (alphaGen)
        ReadAlphaGen(alphaGen, stage);
    if (rgbGen)
        ReadRgbGen(rgbGen, stage);

    const std::uint32_t type = MaterialParser::TextureTypeWord(typeWord);
    if (type == MaterialParser::TT_OTHER) {
        // "TEXTURE_RENDER_IMAGE1" samples render image 0 and "..._IMAGE2" image 1; any other
        // word, or none, names no texture at all.
        if (Contains(typeWord, "TEXTURE_RENDER_IMAGE1"))
            BindRenderImage(stage, 0);
        else if (Contains(typeWord, "TEXTURE_RENDER_IMAGE2"))
            BindRenderImage(stage, 1);
        else
            stage.flags &= ~std::uint32_t(TSF_TEXTURE_PENDING);
    } else if (type == MaterialParser::TT_ANIMATION || type == MaterialParser::TT_BLEND_ANIMATION) {
        ReadAnimatedTexture(element, stage, type, record);
    } else {
        const char* directory = Attribute(texture, "DIRECTORY");
        stage.textureName = directory ? directory : "";
        if (!requests)
            ResolveWhenImmediate(stage);
        ReadTextureParam(texture, stage);
    }

    stage.texCoordGen =
        slot == TextureStage::kCubeSlot ? std::uint32_t(TCG_CUBE_REFLECTION) : texGen;
    if (stage.texCoordGen != TCG_NONE)
        pass.vertexFlags |= kNormal;
    ReadTcMods(element, stage, true);
}

// One cube face of a "Textures" entry: its path followed by "*", or "empty*" when missing.
void AppendCubeFace(const XmlNode* entry, const char* face, const char* missingEntry,
                    const char* missingPath, std::string& name) {
    const XmlNode* child = XmlChildElementByName(entry, face);
    const char* path = Attribute(child, "Path");
    if (!child)
        LogTyped(LOG_ENGINE_INIT, "%s", missingEntry);
    else if (!path)
        LogTyped(LOG_ENGINE_INIT, "%s", missingPath);
    name += path ? path : "empty";
    name += '*';
}

// Render images named by a "Textures" entry's path.
int RenderImageIndex(const char* path) {
    static const char* const kNames[] = {"RT0", "RT1", "RT2", "RT3"};
    for (int i = 0; i < 4; ++i)
        if (std::strcmp(path, kNames[i]) == 0)
            return i;
    return -1;
}

}  // namespace

// ---- Name tables ----

std::uint32_t MaterialParser::CompareWord(const char* word) {
    return Lookup(kCompareWords, word, CMP_LESS_EQUAL);
}

std::uint32_t MaterialParser::BlendWord(const char* word) {
    return Lookup(kBlendWords, word, BLEND_ZERO);
}

std::uint32_t MaterialParser::TextureTypeWord(const char* word) {
    return Lookup(kTextureTypeWords, word, TT_OTHER);
}

std::uint32_t MaterialParser::UsageWord(const char* word) {
    return Lookup(kUsageWords, word, kNoUsage);
}

std::uint32_t MaterialParser::FilterWord(const char* word) {
    return Lookup(kFilterWords, word, 0);
}

std::uint32_t MaterialParser::AddressWord(const char* word) {
    return Lookup(kAddressWords, word, 2);
}

std::uint32_t MaterialParser::TexEnvWord(const char* word) {
    if (word)
        for (std::uint32_t mode = 0; mode < kTexEnvCount; ++mode)
            if (std::strcmp(kTexEnvNames[mode], word) == 0)
                return mode;
    return 1;
}

const char* MaterialParser::TexEnvName(std::uint32_t mode) {
    return mode < kTexEnvCount ? kTexEnvNames[mode] : nullptr;
}

std::uint32_t MaterialParser::VertexProgramWord(const char* word) {
    return Lookup(kVertexProgramWords, word, 4);
}

// ---- The legacy dialect ----

bool MaterialParser::ParseLegacy_New(const XmlNode* shader, Material& material,
                                     MaterialTextureRequests* requests) {
    CNumericLocale numbers;
    material.Unload();
    const char* name = Attribute(shader, "NAME");
    if (!name) {
        LogTyped(LOG_ENGINE_INIT, "MaterialParser::ParseLegacy_New;材质球没有name属性");
        return false;
    }
    material.SetName(name);
    const float gloss = ScanFloat(Attribute(shader, "Gloss"), 0.0f);
    if (gloss > 0.0f)
        material.SetGloss(gloss);
    SetBit(material.flags, MF_FLOOR, material.GetName().find("floor") != std::string::npos);

    const XmlNode* hwShader = XmlChildElementByName(shader, "HWSHADER");
    if (!hwShader) {
        ReportError("MaterialParser::ParseLegacy_New;材质球没有HWSHADER属性");
        return false;
    }
    const char* renderEnv = Attribute(hwShader, "RENDERENV");
    const char* shaderType = Attribute(hwShader, "HWSHADER_TYPE");
    const char* shininess = Attribute(hwShader, "SHINESS");
    if (shininess) {
        const float value = ScanFloat(shininess, -1.0f);
        if (value >= 0.0f)
            material.SetShininess(value);
    }
    if (Contains(renderEnv, "shadowmap"))
        material.flags |= MF_SHADOW_MAP;
    if (Contains(renderEnv, "light")) {
        material.flags |= MF_LIT;
        material.lightingMode = 1;
        material.firstSettingWord = 4;
        material.secondSettingWord = 12;
        material.techniqueCode = 0;
    }
    const bool skinned = Contains(shaderType, "bone");
    const bool forceCulling = AttributeIs(hwShader, "CULLING", "yes");
    if (shaderType) {
        if (std::strcmp(shaderType, "vertex_color_light_blend") == 0)
            material.lightingMode = IsFixedFunctionPath() ? 1 : 2;
        else
            material.lightingMode = skinned || Contains(shaderType, "light") ? 1 : 0;
    }

    std::uint32_t index = 0;
    for (const XmlNode* element = XmlChildElementByName(shader, "PASS"); element;
         element = XmlNextElementByName(element, "PASS"), ++index) {
        Pass& pass = *material.CreatePass(index);
        const XmlNode* vp = XmlChildElementByName(element, "VP");
        if (!vp)
            pass.vertexProgramKind = 4;
        else if (const char* file = Attribute(vp, "VP_FILE"))
            pass.vertexProgramKind = VertexProgramWord(file);
        else
            pass.vertexProgramKind = skinned ? 0 : 4;
        ReadPassSortFlags(element, pass);
        ReadPassUsage(element, pass);
        ReadPassCullMode(element, pass, forceCulling);
        ReadFinalPass(element, pass);
        if (skinned)
            pass.vertexFlags |= kBlendWeightsAndIndices;
        if (pass.vertexProgramKind == 5) {
            material.lightingMode = 0;
            material.flags &= ~std::uint32_t(MF_LIT);
        }
        ReadPassStateLines(element, pass);
        ParseLegacy(element, pass, requests);
    }
    material.CheckVertexColorLightBlend();
    return true;
}

void MaterialParser::ParseLegacy(const XmlNode* passElement, Pass& pass,
                                 MaterialTextureRequests* requests) {
    CNumericLocale numbers;
    if (requests)
        requests->blocks.emplace_back();
    const XmlNode* first = XmlChildElementByName(passElement, "STAGE");
    if (first)
        pass.vertexFlags |= kTexCoord0;
    std::uint32_t ordinal = 0;
    for (const XmlNode* element = first; element;
         element = XmlNextElementByName(element, "STAGE"), ++ordinal)
        ReadLegacyStage(element, ordinal, pass, requests);
}

bool MaterialParser::ParseLegacyAndGenerate(const XmlNode* shader, Material& material) {
    if (!ParseLegacy_New(shader, material))
        return false;
    // The effect key reads the passes' shininess and normals: they must be final first.
    material.UpdatePasses();
    if (!material.AssignGeneratedProgram())
        LogTyped(LOG_ENGINE_INIT, "fn=%s[matname=%s].", material.GetLoadPath().c_str(),
                 material.GetName().c_str());
    return true;
}

void MaterialParser::ReadPassSortFlags(const XmlNode* passElement, Pass& pass) {
    const Material* owner = pass.GetOwner();
    const bool sorted = AttributeIs(passElement, "ZSORT", "1") ||
                        (owner && owner->GetName().find("zsort") != std::string::npos);
    SetBit(pass.passFlags, PF_DEPTH_SORTED, sorted);
}

void MaterialParser::ReadPassUsage(const XmlNode* passElement, Pass& pass) {
    static const struct {
        const char* attribute;
        std::uint32_t bits;
    } kUses[] = {
        {"USE_TEXCOORD", 0x10}, {"USE_TEXCOORD2", 0x20}, {"USE_NORMAL", 0x2},
        {"USE_COLOR", 0x10004}, {"USE_COLOR2", 0x20008}, {"USE_WEIGHT", 0xC000},
    };
    pass.vertexFlags = AttributeIs(passElement, "USE_TBN", "yes") ? kTangentFrame : kPosition;
    for (const auto& use : kUses)
        if (AttributeIs(passElement, use.attribute, "yes"))
            pass.vertexFlags |= use.bits;
    pass.sortKey = 100;
    if (const char* sortKey = Attribute(passElement, "SORT_KEY")) {
        int value = 100;
        if (std::sscanf(sortKey, "%d", &value) == 1)
            pass.sortKey = value;
    }
}

void MaterialParser::ReadPassCullMode(const XmlNode* passElement, Pass& pass, bool forced) {
    if (forced) {
        pass.renderState.cullMode = CULL_CLOCKWISE;
        return;
    }
    pass.renderState.cullMode = CULL_NONE;
    if (AttributeIs(passElement, "CULL_MODE", "CW"))
        pass.renderState.cullMode = CULL_CLOCKWISE;
    else if (AttributeIs(passElement, "CULL_MODE", "CCW"))
        pass.renderState.cullMode = CULL_COUNTER_CLOCKWISE;
}

void MaterialParser::ReadFinalPass(const XmlNode* passElement, Pass& pass) {
    if (const char* value = Attribute(passElement, "FinalPass"))
        SetBit(pass.passFlags, PF_FINAL_PASS, std::strcmp(value, "1") == 0);
}

void MaterialParser::ReadPassStateLines(const XmlNode* passElement, Pass& pass) {
    CNumericLocale numbers;
    RenderState& state = pass.renderState;
    char first[kWordBytes] = {}, second[kWordBytes] = {};

    if (const char* blend = Attribute(passElement, "BLEND")) {
        int enable = 0;
        const int fields = std::sscanf(blend, "%d %63s %63s", &enable, first, second);
        if (fields >= 1)
            SetBit(state.flags, RSF_ALPHA_BLEND, enable != 0);
        if (fields >= 2)
            state.srcBlend = BlendWord(first);
        if (fields >= 3)
            state.destBlend = BlendWord(second);
    } else {
        state.flags &= ~std::uint32_t(RSF_ALPHA_BLEND);
    }

    if (const char* alpha = Attribute(passElement, "ALPHA")) {
        int enable = 0;
        float reference = 0.0f;
        const int fields = std::sscanf(alpha, "%d %63s %f", &enable, first, &reference);
        if (fields >= 1)
            SetBit(state.flags, RSF_ALPHA_TEST, enable != 0);
        if (fields >= 2)
            state.alphaFunc = CompareWord(first);
        if (fields >= 3)
            state.alphaRef = AlphaReference(reference);
    } else {
        state.flags &= ~std::uint32_t(RSF_ALPHA_TEST);
    }

    if (const char* depth = Attribute(passElement, "DEPTH")) {
        int enable = 0;
        const int fields = std::sscanf(depth, "%d %63s %63s", &enable, first, second);
        if (fields >= 1)
            SetBit(state.flags, RSF_DEPTH_TEST, enable != 0);
        if (fields >= 2)
            state.depthFunc = CompareWord(first);
        if (fields >= 3)
            SetBit(state.flags, RSF_DEPTH_WRITE, std::strstr(second, "WRITE") != nullptr);
    } else {
        state.flags |= RSF_DEPTH_TEST | RSF_DEPTH_WRITE;
    }

    state.colourWriteMask = 15;
    if (const char* mask = Attribute(passElement, "COLORMASK")) {
        int channels[4] = {1, 1, 1, 1};
        std::sscanf(mask, "%d %d %d %d", &channels[0], &channels[1], &channels[2], &channels[3]);
        state.colourWriteMask = 0;
        for (int i = 0; i < 4; ++i)
            if (channels[i] == 1)
                state.colourWriteMask |= 1u << i;
    }

    if (state.flags & RSF_ALPHA_BLEND)
        state.flags &= ~std::uint32_t(RSF_DEPTH_WRITE);
}

// ---- The "Material" dialect ----

bool MaterialParser::Parse(const XmlNode* element, Material& material,
                           MaterialTextureRequests* requests) {
    CNumericLocale numbers;
    material.Unload();
    const char* name = Attribute(element, "Name");
    if (!name) {
        LogTyped(LOG_ENGINE_INIT, "MaterialParser::Parse;Can't find Material Name.");
        return false;
    }
    material.SetName(name);
    const XmlNode* effect = XmlChildElementByName(element, "Effect");
    if (!effect) {
        LogTyped(LOG_ENGINE_INIT, "Can't find Effect Entry.");
        return false;
    }
    const char* effectPath = Attribute(effect, "Path");
    if (!effectPath) {
        LogTyped(LOG_ENGINE_INIT, "Can't find Effect Name.");
        return false;
    }
    if (requests)
        requests->effectPath = effectPath;
    else if (*effectPath)
        material.AssignProgramByName(effectPath);

    std::uint32_t index = 0;
    for (const XmlNode* passElement = XmlChildElementByName(element, "Pass"); passElement;
         passElement = XmlNextElementByName(passElement, "Pass"), ++index) {
        Pass& pass = *material.CreatePass(index);
        if (requests)
            requests->blocks.emplace_back();
        const XmlNode* lighting = XmlChildElementByName(passElement, "Lighting");
        const XmlNode* colours = XmlChildElementByName(passElement, "Color");
        const XmlNode* renderState = XmlChildElementByName(passElement, "RenderState");
        const XmlNode* textures = XmlChildElementByName(passElement, "Textures");
        const XmlNode* vertexBuffer = XmlChildElementByName(passElement, "Vertexbuffer");
        const XmlNode* skinning = XmlChildElementByName(passElement, "Skinning");
        if (skinning)
            ReadSkinning(skinning, pass);
        if (colours)
            ReadColors(colours, pass);
        if (renderState)
            ReadRenderState(renderState, pass);
        if (textures)
            ReadTextures(textures, pass, requests);
        if (lighting)
            ReadLighting(lighting, pass);
        if (vertexBuffer)
            ReadVertexLayout(vertexBuffer, pass);
        else
            LogTyped(LOG_ENGINE_INIT, "Can't find VertexBuffer Entry");
    }
    material.UpdatePasses();
    // An empty effect path asks for the program made from the passes, as the split road does;
    // the passes must be final first.
    if (!requests && !*effectPath)
        material.AssignGeneratedProgram();
    return true;
}

void MaterialParser::ReadSkinning(const XmlNode* element, Pass& pass) {
    const char* type = Attribute(element, "Type");
    if (!type)
        return;
    if (std::strcmp(type, "SW") == 0) {
        pass.skinningType = SKIN_SOFTWARE;
    } else if (std::strcmp(type, "HW") == 0) {
        constexpr std::uint32_t kNeeded = DEVICE_VS_1_1 | DEVICE_PS_1_1;
        DeviceCaps* caps = Globals::Find(&Globals::GetDeviceCaps);
        const bool hardware = caps && (caps->featureFlags & kNeeded) == kNeeded;
        pass.skinningType = hardware ? SKIN_HARDWARE : SKIN_SOFTWARE;
    } else {
        pass.skinningType = SKIN_NONE;
    }
}

void MaterialParser::ReadColors(const XmlNode* element, Pass& pass) {
    const struct {
        const char* name;
        float* colour;
    } kColours[] = {{"Ambient", pass.ambient},
                    {"Diffuse", pass.diffuse},
                    {"Specular", pass.specular},
                    {"Illumination", pass.illumination}};
    for (const auto& entry : kColours) {
        const char* value = Attribute(XmlChildElementByName(element, entry.name), "Value");
        if (!value)
            continue;
        float rgb[3] = {entry.colour[0], entry.colour[1], entry.colour[2]};
        std::sscanf(value, "%f%f%f", &rgb[0], &rgb[1], &rgb[2]);
        const float rgba[4] = {rgb[0], rgb[1], rgb[2], 1.0f};
        std::copy_n(rgba, 4, entry.colour);
    }
    if (const char* value = Attribute(XmlChildElementByName(element, "Shiness"), "Value"))
        pass.shininess = ScanFloat(value, pass.shininess);
}

void MaterialParser::ReadRenderState(const XmlNode* element, Pass& pass) {
    RenderState& state = pass.renderState;
    if (const XmlNode* alpha = XmlChildElementByName(element, "AlphaTest")) {
        if (const char* use = Attribute(alpha, "Use"))
            SetBit(state.flags, RSF_ALPHA_TEST, std::strcmp(use, "1") == 0);
        if (const char* compare = Attribute(alpha, "CompareFunc"))
            state.alphaFunc = CompareWord(compare);
        if (const char* reference = Attribute(alpha, "RefVal"))
            state.alphaRef = AlphaReference(ScanFloat(reference, 0.0f));
    }
    if (const XmlNode* depth = XmlChildElementByName(element, "Depth")) {
        if (const char* write = Attribute(depth, "Write"))
            SetBit(state.flags, RSF_DEPTH_WRITE, std::strcmp(write, "1") == 0);
        if (const char* test = Attribute(depth, "Test"))
            SetBit(state.flags, RSF_DEPTH_TEST, std::strcmp(test, "1") == 0);
        if (const char* compare = Attribute(depth, "CompareFunc"))
            state.depthFunc = CompareWord(compare);
    }
    if (const XmlNode* colour = XmlChildElementByName(element, "Color")) {
        if (const char* write = Attribute(colour, "Write"))
            state.colourWriteMask = std::strcmp(write, "1") == 0 ? 15 : 0;
    }
    if (const XmlNode* culling = XmlChildElementByName(element, "Culling")) {
        if (const char* face = Attribute(culling, "Face")) {
            if (std::strcmp(face, "CW") == 0)
                state.cullMode = CULL_CLOCKWISE;
            else if (std::strcmp(face, "CCW") == 0)
                state.cullMode = CULL_COUNTER_CLOCKWISE;
            else
                state.cullMode = CULL_NONE;
        }
    }
    if (const XmlNode* blend = XmlChildElementByName(element, "Blend")) {
        if (const char* use = Attribute(blend, "Use"))
            SetBit(state.flags, RSF_ALPHA_BLEND, std::strcmp(use, "1") == 0);
        if (const char* source = Attribute(blend, "Src"))
            state.srcBlend = BlendWord(source);
        if (const char* destination = Attribute(blend, "Dst"))
            state.destBlend = BlendWord(destination);
        // An absent factor keeps its value, and the fog test reads the pair as it then stands.
        const std::uint32_t src = state.srcBlend, dst = state.destBlend;
        const bool fogged = (src == BLEND_SRC_ALPHA && dst == BLEND_INV_SRC_ALPHA) ||
                            (src == BLEND_INV_SRC_ALPHA && dst == BLEND_SRC_ALPHA) ||
                            (src == BLEND_ZERO && dst == BLEND_ZERO);
        SetBit(state.flags, RSF_FOG, fogged);
    }
    if (state.flags & RSF_ALPHA_BLEND)
        state.flags &= ~std::uint32_t(RSF_DEPTH_WRITE);
}

void MaterialParser::ReadTextures(const XmlNode* element, Pass& pass,
                                  MaterialTextureRequests* requests) {
    static const struct {
        const char* face;
        const char* missingEntry;
        const char* missingPath;
    } kFaces[] = {
        {"PX", " Missing PX Entry for CubeMap", "Missing PX Path for CubeMap"},
        {"NX", "Missing NX Entry for CubeMap", "Missing NX Path for CubeMap"},
        {"PY", "Missing PY Entry for CubeMap", " Missing PY Path for CubeMap"},
        {"NY", "Missing NY Entry for CubeMap", "Missing NY Path for CubeMap"},
        {"PZ", "Missing PZ Entry for CubeMap", "Missing PZ Path for CubeMap"},
        {"NZ", "Missing NZ Entry for CubeMap", "Missing NZ Path for CubeMap"},
    };
    for (const XmlNode* entry = XmlChildElementByName(element, "Entry"); entry;
         entry = XmlNextElementByName(entry, "Entry")) {
        const char* path = Attribute(entry, "Path");
        const char* usage = Attribute(entry, "Usage");
        if (!path || !usage) {
            LogTyped(LOG_ENGINE_INIT, "Missing texture file name or usage");
            continue;
        }
        const std::uint32_t slot = UsageWord(usage);
        if (slot >= TextureStage::kSlotCount)
            continue;
        TextureStage& stage = pass.renderState.stages[slot];
        stage.textureName = path;
        stage.stageSlot = slot;
        stage.flags |= TSF_TEXTURE_PENDING;
        if (slot == TextureStage::kCubeSlot) {
            stage.textureName.clear();
            for (const auto& face : kFaces)
                AppendCubeFace(entry, face.face, face.missingEntry, face.missingPath,
                               stage.textureName);
        }
        const int renderImage = RenderImageIndex(path);
        if (renderImage >= 0)
            BindRenderImage(stage, std::uint32_t(renderImage));
        if (requests)
            RecordFor(requests, stage);
        else
            ResolveWhenImmediate(stage);
        if (const char* address = Attribute(entry, "AddressMode"))
            stage.addressU = stage.addressV = stage.addressW = AddressWord(address);
        if (const char* filter = Attribute(entry, "Filter"))
            stage.filter = FilterWord(filter);
        ReadTcMods(entry, stage, false);
    }
}

void MaterialParser::ReadLighting(const XmlNode* element, Pass&) {
    const char* type = Attribute(element, "Type");
    if (!type) {
        LogTyped(LOG_ENGINE_INIT, " Can't find lighting type");
        return;
    }
    if (std::strcmp(type, "Vertex") != 0 && std::strcmp(type, "Pixel") != 0 &&
        std::strcmp(type, "None") != 0)
        LogTyped(LOG_ENGINE_INIT, "Unknown lighting type, %s", type);
}

void MaterialParser::ReadVertexLayout(const XmlNode* element, Pass& pass) {
    static const struct {
        const char* part;
        std::uint32_t bits;
    } kParts[] = {
        {"POSITION", 0x1},        {"NORMAL", 0x2},      {"DIFFUSE", 0x10004},
        {"SPECULAR", 0x20008},    {"TEXCOORD0", 0x10},  {"TEXCOORD1", 0x20},
        {"TEXCOORD2", 0x40},      {"TEXCOORD3", 0x80},  {"TEXCOORD4", 0x100},
        {"TEXCOORD5", 0x200},     {"TEXCOORD6", 0x400}, {"TEXCOORD7", 0x800},
        {"BINORMAL", 0x1000},     {"TANGENT", 0x2000},  {"BLENDWEIGHTS", 0x4000},
        {"BLENDINDICES", 0x8000},
    };
    const char* layout = Attribute(element, "Layout");
    if (!layout) {
        LogTyped(LOG_ENGINE_INIT, " Can't find VB layout");
        return;
    }
    for (const auto& part : kParts)
        SetBit(pass.vertexFlags, part.bits, Contains(layout, part.part));
}

const XmlNode* MaterialParser::LegacyShaderList(const XmlNode* document) {
    const XmlNode* library = XmlChildElementByName(document, "SHADERLIB");
    const XmlNode* pipeline = XmlChildElementByName(library, "ARB15_PIPELINE");
    return pipeline ? pipeline : library;
}

const XmlNode* MaterialParser::FindNamedElement(const XmlNode* parent, const char* element,
                                                const char* attribute, const std::string& name) {
    for (const XmlNode* child = XmlChildElementByName(parent, element); child;
         child = XmlNextElementByName(child, element))
        if (AttributeIs(child, attribute, name.c_str()))
            return child;
    return nullptr;
}

void MaterialParser::BindAnimatedTexture(const LegacyStageAnimRecord& record) {
    if (!record.stage)
        return;
    TextureManager* textures = Globals::Find(&Globals::GetTextureManager);
    if (!textures)
        return;
    const bool defaults = TextureManager::WantsDefaultTextures();
    auto frameTexture = [&](const std::string& name) {
        return defaults ? textures->GetDefaultTexture() : textures->LoadNamedTexture(name);
    };
    TextureBase* texture = textures->CreateTexture(MP_MANAGED, int(record.kind));
    if (auto* animated = dynamic_cast<AnimationTexture*>(texture)) {
        // A frequency of 0 (or none, or nonsense) leaves the first frame showing for good.
        animated->SetFrameTime(record.frequency > 0.0f ? 1.0f / record.frequency : 0.0f);
        for (const std::string& frame : record.frames) animated->AddFrame(frameTexture(frame));
    } else if (auto* blended = dynamic_cast<AnimationBlendTexture*>(texture)) {
        for (const auto& [frame, duration] : record.blendFrames)
            blended->AddFrame(frameTexture(frame), duration);
    }
    record.stage->SetTexture(texture);
    record.stage->flags &= ~std::uint32_t(TSF_TEXTURE_PENDING);
}

}  // namespace Zel
