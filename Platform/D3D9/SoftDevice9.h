// The software Direct3D 9 device. Resources live in memory with real pools: on a plain device the
// DEFAULT-pool resources, additional swap chains and explicit targets must be released before
// Reset; an Ex device refuses the MANAGED pool and keeps DEFAULT resources across ResetEx. States
// start at and return to Direct3D 9's defaults. Clear fills for real and Present copies the back
// buffer into the window's frame buffer; draws are checked (DrawValidation), counted and handed to
// ExecuteDraw, where the rasteriser plugs in.
//
// Test hooks: the cooperative-level result (loss and its codes), pending polls of occlusion
// queries, per-method call counters and the executed-draw statistics. Host thread only.
#pragma once

#include <array>
#include <memory>
#include <unordered_set>

#include "Platform/D3D9/BoundRef.h"
#include "Platform/D3D9/D3D9Call.h"
#include "Platform/D3D9/IDirect3D9.h"
#include "Platform/D3D9/IDirect3DDevice9Ex.h"
#include "Platform/D3D9/SoftDeviceState.h"
#include "Platform/D3D9/SoftDrawCall.h"

class SoftDeviceChild;
class SoftPipeline;
class SoftSurface9;
class SoftSwapChain9;

class SoftDevice9 final : public IDirect3DDevice9Ex {
public:
    // Draws that passed their checks and were executed (none while the device is lost).
    struct DrawStats {
        ULONGLONG draws = 0;  // all four kinds
        ULONGLONG drawPrimitive = 0;
        ULONGLONG drawIndexedPrimitive = 0;
        ULONGLONG drawPrimitiveUP = 0;
        ULONGLONG drawIndexedPrimitiveUP = 0;
        ULONGLONG primitives = 0;
    };

    // Makes a device for the Direct3D object (which it holds a reference on) or answers the
    // failure. parameters are checked and completed in place as Direct3D 9 does (zero back-buffer
    // size: the window's client size; zero count: 1; unknown format: the display format).
    static HRESULT Create(IDirect3D9* direct3d, bool ex, HWND focusWindow, DWORD behaviorFlags,
                          D3DPRESENT_PARAMETERS* parameters, SoftDevice9** device);
    // The software device behind an interface; null for another implementation.
    static SoftDevice9* From(IDirect3DDevice9* device);

    SoftDevice9(const SoftDevice9&) = delete;
    SoftDevice9& operator=(const SoftDevice9&) = delete;

    // IUnknown. Release answers the references left: the caller's plus one for each object made
    // by the device that a caller still holds.
    HRESULT QueryInterface(REFIID riid, void** out) override;
    ULONG AddRef() override;
    ULONG Release() override;

    // IDirect3DDevice9
    HRESULT TestCooperativeLevel() override;
    UINT GetAvailableTextureMem() override;
    HRESULT EvictManagedResources() override;
    HRESULT GetDirect3D(IDirect3D9** direct3d) override;
    HRESULT GetDeviceCaps(D3DCAPS9* caps) override;
    HRESULT GetDisplayMode(UINT swapChain, D3DDISPLAYMODE* mode) override;
    HRESULT CreateAdditionalSwapChain(D3DPRESENT_PARAMETERS* parameters,
                                      IDirect3DSwapChain9** swapChain) override;
    HRESULT GetSwapChain(UINT swapChain, IDirect3DSwapChain9** out) override;
    HRESULT Reset(D3DPRESENT_PARAMETERS* parameters) override;
    HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                    const RGNDATA* dirtyRegion) override;
    HRESULT GetBackBuffer(UINT swapChain, UINT backBuffer, D3DBACKBUFFER_TYPE type,
                          IDirect3DSurface9** surface) override;
    HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                          D3DPOOL pool, IDirect3DTexture9** texture, HANDLE* sharedHandle) override;
    HRESULT CreateCubeTexture(UINT edgeLength, UINT levels, DWORD usage, D3DFORMAT format,
                              D3DPOOL pool, IDirect3DCubeTexture9** texture,
                              HANDLE* sharedHandle) override;
    HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                               IDirect3DVertexBuffer9** buffer, HANDLE* sharedHandle) override;
    HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DIndexBuffer9** buffer, HANDLE* sharedHandle) override;
    HRESULT CreateRenderTarget(UINT width, UINT height, D3DFORMAT format,
                               D3DMULTISAMPLE_TYPE multiSample, DWORD multisampleQuality,
                               BOOL lockable, IDirect3DSurface9** surface,
                               HANDLE* sharedHandle) override;
    HRESULT CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format,
                                      D3DMULTISAMPLE_TYPE multiSample, DWORD multisampleQuality,
                                      BOOL discard, IDirect3DSurface9** surface,
                                      HANDLE* sharedHandle) override;
    HRESULT CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                        IDirect3DSurface9** surface, HANDLE* sharedHandle) override;
    HRESULT UpdateSurface(IDirect3DSurface9* source, const RECT* sourceRect,
                          IDirect3DSurface9* destination, const POINT* destPoint) override;
    HRESULT UpdateTexture(IDirect3DBaseTexture9* source,
                          IDirect3DBaseTexture9* destination) override;
    HRESULT GetRenderTargetData(IDirect3DSurface9* renderTarget,
                                IDirect3DSurface9* destination) override;
    HRESULT StretchRect(IDirect3DSurface9* source, const RECT* sourceRect,
                        IDirect3DSurface9* destination, const RECT* destRect,
                        D3DTEXTUREFILTERTYPE filter) override;
    HRESULT SetRenderTarget(DWORD index, IDirect3DSurface9* renderTarget) override;
    HRESULT GetRenderTarget(DWORD index, IDirect3DSurface9** renderTarget) override;
    HRESULT SetDepthStencilSurface(IDirect3DSurface9* surface) override;
    HRESULT GetDepthStencilSurface(IDirect3DSurface9** surface) override;
    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                  DWORD stencil) override;
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override;
    HRESULT SetViewport(const D3DVIEWPORT9* viewport) override;
    HRESULT GetViewport(D3DVIEWPORT9* viewport) override;
    HRESULT SetMaterial(const D3DMATERIAL9* material) override;
    HRESULT GetMaterial(D3DMATERIAL9* material) override;
    HRESULT SetLight(DWORD index, const D3DLIGHT9* light) override;
    HRESULT GetLight(DWORD index, D3DLIGHT9* light) override;
    HRESULT LightEnable(DWORD index, BOOL enable) override;
    HRESULT GetLightEnable(DWORD index, BOOL* enable) override;
    HRESULT SetClipPlane(DWORD index, const float* plane) override;
    HRESULT GetClipPlane(DWORD index, float* plane) override;
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
    HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) override;
    HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) override;
    HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) override;
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
    HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) override;
    HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) override;
    HRESULT SetScissorRect(const RECT* rect) override;
    HRESULT GetScissorRect(RECT* rect) override;
    HRESULT SetNPatchMode(float segments) override;
    float GetNPatchMode() override;
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) override;
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex, UINT minVertexIndex,
                                 UINT numVertices, UINT startIndex, UINT primitiveCount) override;
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertexData,
                            UINT vertexStride) override;
    HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minVertexIndex, UINT numVertices,
                                   UINT primitiveCount, const void* indexData,
                                   D3DFORMAT indexFormat, const void* vertexData,
                                   UINT vertexStride) override;
    HRESULT CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements,
                                    IDirect3DVertexDeclaration9** declaration) override;
    HRESULT SetVertexDeclaration(IDirect3DVertexDeclaration9* declaration) override;
    HRESULT GetVertexDeclaration(IDirect3DVertexDeclaration9** declaration) override;
    HRESULT SetFVF(DWORD fvf) override;
    HRESULT GetFVF(DWORD* fvf) override;
    HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offsetInBytes,
                            UINT stride) override;
    HRESULT GetStreamSource(UINT stream, IDirect3DVertexBuffer9** buffer, UINT* offsetInBytes,
                            UINT* stride) override;
    HRESULT SetIndices(IDirect3DIndexBuffer9* indexData) override;
    HRESULT GetIndices(IDirect3DIndexBuffer9** indexData) override;
    HRESULT CreateVertexShader(const DWORD* function, IDirect3DVertexShader9** shader) override;
    HRESULT SetVertexShader(IDirect3DVertexShader9* shader) override;
    HRESULT GetVertexShader(IDirect3DVertexShader9** shader) override;
    HRESULT SetVertexShaderConstantF(UINT startRegister, const float* data,
                                     UINT vector4fCount) override;
    HRESULT GetVertexShaderConstantF(UINT startRegister, float* data, UINT vector4fCount) override;
    HRESULT SetVertexShaderConstantI(UINT startRegister, const int* data,
                                     UINT vector4iCount) override;
    HRESULT GetVertexShaderConstantI(UINT startRegister, int* data, UINT vector4iCount) override;
    HRESULT SetVertexShaderConstantB(UINT startRegister, const BOOL* data, UINT boolCount) override;
    HRESULT GetVertexShaderConstantB(UINT startRegister, BOOL* data, UINT boolCount) override;
    HRESULT CreatePixelShader(const DWORD* function, IDirect3DPixelShader9** shader) override;
    HRESULT SetPixelShader(IDirect3DPixelShader9* shader) override;
    HRESULT GetPixelShader(IDirect3DPixelShader9** shader) override;
    HRESULT SetPixelShaderConstantF(UINT startRegister, const float* data,
                                    UINT vector4fCount) override;
    HRESULT GetPixelShaderConstantF(UINT startRegister, float* data, UINT vector4fCount) override;
    HRESULT SetPixelShaderConstantI(UINT startRegister, const int* data,
                                    UINT vector4iCount) override;
    HRESULT GetPixelShaderConstantI(UINT startRegister, int* data, UINT vector4iCount) override;
    HRESULT SetPixelShaderConstantB(UINT startRegister, const BOOL* data, UINT boolCount) override;
    HRESULT GetPixelShaderConstantB(UINT startRegister, BOOL* data, UINT boolCount) override;
    HRESULT CreateQuery(D3DQUERYTYPE type, IDirect3DQuery9** query) override;

    // IDirect3DDevice9Ex (reachable through QueryInterface on an Ex device only)
    HRESULT PresentEx(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                      const RGNDATA* dirtyRegion, DWORD flags) override;
    HRESULT CheckDeviceState(HWND window) override;
    HRESULT ResetEx(D3DPRESENT_PARAMETERS* parameters,
                    D3DDISPLAYMODEEX* fullscreenDisplayMode) override;

    // ---- Test hooks ----
    // What TestCooperativeLevel and CheckDeviceState answer from now on. A failure code makes the
    // device lost: Present answers D3DERR_DEVICELOST and Clear and draws succeed without effect.
    // D3DERR_DEVICENOTRESET lets Reset through; a successful Reset answers D3D_OK again. A status
    // code (S_PRESENT_OCCLUDED, ...) is answered by Present too, which then copies nothing.
    void SetCooperativeLevelResult(HRESULT result) { cooperativeLevel_ = result; }
    // Occlusion queries ended from now on answer S_FALSE to this many GetData polls first.
    void SetQueryPendingPolls(UINT polls) { queryPendingPolls_ = polls; }
    ULONGLONG CallCount(D3D9Call call) const { return calls_[static_cast<int>(call)]; }
    void ResetCallCounts() { calls_.fill(0); }
    const DrawStats& Draws() const { return draws_; }

    // ---- For the layer's objects and the rasteriser ----
    bool IsEx() const { return ex_; }
    bool IsLost() const { return FAILED(cooperativeLevel_); }
    const D3DCAPS9& Caps() const { return caps_; }
    const SoftDeviceState& State() const { return state_; }
    // The draw pipeline: where vertex and pixel programs are bound, and its thread and tile
    // settings.
    SoftPipeline& Pipeline() { return *pipeline_; }
    // Objects a caller holds that keep a plain device from resetting.
    std::size_t ResetBlockers() const { return blockers_.size(); }
    // The samples counted so far as passing the depth test (added by the rasteriser).
    ULONGLONG OcclusionSamples() const { return occlusionSamples_; }
    void AddOcclusionSamples(ULONGLONG samples) { occlusionSamples_ += samples; }
    UINT QueryPendingPolls() const { return queryPendingPolls_; }
    // A child gained its first caller reference (and holds one on the device) or lost its last.
    void ChildAcquired(SoftDeviceChild* child);
    void ChildDropped(SoftDeviceChild* child);
    // The reference a child held on the device.
    void ReleaseFromChild() { Release(); }
    // IDirect3DSwapChain9::Present of one of this device's chains.
    HRESULT PresentSwapChain(SoftSwapChain9* chain, const RECT* sourceRect, const RECT* destRect,
                             HWND destWindowOverride);

private:
    SoftDevice9(IDirect3D9* direct3d, bool ex, HWND focusWindow, DWORD behaviorFlags);
    ~SoftDevice9();

    void Count(D3D9Call call) { ++calls_[static_cast<int>(call)]; }
    // Checks and completes presentation parameters for this device's windows (written back into
    // parameters); chain receives them with the resolved device window.
    HRESULT CompleteParameters(D3DPRESENT_PARAMETERS* parameters,
                               D3DPRESENT_PARAMETERS* chain) const;
    // Builds the implicit swap chain and automatic depth-stencil surface and puts every state to
    // its default.
    HRESULT BuildPresentation(const D3DPRESENT_PARAMETERS& parameters);
    HRESULT ResetCommon(D3DPRESENT_PARAMETERS* parameters);
    HRESULT PresentChain(SoftSwapChain9* chain, const RECT* sourceRect, const RECT* destRect,
                         HWND destWindowOverride);
    // D3D_OK when one resource of the bytes fits the pool's limit.
    HRESULT CheckAllocation(ULONGLONG bytes, D3DPOOL pool) const;
    bool PoolAllowed(D3DPOOL pool) const;
    bool OwnChild(const SoftDeviceChild* child) const;
    HRESULT CreateSurface(UINT width, UINT height, D3DFORMAT format, DWORD usage, D3DPOOL pool,
                          D3DMULTISAMPLE_TYPE multiSample, DWORD quality, bool lockable,
                          IDirect3DSurface9** out);
    HRESULT CreateTextureOf(D3DRESOURCETYPE type, UINT width, UINT height, UINT levels, DWORD usage,
                            D3DFORMAT format, D3DPOOL pool, void** out);
    // Binds an object of this device (or nothing) in the slot; D3DERR_INVALIDCALL for another's.
    template <class Soft, class Interface>
    HRESULT BindSlot(BoundRef<Soft>& slot, Interface* object);
    // What the slot holds, with a reference added (null when empty).
    template <class Interface, class Soft>
    static HRESULT AnswerSlot(const BoundRef<Soft>& slot, Interface** out);
    template <class Shader, class Interface>
    HRESULT CreateShader(const DWORD* function, Interface** out);
    // Where a checked draw is executed: the pipeline draws it and feeds the occlusion count.
    void ExecuteDraw(const SoftDrawCall& call);
    HRESULT FinishDraw(HRESULT checked, const SoftDrawCall& call);

    ULONG refs_ = 1;
    IDirect3D9* direct3d_;
    bool ex_;
    HWND focusWindow_;
    DWORD behaviorFlags_;
    D3DCAPS9 caps_;
    HRESULT cooperativeLevel_ = D3D_OK;
    bool inScene_ = false;
    UINT queryPendingPolls_ = 0;
    ULONGLONG occlusionSamples_ = 0;

    SoftDeviceState state_;
    std::unique_ptr<SoftPipeline> pipeline_;
    BoundRef<SoftSwapChain9> implicitChain_;
    BoundRef<SoftSurface9> autoDepthStencil_;
    std::unordered_set<SoftDeviceChild*> blockers_;

    std::array<ULONGLONG, static_cast<int>(D3D9Call::Count)> calls_{};
    DrawStats draws_;
};
