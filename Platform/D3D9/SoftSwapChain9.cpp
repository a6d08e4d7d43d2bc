#include "Platform/D3D9/SoftSwapChain9.h"

#include <algorithm>

#include "Platform/D3D9/ComQuery.h"
#include "Platform/D3D9/SoftDevice9.h"
#include "Platform/Win32/Win32Window.h"

SoftSwapChain9::SoftSwapChain9(SoftDevice9* device, const D3DPRESENT_PARAMETERS& parameters,
                               bool forCaller)
    : SoftDeviceChild(device, true, forCaller), parameters_(parameters) {
    bool lockable = parameters.Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
    for (UINT i = 0; i < parameters.BackBufferCount; ++i) {
        SoftSurface9::Params s{parameters.BackBufferFormat,
                               parameters.BackBufferWidth,
                               parameters.BackBufferHeight,
                               D3DUSAGE_RENDERTARGET,
                               D3DPOOL_DEFAULT,
                               parameters.MultiSampleType,
                               parameters.MultiSampleQuality,
                               lockable};
        backBuffers_.push_back(std::make_unique<SoftSurface9>(device, s, this, false, false));
    }
}

HRESULT SoftSwapChain9::QueryInterface(REFIID riid, void** out) {
    return AnswerQuery<IDirect3DSwapChain9>(this, riid, out,
                                            {IID_IUnknown, IID_IDirect3DSwapChain9});
}

HRESULT SoftSwapChain9::Present(const RECT* sourceRect, const RECT* destRect,
                                HWND destWindowOverride, const RGNDATA*, DWORD) {
    return Device()->PresentSwapChain(this, sourceRect, destRect, destWindowOverride);
}

HRESULT SoftSwapChain9::GetBackBuffer(UINT backBuffer, D3DBACKBUFFER_TYPE type,
                                      IDirect3DSurface9** surface) {
    if (!surface)
        return D3DERR_INVALIDCALL;
    *surface = nullptr;
    if (type != D3DBACKBUFFER_TYPE_MONO || backBuffer >= backBuffers_.size())
        return D3DERR_INVALIDCALL;
    *surface = backBuffers_[backBuffer].get();
    (*surface)->AddRef();
    return D3D_OK;
}

HRESULT SoftSwapChain9::GetPresentParameters(D3DPRESENT_PARAMETERS* parameters) {
    if (!parameters)
        return D3DERR_INVALIDCALL;
    *parameters = parameters_;
    return D3D_OK;
}

SoftSurface9* SoftSwapChain9::BackBuffer(UINT index) const {
    return index < backBuffers_.size() ? backBuffers_[index].get() : nullptr;
}

HRESULT SoftSwapChain9::CopyToWindow(const RECT* sourceRect, const RECT* destRect,
                                     HWND destWindowOverride) const {
    auto window =
        Win32Window::Find(destWindowOverride ? destWindowOverride : parameters_.hDeviceWindow);
    if (!window)
        return D3DERR_INVALIDCALL;
    const SoftSurface9& back = *backBuffers_[0];
    RECT src = sourceRect
                   ? *sourceRect
                   : RECT{0, 0, static_cast<LONG>(back.Width()), static_cast<LONG>(back.Height())};
    if (src.left < 0 || src.top < 0 || src.left >= src.right || src.top >= src.bottom ||
        src.right > static_cast<LONG>(back.Width()) ||
        src.bottom > static_cast<LONG>(back.Height()))
        return D3DERR_INVALIDCALL;
    auto cw = static_cast<LONG>(window->ClientWidth()),
         ch = static_cast<LONG>(window->ClientHeight());
    RECT dst = destRect ? *destRect : RECT{0, 0, cw, ch};
    if (dst.left >= dst.right || dst.top >= dst.bottom)
        return D3DERR_INVALIDCALL;

    // Destination pixel centres map onto the source rectangle: x' = left + (2(x - dl) + 1)·sw /
    // 2dw.
    const long long sw = src.right - src.left, sh = src.bottom - src.top;
    const long long dw = dst.right - dst.left, dh = dst.bottom - dst.top;
    bool direct = back.Format() == D3DFMT_A8R8G8B8 || back.Format() == D3DFMT_X8R8G8B8;
    std::vector<DWORD>& frame = window->MutableFrame();
    for (LONG y = std::max<LONG>(dst.top, 0); y < std::min(dst.bottom, ch); ++y) {
        auto sy = static_cast<UINT>(src.top + (2 * (y - dst.top) + 1) * sh / (2 * dh));
        const BYTE* row = back.Bits() + static_cast<std::size_t>(sy) * back.Pitch();
        DWORD* out = frame.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(cw);
        for (LONG x = std::max<LONG>(dst.left, 0); x < std::min(dst.right, cw); ++x) {
            auto sx = static_cast<UINT>(src.left + (2 * (x - dst.left) + 1) * sw / (2 * dw));
            DWORD pixel;
            if (direct) {
                const BYTE* p = row + static_cast<std::size_t>(sx) * 4;
                pixel = static_cast<DWORD>(p[0]) | (static_cast<DWORD>(p[1]) << 8) |
                        (static_cast<DWORD>(p[2]) << 16);
            } else {
                pixel = PixelCodec::ToColor(back.ReadPixel(sx, sy));
            }
            out[x] = pixel | 0xFF000000u;
        }
    }
    window->NotePresent();
    return D3D_OK;
}
