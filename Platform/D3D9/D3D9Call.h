// The device methods whose calls the software device counts (SoftDevice9::CallCount): every call
// is counted on entry, whatever it answers. The swap chain's Present counts as SwapChainPresent.
#pragma once

// clang-format off
#define ZEL_D3D9_CALLS(X) \
    X(TestCooperativeLevel) \
    X(GetAvailableTextureMem) \
    X(EvictManagedResources) \
    X(GetDirect3D) \
    X(GetDeviceCaps) \
    X(GetDisplayMode) \
    X(CreateAdditionalSwapChain) \
    X(GetSwapChain) \
    X(Reset) \
    X(Present) \
    X(GetBackBuffer) \
    X(CreateTexture) \
    X(CreateCubeTexture) \
    X(CreateVertexBuffer) \
    X(CreateIndexBuffer) \
    X(CreateRenderTarget) \
    X(CreateDepthStencilSurface) \
    X(CreateOffscreenPlainSurface) \
    X(UpdateSurface) \
    X(UpdateTexture) \
    X(GetRenderTargetData) \
    X(StretchRect) \
    X(SetRenderTarget) \
    X(GetRenderTarget) \
    X(SetDepthStencilSurface) \
    X(GetDepthStencilSurface) \
    X(BeginScene) \
    X(EndScene) \
    X(Clear) \
    X(SetTransform) \
    X(GetTransform) \
    X(SetViewport) \
    X(GetViewport) \
    X(SetMaterial) \
    X(GetMaterial) \
    X(SetLight) \
    X(GetLight) \
    X(LightEnable) \
    X(GetLightEnable) \
    X(SetClipPlane) \
    X(GetClipPlane) \
    X(SetRenderState) \
    X(GetRenderState) \
    X(GetTexture) \
    X(SetTexture) \
    X(GetTextureStageState) \
    X(SetTextureStageState) \
    X(GetSamplerState) \
    X(SetSamplerState) \
    X(SetScissorRect) \
    X(GetScissorRect) \
    X(SetNPatchMode) \
    X(GetNPatchMode) \
    X(DrawPrimitive) \
    X(DrawIndexedPrimitive) \
    X(DrawPrimitiveUP) \
    X(DrawIndexedPrimitiveUP) \
    X(CreateVertexDeclaration) \
    X(SetVertexDeclaration) \
    X(GetVertexDeclaration) \
    X(SetFVF) \
    X(GetFVF) \
    X(SetStreamSource) \
    X(GetStreamSource) \
    X(SetIndices) \
    X(GetIndices) \
    X(CreateVertexShader) \
    X(SetVertexShader) \
    X(GetVertexShader) \
    X(SetVertexShaderConstantF) \
    X(GetVertexShaderConstantF) \
    X(SetVertexShaderConstantI) \
    X(GetVertexShaderConstantI) \
    X(SetVertexShaderConstantB) \
    X(GetVertexShaderConstantB) \
    X(CreatePixelShader) \
    X(SetPixelShader) \
    X(GetPixelShader) \
    X(SetPixelShaderConstantF) \
    X(GetPixelShaderConstantF) \
    X(SetPixelShaderConstantI) \
    X(GetPixelShaderConstantI) \
    X(SetPixelShaderConstantB) \
    X(GetPixelShaderConstantB) \
    X(CreateQuery) \
    X(PresentEx) \
    X(CheckDeviceState) \
    X(ResetEx) \
    X(SwapChainPresent)
// clang-format on

enum class D3D9Call : int {
#define ZEL_D3D9_CALL_ENUM(name) name,
    ZEL_D3D9_CALLS(ZEL_D3D9_CALL_ENUM)
#undef ZEL_D3D9_CALL_ENUM
        Count
};

// The method's name, e.g. "SetRenderState".
const char* D3D9CallName(D3D9Call call);
