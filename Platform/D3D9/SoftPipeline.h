// What the software device does for a draw that passed its checks: vertex stage, primitive
// assembly (all six types, indexed or not), clipping in clip space against the near and far
// planes, the guard band and the enabled user clip planes (world space for the fixed-function
// vertex stage, clip space for a vertex program), projection through the viewport, culling,
// triangle setup, and the pixel stage over screen tiles rendered by a pool of threads. Lines are
// one pixel wide, x- or y-major, with the last pixel as D3DRS_LASTPIXEL says; points are squares of
// the point size; wireframe and point fill draw the edges and corners of the triangles that survive
// culling.
//
// Vertex and pixel programs replace the fixed-function halves while bound (SetPrograms); each
// half falls back to the fixed function on its own.
//
// Owned by the device; host thread only (it runs its own threads inside Draw).
#pragma once

#include <memory>
#include <vector>

#include "Platform/D3D9/SoftDrawCall.h"
#include "Platform/D3D9/SoftPixelPipeline.h"
#include "Platform/D3D9/SoftProgram.h"
#include "Platform/D3D9/SoftRasterizer.h"
#include "Platform/D3D9/SoftSamplerBank.h"
#include "Platform/D3D9/SoftTileRenderer.h"
#include "Platform/D3D9/SoftVertexProcessor.h"
#include "Platform/D3D9/SoftVertices.h"

struct SoftDeviceState;

class SoftPipeline {
public:
    static constexpr int kDefaultTileSize = 64;

    SoftPipeline();
    ~SoftPipeline();
    SoftPipeline(const SoftPipeline&) = delete;
    SoftPipeline& operator=(const SoftPipeline&) = delete;

    // The programs draws run from now on (null: the fixed-function half). The pipeline keeps a
    // reference until they are replaced.
    void SetPrograms(std::shared_ptr<const SoftProgram> vertex,
                     std::shared_ptr<const SoftProgram> pixel);
    const std::shared_ptr<const SoftProgram>& VertexProgram() const { return vertexProgram_; }
    const std::shared_ptr<const SoftProgram>& PixelProgram() const { return pixelProgram_; }

    // Rendering threads (0: one per processor) and the side of the square screen tiles in pixels
    // (even, at least 2). Neither changes what is drawn.
    void SetThreads(unsigned threads);
    unsigned Threads() const { return tiles_.Threads(); }
    void SetTileSize(int pixels);

    // Draws; answers the samples that passed the depth test (for occlusion queries).
    ULONGLONG Draw(const SoftDrawCall& call, const SoftDeviceState& state);

private:
    // A vertex being clipped: clip-space position, then the pixel stage's attributes.
    static constexpr UINT kMaxFloats = 4 + SoftPixelPipeline::kMaxVaryings * 4;
    struct ClipVertex {
        float v[kMaxFloats];
    };

    // The row of the draw's i-th vertex.
    UINT RowOf(const SoftDrawCall& call, UINT i) const;
    void Gather(UINT row, ClipVertex* out) const;
    // Signed distance of a clip-space vertex to a clip plane (inside: not negative): the fixed
    // planes first, then the user planes in use.
    float Distance(const float* v, int plane) const;
    // The enabled user planes of the state, turned into clip space.
    void PrepareUserPlanes(const SoftDeviceState& state);
    // Clips a polygon in place; answers its vertex count (0: nothing left).
    UINT Clip(ClipVertex* polygon, UINT count) const;
    // Clip space to screen space, in place.
    void Project(ClipVertex* v) const;
    void Triangle(UINT r0, UINT r1, UINT r2);
    void Line(UINT r0, UINT r1);
    void Point(UINT r0);
    void ScreenTriangle(const float* a, const float* b, const float* c, DWORD cull);
    void ScreenLine(const float* a, const float* b);
    void ScreenPoint(const float* a, float size);
    void Render(const SoftDeviceState& state);

    std::shared_ptr<const SoftProgram> vertexProgram_;
    std::shared_ptr<const SoftProgram> pixelProgram_;
    std::unique_ptr<SoftProgramRunner> vertexRunner_;
    std::shared_ptr<const SoftProgram> vertexRunnerProgram_;

    SoftTileRenderer tiles_;
    int tileSize_ = kDefaultTileSize;
    SoftSamplerBank samplers_;
    SoftVertexProcessor vertexProcessor_;
    SoftVertices vertices_;
    SoftPixelPipeline pixels_;
    std::vector<SoftPixelPipeline::Scratch> scratch_;

    // The draw being set up.
    std::vector<SoftRasterizer::Triangle> triangles_;
    std::vector<SoftRasterizer::Plane> planes_;
    std::vector<std::vector<UINT>> bins_;
    int tilesX_ = 0, tilesY_ = 0;
    UINT floats_ = 4;  // per ClipVertex in use
    float viewportX_ = 0, viewportY_ = 0, halfWidth_ = 0, halfHeight_ = 0;
    float minZ_ = 0, maxZ_ = 1;
    float guard_[4] = {};  // x low, x high, y low, y high in normalised device units
    int clipPlanes_ = 7;   // the fixed planes and the user planes in use
    float userPlanes_[6][4] = {};
    bool screenSpace_ = false;
    bool lastPixel_ = true;
    DWORD fillMode_ = D3DFILL_SOLID;
    float pointSize_ = 1.0f, pointMin_ = 1.0f, pointMax_ = 64.0f;
    bool pointSprite_ = false;
    int pointSizeSlot_ = -1;
    std::vector<UINT> flatFloats_;    // attribute floats that take the first vertex's value
    std::vector<UINT> spriteFloats_;  // texture-coordinate floats (u, v pairs) of point sprites
};
