// The record of one draw: what the frame pipeline hands the render system and the shader constant
// filler for one pass of one renderable. Its producer (a renderable filling itself for a pass, or
// the render system for a host primitive) fills it before every draw; the draw reads it and
// changes nothing in it. Every pointer is a non-owning reference valid for the draw. Host thread.
#pragma once

#include <cstdint>

namespace Zel {

class GpuProgram;
class IndexData;
class Light;
class Pass;
class RenderState;
class SceneNode;
class ShaderParamTable;
class VertexBufferByFormat;
class VertexData;

struct RenderOperation {
    // Back to the values of a fresh record (the values written below).
    void Reset() { *this = RenderOperation{}; }

    std::int32_t tag = -1;            // not read by the draw path
    std::uint32_t primitiveType = 3;  // PrimitiveType: 3 triangle list
    float worldMatrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    float viewMatrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    float projectionMatrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    VertexData* vertexData = nullptr;
    // The vertex buffer laid out for the pass's vertex flags (owned by the vertex data).
    VertexBufferByFormat* vertexBinding = nullptr;
    IndexData* indexData = nullptr;
    RenderState* renderState = nullptr;  // the pass's; its generated colours are updated
    Pass* pass = nullptr;
    std::uint32_t vertexCount = 0;  // vertices referenced
    std::int32_t baseVertex = 0;    // added to every index
    std::uint32_t startIndex = 0;   // first index in the index buffer
    std::uint32_t indexCount = 0;   // indices drawn
    // Vertices and indices in memory instead of buffers (null: draw from the buffers).
    const void* userVertices = nullptr;
    const void* userIndices = nullptr;
    std::uint32_t userIndexFormat = 0;   // format code of the user indices
    std::uint32_t userVertexStride = 0;  // bytes per user vertex
    const Light* light = nullptr;        // null: no light
    GpuProgram* program = nullptr;       // whose constants the filler sets
    // 0 for the first lighting pass of a renderable, above 0 for each pass already blended into
    // the frame (the draw is then additive).
    std::uint32_t accumulation = 0;
    std::uint32_t repeatCount = 1;  // the draw call is issued this many times
    // Vertex-colour modulation constant; the fixed-function texture factor.
    float vertexColourModulate[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    // Bit 0: in fixed-function mode stage 0 modulates the texture by the modulate colour.
    std::uint32_t flags = 0;
    // Handed to the filler's material-colour step while hasColour is set.
    float colour[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    bool hasColour = false;
    std::uint32_t reserved = 0;  // not read by the draw path
    float value = 0.0f;          // handed to the filler with the pass (a piece's render offset)
    float mipLodBias = 0.0f;
    // Where the renderable takes its ambient light from; handed to the device's ambient step.
    float ambientLookup[3] = {0.0f, 0.0f, 0.0f};
    const ShaderParamTable* parameters = nullptr;  // the renderable's named overrides, or null
    // The scene object the piece belongs to (null for host primitives).
    SceneNode* owner = nullptr;
};

}  // namespace Zel
