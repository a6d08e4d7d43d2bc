// Free functions on plain float arrays: vectors (3 floats), planes (nx, ny, nz, d), 4x4 and 3x3
// matrices (row-major, column vectors: the translation of a 4x4 sits in elements 3, 7 and 11),
// quaternions (x, y, z, w), Euler angles in degrees and packed colours. None of them allocates,
// locks or logs; outputs go through the caller's pointers, which may alias an input only where a
// function says so. Lengths and normalisations use the fast reciprocal square root.
#pragma once

#include <cstdint>

namespace Zel {

constexpr float DEG_TO_RAD = 0.017453292f;
constexpr float RAD_TO_DEG = 57.29578f;
constexpr float MATH_PI = 3.1415927f;
constexpr float MATH_HALF_PI = 1.5707964f;
constexpr float MATH_TWO_PI = 6.2831855f;

inline float Dot3(const float* a, const float* b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

// out = v * s; out may be v.
void ScaleVector3(const float* v, float* out, float s);

// out = a x b; out may be a or b.
void Cross3(const float* a, const float* b, float* out);

// Scales v to unit length in place; a zero vector stays zero.
void NormalizeVector3(float* v);

// Divides all four plane values by the length of the normal.
void NormalizePlane(float* plane);

// The 4x4 identity as a compile-time constant, for code that copies or points at it.
inline constexpr float kIdentityMatrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// Process-wide constants built on first use: the 4x4 identity (16 floats), the 3x3 identity
// (9 floats) and the point (0, 0, 0, 1).
const float* IdentityMatrix();
const float* GetIdentityMatrix();
const float* ZeroPoint4();

// out = transpose of in (16 floats each); out must not be in.
void TransposeMatrix4(const float* in, float* out);

// Rotation matrix of q (not normalised first). Returns out.
float* QuaternionToMatrix3(const float* q, float* out);

// Quaternion of a rotation matrix. Returns out.
float* Matrix3ToQuaternion(const float* m, float* out);

// Euler angles (e0, e1, e2) in degrees of a rotation matrix; e0 is taken from m02 clamped to
// [-1, 1], and near e0 = +-90 degrees e2 is 0. Returns out.
float* Matrix3ToEuler(const float* m, float* out);

// Quaternion of Euler angles in degrees: qx(-e2) qy(-e0) qz(-e1), so that a vector turns about
// z first, then y, then x. Matrix3ToEuler undoes it for |e0| < 90. Returns out.
float* EulerToQuaternion(const float* e, float* out);

// Matrix3ToEuler of QuaternionToMatrix3 of q. Returns out.
float* QuaternionToEuler(const float* q, float* out);

// Colour (r, g, b, a), each channel's byte / 255, from 0xAARRGGBB or from 0xAABBGGRR.
void ColorFromARGB(std::uint32_t packed, float* out);
void ColorFromABGR(std::uint32_t packed, float* out);

// 0xAARRGGBB from (r, g, b, a) in 0..1, each channel * 255 truncated.
std::uint32_t PackColorARGB(const float* rgba);

}  // namespace Zel
