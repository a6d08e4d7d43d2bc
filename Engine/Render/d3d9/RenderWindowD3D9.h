// The Direct3D 9 render window: an additional swap chain on the host's window, its colour target
// (the swap chain's back buffer) and depth target (a D24S8 surface of the window's size), and two
// full-size post-process targets A and B. While post-processing is on (the device's optional
// A8R8G8B8 render-target switch), the frame is drawn into A, post effects ping-pong between A and
// B, and Present copies the result onto the back buffer before showing it.
//
// Video memory: the colour and depth surfaces are charged to the texture manager's budget at
// their exact byte size (no mip-chain factor) and refunded exactly that when released.
//
// Every log line goes under ENGINE_INIT. Host thread only.
#pragma once

#include <cstdint>

#include "Core/SharedPtr.h"
#include "Platform/D3D9/D3D9.h"
#include "Render/RenderWindow.h"

namespace Zel {

class Material;
class RenderDeviceD3D9;
class RenderTargetD3D9;

class RenderWindowD3D9 final : public RenderWindow {
public:
    // Makes the two post-process target objects through the texture manager (without device
    // objects); nothing else until CreateSwapChain. device: a RenderDeviceD3D9 (not owned).
    RenderWindowD3D9(RenderSystem* renderSystem, std::uint32_t poolCode, RenderDevice* device);
    // Releases every device object and drops both post-process targets.
    ~RenderWindowD3D9() override;
    ZEL_CLASS_ID(RenderWindowD3D9)

    bool IsDefaultPool() const override { return true; }
    // Releases the post-process surfaces, empties slot 0 and the depth slot, releases the colour
    // and depth surfaces (refunding their charge) and the swap chain.
    bool ReleaseDeviceObjects() override;
    // CreateSwapChain again with the stored window, host value and size.
    bool RecreateDeviceObjects() override;

    bool Resize(std::uint32_t width, std::uint32_t height) override;
    bool ResizeWindowedEx(std::uint32_t width, std::uint32_t height, bool windowed,
                          std::uint32_t padWindowFrameSize) override;
    bool CreateSwapChain(void* hostValue, HWND deviceWindow, std::uint32_t width,
                         std::uint32_t height, std::uint32_t presentCount) override;
    void Bind() override;
    // Copies post-process target A onto the back buffer when it holds the frame, presents the
    // swap chain, zeroes the frame counters and follows the post-processing switch. False when
    // there is no swap chain or the present failed.
    bool Present() override;
    // Saves the back buffer as an uncompressed TGA file named
    // "ScreenShot-<year>-<month>-<day>-<hour>-<minute>-<second>.tga" (local time) in the current
    // directory. False without a colour target or when the save fails.
    bool ScreenShot() override;
    bool SaveBackBuffer(const char* path) override;
    void SetSize(std::uint32_t width, std::uint32_t height) override;
    // The texture's level 0 receives the back buffer through StretchRect (linear filter); the
    // texture is an ordinary 2D texture or a colour render target. False for anything else.
    bool CopyBackBufferTo(TextureBase* texture) override;
    bool CopyDrawnTargetTo(RenderTarget* drawn, TextureBase* texture) override;

    // For a post effect: when post-processing is on, A and B have device objects and A is render
    // target 0, binds B at slot 0, draws A into it with pass 0 of the material (null: the
    // built-in "DrawQuad"), sets *first = B and *second = A and answers true; otherwise false
    // and the outputs are left alone.
    bool SwapPostProcessTargets(SharedPtr<RenderTarget>* first, SharedPtr<RenderTarget>* second,
                                Material* material = nullptr);

    IDirect3DSwapChain9* GetSwapChain() const { return swapChain_; }
    const D3DPRESENT_PARAMETERS& GetPresentParameters() const { return presentParameters_; }
    RenderTarget* GetPostProcessTargetA() const { return postA_.Get(); }
    RenderTarget* GetPostProcessTargetB() const { return postB_.Get(); }
    bool IsPostProcessing() const { return postProcessing_ != 0; }
    HWND GetDeviceWindow() const { return deviceWindow_; }
    void* GetHostValue() const { return hostValue_; }

private:
    RenderTargetD3D9* Colour() const;
    RenderTargetD3D9* Depth() const;
    static bool HasSurface(const SharedPtr<RenderTarget>& target);
    // The render system's full-screen pass of the built-in quad material sampling A, into the
    // bound target; false when it could not draw.
    bool DrawTargetAThroughPass(Material* material);
    // Makes A and then B at the colour target's size when they have no device objects; releases
    // both when either fails. Only when the device supports the A8R8G8B8 target format.
    void CreatePostProcessSurfaces();
    void ReleasePostProcessSurfaces();
    // The back buffer of the swap chain (one reference for the caller); null without one.
    IDirect3DSurface9* BackBuffer() const;

    RenderDeviceD3D9* d3dDevice_;
    void* hostValue_ = nullptr;
    HWND deviceWindow_ = nullptr;
    IDirect3DSwapChain9* swapChain_ = nullptr;
    D3DPRESENT_PARAMETERS presentParameters_{};
    SharedPtr<RenderTarget> postA_;
    SharedPtr<RenderTarget> postB_;
    std::uint8_t postProcessing_ = 0;
};

}  // namespace Zel
