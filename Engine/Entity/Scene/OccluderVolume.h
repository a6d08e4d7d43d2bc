// The space an occluder quad hides from an eye point: five planes (the quad's own plane and one
// through the eye along each edge) with the hidden region on the positive side of all five.
// Rebuilt per frame for the camera's position; the level's spatial tree hides the boxes that lie
// wholly inside.
#pragma once

#include "Entity/Geometry/LevelOccluder.h"

namespace Zel {

struct OccluderRecord {
    const LevelOccluder* source = nullptr;  // not owned
    float planes[5][4] = {};                // nx, ny, nz, d
};

namespace OccluderVolume {

// The quad's corners in the order its side planes 1 to 4 run along them for eye (3 floats): c0,
// c2, c3, c1 when the quad faces away from the eye (or the eye lies in its plane), else c0, c1,
// c3, c2. Answers whether it faces away.
bool EdgeLoop(const LevelOccluder& source, const float* eye, const float* loop[4]);
// Rebuilds the record's planes for eye (3 floats). Nothing without a source.
void Build(OccluderRecord& record, const float* eye);
// 0 when the box from min to max is wholly hidden, 1 when it lies outside one plane, else 2.
// Every corner of the box is tested: a box hidden at its two extreme corners may still reach out
// of the volume at another.
int ClassifyBox(const OccluderRecord& record, const float* min, const float* max);

}  // namespace OccluderVolume

}  // namespace Zel
