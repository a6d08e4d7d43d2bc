// The render device over Direct3D 9 (or 9Ex): "d3d9.dll" is loaded when the object is made; Init
// creates the process's Direct3D object (shared by every device) and the device, with fallbacks
// from Ex to plain, from hardware to software vertex processing, from an unsupported back-buffer
// format to X1R5G5B5, an unsupported depth format to D16 and an unsupported multisample type to
// none. Every render state goes through the embedded render-state cache; effects reach the same
// cache through the effect state manager made at the end of Init.
//
// Draws and state changes are counted in the frame counters of Globals (Core/FrameStats.h).
// Messages are logged with type ENGINE_INIT; failed Direct3D calls are reported through the error
// reporter. Host thread only.
#pragma once

#include <memory>

#include "Platform/D3D9/D3D9.h"
#include "Platform/D3D9/IDirectDraw7.h"
#include "Core/CObjectPool.h"
#include "Render/RenderDevice.h"
#include "Render/d3d9/OcclusionQueryD3D9.h"
#include "Render/d3d9/RenderStateCache.h"

namespace Zel {

class CBaseStateManager;
class RenderEffectD3D;

// Left open for derivation, so that a test can record what the frame hands the device.
class RenderDeviceD3D9 : public RenderDevice {
public:
    RenderDeviceD3D9();
    // Releases the state manager and the device, the process's Direct3D object once no device
    // uses it, the DirectDraw object and "d3d9.dll".
    ~RenderDeviceD3D9() override;
    ZEL_CLASS_ID(RenderDeviceD3D9)

    bool Init(const DisplaySettings& settings) override;
    void Destroy() override;
    void BeginScene() override;
    void EndScene() override;
    void ReportCaps(DeviceCaps& caps, const DisplaySettings& settings) override;
    void Clear(const ClearRecord& record) override;
    void SetWorldMatrix(const float* matrix) override;
    void GetWorldMatrix(float* out) override;
    void SetViewMatrix(const float* matrix) override;
    void GetViewMatrix(float* out) override;
    void SetProjectionMatrix(const float* matrix) override;
    void GetProjectionMatrix(float* out) override;
    void SetVertexDeclaration(VertexBufferDeclaration* declaration) override;
    void SetStreamSource(const VertexBufferBinding& binding, std::uint32_t vertexCount) override;
    void SetIndices(HardwareIndexBuffer* buffer, std::uint32_t indexCount) override;
    void UnbindShaders() override;
    void SetRenderTarget(std::uint32_t index, RenderTarget* target) override;
    RenderTarget* GetRenderTarget(std::uint32_t index) override;
    void SetDepthStencilSurface(RenderTarget* target) override;
    RenderTarget* GetDepthStencilSurface() override { return depthTarget_; }
    void RestoreRenderTargets() override;
    void DrawIndexedPrimitive(std::uint32_t primitive, std::int32_t baseVertex,
                              std::uint32_t minIndex, std::uint32_t vertexCount,
                              std::uint32_t startIndex, std::uint32_t primitiveCount) override;
    void DrawPrimitive(std::uint32_t primitive, std::uint32_t startVertex,
                       std::uint32_t primitiveCount) override;
    void DrawPrimitiveUP(std::uint32_t primitive, std::uint32_t primitiveCount,
                         const void* vertices, std::uint32_t stride) override;
    void DrawIndexedPrimitiveUP(std::uint32_t primitive, std::uint32_t minIndex,
                                std::uint32_t vertexCount, std::uint32_t primitiveCount,
                                const void* indices, std::uint32_t indexSize, const void* vertices,
                                std::uint32_t stride) override;
    void SetCullMode(std::uint32_t cull) override;
    void EmptyVirtual(bool) override {}
    void SetZEnable(bool on) override;
    void SetZFunc(std::uint32_t compare) override;
    void SetAlphaTestEnable(bool on) override;
    void SetAlphaFunc(std::uint32_t compare) override;
    void SetAlphaRef(std::uint32_t reference) override;
    void SetStencilEnable(bool on) override;
    void SetStencilFunc(std::uint32_t compare) override;
    void SetZWriteEnable(bool on) override;
    void SetColorWriteEnable(bool on) override;
    void SetColorWriteMask(bool red, bool green, bool blue, bool alpha) override;
    void SetAlphaBlendEnable(bool on) override;
    void SetSrcBlend(std::uint32_t blend) override;
    void SetDestBlend(std::uint32_t blend) override;
    void SetSeparateAlphaBlend(bool on) override;
    void SetBlendOp(std::uint32_t blendOp) override;
    void SetFog(const FogRecord& fog) override;
    void EnableFog() override;
    void DisableFog() override;
    std::uint32_t GetAvailableTextureMem() override;
    std::uint32_t GetVideoMemory(bool free) override;
    std::uint32_t GetDeviceState() override;
    bool ResetDevice(const DisplaySettings& settings) override;
    void PerspectiveFovRH(float fovDegrees, float aspect, float nearClip, float farClip,
                          float* out) override;
    void OrthoOffCenterRH(float left, float right, float bottom, float top, float nearClip,
                          float farClip, float* out) override;
    void OrthoRH(float width, float height, float nearClip, float farClip, float* out) override;
    void LookAtRH(const float* eye, const float* at, const float* up, float* out) override;
    void RollFrameCounters() override;
    void SetDepthBias(float bias) override;
    void SetSlopeScaleDepthBias(float bias) override;
    void GetRenderStates(RenderState& state) override;
    bool SetFixedFunctionMode(std::int32_t mode) override;
    bool SetLight(const Light* light) override;
    std::uint32_t FvfFromVertexFormat(std::uint32_t vertexFormat) override;
    void SetFVF(std::uint32_t fvf) override;
    void SetMaterial(const float* ambient, const float* diffuse, const float* specular,
                     float power) override;
    void SetTextureFactor(const float* colour) override;
    void DisableTextureTransform(std::uint32_t stage) override;
    void SetClipPlaneEnable(bool on) override;
    void SetClipPlane(std::uint32_t index, const float* plane) override;
    void SetScissorTestEnable(bool on) override;
    void SetScissorRect(std::int32_t left, std::int32_t right, std::int32_t top,
                        std::int32_t bottom) override;
    void ProjectPoint(const float* point, const float* view, const float* projection,
                      std::uint32_t x, std::uint32_t y, std::uint32_t width, std::uint32_t height,
                      float minZ, float maxZ, float* out) override;
    bool UpdateTexture(TextureBase* source, TextureBase* destination) override;
    void SetViewport(const ViewportRect& rect) override;
    void GetViewportMatrix(float* out) override;
    void UnbindTextures() override;
    void ResetStageStates() override;
    std::int32_t EvictManagedResources() override;
    void SetWireframe(bool on) override;
    void LockRenderState(std::uint32_t which) override;
    void UnlockRenderState(std::uint32_t which) override;
    void UnlockAllRenderStates() override;
    void LogD3DError(const char* call, std::int32_t result, const char* detail) override;
    bool IsA8R8G8B8TargetSupported() override { return a8r8g8b8Supported_; }
    bool EnableA8R8G8B8Target() override;
    bool DisableA8R8G8B8Target() override;
    bool IsA8R8G8B8TargetEnabled() override { return a8r8g8b8Enabled_; }
    bool Present() override;

    // The Direct3D device (null before a successful Init); no reference added.
    IDirect3DDevice9* GetD3DDevice() const { return device_; }
    // Whether the device was made through Direct3DCreate9Ex and CreateDeviceEx.
    bool IsEx() const { return isEx_; }
    RenderStateCache& GetStateCache() { return cache_; }
    // The effect state manager (null before a successful Init); the device holds one reference.
    CBaseStateManager* GetStateManager() const { return stateManager_; }
    // The profiler entry points of "d3d9.dll" (null when absent).
    PFN_D3DPERF_BeginEvent GetPerfBeginEvent() const { return perfBeginEvent_; }
    PFN_D3DPERF_EndEvent GetPerfEndEvent() const { return perfEndEvent_; }
    PFN_D3DPERF_SetMarker GetPerfSetMarker() const { return perfSetMarker_; }

    // Begins the effect (saving no state) and its pass, counting one effect and one pass begun,
    // and keeps it pending until EndEffectPass. False (nothing pending) when either call fails.
    bool BeginEffectPass(RenderEffectD3D* effect, std::uint32_t pass);
    // Ends the pending effect's pass and the effect; nothing when none is pending.
    void EndEffectPass();
    RenderEffectD3D* GetPendingEffect() const { return pendingEffect_; }

    // An occlusion query from the device's pool (4 at first, growing by half), running on this
    // device; null only when memory runs out. Give it back with ReleaseOcclusionQuery.
    OcclusionQueryD3D9* AcquireOcclusionQuery();
    void ReleaseOcclusionQuery(OcclusionQueryD3D9* query);
    CObjectPool<OcclusionQueryD3D9>& GetOcclusionQueryPool() { return *queryPool_; }

    // Sets bits 0x1 and, for each of 2, 4, 6, 8 and 10 samples that both the back-buffer and the
    // depth format of the settings support, 0x2, 0x4, 0x8, 0x10, 0x20 of the caps' multisample
    // mask, logging each supported mode.
    void ProbeMultisampleModes(DeviceCaps& caps, const DisplaySettings& settings);

private:
    // The process's Direct3D object (null until an Init made it).
    static IDirect3D9* Direct3D();
    // The back-buffer and depth formats of the settings after the fallbacks; also records whether
    // A8R8G8B8 can be a render target.
    void ResolveFormats(const DisplaySettings& settings, D3DFORMAT* backBuffer, D3DFORMAT* depth);
    // Presentation parameters for the settings, with the multisample type each format supports.
    D3DPRESENT_PARAMETERS BuildPresentParameters(const DisplaySettings& settings);
    bool CheckFormat(D3DFORMAT adapterFormat, DWORD usage, D3DFORMAT format) const;
    bool CreateDirect3D();
    void CreateDevice(D3DPRESENT_PARAMETERS* parameters);
    void WriteDriverRegistry() const;
    // Stages the per-stage loops run over: the capability record's count, at most 16.
    std::uint32_t StageCount() const;
    // Size of colour target 0; 800 × 600 while slot 0 is empty.
    void TargetSize(std::uint32_t* width, std::uint32_t* height) const;
    void SetTransformOf(D3DTRANSFORMSTATETYPE state, const float* matrix);
    void GetTransformOf(D3DTRANSFORMSTATETYPE state, float* out);
    // Counts one draw (and its primitives) and reports a failed one.
    bool MayDraw() const;
    void FinishDraw(HRESULT hr, const char* name);

    PFN_D3DPERF_BeginEvent perfBeginEvent_ = nullptr;
    PFN_D3DPERF_EndEvent perfEndEvent_ = nullptr;
    PFN_D3DPERF_SetMarker perfSetMarker_ = nullptr;
    IDirect3DDevice9* device_ = nullptr;
    IDirect3DDevice9Ex* deviceEx_ = nullptr;  // the same object on an Ex device
    HWND window_ = nullptr;
    CBaseStateManager* stateManager_ = nullptr;
    RenderEffectD3D* pendingEffect_ = nullptr;  // between BeginEffectPass and EndEffectPass
    // Emptied before the Direct3D device goes, since its queries are the device's children.
    std::unique_ptr<CObjectPool<OcclusionQueryD3D9>> queryPool_ =
        std::make_unique<CObjectPool<OcclusionQueryD3D9>>(4, 1.5f, -1);
    RenderStateCache cache_;
    IDirectDraw7* directDraw7_ = nullptr;
    enum class VideoMemoryQuery { Untried, Failed, Ready };
    VideoMemoryQuery videoMemoryQuery_ = VideoMemoryQuery::Untried;
    bool comInitialised_ = false;
    HMODULE d3d9Module_ = nullptr;
    bool usesSharedDirect3D_ = false;
    bool isEx_ = false;
    bool a8r8g8b8Enabled_ = false;
    bool a8r8g8b8Supported_ = false;
};

}  // namespace Zel
