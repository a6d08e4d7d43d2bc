#include "Render/d3d9/RenderTargetD3D9.h"

#include <algorithm>

#include "Core/ErrorReport.h"
#include "Core/Globals.h"
#include "Core/LogDispatch.h"
#include "Core/threadmng.h"
#include "Entity/Image/PixelFormat.h"
#include "Entity/Texture/TextureManager.h"
#include "Platform/D3DX9/D3DX9Save.h"
#include "Render/d3d9/RenderDeviceD3D9.h"

namespace Zel {
namespace {

constexpr std::uint32_t kStagingFlagBit5 = 0x20;
constexpr std::uint32_t kCreatedTextureFlag = 0x2;

// The budget check and charge of the texture manager; without one nothing is charged. The
// collection a refusal runs purges what only the manager holds: the target asking is held across
// it so that it is not among them.
bool ReserveVideoMemory(TextureBase* target, std::uint64_t bytes, std::uint32_t* charged) {
    *charged = 0;
    TextureManager* textures = Globals::Find(&Globals::GetTextureManager);
    if (!textures)
        return true;
    if (bytes > 0xFFFFFFFFu)
        return false;
    target->AddRef();
    const bool reserved = textures->ReserveVideoMemory(std::uint32_t(bytes));
    target->DecRef();
    if (!reserved)
        return false;
    *charged = std::uint32_t(bytes);
    return true;
}

void RefundVideoMemory(std::uint32_t* charged) {
    if (*charged == 0)
        return;
    if (TextureManager* textures = Globals::Find(&Globals::GetTextureManager))
        textures->RemoveDeviceTextureBytes(*charged);
    *charged = 0;
}

}  // namespace

RenderTargetD3D9::RenderTargetD3D9(RenderDevice* device, std::uint32_t isDepthStencil)
    : RenderTarget(0, device, isDepthStencil),
      d3dDevice_(dynamic_cast<RenderDeviceD3D9*>(device)) {}

RenderTargetD3D9::~RenderTargetD3D9() {
    UnlockLevel();
    ReleaseSurfaceAndTexture();
}

std::uint64_t RenderTargetD3D9::VideoMemorySize(int width, int height, int levels, int format) {
    return GetPixelFormatByteSize(std::uint32_t(std::max(width, 0)),
                                  std::uint32_t(std::max(height, 0)),
                                  std::uint32_t(std::max(levels, 1)), std::uint32_t(format)) *
           4 / 3;
}

IDirect3DDevice9* RenderTargetD3D9::D3DDevice() const {
    return d3dDevice_ ? d3dDevice_->GetD3DDevice() : nullptr;
}

void RenderTargetD3D9::ReleaseSurfaceAndTexture() {
    if (surface_)
        surface_->Release();
    surface_ = nullptr;
    if (texture_)
        texture_->Release();
    texture_ = nullptr;
    RefundVideoMemory(&chargedBytes_);
}

bool RenderTargetD3D9::ReleaseDeviceObjects() {
    lost_ = 1;
    UnlockLevel();
    ReleaseSurfaceAndTexture();
    // The staging texture goes back to the manager, which purges it once nobody holds it.
    staging_.Reset();
    return true;
}

bool RenderTargetD3D9::CreateDeviceObjects(const char* textureCall, const char* surfaceCall) {
    IDirect3DDevice9* device = D3DDevice();
    const D3DFORMAT format = static_cast<D3DFORMAT>(GetPixelFormatD3DFormat(format_));
    if (!device) {
        ReleaseSurfaceAndTexture();
        return false;
    }
    threadmng* threads = threadmng::GetInstance();
    const int access = threads->BeginDeviceAccess();
    HRESULT hr;
    if (!IsDepthStencil()) {
        IDirect3DTexture9* texture = nullptr;
        hr = device->CreateTexture(UINT(width_), UINT(height_), 1, D3DUSAGE_RENDERTARGET, format,
                                   D3DPOOL_DEFAULT, &texture, nullptr);
        if (FAILED(hr)) {
            d3dDevice_->LogD3DError(textureCall, hr, "");
        } else {
            texture_ = texture;
            hr = texture->GetSurfaceLevel(0, &surface_);
        }
    } else {
        hr = device->CreateDepthStencilSurface(UINT(width_), UINT(height_), format,
                                               D3DMULTISAMPLE_NONE, 0, TRUE, &surface_, nullptr);
        if (FAILED(hr))
            d3dDevice_->LogD3DError(surfaceCall, hr, "");
    }
    if (access)
        threads->EndDeviceAccess();
    // A failure leaves nothing made and nothing charged.
    if (FAILED(hr)) {
        ReleaseSurfaceAndTexture();
        return false;
    }
    return true;
}

bool RenderTargetD3D9::Create(int width, int height, int levels, int usage, int format,
                              int /*unused*/, bool /*unusedDynamic*/) {
    // Held for the call, so the purge of the budget check cannot delete the target itself.
    AddRef();
    // A second creation gives back what the first one made and charged.
    UnlockLevel();
    ReleaseSurfaceAndTexture();
    staging_.Reset();
    flags_ |= kCreatedTextureFlag;
    lost_ = 0;
    bool ok = false;
    std::uint32_t charged = 0;
    if (width <= 0 || height <= 0 || GetPixelFormatD3DFormat(std::uint32_t(format)) == 0) {
        ReportError("RenderTargetD3D9::Create: bad size %d x %d or format %d", width, height,
                    format);
    } else if (!ReserveVideoMemory(this, VideoMemorySize(width, height, levels, format), &charged)) {
        LogTyped(LOG_ENGINE_INIT,
                 "RenderTargetD3D9::Create failed: not enough video memory for %d x %d", width,
                 height);
    } else {
        width_ = width;
        height_ = height;
        depth_ = levels;
        type_ = usage;
        format_ = format;
        chargedBytes_ = charged;
        ok = CreateDeviceObjects("RenderTargetD3D9::Create CreateTexture",
                                 "RenderTargetD3D9::Create CreateDepthStencilSurface");
        if (!ok) {
            ReportError("RenderTargetD3D9::Create: Direct3D could not create the %s (%d x %d)",
                        IsDepthStencil() ? "depth-stencil surface" : "texture", width, height);
        }
    }
    // A target whose creation failed has nothing a reset could make again.
    if (!ok)
        width_ = height_ = 0;
    DecRef();
    return ok;
}

bool RenderTargetD3D9::RecreateDeviceObjects() {
    lost_ = 0;
    flags_ |= kCreatedTextureFlag;
    targetFlags_ |= kCreated;
    // A target that was never made has nothing to make again.
    if (surface_ || !d3dDevice_ || width_ <= 0 || height_ <= 0)
        return surface_ != nullptr;
    AddRef();
    bool ok = false;
    std::uint32_t charged = 0;
    if (!ReserveVideoMemory(this, VideoMemorySize(width_, height_, 1, format_), &charged)) {
        LogTyped(LOG_ENGINE_INIT, "RenderTarget Reset");
    } else {
        chargedBytes_ = charged;
        ok = CreateDeviceObjects("RenderTargetD3D9::RecreateHardwareResource CreateTexture",
                                 "RenderTargetD3D9::RecreateHardwareResource "
                                 "CreateDepthStencilSurface");
    }
    DecRef();
    return ok;
}

void RenderTargetD3D9::AttachSurface(IDirect3DSurface9* surface, int width, int height, int format,
                                     std::uint32_t chargedBytes) {
    UnlockLevel();
    ReleaseSurfaceAndTexture();
    staging_.Reset();
    if (surface)
        surface->AddRef();
    surface_ = surface;
    width_ = width;
    height_ = height;
    depth_ = 1;
    format_ = format;
    chargedBytes_ = surface ? chargedBytes : 0;
    lost_ = surface ? 0 : 1;
}

bool RenderTargetD3D9::CopyToTexture(TextureBase* texture) {
    IDirect3DDevice9* device = D3DDevice();
    IDirect3DTexture9* destination = texture ? texture->GetDeviceTexture() : nullptr;
    if (!device || !surface_ || !destination)
        return false;
    IDirect3DSurface9* level = nullptr;
    if (FAILED(destination->GetSurfaceLevel(0, &level)))
        return false;
    const HRESULT hr = device->GetRenderTargetData(surface_, level);
    level->Release();
    return SUCCEEDED(hr);
}

bool RenderTargetD3D9::LockLevel(int level, std::int32_t* pitch, void** bits, const RECT* rect,
                                 std::uint32_t mode) {
    if (!pitch || !bits)
        return false;
    *pitch = 0;
    *bits = nullptr;
    if (level != 0 || lockedLevel_ >= 0 || !surface_)
        return false;
    if (!staging_) {
        TextureManager* textures = Globals::Find(&Globals::GetTextureManager);
        TextureBase* staging =
            textures ? textures->CreateStagingTexture(width_, height_, format_) : nullptr;
        if (!staging)
            return false;
        staging->SetName("RenderTargetLockUse");
        staging->SetFlags(staging->GetFlags() & ~kStagingFlagBit5);
        staging_.Assign(staging);
    }
    // A pool-2 texture's copy from a render target is this read-back.
    if (!CopyToTexture(staging_.Get()))
        return false;
    deviceAccess_ = threadmng::GetInstance()->BeginDeviceAccess();
    if (!staging_->LockLevel(0, pitch, bits, rect, mode)) {
        if (deviceAccess_)
            threadmng::GetInstance()->EndDeviceAccess();
        deviceAccess_ = 0;
        return false;
    }
    lockedLevel_ = 0;
    return true;
}

void RenderTargetD3D9::UnlockLevel() {
    if (lockedLevel_ < 0)
        return;
    if (staging_)
        staging_->UnlockLevel();
    if (deviceAccess_)
        threadmng::GetInstance()->EndDeviceAccess();
    deviceAccess_ = 0;
    lockedLevel_ = -1;
}

bool RenderTargetD3D9::SaveToFile(const char* path, int imageKind) {
    if (!surface_ || !path || imageKind < 0 || imageKind > 4)
        return false;
    return SUCCEEDED(D3DXSaveSurfaceToFileA(path, static_cast<D3DXIMAGE_FILEFORMAT>(imageKind),
                                            surface_, nullptr, nullptr));
}

}  // namespace Zel
