// Everything a draw of the software device depends on: render, sampler and stage states,
// transforms, lights, material, viewport, scissor, clip planes, shader constants and the bound
// objects. The device keeps one; the rasteriser reads it. Values are Direct3D 9's, indexed by the
// state numbers; entries a state number does not name stay 0 and are never read.
#pragma once

#include <array>
#include <map>

#include "Platform/D3D9/BoundRef.h"
#include "Platform/D3D9/D3D9Types.h"
#include "Platform/D3D9/SoftShader9.h"
#include "Platform/D3D9/VertexLayout.h"

class SoftBaseTexture9;
class SoftIndexBuffer9;
class SoftSurface9;
class SoftVertexBuffer9;
class SoftVertexDeclaration9;

struct SoftDeviceState {
    static constexpr UINT kRenderStates = 210;
    static constexpr UINT kSamplers = 16;
    static constexpr UINT kSamplerStates = 14;
    static constexpr UINT kStages = 16;
    static constexpr UINT kStageStates = 33;
    static constexpr UINT kTransforms = 512;
    static constexpr UINT kClipPlanes = 6;
    static constexpr UINT kRenderTargets = 4;
    static constexpr UINT kStreams = 16;
    static constexpr UINT kVertexFloatConstants = 256;
    static constexpr UINT kPixelFloatConstants = 224;
    static constexpr UINT kIntConstants = 16;
    static constexpr UINT kBoolConstants = 16;

    struct Light {
        D3DLIGHT9 light;
        bool enabled;
    };

    struct Stream {
        BoundRef<SoftVertexBuffer9> buffer;
        UINT offset = 0;
        UINT stride = 0;
    };

    std::array<DWORD, kRenderStates> renderStates{};
    std::array<std::array<DWORD, kSamplerStates>, kSamplers> samplerStates{};
    std::array<std::array<DWORD, kStageStates>, kStages> stageStates{};
    std::array<D3DMATRIX, kTransforms> transforms{};
    D3DVIEWPORT9 viewport{};
    RECT scissorRect{};
    D3DMATERIAL9 material{};
    std::map<DWORD, Light> lights;
    std::array<std::array<float, 4>, kClipPlanes> clipPlanes{};
    float nPatchSegments = 0.0f;

    // Shader constant registers, four values per float and integer register (register r at 4r).
    std::array<float, kVertexFloatConstants * 4> vertexFloats{};
    std::array<int, kIntConstants * 4> vertexInts{};
    std::array<BOOL, kBoolConstants> vertexBools{};
    std::array<float, kPixelFloatConstants * 4> pixelFloats{};
    std::array<int, kIntConstants * 4> pixelInts{};
    std::array<BOOL, kBoolConstants> pixelBools{};

    // The vertex input: a declaration, else the FVF's layout (fvf 0: none).
    DWORD fvf = 0;
    VertexLayout fvfLayout;
    BoundRef<SoftVertexDeclaration9> declaration;
    std::array<Stream, kStreams> streams;
    BoundRef<SoftIndexBuffer9> indices;

    std::array<BoundRef<SoftBaseTexture9>, kSamplers> textures;
    BoundRef<SoftVertexShader9> vertexShader;
    BoundRef<SoftPixelShader9> pixelShader;
    std::array<BoundRef<SoftSurface9>, kRenderTargets> renderTargets;
    BoundRef<SoftSurface9> depthStencil;

    SoftDeviceState();
    ~SoftDeviceState();
    SoftDeviceState(const SoftDeviceState&) = delete;
    SoftDeviceState& operator=(const SoftDeviceState&) = delete;

    // Direct3D 9's defaults for every value (ZENABLE is D3DZB_TRUE only with an automatic depth
    // buffer), nothing bound, and the viewport and scissor rectangle covering width × height.
    void SetDefaults(bool autoDepthStencil, UINT width, UINT height);
    // Unbinds every object.
    void UnbindAll();

    // The layout draws read: the declaration's, else the FVF's; null when neither is set.
    const VertexLayout* Layout() const;

    // Whether a number names a Direct3D 9 render state, sampler state or stage state.
    static bool IsRenderState(DWORD state);
    static bool IsSamplerState(DWORD state) { return state >= 1 && state < kSamplerStates; }
    static bool IsStageState(DWORD state);
    // Whether a number names a transform (view, projection, texture 0-7, world 0-255).
    static bool IsTransform(DWORD state);
    // The default of a render state, sampler state, stage state (of the stage) and light.
    static DWORD DefaultRenderState(DWORD state, bool autoDepthStencil);
    static DWORD DefaultSamplerState(DWORD state);
    static DWORD DefaultStageState(DWORD stage, DWORD state);
    static D3DLIGHT9 DefaultLight();
};
