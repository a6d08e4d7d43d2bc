// The vertex components a model builder fills for one mesh: POSITION, and when asked NORMAL,
// TEXCOORD0 and a colour (float DIFFUSE, or the packed colour on the fixed-function path), each
// of the mesh's vertex count, added to its vertex data at construction (which also sets its vertex
// count). Loading thread.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Zel {

class VertexComponentDataPool;
class VertexData;

class MeshComponents {
public:
    MeshComponents(VertexData& data, std::uint32_t vertexCount, bool packedColours,
                   bool withNormals, bool withTexCoords, bool withColours);
    MeshComponents(const MeshComponents&) = delete;
    MeshComponents& operator=(const MeshComponents&) = delete;

    // Whether every component asked for was allocated (a builder fails the mesh otherwise).
    bool Complete() const { return complete_; }
    // Element v of each component (v below the vertex count; the component was asked for).
    float* Position(std::uint32_t v) const { return positions + 3 * std::size_t(v); }
    float* Normal(std::uint32_t v) const { return normals + 3 * std::size_t(v); }
    float* TexCoord(std::uint32_t v) const { return texCoords + 2 * std::size_t(v); }
    // Colour v from (r, g, b, a): four floats, or packed ARGB (each channel times 255).
    void PutColour(std::uint32_t v, const float* rgba) const;

    // Null when not asked for.
    float* positions = nullptr;
    float* normals = nullptr;
    float* texCoords = nullptr;
    VertexComponentDataPool* colours = nullptr;

private:
    bool packed_;
    bool complete_ = true;
};

}  // namespace Zel
