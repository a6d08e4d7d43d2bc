#include "Platform/D3DX9/Hlsl/EffectStates.h"

#include <cctype>

namespace Hlsl {

namespace {

using K = StateKind;
using V = StateValueType;

const StateValueName kZBuffer[] = {{"FALSE", 0}, {"TRUE", 1}, {"USEW", 2}, {nullptr, 0}};
const StateValueName kFill[] = {{"POINT", 1}, {"WIREFRAME", 2}, {"SOLID", 3}, {nullptr, 0}};
const StateValueName kShade[] = {{"FLAT", 1}, {"GOURAUD", 2}, {"PHONG", 3}, {nullptr, 0}};
const StateValueName kBlend[] = {{"ZERO", 1},
                                 {"ONE", 2},
                                 {"SRCCOLOR", 3},
                                 {"INVSRCCOLOR", 4},
                                 {"SRCALPHA", 5},
                                 {"INVSRCALPHA", 6},
                                 {"DESTALPHA", 7},
                                 {"INVDESTALPHA", 8},
                                 {"DESTCOLOR", 9},
                                 {"INVDESTCOLOR", 10},
                                 {"SRCALPHASAT", 11},
                                 {"BOTHSRCALPHA", 12},
                                 {"BOTHINVSRCALPHA", 13},
                                 {"BLENDFACTOR", 14},
                                 {"INVBLENDFACTOR", 15},
                                 {nullptr, 0}};
const StateValueName kBlendOp[] = {{"ADD", 1}, {"SUBTRACT", 2}, {"REVSUBTRACT", 3},
                                   {"MIN", 4}, {"MAX", 5},      {nullptr, 0}};
const StateValueName kCull[] = {{"NONE", 1}, {"CW", 2}, {"CCW", 3}, {nullptr, 0}};
const StateValueName kCmp[] = {{"NEVER", 1},        {"LESS", 2},    {"EQUAL", 3},
                               {"LESSEQUAL", 4},    {"GREATER", 5}, {"NOTEQUAL", 6},
                               {"GREATEREQUAL", 7}, {"ALWAYS", 8},  {nullptr, 0}};
const StateValueName kFog[] = {{"NONE", 0}, {"EXP", 1}, {"EXP2", 2}, {"LINEAR", 3}, {nullptr, 0}};
const StateValueName kStencilOp[] = {{"KEEP", 1},    {"ZERO", 2},    {"REPLACE", 3},
                                     {"INCRSAT", 4}, {"DECRSAT", 5}, {"INVERT", 6},
                                     {"INCR", 7},    {"DECR", 8},    {nullptr, 0}};
const StateValueName kMaterialSource[] = {
    {"MATERIAL", 0}, {"COLOR1", 1}, {"COLOR2", 2}, {nullptr, 0}};
const StateValueName kVertexBlend[] = {{"DISABLE", 0},  {"1WEIGHTS", 1},   {"2WEIGHTS", 2},
                                       {"3WEIGHTS", 3}, {"TWEENING", 255}, {"0WEIGHTS", 256},
                                       {nullptr, 0}};
const StateValueName kColorWrite[] = {
    {"RED", 1}, {"GREEN", 2}, {"BLUE", 4}, {"ALPHA", 8}, {nullptr, 0}};
const StateValueName kTextureOp[] = {{"DISABLE", 1},
                                     {"SELECTARG1", 2},
                                     {"SELECTARG2", 3},
                                     {"MODULATE", 4},
                                     {"MODULATE2X", 5},
                                     {"MODULATE4X", 6},
                                     {"ADD", 7},
                                     {"ADDSIGNED", 8},
                                     {"ADDSIGNED2X", 9},
                                     {"SUBTRACT", 10},
                                     {"ADDSMOOTH", 11},
                                     {"BLENDDIFFUSEALPHA", 12},
                                     {"BLENDTEXTUREALPHA", 13},
                                     {"BLENDFACTORALPHA", 14},
                                     {"BLENDTEXTUREALPHAPM", 15},
                                     {"BLENDCURRENTALPHA", 16},
                                     {"PREMODULATE", 17},
                                     {"MODULATEALPHA_ADDCOLOR", 18},
                                     {"MODULATECOLOR_ADDALPHA", 19},
                                     {"MODULATEINVALPHA_ADDCOLOR", 20},
                                     {"MODULATEINVCOLOR_ADDALPHA", 21},
                                     {"BUMPENVMAP", 22},
                                     {"BUMPENVMAPLUMINANCE", 23},
                                     {"DOTPRODUCT3", 24},
                                     {"MULTIPLYADD", 25},
                                     {"LERP", 26},
                                     {nullptr, 0}};
const StateValueName kTextureArg[] = {
    {"DIFFUSE", 0},           {"CURRENT", 1}, {"TEXTURE", 2},  {"TFACTOR", 3},
    {"SPECULAR", 4},          {"TEMP", 5},    {"CONSTANT", 6}, {"COMPLEMENT", 0x10},
    {"ALPHAREPLICATE", 0x20}, {nullptr, 0}};
const StateValueName kTexCoordIndex[] = {{"PASSTHRU", 0},
                                         {"CAMERASPACENORMAL", 0x10000},
                                         {"CAMERASPACEPOSITION", 0x20000},
                                         {"CAMERASPACEREFLECTIONVECTOR", 0x30000},
                                         {"SPHEREMAP", 0x40000},
                                         {nullptr, 0}};
const StateValueName kTransformFlags[] = {{"DISABLE", 0}, {"COUNT1", 1}, {"COUNT2", 2},
                                          {"COUNT3", 3},  {"COUNT4", 4}, {"PROJECTED", 256},
                                          {nullptr, 0}};
const StateValueName kAddress[] = {{"WRAP", 1},   {"MIRROR", 2},     {"CLAMP", 3},
                                   {"BORDER", 4}, {"MIRRORONCE", 5}, {nullptr, 0}};
const StateValueName kFilter[] = {{"NONE", 0},        {"POINT", 1},         {"LINEAR", 2},
                                  {"ANISOTROPIC", 3}, {"PYRAMIDALQUAD", 6}, {"GAUSSIANQUAD", 7},
                                  {nullptr, 0}};
const StateValueName kNull[] = {{"NULL", 0}, {nullptr, 0}};

const StateInfo kPassStates[] = {
    {"ZEnable", K::RenderState, 7, V::Dword, kZBuffer, 0},
    {"FillMode", K::RenderState, 8, V::Dword, kFill, 0},
    {"ShadeMode", K::RenderState, 9, V::Dword, kShade, 0},
    {"ZWriteEnable", K::RenderState, 14, V::Bool, nullptr, 0},
    {"AlphaTestEnable", K::RenderState, 15, V::Bool, nullptr, 0},
    {"LastPixel", K::RenderState, 16, V::Bool, nullptr, 0},
    {"SrcBlend", K::RenderState, 19, V::Dword, kBlend, 0},
    {"DestBlend", K::RenderState, 20, V::Dword, kBlend, 0},
    {"CullMode", K::RenderState, 22, V::Dword, kCull, 0},
    {"ZFunc", K::RenderState, 23, V::Dword, kCmp, 0},
    {"AlphaRef", K::RenderState, 24, V::Dword, nullptr, 0},
    {"AlphaFunc", K::RenderState, 25, V::Dword, kCmp, 0},
    {"DitherEnable", K::RenderState, 26, V::Bool, nullptr, 0},
    {"AlphaBlendEnable", K::RenderState, 27, V::Bool, nullptr, 0},
    {"FogEnable", K::RenderState, 28, V::Bool, nullptr, 0},
    {"SpecularEnable", K::RenderState, 29, V::Bool, nullptr, 0},
    {"FogColor", K::RenderState, 34, V::Color, nullptr, 0},
    {"FogTableMode", K::RenderState, 35, V::Dword, kFog, 0},
    {"FogStart", K::RenderState, 36, V::Float, nullptr, 0},
    {"FogEnd", K::RenderState, 37, V::Float, nullptr, 0},
    {"FogDensity", K::RenderState, 38, V::Float, nullptr, 0},
    {"RangeFogEnable", K::RenderState, 48, V::Bool, nullptr, 0},
    {"StencilEnable", K::RenderState, 52, V::Bool, nullptr, 0},
    {"StencilFail", K::RenderState, 53, V::Dword, kStencilOp, 0},
    {"StencilZFail", K::RenderState, 54, V::Dword, kStencilOp, 0},
    {"StencilPass", K::RenderState, 55, V::Dword, kStencilOp, 0},
    {"StencilFunc", K::RenderState, 56, V::Dword, kCmp, 0},
    {"StencilRef", K::RenderState, 57, V::Dword, nullptr, 0},
    {"StencilMask", K::RenderState, 58, V::Dword, nullptr, 0},
    {"StencilWriteMask", K::RenderState, 59, V::Dword, nullptr, 0},
    {"TextureFactor", K::RenderState, 60, V::Color, nullptr, 0},
    {"Wrap0", K::RenderState, 128, V::Dword, nullptr, 0},
    {"Wrap1", K::RenderState, 129, V::Dword, nullptr, 0},
    {"Wrap2", K::RenderState, 130, V::Dword, nullptr, 0},
    {"Wrap3", K::RenderState, 131, V::Dword, nullptr, 0},
    {"Wrap4", K::RenderState, 132, V::Dword, nullptr, 0},
    {"Wrap5", K::RenderState, 133, V::Dword, nullptr, 0},
    {"Wrap6", K::RenderState, 134, V::Dword, nullptr, 0},
    {"Wrap7", K::RenderState, 135, V::Dword, nullptr, 0},
    {"Clipping", K::RenderState, 136, V::Bool, nullptr, 0},
    {"Lighting", K::RenderState, 137, V::Bool, nullptr, 0},
    {"Ambient", K::RenderState, 139, V::Color, nullptr, 0},
    {"FogVertexMode", K::RenderState, 140, V::Dword, kFog, 0},
    {"ColorVertex", K::RenderState, 141, V::Bool, nullptr, 0},
    {"LocalViewer", K::RenderState, 142, V::Bool, nullptr, 0},
    {"NormalizeNormals", K::RenderState, 143, V::Bool, nullptr, 0},
    {"DiffuseMaterialSource", K::RenderState, 145, V::Dword, kMaterialSource, 0},
    {"SpecularMaterialSource", K::RenderState, 146, V::Dword, kMaterialSource, 0},
    {"AmbientMaterialSource", K::RenderState, 147, V::Dword, kMaterialSource, 0},
    {"EmissiveMaterialSource", K::RenderState, 148, V::Dword, kMaterialSource, 0},
    {"VertexBlend", K::RenderState, 151, V::Dword, kVertexBlend, 0},
    {"ClipPlaneEnable", K::RenderState, 152, V::Dword, nullptr, 0},
    {"PointSize", K::RenderState, 154, V::Float, nullptr, 0},
    {"PointSize_Min", K::RenderState, 155, V::Float, nullptr, 0},
    {"PointSpriteEnable", K::RenderState, 156, V::Bool, nullptr, 0},
    {"PointScaleEnable", K::RenderState, 157, V::Bool, nullptr, 0},
    {"PointScale_A", K::RenderState, 158, V::Float, nullptr, 0},
    {"PointScale_B", K::RenderState, 159, V::Float, nullptr, 0},
    {"PointScale_C", K::RenderState, 160, V::Float, nullptr, 0},
    {"MultiSampleAntialias", K::RenderState, 161, V::Bool, nullptr, 0},
    {"MultiSampleMask", K::RenderState, 162, V::Dword, nullptr, 0},
    {"PatchEdgeStyle", K::RenderState, 163, V::Dword, nullptr, 0},
    {"PointSize_Max", K::RenderState, 166, V::Float, nullptr, 0},
    {"IndexedVertexBlendEnable", K::RenderState, 167, V::Bool, nullptr, 0},
    {"ColorWriteEnable", K::RenderState, 168, V::Dword, kColorWrite, 0},
    {"TweenFactor", K::RenderState, 170, V::Float, nullptr, 0},
    {"BlendOp", K::RenderState, 171, V::Dword, kBlendOp, 0},
    {"PositionDegree", K::RenderState, 172, V::Dword, nullptr, 0},
    {"NormalDegree", K::RenderState, 173, V::Dword, nullptr, 0},
    {"ScissorTestEnable", K::RenderState, 174, V::Bool, nullptr, 0},
    {"SlopeScaleDepthBias", K::RenderState, 175, V::Float, nullptr, 0},
    {"AntialiasedLineEnable", K::RenderState, 176, V::Bool, nullptr, 0},
    {"MinTessellationLevel", K::RenderState, 178, V::Float, nullptr, 0},
    {"MaxTessellationLevel", K::RenderState, 179, V::Float, nullptr, 0},
    {"AdaptiveTess_X", K::RenderState, 180, V::Float, nullptr, 0},
    {"AdaptiveTess_Y", K::RenderState, 181, V::Float, nullptr, 0},
    {"AdaptiveTess_Z", K::RenderState, 182, V::Float, nullptr, 0},
    {"AdaptiveTess_W", K::RenderState, 183, V::Float, nullptr, 0},
    {"EnableAdaptiveTessellation", K::RenderState, 184, V::Bool, nullptr, 0},
    {"TwoSidedStencilMode", K::RenderState, 185, V::Bool, nullptr, 0},
    {"CCW_StencilFail", K::RenderState, 186, V::Dword, kStencilOp, 0},
    {"CCW_StencilZFail", K::RenderState, 187, V::Dword, kStencilOp, 0},
    {"CCW_StencilPass", K::RenderState, 188, V::Dword, kStencilOp, 0},
    {"CCW_StencilFunc", K::RenderState, 189, V::Dword, kCmp, 0},
    {"ColorWriteEnable1", K::RenderState, 190, V::Dword, kColorWrite, 0},
    {"ColorWriteEnable2", K::RenderState, 191, V::Dword, kColorWrite, 0},
    {"ColorWriteEnable3", K::RenderState, 192, V::Dword, kColorWrite, 0},
    {"BlendFactor", K::RenderState, 193, V::Color, nullptr, 0},
    {"SRGBWriteEnable", K::RenderState, 194, V::Bool, nullptr, 0},
    {"DepthBias", K::RenderState, 195, V::Float, nullptr, 0},
    {"SeparateAlphaBlendEnable", K::RenderState, 206, V::Bool, nullptr, 0},
    {"SrcBlendAlpha", K::RenderState, 207, V::Dword, kBlend, 0},
    {"DestBlendAlpha", K::RenderState, 208, V::Dword, kBlend, 0},
    {"BlendOpAlpha", K::RenderState, 209, V::Dword, kBlendOp, 0},

    {"ColorOp", K::TextureStage, 1, V::Dword, kTextureOp, 7},
    {"ColorArg1", K::TextureStage, 2, V::Dword, kTextureArg, 7},
    {"ColorArg2", K::TextureStage, 3, V::Dword, kTextureArg, 7},
    {"AlphaOp", K::TextureStage, 4, V::Dword, kTextureOp, 7},
    {"AlphaArg1", K::TextureStage, 5, V::Dword, kTextureArg, 7},
    {"AlphaArg2", K::TextureStage, 6, V::Dword, kTextureArg, 7},
    {"BumpEnvMat00", K::TextureStage, 7, V::Float, nullptr, 7},
    {"BumpEnvMat01", K::TextureStage, 8, V::Float, nullptr, 7},
    {"BumpEnvMat10", K::TextureStage, 9, V::Float, nullptr, 7},
    {"BumpEnvMat11", K::TextureStage, 10, V::Float, nullptr, 7},
    {"TexCoordIndex", K::TextureStage, 11, V::Dword, kTexCoordIndex, 7},
    {"BumpEnvLScale", K::TextureStage, 22, V::Float, nullptr, 7},
    {"BumpEnvLOffset", K::TextureStage, 23, V::Float, nullptr, 7},
    {"TextureTransformFlags", K::TextureStage, 24, V::Dword, kTransformFlags, 7},
    {"ColorArg0", K::TextureStage, 26, V::Dword, kTextureArg, 7},
    {"AlphaArg0", K::TextureStage, 27, V::Dword, kTextureArg, 7},
    {"ResultArg", K::TextureStage, 28, V::Dword, kTextureArg, 7},
    {"Constant", K::TextureStage, 32, V::Color, nullptr, 7},

    {"AddressU", K::Sampler, 1, V::Dword, kAddress, 15},
    {"AddressV", K::Sampler, 2, V::Dword, kAddress, 15},
    {"AddressW", K::Sampler, 3, V::Dword, kAddress, 15},
    {"BorderColor", K::Sampler, 4, V::Color, nullptr, 15},
    {"MagFilter", K::Sampler, 5, V::Dword, kFilter, 15},
    {"MinFilter", K::Sampler, 6, V::Dword, kFilter, 15},
    {"MipFilter", K::Sampler, 7, V::Dword, kFilter, 15},
    {"MipMapLodBias", K::Sampler, 8, V::Float, nullptr, 15},
    {"MaxMipLevel", K::Sampler, 9, V::Dword, nullptr, 15},
    {"MaxAnisotropy", K::Sampler, 10, V::Dword, nullptr, 15},
    {"SRGBTexture", K::Sampler, 11, V::Bool, nullptr, 15},
    {"ElementIndex", K::Sampler, 12, V::Dword, nullptr, 15},
    {"DMapOffset", K::Sampler, 13, V::Dword, nullptr, 15},

    {"Texture", K::Texture, 0, V::Texture, kNull, 7},
    {"VertexShader", K::VertexShader, 0, V::Program, kNull, 0},
    {"PixelShader", K::PixelShader, 0, V::Program, kNull, 0},
    {"Sampler", K::SamplerObject, 0, V::SamplerObject, nullptr, 15},
    {"ViewTransform", K::Transform, 2, V::Matrix, nullptr, 0},
    {"ProjectionTransform", K::Transform, 3, V::Matrix, nullptr, 0},
    {"TextureTransform", K::Transform, 16, V::Matrix, nullptr, 7},
    {"WorldTransform", K::Transform, 256, V::Matrix, nullptr, 255},
};

const StateInfo kSamplerTexture = {"Texture", K::Texture, 0, V::Texture, kNull, 0};

const StateValueName kBool[] = {{"FALSE", 0}, {"TRUE", 1}, {nullptr, 0}};

}  // namespace

bool EffectStateTable::SameName(std::string_view a, std::string_view b) {
    std::size_t i = 0, j = 0;
    while (true) {
        while (i < a.size() && a[i] == '_') ++i;
        while (j < b.size() && b[j] == '_') ++j;
        if (i == a.size() || j == b.size())
            return i == a.size() && j == b.size();
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[j])))
            return false;
        ++i;
        ++j;
    }
}

const StateInfo* EffectStateTable::FindPassState(std::string_view name) {
    for (const StateInfo& s : kPassStates)
        if (SameName(s.name, name))
            return &s;
    return nullptr;
}

const StateInfo* EffectStateTable::FindSamplerState(std::string_view name) {
    if (SameName(name, "Texture"))
        return &kSamplerTexture;
    for (const StateInfo& s : kPassStates)
        if (s.kind == K::Sampler && SameName(s.name, name))
            return &s;
    return nullptr;
}

bool EffectStateTable::FindValue(const StateInfo& state, std::string_view name,
                                 std::uint32_t& value) {
    if (state.values != nullptr)
        for (const StateValueName* v = state.values; v->name != nullptr; ++v)
            if (SameName(v->name, name)) {
                value = v->value;
                return true;
            }
    for (const StateValueName* v = kBool; v->name != nullptr; ++v)
        if (SameName(v->name, name)) {
            value = v->value;
            return true;
        }
    return false;
}

}  // namespace Hlsl
