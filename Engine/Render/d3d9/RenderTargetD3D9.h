// The Direct3D 9 render target: a colour texture of one level with render-target usage (drawn
// into, then sampled), or a depth-stencil surface. Both live in the default pool: the device
// objects are released when the device is lost and made again after the reset.
//
// Video memory: every creation is checked against the texture manager's budget and charged to
// it (the surface's bytes × 4 / 3 for a target of its own; what the window charged for a surface
// it attaches); whatever was charged is refunded exactly once when the device objects go.
//
// Reading the pixels back: Lock copies the target into a system-memory staging texture
// ("RenderTargetLockUse", made on the first lock through the texture manager) and locks that;
// Unlock unlocks it. Host thread only.
#pragma once

#include <cstdint>

#include "Core/SharedPtr.h"
#include "Entity/Texture/RenderTarget.h"

namespace Zel {

class RenderDeviceD3D9;

class RenderTargetD3D9 final : public RenderTarget {
public:
    // device: the render device (not owned; a RenderDeviceD3D9, else the target can make
    // nothing); isDepthStencil: as RenderTarget. Pool 0, no device objects yet.
    RenderTargetD3D9(RenderDevice* device, std::uint32_t isDepthStencil);
    // Releases the device objects (refunding the budget) and the staging texture.
    ~RenderTargetD3D9() override;

    // Makes the device objects: width × height, format a PixelFormat code. levels counts in the
    // budget only (the colour texture always has one level); usage is stored and compared by
    // TextureManager::FindFreeRenderTarget (with width, height, levels and format). The two last
    // values are not used. Existing device objects are released first. False, with nothing made
    // and nothing charged, when the budget refuses (logged) or Direct3D fails (reported); a reset
    // then makes nothing either.
    bool Create(int width, int height, int levels, int usage, int format, int unused,
                bool unusedDynamic) override;
    // Device loss: sets the lost flag, releases the surface and the texture, refunds what they
    // were charged and drops the staging texture. Always true.
    bool ReleaseDeviceObjects() override;
    void DetachDevice() override {
        RenderTarget::DetachDevice();
        d3dDevice_ = nullptr;
    }
    // Device reset: makes the device objects again from the stored size and format (one level)
    // when there are none and the target was ever made; "RenderTarget Reset" is logged when the
    // budget refuses. True when the target has its device objects afterwards.
    bool RecreateDeviceObjects() override;

    // Level 0 only: copies the target into the staging texture and locks it (mode LockOption).
    // False, with the outputs zeroed, for another level, while already locked, without device
    // objects, or when the staging texture cannot be made, filled or locked.
    bool LockLevel(int level, std::int32_t* pitch, void** bits, const RECT* rect,
                   std::uint32_t mode) override;
    // Unlocks the staging texture and ends the device access of the lock. Nothing when not
    // locked.
    void UnlockLevel() override;
    bool CopyToTexture(TextureBase* texture) override;
    // Saves the surface with D3DXSaveSurfaceToFileA; imageKind 0 BMP, 1 JPEG, 2 TGA, 3 PNG,
    // 4 DDS. False for another kind, without a surface, or when the save fails.
    bool SaveToFile(const char* path, int imageKind) override;

    IDirect3DSurface9* GetD3DSurface() const override { return surface_; }
    // The colour texture (no reference added); null for a depth-stencil target or while there is
    // none.
    IDirect3DTexture9* GetDeviceTexture() const override { return texture_; }
    IDirect3DBaseTexture9* GetD3DBaseTexture() const override { return texture_; }
    // Adopts a surface made elsewhere (the window's back buffer or depth surface): takes one
    // reference, releases the device objects held before, stores the size and format, and
    // records chargedBytes as already charged to the budget, to be refunded at release.
    void AttachSurface(IDirect3DSurface9* surface, int width, int height, int format,
                       std::uint32_t chargedBytes);

    bool IsLost() const { return lost_ != 0; }
    // The bytes charged to the budget for the current device objects (0 when none).
    std::uint32_t GetChargedBytes() const { return chargedBytes_; }
    // The staging texture of Lock; null before the first lock.
    TextureBase* GetStagingTexture() const { return staging_.Get(); }
    // The budget size of a target: the surface's bytes × 4 / 3, standing for a mip chain.
    static std::uint64_t VideoMemorySize(int width, int height, int levels, int format);

private:
    // Releases surface and texture and refunds their charge; keeps the lost flag.
    void ReleaseSurfaceAndTexture();
    // Step 4 of creation: the device call for the stored size and format. The names are what
    // the Direct3D error logger receives on failure; a failure refunds the charge.
    bool CreateDeviceObjects(const char* textureCall, const char* surfaceCall);
    IDirect3DDevice9* D3DDevice() const;

    RenderDeviceD3D9* d3dDevice_;
    std::uint32_t lost_ = 1;
    IDirect3DTexture9* texture_ = nullptr;
    IDirect3DSurface9* surface_ = nullptr;
    std::uint32_t chargedBytes_ = 0;
    SharedPtr<TextureBase> staging_;
    int deviceAccess_ = 0;  // BeginDeviceAccess's answer at the lock
    int lockedLevel_ = -1;  // the level a lock holds through the staging texture; -1 when none
};

}  // namespace Zel
