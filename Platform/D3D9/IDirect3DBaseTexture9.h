// The base of 2D and cube textures.
#pragma once

#include "Platform/D3D9/IDirect3DResource9.h"

inline constexpr GUID IID_IDirect3DBaseTexture9 = {
    0x580CA87E, 0x1D3C, 0x4D54, {0x99, 0x1D, 0xB7, 0xD3, 0xE3, 0xC2, 0x98, 0xCE}};

class IDirect3DBaseTexture9 : public IDirect3DResource9 {
public:
    // Levels the caller can reach: 1 for a texture with D3DUSAGE_AUTOGENMIPMAP (its sub-levels are
    // the device's), else the level count it was made with.
    virtual DWORD GetLevelCount() = 0;
    // Rebuilds the sub-levels of an AUTOGENMIPMAP texture from level 0 with a box filter; nothing
    // for other textures.
    virtual void GenerateMipSubLevels() = 0;

protected:
    ~IDirect3DBaseTexture9() = default;
};
