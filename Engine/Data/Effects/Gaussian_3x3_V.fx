// One vertical pass of a 3x3 Gaussian blur: 3 taps of the source image (stage 0) one
// texel (g_fTexelWidth) apart, weighted by a Gaussian of deviation 0.75 texels. Drawn as a
// screen quad whose positions are already in clip space.

float g_fTexelWidth;
texture g_texDiffuse;
sampler2D g_DiffuseSampler = sampler_state
{
    Texture = <g_texDiffuse>;
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

VS_OUTPUT VS_Blur(float4 Pos : POSITION, float4 Colour : COLOR0, float2 UV : TEXCOORD0) {
    VS_OUTPUT o;
    o.Position = Pos;
    o.UV = UV;
    return o;
}

float4 PS_Blur(float2 UV : TEXCOORD0) : COLOR0 {
    float4 sum = float4(0.0, 0.0, 0.0, 0.0);
    float total = 0.0;
    for (int i = -1; i <= 1; i++) {
        float weight = exp(-(i * i) / 1.1250);
        sum += weight * tex2D(g_DiffuseSampler, UV + float2(0.0, i * g_fTexelWidth));
        total += weight;
    }
    return sum / total;
}

technique Ambient
{
    pass P0
    {
        VertexShader = compile vs_2_0 VS_Blur();
        PixelShader = compile ps_2_0 PS_Blur();
    }
}
