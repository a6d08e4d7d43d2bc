// Reads and writes single pixels of the uncompressed colour formats as four floats, the way
// Direct3D 9 samples them: a channel the format lacks reads as 1 (alpha, and green and blue of
// the one- and two-channel formats), except A8, which reads as black with alpha.
#pragma once

#include "Platform/D3D9/D3D9Types.h"

class PixelCodec {
public:
    struct Rgba {
        float r;
        float g;
        float b;
        float a;
    };

    // True for the uncompressed colour formats (not DXT, depth or index formats).
    static bool Supports(D3DFORMAT format);
    // The pixel at bytes (format's bytes per pixel); black for a format Supports refuses.
    static Rgba Decode(D3DFORMAT format, const BYTE* pixel);
    // Writes the pixel: normalised formats clamp to [0, 1] and round to nearest; float formats
    // store the value. Does nothing for a format Supports refuses.
    static void Encode(D3DFORMAT format, const Rgba& colour, BYTE* pixel);

    static Rgba FromColor(D3DCOLOR colour);
    // Clamped to [0, 1], rounded to nearest.
    static D3DCOLOR ToColor(const Rgba& colour);

    static float HalfToFloat(WORD half);
    static WORD FloatToHalf(float value);
};
