// The graphics device through which everything draws: creation, loss and reset, scenes,
// transforms, streams, render states (through a cache that drops repeats), render targets, draws,
// fixed-function lighting, a few queries of the machine and the matrix builders. Its one
// implementation is RenderDeviceD3D9; the graphics-API manager makes it, then the render system
// calls Init and ReportCaps.
//
// Codes are the system's own (Render/RenderCodes.h); matrices are 16 floats in the system's layout
// (row-major, translation in elements 3, 7 and 11), transposed to and from Direct3D's by the
// implementation. Without a device (before Init, or after it failed) every operation does nothing
// and answers its neutral value. A failed Direct3D call is reported ("D3D ERROR! ,<call>, hr = %d")
// and otherwise ignored: slots and cached states keep the requested value unless an operation says
// otherwise.
//
// Threads: the host's thread only; nothing here locks.
#pragma once

#include <cstdint>
#include <map>

#include "Core/Object.h"
#include "Render/RenderCodes.h"

namespace Zel {

class HardwareIndexBuffer;
class Light;
class Material;
class RenderState;
class RenderTarget;
class ShaderParamTable;
class TextureBase;
class VertexBufferBinding;
class VertexBufferDeclaration;
struct ClearRecord;
struct DeviceCaps;
struct DisplaySettings;
struct FogRecord;
struct ViewportRect;

class RenderDevice : public Object {
public:
    static constexpr std::uint32_t kColourTargetSlots = 4;
    static constexpr std::uint32_t kAdapterDescriptionSize = 256;

    RenderDevice() = default;
    ~RenderDevice() override = default;
    ZEL_CLASS_ID(RenderDevice)

    // Creates the Direct3D object (once per process) and the device on the settings' window; false
    // (logged, and a message box captioned "MIRELVANE") when either cannot be made.
    virtual bool Init(const DisplaySettings& settings) = 0;
    // Deletes this device object.
    virtual void Destroy() = 0;
    virtual void BeginScene() {}
    virtual void EndScene() {}
    // Fills the capability record, the system summary and the adapter block, chooses the drawing
    // mode and the texture scale level, and logs it all (ENGINE_INIT). Never fails.
    virtual void ReportCaps(DeviceCaps& caps, const DisplaySettings& settings) = 0;
    virtual void Clear(const ClearRecord& record) = 0;

    // Transforms; each set counts one transform set.
    virtual void SetWorldMatrix(const float* matrix) = 0;
    virtual void GetWorldMatrix(float* out) = 0;
    virtual void SetViewMatrix(const float* matrix) = 0;
    virtual void GetViewMatrix(float* out) = 0;
    virtual void SetProjectionMatrix(const float* matrix) = 0;
    virtual void GetProjectionMatrix(float* out) = 0;

    // Vertex input. SetStreamSource binds every slot with a buffer and a non-zero stride (empty
    // slots are skipped) and counts the bytes of vertexCount vertices per stream.
    virtual void SetVertexDeclaration(VertexBufferDeclaration* declaration) = 0;
    virtual void SetStreamSource(const VertexBufferBinding& binding, std::uint32_t vertexCount) = 0;
    virtual void SetIndices(HardwareIndexBuffer* buffer, std::uint32_t indexCount) = 0;
    virtual void UnbindShaders() = 0;

    // Render targets: four colour slots (index 0..3; another index is refused with a log line, and
    // GetRenderTarget answers null for it) and the depth slot. Slots hold no reference.
    virtual void SetRenderTarget(std::uint32_t index, RenderTarget* target) = 0;
    virtual RenderTarget* GetRenderTarget(std::uint32_t index) = 0;
    virtual void SetDepthStencilSurface(RenderTarget* target) = 0;
    virtual RenderTarget* GetDepthStencilSurface() = 0;
    // Unbinds colour targets 1 and up and empties every slot.
    virtual void RestoreRenderTargets() = 0;

    // Draws; nothing with global switch 76 at 0. primitive: PrimitiveType.
    virtual void DrawIndexedPrimitive(std::uint32_t primitive, std::int32_t baseVertex,
                                      std::uint32_t minIndex, std::uint32_t vertexCount,
                                      std::uint32_t startIndex, std::uint32_t primitiveCount) = 0;
    virtual void DrawPrimitive(std::uint32_t primitive, std::uint32_t startVertex,
                               std::uint32_t primitiveCount) = 0;
    virtual void DrawPrimitiveUP(std::uint32_t primitive, std::uint32_t primitiveCount,
                                 const void* vertices, std::uint32_t stride) = 0;
    // indexSize: IndexSize.
    virtual void DrawIndexedPrimitiveUP(std::uint32_t primitive, std::uint32_t minIndex,
                                        std::uint32_t vertexCount, std::uint32_t primitiveCount,
                                        const void* indices, std::uint32_t indexSize,
                                        const void* vertices, std::uint32_t stride) = 0;

    // Render states through the cache (codes of RenderCodes.h).
    virtual void SetCullMode(std::uint32_t cull) = 0;
    virtual void EmptyVirtual(bool) = 0;
    virtual void SetZEnable(bool on) = 0;
    virtual void SetZFunc(std::uint32_t compare) = 0;
    virtual void SetAlphaTestEnable(bool on) = 0;
    virtual void SetAlphaFunc(std::uint32_t compare) = 0;
    virtual void SetAlphaRef(std::uint32_t reference) = 0;
    virtual void SetStencilEnable(bool on) = 0;
    virtual void SetStencilFunc(std::uint32_t compare) = 0;
    virtual void SetZWriteEnable(bool on) = 0;
    virtual void SetColorWriteEnable(bool on) = 0;
    virtual void SetColorWriteMask(bool red, bool green, bool blue, bool alpha) = 0;
    virtual void SetAlphaBlendEnable(bool on) = 0;
    virtual void SetSrcBlend(std::uint32_t blend) = 0;
    virtual void SetDestBlend(std::uint32_t blend) = 0;
    virtual void SetSeparateAlphaBlend(bool on) = 0;
    virtual void SetBlendOp(std::uint32_t blendOp) = 0;
    virtual void SetFog(const FogRecord& fog) = 0;
    virtual void EnableFog() = 0;
    virtual void DisableFog() = 0;

    // Available texture memory in MB; 0 without a device.
    virtual std::uint32_t GetAvailableTextureMem() = 0;
    // Local video memory in bytes (free or total) through DirectDraw; 0 when it cannot be asked.
    virtual std::uint32_t GetVideoMemory(bool free) = 0;
    // DeviceState: 0 usable, 1 lost, 2 lost and ready for ResetDevice, 3 no device yet.
    virtual std::uint32_t GetDeviceState() = 0;
    // Resets the device with the settings; true only when the reset answered D3D_OK. The cache
    // reads the device's states back after a reset that did not fail.
    virtual bool ResetDevice(const DisplaySettings& settings) = 0;

    // Right-handed matrix builders, written into out in the system's layout.
    virtual void PerspectiveFovRH(float fovDegrees, float aspect, float nearClip, float farClip,
                                  float* out) = 0;
    // nearClip and farClip are the view-space distances of the planes that map to depth 0 and 1.
    virtual void OrthoOffCenterRH(float left, float right, float bottom, float top, float nearClip,
                                  float farClip, float* out) = 0;
    virtual void OrthoRH(float width, float height, float nearClip, float farClip, float* out) = 0;
    virtual void LookAtRH(const float* eye, const float* at, const float* up, float* out) = 0;
    // Moves the effect state manager's per-frame counters to its previous-frame block.
    virtual void RollFrameCounters() = 0;
    // True when the target sits in a colour slot or the depth slot; false for null.
    virtual bool IsBoundAsTarget(const RenderTarget* target) const;

    // Written straight to the device (and recorded in the cache, uncounted).
    virtual void SetDepthBias(float bias) = 0;
    virtual void SetSlopeScaleDepthBias(float bias) = 0;
    // Reads the device's states into the pass render state's flag word and colour-write mask.
    virtual void GetRenderStates(RenderState& state) = 0;
    // 0 or 1 fixed-function drawing (true), 2 shader drawing (true with shader model 2.0 for both
    // stages, else fixed-function and false), anything else false and unchanged.
    virtual bool SetFixedFunctionMode(std::int32_t mode) = 0;
    virtual std::int32_t GetFixedFunctionMode() const { return fixedFunctionMode_; }
    // In fixed-function mode with a light: light 0 on from it; otherwise light 0 and lighting off.
    // Answers what SetLightingEnabled answers.
    virtual bool SetLight(const Light* light) = 0;
    virtual std::uint32_t FvfFromVertexFormat(std::uint32_t vertexFormat) = 0;
    virtual void SetFVF(std::uint32_t fvf) = 0;
    // Fixed-function mode only; four floats each.
    virtual void SetMaterial(const float* ambient, const float* diffuse, const float* specular,
                             float power) = 0;
    virtual void SetTextureFactor(const float* colour) = 0;
    // Called before each pass is filled with the base colour of its ambient term (1, 1, 1, 1) for
    // a renderable's first lighting pass, (0, 0, 0, 1) for an added light's), where the
    // renderable looks its ambient light up and the scene time. No device keeps an ambient
    // lookup yet: the default does nothing.
    virtual void ApplyAmbient(const float* /*base*/, const float* /*position*/, float /*time*/) {}
    virtual void DisableTextureTransform(std::uint32_t stage) = 0;
    virtual void SetClipPlaneEnable(bool on) = 0;
    virtual void SetClipPlane(std::uint32_t index, const float* plane) = 0;
    virtual void SetScissorTestEnable(bool on) = 0;
    virtual void SetScissorRect(std::int32_t left, std::int32_t right, std::int32_t top,
                                std::int32_t bottom) = 0;
    // Projects the point to the viewport with an identity world; out receives x, y, z.
    virtual void ProjectPoint(const float* point, const float* view, const float* projection,
                              std::uint32_t x, std::uint32_t y, std::uint32_t width,
                              std::uint32_t height, float minZ, float maxZ, float* out) = 0;
    // Copies a system-memory texture into a default-pool one; false for another source.
    virtual bool UpdateTexture(TextureBase* source, TextureBase* destination) = 0;
    virtual void SetViewport(const ViewportRect& rect) = 0;
    // The matrix from clip space to the current viewport, in the system's layout.
    virtual void GetViewportMatrix(float* out) = 0;
    virtual bool SetLightingEnabled(bool on);
    virtual bool IsLightingEnabled() const { return (flags_ & kLightingFlag) != 0; }
    virtual void UnbindTextures() = 0;
    virtual void ResetStageStates() = 0;
    virtual std::int32_t EvictManagedResources() = 0;
    virtual const char* GetAdapterDescription() const { return adapterDescription_; }
    virtual void SetWireframe(bool on) = 0;
    // RenderStateLock codes; other codes do nothing.
    virtual void LockRenderState(std::uint32_t which) = 0;
    virtual void UnlockRenderState(std::uint32_t which) = 0;
    virtual void UnlockAllRenderStates() = 0;
    // Reports a failed Direct3D call by its error name with the detail and the device state.
    virtual void LogD3DError(const char* call, std::int32_t result, const char* detail) = 0;
    virtual bool IsA8R8G8B8TargetSupported() = 0;
    virtual bool EnableA8R8G8B8Target() = 0;
    virtual bool DisableA8R8G8B8Target() = 0;
    virtual bool IsA8R8G8B8TargetEnabled() = 0;
    // Presents the back buffer into colour target 0's rectangle (the whole window when slot 0 is
    // empty); true when the present did not fail.
    virtual bool Present() = 0;

    // Other names the scene code uses for two of the operations above.
    void UnbindAllTextures() { UnbindTextures(); }
    void ResetTextureStages() { ResetStageStates(); }

    // The thread that ran Init (0 before).
    std::uint32_t GetCreatingThreadId() const { return creatingThreadId_; }

    // ---- Debug draws. Each hands its geometry with a built-in material to the render system's
    // draw path (inside the scene's BeginScene/EndScene); a missing or unready material, or no
    // render system, draws nothing and reports nothing. Colours are r, g, b, a; the vertex
    // arrays are shared, so the draws are not re-entrant. Host thread.
    // A quad in clip space (rect: x, y, width, height) at depth 1 with the texture rectangle
    // uvRect (u, v, width, height; v counted upwards), with the material (null: "DrawQuad").
    // The table's values (when given) are set on the material's program for this draw.
    // Answers the triangles drawn.
    std::uint32_t DrawQuad(const float* rect, const float* uvRect, Material* material,
                           const float* colour, const ShaderParamTable* parameters = nullptr);
    // The edges of the box between two corners (3 floats each), with "WireFrame".
    void DrawAABB(const float* minimum, const float* maximum, const float* colour);
    // The edges of the box whose eight corners (24 floats) are given, corner i having x from
    // bit 0, y from bit 1 and z from bit 2 of i; with "WireFrame".
    void DrawAABBCorners(const float* corners, const float* colour);
    // One line segment, with "WireFrame".
    void DrawWireFrame(const float* from, const float* to, const float* colour);
    // One filled triangle (9 floats), with "Simple".
    void DrawSimple(const float* points, const float* colour);
    // The vertex declaration of the flags, made once per device (cached until the device goes);
    // null without a hardware buffer manager.
    VertexBufferDeclaration* GetDebugVertexFormat(std::uint32_t flags);
    // Forgets the cached formats (the render system calls it before the device goes).
    void ReleaseDebugDrawResources() { debugFormats_.clear(); }

protected:
    static constexpr std::uint32_t kLightingFlag = 0x1;

    std::uint32_t reserved_ = 0;
    RenderTarget* colourTargets_[kColourTargetSlots] = {};
    RenderTarget* depthTarget_ = nullptr;
    std::uint8_t enabled_ = 1;
    std::int32_t fixedFunctionMode_ = MODE_SHADER;
    std::uint32_t flags_ = 0;
    char adapterDescription_[kAdapterDescriptionSize] = {};
    std::uint32_t creatingThreadId_ = 0;

private:
    // Declarations belong to the hardware buffer manager; the cache only finds them.
    std::map<std::uint32_t, VertexBufferDeclaration*> debugFormats_;
};

}  // namespace Zel
