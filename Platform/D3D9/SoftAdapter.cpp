#include "Platform/D3D9/SoftAdapter.h"

#include <cstdio>
#include <cstring>

namespace {

void CopyText(char* destination, std::size_t size, const char* text) {
    std::snprintf(destination, size, "%s", text ? text : "");
}

}  // namespace

void SoftAdapter::SetDescription(const char* description) {
    CopyText(identifier.Description, sizeof(identifier.Description), description);
}

void SoftAdapter::SetDriver(const char* driver) {
    CopyText(identifier.Driver, sizeof(identifier.Driver), driver);
}

void SoftAdapter::SetDriverVersion(WORD product, WORD version, WORD subVersion, WORD build) {
    identifier.DriverVersion.u.HighPart =
        static_cast<LONG>((static_cast<DWORD>(product) << 16) | version);
    identifier.DriverVersion.u.LowPart = (static_cast<DWORD>(subVersion) << 16) | build;
}

SoftAdapter SoftAdapter::Defaults() {
    SoftAdapter a{};
    a.SetDriver("zelsoft9.dll");
    a.SetDescription("Zel Software Rasterizer");
    CopyText(a.identifier.DeviceName, sizeof(a.identifier.DeviceName), "\\\\.\\DISPLAY1");
    a.SetDriverVersion(9, 18, 13, 2049);
    a.identifier.VendorId = 0x5A4C;
    a.identifier.DeviceId = 0x0009;
    a.identifier.SubSysId = 0;
    a.identifier.Revision = 1;
    a.identifier.DeviceIdentifier = {
        0x5A454C39, 0x0D3D, 0x4A09, {0x9E, 0x5F, 0x50, 0x46, 0x54, 0x44, 0x33, 0x44}};
    a.identifier.WHQLLevel = 1;

    a.displayMode = {1024, 768, 60, D3DFMT_X8R8G8B8};

    D3DCAPS9& c = a.caps;
    c.DeviceType = D3DDEVTYPE_HAL;
    c.AdapterOrdinal = 0;
    c.Caps2 = D3DCAPS2_DYNAMICTEXTURES | D3DCAPS2_CANAUTOGENMIPMAP;
    c.DevCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT;
    c.TextureCaps = D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_ALPHA |
                    D3DPTEXTURECAPS_PROJECTED | D3DPTEXTURECAPS_CUBEMAP | D3DPTEXTURECAPS_MIPMAP |
                    D3DPTEXTURECAPS_MIPCUBEMAP;
    c.TextureFilterCaps = D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MINFLINEAR |
                          D3DPTFILTERCAPS_MIPFPOINT | D3DPTFILTERCAPS_MIPFLINEAR |
                          D3DPTFILTERCAPS_MAGFPOINT | D3DPTFILTERCAPS_MAGFLINEAR;
    c.MaxTextureWidth = 4096;
    c.MaxTextureHeight = 4096;
    c.MaxAnisotropy = 16;
    c.MaxTextureBlendStages = 8;
    c.MaxSimultaneousTextures = 8;
    c.MaxUserClipPlanes = 6;
    c.MaxVertexBlendMatrices = 4;
    c.MaxVertexBlendMatrixIndex = 0;
    c.MaxPrimitiveCount = 0xFFFFF;
    c.MaxVertexIndex = 0xFFFFFF;
    c.MaxStreams = 16;
    c.MaxStreamStride = 508;
    c.VertexShaderVersion = D3DVS_VERSION(3, 0);
    c.MaxVertexShaderConst = 256;
    c.PixelShaderVersion = D3DPS_VERSION(3, 0);
    c.NumSimultaneousRTs = 4;
    c.VertexTextureFilterCaps = D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MAGFPOINT;
    c.MaxVShaderInstructionsExecuted = 65535;

    const DWORD query = D3DUSAGE_QUERY_FILTER | D3DUSAGE_QUERY_WRAPANDMIP |
                        D3DUSAGE_QUERY_POSTPIXELSHADER_BLENDING | D3DUSAGE_QUERY_VERTEXTEXTURE;
    const DWORD target = D3DUSAGE_RENDERTARGET | D3DUSAGE_AUTOGENMIPMAP | query;
    for (D3DFORMAT f :
         {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5,
          D3DFMT_A4R4G4B4, D3DFMT_G16R16, D3DFMT_A16B16G16R16, D3DFMT_R16F, D3DFMT_G16R16F,
          D3DFMT_A16B16G16R16F, D3DFMT_R32F, D3DFMT_G32R32F, D3DFMT_A32B32G32R32F})
        a.formatUsages[f] = target;
    for (D3DFORMAT f : {D3DFMT_A8, D3DFMT_L8, D3DFMT_A8L8})
        a.formatUsages[f] = D3DUSAGE_AUTOGENMIPMAP | query;
    for (D3DFORMAT f : {D3DFMT_DXT1, D3DFMT_DXT2, D3DFMT_DXT3, D3DFMT_DXT4, D3DFMT_DXT5})
        a.formatUsages[f] = query & ~D3DUSAGE_QUERY_VERTEXTEXTURE;
    for (D3DFORMAT f : {D3DFMT_D16, D3DFMT_D24X8, D3DFMT_D24S8})
        a.formatUsages[f] = D3DUSAGE_DEPTHSTENCIL;

    a.textureMemoryBytes = 256ull << 20;
    a.occlusionQueries = true;
    a.hardwareVertexProcessingFails = false;
    a.createDeviceFails = false;
    a.rowPitchAlignment = 1;
    return a;
}

SoftAdapter& SoftAdapter::Current() {
    // An object, not a heap pointer: it goes with the library when a host unloads it.
    static SoftAdapter adapter(Defaults());
    return adapter;
}

void SoftAdapter::Restore() {
    Current() = Defaults();
}
