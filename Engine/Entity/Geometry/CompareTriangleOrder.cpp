#include "Entity/Geometry/CompareTriangleOrder.h"

#include "Entity/Geometry/MeshData.h"

namespace Zel {

namespace {

constexpr float kTolerance = 0.001f;
enum Side : unsigned { BEHIND = 1, IN_FRONT = 2, ON = 4 };

struct Plane {
    float normal[3];
    const float* origin;

    Plane(const std::uint32_t* corners, const float* positions, std::uint32_t stride) {
        const float* c0 = positions + std::size_t(corners[0]) * stride;
        const float* c1 = positions + std::size_t(corners[1]) * stride;
        const float* c2 = positions + std::size_t(corners[2]) * stride;
        const float e1[3] = {c0[0] - c1[0], c0[1] - c1[1], c0[2] - c1[2]};
        const float e2[3] = {c0[0] - c2[0], c0[1] - c2[1], c0[2] - c2[2]};
        normal[0] = e1[1] * e2[2] - e1[2] * e2[1];
        normal[1] = e1[2] * e2[0] - e1[0] * e2[2];
        normal[2] = e1[0] * e2[1] - e1[1] * e2[0];
        NormalizeOrZero(normal);
        origin = c0;
    }
    unsigned SideOf(const float* p) const {
        const float d = normal[0] * (p[0] - origin[0]) + normal[1] * (p[1] - origin[1]) +
                        normal[2] * (p[2] - origin[2]);
        return d < -kTolerance ? BEHIND : d > kTolerance ? IN_FRONT : ON;
    }
    unsigned SidesOf(const std::uint32_t* corners, const float* positions,
                     std::uint32_t stride) const {
        unsigned sides = 0;
        for (int i = 0; i < 3; ++i) sides |= SideOf(positions + std::size_t(corners[i]) * stride);
        return sides;
    }
};

bool Has(unsigned sides, unsigned side) {
    return (sides & side) != 0;
}

}  // namespace

int CompareTriangleOrder(const std::uint32_t* a, const std::uint32_t* b, const float* positions,
                         std::uint32_t stride) {
    const Plane planeA(a, positions, stride);
    const Plane planeB(b, positions, stride);
    const float* reference = positions;
    const unsigned sA = planeA.SideOf(reference);
    const unsigned sB = planeB.SideOf(reference);
    if (sA == ON || sB == ON)
        return 0;
    const unsigned ma = planeB.SidesOf(a, positions, stride);  // A's corners against plane B
    const unsigned mb = planeA.SidesOf(b, positions, stride);  // B's corners against plane A
    const auto crosses = [](unsigned m) { return Has(m, BEHIND) && Has(m, IN_FRONT); };
    if (crosses(ma) && crosses(mb))
        return 0;

    // Each case: result 1 when A's corners lie on side one of plane B and B's on side two of
    // plane A; else 0 unless A has a corner on side three; then 2 when B has one on side four.
    unsigned one, two, three, four;
    if (sA == BEHIND && sB == BEHIND) {
        one = BEHIND, two = IN_FRONT, three = IN_FRONT, four = BEHIND;
    } else if (sA == IN_FRONT && sB == BEHIND) {
        one = BEHIND, two = BEHIND, three = IN_FRONT, four = IN_FRONT;
    } else if (sA == IN_FRONT && sB == IN_FRONT) {
        one = IN_FRONT, two = BEHIND, three = BEHIND, four = IN_FRONT;
    } else {
        one = IN_FRONT, two = IN_FRONT, three = BEHIND, four = BEHIND;
    }
    if (Has(ma, one) && Has(mb, two))
        return 1;
    if (!Has(ma, three))
        return 0;
    return Has(mb, four) ? 2 : 0;
}

}  // namespace Zel
