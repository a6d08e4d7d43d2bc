// The one object between the scene and the render device. It makes and owns the device (Init,
// through the graphics-API manager), the shader compiler and constant filler, and the render
// windows it creates; it keeps the display settings, fog, viewport, ambient colour, current light
// and pipeline slot; it brackets the frame (BeginScene, EndScene, Present), recovers from device
// loss, switches window mode, anti-aliasing and anisotropy, answers the host's occlusion queries,
// draws host primitives from memory and purges unused resources. Host thread only
// (PurgeUnusedResources takes the main lock).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include <memory>
#include <utility>

#include "Core/Object.h"
#include "Render/AuxRenderImpl.h"
#include "Render/ColorStylizedRenderer.h"
#include "Render/DisplaySettings.h"
#include "Render/FogRecord.h"
#include "Render/ViewportRect.h"

namespace Zel {

class RenderDevice;
class IZelShaderCompiler;
class IZelShaderConstFiller;
class GpuProgram;
class Light;
class OcclusionQueryD3D9;
class Query;
class Pass;
class SceneManager;
class ShaderParamTable;
struct RenderOperation;
class RenderTarget;
class RenderWindow;
class TextureBase;
class VertexBufferByFormat;

class RenderSystem : public Object {
public:
    ZEL_CLASS_ID(RenderSystem)

    // owner: the scene that holds this system (not owned; may be null in tests).
    explicit RenderSystem(SceneManager* owner = nullptr);
    // Releases what ReleaseResources releases, when it has not run.
    ~RenderSystem() override;

    // ---- Start-up and shutdown
    // Makes the shader compiler and constant filler, the device (graphics-API manager of Globals),
    // hands the device to the managers, runs its Init and capability report, and makes the main
    // window. False (reported, no device afterwards) when the device cannot be made.
    bool Init(const DisplaySettings& settings);
    // Returns the query, leaves the owner scene and deletes this object.
    void Destroy();
    // Shutdown: detaches the device from the managers after their device objects are released,
    // deletes the windows, frees the staging buffer, destroys the device and the debug draws'
    // vertex formats, deletes the shader compiler and filler.
    void ReleaseResources();
    SceneManager* GetOwner() const { return owner_; }

    // ---- Frame
    void BeginScene();
    // Flushes the auxiliary renderer before the device's EndScene.
    void EndScene();
    bool IsInScene() const { return inScene_; }
    // Presents the active window; the time it took (ms) is kept as the last present time.
    void Present();
    float GetLastPresentTime() const { return lastPresentMs_; }
    // Makes a window on the device (full screen without a main window: the main window).
    // Null without a device or when its creation failed. The system owns the window.
    RenderWindow* CreateRenderWindow(void* windowHandle, std::uint32_t width, std::uint32_t height);
    RenderWindow* GetMainWindow() const { return mainWindow_; }
    // Width and height of the main window (the current settings' without one).
    void GetBackBufferSize(std::uint32_t* width, std::uint32_t* height) const;

    // Right-handed view matrix from eye towards target with the given up (3 floats each), in the
    // engine's column-vector layout (16 floats). No failure.
    void MakeLookAtMatrix(const float* eye, const float* target, const float* up, float* out) const;

    // Right-handed perspective projection: vertical field of view in degrees, width / height,
    // near and far distances; view-space depth -near..-far maps to 0..1. Engine layout. No failure.
    void MakePerspectiveMatrix(float fovDegrees, float aspect, float nearClip, float farClip,
                               float* out) const;

    // The windows the system draws into (not owned; a window removes itself when destroyed) and
    // the active one (null when none or after it was removed).
    void AddRenderWindow(RenderWindow* window);
    void RemoveRenderWindow(RenderWindow* window);
    void SetActiveRenderWindow(RenderWindow* window) { activeWindow_ = window; }
    RenderWindow* GetActiveRenderWindow() const { return activeWindow_; }
    const std::vector<RenderWindow*>& GetRenderWindows() const { return windows_; }

    // The device the system draws with (not owned while the render system does not make its own
    // device). Like the system's own initialisation, gives it to the managers that create device
    // objects: for now the hardware buffer and GPU program managers Globals holds, when there are
    // any. Null detaches.
    void SetRenderDevice(RenderDevice* device);
    RenderDevice* GetRenderDevice() const { return device_; }

    // The shader compiler materials ask for their effect files (Init makes one the system owns;
    // null before). Set answers the previous one, so a caller can swap one in and back; the
    // system still deletes only the one it made.
    IZelShaderCompiler* SetShaderCompiler(IZelShaderCompiler* compiler) {
        IZelShaderCompiler* previous = shaderCompiler_;
        shaderCompiler_ = compiler;
        return previous;
    }
    IZelShaderCompiler* GetShaderCompiler() const { return shaderCompiler_; }
    // The filler the draw path asks to set effect constants; as SetShaderCompiler.
    IZelShaderConstFiller* SetShaderConstFiller(IZelShaderConstFiller* filler) {
        IZelShaderConstFiller* previous = constFiller_;
        constFiller_ = filler;
        return previous;
    }
    IZelShaderConstFiller* GetShaderConstFiller() const { return constFiller_; }

    // ---- Display settings, loss and reset
    // Loss, a wait for the device and reset with these settings (the host's display change).
    void ResetDevice(const DisplaySettings& settings);
    // Resets the device with the requested settings when their multisample mode or display flag
    // differs from the current ones.
    void ApplyDisplaySettings();
    void ChangeWindowMode(bool windowed);
    void SuspendWindowMode() { windowModeHold_ = 1; }
    void RestoreWindowMode();
    bool IsWindowed() const { return windowed_ != 0; }
    // Anti-aliasing mode (a bit of the caps' multisample mask) and anisotropy level (1, 2, 4, 8
    // or 16; 1 filters without anisotropy): stored as requested when the device supports them,
    // else logged and left unchanged. False when refused.
    bool SetAntiAliasing(std::uint32_t mode);
    bool SetAnisotropy(std::uint32_t level);
    std::uint32_t GetAnisotropy() const { return anisotropy_; }
    void SetDisplayFlag(std::uint8_t flag) { requested_.displayFlag = flag; }
    std::uint8_t GetDisplayFlag() const { return displaySettings_.displayFlag; }
    const DisplaySettings& GetRequestedDisplaySettings() const { return requested_; }
    // Texture memory in MB (the last value read when there is no device).
    std::uint32_t GetAvailableTextureMemory();
    // Device objects a reset must make again that no resource manager knows (particle vertex
    // buffers): after the windows are back, each hook is called with its object, in the order
    // added. RemoveRecreateHook forgets every hook of the object.
    using RecreateHook = void (*)(void* object);
    void AddRecreateHook(RecreateHook hook, void* object);
    void RemoveRecreateHook(void* object);
    // The auxiliary renderer (null before Init) and the colour-stylising post effect.
    AuxRenderImpl* GetAuxRenderer() const { return auxRenderer_.get(); }
    ColorStylizedRenderer& GetColorStylizedRenderer() { return colorStylized_; }
    // How the display change waits for the device (milliseconds); tests pass a recorder.
    using WaitFunction = void (*)(std::uint32_t milliseconds);
    void SetDisplayChangeWait(WaitFunction wait) { displayChangeWait_ = wait; }

    // ---- State forwarded to the device
    // Stores the fog and sets it on the device only when it differs from the stored one.
    void SetFog(const FogRecord& fog);
    const FogRecord& GetFog() const { return fog_; }
    void ApplyFog();
    void DisableFog();
    void SetViewport(std::uint32_t x, std::uint32_t y, std::uint32_t width, std::uint32_t height);
    const ViewportRect& GetViewport() const { return viewport_; }
    void SetLight(const Light* light);
    const Light* GetLight() const { return light_; }
    void SetWireframeMode(bool on);
    void RestoreDefaultRenderTargets();
    void MakeOrthoOffCenterMatrix(float left, float right, float bottom, float top, float nearClip,
                                  float farClip, float* out) const;
    void MakeOrthoMatrix(float width, float height, float nearClip, float farClip,
                         float* out) const;
    // The device's viewport matrix; identity without a device.
    void GetDeviceMatrix(float* out) const;

    // ---- Occlusion queries for the host
    // Reads the running query (an object whose query counted 5 or more pixels becomes the visible
    // one), then starts a query for the object `id` the host draws next.
    void BeginPixelCountQuery(std::int32_t id);
    // Ends the running query and answers the visible object; -1 when none was started.
    std::int32_t GetVisibleQueryObject();
    // Polls a query at most this often; a query still not answered counts as visible
    // (0xFFFFFFFF pixels) and is logged once.
    static constexpr std::uint32_t kMaxQueryPolls = 10000;
    static std::uint32_t PollQueryResult(Query& query);

    // ---- Host primitives from memory
    // Vertex memory for host primitives: 5 MiB, made on first use.
    static constexpr std::uint32_t kStagingBytes = 5u * 1024u * 1024u;
    // Where a host primitive's vertices come from: positions (3 floats each) at the base, the
    // other attributes at byte offsets from it (0: absent), each element `sourceStride` bytes
    // apart (12 when 0). Colours are packed 32-bit ARGB.
    struct UserPrimitive {
        std::uint32_t primitiveType = 3;  // PrimitiveType
        std::uint32_t indexCount = 0;
        std::uint32_t vertexCount = 0;
        std::uint32_t normalOffset = 0;
        std::uint32_t uv0Offset = 0;
        std::uint32_t uv1Offset = 0;
        std::uint32_t colourOffset = 0;
        const std::uint8_t* vertices = nullptr;
        const std::uint16_t* indices = nullptr;
        std::uint32_t sourceStride = 0;
    };
    // Vertex-format flags and stride (bytes) of the staging vertices for the record.
    std::uint32_t ComputeUserVertexFormat(const UserPrimitive& primitive,
                                          std::uint32_t* stride) const;
    // Writes the record's vertices into the staging buffer in that format. False (one log line,
    // nothing written) when count × stride passes the staging size.
    bool BuildUserVertices(const UserPrimitive& primitive, std::uint32_t stride,
                           std::uint32_t flags);
    const std::uint8_t* GetStagingBuffer() const { return staging_.get(); }
    // Draws the record with the pass. Refused with one log line when its vertices do not fit the
    // staging buffer or an index names a vertex past the count; nothing without a pass or
    // vertices. Answers the primitives drawn.
    std::uint32_t DrawUserPrimitive(Pass* pass, const UserPrimitive& primitive);

    // ---- The draw path
    // Draws the record: applies its pass's render state, has the constant filler set the
    // program's constants, sets the transforms and vertex format (fixed-function) or the vertex
    // declaration (shader), begins the program's pass, issues the draw `repeatCount` times (from
    // the user vertices and indices when given, else from the vertex data's buffers and the index
    // data), ends the pass and undoes the per-draw texture state. 0 outside BeginScene/EndScene,
    // without a device, render state or pass. Answers the primitives drawn.
    std::uint32_t ProcessRenderOperation(RenderOperation& operation);
    // The same draw inside an occlusion query the system keeps; the query's pixel count goes to
    // *pixels (0xFFFFFFFF, counted visible, when the query never answers). *pixels is 0 when
    // nothing could be queried.
    std::uint32_t ProcessRenderOperationWithQuery(RenderOperation& operation,
                                                  std::uint32_t* pixels);
    // What a draw from memory hands the device: primitive, vertices with their format flags and
    // stride, and 16-bit indices (null: a non-indexed draw of vertexCount vertices).
    struct MemoryDraw {
        std::uint32_t primitiveType = 3;
        const void* vertices = nullptr;
        std::uint32_t vertexFlags = 1;
        std::uint32_t stride = 12;
        std::uint32_t vertexCount = 0;
        const std::uint16_t* indices = nullptr;
        std::uint32_t indexCount = 0;
        // Fixed-function path: stage 0 modulates the vertex colour by the operation's modulate
        // colour (geometry without colours of its own).
        bool modulateByColour = false;
        // Transforms the fixed-function path sets on the device (null: identity).
        const float* world = nullptr;
        const float* view = nullptr;
        const float* projection = nullptr;
    };
    // The debug draws' and host primitives' form: the memory geometry becomes the record's user
    // vertices and indices, drawn with the program in the vertex format the draw names.
    std::uint32_t ProcessRenderOperation(RenderOperation& operation, GpuProgram* program,
                                         const MemoryDraw& draw);
    // Sets the pass's render state on the device (through its state cache): cull, depth, alpha
    // and stencil tests, depth write, colour mask, blending (additive onto earlier passes when
    // the operation's accumulation is above 0; opaque with global switch 78) and fog (black fog
    // for accumulated passes; untouched while the stored fog is off).
    void ApplyRenderState(const RenderOperation& operation);
    // Primitives that `count` indices (or vertices) make for the primitive type; 0 where a
    // strip, fan or line strip has too few, and for an unknown type.
    static std::uint32_t PrimitiveCountFromIndexCount(std::uint32_t primitiveType,
                                                      std::uint32_t count);

    // ---- Debug draws through the device (nothing without a device or the material)
    // A screen-space quad: x, y, width, height in clip space; the texture rectangle u, v, width,
    // height; material null for "DrawQuad"; colour r, g, b, a; the table's values (when
    // given) are set on the material's program for this draw.
    void DrawQuad(const float* rect, const float* uvRect, class Material* material,
                  const float* colour, const ShaderParamTable* parameters = nullptr);
    // Draws pass 0 of the material (null: "DrawQuad") over the whole of colour target 0
    // (width × height pixels), texel centres on pixel centres, inside a scene of its own when
    // none is open. False, drawing nothing, without a device or a ready material.
    bool DrawFullScreenPass(class Material* material, std::uint32_t width, std::uint32_t height);
    // Box edges as lines: minimum and maximum corners (3 floats each).
    void DrawAABB(const float* minimum, const float* maximum, const float* colour);
    // Box edges from its eight corners (24 floats, corner i = bits x, y, z of i).
    void DrawDebugBox(const float* corners, const float* colour);
    void DrawWireFrame(const float* from, const float* to, const float* colour);
    // One filled triangle (9 floats).
    void DrawSimple(const float* points, const float* colour);

    // ---- Purge
    // Releases what no one uses any more from every resource manager; under the main lock.
    void PurgeUnusedResources();

    // ---- The device's target slots, as far as render targets need them until the frame
    // pipeline gives the render system its full form.
    // Colour target of slot i (null without a device) / bind a target or none to slot i.
    RenderTarget* GetRenderTarget(std::uint32_t index) const;
    void SetRenderTarget(std::uint32_t index, RenderTarget* target);
    // The depth-stencil surface / bind one or none.
    RenderTarget* GetDepthStencilSurface() const;
    void SetDepthStencilSurface(RenderTarget* target);
    // Clears the bound targets: flags ClearFlag, colour r, g, b, a in 0..1. Nothing without a
    // device.
    void Clear(std::uint32_t flags, const float* rgba, float depth, std::uint32_t stencil);
    // ---- Render images: the targets in slots 0..3 that material stages may sample ----
    static constexpr std::uint32_t kRenderImageCount = 4;
    // The target held in the slot (not owned); null when none or index is not below 4.
    TextureBase* GetRenderImage(std::uint32_t index) const {
        return index < kRenderImageCount ? renderImages_[index] : nullptr;
    }
    void SetRenderImage(std::uint32_t index, TextureBase* image) {
        if (index < kRenderImageCount)
            renderImages_[index] = image;
    }
    // ---- end of render images ----
    // The scene's ambient colour (r, g, b, a) that first lighting passes add.
    const float* GetAmbientColor() const { return ambient_; }
    void SetAmbientColor(float r, float g, float b, float a) {
        ambient_[0] = r;
        ambient_[1] = g;
        ambient_[2] = b;
        ambient_[3] = a;
    }

    // The pipeline slot (0..19) of the group being drawn; the shader constant filler hands it to
    // the program to choose its technique.
    std::uint32_t GetPipelineSlot() const { return pipelineSlot_; }
    void SetPipelineSlot(std::uint32_t slot) { pipelineSlot_ = slot; }

    // ---- Device loss, as far as the scene's device check needs it until the frame pipeline
    // gives the render system its full form.
    // The settings the device is reset with.
    void SetDisplaySettings(const DisplaySettings& settings) { displaySettings_ = settings; }
    const DisplaySettings& GetDisplaySettings() const { return displaySettings_; }
    // 0 usable, 1 lost, 2 lost and ready to reset; 0 without a device.
    std::uint32_t GetDeviceState() const;
    // Between OnLostDevice and OnResetDevice.
    bool IsDeviceLost() const { return deviceLost_; }
    // Marks the device lost and tells the registered resource managers.
    void OnLostDevice();
    // Clears the mark, resets the device with the display settings and, when that worked, tells
    // the resource managers and re-activates the windows.
    void OnResetDevice();

private:
    bool CreateMainWindow();
    // Stage 0 modulates `argument` (the texture or the vertex colour) by the colour, as the
    // texture factor.
    void ModulateStageZero(const float* colour, std::uint32_t argument);
    bool MayUseDevice() const { return device_ != nullptr; }
    void ChangeDisplay();
    void ReadQuery();
    // The vertex format and fixed-function transforms of a draw from memory (the record's own
    // otherwise).
    struct DrawOverrides {
        std::uint32_t vertexFlags = 0;
        const float* world = nullptr;
        const float* view = nullptr;
        const float* projection = nullptr;
        bool modulateVertexColour = false;
    };
    std::uint32_t DrawOperation(RenderOperation& operation, const DrawOverrides* overrides);
    std::uint32_t DrawOnce(const RenderOperation& operation, VertexBufferByFormat* buffer);
    void ApplyFixedFunctionStages(const RenderOperation& operation);
    void FinishRenderOperation(const RenderOperation& operation, GpuProgram* program);
    void ReleaseQueries();

    SceneManager* owner_ = nullptr;
    bool ownsDevice_ = false;
    RenderWindow* mainWindow_ = nullptr;
    std::vector<RenderWindow*> ownedWindows_;
    std::uint32_t textureMemory_ = 0;
    std::uint32_t textureMemoryCache_ = 0;
    void* windowHandle_ = nullptr;
    std::uint8_t windowed_ = 1;
    std::uint8_t windowModeHold_ = 0;
    const Light* light_ = nullptr;
    std::unique_ptr<std::uint8_t[]> staging_;
    DisplaySettings requested_;
    FogRecord fog_;
    OcclusionQueryD3D9* query_ = nullptr;
    OcclusionQueryD3D9* drawQuery_ = nullptr;  // the queried scene draws'
    std::int32_t lastQueried_ = -1;
    std::int32_t visible_ = -1;
    std::uint32_t anisotropy_ = 1;
    ViewportRect viewport_;
    bool inScene_ = false;
    float lastPresentMs_ = 0.0f;
    WaitFunction displayChangeWait_ = nullptr;
    std::vector<std::pair<RecreateHook, void*>> recreateHooks_;
    std::unique_ptr<AuxRenderImpl> auxRenderer_;
    ColorStylizedRenderer colorStylized_;
    std::unique_ptr<IZelShaderCompiler> ownedCompiler_;
    std::unique_ptr<IZelShaderConstFiller> ownedFiller_;
    IZelShaderConstFiller* constFiller_ = nullptr;
    bool deviceLost_ = false;
    DisplaySettings displaySettings_;
    float ambient_[4] = {0.5f, 0.5f, 0.5f, 0.5f};
    std::uint32_t pipelineSlot_ = 0;
    RenderDevice* device_ = nullptr;
    IZelShaderCompiler* shaderCompiler_ = nullptr;
    std::vector<RenderWindow*> windows_;
    RenderWindow* activeWindow_ = nullptr;
    std::array<TextureBase*, kRenderImageCount> renderImages_{};
};

}  // namespace Zel
