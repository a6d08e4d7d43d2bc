// The one adapter of the software device, as the Direct3D object reports it: identity, display
// mode, capabilities, which formats and multisample types it supports, its texture memory, and
// the failure settings tests use to take the engine down its fallback paths. Process-wide, like
// the machine it stands for; tests change Current() and put the defaults back with Restore().
#pragma once

#include <map>

#include "Platform/D3D9/D3D9Types.h"

struct SoftAdapter {
    D3DADAPTER_IDENTIFIER9 identifier;
    D3DDISPLAYMODE displayMode;
    D3DCAPS9 caps;
    // Usages each format supports (D3DUSAGE_RENDERTARGET, DEPTHSTENCIL, AUTOGENMIPMAP and the
    // QUERY_ bits); a format absent from the table is not supported at all.
    std::map<D3DFORMAT, DWORD> formatUsages;
    // Multisample types each surface format supports: bit n set for type n. Type 0 (none) is
    // always supported.
    std::map<D3DFORMAT, DWORD> multisampleTypes;
    // What GetAvailableTextureMem reports, and the largest single resource the device accepts.
    ULONGLONG textureMemoryBytes;
    // Whether CreateQuery supports D3DQUERYTYPE_OCCLUSION.
    bool occlusionQueries;
    // CreateDevice(Ex) with hardware or mixed vertex processing fails with D3DERR_NOTAVAILABLE.
    bool hardwareVertexProcessingFails;
    // Every CreateDevice(Ex) fails with D3DERR_NOTAVAILABLE.
    bool createDeviceFails;
    // Colour surfaces made from now on pad each row to a multiple of this many bytes (1: tight).
    UINT rowPitchAlignment;

    // Sets the description and driver texts (cut to fit) and the driver version as Windows
    // packs it: product and version in the high part, sub-version and build in the low part.
    void SetDescription(const char* description);
    void SetDriver(const char* driver);
    void SetDriverVersion(WORD product, WORD version, WORD subVersion, WORD build);

    // The adapter every Direct3D object reports.
    static SoftAdapter& Current();
    // Puts Current() back to the defaults: "Zel Software Rasterizer", 1024×768 X8R8G8B8 at 60 Hz,
    // shader model 3.0 caps, 256 MB, the usual colour, float, DXT and depth formats, no
    // multisampling, occlusion queries on, nothing failing.
    static void Restore();
    static SoftAdapter Defaults();
};
