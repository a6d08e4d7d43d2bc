#include "Platform/D3D9/SoftDevice9.h"

#include <algorithm>

#include "Platform/D3D9/ComQuery.h"
#include "Platform/D3D9/D3D9Format.h"
#include "Platform/D3D9/DrawValidation.h"
#include "Platform/D3D9/SoftAdapter.h"
#include "Platform/D3D9/SoftCubeTexture9.h"
#include "Platform/D3D9/SoftIndexBuffer9.h"
#include "Platform/D3D9/SoftPipeline.h"
#include "Platform/D3D9/SoftQuery9.h"
#include "Platform/D3D9/SoftShader9.h"
#include "Platform/D3D9/SoftSurface9.h"
#include "Platform/D3D9/SoftSwapChain9.h"
#include "Platform/D3D9/SoftTexture9.h"
#include "Platform/D3D9/SoftVertexBuffer9.h"
#include "Platform/D3D9/SoftVertexDeclaration9.h"
#include "Platform/Win32/Win32Window.h"

namespace {

constexpr UINT kMaxSurfaceSide = 16384;
constexpr ULONGLONG kSystemMemoryLimit = 1ull << 30;
constexpr DWORD kVertexProcessing = D3DCREATE_SOFTWARE_VERTEXPROCESSING |
                                    D3DCREATE_HARDWARE_VERTEXPROCESSING |
                                    D3DCREATE_MIXED_VERTEXPROCESSING;

DWORD FormatUsages(D3DFORMAT format, bool* known) {
    const auto& table = SoftAdapter::Current().formatUsages;
    auto it = table.find(format);
    *known = it != table.end();
    return *known ? it->second : 0;
}

bool Supports(D3DFORMAT format, DWORD usage) {
    bool known;
    DWORD usages = FormatUsages(format, &known);
    return known && (usages & usage) == usage;
}

bool MultisampleSupported(D3DFORMAT format, D3DMULTISAMPLE_TYPE type) {
    if (type == D3DMULTISAMPLE_NONE)
        return true;
    if (type > D3DMULTISAMPLE_16_SAMPLES)
        return false;
    const auto& table = SoftAdapter::Current().multisampleTypes;
    auto it = table.find(format);
    return it != table.end() && (it->second & (1u << type));
}

bool InsideSurface(const RECT& r, const SoftSurface9& s) {
    return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom &&
           r.right <= static_cast<LONG>(s.Width()) && r.bottom <= static_cast<LONG>(s.Height());
}

// DXT rectangles start on a block and end on one (or at the surface's edge).
bool BlockAligned(const RECT& r, const SoftSurface9& s) {
    if (!D3D9Format::IsBlock(s.Format()))
        return true;
    auto edge = [](LONG v, UINT size) { return v % 4 == 0 || v == static_cast<LONG>(size); };
    return r.left % 4 == 0 && r.top % 4 == 0 && edge(r.right, s.Width()) &&
           edge(r.bottom, s.Height());
}

RECT Whole(const SoftSurface9& s) {
    return RECT{0, 0, static_cast<LONG>(s.Width()), static_cast<LONG>(s.Height())};
}

RECT Intersect(const RECT& a, const RECT& b) {
    return RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom)};
}

bool Overlap(const RECT& a, const RECT& b) {
    RECT i = Intersect(a, b);
    return i.left < i.right && i.top < i.bottom;
}

// Register files: count registers of perRegister values from start, inside the file.
bool ConstantRange(const void* data, UINT registers, UINT start, UINT count) {
    return count == 0 || (data && static_cast<ULONGLONG>(start) + count <= registers);
}

template <class T>
HRESULT SetConstants(T* file, UINT registers, UINT perRegister, UINT start, const T* data,
                     UINT count) {
    if (!ConstantRange(data, registers, start, count))
        return D3DERR_INVALIDCALL;
    if (count)
        std::copy(data, data + std::size_t{count} * perRegister,
                  file + std::size_t{start} * perRegister);
    return D3D_OK;
}

template <class T>
HRESULT GetConstants(const T* file, UINT registers, UINT perRegister, UINT start, T* data,
                     UINT count) {
    if (!ConstantRange(data, registers, start, count))
        return D3DERR_INVALIDCALL;
    const T* first = file + std::size_t{start} * perRegister;
    if (count)
        std::copy(first, first + std::size_t{count} * perRegister, data);
    return D3D_OK;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Creation and life
// ---------------------------------------------------------------------------------------------

HRESULT SoftDevice9::Create(IDirect3D9* direct3d, bool ex, HWND focusWindow, DWORD behaviorFlags,
                            D3DPRESENT_PARAMETERS* parameters, SoftDevice9** device) {
    if (!device)
        return D3DERR_INVALIDCALL;
    *device = nullptr;
    if (!parameters)
        return D3DERR_INVALIDCALL;
    DWORD vertexProcessing = behaviorFlags & kVertexProcessing;
    if (vertexProcessing != D3DCREATE_SOFTWARE_VERTEXPROCESSING &&
        vertexProcessing != D3DCREATE_HARDWARE_VERTEXPROCESSING &&
        vertexProcessing != D3DCREATE_MIXED_VERTEXPROCESSING)
        return D3DERR_INVALIDCALL;
    const SoftAdapter& adapter = SoftAdapter::Current();
    if (adapter.createDeviceFails)
        return D3DERR_NOTAVAILABLE;
    if (vertexProcessing != D3DCREATE_SOFTWARE_VERTEXPROCESSING &&
        adapter.hardwareVertexProcessingFails)
        return D3DERR_NOTAVAILABLE;

    auto* made = new SoftDevice9(direct3d, ex, focusWindow, behaviorFlags);
    D3DPRESENT_PARAMETERS chain;
    HRESULT hr = made->CompleteParameters(parameters, &chain);
    if (SUCCEEDED(hr))
        hr = made->BuildPresentation(chain);
    if (FAILED(hr)) {
        made->Release();
        return hr;
    }
    *device = made;
    return D3D_OK;
}

SoftDevice9* SoftDevice9::From(IDirect3DDevice9* device) {
    return dynamic_cast<SoftDevice9*>(device);
}

SoftDevice9::SoftDevice9(IDirect3D9* direct3d, bool ex, HWND focusWindow, DWORD behaviorFlags)
    : direct3d_(direct3d),
      ex_(ex),
      focusWindow_(focusWindow),
      behaviorFlags_(behaviorFlags),
      caps_(SoftAdapter::Current().caps),
      pipeline_(std::make_unique<SoftPipeline>()) {
    direct3d_->AddRef();
    caps_.DeviceType = D3DDEVTYPE_HAL;
    caps_.AdapterOrdinal = D3DADAPTER_DEFAULT;
}

SoftDevice9::~SoftDevice9() {
    // Bindings first: the back buffer bound as a target counts on the implicit chain.
    state_.UnbindAll();
    autoDepthStencil_.Reset();
    implicitChain_.Reset();
    direct3d_->Release();
}

HRESULT SoftDevice9::QueryInterface(REFIID riid, void** out) {
    if (ex_)
        return AnswerQuery<IDirect3DDevice9Ex>(
            this, riid, out, {IID_IUnknown, IID_IDirect3DDevice9, IID_IDirect3DDevice9Ex});
    return AnswerQuery<IDirect3DDevice9>(this, riid, out, {IID_IUnknown, IID_IDirect3DDevice9});
}

ULONG SoftDevice9::AddRef() {
    return ++refs_;
}

ULONG SoftDevice9::Release() {
    if (refs_ == 0)
        return 0;
    ULONG left = --refs_;
    if (left == 0)
        delete this;
    return left;
}

void SoftDevice9::ChildAcquired(SoftDeviceChild* child) {
    ++refs_;
    if (child->BlocksReset())
        blockers_.insert(child);
}

void SoftDevice9::ChildDropped(SoftDeviceChild* child) {
    blockers_.erase(child);
}

bool SoftDevice9::OwnChild(const SoftDeviceChild* child) const {
    return child && child->Device() == this;
}

template <class Soft, class Interface>
HRESULT SoftDevice9::BindSlot(BoundRef<Soft>& slot, Interface* object) {
    Soft* soft = Soft::From(object);
    if (object && !OwnChild(soft))
        return D3DERR_INVALIDCALL;
    slot.Reset(soft);
    return D3D_OK;
}

template <class Interface, class Soft>
HRESULT SoftDevice9::AnswerSlot(const BoundRef<Soft>& slot, Interface** out) {
    if (!out)
        return D3DERR_INVALIDCALL;
    *out = slot.Get();
    if (*out)
        (*out)->AddRef();
    return D3D_OK;
}

template <class Shader, class Interface>
HRESULT SoftDevice9::CreateShader(const DWORD* function, Interface** out) {
    if (!out)
        return D3DERR_INVALIDCALL;
    *out = nullptr;
    std::vector<DWORD> tokens;
    if (!Shader::ReadTokens(function, &tokens))
        return D3DERR_INVALIDCALL;
    *out = new Shader(this, std::move(tokens));
    return D3D_OK;
}

bool SoftDevice9::PoolAllowed(D3DPOOL pool) const {
    if (pool == D3DPOOL_MANAGED)
        return !ex_;
    return pool == D3DPOOL_DEFAULT || pool == D3DPOOL_SYSTEMMEM || pool == D3DPOOL_SCRATCH;
}

HRESULT SoftDevice9::CheckAllocation(ULONGLONG bytes, D3DPOOL pool) const {
    bool system = pool == D3DPOOL_SYSTEMMEM || pool == D3DPOOL_SCRATCH;
    ULONGLONG video = SoftAdapter::Current().textureMemoryBytes;
    if (bytes > (system ? std::max(video, kSystemMemoryLimit) : video))
        return system ? E_OUTOFMEMORY : D3DERR_OUTOFVIDEOMEMORY;
    return D3D_OK;
}

// ---------------------------------------------------------------------------------------------
// Presentation, loss and reset
// ---------------------------------------------------------------------------------------------

HRESULT SoftDevice9::CompleteParameters(D3DPRESENT_PARAMETERS* p,
                                        D3DPRESENT_PARAMETERS* chain) const {
    if (!p)
        return D3DERR_INVALIDCALL;
    HWND windowHandle = p->hDeviceWindow ? p->hDeviceWindow : focusWindow_;
    auto window = Win32Window::Find(windowHandle);
    if (!window)
        return D3DERR_INVALIDCALL;
    D3DPRESENT_PARAMETERS q = *p;
    if (q.Windowed) {
        if (q.BackBufferWidth == 0)
            q.BackBufferWidth = window->ClientWidth();
        if (q.BackBufferHeight == 0)
            q.BackBufferHeight = window->ClientHeight();
        if (q.BackBufferFormat == D3DFMT_UNKNOWN)
            q.BackBufferFormat = SoftAdapter::Current().displayMode.Format;
    }
    if (q.BackBufferCount == 0)
        q.BackBufferCount = 1;
    if (q.BackBufferWidth == 0 || q.BackBufferHeight == 0 || q.BackBufferWidth > kMaxSurfaceSide ||
        q.BackBufferHeight > kMaxSurfaceSide || q.BackBufferCount > D3DPRESENT_BACK_BUFFERS_MAX)
        return D3DERR_INVALIDCALL;
    bool swapKnown = q.SwapEffect == D3DSWAPEFFECT_DISCARD || q.SwapEffect == D3DSWAPEFFECT_FLIP ||
                     q.SwapEffect == D3DSWAPEFFECT_COPY ||
                     (ex_ && q.SwapEffect == D3DSWAPEFFECT_FLIPEX);
    if (!swapKnown || (q.SwapEffect == D3DSWAPEFFECT_COPY && q.BackBufferCount > 1))
        return D3DERR_INVALIDCALL;
    if (!Supports(q.BackBufferFormat, D3DUSAGE_RENDERTARGET) ||
        !PixelCodec::Supports(q.BackBufferFormat))
        return D3DERR_NOTAVAILABLE;
    if (q.MultiSampleType != D3DMULTISAMPLE_NONE) {
        if (q.SwapEffect != D3DSWAPEFFECT_DISCARD || q.MultiSampleQuality != 0 ||
            !MultisampleSupported(q.BackBufferFormat, q.MultiSampleType))
            return D3DERR_INVALIDCALL;
        if (q.EnableAutoDepthStencil &&
            !MultisampleSupported(q.AutoDepthStencilFormat, q.MultiSampleType))
            return D3DERR_INVALIDCALL;
    }
    if (q.EnableAutoDepthStencil && (!D3D9Format::IsDepth(q.AutoDepthStencilFormat) ||
                                     !Supports(q.AutoDepthStencilFormat, D3DUSAGE_DEPTHSTENCIL)))
        return D3DERR_INVALIDCALL;
    HRESULT hr = CheckAllocation(
        D3D9Format::SurfaceBytes(q.BackBufferFormat, q.BackBufferWidth, q.BackBufferHeight) *
            q.BackBufferCount,
        D3DPOOL_DEFAULT);
    if (FAILED(hr))
        return hr;

    *p = q;  // Direct3D 9 writes the completed values back
    *chain = q;
    chain->hDeviceWindow = windowHandle;
    return D3D_OK;
}

HRESULT SoftDevice9::BuildPresentation(const D3DPRESENT_PARAMETERS& p) {
    state_.SetDefaults(p.EnableAutoDepthStencil != FALSE, p.BackBufferWidth, p.BackBufferHeight);
    implicitChain_.Reset(new SoftSwapChain9(this, p, false));
    if (p.EnableAutoDepthStencil) {
        SoftSurface9::Params s{p.AutoDepthStencilFormat, p.BackBufferWidth,
                               p.BackBufferHeight,       D3DUSAGE_DEPTHSTENCIL,
                               D3DPOOL_DEFAULT,          p.MultiSampleType,
                               p.MultiSampleQuality,     false};
        autoDepthStencil_.Reset(new SoftSurface9(this, s, nullptr, true, false));
    } else {
        autoDepthStencil_.Reset();
    }
    state_.renderTargets[0].Reset(implicitChain_.Get()->BackBuffer(0));
    state_.depthStencil.Reset(autoDepthStencil_.Get());
    inScene_ = false;
    return D3D_OK;
}

HRESULT SoftDevice9::ResetCommon(D3DPRESENT_PARAMETERS* parameters) {
    if (!parameters)
        return D3DERR_INVALIDCALL;
    if (IsLost() && cooperativeLevel_ != D3DERR_DEVICENOTRESET)
        return D3DERR_DEVICELOST;
    D3DPRESENT_PARAMETERS chain;
    HRESULT hr =
        ex_ || blockers_.empty() ? CompleteParameters(parameters, &chain) : D3DERR_INVALIDCALL;
    if (FAILED(hr)) {
        // A plain device whose reset failed stays waiting for one.
        if (!ex_)
            cooperativeLevel_ = D3DERR_DEVICENOTRESET;
        return hr;
    }
    BuildPresentation(chain);
    cooperativeLevel_ = D3D_OK;
    return D3D_OK;
}

HRESULT SoftDevice9::Reset(D3DPRESENT_PARAMETERS* parameters) {
    Count(D3D9Call::Reset);
    return ResetCommon(parameters);
}

HRESULT SoftDevice9::ResetEx(D3DPRESENT_PARAMETERS* parameters,
                             D3DDISPLAYMODEEX* fullscreenDisplayMode) {
    Count(D3D9Call::ResetEx);
    if (!ex_ || !parameters || (parameters->Windowed && fullscreenDisplayMode))
        return D3DERR_INVALIDCALL;
    return ResetCommon(parameters);
}

HRESULT SoftDevice9::TestCooperativeLevel() {
    Count(D3D9Call::TestCooperativeLevel);
    return cooperativeLevel_;
}

HRESULT SoftDevice9::CheckDeviceState(HWND) {
    Count(D3D9Call::CheckDeviceState);
    return cooperativeLevel_;
}

HRESULT SoftDevice9::PresentSwapChain(SoftSwapChain9* chain, const RECT* sourceRect,
                                      const RECT* destRect, HWND destWindowOverride) {
    Count(D3D9Call::SwapChainPresent);
    return PresentChain(chain, sourceRect, destRect, destWindowOverride);
}

HRESULT SoftDevice9::PresentChain(SoftSwapChain9* chain, const RECT* sourceRect,
                                  const RECT* destRect, HWND destWindowOverride) {
    if (IsLost())
        return D3DERR_DEVICELOST;
    if (cooperativeLevel_ != D3D_OK)
        return cooperativeLevel_;  // occluded or mode changed: nothing shown
    return chain->CopyToWindow(sourceRect, destRect, destWindowOverride);
}

HRESULT SoftDevice9::Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                             const RGNDATA*) {
    Count(D3D9Call::Present);
    return PresentChain(implicitChain_.Get(), sourceRect, destRect, destWindowOverride);
}

HRESULT SoftDevice9::PresentEx(const RECT* sourceRect, const RECT* destRect,
                               HWND destWindowOverride, const RGNDATA*, DWORD) {
    Count(D3D9Call::PresentEx);
    return PresentChain(implicitChain_.Get(), sourceRect, destRect, destWindowOverride);
}

HRESULT SoftDevice9::CreateAdditionalSwapChain(D3DPRESENT_PARAMETERS* parameters,
                                               IDirect3DSwapChain9** swapChain) {
    Count(D3D9Call::CreateAdditionalSwapChain);
    if (!swapChain)
        return D3DERR_INVALIDCALL;
    *swapChain = nullptr;
    D3DPRESENT_PARAMETERS chain;
    HRESULT hr = CompleteParameters(parameters, &chain);
    if (FAILED(hr))
        return hr;
    *swapChain = new SoftSwapChain9(this, chain, true);
    return D3D_OK;
}

HRESULT SoftDevice9::GetSwapChain(UINT swapChain, IDirect3DSwapChain9** out) {
    Count(D3D9Call::GetSwapChain);
    if (!out)
        return D3DERR_INVALIDCALL;
    *out = nullptr;
    if (swapChain != 0)
        return D3DERR_INVALIDCALL;
    *out = implicitChain_.Get();
    (*out)->AddRef();
    return D3D_OK;
}

HRESULT SoftDevice9::GetBackBuffer(UINT swapChain, UINT backBuffer, D3DBACKBUFFER_TYPE type,
                                   IDirect3DSurface9** surface) {
    Count(D3D9Call::GetBackBuffer);
    if (swapChain != 0) {
        if (surface)
            *surface = nullptr;
        return D3DERR_INVALIDCALL;
    }
    return implicitChain_.Get()->GetBackBuffer(backBuffer, type, surface);
}

// ---------------------------------------------------------------------------------------------
// Device information
// ---------------------------------------------------------------------------------------------

UINT SoftDevice9::GetAvailableTextureMem() {
    Count(D3D9Call::GetAvailableTextureMem);
    ULONGLONG bytes = SoftAdapter::Current().textureMemoryBytes >> 20 << 20;
    return static_cast<UINT>(std::min<ULONGLONG>(bytes, 0xFFF00000u));
}

HRESULT SoftDevice9::EvictManagedResources() {
    Count(D3D9Call::EvictManagedResources);
    return D3D_OK;
}

HRESULT SoftDevice9::GetDirect3D(IDirect3D9** direct3d) {
    Count(D3D9Call::GetDirect3D);
    if (!direct3d)
        return D3DERR_INVALIDCALL;
    *direct3d = direct3d_;
    direct3d_->AddRef();
    return D3D_OK;
}

HRESULT SoftDevice9::GetDeviceCaps(D3DCAPS9* caps) {
    Count(D3D9Call::GetDeviceCaps);
    if (!caps)
        return D3DERR_INVALIDCALL;
    *caps = caps_;
    return D3D_OK;
}

HRESULT SoftDevice9::GetDisplayMode(UINT swapChain, D3DDISPLAYMODE* mode) {
    Count(D3D9Call::GetDisplayMode);
    if (swapChain != 0 || !mode)
        return D3DERR_INVALIDCALL;
    *mode = SoftAdapter::Current().displayMode;
    return D3D_OK;
}

// ---------------------------------------------------------------------------------------------
// Resources
// ---------------------------------------------------------------------------------------------

HRESULT SoftDevice9::CreateTextureOf(D3DRESOURCETYPE type, UINT width, UINT height, UINT levels,
                                     DWORD usage, D3DFORMAT format, D3DPOOL pool, void** out) {
    if (!out)
        return D3DERR_INVALIDCALL;
    *out = nullptr;
    const DWORD targetUsage = usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL);
    if (width == 0 || height == 0 || width > caps_.MaxTextureWidth ||
        height > caps_.MaxTextureHeight || !PoolAllowed(pool) ||
        targetUsage == (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL) ||
        (targetUsage && pool != D3DPOOL_DEFAULT) ||
        ((usage & D3DUSAGE_DYNAMIC) && pool == D3DPOOL_MANAGED))
        return D3DERR_INVALIDCALL;
    bool known;
    DWORD usages = FormatUsages(format, &known);
    if (!known || (usages & targetUsage) != targetUsage)
        return D3DERR_INVALIDCALL;
    if (D3D9Format::IsDepth(format) != (targetUsage == D3DUSAGE_DEPTHSTENCIL))
        return D3DERR_INVALIDCALL;

    HRESULT result = D3D_OK;
    bool autoGenerate = usage & D3DUSAGE_AUTOGENMIPMAP;
    if (autoGenerate) {
        if (pool == D3DPOOL_SYSTEMMEM || pool == D3DPOOL_SCRATCH || levels > 1)
            return D3DERR_INVALIDCALL;
        if (!(usages & D3DUSAGE_AUTOGENMIPMAP)) {
            // As Direct3D 9: made without the generated chain, and told so.
            autoGenerate = false;
            usage &= ~D3DUSAGE_AUTOGENMIPMAP;
            levels = 1;
            result = D3DOK_NOAUTOGEN;
        }
    }
    UINT full = SoftBaseTexture9::FullChainLevels(width, height);
    if (levels > full)
        return D3DERR_INVALIDCALL;
    SoftBaseTexture9::Params params{
        type,  width,  height, (levels == 0 || autoGenerate) ? full : levels,
        usage, format, pool,   autoGenerate};
    HRESULT hr = CheckAllocation(SoftBaseTexture9::TotalBytes(params), pool);
    if (FAILED(hr))
        return hr;
    bool blocks = pool == D3DPOOL_DEFAULT;
    if (type == D3DRTYPE_CUBETEXTURE)
        *out = static_cast<IDirect3DCubeTexture9*>(new SoftCubeTexture9(this, params, blocks));
    else
        *out = static_cast<IDirect3DTexture9*>(new SoftTexture9(this, params, blocks));
    return result;
}

HRESULT SoftDevice9::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage,
                                   D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture,
                                   HANDLE* sharedHandle) {
    Count(D3D9Call::CreateTexture);
    if (sharedHandle)
        return D3DERR_INVALIDCALL;
    return CreateTextureOf(D3DRTYPE_TEXTURE, width, height, levels, usage, format, pool,
                           reinterpret_cast<void**>(texture));
}

HRESULT SoftDevice9::CreateCubeTexture(UINT edgeLength, UINT levels, DWORD usage, D3DFORMAT format,
                                       D3DPOOL pool, IDirect3DCubeTexture9** texture,
                                       HANDLE* sharedHandle) {
    Count(D3D9Call::CreateCubeTexture);
    if (sharedHandle)
        return D3DERR_INVALIDCALL;
    return CreateTextureOf(D3DRTYPE_CUBETEXTURE, edgeLength, edgeLength, levels, usage, format,
                           pool, reinterpret_cast<void**>(texture));
}

HRESULT SoftDevice9::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                        IDirect3DVertexBuffer9** buffer, HANDLE* sharedHandle) {
    Count(D3D9Call::CreateVertexBuffer);
    if (!buffer)
        return D3DERR_INVALIDCALL;
    *buffer = nullptr;
    if (sharedHandle || length == 0 || !PoolAllowed(pool) ||
        (usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL | D3DUSAGE_AUTOGENMIPMAP)) ||
        ((usage & D3DUSAGE_DYNAMIC) && pool == D3DPOOL_MANAGED))
        return D3DERR_INVALIDCALL;
    if (fvf) {
        VertexLayout layout;
        if (!layout.SetFvf(fvf) || layout.StreamExtent(0) > length)
            return D3DERR_INVALIDCALL;
    }
    HRESULT hr = CheckAllocation(length, pool);
    if (FAILED(hr))
        return hr;
    *buffer = new SoftVertexBuffer9(this, length, usage, fvf, pool, pool == D3DPOOL_DEFAULT);
    return D3D_OK;
}

HRESULT SoftDevice9::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                       IDirect3DIndexBuffer9** buffer, HANDLE* sharedHandle) {
    Count(D3D9Call::CreateIndexBuffer);
    if (!buffer)
        return D3DERR_INVALIDCALL;
    *buffer = nullptr;
    if (sharedHandle || length == 0 || !PoolAllowed(pool) ||
        (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32) ||
        (usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL | D3DUSAGE_AUTOGENMIPMAP)) ||
        ((usage & D3DUSAGE_DYNAMIC) && pool == D3DPOOL_MANAGED))
        return D3DERR_INVALIDCALL;
    HRESULT hr = CheckAllocation(length, pool);
    if (FAILED(hr))
        return hr;
    *buffer = new SoftIndexBuffer9(this, length, usage, format, pool, pool == D3DPOOL_DEFAULT);
    return D3D_OK;
}

HRESULT SoftDevice9::CreateSurface(UINT width, UINT height, D3DFORMAT format, DWORD usage,
                                   D3DPOOL pool, D3DMULTISAMPLE_TYPE multiSample, DWORD quality,
                                   bool lockable, IDirect3DSurface9** out) {
    if (width == 0 || height == 0 || width > kMaxSurfaceSide || height > kMaxSurfaceSide)
        return D3DERR_INVALIDCALL;
    if (multiSample != D3DMULTISAMPLE_NONE &&
        (quality != 0 || !MultisampleSupported(format, multiSample)))
        return D3DERR_INVALIDCALL;
    ULONGLONG bytes = D3D9Format::IsDepth(format) ? 5ull * width * height
                                                  : D3D9Format::SurfaceBytes(format, width, height);
    HRESULT hr = CheckAllocation(bytes, pool);
    if (FAILED(hr))
        return hr;
    SoftSurface9::Params params{format, width, height, usage, pool, multiSample, quality, lockable};
    *out = new SoftSurface9(this, params, nullptr, pool == D3DPOOL_DEFAULT, true);
    return D3D_OK;
}

HRESULT SoftDevice9::CreateRenderTarget(UINT width, UINT height, D3DFORMAT format,
                                        D3DMULTISAMPLE_TYPE multiSample, DWORD multisampleQuality,
                                        BOOL lockable, IDirect3DSurface9** surface,
                                        HANDLE* sharedHandle) {
    Count(D3D9Call::CreateRenderTarget);
    if (!surface)
        return D3DERR_INVALIDCALL;
    *surface = nullptr;
    if (sharedHandle || !Supports(format, D3DUSAGE_RENDERTARGET) || D3D9Format::IsDepth(format) ||
        (lockable && multiSample != D3DMULTISAMPLE_NONE))
        return D3DERR_INVALIDCALL;
    return CreateSurface(width, height, format, D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT, multiSample,
                         multisampleQuality, lockable != FALSE, surface);
}

HRESULT SoftDevice9::CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format,
                                               D3DMULTISAMPLE_TYPE multiSample,
                                               DWORD multisampleQuality, BOOL,
                                               IDirect3DSurface9** surface, HANDLE* sharedHandle) {
    Count(D3D9Call::CreateDepthStencilSurface);
    if (!surface)
        return D3DERR_INVALIDCALL;
    *surface = nullptr;
    if (sharedHandle || !D3D9Format::IsDepth(format) || !Supports(format, D3DUSAGE_DEPTHSTENCIL))
        return D3DERR_INVALIDCALL;
    return CreateSurface(width, height, format, D3DUSAGE_DEPTHSTENCIL, D3DPOOL_DEFAULT, multiSample,
                         multisampleQuality, false, surface);
}

HRESULT SoftDevice9::CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format,
                                                 D3DPOOL pool, IDirect3DSurface9** surface,
                                                 HANDLE* sharedHandle) {
    Count(D3D9Call::CreateOffscreenPlainSurface);
    if (!surface)
        return D3DERR_INVALIDCALL;
    *surface = nullptr;
    bool known;
    FormatUsages(format, &known);
    if (sharedHandle || !known || D3D9Format::IsDepth(format) || pool == D3DPOOL_MANAGED ||
        !PoolAllowed(pool))
        return D3DERR_INVALIDCALL;
    // Off-screen plain surfaces lock in every pool.
    return CreateSurface(width, height, format, 0, pool, D3DMULTISAMPLE_NONE, 0, true, surface);
}

HRESULT SoftDevice9::UpdateSurface(IDirect3DSurface9* source, const RECT* sourceRect,
                                   IDirect3DSurface9* destination, const POINT* destPoint) {
    Count(D3D9Call::UpdateSurface);
    SoftSurface9* src = SoftSurface9::From(source);
    SoftSurface9* dst = SoftSurface9::From(destination);
    if (!OwnChild(src) || !OwnChild(dst) || src == dst || src->Desc().Pool != D3DPOOL_SYSTEMMEM ||
        dst->Desc().Pool != D3DPOOL_DEFAULT || src->Format() != dst->Format() || src->IsDepth())
        return D3DERR_INVALIDCALL;
    RECT sr = sourceRect ? *sourceRect : Whole(*src);
    POINT at = destPoint ? *destPoint : POINT{0, 0};
    RECT dr{at.x, at.y, at.x + (sr.right - sr.left), at.y + (sr.bottom - sr.top)};
    if (!InsideSurface(sr, *src) || !InsideSurface(dr, *dst) || !BlockAligned(sr, *src) ||
        !BlockAligned(dr, *dst))
        return D3DERR_INVALIDCALL;
    SoftSurface9::CopyRect(*src, sr, *dst, dr.left, dr.top);
    return D3D_OK;
}

HRESULT SoftDevice9::UpdateTexture(IDirect3DBaseTexture9* source,
                                   IDirect3DBaseTexture9* destination) {
    Count(D3D9Call::UpdateTexture);
    SoftBaseTexture9* src = SoftBaseTexture9::From(source);
    SoftBaseTexture9* dst = SoftBaseTexture9::From(destination);
    if (!OwnChild(src) || !OwnChild(dst) || src->Pool() != D3DPOOL_SYSTEMMEM ||
        dst->Pool() != D3DPOOL_DEFAULT || src->Type() != dst->Type() ||
        src->Format() != dst->Format())
        return D3DERR_INVALIDCALL;
    // The destination's level 0 matches the source level of the same size.
    UINT first = 0;
    while (first < src->ChainLevels() &&
           (src->Level(0, first)->Width() != dst->Level(0, 0)->Width() ||
            src->Level(0, first)->Height() != dst->Level(0, 0)->Height()))
        ++first;
    if (first == src->ChainLevels())
        return D3DERR_INVALIDCALL;
    UINT levels = dst->AutoGenerated() ? 1 : dst->VisibleLevels();
    if (first + levels > src->ChainLevels())
        return D3DERR_INVALIDCALL;
    for (UINT face = 0; face < dst->Faces(); ++face)
        for (UINT level = 0; level < levels; ++level) {
            const SoftSurface9& from = *src->Level(face, first + level);
            SoftSurface9::CopyRect(from, Whole(from), *dst->Level(face, level), 0, 0);
        }
    dst->GenerateMipChain();
    return D3D_OK;
}

HRESULT SoftDevice9::GetRenderTargetData(IDirect3DSurface9* renderTarget,
                                         IDirect3DSurface9* destination) {
    Count(D3D9Call::GetRenderTargetData);
    SoftSurface9* src = SoftSurface9::From(renderTarget);
    SoftSurface9* dst = SoftSurface9::From(destination);
    if (!OwnChild(src) || !OwnChild(dst) || !(src->Desc().Usage & D3DUSAGE_RENDERTARGET) ||
        src->Desc().MultiSampleType != D3DMULTISAMPLE_NONE ||
        dst->Desc().Pool != D3DPOOL_SYSTEMMEM || src->Format() != dst->Format() ||
        src->Width() != dst->Width() || src->Height() != dst->Height())
        return D3DERR_INVALIDCALL;
    if (IsLost())
        return D3DERR_DEVICELOST;
    SoftSurface9::CopyRect(*src, Whole(*src), *dst, 0, 0);
    return D3D_OK;
}

HRESULT SoftDevice9::StretchRect(IDirect3DSurface9* source, const RECT* sourceRect,
                                 IDirect3DSurface9* destination, const RECT* destRect,
                                 D3DTEXTUREFILTERTYPE filter) {
    Count(D3D9Call::StretchRect);
    SoftSurface9* src = SoftSurface9::From(source);
    SoftSurface9* dst = SoftSurface9::From(destination);
    if (!OwnChild(src) || !OwnChild(dst) || src->Desc().Pool != D3DPOOL_DEFAULT ||
        dst->Desc().Pool != D3DPOOL_DEFAULT || src->IsDepth() || dst->IsDepth())
        return D3DERR_INVALIDCALL;
    // The destination is a render target or an off-screen plain surface, not a plain texture level.
    bool targetable =
        (dst->Desc().Usage & D3DUSAGE_RENDERTARGET) || (!dst->Owner() && dst->Desc().Usage == 0);
    if (!targetable ||
        (filter != D3DTEXF_NONE && filter != D3DTEXF_POINT && filter != D3DTEXF_LINEAR))
        return D3DERR_INVALIDCALL;
    RECT sr = sourceRect ? *sourceRect : Whole(*src);
    RECT dr = destRect ? *destRect : Whole(*dst);
    if (!InsideSurface(sr, *src) || !InsideSurface(dr, *dst) || (src == dst && Overlap(sr, dr)))
        return D3DERR_INVALIDCALL;
    bool sameSize =
        sr.right - sr.left == dr.right - dr.left && sr.bottom - sr.top == dr.bottom - dr.top;
    if (src->Format() == dst->Format() && sameSize) {
        if (!BlockAligned(sr, *src) || !BlockAligned(dr, *dst))
            return D3DERR_INVALIDCALL;
        SoftSurface9::CopyRect(*src, sr, *dst, dr.left, dr.top);
        return D3D_OK;
    }
    if (!PixelCodec::Supports(src->Format()) || !PixelCodec::Supports(dst->Format()))
        return D3DERR_INVALIDCALL;
    SoftSurface9::Stretch(*src, sr, *dst, dr, filter == D3DTEXF_LINEAR);
    return D3D_OK;
}

// ---------------------------------------------------------------------------------------------
// Render targets, scenes and clearing
// ---------------------------------------------------------------------------------------------

HRESULT SoftDevice9::SetRenderTarget(DWORD index, IDirect3DSurface9* renderTarget) {
    Count(D3D9Call::SetRenderTarget);
    if (index >= caps_.NumSimultaneousRTs || index >= SoftDeviceState::kRenderTargets)
        return D3DERR_INVALIDCALL;
    if (!renderTarget) {
        if (index == 0)
            return D3DERR_INVALIDCALL;
        state_.renderTargets[index].Reset();
        return D3D_OK;
    }
    SoftSurface9* target = SoftSurface9::From(renderTarget);
    if (!OwnChild(target) || !(target->Desc().Usage & D3DUSAGE_RENDERTARGET))
        return D3DERR_INVALIDCALL;
    state_.renderTargets[index].Reset(target);
    if (index == 0) {
        state_.viewport = {0, 0, target->Width(), target->Height(), 0.0f, 1.0f};
        state_.scissorRect = Whole(*target);
    }
    return D3D_OK;
}

HRESULT SoftDevice9::GetRenderTarget(DWORD index, IDirect3DSurface9** renderTarget) {
    Count(D3D9Call::GetRenderTarget);
    if (!renderTarget)
        return D3DERR_INVALIDCALL;
    *renderTarget = nullptr;
    if (index >= caps_.NumSimultaneousRTs || index >= SoftDeviceState::kRenderTargets)
        return D3DERR_INVALIDCALL;
    SoftSurface9* target = state_.renderTargets[index].Get();
    if (!target)
        return D3DERR_NOTFOUND;
    *renderTarget = target;
    target->AddRef();
    return D3D_OK;
}

HRESULT SoftDevice9::SetDepthStencilSurface(IDirect3DSurface9* surface) {
    Count(D3D9Call::SetDepthStencilSurface);
    if (!surface) {
        state_.depthStencil.Reset();
        return D3D_OK;
    }
    SoftSurface9* depth = SoftSurface9::From(surface);
    if (!OwnChild(depth) || !(depth->Desc().Usage & D3DUSAGE_DEPTHSTENCIL))
        return D3DERR_INVALIDCALL;
    state_.depthStencil.Reset(depth);
    return D3D_OK;
}

HRESULT SoftDevice9::GetDepthStencilSurface(IDirect3DSurface9** surface) {
    Count(D3D9Call::GetDepthStencilSurface);
    if (!surface)
        return D3DERR_INVALIDCALL;
    *surface = state_.depthStencil.Get();
    if (!*surface)
        return D3DERR_NOTFOUND;
    (*surface)->AddRef();
    return D3D_OK;
}

HRESULT SoftDevice9::BeginScene() {
    Count(D3D9Call::BeginScene);
    if (inScene_)
        return D3DERR_INVALIDCALL;
    inScene_ = true;
    return D3D_OK;
}

HRESULT SoftDevice9::EndScene() {
    Count(D3D9Call::EndScene);
    if (!inScene_)
        return D3DERR_INVALIDCALL;
    inScene_ = false;
    return D3D_OK;
}

HRESULT SoftDevice9::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                           DWORD stencil) {
    Count(D3D9Call::Clear);
    if ((count && !rects) || !(flags & (D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)))
        return D3DERR_INVALIDCALL;
    SoftSurface9* depth = state_.depthStencil.Get();
    if ((flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) && !depth)
        return D3DERR_INVALIDCALL;
    if ((flags & D3DCLEAR_STENCIL) && !depth->HasStencil())
        return D3DERR_INVALIDCALL;
    if (IsLost())
        return D3D_OK;

    const D3DVIEWPORT9& vp = state_.viewport;
    RECT area{static_cast<LONG>(vp.X), static_cast<LONG>(vp.Y), static_cast<LONG>(vp.X + vp.Width),
              static_cast<LONG>(vp.Y + vp.Height)};
    if (state_.renderStates[D3DRS_SCISSORTESTENABLE])
        area = Intersect(area, state_.scissorRect);
    auto clear = [&](const RECT& r) {
        if (flags & D3DCLEAR_TARGET)
            for (auto& target : state_.renderTargets)
                if (target)
                    target.Get()->FillColor(r, color);
        if (flags & D3DCLEAR_ZBUFFER)
            depth->FillDepth(r, z);
        if (flags & D3DCLEAR_STENCIL)
            depth->FillStencil(r, static_cast<BYTE>(stencil));
    };
    if (count == 0) {
        clear(area);
    } else {
        for (DWORD i = 0; i < count; ++i)
            clear(Intersect(area, RECT{rects[i].x1, rects[i].y1, rects[i].x2, rects[i].y2}));
    }
    return D3D_OK;
}

// ---------------------------------------------------------------------------------------------
// Fixed-function state
// ---------------------------------------------------------------------------------------------

HRESULT SoftDevice9::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
    Count(D3D9Call::SetTransform);
    if (!matrix || !SoftDeviceState::IsTransform(state))
        return D3DERR_INVALIDCALL;
    state_.transforms[state] = *matrix;
    return D3D_OK;
}

HRESULT SoftDevice9::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) {
    Count(D3D9Call::GetTransform);
    if (!matrix || !SoftDeviceState::IsTransform(state))
        return D3DERR_INVALIDCALL;
    *matrix = state_.transforms[state];
    return D3D_OK;
}

HRESULT SoftDevice9::SetViewport(const D3DVIEWPORT9* viewport) {
    Count(D3D9Call::SetViewport);
    if (!viewport)
        return D3DERR_INVALIDCALL;
    const SoftSurface9& target = *state_.renderTargets[0].Get();
    bool inside = static_cast<ULONGLONG>(viewport->X) + viewport->Width <= target.Width() &&
                  static_cast<ULONGLONG>(viewport->Y) + viewport->Height <= target.Height();
    bool depthRange = viewport->MinZ >= 0.0f && viewport->MinZ <= 1.0f && viewport->MaxZ >= 0.0f &&
                      viewport->MaxZ <= 1.0f;  // false for NaN too
    if (!inside || !depthRange)
        return D3DERR_INVALIDCALL;
    state_.viewport = *viewport;
    return D3D_OK;
}

HRESULT SoftDevice9::GetViewport(D3DVIEWPORT9* viewport) {
    Count(D3D9Call::GetViewport);
    if (!viewport)
        return D3DERR_INVALIDCALL;
    *viewport = state_.viewport;
    return D3D_OK;
}

HRESULT SoftDevice9::SetMaterial(const D3DMATERIAL9* material) {
    Count(D3D9Call::SetMaterial);
    if (!material)
        return D3DERR_INVALIDCALL;
    state_.material = *material;
    return D3D_OK;
}

HRESULT SoftDevice9::GetMaterial(D3DMATERIAL9* material) {
    Count(D3D9Call::GetMaterial);
    if (!material)
        return D3DERR_INVALIDCALL;
    *material = state_.material;
    return D3D_OK;
}

HRESULT SoftDevice9::SetLight(DWORD index, const D3DLIGHT9* light) {
    Count(D3D9Call::SetLight);
    if (!light || light->Type < D3DLIGHT_POINT || light->Type > D3DLIGHT_DIRECTIONAL)
        return D3DERR_INVALIDCALL;
    auto it = state_.lights.find(index);
    bool enabled = it != state_.lights.end() && it->second.enabled;
    state_.lights[index] = {*light, enabled};
    return D3D_OK;
}

HRESULT SoftDevice9::GetLight(DWORD index, D3DLIGHT9* light) {
    Count(D3D9Call::GetLight);
    auto it = state_.lights.find(index);
    if (!light || it == state_.lights.end())
        return D3DERR_INVALIDCALL;
    *light = it->second.light;
    return D3D_OK;
}

HRESULT SoftDevice9::LightEnable(DWORD index, BOOL enable) {
    Count(D3D9Call::LightEnable);
    auto it = state_.lights.find(index);
    if (it == state_.lights.end())
        it = state_.lights
                 .emplace(index, SoftDeviceState::Light{SoftDeviceState::DefaultLight(), false})
                 .first;
    it->second.enabled = enable != FALSE;
    return D3D_OK;
}

HRESULT SoftDevice9::GetLightEnable(DWORD index, BOOL* enable) {
    Count(D3D9Call::GetLightEnable);
    auto it = state_.lights.find(index);
    if (!enable || it == state_.lights.end())
        return D3DERR_INVALIDCALL;
    *enable = it->second.enabled ? TRUE : FALSE;
    return D3D_OK;
}

HRESULT SoftDevice9::SetClipPlane(DWORD index, const float* plane) {
    Count(D3D9Call::SetClipPlane);
    if (!plane || index >= caps_.MaxUserClipPlanes || index >= SoftDeviceState::kClipPlanes)
        return D3DERR_INVALIDCALL;
    std::copy(plane, plane + 4, state_.clipPlanes[index].begin());
    return D3D_OK;
}

HRESULT SoftDevice9::GetClipPlane(DWORD index, float* plane) {
    Count(D3D9Call::GetClipPlane);
    if (!plane || index >= caps_.MaxUserClipPlanes || index >= SoftDeviceState::kClipPlanes)
        return D3DERR_INVALIDCALL;
    std::copy(state_.clipPlanes[index].begin(), state_.clipPlanes[index].end(), plane);
    return D3D_OK;
}

HRESULT SoftDevice9::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    Count(D3D9Call::SetRenderState);
    if (!SoftDeviceState::IsRenderState(state))
        return D3DERR_INVALIDCALL;
    state_.renderStates[state] = value;
    return D3D_OK;
}

HRESULT SoftDevice9::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
    Count(D3D9Call::GetRenderState);
    if (!value || !SoftDeviceState::IsRenderState(state))
        return D3DERR_INVALIDCALL;
    *value = state_.renderStates[state];
    return D3D_OK;
}

HRESULT SoftDevice9::GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) {
    Count(D3D9Call::GetTexture);
    if (!texture || stage >= SoftDeviceState::kSamplers)
        return D3DERR_INVALIDCALL;
    SoftBaseTexture9* bound = state_.textures[stage].Get();
    *texture = bound ? bound->AsBaseTexture() : nullptr;
    if (*texture)
        (*texture)->AddRef();
    return D3D_OK;
}

HRESULT SoftDevice9::SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) {
    Count(D3D9Call::SetTexture);
    if (stage >= SoftDeviceState::kSamplers)
        return D3DERR_INVALIDCALL;
    return BindSlot(state_.textures[stage], texture);
}

HRESULT SoftDevice9::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type,
                                          DWORD* value) {
    Count(D3D9Call::GetTextureStageState);
    if (!value || stage >= SoftDeviceState::kStages || !SoftDeviceState::IsStageState(type))
        return D3DERR_INVALIDCALL;
    *value = state_.stageStates[stage][type];
    return D3D_OK;
}

HRESULT SoftDevice9::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
    Count(D3D9Call::SetTextureStageState);
    if (stage >= SoftDeviceState::kStages || !SoftDeviceState::IsStageState(type))
        return D3DERR_INVALIDCALL;
    state_.stageStates[stage][type] = value;
    return D3D_OK;
}

HRESULT SoftDevice9::GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) {
    Count(D3D9Call::GetSamplerState);
    if (!value || sampler >= SoftDeviceState::kSamplers || !SoftDeviceState::IsSamplerState(type))
        return D3DERR_INVALIDCALL;
    *value = state_.samplerStates[sampler][type];
    return D3D_OK;
}

HRESULT SoftDevice9::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) {
    Count(D3D9Call::SetSamplerState);
    if (sampler >= SoftDeviceState::kSamplers || !SoftDeviceState::IsSamplerState(type))
        return D3DERR_INVALIDCALL;
    state_.samplerStates[sampler][type] = value;
    return D3D_OK;
}

HRESULT SoftDevice9::SetScissorRect(const RECT* rect) {
    Count(D3D9Call::SetScissorRect);
    if (!rect)
        return D3DERR_INVALIDCALL;
    state_.scissorRect = *rect;
    return D3D_OK;
}

HRESULT SoftDevice9::GetScissorRect(RECT* rect) {
    Count(D3D9Call::GetScissorRect);
    if (!rect)
        return D3DERR_INVALIDCALL;
    *rect = state_.scissorRect;
    return D3D_OK;
}

HRESULT SoftDevice9::SetNPatchMode(float segments) {
    Count(D3D9Call::SetNPatchMode);
    if (!(segments >= 0.0f))
        return D3DERR_INVALIDCALL;
    state_.nPatchSegments = segments;
    return D3D_OK;
}

float SoftDevice9::GetNPatchMode() {
    Count(D3D9Call::GetNPatchMode);
    return state_.nPatchSegments;
}

// ---------------------------------------------------------------------------------------------
// Drawing
// ---------------------------------------------------------------------------------------------

void SoftDevice9::ExecuteDraw(const SoftDrawCall& call) {
    AddOcclusionSamples(pipeline_->Draw(call, state_));
}

HRESULT SoftDevice9::FinishDraw(HRESULT checked, const SoftDrawCall& call) {
    if (checked == S_FALSE)
        return D3D_OK;  // a draw of nothing
    if (FAILED(checked))
        return checked;
    ExecuteDraw(call);
    ++draws_.draws;
    switch (call.kind) {
        case SoftDrawCall::Kind::Primitive:
            ++draws_.drawPrimitive;
            break;
        case SoftDrawCall::Kind::IndexedPrimitive:
            ++draws_.drawIndexedPrimitive;
            break;
        case SoftDrawCall::Kind::PrimitiveUP:
            ++draws_.drawPrimitiveUP;
            break;
        case SoftDrawCall::Kind::IndexedPrimitiveUP:
            ++draws_.drawIndexedPrimitiveUP;
            break;
    }
    draws_.primitives += call.primitiveCount;
    return D3D_OK;
}

HRESULT SoftDevice9::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) {
    Count(D3D9Call::DrawPrimitive);
    if (IsLost())
        return D3D_OK;
    SoftDrawCall call{};
    return FinishDraw(
        DrawValidation::Primitive(state_, caps_, type, startVertex, primitiveCount, &call), call);
}

HRESULT SoftDevice9::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex,
                                          UINT minVertexIndex, UINT numVertices, UINT startIndex,
                                          UINT primitiveCount) {
    Count(D3D9Call::DrawIndexedPrimitive);
    if (IsLost())
        return D3D_OK;
    SoftDrawCall call{};
    return FinishDraw(
        DrawValidation::IndexedPrimitive(state_, caps_, type, baseVertexIndex, minVertexIndex,
                                         numVertices, startIndex, primitiveCount, &call),
        call);
}

HRESULT SoftDevice9::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount,
                                     const void* vertexData, UINT vertexStride) {
    Count(D3D9Call::DrawPrimitiveUP);
    SoftDrawCall call{};
    HRESULT hr = IsLost() ? S_FALSE
                          : DrawValidation::PrimitiveUP(state_, caps_, type, primitiveCount,
                                                        vertexData, vertexStride, &call);
    hr = FinishDraw(hr, call);
    if (SUCCEEDED(hr)) {
        // As Direct3D 9: the caller's memory replaced stream 0, which is left unbound.
        state_.streams[0].buffer.Reset();
        state_.streams[0].offset = state_.streams[0].stride = 0;
    }
    return hr;
}

HRESULT SoftDevice9::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minVertexIndex,
                                            UINT numVertices, UINT primitiveCount,
                                            const void* indexData, D3DFORMAT indexFormat,
                                            const void* vertexData, UINT vertexStride) {
    Count(D3D9Call::DrawIndexedPrimitiveUP);
    SoftDrawCall call{};
    HRESULT hr = IsLost() ? S_FALSE
                          : DrawValidation::IndexedPrimitiveUP(
                                state_, caps_, type, minVertexIndex, numVertices, primitiveCount,
                                indexData, indexFormat, vertexData, vertexStride, &call);
    hr = FinishDraw(hr, call);
    if (SUCCEEDED(hr)) {
        state_.streams[0].buffer.Reset();
        state_.streams[0].offset = state_.streams[0].stride = 0;
        state_.indices.Reset();
    }
    return hr;
}

// ---------------------------------------------------------------------------------------------
// Vertex input
// ---------------------------------------------------------------------------------------------

HRESULT SoftDevice9::CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements,
                                             IDirect3DVertexDeclaration9** declaration) {
    Count(D3D9Call::CreateVertexDeclaration);
    if (!declaration)
        return D3DERR_INVALIDCALL;
    *declaration = nullptr;
    VertexLayout layout;
    if (!layout.SetElements(elements))
        return D3DERR_INVALIDCALL;
    *declaration = new SoftVertexDeclaration9(this, layout);
    return D3D_OK;
}

HRESULT SoftDevice9::SetVertexDeclaration(IDirect3DVertexDeclaration9* declaration) {
    Count(D3D9Call::SetVertexDeclaration);
    HRESULT hr = BindSlot(state_.declaration, declaration);
    if (SUCCEEDED(hr) && declaration)
        state_.fvf = 0;
    return hr;
}

HRESULT SoftDevice9::GetVertexDeclaration(IDirect3DVertexDeclaration9** declaration) {
    Count(D3D9Call::GetVertexDeclaration);
    return AnswerSlot(state_.declaration, declaration);
}

HRESULT SoftDevice9::SetFVF(DWORD fvf) {
    Count(D3D9Call::SetFVF);
    if (fvf == 0) {
        state_.fvf = 0;
        return D3D_OK;
    }
    VertexLayout layout;
    if (!layout.SetFvf(fvf))
        return D3DERR_INVALIDCALL;
    state_.fvfLayout = layout;
    state_.fvf = fvf;
    state_.declaration.Reset();
    return D3D_OK;
}

HRESULT SoftDevice9::GetFVF(DWORD* fvf) {
    Count(D3D9Call::GetFVF);
    if (!fvf)
        return D3DERR_INVALIDCALL;
    *fvf = state_.fvf;
    return D3D_OK;
}

HRESULT SoftDevice9::SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer,
                                     UINT offsetInBytes, UINT stride) {
    Count(D3D9Call::SetStreamSource);
    if (stream >= SoftDeviceState::kStreams || stride > caps_.MaxStreamStride)
        return D3DERR_INVALIDCALL;
    SoftDeviceState::Stream& slot = state_.streams[stream];
    HRESULT hr = BindSlot(slot.buffer, buffer);
    if (FAILED(hr))
        return hr;
    slot.offset = offsetInBytes;
    slot.stride = stride;
    return D3D_OK;
}

HRESULT SoftDevice9::GetStreamSource(UINT stream, IDirect3DVertexBuffer9** buffer,
                                     UINT* offsetInBytes, UINT* stride) {
    Count(D3D9Call::GetStreamSource);
    if (!buffer || !offsetInBytes || !stride || stream >= SoftDeviceState::kStreams)
        return D3DERR_INVALIDCALL;
    const SoftDeviceState::Stream& slot = state_.streams[stream];
    *offsetInBytes = slot.offset;
    *stride = slot.stride;
    return AnswerSlot(slot.buffer, buffer);
}

HRESULT SoftDevice9::SetIndices(IDirect3DIndexBuffer9* indexData) {
    Count(D3D9Call::SetIndices);
    return BindSlot(state_.indices, indexData);
}

HRESULT SoftDevice9::GetIndices(IDirect3DIndexBuffer9** indexData) {
    Count(D3D9Call::GetIndices);
    return AnswerSlot(state_.indices, indexData);
}

// ---------------------------------------------------------------------------------------------
// Shaders and constants
// ---------------------------------------------------------------------------------------------

HRESULT SoftDevice9::CreateVertexShader(const DWORD* function, IDirect3DVertexShader9** shader) {
    Count(D3D9Call::CreateVertexShader);
    return CreateShader<SoftVertexShader9>(function, shader);
}

HRESULT SoftDevice9::SetVertexShader(IDirect3DVertexShader9* shader) {
    Count(D3D9Call::SetVertexShader);
    return BindSlot(state_.vertexShader, shader);
}

HRESULT SoftDevice9::GetVertexShader(IDirect3DVertexShader9** shader) {
    Count(D3D9Call::GetVertexShader);
    return AnswerSlot(state_.vertexShader, shader);
}

HRESULT SoftDevice9::CreatePixelShader(const DWORD* function, IDirect3DPixelShader9** shader) {
    Count(D3D9Call::CreatePixelShader);
    return CreateShader<SoftPixelShader9>(function, shader);
}

HRESULT SoftDevice9::SetPixelShader(IDirect3DPixelShader9* shader) {
    Count(D3D9Call::SetPixelShader);
    return BindSlot(state_.pixelShader, shader);
}

HRESULT SoftDevice9::GetPixelShader(IDirect3DPixelShader9** shader) {
    Count(D3D9Call::GetPixelShader);
    return AnswerSlot(state_.pixelShader, shader);
}

HRESULT SoftDevice9::SetVertexShaderConstantF(UINT start, const float* data, UINT count) {
    Count(D3D9Call::SetVertexShaderConstantF);
    return SetConstants(state_.vertexFloats.data(), SoftDeviceState::kVertexFloatConstants, 4,
                        start, data, count);
}

HRESULT SoftDevice9::GetVertexShaderConstantF(UINT start, float* data, UINT count) {
    Count(D3D9Call::GetVertexShaderConstantF);
    return GetConstants(state_.vertexFloats.data(), SoftDeviceState::kVertexFloatConstants, 4,
                        start, data, count);
}

HRESULT SoftDevice9::SetVertexShaderConstantI(UINT start, const int* data, UINT count) {
    Count(D3D9Call::SetVertexShaderConstantI);
    return SetConstants(state_.vertexInts.data(), SoftDeviceState::kIntConstants, 4, start, data,
                        count);
}

HRESULT SoftDevice9::GetVertexShaderConstantI(UINT start, int* data, UINT count) {
    Count(D3D9Call::GetVertexShaderConstantI);
    return GetConstants(state_.vertexInts.data(), SoftDeviceState::kIntConstants, 4, start, data,
                        count);
}

HRESULT SoftDevice9::SetVertexShaderConstantB(UINT start, const BOOL* data, UINT count) {
    Count(D3D9Call::SetVertexShaderConstantB);
    return SetConstants(state_.vertexBools.data(), SoftDeviceState::kBoolConstants, 1, start, data,
                        count);
}

HRESULT SoftDevice9::GetVertexShaderConstantB(UINT start, BOOL* data, UINT count) {
    Count(D3D9Call::GetVertexShaderConstantB);
    return GetConstants(state_.vertexBools.data(), SoftDeviceState::kBoolConstants, 1, start, data,
                        count);
}

HRESULT SoftDevice9::SetPixelShaderConstantF(UINT start, const float* data, UINT count) {
    Count(D3D9Call::SetPixelShaderConstantF);
    return SetConstants(state_.pixelFloats.data(), SoftDeviceState::kPixelFloatConstants, 4, start,
                        data, count);
}

HRESULT SoftDevice9::GetPixelShaderConstantF(UINT start, float* data, UINT count) {
    Count(D3D9Call::GetPixelShaderConstantF);
    return GetConstants(state_.pixelFloats.data(), SoftDeviceState::kPixelFloatConstants, 4, start,
                        data, count);
}

HRESULT SoftDevice9::SetPixelShaderConstantI(UINT start, const int* data, UINT count) {
    Count(D3D9Call::SetPixelShaderConstantI);
    return SetConstants(state_.pixelInts.data(), SoftDeviceState::kIntConstants, 4, start, data,
                        count);
}

HRESULT SoftDevice9::GetPixelShaderConstantI(UINT start, int* data, UINT count) {
    Count(D3D9Call::GetPixelShaderConstantI);
    return GetConstants(state_.pixelInts.data(), SoftDeviceState::kIntConstants, 4, start, data,
                        count);
}

HRESULT SoftDevice9::SetPixelShaderConstantB(UINT start, const BOOL* data, UINT count) {
    Count(D3D9Call::SetPixelShaderConstantB);
    return SetConstants(state_.pixelBools.data(), SoftDeviceState::kBoolConstants, 1, start, data,
                        count);
}

HRESULT SoftDevice9::GetPixelShaderConstantB(UINT start, BOOL* data, UINT count) {
    Count(D3D9Call::GetPixelShaderConstantB);
    return GetConstants(state_.pixelBools.data(), SoftDeviceState::kBoolConstants, 1, start, data,
                        count);
}

// ---------------------------------------------------------------------------------------------
// Queries
// ---------------------------------------------------------------------------------------------

HRESULT SoftDevice9::CreateQuery(D3DQUERYTYPE type, IDirect3DQuery9** query) {
    Count(D3D9Call::CreateQuery);
    if (query)
        *query = nullptr;
    if (type != D3DQUERYTYPE_OCCLUSION || !SoftAdapter::Current().occlusionQueries)
        return D3DERR_NOTAVAILABLE;
    if (query)
        *query = new SoftQuery9(this, type);
    return D3D_OK;
}
