// The few transform products the model builders need beyond Math/: the Hamilton product of two
// quaternions, a vector turned by a quaternion and the product of two 4x4 matrices. Plain float
// arrays (quaternions x, y, z, w); outputs must not alias inputs.
#pragma once

namespace Zel {

// out = a b (a applied after b).
void MultiplyQuaternions(const float* a, const float* b, float* out);
// out = v + 2w (u x v) + 2 u x (u x v) with u = (q.x, q.y, q.z).
void RotateByQuaternion(const float* q, const float* v, float* out);
// out = a b, 16 floats each, element (r, c) at 4r + c.
void MultiplyMatrices4(const float* a, const float* b, float* out);

}  // namespace Zel
