// Instanced boxes for the host's widgets. Every vertex is one corner of one box: its position's
// w holds the corner number 0..7 and its first texture coordinate the instance slot 0..119. The
// slot's entries of BoxMinPos (minimum corner and packed colour) and BoxMaxPos (maximum corner)
// place the corner. Corners 0..3 run around the face at minimum y, corners 4..7 around the face
// at maximum y in the same order: (min x, min z), (min x, max z), (max x, max z), (max x, min z).
// The colour is packed 6 bits a channel: r * 2^18 + g * 2^12 + b * 2^6 + a, each out of 63.

float4x4 g_MatViewProjection;
float4 BoxMinPos[120];
float3 BoxMaxPos[120];

struct VS_OUTPUT {
    float4 Position : POSITION;
    float4 Colour : COLOR0;
};

float4 UnpackColour(float packed) {
    float r = floor(packed / 262144.0);
    packed = packed - r * 262144.0;
    float g = floor(packed / 4096.0);
    packed = packed - g * 4096.0;
    float b = floor(packed / 64.0);
    float a = packed - b * 64.0;
    return float4(r, g, b, a) / 63.0;
}

VS_OUTPUT VS_Box(float4 Pos : POSITION, float2 Slot : TEXCOORD0) {
    VS_OUTPUT o;
    int slot = (int)(Slot.x + 0.5);
    float4 low = BoxMinPos[slot];
    float3 high = BoxMaxPos[slot];
    float corner = Pos.w;
    float upper = step(3.5, corner);
    float around = corner - 4.0 * upper;
    float maxX = step(1.5, around);
    float maxZ = step(0.5, around) - step(2.5, around);
    float3 p = lerp(low.xyz, high, float3(maxX, upper, maxZ));
    o.Position = mul(float4(p, 1.0), g_MatViewProjection);
    o.Colour = UnpackColour(low.w);
    return o;
}

float4 PS_Box(float4 Colour : COLOR0) : COLOR0 {
    return Colour;
}

technique Diffuse_Ambient {
    pass P0 {
        VertexShader = compile vs_2_0 VS_Box();
        PixelShader = compile ps_2_0 PS_Box();
    }
}
