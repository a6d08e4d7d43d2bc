// The models (stage 0) recoloured through the style texture (stage 1): each pixel's brightness
// picks a colour along the style texture's first row, which replaces the pixel's own colour by
// g_ColorStylizedFactor. The result's opacity is the models' coverage times
// g_fTransparencyTune.

float g_ColorStylizedFactor;
float g_fTransparencyTune;
float2 g_texelSize;
texture g_texDiffuse;
sampler2D g_ModelSampler = sampler_state
{
    Texture = <g_texDiffuse>;
    MinFilter = Linear;
    MagFilter = Linear;
    MipFilter = None;
    AddressU = Clamp;
    AddressV = Clamp;
};
texture g_texDetailDiffuse;
sampler2D g_StyleSampler = sampler_state
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

float4 PS_Stylise(float2 UV : TEXCOORD0) : COLOR0 {
    float4 model = tex2D(g_ModelSampler, UV);
    float brightness = dot(model.rgb, float3(0.299, 0.587, 0.114));
    float3 styled = tex2D(g_StyleSampler, float2(brightness, 0.5)).rgb;
    return float4(lerp(model.rgb, styled, g_ColorStylizedFactor), model.a * g_fTransparencyTune);
}

technique Ambient
{
    pass P0
    {
        VertexShader = compile vs_2_0 VS_Quad();
        PixelShader = compile ps_2_0 PS_Stylise();
    }
}
