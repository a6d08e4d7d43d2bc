// The plain models (stage 0) with the stylised image and its silhouette (stage 1) laid over
// them by the stylised image's opacity, blended onto the screen by the coverage of either.

float g_ColorStylizedFactor;
float g_fTransparencyTune;
float2 g_texelSize;
texture g_texDiffuse;
sampler2D g_PlainSampler = sampler_state
{
    Texture = <g_texDiffuse>;
    MinFilter = Linear;
    MagFilter = Linear;
    MipFilter = None;
    AddressU = Clamp;
    AddressV = Clamp;
};
texture g_texDetailDiffuse;
sampler2D g_StylisedSampler = sampler_state
{
    Texture = <g_texDetailDiffuse>;
    MinFilter = Linear;
    MagFilter = Linear;
    MipFilter = None;
    AddressU = Clamp;
    AddressV = Clamp;
};

struct VS_OUTPUT {
    float4 Position : POSITION;
    float2 UV : TEXCOORD0;
};

VS_OUTPUT VS_Quad(float4 Pos : POSITION, float4 Colour : COLOR0, float2 UV : TEXCOORD0) {
    VS_OUTPUT o;
    o.Position = Pos;
    o.UV = UV;
    return o;
}

float4 PS_Combine(float2 UV : TEXCOORD0) : COLOR0 {
    float4 plain = tex2D(g_PlainSampler, UV);
    float4 stylised = tex2D(g_StylisedSampler, UV);
    return float4(lerp(plain.rgb, stylised.rgb, stylised.a), max(plain.a, stylised.a));
}

technique Ambient
{
    pass P0
    {
        VertexShader = compile vs_2_0 VS_Quad();
        PixelShader = compile ps_2_0 PS_Combine();
    }
}
