#include "Platform/D3DX9/Hlsl/EffectStates.h"

#include <cctype>

#include "Platform/D3D9/D3D9Types.h"

namespace Hlsl {

namespace {

using K = StateKind;
using V = StateValueType;

const StateValueName kZBuffer[] = {
    {"FALSE", D3DZB_FALSE}, {"TRUE", D3DZB_TRUE}, {"USEW", D3DZB_USEW}, {nullptr, 0}};
const StateValueName kFill[] = {{"POINT", D3DFILL_POINT},
                                {"WIREFRAME", D3DFILL_WIREFRAME},
                                {"SOLID", D3DFILL_SOLID},
                                {nullptr, 0}};
const StateValueName kShade[] = {{"FLAT", D3DSHADE_FLAT},
                                 {"GOURAUD", D3DSHADE_GOURAUD},
                                 {"PHONG", D3DSHADE_PHONG},
                                 {nullptr, 0}};
const StateValueName kBlend[] = {{"ZERO", D3DBLEND_ZERO},
                                 {"ONE", D3DBLEND_ONE},
                                 {"SRCCOLOR", D3DBLEND_SRCCOLOR},
                                 {"INVSRCCOLOR", D3DBLEND_INVSRCCOLOR},
                                 {"SRCALPHA", D3DBLEND_SRCALPHA},
                                 {"INVSRCALPHA", D3DBLEND_INVSRCALPHA},
                                 {"DESTALPHA", D3DBLEND_DESTALPHA},
                                 {"INVDESTALPHA", D3DBLEND_INVDESTALPHA},
                                 {"DESTCOLOR", D3DBLEND_DESTCOLOR},
                                 {"INVDESTCOLOR", D3DBLEND_INVDESTCOLOR},
                                 {"SRCALPHASAT", D3DBLEND_SRCALPHASAT},
                                 {"BOTHSRCALPHA", D3DBLEND_BOTHSRCALPHA},
                                 {"BOTHINVSRCALPHA", D3DBLEND_BOTHINVSRCALPHA},
                                 {"BLENDFACTOR", D3DBLEND_BLENDFACTOR},
                                 {"INVBLENDFACTOR", D3DBLEND_INVBLENDFACTOR},
                                 {nullptr, 0}};
const StateValueName kBlendOp[] = {{"ADD", D3DBLENDOP_ADD},
                                   {"SUBTRACT", D3DBLENDOP_SUBTRACT},
                                   {"REVSUBTRACT", D3DBLENDOP_REVSUBTRACT},
                                   {"MIN", D3DBLENDOP_MIN},
                                   {"MAX", D3DBLENDOP_MAX},
                                   {nullptr, 0}};
const StateValueName kCull[] = {
    {"NONE", D3DCULL_NONE}, {"CW", D3DCULL_CW}, {"CCW", D3DCULL_CCW}, {nullptr, 0}};
const StateValueName kCmp[] = {{"NEVER", D3DCMP_NEVER},
                               {"LESS", D3DCMP_LESS},
                               {"EQUAL", D3DCMP_EQUAL},
                               {"LESSEQUAL", D3DCMP_LESSEQUAL},
                               {"GREATER", D3DCMP_GREATER},
                               {"NOTEQUAL", D3DCMP_NOTEQUAL},
                               {"GREATEREQUAL", D3DCMP_GREATEREQUAL},
                               {"ALWAYS", D3DCMP_ALWAYS},
                               {nullptr, 0}};
const StateValueName kFog[] = {{"NONE", D3DFOG_NONE},
                               {"EXP", D3DFOG_EXP},
                               {"EXP2", D3DFOG_EXP2},
                               {"LINEAR", D3DFOG_LINEAR},
                               {nullptr, 0}};
const StateValueName kStencilOp[] = {{"KEEP", D3DSTENCILOP_KEEP},
                                     {"ZERO", D3DSTENCILOP_ZERO},
                                     {"REPLACE", D3DSTENCILOP_REPLACE},
                                     {"INCRSAT", D3DSTENCILOP_INCRSAT},
                                     {"DECRSAT", D3DSTENCILOP_DECRSAT},
                                     {"INVERT", D3DSTENCILOP_INVERT},
                                     {"INCR", D3DSTENCILOP_INCR},
                                     {"DECR", D3DSTENCILOP_DECR},
                                     {nullptr, 0}};
const StateValueName kMaterialSource[] = {{"MATERIAL", D3DMCS_MATERIAL},
                                          {"COLOR1", D3DMCS_COLOR1},
                                          {"COLOR2", D3DMCS_COLOR2},
                                          {nullptr, 0}};
// TWEENING, 0WEIGHTS and the colour-write bits are not declared by the D3D9 layer (the engine
// never sets them); their Direct3D values stand here.
const StateValueName kVertexBlend[] = {{"DISABLE", D3DVBF_DISABLE},
                                       {"1WEIGHTS", D3DVBF_1WEIGHTS},
                                       {"2WEIGHTS", D3DVBF_2WEIGHTS},
                                       {"3WEIGHTS", D3DVBF_3WEIGHTS},
                                       {"TWEENING", 255},
                                       {"0WEIGHTS", 256},
                                       {nullptr, 0}};
const StateValueName kColorWrite[] = {
    {"RED", 1}, {"GREEN", 2}, {"BLUE", 4}, {"ALPHA", 8}, {nullptr, 0}};
const StateValueName kTextureOp[] = {
    {"DISABLE", D3DTOP_DISABLE},
    {"SELECTARG1", D3DTOP_SELECTARG1},
    {"SELECTARG2", D3DTOP_SELECTARG2},
    {"MODULATE", D3DTOP_MODULATE},
    {"MODULATE2X", D3DTOP_MODULATE2X},
    {"MODULATE4X", D3DTOP_MODULATE4X},
    {"ADD", D3DTOP_ADD},
    {"ADDSIGNED", D3DTOP_ADDSIGNED},
    {"ADDSIGNED2X", D3DTOP_ADDSIGNED2X},
    {"SUBTRACT", D3DTOP_SUBTRACT},
    {"ADDSMOOTH", D3DTOP_ADDSMOOTH},
    {"BLENDDIFFUSEALPHA", D3DTOP_BLENDDIFFUSEALPHA},
    {"BLENDTEXTUREALPHA", D3DTOP_BLENDTEXTUREALPHA},
    {"BLENDFACTORALPHA", D3DTOP_BLENDFACTORALPHA},
    {"BLENDTEXTUREALPHAPM", D3DTOP_BLENDTEXTUREALPHAPM},
    {"BLENDCURRENTALPHA", D3DTOP_BLENDCURRENTALPHA},
    {"PREMODULATE", D3DTOP_PREMODULATE},
    {"MODULATEALPHA_ADDCOLOR", D3DTOP_MODULATEALPHA_ADDCOLOR},
    {"MODULATECOLOR_ADDALPHA", D3DTOP_MODULATECOLOR_ADDALPHA},
    {"MODULATEINVALPHA_ADDCOLOR", D3DTOP_MODULATEINVALPHA_ADDCOLOR},
    {"MODULATEINVCOLOR_ADDALPHA", D3DTOP_MODULATEINVCOLOR_ADDALPHA},
    {"BUMPENVMAP", D3DTOP_BUMPENVMAP},
    {"BUMPENVMAPLUMINANCE", D3DTOP_BUMPENVMAPLUMINANCE},
    {"DOTPRODUCT3", D3DTOP_DOTPRODUCT3},
    {"MULTIPLYADD", D3DTOP_MULTIPLYADD},
    {"LERP", D3DTOP_LERP},
    {nullptr, 0}};
const StateValueName kTextureArg[] = {{"DIFFUSE", D3DTA_DIFFUSE},
                                      {"CURRENT", D3DTA_CURRENT},
                                      {"TEXTURE", D3DTA_TEXTURE},
                                      {"TFACTOR", D3DTA_TFACTOR},
                                      {"SPECULAR", D3DTA_SPECULAR},
                                      {"TEMP", D3DTA_TEMP},
                                      {"CONSTANT", D3DTA_CONSTANT},
                                      {"COMPLEMENT", D3DTA_COMPLEMENT},
                                      {"ALPHAREPLICATE", D3DTA_ALPHAREPLICATE},
                                      {nullptr, 0}};
const StateValueName kTexCoordIndex[] = {
    {"PASSTHRU", D3DTSS_TCI_PASSTHRU},
    {"CAMERASPACENORMAL", D3DTSS_TCI_CAMERASPACENORMAL},
    {"CAMERASPACEPOSITION", D3DTSS_TCI_CAMERASPACEPOSITION},
    {"CAMERASPACEREFLECTIONVECTOR", D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR},
    {"SPHEREMAP", D3DTSS_TCI_SPHEREMAP},
    {nullptr, 0}};
const StateValueName kTransformFlags[] = {{"DISABLE", D3DTTFF_DISABLE},
                                          {"COUNT1", D3DTTFF_COUNT1},
                                          {"COUNT2", D3DTTFF_COUNT2},
                                          {"COUNT3", D3DTTFF_COUNT3},
                                          {"COUNT4", D3DTTFF_COUNT4},
                                          {"PROJECTED", D3DTTFF_PROJECTED},
                                          {nullptr, 0}};
const StateValueName kAddress[] = {{"WRAP", D3DTADDRESS_WRAP},
                                   {"MIRROR", D3DTADDRESS_MIRROR},
                                   {"CLAMP", D3DTADDRESS_CLAMP},
                                   {"BORDER", D3DTADDRESS_BORDER},
                                   {"MIRRORONCE", D3DTADDRESS_MIRRORONCE},
                                   {nullptr, 0}};
const StateValueName kFilter[] = {{"NONE", D3DTEXF_NONE},
                                  {"POINT", D3DTEXF_POINT},
                                  {"LINEAR", D3DTEXF_LINEAR},
                                  {"ANISOTROPIC", D3DTEXF_ANISOTROPIC},
                                  {"PYRAMIDALQUAD", D3DTEXF_PYRAMIDALQUAD},
                                  {"GAUSSIANQUAD", D3DTEXF_GAUSSIANQUAD},
                                  {nullptr, 0}};
const StateValueName kNull[] = {{"NULL", 0}, {nullptr, 0}};

const StateInfo kPassStates[] = {
    {"ZEnable", K::RenderState, D3DRS_ZENABLE, V::Dword, kZBuffer, 0},
    {"FillMode", K::RenderState, D3DRS_FILLMODE, V::Dword, kFill, 0},
    {"ShadeMode", K::RenderState, D3DRS_SHADEMODE, V::Dword, kShade, 0},
    {"ZWriteEnable", K::RenderState, D3DRS_ZWRITEENABLE, V::Bool, nullptr, 0},
    {"AlphaTestEnable", K::RenderState, D3DRS_ALPHATESTENABLE, V::Bool, nullptr, 0},
    {"LastPixel", K::RenderState, D3DRS_LASTPIXEL, V::Bool, nullptr, 0},
    {"SrcBlend", K::RenderState, D3DRS_SRCBLEND, V::Dword, kBlend, 0},
    {"DestBlend", K::RenderState, D3DRS_DESTBLEND, V::Dword, kBlend, 0},
    {"CullMode", K::RenderState, D3DRS_CULLMODE, V::Dword, kCull, 0},
    {"ZFunc", K::RenderState, D3DRS_ZFUNC, V::Dword, kCmp, 0},
    {"AlphaRef", K::RenderState, D3DRS_ALPHAREF, V::Dword, nullptr, 0},
    {"AlphaFunc", K::RenderState, D3DRS_ALPHAFUNC, V::Dword, kCmp, 0},
    {"DitherEnable", K::RenderState, D3DRS_DITHERENABLE, V::Bool, nullptr, 0},
    {"AlphaBlendEnable", K::RenderState, D3DRS_ALPHABLENDENABLE, V::Bool, nullptr, 0},
    {"FogEnable", K::RenderState, D3DRS_FOGENABLE, V::Bool, nullptr, 0},
    {"SpecularEnable", K::RenderState, D3DRS_SPECULARENABLE, V::Bool, nullptr, 0},
    {"FogColor", K::RenderState, D3DRS_FOGCOLOR, V::Color, nullptr, 0},
    {"FogTableMode", K::RenderState, D3DRS_FOGTABLEMODE, V::Dword, kFog, 0},
    {"FogStart", K::RenderState, D3DRS_FOGSTART, V::Float, nullptr, 0},
    {"FogEnd", K::RenderState, D3DRS_FOGEND, V::Float, nullptr, 0},
    {"FogDensity", K::RenderState, D3DRS_FOGDENSITY, V::Float, nullptr, 0},
    {"RangeFogEnable", K::RenderState, D3DRS_RANGEFOGENABLE, V::Bool, nullptr, 0},
    {"StencilEnable", K::RenderState, D3DRS_STENCILENABLE, V::Bool, nullptr, 0},
    {"StencilFail", K::RenderState, D3DRS_STENCILFAIL, V::Dword, kStencilOp, 0},
    {"StencilZFail", K::RenderState, D3DRS_STENCILZFAIL, V::Dword, kStencilOp, 0},
    {"StencilPass", K::RenderState, D3DRS_STENCILPASS, V::Dword, kStencilOp, 0},
    {"StencilFunc", K::RenderState, D3DRS_STENCILFUNC, V::Dword, kCmp, 0},
    {"StencilRef", K::RenderState, D3DRS_STENCILREF, V::Dword, nullptr, 0},
    {"StencilMask", K::RenderState, D3DRS_STENCILMASK, V::Dword, nullptr, 0},
    {"StencilWriteMask", K::RenderState, D3DRS_STENCILWRITEMASK, V::Dword, nullptr, 0},
    {"TextureFactor", K::RenderState, D3DRS_TEXTUREFACTOR, V::Color, nullptr, 0},
    {"Wrap0", K::RenderState, D3DRS_WRAP0, V::Dword, nullptr, 0},
    {"Wrap1", K::RenderState, D3DRS_WRAP1, V::Dword, nullptr, 0},
    {"Wrap2", K::RenderState, D3DRS_WRAP2, V::Dword, nullptr, 0},
    {"Wrap3", K::RenderState, D3DRS_WRAP3, V::Dword, nullptr, 0},
    {"Wrap4", K::RenderState, D3DRS_WRAP4, V::Dword, nullptr, 0},
    {"Wrap5", K::RenderState, D3DRS_WRAP5, V::Dword, nullptr, 0},
    {"Wrap6", K::RenderState, D3DRS_WRAP6, V::Dword, nullptr, 0},
    {"Wrap7", K::RenderState, D3DRS_WRAP7, V::Dword, nullptr, 0},
    {"Clipping", K::RenderState, D3DRS_CLIPPING, V::Bool, nullptr, 0},
    {"Lighting", K::RenderState, D3DRS_LIGHTING, V::Bool, nullptr, 0},
    {"Ambient", K::RenderState, D3DRS_AMBIENT, V::Color, nullptr, 0},
    {"FogVertexMode", K::RenderState, D3DRS_FOGVERTEXMODE, V::Dword, kFog, 0},
    {"ColorVertex", K::RenderState, D3DRS_COLORVERTEX, V::Bool, nullptr, 0},
    {"LocalViewer", K::RenderState, D3DRS_LOCALVIEWER, V::Bool, nullptr, 0},
    {"NormalizeNormals", K::RenderState, D3DRS_NORMALIZENORMALS, V::Bool, nullptr, 0},
    {"DiffuseMaterialSource", K::RenderState, D3DRS_DIFFUSEMATERIALSOURCE, V::Dword,
     kMaterialSource, 0},
    {"SpecularMaterialSource", K::RenderState, D3DRS_SPECULARMATERIALSOURCE, V::Dword,
     kMaterialSource, 0},
    {"AmbientMaterialSource", K::RenderState, D3DRS_AMBIENTMATERIALSOURCE, V::Dword,
     kMaterialSource, 0},
    {"EmissiveMaterialSource", K::RenderState, D3DRS_EMISSIVEMATERIALSOURCE, V::Dword,
     kMaterialSource, 0},
    {"VertexBlend", K::RenderState, D3DRS_VERTEXBLEND, V::Dword, kVertexBlend, 0},
    {"ClipPlaneEnable", K::RenderState, D3DRS_CLIPPLANEENABLE, V::Dword, nullptr, 0},
    {"PointSize", K::RenderState, D3DRS_POINTSIZE, V::Float, nullptr, 0},
    {"PointSize_Min", K::RenderState, D3DRS_POINTSIZE_MIN, V::Float, nullptr, 0},
    {"PointSpriteEnable", K::RenderState, D3DRS_POINTSPRITEENABLE, V::Bool, nullptr, 0},
    {"PointScaleEnable", K::RenderState, D3DRS_POINTSCALEENABLE, V::Bool, nullptr, 0},
    {"PointScale_A", K::RenderState, D3DRS_POINTSCALE_A, V::Float, nullptr, 0},
    {"PointScale_B", K::RenderState, D3DRS_POINTSCALE_B, V::Float, nullptr, 0},
    {"PointScale_C", K::RenderState, D3DRS_POINTSCALE_C, V::Float, nullptr, 0},
    {"MultiSampleAntialias", K::RenderState, D3DRS_MULTISAMPLEANTIALIAS, V::Bool, nullptr, 0},
    {"MultiSampleMask", K::RenderState, D3DRS_MULTISAMPLEMASK, V::Dword, nullptr, 0},
    {"PatchEdgeStyle", K::RenderState, D3DRS_PATCHEDGESTYLE, V::Dword, nullptr, 0},
    {"PointSize_Max", K::RenderState, D3DRS_POINTSIZE_MAX, V::Float, nullptr, 0},
    {"IndexedVertexBlendEnable", K::RenderState, D3DRS_INDEXEDVERTEXBLENDENABLE, V::Bool, nullptr,
     0},
    {"ColorWriteEnable", K::RenderState, D3DRS_COLORWRITEENABLE, V::Dword, kColorWrite, 0},
    {"TweenFactor", K::RenderState, D3DRS_TWEENFACTOR, V::Float, nullptr, 0},
    {"BlendOp", K::RenderState, D3DRS_BLENDOP, V::Dword, kBlendOp, 0},
    {"PositionDegree", K::RenderState, D3DRS_POSITIONDEGREE, V::Dword, nullptr, 0},
    {"NormalDegree", K::RenderState, D3DRS_NORMALDEGREE, V::Dword, nullptr, 0},
    {"ScissorTestEnable", K::RenderState, D3DRS_SCISSORTESTENABLE, V::Bool, nullptr, 0},
    {"SlopeScaleDepthBias", K::RenderState, D3DRS_SLOPESCALEDEPTHBIAS, V::Float, nullptr, 0},
    {"AntialiasedLineEnable", K::RenderState, D3DRS_ANTIALIASEDLINEENABLE, V::Bool, nullptr, 0},
    {"MinTessellationLevel", K::RenderState, D3DRS_MINTESSELLATIONLEVEL, V::Float, nullptr, 0},
    {"MaxTessellationLevel", K::RenderState, D3DRS_MAXTESSELLATIONLEVEL, V::Float, nullptr, 0},
    {"AdaptiveTess_X", K::RenderState, D3DRS_ADAPTIVETESS_X, V::Float, nullptr, 0},
    {"AdaptiveTess_Y", K::RenderState, D3DRS_ADAPTIVETESS_Y, V::Float, nullptr, 0},
    {"AdaptiveTess_Z", K::RenderState, D3DRS_ADAPTIVETESS_Z, V::Float, nullptr, 0},
    {"AdaptiveTess_W", K::RenderState, D3DRS_ADAPTIVETESS_W, V::Float, nullptr, 0},
    {"EnableAdaptiveTessellation", K::RenderState, D3DRS_ENABLEADAPTIVETESSELLATION, V::Bool,
     nullptr, 0},
    {"TwoSidedStencilMode", K::RenderState, D3DRS_TWOSIDEDSTENCILMODE, V::Bool, nullptr, 0},
    {"CCW_StencilFail", K::RenderState, D3DRS_CCW_STENCILFAIL, V::Dword, kStencilOp, 0},
    {"CCW_StencilZFail", K::RenderState, D3DRS_CCW_STENCILZFAIL, V::Dword, kStencilOp, 0},
    {"CCW_StencilPass", K::RenderState, D3DRS_CCW_STENCILPASS, V::Dword, kStencilOp, 0},
    {"CCW_StencilFunc", K::RenderState, D3DRS_CCW_STENCILFUNC, V::Dword, kCmp, 0},
    {"ColorWriteEnable1", K::RenderState, D3DRS_COLORWRITEENABLE1, V::Dword, kColorWrite, 0},
    {"ColorWriteEnable2", K::RenderState, D3DRS_COLORWRITEENABLE2, V::Dword, kColorWrite, 0},
    {"ColorWriteEnable3", K::RenderState, D3DRS_COLORWRITEENABLE3, V::Dword, kColorWrite, 0},
    {"BlendFactor", K::RenderState, D3DRS_BLENDFACTOR, V::Color, nullptr, 0},
    {"SRGBWriteEnable", K::RenderState, D3DRS_SRGBWRITEENABLE, V::Bool, nullptr, 0},
    {"DepthBias", K::RenderState, D3DRS_DEPTHBIAS, V::Float, nullptr, 0},
    {"SeparateAlphaBlendEnable", K::RenderState, D3DRS_SEPARATEALPHABLENDENABLE, V::Bool, nullptr,
     0},
    {"SrcBlendAlpha", K::RenderState, D3DRS_SRCBLENDALPHA, V::Dword, kBlend, 0},
    {"DestBlendAlpha", K::RenderState, D3DRS_DESTBLENDALPHA, V::Dword, kBlend, 0},
    {"BlendOpAlpha", K::RenderState, D3DRS_BLENDOPALPHA, V::Dword, kBlendOp, 0},

    {"ColorOp", K::TextureStage, D3DTSS_COLOROP, V::Dword, kTextureOp, 7},
    {"ColorArg1", K::TextureStage, D3DTSS_COLORARG1, V::Dword, kTextureArg, 7},
    {"ColorArg2", K::TextureStage, D3DTSS_COLORARG2, V::Dword, kTextureArg, 7},
    {"AlphaOp", K::TextureStage, D3DTSS_ALPHAOP, V::Dword, kTextureOp, 7},
    {"AlphaArg1", K::TextureStage, D3DTSS_ALPHAARG1, V::Dword, kTextureArg, 7},
    {"AlphaArg2", K::TextureStage, D3DTSS_ALPHAARG2, V::Dword, kTextureArg, 7},
    {"BumpEnvMat00", K::TextureStage, D3DTSS_BUMPENVMAT00, V::Float, nullptr, 7},
    {"BumpEnvMat01", K::TextureStage, D3DTSS_BUMPENVMAT01, V::Float, nullptr, 7},
    {"BumpEnvMat10", K::TextureStage, D3DTSS_BUMPENVMAT10, V::Float, nullptr, 7},
    {"BumpEnvMat11", K::TextureStage, D3DTSS_BUMPENVMAT11, V::Float, nullptr, 7},
    {"TexCoordIndex", K::TextureStage, D3DTSS_TEXCOORDINDEX, V::Dword, kTexCoordIndex, 7},
    {"BumpEnvLScale", K::TextureStage, D3DTSS_BUMPENVLSCALE, V::Float, nullptr, 7},
    {"BumpEnvLOffset", K::TextureStage, D3DTSS_BUMPENVLOFFSET, V::Float, nullptr, 7},
    {"TextureTransformFlags", K::TextureStage, D3DTSS_TEXTURETRANSFORMFLAGS, V::Dword,
     kTransformFlags, 7},
    {"ColorArg0", K::TextureStage, D3DTSS_COLORARG0, V::Dword, kTextureArg, 7},
    {"AlphaArg0", K::TextureStage, D3DTSS_ALPHAARG0, V::Dword, kTextureArg, 7},
    {"ResultArg", K::TextureStage, D3DTSS_RESULTARG, V::Dword, kTextureArg, 7},
    {"Constant", K::TextureStage, D3DTSS_CONSTANT, V::Color, nullptr, 7},

    {"AddressU", K::Sampler, D3DSAMP_ADDRESSU, V::Dword, kAddress, 15},
    {"AddressV", K::Sampler, D3DSAMP_ADDRESSV, V::Dword, kAddress, 15},
    {"AddressW", K::Sampler, D3DSAMP_ADDRESSW, V::Dword, kAddress, 15},
    {"BorderColor", K::Sampler, D3DSAMP_BORDERCOLOR, V::Color, nullptr, 15},
    {"MagFilter", K::Sampler, D3DSAMP_MAGFILTER, V::Dword, kFilter, 15},
    {"MinFilter", K::Sampler, D3DSAMP_MINFILTER, V::Dword, kFilter, 15},
    {"MipFilter", K::Sampler, D3DSAMP_MIPFILTER, V::Dword, kFilter, 15},
    {"MipMapLodBias", K::Sampler, D3DSAMP_MIPMAPLODBIAS, V::Float, nullptr, 15},
    {"MaxMipLevel", K::Sampler, D3DSAMP_MAXMIPLEVEL, V::Dword, nullptr, 15},
    {"MaxAnisotropy", K::Sampler, D3DSAMP_MAXANISOTROPY, V::Dword, nullptr, 15},
    {"SRGBTexture", K::Sampler, D3DSAMP_SRGBTEXTURE, V::Bool, nullptr, 15},
    {"ElementIndex", K::Sampler, D3DSAMP_ELEMENTINDEX, V::Dword, nullptr, 15},
    {"DMapOffset", K::Sampler, D3DSAMP_DMAPOFFSET, V::Dword, nullptr, 15},

    {"Texture", K::Texture, 0, V::Texture, kNull, 7},
    {"VertexShader", K::VertexShader, 0, V::Program, kNull, 0},
    {"PixelShader", K::PixelShader, 0, V::Program, kNull, 0},
    {"Sampler", K::SamplerObject, 0, V::SamplerObject, nullptr, 15},
    {"ViewTransform", K::Transform, D3DTS_VIEW, V::Matrix, nullptr, 0},
    {"ProjectionTransform", K::Transform, D3DTS_PROJECTION, V::Matrix, nullptr, 0},
    {"TextureTransform", K::Transform, D3DTS_TEXTURE0, V::Matrix, nullptr, 7},
    {"WorldTransform", K::Transform, D3DTS_WORLD, V::Matrix, nullptr, 255},
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
