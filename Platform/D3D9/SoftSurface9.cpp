#include "Platform/D3D9/SoftSurface9.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Platform/D3D9/ComQuery.h"
#include "Platform/D3D9/D3D9Format.h"
#include "Platform/D3D9/SoftAdapter.h"
#include "Platform/D3D9/SoftDevice9.h"

namespace {

// The rectangle clipped to a w × h surface; empty (left >= right) when nothing remains.
RECT Clip(const RECT& r, UINT w, UINT h) {
    RECT c{std::max<LONG>(r.left, 0), std::max<LONG>(r.top, 0),
           std::min<LONG>(r.right, static_cast<LONG>(w)),
           std::min<LONG>(r.bottom, static_cast<LONG>(h))};
    return c;
}

bool Empty(const RECT& r) {
    return r.left >= r.right || r.top >= r.bottom;
}

bool DcFormat(D3DFORMAT f) {
    return f == D3DFMT_X8R8G8B8 || f == D3DFMT_A8R8G8B8 || f == D3DFMT_R5G6B5 ||
           f == D3DFMT_X1R5G5B5;
}

}  // namespace

SoftSurface9::SoftSurface9(SoftDevice9* device, const Params& p, SoftDeviceChild* owner,
                           bool blocksReset, bool forCaller)
    : SoftDeviceChild(device, blocksReset, forCaller),
      desc_{p.format,      D3DRTYPE_SURFACE,     p.usage, p.pool,
            p.multiSample, p.multiSampleQuality, p.width, p.height},
      owner_(owner),
      lockable_(p.lockable && !D3D9Format::IsDepth(p.format)),
      depthFormat_(D3D9Format::IsDepth(p.format)) {
    auto pixels = static_cast<std::size_t>(p.width) * p.height;
    if (depthFormat_) {
        depth_.assign(pixels, 1.0f);
        stencil_.assign(pixels, 0);
    } else {
        // Rows may be padded, as drivers do; a caller must step by the locked pitch.
        const auto tight = static_cast<std::size_t>(D3D9Format::RowPitch(p.format, p.width));
        const std::size_t rows =
            tight
                ? static_cast<std::size_t>(D3D9Format::SurfaceBytes(p.format, p.width, p.height)) /
                      tight
                : 0;
        const std::size_t align = std::max<UINT>(1, SoftAdapter::Current().rowPitchAlignment);
        pitch_ = static_cast<UINT>((tight + align - 1) / align * align);
        bits_.assign(std::size_t(pitch_) * rows, 0);
    }
}

SoftSurface9::~SoftSurface9() = default;

SoftSurface9* SoftSurface9::From(IDirect3DSurface9* surface) {
    return dynamic_cast<SoftSurface9*>(surface);
}

HRESULT SoftSurface9::QueryInterface(REFIID riid, void** out) {
    return AnswerQuery<IDirect3DSurface9>(
        this, riid, out, {IID_IUnknown, IID_IDirect3DResource9, IID_IDirect3DSurface9});
}

ULONG SoftSurface9::AddRefChild() {
    return owner_ ? owner_->AddRefChild() : SoftDeviceChild::AddRefChild();
}
ULONG SoftSurface9::ReleaseChild() {
    return owner_ ? owner_->ReleaseChild() : SoftDeviceChild::ReleaseChild();
}

void SoftSurface9::Hold() {
    if (owner_)
        owner_->Hold();
    else
        SoftDeviceChild::Hold();
}

void SoftSurface9::Drop() {
    if (owner_)
        owner_->Drop();
    else
        SoftDeviceChild::Drop();
}

bool SoftSurface9::HasStencil() const {
    const D3D9Format::Info* info = D3D9Format::Find(desc_.Format);
    return info && info->stencil;
}

HRESULT SoftSurface9::GetDesc(D3DSURFACE_DESC* desc) {
    if (!desc)
        return D3DERR_INVALIDCALL;
    *desc = desc_;
    return D3D_OK;
}

HRESULT SoftSurface9::LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
    if (!locked || !lockable_ || locked_ || dcHeld_)
        return D3DERR_INVALIDCALL;
    RECT r =
        rect ? *rect : RECT{0, 0, static_cast<LONG>(desc_.Width), static_cast<LONG>(desc_.Height)};
    if (r.left < 0 || r.top < 0 || r.left >= r.right || r.top >= r.bottom ||
        r.right > static_cast<LONG>(desc_.Width) || r.bottom > static_cast<LONG>(desc_.Height))
        return D3DERR_INVALIDCALL;
    const D3D9Format::Info* info = D3D9Format::Find(desc_.Format);
    std::size_t offset;
    if (info->blockBytes) {
        auto aligned = [](LONG v, UINT size) { return v % 4 == 0 || v == static_cast<LONG>(size); };
        if (r.left % 4 || r.top % 4 || !aligned(r.right, desc_.Width) ||
            !aligned(r.bottom, desc_.Height))
            return D3DERR_INVALIDCALL;
        offset = static_cast<std::size_t>(r.top / 4) * pitch_ +
                 static_cast<std::size_t>(r.left / 4) * info->blockBytes;
    } else {
        offset = static_cast<std::size_t>(r.top) * pitch_ +
                 static_cast<std::size_t>(r.left) * info->bytesPerPixel;
    }
    locked->Pitch = static_cast<INT>(pitch_);
    locked->pBits = bits_.data() + offset;
    locked_ = true;
    lockFlags_ = flags;
    return D3D_OK;
}

HRESULT SoftSurface9::UnlockRect() {
    if (!locked_)
        return D3DERR_INVALIDCALL;
    locked_ = false;
    if (!(lockFlags_ & D3DLOCK_READONLY))
        NoteWritten();
    return D3D_OK;
}

HRESULT SoftSurface9::GetDC(HDC* dc) {
    if (!dc)
        return D3DERR_INVALIDCALL;
    if (dcHeld_ || locked_ || !DcFormat(desc_.Format)) {
        *dc = nullptr;
        return D3DERR_INVALIDCALL;
    }
    dcBitmap_.resize(static_cast<std::size_t>(desc_.Width) * desc_.Height);
    for (UINT y = 0; y < desc_.Height; ++y)
        for (UINT x = 0; x < desc_.Width; ++x)
            dcBitmap_[static_cast<std::size_t>(y) * desc_.Width + x] =
                PixelCodec::ToColor(ReadPixel(x, y));
    dcHeld_ = true;
    *dc = static_cast<HDC>(dcBitmap_.data());
    return D3D_OK;
}

HRESULT SoftSurface9::ReleaseDC(HDC dc) {
    if (!dcHeld_ || !dc || dc != static_cast<HDC>(dcBitmap_.data()))
        return D3DERR_INVALIDCALL;
    for (UINT y = 0; y < desc_.Height; ++y)
        for (UINT x = 0; x < desc_.Width; ++x)
            WritePixel(
                x, y,
                PixelCodec::FromColor(dcBitmap_[static_cast<std::size_t>(y) * desc_.Width + x]));
    dcHeld_ = false;
    dcBitmap_.clear();
    dcBitmap_.shrink_to_fit();
    NoteWritten();
    return D3D_OK;
}

PixelCodec::Rgba SoftSurface9::ReadPixel(UINT x, UINT y) const {
    const D3D9Format::Info* info = D3D9Format::Find(desc_.Format);
    if (!info || !PixelCodec::Supports(desc_.Format))
        return {0.0f, 0.0f, 0.0f, 0.0f};
    return PixelCodec::Decode(desc_.Format, bits_.data() + static_cast<std::size_t>(y) * pitch_ +
                                                static_cast<std::size_t>(x) * info->bytesPerPixel);
}

void SoftSurface9::WritePixel(UINT x, UINT y, const PixelCodec::Rgba& colour) {
    const D3D9Format::Info* info = D3D9Format::Find(desc_.Format);
    if (!info || !PixelCodec::Supports(desc_.Format))
        return;
    PixelCodec::Encode(desc_.Format, colour,
                       bits_.data() + static_cast<std::size_t>(y) * pitch_ +
                           static_cast<std::size_t>(x) * info->bytesPerPixel);
}

void SoftSurface9::FillColor(const RECT& rect, D3DCOLOR colour) {
    if (depthFormat_ || !PixelCodec::Supports(desc_.Format))
        return;
    RECT r = Clip(rect, desc_.Width, desc_.Height);
    if (Empty(r))
        return;
    UINT bpp = D3D9Format::Find(desc_.Format)->bytesPerPixel;
    BYTE pixel[16];
    PixelCodec::Encode(desc_.Format, PixelCodec::FromColor(colour), pixel);
    for (LONG y = r.top; y < r.bottom; ++y) {
        BYTE* row = bits_.data() + static_cast<std::size_t>(y) * pitch_;
        for (LONG x = r.left; x < r.right; ++x)
            std::memcpy(row + static_cast<std::size_t>(x) * bpp, pixel, bpp);
    }
    NoteWritten();
}

void SoftSurface9::FillDepth(const RECT& rect, float depth) {
    if (!depthFormat_)
        return;
    RECT r = Clip(rect, desc_.Width, desc_.Height);
    if (Empty(r))
        return;
    float z = std::clamp(depth, 0.0f, 1.0f);
    if (std::isnan(depth))
        z = 0.0f;
    for (LONG y = r.top; y < r.bottom; ++y) {
        float* row = depth_.data() + static_cast<std::size_t>(y) * desc_.Width;
        std::fill(row + r.left, row + r.right, z);
    }
}

void SoftSurface9::FillStencil(const RECT& rect, BYTE stencil) {
    if (!depthFormat_)
        return;
    RECT r = Clip(rect, desc_.Width, desc_.Height);
    if (Empty(r))
        return;
    for (LONG y = r.top; y < r.bottom; ++y) {
        BYTE* row = stencil_.data() + static_cast<std::size_t>(y) * desc_.Width;
        std::fill(row + r.left, row + r.right, stencil);
    }
}

void SoftSurface9::CopyRect(const SoftSurface9& src, const RECT& sr, SoftSurface9& dst, LONG x,
                            LONG y) {
    const D3D9Format::Info* info = D3D9Format::Find(src.Format());
    if (!info || src.depthFormat_)
        return;
    // In block formats a "pixel" of this copy is one 4×4 block.
    UINT unit = info->blockBytes ? info->blockBytes : info->bytesPerPixel;
    LONG div = info->blockBytes ? 4 : 1;
    LONG rows = (sr.bottom - sr.top + div - 1) / div;
    auto bytes = static_cast<std::size_t>((sr.right - sr.left + div - 1) / div) * unit;
    for (LONG row = 0; row < rows; ++row) {
        const BYTE* from = src.bits_.data() +
                           static_cast<std::size_t>(sr.top / div + row) * src.pitch_ +
                           static_cast<std::size_t>(sr.left / div) * unit;
        BYTE* to = dst.bits_.data() + static_cast<std::size_t>(y / div + row) * dst.pitch_ +
                   static_cast<std::size_t>(x / div) * unit;
        std::memmove(to, from, bytes);
    }
    dst.NoteWritten();
}

void SoftSurface9::Stretch(const SoftSurface9& src, const RECT& sr, SoftSurface9& dst,
                           const RECT& dr, bool linear) {
    LONG sw = sr.right - sr.left, sh = sr.bottom - sr.top;
    LONG dw = dr.right - dr.left, dh = dr.bottom - dr.top;
    if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0)
        return;
    float sx = static_cast<float>(sw) / static_cast<float>(dw);
    float sy = static_cast<float>(sh) / static_cast<float>(dh);
    // Reading from the same surface that is written: take the source rectangle first.
    std::vector<PixelCodec::Rgba> source(static_cast<std::size_t>(sw) * sh);
    for (LONG y = 0; y < sh; ++y)
        for (LONG x = 0; x < sw; ++x)
            source[static_cast<std::size_t>(y) * sw + x] =
                src.ReadPixel(static_cast<UINT>(sr.left + x), static_cast<UINT>(sr.top + y));
    auto at = [&](LONG x, LONG y) -> const PixelCodec::Rgba& {
        x = std::clamp<LONG>(x, 0, sw - 1);
        y = std::clamp<LONG>(y, 0, sh - 1);
        return source[static_cast<std::size_t>(y) * sw + x];
    };
    for (LONG y = 0; y < dh; ++y) {
        float v = (static_cast<float>(y) + 0.5f) * sy;
        for (LONG x = 0; x < dw; ++x) {
            float u = (static_cast<float>(x) + 0.5f) * sx;
            PixelCodec::Rgba c;
            if (!linear) {
                c = at(static_cast<LONG>(u), static_cast<LONG>(v));
            } else {
                float fu = u - 0.5f, fv = v - 0.5f;
                auto x0 = static_cast<LONG>(std::floor(fu)), y0 = static_cast<LONG>(std::floor(fv));
                float ax = fu - static_cast<float>(x0), ay = fv - static_cast<float>(y0);
                const PixelCodec::Rgba &c00 = at(x0, y0), &c10 = at(x0 + 1, y0),
                                       &c01 = at(x0, y0 + 1), &c11 = at(x0 + 1, y0 + 1);
                auto mix = [&](float a, float b, float cc, float d) {
                    return (a * (1 - ax) + b * ax) * (1 - ay) + (cc * (1 - ax) + d * ax) * ay;
                };
                c = {mix(c00.r, c10.r, c01.r, c11.r), mix(c00.g, c10.g, c01.g, c11.g),
                     mix(c00.b, c10.b, c01.b, c11.b), mix(c00.a, c10.a, c01.a, c11.a)};
            }
            dst.WritePixel(static_cast<UINT>(dr.left + x), static_cast<UINT>(dr.top + y), c);
        }
    }
    dst.NoteWritten();
}

void SoftSurface9::BoxDownsample(const SoftSurface9& src, SoftSurface9& dst) {
    for (UINT y = 0; y < dst.Height(); ++y) {
        UINT y0 = std::min(y * 2, src.Height() - 1), y1 = std::min(y * 2 + 1, src.Height() - 1);
        for (UINT x = 0; x < dst.Width(); ++x) {
            UINT x0 = std::min(x * 2, src.Width() - 1), x1 = std::min(x * 2 + 1, src.Width() - 1);
            PixelCodec::Rgba a = src.ReadPixel(x0, y0), b = src.ReadPixel(x1, y0),
                             c = src.ReadPixel(x0, y1), d = src.ReadPixel(x1, y1);
            dst.WritePixel(x, y,
                           {(a.r + b.r + c.r + d.r) * 0.25f, (a.g + b.g + c.g + d.g) * 0.25f,
                            (a.b + b.b + c.b + d.b) * 0.25f, (a.a + b.a + c.a + d.a) * 0.25f});
        }
    }
}

void SoftSurface9::NoteWritten() {
    if (owner_)
        owner_->OnPartWritten(this);
}
