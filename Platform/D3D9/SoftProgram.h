// The program seam of the software device: vertex and pixel programs that replace the
// fixed-function stages. The device knows programs only through these interfaces; whoever
// compiles them (the effect framework) implements them and binds them with
// SoftPipeline::SetPrograms.
//
// Programs run on batches of kSoftLanes vertices or pixels, one float array of kSoftLanes per
// component. Pixel batches are four 2×2 quads: lane 4q + 0 is pixel (x, y), 4q + 1 (x + 1, y),
// 4q + 2 (x, y + 1), 4q + 3 (x + 1, y + 1), so a program may take derivatives inside a quad.
// Lanes beyond a batch's real count (and uncovered lanes of a quad) hold valid but meaningless
// inputs; their results are ignored.
//
// Vertex program: inputs are the vertex elements by semantic (usage, usage index; a missing
// element reads (0, 0, 0, 1)); outputs are POSITION 0 (clip space, z from 0 to w) and any
// interpolants by semantic. Pixel program: inputs are the interpolants by semantic, matched to
// the vertex outputs (one with no match reads (0, 0, 0, 1)); outputs are COLOR 0 and optionally
// DEPTH 0; a lane may be discarded. Textures are read through SoftTextureUnits, which samples the
// device's bound textures with their sampler states.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Platform/D3D9/D3D9Types.h"

constexpr unsigned kSoftLanes = 16;

// Samplers a vertex program reads are numbered from here (D3DVERTEXTEXTURESAMPLER0).
constexpr std::uint32_t kSoftVertexSamplerBase = 257;

struct SoftSemantic {
    BYTE usage;  // D3DDECLUSAGE
    BYTE usageIndex;
    bool operator==(const SoftSemantic&) const = default;
};

enum class SoftTextureDim : std::uint8_t { Tex1D, Tex2D, Tex3D, Cube };
enum class SoftLodMode : std::uint8_t { Implicit, Bias, Explicit };

// One texture fetch for every lane of a batch. For an implicit level in a pixel program the
// coordinate derivatives may be given per lane (across x and y); when they are null the sampler
// takes them from the quads of the batch. Vertex programs fetch level 0 unless the level is
// explicit. Projected coordinates are divided by the caller.
struct SoftSampleRequest {
    std::uint32_t stage = 0;  // 0-15 for pixel programs, kSoftVertexSamplerBase + n for vertex
    SoftTextureDim dim = SoftTextureDim::Tex2D;
    unsigned coordinates = 2;    // 1 (1D), 2 (2D), 3 (3D and cube)
    const float* coord[3] = {};  // u, v, w per lane
    const float* ddx[3] = {};
    const float* ddy[3] = {};
    SoftLodMode lod = SoftLodMode::Implicit;
    const float* lodValue = nullptr;  // bias or level per lane; null for Implicit
    bool vertex = false;              // a vertex program's fetch: no derivatives
    float* out[4] = {};               // r, g, b, a per lane, written
};

// The device's texture units for the draw being executed. Sample may be called from any of the
// device's rendering threads at once; an unbound stage answers (0, 0, 0, 1).
class SoftTextureUnits {
public:
    virtual void Sample(const SoftSampleRequest& request) const = 0;

protected:
    ~SoftTextureUnits() = default;
};

// The state one thread needs to run one program: made by SoftProgram::NewRunner, used by one
// thread at a time, kept by the device across draws.
class SoftProgramRunner {
public:
    virtual ~SoftProgramRunner() = default;

    // Called once per draw before the runner's first Run of that draw: load the constants the
    // program reads (they do not change during a draw).
    virtual void BeginDraw() = 0;
    // Fills every input of every lane with (0, 0, 0, 1).
    virtual void ResetInputs() = 0;
    // kSoftLanes floats of one component of an input (SoftProgram::Inputs index).
    virtual float* Input(std::size_t input, unsigned component) = 0;
    virtual void Run(const SoftTextureUnits& units) = 0;
    // kSoftLanes floats of one component of an output (SoftProgram::Outputs index).
    virtual const float* Output(std::size_t output, unsigned component) const = 0;
    // Bit i set: lane i was discarded by the last Run (pixel programs).
    virtual std::uint32_t DiscardedLanes() const = 0;
};

// A compiled program. Shared by the device's threads (every member is const); the device keeps a
// reference while it is bound and while runners made from it live.
class SoftProgram {
public:
    virtual ~SoftProgram() = default;

    virtual const std::vector<SoftSemantic>& Inputs() const = 0;
    virtual const std::vector<SoftSemantic>& Outputs() const = 0;
    // Whether a Run may discard lanes (then depth and stencil are tested after it).
    virtual bool MayDiscard() const = 0;
    virtual std::unique_ptr<SoftProgramRunner> NewRunner() const = 0;
};
