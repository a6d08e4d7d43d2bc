// The silhouette (stage 0, its edge strength in alpha) in the colour g_ColorModulate, blended
// over the stylised image.

float4 g_ColorModulate;
float2 g_texelSize;
texture g_texDiffuse;
sampler2D g_SilhouetteSampler = sampler_state
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

VS_OUTPUT VS_Quad(float4 Pos : POSITION, float4 Colour : COLOR0, float2 UV : TEXCOORD0) {
    VS_OUTPUT o;
    o.Position = Pos;
    o.UV = UV;
    return o;
}

float4 PS_Silhouette(float2 UV : TEXCOORD0) : COLOR0 {
    float edge = tex2D(g_SilhouetteSampler, UV).a;
    return float4(g_ColorModulate.rgb, g_ColorModulate.a * edge);
}

technique Ambient
{
    pass P0
    {
        VertexShader = compile vs_2_0 VS_Quad();
        PixelShader = compile ps_2_0 PS_Silhouette();
    }
}
