#include "Render/d3d9/RenderWindowD3D9.h"

#include <cstdint>
#include <cstdio>
#include <utility>

#include "Core/ErrorReport.h"
#include "Core/FrameStats.h"
#include "Core/Globals.h"
#include "Core/LogDispatch.h"
#include "Entity/Image/PixelFormat.h"
#include "Render/d3d9/D3D9Mapping.h"
#include "Entity/Material/Material.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Material/Pass.h"
#include "Entity/Texture/TextureManager.h"
#include "Render/RenderSystem.h"
#include "Platform/D3DX9/D3DX9Save.h"
#include "Platform/Win32/Win32Time.h"
#include "Render/d3d9/RenderDeviceD3D9.h"
#include "Render/d3d9/RenderTargetD3D9.h"

namespace Zel {
namespace {

std::uint32_t SurfaceBytes(std::uint32_t width, std::uint32_t height, std::uint32_t format) {
    return static_cast<std::uint32_t>(GetPixelFormatByteSize(width, height, 1, format));
}

// Level 0 of a texture's device texture (one reference for the caller); null when it has none.
IDirect3DSurface9* TopLevel(const TextureBase* texture) {
    IDirect3DTexture9* d3d = texture ? texture->GetDeviceTexture() : nullptr;
    IDirect3DSurface9* surface = nullptr;
    if (d3d && FAILED(d3d->GetSurfaceLevel(0, &surface)))
        surface = nullptr;
    return surface;
}

}  // namespace

RenderWindowD3D9::RenderWindowD3D9(RenderSystem* renderSystem, std::uint32_t poolCode,
                                   RenderDevice* device)
    : RenderWindow(renderSystem, poolCode, device),
      d3dDevice_(dynamic_cast<RenderDeviceD3D9*>(device)) {
    if (TextureManager* textures = Globals::Find(&Globals::GetTextureManager)) {
        postA_.Assign(textures->CreateRenderTarget(false));
        postB_.Assign(textures->CreateRenderTarget(false));
    }
}

RenderWindowD3D9::~RenderWindowD3D9() {
    ReleaseDeviceObjects();
    postA_.Reset();
    postB_.Reset();
}

RenderTargetD3D9* RenderWindowD3D9::Colour() const {
    return static_cast<RenderTargetD3D9*>(colourTarget_.get());
}

RenderTargetD3D9* RenderWindowD3D9::Depth() const {
    return static_cast<RenderTargetD3D9*>(depthTarget_.get());
}

bool RenderWindowD3D9::HasSurface(const SharedPtr<RenderTarget>& target) {
    return target && target->GetD3DSurface() != nullptr;
}

IDirect3DSurface9* RenderWindowD3D9::BackBuffer() const {
    IDirect3DSurface9* back = nullptr;
    if (swapChain_ && FAILED(swapChain_->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &back)))
        back = nullptr;
    return back;
}

bool RenderWindowD3D9::CreateSwapChain(void* hostValue, HWND deviceWindow, std::uint32_t width,
                                       std::uint32_t height, std::uint32_t /*presentCount*/) {
    // A chain made before goes first, with everything charged for it.
    if (swapChain_)
        ReleaseDeviceObjects();
    hostValue_ = hostValue;
    deviceWindow_ = deviceWindow;
    width_ = width;
    height_ = height;
    IDirect3DDevice9* device = d3dDevice_ ? d3dDevice_->GetD3DDevice() : nullptr;
    if (!device)
        return false;

    D3DDISPLAYMODE mode{};
    device->GetDisplayMode(0, &mode);
    D3DPRESENT_PARAMETERS& p = presentParameters_;
    p = D3DPRESENT_PARAMETERS{};
    p.BackBufferWidth = width;
    p.BackBufferHeight = height;
    p.BackBufferFormat = mode.Format;
    p.BackBufferCount = 1;
    p.MultiSampleType = D3DMULTISAMPLE_NONE;
    p.SwapEffect = D3DSWAPEFFECT_DISCARD;
    p.hDeviceWindow = deviceWindow;
    p.Windowed = TRUE;
    p.EnableAutoDepthStencil = FALSE;
    p.AutoDepthStencilFormat = D3DFMT_D24S8;
    p.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;

    LogTyped(LOG_ENGINE_INIT, "CreateAdditionalSwapChain Begin");
    D3DPRESENT_PARAMETERS parameters = p;
    const HRESULT hr = device->CreateAdditionalSwapChain(&parameters, &swapChain_);
    LogTyped(LOG_ENGINE_INIT, "CreateAdditionalSwapChain End");
    if (FAILED(hr)) {
        swapChain_ = nullptr;
        ReportError("D3D ERROR! ,CreateAdditionalSwapChain(), pD3D9Device = %x , hr = %x",
                    unsigned(reinterpret_cast<std::uintptr_t>(device)), unsigned(hr));
        return false;
    }

    if (!colourTarget_) {
        LogTyped(LOG_ENGINE_INIT, "Create New ColorRT Begin,w=%d,h=%d", int(width), int(height));
        colourTarget_ = std::make_unique<RenderTargetD3D9>(d3dDevice_, 0u);
        LogTyped(LOG_ENGINE_INIT, "Create New ColorRT End");
    }
    if (!depthTarget_) {
        LogTyped(LOG_ENGINE_INIT, "Create New DepthRT Begin,w=%d,h=%d", int(width), int(height));
        depthTarget_ = std::make_unique<RenderTargetD3D9>(d3dDevice_, 1u);
        LogTyped(LOG_ENGINE_INIT, "Create New DepthRT End");
    }

    // Both surfaces are charged at their exact size; the targets refund what they were given.
    // The colour target is recorded in the back buffer's own format (the display's, X8R8G8B8
    // as a rule): a lock through the staging copy makes its copy in the recorded format.
    std::uint32_t colourFormat = PF_A8R8G8B8;
    for (std::uint32_t format = PF_A8R8G8B8; format < PF_COUNT; ++format)
        if (D3DFormatFromPixelFormat(format) == p.BackBufferFormat) {
            colourFormat = format;
            break;
        }
    const std::uint32_t colourBytes = SurfaceBytes(width, height, colourFormat);
    const std::uint32_t depthBytes = SurfaceBytes(width, height, PF_D24S8);
    TextureManager* textures = Globals::Find(&Globals::GetTextureManager);
    if (IDirect3DSurface9* back = BackBuffer()) {
        Colour()->AttachSurface(back, int(width), int(height), colourFormat, colourBytes);
        back->Release();
        if (textures)
            textures->AddDeviceTextureBytes(colourBytes);
    }
    LogTyped(LOG_ENGINE_INIT, "CreateDepthStencilSurface Begin,w=%d,h=%d", int(width), int(height));
    IDirect3DSurface9* depth = nullptr;
    const HRESULT depthResult = device->CreateDepthStencilSurface(
        width, height, D3DFMT_D24S8, D3DMULTISAMPLE_NONE, 0, FALSE, &depth, nullptr);
    LogTyped(LOG_ENGINE_INIT, "CreateDepthStencilSurface End");
    if (SUCCEEDED(depthResult)) {
        Depth()->AttachSurface(depth, int(width), int(height), PF_D24S8, depthBytes);
        depth->Release();
        if (textures)
            textures->AddDeviceTextureBytes(depthBytes);
    } else {
        d3dDevice_->LogD3DError("RenderWindowD3D9::CreateSwapChain CreateDepthStencilSurface",
                                depthResult, "");
    }

    postProcessing_ = d3dDevice_->IsA8R8G8B8TargetEnabled() ? 1 : 0;
    if (postProcessing_) {
        ReleasePostProcessSurfaces();
        CreatePostProcessSurfaces();
    }
    Bind();
    return swapChain_ != nullptr;
}

void RenderWindowD3D9::CreatePostProcessSurfaces() {
    if (!d3dDevice_ || !d3dDevice_->IsA8R8G8B8TargetSupported() || !colourTarget_)
        return;
    IDirect3DSurface9* colourSurface = colourTarget_->GetD3DSurface();
    const std::pair<SharedPtr<RenderTarget>*, const char*> targets[2] = {
        {&postA_, "D3D ERROR!! srcRT->GetDesc(), hr = 0x%x"},
        {&postB_, "D3D ERROR!! dstRT->GetDesc(), hr = 0x%x"}};
    for (const auto& [target, descError] : targets) {
        if (!*target || HasSurface(*target))
            continue;
        D3DSURFACE_DESC desc{};
        const HRESULT hr = colourSurface ? colourSurface->GetDesc(&desc) : D3DERR_INVALIDCALL;
        bool ok = SUCCEEDED(hr);
        if (!ok)
            ReportError(descError, unsigned(hr));
        else
            ok = (*target)->Create(int(desc.Width), int(desc.Height), 1, 0, PF_A8R8G8B8, 1, false);
        if (!ok) {
            ReleasePostProcessSurfaces();
            return;
        }
    }
}

void RenderWindowD3D9::ReleasePostProcessSurfaces() {
    if (HasSurface(postA_) && d3dDevice_ && d3dDevice_->GetRenderTarget(0) == postA_.Get())
        d3dDevice_->SetRenderTarget(0, colourTarget_.get());
    for (SharedPtr<RenderTarget>* target : {&postA_, &postB_})
        if (*target)
            static_cast<RenderTargetD3D9*>(target->Get())->ReleaseDeviceObjects();
}

void RenderWindowD3D9::Bind() {
    if (!d3dDevice_)
        return;
    if (!postProcessing_) {
        d3dDevice_->SetRenderTarget(0, colourTarget_.get());
    } else {
        CreatePostProcessSurfaces();
        RenderTarget* a = HasSurface(postA_) ? postA_.Get() : colourTarget_.get();
        if (d3dDevice_->GetRenderTarget(0) != a)
            d3dDevice_->SetRenderTarget(0, a);
    }
    d3dDevice_->SetDepthStencilSurface(depthTarget_.get());
}

bool RenderWindowD3D9::Present() {
    if (!d3dDevice_)
        return false;
    // The frame (or the last post effect) sits in A or B: bring it onto the back buffer.
    if (HasSurface(postB_) && d3dDevice_->GetRenderTarget(0) == postB_.Get())
        std::swap(postA_, postB_);
    IDirect3DDevice9* device = d3dDevice_->GetD3DDevice();
    if (HasSurface(postA_) && d3dDevice_->GetRenderTarget(0) == postA_.Get() && colourTarget_) {
        d3dDevice_->SetRenderTarget(0, colourTarget_.get());
        IDirect3DSurface9* source = postA_->GetD3DSurface();
        IDirect3DSurface9* destination = colourTarget_->GetD3DSurface();
        D3DSURFACE_DESC sourceDesc{}, destinationDesc{};
        HRESULT hr = source->GetDesc(&sourceDesc);
        if (FAILED(hr)) {
            ReportError("D3D ERROR!! srcRT->GetDesc(), hr = 0x%x (%s, line %d)", unsigned(hr),
                        __func__, __LINE__);
        } else if (!destination || FAILED(hr = destination->GetDesc(&destinationDesc))) {
            ReportError("D3D ERROR!! dstRT->GetDesc(), hr = 0x%x (%s, line %d)", unsigned(hr),
                        __func__, __LINE__);
        } else if (FAILED(hr = device->StretchRect(source, nullptr, destination, nullptr,
                                                   D3DTEXF_POINT))) {
            ReportError("D3D ERROR!! d3dDevice->StretchRect(), hr = 0x%x (%s, line %d)",
                        unsigned(hr), __func__, __LINE__);
        }
    }

    const HRESULT hr = swapChain_ ? swapChain_->Present(nullptr, nullptr, nullptr, nullptr, 0)
                                  : D3DERR_INVALIDCALL;
    if (FAILED(hr))
        LogTyped(LOG_ENGINE_INIT, "D3D ERROR! ,SwapChain->Present(), hr = 0x%x", unsigned(hr));
    else
        d3dDevice_->SetVertexDeclaration(nullptr);
    if (FrameStats* stats = Globals::Find(&Globals::GetFrameStats))
        *stats = FrameStats{};

    const std::uint8_t switchNow = d3dDevice_->IsA8R8G8B8TargetEnabled() ? 1 : 0;
    if (switchNow != postProcessing_) {
        postProcessing_ = switchNow;
        if (!postProcessing_) {
            d3dDevice_->SetRenderTarget(0, colourTarget_.get());
        } else {
            ReleasePostProcessSurfaces();
            CreatePostProcessSurfaces();
        }
    }
    if (!postProcessing_ || !HasSurface(postA_)) {
        if (d3dDevice_->GetRenderTarget(0) != colourTarget_.get())
            d3dDevice_->SetRenderTarget(0, colourTarget_.get());
    } else if (d3dDevice_->GetRenderTarget(0) == colourTarget_.get()) {
        d3dDevice_->SetRenderTarget(0, postA_.Get());
    }
    return SUCCEEDED(hr);
}

bool RenderWindowD3D9::DrawTargetAThroughPass(Material* material) {
    MaterialManager* materials = Globals::Find(&Globals::GetMaterialManager);
    Material* quad = material ? material
                              : materials ? materials->FindMaterial("DrawQuad", false) : nullptr;
    Pass* pass = quad ? quad->GetPass(0) : nullptr;
    if (!renderSystem_ || !pass)
        return false;
    // The quad material samples A for this pass only; its own texture comes back after.
    TextureStage& stage = pass->renderState.stages[0];
    const SharedPtr<TextureBase> previous(stage.GetTexture());
    stage.SetTexture(postA_.Get());
    const bool drawn = renderSystem_->DrawFullScreenPass(quad, width_, height_);
    stage.SetTexture(previous.Get());
    return drawn;
}

bool RenderWindowD3D9::SwapPostProcessTargets(SharedPtr<RenderTarget>* first,
                                              SharedPtr<RenderTarget>* second,
                                              Material* material) {
    if (!d3dDevice_ || !postProcessing_ || !HasSurface(postA_) || !HasSurface(postB_) ||
        d3dDevice_->GetRenderTarget(0) != postA_.Get())
        return false;
    d3dDevice_->SetRenderTarget(0, postB_.Get());
    if (!DrawTargetAThroughPass(material)) {
        // Without the render system's built-in quad material the device copies instead.
        d3dDevice_->GetD3DDevice()->StretchRect(postA_->GetD3DSurface(), nullptr,
                                                postB_->GetD3DSurface(), nullptr, D3DTEXF_POINT);
    }
    *first = postB_;
    *second = postA_;
    return true;
}

bool RenderWindowD3D9::ReleaseDeviceObjects() {
    ReleasePostProcessSurfaces();
    if (d3dDevice_) {
        d3dDevice_->SetRenderTarget(0, nullptr);
        d3dDevice_->SetDepthStencilSurface(nullptr);
        // Slot 0 of the Direct3D device cannot be emptied: give it the device's own back buffer
        // so the swap chain's goes with the chain.
        if (IDirect3DDevice9* device = d3dDevice_->GetD3DDevice()) {
            IDirect3DSurface9* own = nullptr;
            if (SUCCEEDED(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &own)) && own) {
                device->SetRenderTarget(0, own);
                own->Release();
            }
        }
    }
    if (depthTarget_)
        Depth()->ReleaseDeviceObjects();
    if (colourTarget_)
        Colour()->ReleaseDeviceObjects();
    if (swapChain_)
        swapChain_->Release();
    swapChain_ = nullptr;
    return true;
}

bool RenderWindowD3D9::RecreateDeviceObjects() {
    return CreateSwapChain(hostValue_, deviceWindow_, width_, height_, 1);
}

bool RenderWindowD3D9::Resize(std::uint32_t width, std::uint32_t height) {
    LogTyped(LOG_ENGINE_INIT, "Render Window Resize Begin: %d %d", int(width), int(height));
    width_ = width;
    height_ = height;
    ReleaseDeviceObjects();
    const bool ok = CreateSwapChain(hostValue_, deviceWindow_, width_, height_, 1);
    Bind();
    LogTyped(LOG_ENGINE_INIT, "Render Window Resize End");
    return ok;
}

bool RenderWindowD3D9::ResizeWindowedEx(std::uint32_t width, std::uint32_t height, bool windowed,
                                        std::uint32_t padWindowFrameSize) {
    LogTyped(LOG_ENGINE_INIT,
             "RenderWindowD3D9::ResizeWindowedEx,windowed=%d,pad_win_frame_size=%d", int(windowed),
             int(padWindowFrameSize));
    width_ = width;
    height_ = height;
    Bind();
    return swapChain_ != nullptr;
}

void RenderWindowD3D9::SetSize(std::uint32_t width, std::uint32_t height) {
    width_ = width;
    height_ = height;
}

bool RenderWindowD3D9::ScreenShot() {
    if (!colourTarget_ || !colourTarget_->GetD3DSurface())
        return false;
    SYSTEMTIME now{};
    GetLocalTime(&now);
    char name[96];
    std::snprintf(name, sizeof name, "ScreenShot-%d-%d-%d-%d-%d-%d.tga", now.wYear, now.wMonth,
                  now.wDay, now.wHour, now.wMinute, now.wSecond);
    // The name says TGA, so the data are TGA too (uncompressed, which the image decoders read).
    return SUCCEEDED(D3DXSaveSurfaceToFileA(name, D3DXIFF_TGA, colourTarget_->GetD3DSurface(),
                                            nullptr, nullptr));
}

bool RenderWindowD3D9::SaveBackBuffer(const char* path) {
    if (!path || !colourTarget_ || !colourTarget_->GetD3DSurface())
        return false;
    return SUCCEEDED(D3DXSaveSurfaceToFileA(path, D3DXIFF_PNG, colourTarget_->GetD3DSurface(),
                                            nullptr, nullptr));
}

bool RenderWindowD3D9::CopyBackBufferTo(TextureBase* texture) {
    return CopyDrawnTargetTo(nullptr, texture);
}

bool RenderWindowD3D9::CopyDrawnTargetTo(RenderTarget* drawn, TextureBase* texture) {
    IDirect3DDevice9* device = d3dDevice_ ? d3dDevice_->GetD3DDevice() : nullptr;
    RenderTarget* source = drawn ? drawn : colourTarget_.get();
    IDirect3DSurface9* back = source ? source->GetD3DSurface() : nullptr;
    if (!device || !back || !texture)
        return false;
    // A depth-stencil target has no colour texture to receive it.
    if (texture->IsRenderTarget() && static_cast<RenderTarget*>(texture)->IsDepthStencil())
        return false;
    IDirect3DSurface9* level = TopLevel(texture);
    if (!level)
        return false;
    const HRESULT hr = device->StretchRect(back, nullptr, level, nullptr, D3DTEXF_LINEAR);
    level->Release();
    return SUCCEEDED(hr);
}

}  // namespace Zel
