#include "Render/d3d9/DefaultEffectText.h"

namespace Zel {

const char* DefaultEffectText() {
    return R"FX(// The engine's default effect: ambient, vertex- and pixel-lit techniques with their shadow and
// projected variants, and fixed-function techniques for devices without shaders.
float4x4 g_MatWorld;
float4x4 g_MatViewProjection;
float4 g_vecLightDirection = {0, -1, 0, 0};
float4 g_vecLightColorDiffuse = {1, 1, 1, 1};
float4 g_vecLightColorAmbient = {0.3, 0.3, 0.3, 1};
float4 g_vecMaterialColorDiffuse = {1, 1, 1, 1};
texture g_texDiffuse;
sampler2D g_DiffuseSampler = sampler_state
{
	Texture = <g_texDiffuse>;
	MinFilter = LINEAR;
	MagFilter = LINEAR;
	MipFilter = LINEAR;
};

struct VS_OUTPUT
{
	float4 Position : POSITION;
	float4 Diffuse : COLOR0;
	float2 Tex0 : TEXCOORD0;
	float3 Normal : TEXCOORD1;
};

VS_OUTPUT VSAmbient(float4 Pos : POSITION, float2 Tex : TEXCOORD0)
{
	VS_OUTPUT o;
	o.Position = mul(mul(Pos, g_MatWorld), g_MatViewProjection);
	o.Diffuse = g_vecLightColorAmbient * g_vecMaterialColorDiffuse;
	o.Tex0 = Tex;
	o.Normal = float3(0, 0, 1);
	return o;
}

VS_OUTPUT VSLighting(float4 Pos : POSITION, float3 Normal : NORMAL, float2 Tex : TEXCOORD0)
{
	VS_OUTPUT o;
	o.Position = mul(mul(Pos, g_MatWorld), g_MatViewProjection);
	float3 N = normalize(mul(float4(Normal, 0), g_MatWorld).xyz);
	float d = saturate(dot(N, -g_vecLightDirection.xyz));
	o.Diffuse = g_vecMaterialColorDiffuse * (g_vecLightColorDiffuse * d + g_vecLightColorAmbient);
	o.Diffuse.a = g_vecMaterialColorDiffuse.a;
	o.Tex0 = Tex;
	o.Normal = N;
	return o;
}

float4 PSTextured(float4 Diffuse : COLOR0, float2 Tex : TEXCOORD0) : COLOR0
{
	return tex2D(g_DiffuseSampler, Tex) * Diffuse;
}

float4 PSLighting(float4 Diffuse : COLOR0, float2 Tex : TEXCOORD0, float3 Normal : TEXCOORD1) : COLOR0
{
	float d = saturate(dot(normalize(Normal), -g_vecLightDirection.xyz));
	float4 c = g_vecMaterialColorDiffuse * (g_vecLightColorDiffuse * d + g_vecLightColorAmbient);
	c.a = g_vecMaterialColorDiffuse.a;
	return tex2D(g_DiffuseSampler, Tex) * c;
}

technique Ambient { pass P0 { VertexShader = compile vs_1_1 VSAmbient(); PixelShader = compile ps_1_1 PSTextured(); } }
technique Diffuse_Ambient_Shadow { pass P0 { VertexShader = compile vs_1_1 VSAmbient(); PixelShader = compile ps_1_1 PSTextured(); } }
technique Diffuse_VertexLighting { pass P0 { VertexShader = compile vs_1_1 VSLighting(); PixelShader = compile ps_1_1 PSTextured(); } }
technique Diffuse_VertexLighting_Shadow { pass P0 { VertexShader = compile vs_1_1 VSLighting(); PixelShader = compile ps_1_1 PSTextured(); } }
technique Diffuse_VertexLighting_Projected { pass P0 { VertexShader = compile vs_1_1 VSLighting(); PixelShader = compile ps_1_1 PSTextured(); } }
technique Diffuse_VertexLighting_Projected_Shadow { pass P0 { VertexShader = compile vs_1_1 VSLighting(); PixelShader = compile ps_1_1 PSTextured(); } }
technique Diffuse_PixelLighting { pass P0 { VertexShader = compile vs_1_1 VSLighting(); PixelShader = compile ps_2_0 PSLighting(); } }
technique Diffuse_PixelLighting_Shadow { pass P0 { VertexShader = compile vs_1_1 VSLighting(); PixelShader = compile ps_2_0 PSLighting(); } }
technique Diffuse_PixelLighting_Projected { pass P0 { VertexShader = compile vs_1_1 VSLighting(); PixelShader = compile ps_2_0 PSLighting(); } }
technique Diffuse_PixelLighting_Projected_Shadow { pass P0 { VertexShader = compile vs_1_1 VSLighting(); PixelShader = compile ps_2_0 PSLighting(); } }

technique Ambient_DX7
{
	pass P0
	{
		Lighting = FALSE;
		Texture[0] = <g_texDiffuse>;
		ColorOp[0] = MODULATE;
		ColorArg1[0] = TEXTURE;
		ColorArg2[0] = TFACTOR;
		AlphaOp[0] = SELECTARG1;
		AlphaArg1[0] = TEXTURE;
		VertexShader = NULL;
		PixelShader = NULL;
	}
}
technique AmbientShadow_DX7
{
	pass P0
	{
		Lighting = FALSE;
		Texture[0] = <g_texDiffuse>;
		ColorOp[0] = MODULATE;
		ColorArg1[0] = TEXTURE;
		ColorArg2[0] = TFACTOR;
		AlphaOp[0] = SELECTARG1;
		AlphaArg1[0] = TEXTURE;
		VertexShader = NULL;
		PixelShader = NULL;
	}
}
technique VertexLighting_DX7
{
	pass P0
	{
		Lighting = TRUE;
		Texture[0] = <g_texDiffuse>;
		ColorOp[0] = MODULATE;
		ColorArg1[0] = TEXTURE;
		ColorArg2[0] = DIFFUSE;
		AlphaOp[0] = MODULATE;
		AlphaArg1[0] = TEXTURE;
		AlphaArg2[0] = DIFFUSE;
		VertexShader = NULL;
		PixelShader = NULL;
	}
}
)FX";
}

}  // namespace Zel
