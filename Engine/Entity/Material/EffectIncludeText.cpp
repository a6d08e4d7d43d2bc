#include "Entity/Material/EffectIncludeText.h"

#include <cstdio>
#include <cstring>

#include "Core/ErrorReport.h"
#include "Platform/Win32/Win32Files.h"

namespace Zel {

namespace {

const char* const kDefinitions =
    R"FX(#ifndef DEFINITIONS_FX
#define DEFINITIONS_FX
// The bones a skinned draw can address: g_BoneMatrix holds one 4x3 matrix per bone.
#define MAX_BONE 60
#endif
)FX";

const char* const kSamplerState =
    R"FX(#ifndef SAMPLERSTATE_FX
#define SAMPLERSTATE_FX
// How one texture kind is sampled. The engine sets the members from the texture stage before a
// draw; each sampler reads its filters and address modes from its own struct.
struct SamplerStateStruct
{
	int MinFilter;
	int MagFilter;
	int MipFilter;
	int AddressU;
	int AddressV;
	int AddressW;
};

texture g_texBump;
SamplerStateStruct g_BumpSamplerState;
sampler2D g_BumpSampler = sampler_state
{
	Texture = <g_texBump>;
	MinFilter = <g_BumpSamplerState.MinFilter>;
	MagFilter = <g_BumpSamplerState.MagFilter>;
	MipFilter = <g_BumpSamplerState.MipFilter>;
	AddressU = <g_BumpSamplerState.AddressU>;
	AddressV = <g_BumpSamplerState.AddressV>;
	AddressW = <g_BumpSamplerState.AddressW>;
};

texture g_texDetailBump;
SamplerStateStruct g_DetailBumpSamplerState;
sampler2D g_DetailBumpSampler = sampler_state
{
	Texture = <g_texDetailBump>;
	MinFilter = <g_DetailBumpSamplerState.MinFilter>;
	MagFilter = <g_DetailBumpSamplerState.MagFilter>;
	MipFilter = <g_DetailBumpSamplerState.MipFilter>;
	AddressU = <g_DetailBumpSamplerState.AddressU>;
	AddressV = <g_DetailBumpSamplerState.AddressV>;
	AddressW = <g_DetailBumpSamplerState.AddressW>;
};

texture g_texSpecular;
SamplerStateStruct g_SpecularSamplerState;
sampler2D g_SpecularSampler = sampler_state
{
	Texture = <g_texSpecular>;
	MinFilter = <g_SpecularSamplerState.MinFilter>;
	MagFilter = <g_SpecularSamplerState.MagFilter>;
	MipFilter = <g_SpecularSamplerState.MipFilter>;
	AddressU = <g_SpecularSamplerState.AddressU>;
	AddressV = <g_SpecularSamplerState.AddressV>;
	AddressW = <g_SpecularSamplerState.AddressW>;
};

texture g_texReflection;
SamplerStateStruct g_ReflectionSamplerState;
sampler2D g_ReflectionSampler = sampler_state
{
	Texture = <g_texReflection>;
	MinFilter = <g_ReflectionSamplerState.MinFilter>;
	MagFilter = <g_ReflectionSamplerState.MagFilter>;
	MipFilter = <g_ReflectionSamplerState.MipFilter>;
	AddressU = <g_ReflectionSamplerState.AddressU>;
	AddressV = <g_ReflectionSamplerState.AddressV>;
	AddressW = <g_ReflectionSamplerState.AddressW>;
};

texture g_texRefraction;
SamplerStateStruct g_RefractionSamplerState;
sampler2D g_RefractionSampler = sampler_state
{
	Texture = <g_texRefraction>;
	MinFilter = <g_RefractionSamplerState.MinFilter>;
	MagFilter = <g_RefractionSamplerState.MagFilter>;
	MipFilter = <g_RefractionSamplerState.MipFilter>;
	AddressU = <g_RefractionSamplerState.AddressU>;
	AddressV = <g_RefractionSamplerState.AddressV>;
	AddressW = <g_RefractionSamplerState.AddressW>;
};

texture g_texShadowMap;
SamplerStateStruct g_ShadowMapSamplerState;
sampler2D g_ShadowMapSampler = sampler_state
{
	Texture = <g_texShadowMap>;
	MinFilter = <g_ShadowMapSamplerState.MinFilter>;
	MagFilter = <g_ShadowMapSamplerState.MagFilter>;
	MipFilter = <g_ShadowMapSamplerState.MipFilter>;
	AddressU = <g_ShadowMapSamplerState.AddressU>;
	AddressV = <g_ShadowMapSamplerState.AddressV>;
	AddressW = <g_ShadowMapSamplerState.AddressW>;
};

texture g_texLightMap;
SamplerStateStruct g_LightMapSamplerState;
sampler2D g_LightMapSampler = sampler_state
{
	Texture = <g_texLightMap>;
	MinFilter = <g_LightMapSamplerState.MinFilter>;
	MagFilter = <g_LightMapSamplerState.MagFilter>;
	MipFilter = <g_LightMapSamplerState.MipFilter>;
	AddressU = <g_LightMapSamplerState.AddressU>;
	AddressV = <g_LightMapSamplerState.AddressV>;
	AddressW = <g_LightMapSamplerState.AddressW>;
};

texture g_texLightProjection;
SamplerStateStruct g_LightProjectionSamplerState;
sampler2D g_LightProjectionSampler = sampler_state
{
	Texture = <g_texLightProjection>;
	MinFilter = <g_LightProjectionSamplerState.MinFilter>;
	MagFilter = <g_LightProjectionSamplerState.MagFilter>;
	MipFilter = <g_LightProjectionSamplerState.MipFilter>;
	AddressU = <g_LightProjectionSamplerState.AddressU>;
	AddressV = <g_LightProjectionSamplerState.AddressV>;
	AddressW = <g_LightProjectionSamplerState.AddressW>;
};

// The names fixed-function techniques give these textures.
#define TU_BumpMap g_texBump
#define TU_DetailBumpMap g_texDetailBump
#define TU_SpecularMap g_texSpecular
#define TU_ReflectionMap g_texReflection
#define TU_RefractionMap g_texRefraction
#define TU_ShadowMap g_texShadowMap
#define TU_LightMap g_texLightMap
#define TU_LightProjectionMap g_texLightProjection
#endif
)FX";

const char* const kLighting =
    R"FX(#ifndef LIGHTING_FX
#define LIGHTING_FX
// Generated effects write their lighting (phong_shading) themselves; this file is the place for
// what hand-written effects share.
#endif
)FX";

const char* const kTransform =
    R"FX(#ifndef TRANSFORM_FX
#define TRANSFORM_FX
// Generated effects write their transforms themselves; this file is the place for what
// hand-written effects share.
#endif
)FX";

const char* const kShiftColor =
    R"FX(#ifndef SHIFTCOLOR_FX
#define SHIFTCOLOR_FX
// The colour re-tinted with the shift colour: its brightness (luminance) is kept and spread over
// the shift colour's channels, so a grey texel takes the shift colour's hue.
float3 CustomColor(float3 color, float3 shift)
{
	float luminance = dot(color, float3(0.299, 0.587, 0.114));
	float shiftLuminance = max(dot(shift, float3(0.299, 0.587, 0.114)), 0.001);
	return saturate(shift * (luminance / shiftLuminance));
}
#endif
)FX";

}  // namespace

const std::vector<EffectIncludeFile>& EffectIncludeFiles() {
    static const std::vector<EffectIncludeFile> files = {
        {"Definitions.fx", kDefinitions}, {"SamplerState.fx", kSamplerState},
        {"Lighting.fx", kLighting},       {"Transform.fx", kTransform},
        {"ShiftColor.fx", kShiftColor},
    };
    return files;
}

bool WriteEffectIncludeFiles(const std::string& directory) {
    bool ok = true;
    for (const EffectIncludeFile& file : EffectIncludeFiles()) {
        const std::string path = directory + file.name;
        if (_access(path.c_str(), 0) == 0)
            continue;
        FILE* out = fopen_resolved(path.c_str(), "wb");
        if (out == nullptr) {
            ReportErrorLastError("Opening file %s failed", path.c_str());
            ok = false;
            continue;
        }
        const std::size_t size = std::strlen(file.text);
        bool written = std::fwrite(file.text, 1, size, out) == size;
        written = std::fclose(out) == 0 && written;
        if (!written)
            ReportError("Writing file %s failed", path.c_str());
        ok = ok && written;
    }
    return ok;
}

}  // namespace Zel
