// The demo's particle fountain: sparks thrown up from a point on the floor that fall back under
// gravity, brightening from orange to yellow-white as they rise and fading as they age. Each
// spark is a quad turned to the camera, written in the vertex layout of the library's particle
// buffers. Everything is a function of the time along the path, so two runs give the same sparks.
#pragma once

#include <cstdint>
#include <vector>

namespace ZelDemo {

struct FountainVertex {
    float position[3];
    float colour[4];  // r, g, b, a from 0 to 1
    float uv[2];
};

class Fountain {
public:
    static constexpr std::uint32_t kSparks = 48;

    // at: the point the sparks leave from (world units).
    explicit Fountain(const float at[3]);

    // The quads of every spark at `seconds` along the path, four vertices each, turned to a
    // camera whose right and up directions (unit vectors) are given; box receives the minimum and
    // maximum corners of what they cover (six floats).
    const std::vector<FountainVertex>& Build(float seconds, const float right[3], const float up[3],
                                             float box[6]);

    // Writes the vertices of the last Build into a locked particle buffer: 36 bytes a vertex
    // (position, four float colour, texture coordinate), or 24 with the colour packed as one
    // 32-bit ARGB word, as the fixed-function path wants. out holds room for every vertex.
    void Write(bool packedColour, void* out) const;
    // Bytes a vertex takes in that layout.
    static std::uint32_t VertexBytes(bool packedColour) { return packedColour ? 24u : 36u; }

private:
    float at_[3];
    std::vector<FountainVertex> vertices_;
};

}  // namespace ZelDemo
