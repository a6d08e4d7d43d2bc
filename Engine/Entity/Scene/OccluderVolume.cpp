#include "Entity/Scene/OccluderVolume.h"

#include <cmath>

#include "Math/MathUtil.h"
#include "Math/RSqrtTable.h"

namespace Zel {

namespace {

void Subtract(const float* a, const float* b, float* out) {
    out[0] = a[0] - b[0];
    out[1] = a[1] - b[1];
    out[2] = a[2] - b[2];
}

// Plane with normal u x v through point; a degenerate cross product keeps the previous d.
void SetPlane(float* plane, const float* u, const float* v, const float* point) {
    float n[3];
    Cross3(u, v, n);
    const float lengthSquared = Dot3(n, n);
    const float scale = FastRSqrt(lengthSquared);
    for (float& c : n) c *= scale;
    const int zeros = (n[0] == 0.0f) + (n[1] == 0.0f) + (n[2] == 0.0f);
    if (zeros == 2) {
        for (float& c : n)
            if (c != 0.0f)
                c = c > 0.0f ? 1.0f : -1.0f;
    } else {
        for (int axis = 0; axis < 3; ++axis)
            if (std::fabs(n[axis]) == 1.0f)
                for (int other = 0; other < 3; ++other)
                    if (other != axis)
                        n[other] = 0.0f;
    }
    plane[0] = n[0];
    plane[1] = n[1];
    plane[2] = n[2];
    if (lengthSquared > 0.0f)
        plane[3] = -Dot3(n, point);
}

}  // namespace

bool OccluderVolume::EdgeLoop(const LevelOccluder& source, const float* eye, const float* loop[4]) {
    float toCentre[3];
    Subtract(source.centre, eye, toCentre);
    const bool facing = Dot3(source.normal, toCentre) >= 0.0f;
    static constexpr int kFacing[4] = {0, 2, 3, 1};
    static constexpr int kAway[4] = {0, 1, 3, 2};
    for (int k = 0; k < 4; ++k) loop[k] = source.corners[facing ? kFacing[k] : kAway[k]];
    return facing;
}

void OccluderVolume::Build(OccluderRecord& record, const float* eye) {
    const LevelOccluder* source = record.source;
    if (!source || !eye)
        return;
    const float* c0 = source->corners[0];
    const float* c1 = source->corners[1];
    const float* c3 = source->corners[3];
    const float* loop[4];
    float u[3], v[3];
    if (EdgeLoop(*source, eye, loop)) {
        Subtract(c0, c3, u);
        Subtract(c1, c3, v);
        SetPlane(record.planes[0], u, v, c3);
    } else {
        Subtract(c0, c1, u);
        Subtract(c3, c1, v);
        SetPlane(record.planes[0], u, v, c1);
    }
    for (int edge = 0; edge < 4; ++edge) {
        const float* p = loop[edge];
        const float* q = loop[(edge + 1) % 4];
        Subtract(eye, p, u);
        Subtract(q, p, v);
        SetPlane(record.planes[edge + 1], u, v, p);
    }
}

int OccluderVolume::ClassifyBox(const OccluderRecord& record, const float* min, const float* max) {
    for (const float* plane : record.planes) {
        int sides[3] = {0, 0, 0};  // above, below, on the plane
        for (int corner = 0; corner < 8; ++corner) {
            const float p[3] = {(corner & 4) ? max[0] : min[0], (corner & 2) ? max[1] : min[1],
                                (corner & 1) ? max[2] : min[2]};
            const float value = Dot3(plane, p) + plane[3];
            ++sides[value > 0.0f ? 0 : (value < 0.0f ? 1 : 2)];
        }
        if (sides[1] == 8)
            return 1;
        if (sides[0] != 8 && sides[2] != 8)
            return 2;
    }
    return 0;
}

}  // namespace Zel
