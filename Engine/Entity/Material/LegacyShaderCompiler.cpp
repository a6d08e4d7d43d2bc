#include "Entity/Material/LegacyShaderCompiler.h"

#include <cstdarg>
#include <cstdio>

#include "Core/EnginePaths.h"
#include "Core/ErrorReport.h"
#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Core/LogDispatch.h"
#include "Core/PathUtils.h"
#include "Entity/Material/EffectIncludeText.h"
#include "Entity/Material/Material.h"
#include "Platform/Win32/Win32Files.h"
#include "Render/EffectFileName.h"
#include "Render/RenderCodes.h"
#include "Entity/Material/TextureStage.h"

namespace Zel {

namespace {

constexpr std::uint32_t kProgramKindNone = 4;
constexpr std::uint32_t kDefaultProfile = 20;
constexpr std::uint32_t kUv0Bit = 0x10;
constexpr std::uint32_t kSkinBits = 0xC000;

const char* const kProgramKindParts[] = {"VL_SKL", "VL_SKL_POINT", "VL_SKL_SPHERE", "VL_SKL_CUBE",
                                         "VP_NONE"};

const char* const kEnvModeParts[] = {"TE_TEX_REPLACE",
                                     "TE_MODULATE",
                                     "TE_TEX_MUL_CONST",
                                     "TE_TEX_MUL_CONSTALPHA",
                                     "TE_TEX_CONSTALPHA",
                                     "TE_MODULATE_MCA",
                                     "TE_TEX_MUL_PRE",
                                     "TE_PRE_SRCALPHA",
                                     "TE_TEX_ADD_PRE",
                                     "TE_TEX_ADDSIGNED_PRE",
                                     "TE_TEX_BLEND_PSA",
                                     "TE_TEX_BPSAA",
                                     "TE_TEX_BLEND_PPA",
                                     "TE_TEX_BLEND_PCA",
                                     "TE_TEX_BLEND_PRE_VALPHA",
                                     "TE_TEX_BPSVA",
                                     "TE_TEX_BPPVA",
                                     "TE_TEX_MUL_CAP",
                                     "TE_TEX_MPA_PRE",
                                     "TE_TEX_PCR",
                                     "TE_TEX_SCR",
                                     "TE_MODULATE2",
                                     "TE_TEX_MUL_PRE2",
                                     "TE_TEX_ADD_PRE2",
                                     "TE_TEX_MUL_CAP2",
                                     "TE_TEX_MUL_PAP2",
                                     "TE_MODULATE2_CONSTALPHA",
                                     "TE_MODULATE_CONSTALPHA",
                                     "TE_MODULATE4",
                                     "TE_TEX_MUL_PRE4",
                                     "TE_TEX_ADD_PRE4",
                                     "TE_TEX_MUL_CAP4",
                                     "TE_TEX_MUL_PAP4",
                                     "TE_TEX_MUL_CONST2",
                                     "TE_TT1",
                                     "TE_TT2",
                                     "TE_MTT",
                                     "TE_TEX_MUL_CTT",
                                     "TE_TEX_MUL_CAPAR",
                                     "TE_TEX_MUL_PAPAR",
                                     "TE_BUMP",
                                     "TE_BUMP_SPECULAR",
                                     "TE_POWER2",
                                     "TE_CONST_MUL_PAP",
                                     "TE_CONST_BPPA",
                                     "TE_CONST_MUL_PATMP",
                                     "TE_TEX_BCSA",
                                     "TE_TEX_BCPA",
                                     "TE_MODULATE2_MCA",
                                     "TE_PRE_BCSAP",
                                     "TE_MRGB",
                                     "TE_TEX_BLEND_RATIO",
                                     "TEXENV_TEX_RATIOALPHA_REPLACE"};
constexpr std::uint32_t kEnvModeCount = sizeof kEnvModeParts / sizeof kEnvModeParts[0];

const char* const kEnvModeCode[kEnvModeCount] = {
    "\tt2 = t1;\n",
    "\tt2 = t1*psin.C0;\n",
    "\tt2 = t1*constColor;\n",
    "\tt2.rgb = t1.rgb;\n\tt2.a = t1.a*constColor.a;\n",
    "\tt2.rgb = t1.rgb;\n\tt2.a = constColor.a;\n",
    "\tt2.rgb = t1.rgb*psin.C0.rgb;\n\tt2.a = t1.a*constColor.a;\n",
    "\tt2 = t1*t2;\n",
    "\tt2.rgb = t1.rgb;\n",
    "\tt2 = t1+t2;\n",
    "\tt2 = t1+t2;\n\tt2.rgb -= 0.5;\n",
    "\tt2.rgb = t1.rgb*t1.a+t2.rgb*(1-t1.a);\n\tt2.a = t1.a*t2.a;\n",
    "\tt2.rgb = t1.rgb*t1.a+t2.rgb*(1-t1.a);\n\tt2.a = t1.a+t2.a;\n",
    "\tt2.rgb = t1.rgb*t2.a+t2.rgb*(1-t2.a);\n\tt2.a = t1.a*t2.a;\n",
    "\tt2 = t1*constColor.a+t2*(1-constColor.a);\n",
    "\tt2 = t1*psin.C0.a+t2*(1-psin.C0.a);\n",
    "\tt2.rgb = t1.rgb*t1.a+t2.rgb*(1-t1.a);\n\tt2.a = psin.C0.a;\n",
    "\tt2.rgb = t1.rgb*t2.a+t2.rgb*(1-t2.a);\n\tt2.a = psin.C0.a;\n",
    "\tt2.rgb += t1.rgb*constColor.a;\n",
    "\tt2.rgb += t1.rgb*t2.a;\n",
    "\tt2.rgb = t1.rgb*t2.a+t2.rgb*(1-t2.a);\n\tt2.a = constColor.a;\n",
    "\tt2.rgb = t1.rgb*t1.a+t2.rgb*(1-t1.a);\n\tt2.a = constColor.a;\n",
    "\tt2 = t1*psin.C0;\n\tt2.rgb *= 2;\n",
    "\tt2 = t1*t2;\n\tt2.rgb *= 2;\n",
    "\tt2 = t1+t2;\n\tt2.rgb *= 2;\n",
    "\tt2 += t1*constColor.a;\n",
    "\tt2 += t1*t2.a;\n",
    "\tt2.rgb = t1.rgb*psin.C0.rgb*2;\n\tt2.a = constColor.a;\n",
    "\tt2.rgb = t1.rgb*psin.C0.rgb;\n\tt2.a = constColor.a;\n",
    "\tt2 = t1*psin.C0;\n\tt2.rgb *= 4;\n",
    "\tt2 = t1*t2;\n\tt2.rgb *= 4;\n",
    "\tt2 = t1+t2;\n\tt2.rgb *= 4;\n",
    "\tt2 += t1*constColor.a;\n\tt2 *= 4;\n",
    "\tt2 += t1*t2.a;\n\tt2 *= 4;\n",
    "\tt2 = t1*constColor*2;\n",
    "\tt2.rgb *= t1.rgb;\n",
    "\tt2.rgb *= t1.rgb;\n\tt2.a = t1.a;\n",
    "\tt2.rgb = t1.rgb*psin.C0.rgb;\n\tt2.a = constColor.a;\n",
    "\tt2.rgb = t1.rgb*constColor.rgb;\n\tt2.a = t1.a;\n",
    "\tt2.rgb += t1.rgb*constColor.a;\n\tt2.a = t1.a;\n",
    "\tt2.rgb += t1.rgb*t2.a;\n\tt2.a = t1.a;\n",
    "\tt2.rgb = dot(psin.C0.rgb, t2.rgb)*t1.rgb;\n\tt2.a = t1.a;\n",
    "\tt2.rgb = dot(psin.C0.rgb, t1.rgb)*t1.rgb;\n\tt2.a = t1.a;\n",
    "\tt2.rgb = t1.rgb*t1.rgb;\n",
    "\tt2.rgb = constColor.rgb*t1.a+t1.rgb;\n",
    "\tt2.rgb = constColor.rgb*t2.a+t2.rgb*(1-t2.a);\n",
    "\tt2.rgb = constColor.rgb*t2.a+t1.rgb*t2.rgb;\n",
    "\tt2.rgb = constColor.rgb*t1.a+t1.rgb*(1-t1.a);\n\tt2.a = t1.a;\n",
    "\tt2.rgb = constColor.rgb*t2.a+t1.rgb*(1-t2.a);\n\tt2.a = t1.a;\n",
    "\tt2.rgb = t1.rgb*psin.C0.rgb*2;\n\tt2.a = t1.a*constColor.a;\n",
    "\tt2.rgb = t2.rgb*t1.a+(1-t1.a)*constColor.rgb;\n",
    "\tt2.rgb = t1.rgb*psin.C0;\n\tt2.a = t1.a;\n",
    "\tt1 = t1*psin.C0;\n\tfloat a = t1.a * g_fAlphaRatio;\n\tt2.rgb = t2.rgb*(1.0f - a) + "
    "t1.rgb*a;\n",
    "\tt1 = t1*psin.C0;\n\tt2 = tex2D(g_DetailDiffuseSampler, psin.UV0 );\n\tt2 = "
    "t2*psin.C0;\n\tfloat a = g_fAlphaRatio;\n\tt2.rgb = t2.rgb*a + t1.rgb*(1.0f - a);\n"};

// Modes whose code declares a local of its own.
constexpr std::uint32_t kRatioMode = 51;
constexpr std::uint32_t kRatioAlphaMode = 52;

const char* const kFetchPrefix[TextureStage::kSlotCount] = {
    "\tt1 = tex2D(g_DiffuseSampler,",    "\tt1 = tex2D(g_DetailDiffuseSampler,",
    "\tt1 = tex2D(g_BumpSampler,",       "\tt1 = tex2D(g_DetailBumpSampler,",
    "\tt1 = tex2D(g_SpecularSampler,",   "\tt1 = texCUBE(g_EnvCubicSampler,",
    "\tt1 = tex2D(g_EnvSphereSampler,",  "\tt1 = tex2D(g_ReflectionSampler,",
    "\tt1 = tex2D(g_RefractionSampler,", "\tt1 = tex2D(g_ShadowMapSampler,",
    "\tt1 = tex2D(g_LightMapSampler,",   "\tt1 = tex2D(g_LightProjectionSampler,"};

const char* const kFixedTextureNames[TextureStage::kSlotCount] = {
    "g_texDiffuse",     "g_texDetailDiffuse", "TU_BumpMap",     "TU_DetailBumpMap",
    "TU_SpecularMap",   "g_texEnvCubic",      "g_texEnvSphere", "TU_ReflectionMap",
    "TU_RefractionMap", "TU_ShadowMap",       "TU_LightMap",    "TU_LightProjectionMap"};

struct VertexMember {
    std::uint32_t bit;
    const char* line;
};
const VertexMember kVertexMembers[] = {{0x1, "\tfloat3 P : POSITION;\n"},
                                       {0x2, "\tfloat3 N : NORMAL;\n"},
                                       {0x4, "\tfloat4 C0 : COLOR0;\n"},
                                       {0x8, "\tfloat4 C1 : COLOR1;\n"},
                                       {0x10, "\tfloat2 UV0 : TEXCOORD0;\n"},
                                       {0x20, "\tfloat2 UV1 : TEXCOORD1;\n"},
                                       {0x40, "\tfloat2 UV2 : TEXCOORD2;\n"},
                                       {0x80, "\tfloat2 UV3 : TEXCOORD3;\n"},
                                       {0x100, "\tfloat2 UV4 : TEXCOORD4;\n"},
                                       {0x200, "\tfloat2 UV5 : TEXCOORD5;\n"},
                                       {0x400, "\tfloat2 UV6 : TEXCOORD6;\n"},
                                       {0x800, "\tfloat2 UV7 : TEXCOORD7;\n"},
                                       {0x1000, "\tfloat3 B : BINORMAL;\n"},
                                       {0x2000, "\tfloat3 T : TANGENT;\n"},
                                       {0x4000, "\tfloat4 Weights : BLENDWEIGHT;\n"},
                                       {0x8000, "\tfloat4 Indices : BLENDINDICES;\n"}};

// Key parts of the vertex bits; the colours are handled apart (float or packed bit).
struct KeyPart {
    std::uint32_t bit;
    const char* part;
};
const KeyPart kLeadingVertexParts[] = {{0x1, "POS"}, {0x2, "NRM"}};
const KeyPart kTrailingVertexParts[] = {{0x10, "UV0"},   {0x20, "UV1"},       {0x40, "UV2"},
                                        {0x80, "UV3"},   {0x100, "UV4"},      {0x200, "UV5"},
                                        {0x400, "UV6"},  {0x800, "UV7"},      {0x1000, "BIN"},
                                        {0x2000, "TAN"}, {0x4000, "WEIGHTS"}, {0x8000, "INDICES"}};

// A colour's key part: the float bit keeps the plain part (it is what the text declares); the
// packed bit alone writes the part with "P".
void AppendColourPart(std::string& path, std::uint32_t flags, std::uint32_t floatBit,
                      std::uint32_t packedBit, const char* part) {
    if (flags & floatBit) {
        path += "_";
        path += part;
    } else if (flags & packedBit) {
        path += "_";
        path += part;
        path += "P";
    }
}

bool Generates(const StageExport& stage) {
    return stage.texCoordGen == TCG_CUBE_REFLECTION || stage.texCoordGen == TCG_SPHERE_MAP;
}

// Whether the vertex shaders read vsin.UV0 for this stage (copy or slot-0/1 modifier lines).
bool ReadsUv0(const StageExport& stage) {
    if (stage.hasTexCoordMods)
        return stage.stageSlot != TextureStage::kCubeSlot && stage.stageSlot != 6;
    return !Generates(stage);
}

bool IsLit(const Material& material) {
    return (material.flags & MF_LIT) != 0;
}

bool HasAmbientLighting(const Material& material) {
    return material.lightingMode == 1 || material.lightingMode == 2;
}

// One fixed-function row: the operations and the arguments they read (null: not written).
struct StageOps {
    const char* colourOp;
    bool specularArg0;
    const char* alphaOp;
    const char* colourArg1;
    const char* colourArg2;
    const char* alphaArg1;
    const char* alphaArg2;
};

StageOps FixedFunctionOps(std::uint32_t mode, bool specularOff) {
    // The modulating rows turn into a multiply-add with the specular colour when specular is on.
    const char* modulate = specularOff ? "Modulate" : "MultiplyAdd";
    const bool arg0 = !specularOff;
    switch (mode) {
        case 0:
            return {"SelectArg1", false, "SelectArg1", "TEXTURE", nullptr, "TEXTURE", nullptr};
        case 1:
            return {modulate, arg0, "Modulate", "TEXTURE", "DIFFUSE", "TEXTURE", "DIFFUSE"};
        case 2:
            return {modulate, arg0, "Modulate", "TFACTOR", "TEXTURE", "TFACTOR", "TEXTURE"};
        case 3:
            return {"SelectArg1", false, "Modulate", "TEXTURE", nullptr, "TEXTURE", "TFACTOR"};
        case 5:
            return {modulate, arg0, "Modulate", "TEXTURE", "DIFFUSE", "TEXTURE", "TFACTOR"};
        case 6:
            return {modulate, arg0, "Modulate", "TEXTURE", "CURRENT", "TEXTURE", "CURRENT"};
        case 7:
            return {"SelectArg1", false, "SelectArg2", "CURRENT", nullptr, nullptr, "TEXTURE"};
        case 8:
            return {"Add", false, "Add", "TEXTURE", "CURRENT", "TEXTURE", "CURRENT"};
        case 10:
            return {"BLENDTEXTUREALPHA", false,     "Modulate", "TEXTURE",
                    "CURRENT",           "TEXTURE", "CURRENT"};
        case 11:
            return {"BLENDTEXTUREALPHA", false, "Add", "TEXTURE", "CURRENT", "TEXTURE", "CURRENT"};
        case 12:
            return {"BLENDCURRENTALPHA", false,     "Modulate", "TEXTURE",
                    "CURRENT",           "TEXTURE", "CURRENT"};
        case 13:
            return {"BLENDFACTORALPHA", false,     "Modulate", "TEXTURE",
                    "CURRENT",          "TEXTURE", "CURRENT"};
        case 14:
            return {"BLENDDIFFUSEALPHA", false,    "BLENDDIFFUSEALPHA", "TEXTURE", "CURRENT",
                    "TEXTURE",           "CURRENT"};
        case 15:
            return {"BLENDDIFFUSEALPHA", false,   "SelectArg2", "TEXTURE",
                    "CURRENT",           nullptr, "DIFFUSE"};
        case 16:
            return {"BLENDCURRENTALPHA", false,   "SelectArg2", "TEXTURE",
                    "CURRENT",           nullptr, "DIFFUSE"};
        case 17:
            return {"MODULATEALPHA_ADDCOLOR",
                    false,
                    "SelectArg2",
                    "CURRENT",
                    "TEXTURE",
                    nullptr,
                    "CURRENT"};
        case 18:
            return {"MODULATEALPHA_ADDCOLOR",
                    false,
                    "SelectArg1",
                    "CURRENT",
                    "TEXTURE",
                    "CURRENT",
                    nullptr};
        case 19:
            return {"BLENDCURRENTALPHA", false,   "SelectArg2", "TEXTURE",
                    "CURRENT",           nullptr, "TFACTOR"};
        case 20:
            return {"BLENDTEXTUREALPHA", false,   "SelectArg2", "TEXTURE",
                    "CURRENT",           nullptr, "TFACTOR"};
        case 21:
            return {"MODULATE2X", false, "Modulate", "TEXTURE", "DIFFUSE", "TEXTURE", "DIFFUSE"};
        case 22:
            return {"MODULATE2X", false, "Modulate", "TEXTURE", "CURRENT", "TEXTURE", "CURRENT"};
        case 26:
            return {"MODULATE2X", false, "SelectArg2", "TEXTURE", "DIFFUSE", nullptr, "TFACTOR"};
        case 27:
            return {modulate, arg0, "SelectArg2", "TEXTURE", "DIFFUSE", nullptr, "TFACTOR"};
        case 33:
            return {"Modulate2X", true, "Modulate", "TFACTOR", "TEXTURE", "TFACTOR", "TEXTURE"};
        case 34:
            return {"MODULATE", false, "SelectArg2", "TEXTURE", "CURRENT", "TEXTURE", "CURRENT"};
        case 35:
            return {"MODULATE", false, "SelectArg1", "TEXTURE", "CURRENT", "TEXTURE", "CURRENT"};
        case 36:
            return {"MODULATE", false, "SelectArg1", "TEXTURE", "DIFFUSE", "TFACTOR", nullptr};
        case 37:
            return {"MODULATE", false, "SelectArg1", "TEXTURE", "TFACTOR", "TEXTURE", nullptr};
        case 38:
        case 39:
            return {"MODULATEALPHA_ADDCOLOR",
                    false,
                    "SelectArg2",
                    "CURRENT",
                    "TEXTURE",
                    nullptr,
                    "TEXTURE"};
        case 40:
            return {"DOTPRODUCT3", false, "SelectArg2", "CURRENT", "TEXTURE", "CURRENT", "TEXTURE"};
        case 42:
            return {"MODULATE4X", false, "SelectArg2", "CURRENT", "CURRENT", "CURRENT", "CURRENT"};
        case 43:
            return {"MODULATEALPHA_ADDCOLOR",
                    false,
                    "SelectArg2",
                    "CURRENT",
                    "TFACTOR",
                    nullptr,
                    "CURRENT"};
        case 44:
            return {"BLENDDIFFUSEALPHA", false,     "SelectArg2", "TFACTOR",
                    "CURRENT",           "TFACTOR", "CURRENT"};
        case 46:
            return {"BLENDTEXTUREALPHA", false,     "SelectArg1", "TEXTURE",
                    "TFACTOR",           "TEXTURE", "TFACTOR"};
        case 47:
            return {"BLENDDIFFUSEALPHA", false,     "SelectArg1", "TEXTURE",
                    "TFACTOR",           "TEXTURE", "TFACTOR"};
        case 49:
            return {"BLENDTEXTUREALPHA", false,   "SelectArg2", "CURRENT",
                    "TFACTOR",           nullptr, "CURRENT"};
        case 50:
            return {modulate, arg0, "SelectArg1", "TEXTURE", "DIFFUSE", "TEXTURE", "DIFFUSE"};
        default:
            return {"Modulate", false, "Modulate", "TEXTURE", "DIFFUSE", "TEXTURE", "DIFFUSE"};
    }
}

const char* const kShaderTechniques[] = {"Ambient", "AmbientShadow"};
const char* const kLightingTechniques[] = {
    "VertexLighting",          "VertexLighting_Shadow",         "PixelLighting",
    "PixelLighting_Shadow",    "VertexLighting_Projected",      "VertexLighting_Projected_Shadow",
    "PixelLighting_Projected", "PixelLighting_Projected_Shadow"};

}  // namespace

const char* const LegacyShaderCompiler::kAmbientLightingTechniques[8] = {
    "VertexAmbientLighting",
    "VertexAmbientLighting_Shadow",
    "PixelAmbientLighting",
    "PixelAmbientLighting_Shadow",
    "VertexAmbientLighting_Projected",
    "VertexAmbientLighting_Projected_Shadow",
    "PixelAmbientLighting_Projected",
    "PixelAmbientLighting_Projected_Shadow"};

LegacyShaderCompiler::LegacyShaderCompiler() = default;
LegacyShaderCompiler::~LegacyShaderCompiler() = default;

void LegacyShaderCompiler::AppendKeySuffix(std::string&) {}

void LegacyShaderCompiler::BuildKey(const Material& material, std::string& path,
                                    const std::string& effectRoot) {
    path = effectRoot;
    path += material.lightingMode == 1 ? "AL_" : material.lightingMode == 2 ? "AVL_" : "AV_";
    path += IsLit(material) ? "LIGHTING_" : "NOLIGHTING_";
    // The pixel-shader profile changes every technique; the usual one adds nothing.
    if (material.thirdSettingWord != kDefaultProfile)
        path += "PS" + std::to_string(material.thirdSettingWord) + "_";
    std::vector<StageExport> stages;
    for (const Pass* pass : material.GetPasses()) {
        if (pass == nullptr)
            continue;
        if (pass->vertexProgramKind < sizeof kProgramKindParts / sizeof kProgramKindParts[0])
            path += kProgramKindParts[pass->vertexProgramKind];
        const std::uint32_t flags = pass->vertexFlags;
        for (const KeyPart& part : kLeadingVertexParts)
            if (flags & part.bit)
                path += std::string("_") + part.part;
        AppendColourPart(path, flags, 0x4, 0x10000, "C0");
        AppendColourPart(path, flags, 0x8, 0x20000, "C1");
        for (const KeyPart& part : kTrailingVertexParts)
            if (flags & part.bit)
                path += std::string("_") + part.part;
        // Pass flag bit 0 changes the colour lines of lit materials.
        if (pass->passFlags & PF_AMBIENT_VERTEX_MODULATE)
            path += "_VCM";
        stages.clear();
        pass->ExportTextureStages(stages);
        for (const StageExport& stage : stages) {
            if (stage.envMode < kEnvModeCount)
                path += std::string("_") + kEnvModeParts[stage.envMode];
            // The slot picks the sampler and coordinates; slot 0 is the usual one.
            if (stage.stageSlot != 0)
                path += "_S" + std::to_string(stage.stageSlot);
            if (stage.hasTexCoordMods)
                path += "_TCMOD_";
            if (stage.texCoordGen == TCG_SPHERE_MAP)
                path += "_TGENS_";
            else if (stage.texCoordGen == TCG_CUBE_REFLECTION)
                path += "_TGENC_";
        }
        if (pass->positionMode == 1)
            path += "_TN_";
        path += "$$";
    }
    AppendKeySuffix(path);
    path += "shift_col.fx";
}

const std::string& LegacyShaderCompiler::Generate(Material* material, bool specularOff) {
    char previous[kDirectoryBufferSize] = {};
    const bool switched = PushCurrentDirectory(previous);
    effectPath_.clear();
    if (material != nullptr) {
        BuildKey(*material, effectPath_, GetEngineEffectRoot());
        if (!ReuseExisting(EffectFileName(effectPath_))) {
            text_ = BuildEffectText(*material, specularOff);
            WriteFile(effectPath_);
        }
    }
    if (switched)
        PopCurrentDirectory(previous);
    return effectPath_;
}

bool LegacyShaderCompiler::ReuseExisting(const std::string& file) {
    GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager);
    return config && config->LoadFxFromDisk() && _access(file.c_str(), 0) == 0;
}

bool LegacyShaderCompiler::ReportsThroughLog() const {
    return false;
}

bool LegacyShaderCompiler::WriteFile(const std::string& path) {
    const bool reportThroughLog = ReportsThroughLog();
    const std::string file = EffectFileName(path);
    FILE* out = fopen_resolved(file.c_str(), "w");
    if (out == nullptr) {
        if (reportThroughLog)
            LogTyped(LOG_ENGINE_INIT, "编译shader时无法打开文件%s", file.c_str());
        else
            ReportError("编译shader时无法打开文件%s", file.c_str());
        return false;
    }
    if (!reportThroughLog)
        LogTyped(LOG_ENGINE_INIT, "LegacyShaderCompiler:写fx文件:%s", file.c_str());
    std::fwrite(text_.data(), 1, text_.size(), out);
    std::fclose(out);
    // The text includes "../include/..."; the effect loader looks there and in the include root.
    CreateDirectoryA("../include", nullptr);
    WriteEffectIncludeFiles("../include/");
    if (!GetEffectIncludeRoot().empty())
        WriteEffectIncludeFiles(GetEffectIncludeRoot() + "include/");
    return true;
}

std::string LegacyShaderCompiler::BuildEffectText(const Material& material, bool specularOff) {
    text_.clear();
    specularOff_ = specularOff;
    WriteEffect(material, specularOff);
    return text_;
}

void LegacyShaderCompiler::Put(const char* format, ...) {
    char buffer[512];
    va_list args;
    va_start(args, format);
    const int size = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (size > 0)
        text_.append(buffer, std::min<std::size_t>(std::size_t(size), sizeof buffer - 1));
}

std::vector<LegacyShaderCompiler::PassShape> LegacyShaderCompiler::ShapePasses(
    const Material& material, bool lightingFunctions) const {
    std::vector<PassShape> shapes;
    std::uint32_t ordinal = 0;
    for (const Pass* pass : material.GetPasses()) {
        if (pass == nullptr)
            continue;
        PassShape shape;
        shape.index = ordinal++;
        shape.vertexFlags = pass->vertexFlags;
        shape.programKind = pass->vertexProgramKind;
        shape.positionMode = pass->positionMode;
        shape.passFlags = pass->passFlags;
        pass->ExportTextureStages(shape.stages);
        // The input structure declares every member a vertex shader of the pass reads.
        std::uint32_t reads = 0x1;
        const bool transformed = shape.positionMode != 1;
        bool generates = false;
        for (const StageExport& stage : shape.stages) {
            generates = generates || Generates(stage);
            if (ReadsUv0(stage))
                reads |= kUv0Bit;
        }
        if (transformed && (lightingFunctions || generates))
            reads |= VF_NORMAL;
        if (transformed && shape.programKind != kProgramKindNone)
            reads |= kSkinBits;
        if (lightingFunctions && material.lightingMode == 2)
            reads |= VF_COLOUR;
        shape.declaredFlags = (shape.vertexFlags & 0xFFFF) | reads;
        shapes.push_back(std::move(shape));
    }
    return shapes;
}

void LegacyShaderCompiler::WriteEffect(const Material& material, bool) {
    const bool lit = IsLit(material);
    const bool ambientLighting = HasAmbientLighting(material);
    const std::vector<PassShape> passes = ShapePasses(material, lit || ambientLighting);
    WriteHead();
    for (const PassShape& pass : passes) {
        WriteStructures(pass);
        WriteVSAmbient(pass, material);
        Put("PSOut PSAmbient_%u( PSIn_%u psin)\n", pass.index, pass.index);
        WritePixelBody(pass, false);
    }
    if (lit) {
        for (const PassShape& pass : passes) {
            WriteVSLighting(pass, false, material);
            Put("PSOut PSLighting_%u( PSIn_%u psin)\n", pass.index, pass.index);
            WritePixelBody(pass, true);
        }
    }
    if (ambientLighting) {
        for (const PassShape& pass : passes) {
            WriteVSLighting(pass, true, material);
            WritePSAmbientLighting(pass);
        }
    }
    WriteTechniques(std::uint32_t(passes.size()), material);
    WriteFixedFunctionTechniques(std::uint32_t(passes.size()), material);
}

void LegacyShaderCompiler::WriteHead() {
    text_ +=
        "#include \"../include/Definitions.fx\"\n"
        "#include \"../include/SamplerState.fx\"\n"
        "#include \"../include/Lighting.fx\"\n"
        "#include \"../include/Transform.fx\"\n"
        "#include \"../include/ShiftColor.fx\"\n"
        "\n";
    WriteGlobals();
    WriteTextureDeclarations();
    WriteSamplerDeclarations();
    text_ +=
        "struct PSOut\n\t\t\t{\n\t\t\tfloat4 Color : COLOR0;\n\t\t\t};\n"
        "\n"
        "void phong_shading(float3 LightDiffuseColor, float3 LightSpecularColor, float3 Nn, float3 "
        "Ln, float3 Vn, out float3 DiffuseContrib, out float3 SpecularContrib)\n"
        "{\n"
        "\tfloat3 Hn = normalize(Vn + Ln);\n"
        "\tfloat4 litV = saturate(lit(dot(Ln,Nn),dot(Hn,Nn),g_vecLightSpecularParam.x));\n"
        "\tDiffuseContrib = litV.y * LightDiffuseColor;\n"
        "\tSpecularContrib = litV.y * litV.z * LightSpecularColor;\n"
        "}\n"
        "\n";
}

void LegacyShaderCompiler::WriteGlobals() {
    text_ +=
        "float4x4 g_MatWorld;\n"
        "float4x4 g_MatWorldInverseTranspose;\n"
        "float4x4 g_MatView;\n"
        "float4x4 g_MatProjection;\n"
        "float4x4 g_MatViewProjection;\n"
        "float4x3 g_BoneMatrix[MAX_BONE];\n"
        "float4x4 g_MatLightProjection;\n"
        "\n"
        "float4x4 g_TexMatDiffuse;\n"
        "float4x4 g_TexMatDetailDiffuse;\n"
        "float4x4 g_TexMatEnvMapCubic;\n"
        "float4x4 g_TexMatEnvMapSphere;\n"
        "\n";
    for (const char* name : {"g_fTime", "g_fTimeSin", "g_fTimeCos", "g_fTransparencyTune",
                             "g_fShiftColRatio", "g_fAlphaRatio"})
        Put("float %s;\n", name);
    text_ += "\n";
    for (const char* name : {"g_vecLightColorAmbient",
                             "g_vecLightColorDiffuse",
                             "g_vecLightColorSpecular",
                             "g_vecLightPosition",
                             "g_vecLightDirection",
                             "g_vecCameraPosition",
                             "g_vecMaterialColorAmbient",
                             "g_vecMaterialColorDiffuse",
                             "g_vecVertexColorModulate",
                             "g_editorcolorfactor1",
                             "g_vecLightSpecularParam",
                             "g_ConstColor0",
                             "g_ConstColor1",
                             "g_ConstColor2",
                             "g_ConstColor3",
                             "g_ConstColor4",
                             "g_ConstColor5",
                             "g_ConstColor6",
                             "g_ConstColor7",
                             "g_ShiftColor"})
        Put("float4 %s;\n", name);
    text_ += "int g_nGlobalConstColor;\n\n";
}

void LegacyShaderCompiler::WriteTextureDeclarations() {
    text_ +=
        "texture g_texDiffuse;\n"
        "SamplerStateStruct g_DiffuseSamplerState;\n"
        "texture g_texDetailDiffuse;\n"
        "SamplerStateStruct g_DetailDiffuseSamplerState;\n"
        "texture g_texEnvCubic;\n"
        "SamplerStateStruct g_EnvCubicSamplerState;\n"
        "texture g_texEnvSphere;\n"
        "SamplerStateStruct g_EnvSphereSamplerState;\n"
        "\n";
}

void LegacyShaderCompiler::WriteSampler(const char* type, const char* kind, const char* texture,
                                        const char* extraLines) {
    Put("%s g_%sSampler = sampler_state\n{\n\tTexture = <%s>;\n", type, kind, texture);
    for (const char* state :
         {"MinFilter", "MagFilter", "MipFilter", "AddressU", "AddressV", "AddressW"})
        Put("\t%s = <g_%sSamplerState.%s>;\n", state, kind, state);
    text_ += extraLines;
    text_ += "};\n";
}

void LegacyShaderCompiler::WriteGeneratedSamplers(const char* diffuseExtraLines) {
    WriteSampler("sampler2D", "Diffuse", "g_texDiffuse", diffuseExtraLines);
    WriteSampler("sampler2D", "DetailDiffuse", "g_texDetailDiffuse", "");
    WriteSampler("samplerCUBE ", "EnvCubic", "g_texEnvCubic", "");
    WriteSampler("sampler2D", "EnvSphere", "g_texEnvSphere", "");
}

void LegacyShaderCompiler::WriteSamplerDeclarations() {
    WriteGeneratedSamplers("");
    text_ += "\n";
}

void LegacyShaderCompiler::WriteStructures(const PassShape& pass) {
    Put("struct VSIn_%u\n{\n", pass.index);
    for (const VertexMember& member : kVertexMembers)
        if (pass.declaredFlags & member.bit)
            text_ += member.line;
    text_ += "};\n\n";
    const auto uvMembers = [&] {
        for (std::uint32_t k = 0; k < pass.stages.size(); ++k)
            Put(pass.stages[k].stageSlot == TextureStage::kCubeSlot
                    ? "\tfloat3 UV%u : TEXCOORD%u;\n"
                    : "\tfloat2 UV%u : TEXCOORD%u;\n",
                k, k);
    };
    Put("struct VSOut_%u\n{\n\tfloat4 P : POSITION;\n\tfloat4 C0 : COLOR0;\n\tfloat4 "
        "SpecularColor: COLOR1;\n",
        pass.index);
    uvMembers();
    text_ += "};\n\n";
    Put("struct PSIn_%u\n{\n\tfloat4 C0 : COLOR0;\n\tfloat4 SpecularColor : COLOR1;\n", pass.index);
    uvMembers();
    text_ += "};\n\n";
}

namespace {

void AppendSkinned(std::string& text, const char* local, const char* input, const char* w,
                   const char* sum) {
    text += std::string("\tfloat4 ") + local + " = float4(vsin." + input + ", " + w + ");\n";
    const char* comps = "xyzw";
    for (int c = 0; c < 4; ++c) {
        text += c == 0 ? std::string("\tfloat3 ") + sum + " = " : std::string("\t") + sum + " += ";
        text += std::string("mul(") + local + ", g_BoneMatrix[vsin.Indices." + comps[c] +
                "]) * vsin.Weights." + comps[c] + ";\n";
    }
}

// The position (and, when asked, normal) lines: untransformed, rigid or skinned.
void AppendPosition(std::string& text, std::uint32_t positionMode, std::uint32_t programKind,
                    bool normal) {
    if (positionMode == 1) {
        text += "\tvsout.P = float4(vsin.P, 1.0);\n";
        return;
    }
    if (programKind == kProgramKindNone) {
        text +=
            "\tfloat4 worldP = mul(float4(vsin.P, 1.0f), g_MatWorld);\n\t\tvsout.P = mul(worldP, "
            "g_MatViewProjection);\n";
        if (normal)
            text += "\tfloat3 worldN = normalize(mul(float4(vsin.N, 0.0f), g_MatWorld));\n";
        return;
    }
    AppendSkinned(text, "localP", "P", "1.0", "skinP");
    text +=
        "\tfloat4 worldP = mul(float4(skinP, 1.0f), g_MatWorld);\n"
        "\tvsout.P = mul(worldP, g_MatViewProjection);\n";
    if (normal) {
        AppendSkinned(text, "localN", "N", "0.0", "skinN");
        text += "\tfloat3 worldN = normalize(mul(float4(skinN, 0.0f), g_MatWorld));\n";
    }
}

void AppendClosing(std::string& text) {
    text += "\t//vsout.C0.rgb*=g_editorcolorfactor1.rgb;\n\t\t\treturn vsout;\n\t\t}\n\n";
}

}  // namespace

namespace {

// Texture-coordinate lines of the vertex shaders. Generation lines declare locals, so a second
// stage with the same generation gets its own block.
struct TexCoordWriter {
    std::string& text;
    bool cubeDone = false;
    bool sphereDone = false;

    void Put(const char* format, std::uint32_t k) {
        char buffer[160];
        std::snprintf(buffer, sizeof buffer, format, k, k);
        text += buffer;
    }
    void Generation(std::uint32_t k, std::uint32_t gen, std::uint32_t slot) {
        bool& done = gen == TCG_CUBE_REFLECTION ? cubeDone : sphereDone;
        if (done)
            text += "\t{\n";
        if (gen == TCG_CUBE_REFLECTION) {
            text += "\tfloat3 eyeDirWorld = normalize(g_vecCameraPosition - worldP);\n";
            text += "\tfloat t = dot(worldN, eyeDirWorld);\n";
            Put("\tvsout.UV%u = normalize(2*t*worldN - eyeDirWorld);\n", k);
        } else {
            text +=
                "\tfloat3 eyeVecWorld=g_vecCameraPosition-worldP.xyz;\n"
                "\tfloat4 viewN = normalize(mul(float4(worldN,1.0), g_MatView));\n"
                "\tfloat3 reflectWorld=reflect(eyeVecWorld,worldN);\n"
                "\tfloat3 reflectView=mul(reflectWorld,g_MatView);\n"
                "\t//unit sphere normal in view space \n"
                "\tfloat3 SphereNormal=float3(0,0,1)+reflectView; \n"
                "\tSphereNormal=normalize(SphereNormal);\n"
                "\tfloat2 newUV=SphereNormal.xy;\n"
                "\tnewUV=newUV*float2(0.5,0.5)+float2(0.5,0.5);\n";
            // A cube-map stage's coordinate has a third component.
            Put(slot == TextureStage::kCubeSlot ? "\tvsout.UV%u=float3(newUV, 0);\n"
                                                : "\tvsout.UV%u=newUV;\n",
                k);
        }
        if (done)
            text += "\t}\n";
        done = true;
    }
    void Copy(std::uint32_t k) {
        Put("\tvsout.UV%u.x = vsin.UV0.x;\n", k);
        Put("\tvsout.UV%u.y = vsin.UV0.y;\n", k);
    }
    void Modifier(std::uint32_t k, std::uint32_t slot) {
        switch (slot) {
            case 0:
                Put("\tvsout.UV%u = mul(float4(vsin.UV0, 0.0f, 1.0f), g_TexMatDiffuse);\n", k);
                break;
            case 1:
                Put("\tvsout.UV%u = mul(float4(vsin.UV0, 0.0f, 1.0f), g_TexMatDetailDiffuse);\n",
                    k);
                break;
            // The cube coordinate has three components already.
            case TextureStage::kCubeSlot:
                Put("\tvsout.UV%u = mul(float4(vsout.UV%u, 1), g_TexMatEnvMapCubic);\n", k);
                break;
            case 6:
                Put("\tvsout.UV%u = mul(float4(vsout.UV%u, 0.0f, 1.0f), g_TexMatEnvMapSphere);\n",
                    k);
                break;
            default:
                Copy(k);
                break;
        }
    }
};

}  // namespace

void LegacyShaderCompiler::WriteVSAmbient(const PassShape& pass, const Material& material) {
    const std::uint32_t n = pass.index;
    Put("VSOut_%u VSAmbient_%u(VSIn_%u vsin)\n{\n\tVSOut_%u vsout;\n", n, n, n, n);
    text_ += "\tvsout.SpecularColor=float4(0,0,0,0);\n";
    // Coordinate generation needs the world normal even where the vertex flags lack it.
    bool generates = false;
    for (const StageExport& stage : pass.stages) generates = generates || Generates(stage);
    AppendPosition(text_, pass.positionMode, pass.programKind,
                   (pass.vertexFlags & VF_NORMAL) || generates);
    if (material.lightingMode != 0)
        text_ += (pass.passFlags & PF_AMBIENT_VERTEX_MODULATE)
                     ? "\tvsout.C0 = g_vecLightColorAmbient*g_vecVertexColorModulate;\n"
                     : "\tvsout.C0 = g_vecLightColorAmbient;\n";
    else
        text_ += (pass.vertexFlags & VF_COLOUR)
                     ? "\tvsout.C0 = vsin.C0*g_vecVertexColorModulate;\n"
                     : "\tvsout.C0 = float4(1, 1, 1, 1)*g_vecVertexColorModulate;\n\t";
    TexCoordWriter coords{text_};
    for (std::uint32_t k = 0; k < pass.stages.size(); ++k) {
        const StageExport& stage = pass.stages[k];
        if (Generates(stage))
            coords.Generation(k, stage.texCoordGen, stage.stageSlot);
        if (stage.hasTexCoordMods)
            coords.Modifier(k, stage.stageSlot);
        else if (!Generates(stage))
            coords.Copy(k);
    }
    AppendClosing(text_);
}

void LegacyShaderCompiler::WriteVSLighting(const PassShape& pass, bool ambient,
                                           const Material& material) {
    const std::uint32_t n = pass.index;
    Put(ambient ? "VSOut_%u VSAmbientLighting_%u(VSIn_%u vsin)\n{\n\tVSOut_%u vsout;\n"
                : "VSOut_%u VSLighting_%u(VSIn_%u vsin)\n{\n\tVSOut_%u vsout;\n",
        n, n, n, n);
    text_ += "\tvsout.SpecularColor=float4(0,0,0,0);\n";
    AppendPosition(text_, pass.positionMode, pass.programKind, true);
    const bool blended = ambient && material.lightingMode == 2;
    if (blended)
        text_ += "\tvsout.C0 = vsin.C0*g_vecVertexColorModulate;\n";
    if (pass.positionMode != 1) {
        text_ +=
            "\tfloat3 lightDirWorld = normalize(g_vecLightPosition.xyz - "
            "worldP.xyz*g_vecLightPosition.w);\n"
            "\tfloat3 V = normalize(g_vecCameraPosition.xyz -  worldP.xyz);\n"
            "\tfloat3 DiffuseContrib=float3(0,0,0);\n"
            "\tfloat3 SpecularContrib=float3(0,0,0);\n"
            "\tphong_shading(g_vecLightColorDiffuse,g_vecLightColorSpecular,worldN,lightDirWorld,"
            "V,DiffuseContrib,SpecularContrib);\n"
            "\tfloat3 diffCol = DiffuseContrib;\n"
            "\tfloat3 SpecularResult=SpecularContrib;\n";
        text_ += specularOff_ ? "vsout.SpecularColor=float4(0,0,0,1);\n"
                              : "vsout.SpecularColor=float4(SpecularContrib,1);\n\t\t"
                                "SpecularResult=float3(0,0,0);\n";
        const bool modulate = (pass.passFlags & PF_AMBIENT_VERTEX_MODULATE) != 0;
        if (!ambient)
            text_ += modulate ? "vsout.C0.xyz = saturate(diffCol+SpecularResult)*"
                                "g_vecVertexColorModulate;\n\t\t vsout.C0.w = "
                                "g_vecVertexColorModulate.w;\n"
                              : "vsout.C0.xyz = saturate(diffCol+SpecularResult);\n\t\t "
                                "vsout.C0.w = 1.0;\n";
        else if (blended)
            text_ += modulate ? "vsout.C0.xyz = vsout.C0.xyz *(saturate(diffCol+"
                                "g_vecLightColorAmbient+SpecularResult)*g_vecVertexColorModulate);"
                                "\n\t\tvsout.C0.w = g_vecVertexColorModulate.w;\n"
                              : "vsout.C0.xyz =vsout.C0.xyz * saturate(saturate(diffCol+"
                                "SpecularResult)+g_vecLightColorAmbient);\n\t\tvsout.C0.w = 1.0;\n";
        else
            text_ += modulate ? "vsout.C0.xyz = saturate(diffCol+g_vecLightColorAmbient+"
                                "SpecularResult)*g_vecVertexColorModulate;\n\t\t vsout.C0.w = "
                                "g_vecVertexColorModulate.w;\n"
                              : "vsout.C0.xyz =saturate(saturate(diffCol+SpecularResult)+"
                                "g_vecLightColorAmbient);\n\t\t vsout.C0.w = 1.0;\n";
    }
    TexCoordWriter coords{text_};
    for (std::uint32_t k = 0; k < pass.stages.size(); ++k) {
        const StageExport& stage = pass.stages[k];
        if (Generates(stage))
            coords.Generation(k, stage.texCoordGen, stage.stageSlot);
        else if (!stage.hasTexCoordMods)
            coords.Copy(k);
        else
            coords.Modifier(k, stage.stageSlot);
    }
    AppendClosing(text_);
}

void LegacyShaderCompiler::WritePixelBody(const PassShape& pass, bool onlyFirstPlain) {
    text_ += "{\n\t\tPSOut psout;\n\t\tfloat4 t2, t1, constColor;\n\t\tt2 = psin.C0;\n";
    for (std::uint32_t k = 0; k < pass.stages.size(); ++k) {
        const StageExport& stage = pass.stages[k];
        if (onlyFirstPlain) {
            if (stage.stageSlot == TextureStage::kCubeSlot || stage.stageSlot == 6 ||
                stage.stageSlot == 10)
                continue;
            WriteStageOp(k, stage.envMode, stage.stageSlot);
            break;
        }
        WriteStageOp(k, stage.envMode, stage.stageSlot);
    }
    WritePixelClosing();
}

void LegacyShaderCompiler::WritePixelClosing() {
    text_ +=
        "t2.rgb = lerp(t2.rgb,CustomColor(t2.rgb, g_ShiftColor.rgb),g_fShiftColRatio);\n"
        "psout.Color.rgb = t2.rgb + g_editorcolorfactor1.rgb;\n"
        "psout.Color.a = t2.a * g_fTransparencyTune;\n"
        "return psout;\n"
        "}\n"
        "\n";
}

void LegacyShaderCompiler::WritePSAmbientLighting(const PassShape& pass) {
    Put("PSOut PSAmbientLighting_%u( PSIn_%u psin)\n", pass.index, pass.index);
    WritePixelBody(pass, false);
}

void LegacyShaderCompiler::WriteStageOp(std::uint32_t k, std::uint32_t m, std::uint32_t slot) {
    if (slot < TextureStage::kSlotCount)
        Put("%s psin.UV%u );\n", kFetchPrefix[slot], k);
    // Only eight constant colours exist; later stages combine with none.
    if (k < 8)
        Put("\tconstColor = g_ConstColor%u;\n", k);
    else
        text_ += "\tconstColor = float4(0, 0, 0, 0);\n";
    text_ += "\tconstColor = saturate(constColor);\n";
    if (m >= kEnvModeCount)
        return;
    // These modes declare a local, so each gets its own block.
    const bool block = m == kRatioMode || m == kRatioAlphaMode;
    if (block)
        text_ += "\t{\n";
    text_ += kEnvModeCode[m];
    if (block)
        text_ += "\t}\n";
}

void LegacyShaderCompiler::WriteTechniqueGroup(const char* const* names, std::size_t count,
                                               std::uint32_t passCount, const char* vertexProfile,
                                               std::uint32_t major, std::uint32_t minor,
                                               const char* vs, const char* ps) {
    for (std::size_t t = 0; t < count; ++t) {
        Put("technique %s\n{\n", names[t]);
        for (std::uint32_t i = 0; i < passCount; ++i) {
            Put("\tpass P%u\n\t{\n", i);
            Put("\t\tVertexShader\t= compile %s %s_%u();\n", vertexProfile, vs, i);
            Put("\t\tPixelShader\t\t= compile ps_%u_%u %s_%u();\n", major, minor, ps, i);
            text_ += "\t}\n";
        }
        text_ += "}\n";
    }
}

void LegacyShaderCompiler::WriteTechniques(std::uint32_t passCount, const Material& material) {
    const std::uint32_t profile = material.thirdSettingWord;
    const std::uint32_t major = profile / 10, minor = profile % 10;
    // Shader model 3 pixel shaders link only with shader model 3 vertex shaders.
    const char* vertexProfile = major >= 3 ? "vs_3_0" : "vs_2_0";
    WriteTechniqueGroup(kShaderTechniques, 2, passCount, vertexProfile, major, minor, "VSAmbient",
                        "PSAmbient");
    if (IsLit(material))
        WriteTechniqueGroup(kLightingTechniques, 8, passCount, vertexProfile, major, minor,
                            "VSLighting", "PSLighting");
    if (HasAmbientLighting(material))
        WriteTechniqueGroup(kAmbientLightingTechniques, 8, passCount, vertexProfile, major, minor,
                            "VSAmbientLighting", "PSAmbientLighting");
}

namespace {
constexpr std::uint32_t kFixedFunctionUnits = 8;
}  // namespace

void LegacyShaderCompiler::WriteFixedFunctionTechniques(std::uint32_t passCount,
                                                        const Material& material) {
    std::string passes;
    std::vector<StageExport> stages;
    std::uint32_t index = 0;
    std::string saved;
    saved.swap(text_);
    for (const Pass* pass : material.GetPasses()) {
        if (pass == nullptr || index >= passCount)
            continue;
        Put("\tpass P%u\n\t{\n", index++);
        stages.clear();
        pass->ExportTextureStages(stages);
        std::uint32_t u = 0;
        for (const StageExport& stage : stages) {
            if (stage.envMode == kRatioMode || stage.stageSlot >= TextureStage::kSlotCount)
                continue;
            // The fixed-function pipeline has eight texture units: a ninth textured stage and
            // those after it are drawn by the shader techniques only.
            if (u == kFixedFunctionUnits)
                break;
            // Every line of a stage addresses the same unit u.
            Put("Texture[%u] = <%s>;\n", u, kFixedTextureNames[stage.stageSlot]);
            switch (stage.stageSlot) {
                case TextureStage::kCubeSlot:
                    Put("TexCoordIndex[%u] =  CAMERASPACEREFLECTIONVECTOR;\n", u);
                    Put("TEXTURETRANSFORMFLAGS[%u] = COUNT3;\n", u);
                    break;
                case 6:
                    Put("TexCoordIndex[%u] =  CAMERASPACENORMAL;\n", u);
                    Put("TEXTURETRANSFORMFLAGS[%u] = COUNT2;\n", u);
                    Put("TextureTransform[%u] = float4x4(0.5, 0, 0, 0, 0, -0.5, 0, 0, 0.5, 0.5, 1, "
                        "0, "
                        "0, 0, 0, 1);\n",
                        u);
                    break;
                case 11:
                    Put("TexCoordIndex[%u] = CAMERASPACEPOSITION;\n", u);
                    Put("TEXTURETRANSFORMFLAGS[%u] = COUNT4|PROJECTED;\n", u);
                    break;
                default:
                    if (u != 0)
                        Put("TexCoordIndex[%u] =  PASSTHRU;\n", u);
                    break;
            }
            const StageOps ops = FixedFunctionOps(stage.envMode, specularOff_);
            Put("ColorOp[%u]   = %s;\n", u, ops.colourOp);
            if (ops.specularArg0)
                Put("ColorArg0[%u] = SPECULAR;\n", u);
            Put("AlphaOp[%u]   = %s;\n", u, ops.alphaOp);
            const std::pair<const char*, const char*> args[] = {{"ColorArg1", ops.colourArg1},
                                                                {"ColorArg2", ops.colourArg2},
                                                                {"AlphaArg1", ops.alphaArg1},
                                                                {"AlphaArg2", ops.alphaArg2}};
            for (const auto& [state, value] : args)
                if (value != nullptr)
                    Put("%s[%u] = %s;\n", state, u, value);
            ++u;
        }
        text_ += "\t}\n";
    }
    passes.swap(text_);
    text_.swap(saved);
    text_ += "technique Ambient_DX7\n{\n" + passes + "}\n";
    if (material.lightingMode == 1)
        text_ += "technique VertexAmbientLighting_DX7\n{\n" + passes + "}\n";
    if (IsLit(material)) {
        text_ += "technique VertexLighting_DX7\n{\n\tpass P0\n\t{\nTexture[0] = <g_texDiffuse>;\n";
        text_ += specularOff_ ? "ColorOp[0]   = Modulate;\n"
                              : "ColorOp[0]   = MultiplyAdd;\nColorArg0[0] = SPECULAR;\n";
        text_ +=
            "AlphaOp[0]   = SelectArg2;\nColorArg1[0] = DIFFUSE;\nColorArg2[0] = TEXTURE;\n"
            "AlphaArg1[0] = DIFFUSE;\nAlphaArg2[0] = TEXTURE;\n\t}\n}\n";
    }
}

}  // namespace Zel
