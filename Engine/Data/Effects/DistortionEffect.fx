// A rippling screen distortion: the frame (stage 0) is sampled at texture coordinates pushed
// sideways and up by waves that travel with g_uvVelocity (the animation's phase, 0..1 a period,
// times its u and v speeds); g_disOfSurface is how far, in texture units, a wave pushes.

float g_disOfSurface;
float2 g_uvVelocity;
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

VS_OUTPUT VS_Distort(float4 Pos : POSITION, float4 Colour : COLOR0, float2 UV : TEXCOORD0) {
    VS_OUTPUT o;
    o.Position = Pos;
    o.UV = UV;
    return o;
}

float4 PS_Distort(float2 UV : TEXCOORD0) : COLOR0 {
    const float turn = 6.2831853;
    float2 wave = float2(sin((UV.y * 3.0 + g_uvVelocity.x) * turn),
                         cos((UV.x * 3.0 + g_uvVelocity.y) * turn));
    return tex2D(g_DiffuseSampler, UV + wave * g_disOfSurface);
}

technique Ambient
{
    pass P0
    {
        VertexShader = compile vs_2_0 VS_Distort();
        PixelShader = compile ps_2_0 PS_Distort();
    }
}
