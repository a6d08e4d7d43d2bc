#include "demo/DemoFountain.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace ZelDemo {
namespace {

constexpr float kLifeSeconds = 1.6f;
constexpr float kGravity = -4.0f;  // gentler than the world's: the arc stays in the picture
constexpr float kGoldenAngle = 2.3999632f;

std::uint8_t Byte(float unit) {
    return static_cast<std::uint8_t>(std::lround(std::clamp(unit, 0.0f, 1.0f) * 255.0f));
}

}  // namespace

Fountain::Fountain(const float at[3]) {
    std::copy(at, at + 3, at_);
    vertices_.resize(std::size_t(kSparks) * 4);
}

const std::vector<FountainVertex>& Fountain::Build(float seconds, const float right[3],
                                                   const float up[3], float box[6]) {
    for (int k = 0; k < 3; ++k) {
        box[k] = at_[k];
        box[3 + k] = at_[k];
    }
    static constexpr float kCorners[4][2] = {{1, 1}, {-1, 1}, {-1, -1}, {1, -1}};
    static constexpr float kUv[4][2] = {{1, 0}, {0, 0}, {0, 1}, {1, 1}};
    for (std::uint32_t i = 0; i < kSparks; ++i) {
        // Each spark starts its life a fixed share of a lifetime after the one before, along a
        // direction of its own round the vertical.
        const float share = float(i) / float(kSparks);
        const float age = std::fmod(seconds + share * kLifeSeconds, kLifeSeconds);
        const float life = age / kLifeSeconds;
        const float turn = float(i) * kGoldenAngle;
        const float outwards = 0.45f + 0.35f * std::fmod(float(i) * 0.618034f, 1.0f);
        const float velocity[3] = {outwards * std::cos(turn), 4.0f + 0.6f * share,
                                   outwards * std::sin(turn)};
        float centre[3];
        for (int k = 0; k < 3; ++k) centre[k] = at_[k] + velocity[k] * age;
        centre[1] = std::max(at_[1], centre[1] + 0.5f * kGravity * age * age);
        const float half = 0.08f + 0.12f * life;
        const float colour[4] = {1.0f, 0.55f + 0.4f * (1.0f - life), 0.2f + 0.5f * (1.0f - life),
                                 1.0f - life};
        for (int c = 0; c < 4; ++c) {
            FountainVertex& v = vertices_[std::size_t(i) * 4 + c];
            for (int k = 0; k < 3; ++k) {
                v.position[k] =
                    centre[k] + half * (kCorners[c][0] * right[k] + kCorners[c][1] * up[k]);
                box[k] = std::min(box[k], v.position[k]);
                box[3 + k] = std::max(box[3 + k], v.position[k]);
            }
            std::copy(colour, colour + 4, v.colour);
            std::copy(kUv[c], kUv[c] + 2, v.uv);
        }
    }
    return vertices_;
}

void Fountain::Write(bool packedColour, void* out) const {
    auto* bytes = static_cast<std::uint8_t*>(out);
    for (const FountainVertex& v : vertices_) {
        std::memcpy(bytes, v.position, sizeof v.position);
        bytes += sizeof v.position;
        if (packedColour) {
            const std::uint32_t argb = std::uint32_t(Byte(v.colour[3])) << 24 |
                                       std::uint32_t(Byte(v.colour[0])) << 16 |
                                       std::uint32_t(Byte(v.colour[1])) << 8 | Byte(v.colour[2]);
            std::memcpy(bytes, &argb, sizeof argb);
            bytes += sizeof argb;
        } else {
            std::memcpy(bytes, v.colour, sizeof v.colour);
            bytes += sizeof v.colour;
        }
        std::memcpy(bytes, v.uv, sizeof v.uv);
        bytes += sizeof v.uv;
    }
}

}  // namespace ZelDemo
