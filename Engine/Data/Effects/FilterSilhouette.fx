// The outline of the widened models (stage 0): a pixel is on the silhouette by how much more of
// the models covers its 5 x 5 texel neighbourhood (g_texelSize apart) than itself. Coverage is
// the image's alpha; the result is the edge strength in every channel.

float2 g_texelSize;
texture g_texDiffuse;
sampler2D g_WidenedSampler = sampler_state
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

float4 PS_Filter(float2 UV : TEXCOORD0) : COLOR0 {
    float around = 0.0;
    for (int x = -2; x <= 2; x++) {
        for (int y = -2; y <= 2; y++) {
            around = max(around, tex2D(g_WidenedSampler, UV + float2(x, y) * g_texelSize).a);
        }
    }
    float edge = saturate(around - tex2D(g_WidenedSampler, UV).a);
    return float4(edge, edge, edge, edge);
}

technique Ambient
{
    pass P0
    {
        VertexShader = compile vs_2_0 VS_Quad();
        PixelShader = compile ps_2_0 PS_Filter();
    }
}
