// The pixel half of a software-device draw: for each batch of covered quads, depth, stencil and
// the occlusion count, attribute interpolation, the fixed-function texture stages (or a bound
// pixel program), specular, fog, alpha test, blending and the colour write mask, into render
// target 0 and the depth-stencil surface, in Direct3D 9's order. Depth and stencil are tested
// before shading when nothing in between can drop a pixel.
//
// Prepare runs on the host thread before a draw; Shade then runs on the device's rendering
// threads, each with its own Scratch, touching only the pixels of the batch it was given.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Platform/D3D9/D3D9Types.h"
#include "Platform/D3D9/SoftProgram.h"
#include "Platform/D3D9/SoftRasterizer.h"

struct SoftDeviceState;
struct SoftVertices;
class SoftSurface9;

class SoftPixelPipeline {
public:
    static constexpr UINT kStages = 8;
    static constexpr UINT kMaxVaryings = 16;

    // An attribute the pixel half reads: which vertex slot feeds it (-1: none, it reads
    // (0, 0, 0, 1)), how many of its components, and where they start among the triangle's
    // attribute planes.
    struct Varying {
        SoftSemantic semantic;
        int slot;
        UINT components;
        UINT offset;
    };

    // What one rendering thread keeps: shading buffers, its pixel-program runner and the samples
    // it counted as passing the depth test.
    struct Scratch {
        alignas(64) float var[kMaxVaryings * 4][kSoftLanes];
        alignas(64) float color[4][kSoftLanes];
        alignas(64) float z[kSoftLanes];
        ULONGLONG samplesPassed = 0;
        std::shared_ptr<const SoftProgram> runnerProgram;
        std::unique_ptr<SoftProgramRunner> runner;
        bool runnerPrepared = false;
    };

    SoftPixelPipeline() = default;
    SoftPixelPipeline(const SoftPixelPipeline&) = delete;
    SoftPixelPipeline& operator=(const SoftPixelPipeline&) = delete;

    // Takes the draw's state. vertices tells what the vertex stage produced; program is the bound
    // pixel program (null: the fixed-function stages); units samples the bound textures.
    // fixedVertex: the vertices came from the fixed function (its texture coordinates are per
    // stage). False when nothing can be drawn (no render target).
    bool Prepare(const SoftDeviceState& state, const SoftVertices& vertices,
                 std::shared_ptr<const SoftProgram> program, const SoftTextureUnits* units,
                 bool fixedVertex);

    const std::vector<Varying>& Varyings() const { return varyings_; }
    UINT AttributeFloats() const { return attributeFloats_; }
    // The inclusive pixel rectangle draws may touch (viewport, targets and scissor).
    const RECT& Bounds() const { return bounds_; }
    float DepthBias() const { return depthBias_; }
    float SlopeBias() const { return slopeBias_; }
    DWORD Cull() const { return cull_; }
    bool FlatShading() const { return flat_; }

    // Readies a thread's scratch for this draw (host thread, after Prepare): zeroes its count and
    // makes or marks its program runner.
    void BeginDraw(Scratch& scratch) const;
    void Shade(const SoftRasterizer::Triangle& triangle, const SoftRasterizer::Plane* planes,
               const SoftRasterizer::QuadBatch& batch, Scratch& scratch) const;

private:
    unsigned DepthStencil(unsigned mask, const int* x, const int* y, const float* z, bool ccw,
                          Scratch& scratch) const;
    // Depth test and write without stencil; test(incoming, stored) passes a sample.
    template <class Test>
    unsigned DepthOnly(unsigned mask, const int* x, const int* y, const float* z, Test test) const;
    void ShadeFixed(Scratch& s) const;
    // One stage of the two kinds most draws use, without the general stages' passes.
    enum class SimpleStage { None, Diffuse, ModulateTexture };
    SimpleStage SimpleStageOf() const;
    void ShadeSimple(Scratch& s) const;
    unsigned ShadeProgram(Scratch& s) const;
    void Merge(unsigned mask, const int* x, const int* y, Scratch& s) const;

    struct Stage {
        DWORD colorOp, colorArg[3];
        DWORD alphaOp, alphaArg[3];
        DWORD result;
        float constant[4];
        bool textured;
        int coordVarying;  // -1: no coordinates
        UINT coordCount;
        int projectDivide;  // component to divide by, or -1
        bool cube;
    };

    std::vector<Varying> varyings_;
    UINT attributeFloats_ = 0;
    RECT bounds_{};
    DWORD cull_ = D3DCULL_NONE;
    bool flat_ = false;
    float depthBias_ = 0.0f;
    float slopeBias_ = 0.0f;

    // Targets.
    BYTE* target_ = nullptr;
    UINT targetPitch_ = 0;
    D3DFORMAT targetFormat_ = D3DFMT_UNKNOWN;
    UINT targetBpp_ = 0;
    float* depth_ = nullptr;
    BYTE* stencil_ = nullptr;
    UINT depthWidth_ = 0;

    // Depth, stencil, alpha test.
    bool depthTest_ = false;
    bool depthWrite_ = false;
    DWORD depthFunc_ = D3DCMP_LESSEQUAL;
    float depthMin_ = 0.0f, depthMax_ = 1.0f;
    bool stencilTest_ = false;
    bool twoSided_ = false;
    DWORD stencilFunc_[2] = {}, stencilFail_[2] = {}, stencilDepthFail_[2] = {},
          stencilPass_[2] = {};
    DWORD stencilRef_ = 0, stencilMask_ = 0xFF, stencilWriteMask_ = 0xFF;
    bool alphaTest_ = false;
    DWORD alphaFunc_ = D3DCMP_ALWAYS;
    DWORD alphaRef_ = 0;
    bool earlyDepth_ = true;

    // Shading.
    std::shared_ptr<const SoftProgram> program_;
    const SoftTextureUnits* units_ = nullptr;
    std::vector<int> programInputs_;  // varying per program input
    int colorOutput_ = -1, depthOutput_ = -1;
    Stage stages_[kStages]{};
    UINT stageCount_ = 0;
    int diffuseVarying_ = -1, specularVarying_ = -1, fogVarying_ = -1;
    float tfactor_[4] = {};
    bool specularAdd_ = false;
    bool usesTemp_ = false;  // a stage reads D3DTA_TEMP (which starts at 0)
    SimpleStage simpleStage_ = SimpleStage::None;

    // Fog.
    bool fog_ = false;
    DWORD fogTable_ = D3DFOG_NONE;
    bool fogFromW_ = false;
    float fogColor_[3] = {};
    float fogStart_ = 0.0f, fogEnd_ = 1.0f, fogDensity_ = 1.0f;

    // Blending and writes.
    bool blend_ = false;
    DWORD srcBlend_ = D3DBLEND_ONE, destBlend_ = D3DBLEND_ZERO, blendOp_ = D3DBLENDOP_ADD;
    DWORD srcBlendAlpha_ = D3DBLEND_ONE, destBlendAlpha_ = D3DBLEND_ZERO,
          blendOpAlpha_ = D3DBLENDOP_ADD;
    float blendFactor_[4] = {};
    DWORD writeMask_ = 0xF;
    // Source alpha over the destination, colour and alpha alike, into a 32-bit RGB target.
    bool overBlend_ = false;
};
