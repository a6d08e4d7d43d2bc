#include "HlslTestEffects.h"

namespace HlslTest {

bool TableIncludes::Open(Hlsl::IncludeType, const std::string& name, const void*, const void** data,
                         std::uint32_t* bytes) {
    auto f = files_.find(name);
    if (f == files_.end())
        return false;
    *data = f->second.data();
    *bytes = static_cast<std::uint32_t>(f->second.size());
    ++open_;
    return true;
}

void TableIncludes::Close(const void*) {
    --open_;
}

std::map<std::string, std::string> IncludeFiles() {
    std::map<std::string, std::string> files;
    files["../include/Definitions.fx"] = R"(#ifndef DEFINITIONS_FX
#define DEFINITIONS_FX
#define MAX_BONE 60
#define LUMINANCE(c) dot((c), float3(0.299, 0.587, 0.114))
#endif
)";
    files["../include/SamplerState.fx"] = R"(#ifndef SAMPLERSTATE_FX
#define SAMPLERSTATE_FX
// Sampler state of one texture kind, set member by member by the engine.
struct SamplerStateStruct
{
	int AddressU;
	int AddressV;
	int AddressW;
	int BorderColor;
	int MagFilter;
	int MinFilter;
	int MipFilter;
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
};
texture g_texLightMap;
sampler2D g_LightMapSampler = sampler_state
{
	Texture = <g_texLightMap>;
	MinFilter = Linear;
	MagFilter = Linear;
	MipFilter = Point;
	AddressU = Clamp;
	AddressV = Clamp;
};
#endif
)";
    files["../include/Lighting.fx"] = R"(#ifndef LIGHTING_FX
#define LIGHTING_FX
/* Attenuation of a point light; a directional light (w = 0) is not attenuated. */
float LightAttenuation(float4 lightPos, float3 worldP, float3 att)
{
	if (lightPos.w == 0)
		return 1.0;
	float d = distance(lightPos.xyz, worldP);
	return 1.0 / (att.x + att.y * d + att.z * d * d);
}
#endif
)";
    files["../include/Transform.fx"] = R"(#ifndef TRANSFORM_FX
#define TRANSFORM_FX
float3 SkinPosition(float4 localP, float4 weights, float4 indices, uniform float4x3 bones[MAX_BONE])
{
	float3 p = 0;
	for (int i = 0; i < 4; i++)
		p += mul(localP, bones[indices[i]]) * weights[i];
	return p;
}
#endif
)";
    files["../include/ShiftColor.fx"] = R"(#ifndef SHIFTCOLOR_FX
#define SHIFTCOLOR_FX
// The colour shifted towards another hue, keeping its brightness.
float3 CustomColor(float3 color, float3 shift)
{
	float lum = LUMINANCE(color);
	return saturate(lum * shift * 2.0);
}
#endif
)";
    return files;
}

Hlsl::CompileOutput CompileText(const std::string& text) {
    TableIncludes includes(IncludeFiles());
    return Hlsl::EffectCompiler::Compile("effect.fx", text, {}, &includes);
}

namespace {

// A sampler of one texture kind as the generator declares it: every state from the kind's
// sampler-state struct.
std::string SamplerBlock(const std::string& type, const std::string& kind,
                         const std::string& texture) {
    std::string b =
        type + " g_" + kind + "Sampler = sampler_state\n{\n\tTexture = <" + texture + ">;\n";
    for (const char* state :
         {"MinFilter", "MagFilter", "MipFilter", "AddressU", "AddressV", "AddressW"})
        b += std::string("\t") + state + " = <g_" + kind + "SamplerState." + state + ">;\n";
    return b + "};\n";
}

std::string Head() {
    return R"(#include "../include/Definitions.fx"
#include "../include/SamplerState.fx"
#include "../include/Lighting.fx"
#include "../include/Transform.fx"
#include "../include/ShiftColor.fx"

float4x4 g_MatWorld;
float4x4 g_MatWorldInverseTranspose;
float4x4 g_MatView;
float4x4 g_MatProjection;
float4x4 g_MatViewProjection;
float4x3 g_BoneMatrix[MAX_BONE];
float4x4 g_MatLightProjection;

float4x4 g_TexMatDiffuse;
float4x4 g_TexMatDetailDiffuse;
float4x4 g_TexMatEnvMapCubic;
float4x4 g_TexMatEnvMapSphere;

float g_fTime;
float g_fTimeSin;
float g_fTimeCos;
float g_fTransparencyTune;
float g_fShiftColRatio;
float g_fAlphaRatio;

float4 g_vecLightColorAmbient;
float4 g_vecLightColorDiffuse;
float4 g_vecLightColorSpecular;
float4 g_vecLightPosition;
float4 g_vecLightDirection;
float4 g_vecCameraPosition;
float4 g_vecMaterialColorAmbient;
float4 g_vecMaterialColorDiffuse;
float4 g_vecVertexColorModulate;
float4 g_editorcolorfactor1;
float4 g_vecLightSpecularParam;
float4 g_ConstColor0;
float4 g_ConstColor1;
float4 g_ConstColor2;
float4 g_ConstColor3;
float4 g_ConstColor4;
float4 g_ConstColor5;
float4 g_ConstColor6;
float4 g_ConstColor7;
float4 g_ShiftColor;
int g_nGlobalConstColor;

texture g_texDiffuse;
SamplerStateStruct g_DiffuseSamplerState;
texture g_texDetailDiffuse;
SamplerStateStruct g_DetailDiffuseSamplerState;
texture g_texEnvCubic;
SamplerStateStruct g_EnvCubicSamplerState;
texture g_texEnvSphere;
SamplerStateStruct g_EnvSphereSamplerState;

)" + SamplerBlock("sampler2D", "Diffuse", "g_texDiffuse") +
           SamplerBlock("sampler2D", "DetailDiffuse", "g_texDetailDiffuse") +
           SamplerBlock("samplerCUBE ", "EnvCubic", "g_texEnvCubic") +
           SamplerBlock("sampler2D", "EnvSphere", "g_texEnvSphere") + R"(
struct PSOut
			{
			float4 Color : COLOR0;
			};

void phong_shading(float3 LightDiffuseColor, float3 LightSpecularColor, float3 Nn, float3 Ln, float3 Vn, out float3 DiffuseContrib, out float3 SpecularContrib)
{
	float3 Hn = normalize(Vn + Ln);
	float4 litV = saturate(lit(dot(Ln,Nn),dot(Hn,Nn),g_vecLightSpecularParam.x));
	DiffuseContrib = litV.y * LightDiffuseColor;
	SpecularContrib = litV.y * litV.z * LightSpecularColor;
}

)";
}

const char* const kPass0 = R"(struct VSIn_0
{
	float3 P : POSITION;
	float3 N : NORMAL;
	float2 UV0 : TEXCOORD0;
};

struct VSOut_0
{
	float4 P : POSITION;
	float4 C0 : COLOR0;
	float4 SpecularColor: COLOR1;
	float2 UV0 : TEXCOORD0;
};

struct PSIn_0
{
	float4 C0 : COLOR0;
	float4 SpecularColor : COLOR1;
	float2 UV0 : TEXCOORD0;
};

VSOut_0 VSAmbient_0(VSIn_0 vsin)
{
	VSOut_0 vsout;
	vsout.SpecularColor=float4(0,0,0,0);
	float4 worldP = mul(float4(vsin.P, 1.0f), g_MatWorld);
		vsout.P = mul(worldP, g_MatViewProjection);
	float3 worldN = normalize(mul(float4(vsin.N, 0.0f), g_MatWorld));
	vsout.C0 = g_vecLightColorAmbient;
	vsout.UV0 = mul(float4(vsin.UV0, 0.0f, 1.0f), g_TexMatDiffuse);
	//vsout.C0.rgb*=g_editorcolorfactor1.rgb;
			return vsout;
		}

PSOut PSAmbient_0( PSIn_0 psin)
{
		PSOut psout;
		float4 t2, t1, constColor;
		t2 = psin.C0;
	t1 = tex2D(g_DiffuseSampler, psin.UV0 );
	constColor = g_ConstColor0;
	constColor = saturate(constColor);
	t2 = t1*psin.C0;
t2.rgb = lerp(t2.rgb,CustomColor(t2.rgb, g_ShiftColor.rgb),g_fShiftColRatio);
psout.Color.rgb = t2.rgb + g_editorcolorfactor1.rgb;
psout.Color.a = t2.a * g_fTransparencyTune;
return psout;
}

)";

const char* const kPass1 = R"(struct VSIn_1
{
	float3 P : POSITION;
	float3 N : NORMAL;
	float2 UV0 : TEXCOORD0;
	float4 Weights : BLENDWEIGHT;
	float4 Indices : BLENDINDICES;
};

struct VSOut_1
{
	float4 P : POSITION;
	float4 C0 : COLOR0;
	float4 SpecularColor: COLOR1;
	float2 UV0 : TEXCOORD0;
	float3 UV1 : TEXCOORD1;
	float2 UV2 : TEXCOORD2;
};

struct PSIn_1
{
	float4 C0 : COLOR0;
	float4 SpecularColor : COLOR1;
	float2 UV0 : TEXCOORD0;
	float3 UV1 : TEXCOORD1;
	float2 UV2 : TEXCOORD2;
};

VSOut_1 VSAmbient_1(VSIn_1 vsin)
{
	VSOut_1 vsout;
	vsout.SpecularColor=float4(0,0,0,0);
	float4 localP = float4(vsin.P, 1.0);
	float3 skinP = mul(localP, g_BoneMatrix[vsin.Indices.x]) * vsin.Weights.x;
	skinP += mul(localP, g_BoneMatrix[vsin.Indices.y]) * vsin.Weights.y;
	skinP += mul(localP, g_BoneMatrix[vsin.Indices.z]) * vsin.Weights.z;
	skinP += mul(localP, g_BoneMatrix[vsin.Indices.w]) * vsin.Weights.w;
	float4 worldP = mul(float4(skinP, 1.0f), g_MatWorld);
	vsout.P = mul(worldP, g_MatViewProjection);
	float4 localN = float4(vsin.N, 0.0);
	float3 skinN = mul(localN, g_BoneMatrix[vsin.Indices.x]) * vsin.Weights.x;
	skinN += mul(localN, g_BoneMatrix[vsin.Indices.y]) * vsin.Weights.y;
	skinN += mul(localN, g_BoneMatrix[vsin.Indices.z]) * vsin.Weights.z;
	skinN += mul(localN, g_BoneMatrix[vsin.Indices.w]) * vsin.Weights.w;
	float3 worldN = normalize(mul(float4(skinN, 0.0f), g_MatWorld));
	vsout.C0 = g_vecLightColorAmbient*g_vecVertexColorModulate;
	vsout.UV0.x = vsin.UV0.x;
	vsout.UV0.y = vsin.UV0.y;
	float3 eyeDirWorld = normalize(g_vecCameraPosition - worldP);
	float t = dot(worldN, eyeDirWorld);
	vsout.UV1 = normalize(2*t*worldN - eyeDirWorld);
	float3 eyeVecWorld=g_vecCameraPosition-worldP.xyz;
	float4 viewN = normalize(mul(float4(worldN,1.0), g_MatView));
	float3 reflectWorld=reflect(eyeVecWorld,worldN);
	float3 reflectView=mul(reflectWorld,g_MatView);
	//unit sphere normal in view space 
	float3 SphereNormal=float3(0,0,1)+reflectView; 
	SphereNormal=normalize(SphereNormal);
	float2 newUV=SphereNormal.xy;
	newUV=newUV*float2(0.5,0.5)+float2(0.5,0.5);
	vsout.UV2=newUV;
	//vsout.C0.rgb*=g_editorcolorfactor1.rgb;
			return vsout;
		}

PSOut PSAmbient_1( PSIn_1 psin)
{
		PSOut psout;
		float4 t2, t1, constColor;
		t2 = psin.C0;
	t1 = tex2D(g_DiffuseSampler, psin.UV0 );
	constColor = g_ConstColor0;
	constColor = saturate(constColor);
	t2 = t1*psin.C0;
	t1 = texCUBE(g_EnvCubicSampler, psin.UV1 );
	constColor = g_ConstColor1;
	constColor = saturate(constColor);
	t2.rgb += t1.rgb*constColor.a;
	t1 = tex2D(g_EnvSphereSampler, psin.UV2 );
	constColor = g_ConstColor2;
	constColor = saturate(constColor);
	t2.rgb = t1.rgb*t1.a+t2.rgb*(1-t1.a);
	t2.a = t1.a*t2.a;
t2.rgb = lerp(t2.rgb,CustomColor(t2.rgb, g_ShiftColor.rgb),g_fShiftColRatio);
psout.Color.rgb = t2.rgb + g_editorcolorfactor1.rgb;
psout.Color.a = t2.a * g_fTransparencyTune;
return psout;
}

)";

const char* const kLighting = R"(VSOut_0 VSLighting_0(VSIn_0 vsin)
{
	VSOut_0 vsout;
	vsout.SpecularColor=float4(0,0,0,0);
	float4 worldP = mul(float4(vsin.P, 1.0f), g_MatWorld);
		vsout.P = mul(worldP, g_MatViewProjection);
	float3 worldN = normalize(mul(float4(vsin.N, 0.0f), g_MatWorld));
	float3 lightDirWorld = normalize(g_vecLightPosition.xyz - worldP.xyz*g_vecLightPosition.w);
	float3 V = normalize(g_vecCameraPosition.xyz -  worldP.xyz);
	float3 DiffuseContrib=float3(0,0,0);
	float3 SpecularContrib=float3(0,0,0);
	phong_shading(g_vecLightColorDiffuse,g_vecLightColorSpecular,worldN,lightDirWorld,V,DiffuseContrib,SpecularContrib);
	float3 diffCol = DiffuseContrib;
	float3 SpecularResult=SpecularContrib;
vsout.SpecularColor=float4(SpecularContrib,1);
		SpecularResult=float3(0,0,0);
vsout.C0.xyz = saturate(diffCol+SpecularResult);
		 vsout.C0.w = 1.0;
	vsout.UV0.x = vsin.UV0.x;
	vsout.UV0.y = vsin.UV0.y;
	//vsout.C0.rgb*=g_editorcolorfactor1.rgb;
			return vsout;
		}

PSOut PSLighting_0( PSIn_0 psin)
{
		PSOut psout;
		float4 t2, t1, constColor;
		t2 = psin.C0;
	t1 = tex2D(g_DiffuseSampler, psin.UV0 );
	constColor = g_ConstColor0;
	constColor = saturate(constColor);
	t2 = t1*psin.C0;
t2.rgb = lerp(t2.rgb,CustomColor(t2.rgb, g_ShiftColor.rgb),g_fShiftColRatio);
psout.Color.rgb = t2.rgb + g_editorcolorfactor1.rgb;
psout.Color.a = t2.a * g_fTransparencyTune;
return psout;
}

VSOut_1 VSLighting_1(VSIn_1 vsin)
{
	VSOut_1 vsout;
	vsout.SpecularColor=float4(0,0,0,0);
	float3 skinP = SkinPosition(float4(vsin.P, 1.0), vsin.Weights, vsin.Indices, g_BoneMatrix);
	float4 worldP = mul(float4(skinP, 1.0f), g_MatWorld);
	vsout.P = mul(worldP, g_MatViewProjection);
	float3 worldN = normalize(mul(float4(vsin.N, 0.0f), g_MatWorld));
	float3 lightDirWorld = normalize(g_vecLightPosition.xyz - worldP.xyz*g_vecLightPosition.w);
	float3 V = normalize(g_vecCameraPosition.xyz -  worldP.xyz);
	float3 DiffuseContrib=float3(0,0,0);
	float3 SpecularContrib=float3(0,0,0);
	phong_shading(g_vecLightColorDiffuse,g_vecLightColorSpecular,worldN,lightDirWorld,V,DiffuseContrib,SpecularContrib);
	float3 diffCol = DiffuseContrib * LightAttenuation(g_vecLightPosition, worldP.xyz, float3(0, 0, 1));
	float3 SpecularResult=SpecularContrib;
vsout.SpecularColor=float4(SpecularContrib,1);
		SpecularResult=float3(0,0,0);
vsout.C0.xyz = saturate(diffCol+SpecularResult)*g_vecVertexColorModulate;
		 vsout.C0.w = g_vecVertexColorModulate.w;
	vsout.UV0.x = vsin.UV0.x;
	vsout.UV0.y = vsin.UV0.y;
	vsout.UV1 = float3(0, 0, 1);
	vsout.UV2 = vsin.UV0;
	//vsout.C0.rgb*=g_editorcolorfactor1.rgb;
			return vsout;
		}

PSOut PSLighting_1( PSIn_1 psin)
{
		PSOut psout;
		float4 t2, t1, constColor;
		t2 = psin.C0;
	t1 = tex2D(g_DiffuseSampler, psin.UV0 );
	constColor = g_ConstColor0;
	constColor = saturate(constColor);
	t2 = t1*psin.C0;
t2.rgb = lerp(t2.rgb,CustomColor(t2.rgb, g_ShiftColor.rgb),g_fShiftColRatio);
psout.Color.rgb = t2.rgb + g_editorcolorfactor1.rgb;
psout.Color.a = t2.a * g_fTransparencyTune;
return psout;
}

)";

std::string Technique(const char* name, const char* vs, const char* ps) {
    std::string t = std::string("technique ") + name + "\n{\n";
    for (int i = 0; i < 2; ++i) {
        std::string n = std::to_string(i);
        t += "\tpass P" + n + "\n\t{\n";
        t += "\t\tVertexShader\t= compile vs_2_0 " + std::string(vs) + "_" + n + "();\n";
        t += "\t\tPixelShader\t\t= compile ps_2_0 " + std::string(ps) + "_" + n + "();\n";
        t += "\t}\n";
    }
    return t + "}\n";
}

const char* const kFixedFunction = R"(technique Ambient_DX7
{
	pass P0
	{
Texture[0] = <g_texDiffuse>;
ColorOp[0]   = Modulate;
AlphaOp[0]   = Modulate;
ColorArg1[0] = TEXTURE;
ColorArg2[0] = DIFFUSE;
AlphaArg1[0] = TEXTURE;
AlphaArg2[0] = DIFFUSE;
	}
	pass P1
	{
Texture[0] = <g_texDiffuse>;
ColorOp[0]   = MultiplyAdd;
ColorArg0[0] = SPECULAR;
AlphaOp[0]   = Modulate;
ColorArg1[0] = TEXTURE;
ColorArg2[0] = DIFFUSE;
AlphaArg1[0] = TEXTURE;
AlphaArg2[0] = DIFFUSE;
Texture[1] = <g_texEnvCubic>;
TexCoordIndex[1] =  CAMERASPACEREFLECTIONVECTOR;
TEXTURETRANSFORMFLAGS[1] = COUNT3;
ColorOp[1]   = MODULATEALPHA_ADDCOLOR;
AlphaOp[1]   = SelectArg2;
ColorArg1[1] = CURRENT;
ColorArg2[1] = TEXTURE;
AlphaArg2[1] = CURRENT;
Texture[2] = <g_texEnvSphere>;
TexCoordIndex[2] =  CAMERASPACENORMAL;
TEXTURETRANSFORMFLAGS[2] = COUNT2;
TextureTransform[2] = float4x4(0.5, 0, 0, 0, 0, -0.5, 0, 0, 0.5, 0.5, 1, 0, 0, 0, 0, 1);
ColorOp[2]   = BLENDTEXTUREALPHA;
AlphaOp[2]   = Modulate;
ColorArg1[2] = TEXTURE;
ColorArg2[2] = CURRENT;
AlphaArg1[2] = TEXTURE;
AlphaArg2[2] = CURRENT;
Texture[3] = <g_texLightMap>;
TexCoordIndex[3] = CAMERASPACEPOSITION;
TEXTURETRANSFORMFLAGS[3] = COUNT4|PROJECTED;
ColorOp[3]   = Modulate;
AlphaOp[3]   = SelectArg2;
ColorArg1[3] = TEXTURE;
ColorArg2[3] = CURRENT;
AlphaArg2[3] = CURRENT;
	}
}
technique VertexLighting_DX7
{
	pass P0
	{
		Texture[0] = <g_texDiffuse>;
		ColorOp[0] = MultiplyAdd;
		ColorArg0[0] = SPECULAR;
		ColorArg1[0] = Diffuse;
		ColorArg2[0] = Texture;
		AlphaOp[0] = SelectArg2;
		AlphaArg2[0] = Texture;
		AlphaBlendEnable = true;
		SrcBlend = SrcAlpha;
		DestBlend = InvSrcAlpha;
		ZWriteEnable = FALSE;
		CullMode = None;
		AlphaRef = 0x80;
		FogColor = float4(1, 0.5, 0, 1);
		FogStart = 10.5;
		ColorWriteEnable = RED|GREEN|BLUE;
		MinFilter[0] = <g_DiffuseSamplerState.MinFilter>;
		AddressU[0] = Wrap;
		VertexShader = NULL;
		PixelShader = NULL;
	}
}
)";

}  // namespace

std::string GeneratedEffect() {
    std::string s = Head();
    s += kPass0;
    s += kPass1;
    s += kLighting;
    for (const char* t : {"Ambient", "AmbientShadow"}) s += Technique(t, "VSAmbient", "PSAmbient");
    for (const char* t :
         {"VertexLighting", "VertexLighting_Shadow", "PixelLighting", "PixelLighting_Shadow",
          "VertexLighting_Projected", "VertexLighting_Projected_Shadow", "PixelLighting_Projected",
          "PixelLighting_Projected_Shadow"})
        s += Technique(t, "VSLighting", "PSLighting");
    s += kFixedFunction;
    return s;
}

namespace {

// The two shadow casters share their globals, their output structures and their techniques.
const char* const kCasterGlobals = R"(float4x4 g_MatWorld;
float4x4 g_MatView;
float4x4 g_MatProjection;
float4x4 g_MatViewProjection;
float4 g_ShadowColor={0.5, 0.5, 0.5, 0.5};
)";

const char* const kCasterOutputs = R"(
struct VSOut
{
	float4 P : POSITION;
	float4 C0 : COLOR0;
};

struct PSIn
{
	float4 C0 : COLOR0;
};

struct PSOut
{
	float4 Color : COLOR0;
};
)";

const char* const kCasterTechniques = R"(
technique Ambient
{
	pass P0
	{
		VertexShader = compile vs_1_1 VS();
		PixelShader = compile ps_1_1 PS();
	}
}

technique Ambient_DX7
{
	pass P0
	{
		Texture[0] = 0;
		ColorOp[0] = SelectArg1;
		AlphaOp[0] = SelectArg1;
		ColorArg1[0] = TFACTOR;
		AlphaArg1[0] = TFACTOR;
	}
}
)";

}  // namespace

std::string StaticShadowCastEffect() {
    return std::string(kCasterGlobals) + R"(
struct VSIn
{
	float3 P : POSITION;
};
)" + kCasterOutputs +
           R"(
VSOut VS(VSIn vsin)
{
	VSOut vsout;
	float4 localPos = float4(vsin.P, 1.0f);
	float4 pos = mul(localPos, g_MatWorld);
	pos = mul(pos, g_MatViewProjection);
	vsout.P = pos;
	vsout.C0 = g_ShadowColor;
	return vsout;
}

PSOut PS( PSIn psin)
{
	PSOut psout;
	psout.Color = psin.C0;
	return psout;
}
)" + kCasterTechniques;
}

std::string SkeletalShadowCastEffect() {
    return std::string("#define MAX_BONE 60\n") + kCasterGlobals +
           R"(float4x3 g_BoneMatrix[MAX_BONE];
float4x4 g_MatLightProjection;

struct VSIn
{
	float3 P : POSITION;
	float4 Weights : BLENDWEIGHT;
	float4 Indices : BLENDINDICES;
};
)" + kCasterOutputs +
           R"(
VSOut VS(VSIn vsin)
{
	VSOut vsout;
	float4 localP = float4(vsin.P, 1.0);
	float3 skinP = mul(localP, g_BoneMatrix[vsin.Indices.x]) * vsin.Weights.x;
	skinP += mul(localP, g_BoneMatrix[vsin.Indices.y]) * vsin.Weights.y;
	skinP += mul(localP, g_BoneMatrix[vsin.Indices.z]) * vsin.Weights.z;
	skinP += mul(localP, g_BoneMatrix[vsin.Indices.w]) * vsin.Weights.w;
	float4 worldP = mul(float4(skinP, 1.0f), g_MatWorld);
	vsout.P = mul(worldP, g_MatViewProjection);
	vsout.C0 = g_ShadowColor;
	return vsout;
}

PSOut PS( PSIn psin)
{
	PSOut psout;
	psout.Color = g_ShadowColor;
	return psout;
}
)" + kCasterTechniques;
}

std::string ProjectiveShadowReceiverEffect() {
    return R"(#include "../include/SamplerState.fx"
float4x4 g_MatWorld;
float4x4 g_MatView;
float4x4 g_MatProjection;
float4x4 g_MatViewProjection;
float4x4 g_TexMatLightMap;
texture g_texDiffuse;
SamplerStateStruct g_DiffuseSamplerState;
sampler2D g_DiffuseSampler = sampler_state
{
	Texture = <g_texDiffuse>;
	MinFilter = Linear;
	MagFilter = Linear;
	MipFilter = Point;
	AddressU = Border;
	AddressV = Border;
	AddressW = Border;
	BorderColor = 0xffffffff;
};

struct VSIn
{
	float3 P : POSITION;
};

struct VSOut
{
	float4 P : POSITION;
	float4 UV0 : TEXCOORD0;
};

struct PSIn
{
	float4 UV0 : TEXCOORD0;
};

struct PSOut
{
	float4 Color : COLOR0;
};

VSOut VS(VSIn vsin)
{
	VSOut vsout;
	float4 pos = mul(float4(vsin.P, 1.0f), g_MatWorld);
	float4 uv = pos;
	pos = mul(pos, g_MatViewProjection);
	vsout.P = pos;
	uv = mul(uv, g_TexMatLightMap);
	vsout.UV0 = uv;
	return vsout;
}

PSOut PS( PSIn psIn)
{
	PSOut psout;
	float4 uv = psIn.UV0/psIn.UV0.w;
	uv.x = uv.x*0.5+0.5;
	uv.y = 1-(uv.y*0.5+0.5);
	psout.Color = tex2D(g_DiffuseSampler, uv);
	return psout;
}

technique Ambient
{
	pass P0
	{
		VertexShader = compile vs_2_0 VS();
		PixelShader = compile ps_2_0 PS();
	}
}

technique Ambient_DX7
{
	pass P0
	{
		TexCoordIndex[0] = CAMERASPACEPOSITION;
		TEXTURETRANSFORMFLAGS[0] = COUNT4|PROJECTED;
		Texture[0] = <g_texDiffuse>;
		ColorOp[0] = SelectArg1;
		AlphaOp[0] = SelectArg1;
		ColorArg1[0] = TEXTURE;
		AlphaArg1[0] = TEXTURE;
	}
}
)";
}

}  // namespace HlslTest
