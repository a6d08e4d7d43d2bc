// A D3DX font: text drawn into the device's current render target with one font face at one
// size. The holder releases it. Host thread (the device's thread).
#pragma once

#include "Platform/D3D9/IDirect3DDevice9.h"
#include "Platform/D3D9/IUnknown.h"
#include "Platform/Win32/Win32Types.h"

inline constexpr GUID IID_ID3DXFont = {
    0xD79DBB70, 0x5F21, 0x4D36, {0xBB, 0xC2, 0xFF, 0x52, 0x5C, 0x21, 0x3C, 0xDC}};

// DrawTextA formats.
inline constexpr DWORD DT_TOP = 0x0;
inline constexpr DWORD DT_LEFT = 0x0;
inline constexpr DWORD DT_WORDBREAK = 0x10;
inline constexpr DWORD DT_SINGLELINE = 0x20;
inline constexpr DWORD DT_EXPANDTABS = 0x40;
inline constexpr DWORD DT_NOCLIP = 0x100;
inline constexpr DWORD DT_CALCRECT = 0x400;

class ID3DXSprite;

class ID3DXFont : public IUnknown {
public:
    // Draws count bytes of text (-1: up to the terminating NUL) into rect, left and top aligned,
    // in color (ARGB). With DT_CALCRECT nothing is drawn: rect's right and bottom are set to fit
    // the text. Answers the height of the text in pixels; 0 on failure. sprite must be null.
    virtual INT DrawTextA(ID3DXSprite* sprite, const char* text, INT count, RECT* rect,
                          DWORD format, D3DCOLOR color) = 0;
    // Drop the device objects before the device is reset, and make them again after it.
    virtual HRESULT OnLostDevice() = 0;
    virtual HRESULT OnResetDevice() = 0;

protected:
    ~ID3DXFont() = default;
};
using LPD3DXFONT = ID3DXFont*;

// height < 0: the characters' height in pixels; > 0: the cell height; 0: a default of 16.
// weight 600 and above picks the bold face. faceName "System" is the bold sans face; any other
// name the regular or bold sans face by weight. D3DERR_INVALIDCALL without a device, a font out
// or when no face file can be read.
HRESULT D3DXCreateFontA(IDirect3DDevice9* device, INT height, UINT width, UINT weight,
                        UINT mipLevels, BOOL italic, DWORD charSet, DWORD outputPrecision,
                        DWORD quality, DWORD pitchAndFamily, const char* faceName,
                        ID3DXFont** font);
