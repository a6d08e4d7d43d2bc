// The Direct3D 9 device: resources, states, render targets, drawing and presentation.
#pragma once

#include "Platform/D3D9/D3D9Types.h"
#include "Platform/D3D9/IDirect3DBaseTexture9.h"
#include "Platform/D3D9/IDirect3DCubeTexture9.h"
#include "Platform/D3D9/IDirect3DIndexBuffer9.h"
#include "Platform/D3D9/IDirect3DPixelShader9.h"
#include "Platform/D3D9/IDirect3DQuery9.h"
#include "Platform/D3D9/IDirect3DSurface9.h"
#include "Platform/D3D9/IDirect3DSwapChain9.h"
#include "Platform/D3D9/IDirect3DTexture9.h"
#include "Platform/D3D9/IDirect3DVertexBuffer9.h"
#include "Platform/D3D9/IDirect3DVertexDeclaration9.h"
#include "Platform/D3D9/IDirect3DVertexShader9.h"
#include "Platform/D3D9/IUnknown.h"

class IDirect3D9;

inline constexpr GUID IID_IDirect3DDevice9 = {
    0xD0223B96, 0xBF7A, 0x43FD, {0x92, 0xBD, 0xA4, 0x3B, 0x0D, 0x82, 0xB9, 0xEB}};

// Every call answers D3DERR_INVALIDCALL for an argument Direct3D 9 refuses (out-of-range index,
// null output, an object of another device, a draw outside the bound buffers) and leaves the
// device unchanged. Getters of objects add a reference to what they answer. Objects bound to the
// device (textures, buffers, shaders, declarations, targets) stay alive while bound, without
// counting in the caller's references. Host thread only: the layer does not lock.
class IDirect3DDevice9 : public IUnknown {
public:
    // Device state and memory.
    // D3D_OK, or the loss code (D3DERR_DEVICELOST, D3DERR_DEVICENOTRESET, ...).
    virtual HRESULT TestCooperativeLevel() = 0;
    // Bytes of texture memory, rounded down to whole MB.
    virtual UINT GetAvailableTextureMem() = 0;
    virtual HRESULT EvictManagedResources() = 0;
    virtual HRESULT GetDirect3D(IDirect3D9** direct3d) = 0;
    virtual HRESULT GetDeviceCaps(D3DCAPS9* caps) = 0;
    virtual HRESULT GetDisplayMode(UINT swapChain, D3DDISPLAYMODE* mode) = 0;

    // Swap chains and presentation.
    virtual HRESULT CreateAdditionalSwapChain(D3DPRESENT_PARAMETERS* parameters,
                                              IDirect3DSwapChain9** swapChain) = 0;
    virtual HRESULT GetSwapChain(UINT swapChain, IDirect3DSwapChain9** out) = 0;
    // On a plain device: D3DERR_INVALIDCALL while any DEFAULT-pool resource, additional swap
    // chain, explicit render target or depth-stencil surface (or a held back buffer) lives;
    // D3DERR_DEVICELOST while the device is lost and not yet ready for reset. On success every
    // state returns to the Direct3D 9 defaults and everything is unbound.
    virtual HRESULT Reset(D3DPRESENT_PARAMETERS* parameters) = 0;
    virtual HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                            const RGNDATA* dirtyRegion) = 0;
    virtual HRESULT GetBackBuffer(UINT swapChain, UINT backBuffer, D3DBACKBUFFER_TYPE type,
                                  IDirect3DSurface9** surface) = 0;

    // Resources.
    virtual HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage,
                                  D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture,
                                  HANDLE* sharedHandle) = 0;
    virtual HRESULT CreateCubeTexture(UINT edgeLength, UINT levels, DWORD usage, D3DFORMAT format,
                                      D3DPOOL pool, IDirect3DCubeTexture9** texture,
                                      HANDLE* sharedHandle) = 0;
    virtual HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                       IDirect3DVertexBuffer9** buffer, HANDLE* sharedHandle) = 0;
    virtual HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                      IDirect3DIndexBuffer9** buffer, HANDLE* sharedHandle) = 0;
    virtual HRESULT CreateRenderTarget(UINT width, UINT height, D3DFORMAT format,
                                       D3DMULTISAMPLE_TYPE multiSample, DWORD multisampleQuality,
                                       BOOL lockable, IDirect3DSurface9** surface,
                                       HANDLE* sharedHandle) = 0;
    virtual HRESULT CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format,
                                              D3DMULTISAMPLE_TYPE multiSample,
                                              DWORD multisampleQuality, BOOL discard,
                                              IDirect3DSurface9** surface,
                                              HANDLE* sharedHandle) = 0;
    virtual HRESULT CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format,
                                                D3DPOOL pool, IDirect3DSurface9** surface,
                                                HANDLE* sharedHandle) = 0;
    // Copies from a SYSTEMMEM surface into a DEFAULT-pool surface of the same format.
    virtual HRESULT UpdateSurface(IDirect3DSurface9* source, const RECT* sourceRect,
                                  IDirect3DSurface9* destination, const POINT* destPoint) = 0;
    // Copies the levels of a SYSTEMMEM texture into a DEFAULT-pool texture of the same type and
    // format, matching levels by size.
    virtual HRESULT UpdateTexture(IDirect3DBaseTexture9* source,
                                  IDirect3DBaseTexture9* destination) = 0;
    // Copies a render target into a SYSTEMMEM surface of the same size and format.
    virtual HRESULT GetRenderTargetData(IDirect3DSurface9* renderTarget,
                                        IDirect3DSurface9* destination) = 0;
    // Copies a rectangle of one DEFAULT-pool surface onto a rectangle of a render target or
    // off-screen surface, scaling with D3DTEXF_POINT (or NONE) or D3DTEXF_LINEAR and converting
    // between colour formats.
    virtual HRESULT StretchRect(IDirect3DSurface9* source, const RECT* sourceRect,
                                IDirect3DSurface9* destination, const RECT* destRect,
                                D3DTEXTUREFILTERTYPE filter) = 0;

    // Render targets. Setting target 0 resets the viewport and scissor rectangle to the whole
    // target; target 0 cannot be unset.
    virtual HRESULT SetRenderTarget(DWORD index, IDirect3DSurface9* renderTarget) = 0;
    // D3DERR_NOTFOUND (and null) for an empty slot.
    virtual HRESULT GetRenderTarget(DWORD index, IDirect3DSurface9** renderTarget) = 0;
    virtual HRESULT SetDepthStencilSurface(IDirect3DSurface9* surface) = 0;
    virtual HRESULT GetDepthStencilSurface(IDirect3DSurface9** surface) = 0;

    // Scenes and clearing.
    virtual HRESULT BeginScene() = 0;
    virtual HRESULT EndScene() = 0;
    // Fills the bound render targets (colour), the depth and the stencil of the depth-stencil
    // surface, inside the rectangles (none: the whole viewport) and the viewport, and inside the
    // scissor rectangle while the scissor test is on.
    virtual HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                          DWORD stencil) = 0;

    // Fixed-function state.
    virtual HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) = 0;
    virtual HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) = 0;
    virtual HRESULT SetViewport(const D3DVIEWPORT9* viewport) = 0;
    virtual HRESULT GetViewport(D3DVIEWPORT9* viewport) = 0;
    virtual HRESULT SetMaterial(const D3DMATERIAL9* material) = 0;
    virtual HRESULT GetMaterial(D3DMATERIAL9* material) = 0;
    virtual HRESULT SetLight(DWORD index, const D3DLIGHT9* light) = 0;
    virtual HRESULT GetLight(DWORD index, D3DLIGHT9* light) = 0;
    virtual HRESULT LightEnable(DWORD index, BOOL enable) = 0;
    virtual HRESULT GetLightEnable(DWORD index, BOOL* enable) = 0;
    virtual HRESULT SetClipPlane(DWORD index, const float* plane) = 0;
    virtual HRESULT GetClipPlane(DWORD index, float* plane) = 0;
    virtual HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) = 0;
    virtual HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) = 0;
    virtual HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) = 0;
    virtual HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) = 0;
    virtual HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type,
                                         DWORD* value) = 0;
    virtual HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type,
                                         DWORD value) = 0;
    virtual HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) = 0;
    virtual HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) = 0;
    virtual HRESULT SetScissorRect(const RECT* rect) = 0;
    virtual HRESULT GetScissorRect(RECT* rect) = 0;
    virtual HRESULT SetNPatchMode(float segments) = 0;
    virtual float GetNPatchMode() = 0;

    // Drawing. A draw is checked against the bound declaration (or FVF), streams and indices;
    // a range outside them answers D3DERR_INVALIDCALL. While the device is lost a draw succeeds
    // without effect. The UP forms unbind stream 0 (and the indices) afterwards.
    virtual HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) = 0;
    virtual HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex,
                                         UINT minVertexIndex, UINT numVertices, UINT startIndex,
                                         UINT primitiveCount) = 0;
    virtual HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount,
                                    const void* vertexData, UINT vertexStride) = 0;
    virtual HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minVertexIndex,
                                           UINT numVertices, UINT primitiveCount,
                                           const void* indexData, D3DFORMAT indexFormat,
                                           const void* vertexData, UINT vertexStride) = 0;

    // Vertex input.
    virtual HRESULT CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements,
                                            IDirect3DVertexDeclaration9** declaration) = 0;
    virtual HRESULT SetVertexDeclaration(IDirect3DVertexDeclaration9* declaration) = 0;
    virtual HRESULT GetVertexDeclaration(IDirect3DVertexDeclaration9** declaration) = 0;
    // A non-zero FVF replaces the bound declaration; SetVertexDeclaration sets the FVF to 0.
    virtual HRESULT SetFVF(DWORD fvf) = 0;
    virtual HRESULT GetFVF(DWORD* fvf) = 0;
    virtual HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offsetInBytes,
                                    UINT stride) = 0;
    virtual HRESULT GetStreamSource(UINT stream, IDirect3DVertexBuffer9** buffer,
                                    UINT* offsetInBytes, UINT* stride) = 0;
    virtual HRESULT SetIndices(IDirect3DIndexBuffer9* indexData) = 0;
    virtual HRESULT GetIndices(IDirect3DIndexBuffer9** indexData) = 0;

    // Shaders and their constants (vertex: 256 float, 16 integer, 16 boolean registers; pixel: 224,
    // 16, 16).
    virtual HRESULT CreateVertexShader(const DWORD* function, IDirect3DVertexShader9** shader) = 0;
    virtual HRESULT SetVertexShader(IDirect3DVertexShader9* shader) = 0;
    virtual HRESULT GetVertexShader(IDirect3DVertexShader9** shader) = 0;
    virtual HRESULT SetVertexShaderConstantF(UINT startRegister, const float* data,
                                             UINT vector4fCount) = 0;
    virtual HRESULT GetVertexShaderConstantF(UINT startRegister, float* data,
                                             UINT vector4fCount) = 0;
    virtual HRESULT SetVertexShaderConstantI(UINT startRegister, const int* data,
                                             UINT vector4iCount) = 0;
    virtual HRESULT GetVertexShaderConstantI(UINT startRegister, int* data, UINT vector4iCount) = 0;
    virtual HRESULT SetVertexShaderConstantB(UINT startRegister, const BOOL* data,
                                             UINT boolCount) = 0;
    virtual HRESULT GetVertexShaderConstantB(UINT startRegister, BOOL* data, UINT boolCount) = 0;
    virtual HRESULT CreatePixelShader(const DWORD* function, IDirect3DPixelShader9** shader) = 0;
    virtual HRESULT SetPixelShader(IDirect3DPixelShader9* shader) = 0;
    virtual HRESULT GetPixelShader(IDirect3DPixelShader9** shader) = 0;
    virtual HRESULT SetPixelShaderConstantF(UINT startRegister, const float* data,
                                            UINT vector4fCount) = 0;
    virtual HRESULT GetPixelShaderConstantF(UINT startRegister, float* data,
                                            UINT vector4fCount) = 0;
    virtual HRESULT SetPixelShaderConstantI(UINT startRegister, const int* data,
                                            UINT vector4iCount) = 0;
    virtual HRESULT GetPixelShaderConstantI(UINT startRegister, int* data, UINT vector4iCount) = 0;
    virtual HRESULT SetPixelShaderConstantB(UINT startRegister, const BOOL* data,
                                            UINT boolCount) = 0;
    virtual HRESULT GetPixelShaderConstantB(UINT startRegister, BOOL* data, UINT boolCount) = 0;

    // Queries. With query null the call only answers whether the type is supported (D3D_OK or
    // D3DERR_NOTAVAILABLE).
    virtual HRESULT CreateQuery(D3DQUERYTYPE type, IDirect3DQuery9** query) = 0;

protected:
    ~IDirect3DDevice9() = default;
};
