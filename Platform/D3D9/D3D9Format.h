// What the software device knows of each format: its memory layout (tight pitches; DXT formats
// by 4×4 blocks) and its kind.
#pragma once

#include "Platform/D3D9/D3D9Types.h"

class D3D9Format {
public:
    struct Info {
        D3DFORMAT format;
        UINT bytesPerPixel;  // colour, index and lockable formats; 0 for block formats
        UINT blockBytes;     // bytes of one 4×4 block (DXT1 8, DXT2-5 16); 0 otherwise
        bool depth;          // a depth(-stencil) format, held by the device as float depth
        bool stencil;        // has 8 stencil bits
        bool alpha;          // colour format with an alpha channel
    };

    // The format's description; null for a format the device does not know.
    static const Info* Find(D3DFORMAT format);
    static bool IsBlock(D3DFORMAT format);
    static bool IsDepth(D3DFORMAT format);

    // Bytes of one row of pixels (of blocks for DXT formats) and the number of such rows; both 0
    // for an unknown or depth format. 64-bit so that no size wraps.
    static ULONGLONG RowPitch(D3DFORMAT format, UINT width);
    static ULONGLONG RowCount(D3DFORMAT format, UINT height);
    static ULONGLONG SurfaceBytes(D3DFORMAT format, UINT width, UINT height);
};
