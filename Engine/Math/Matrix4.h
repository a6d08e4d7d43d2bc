// A 4x4 matrix: sixteen floats, row-major (element (r, c) at index 4r + c), acting on column
// vectors: x' = m0 x + m1 y + m2 z + m3, so the translation lies in elements 3, 7 and 11 and an
// affine matrix ends with the row 0 0 0 1. The upper 3x3 of a transform is rotation x scale, so
// the scale of axis j is the length of column j. Matrices handed to Direct3D or D3DX are the
// transpose of this layout.
//
// The operations are static and work on plain 16-float arrays, so they serve both Matrix4 values
// and matrices embedded in other records. None allocates, locks or logs.
#pragma once

namespace Zel {

struct Matrix4 {
    float m[16];

    // M = transpose of M.
    static void Transpose(float* m);

    // Inverts M in place by cofactors. Answers false, leaving M untouched, when
    // |determinant| < 1e-14; a NaN determinant does not fail.
    static bool Inverse(float* m);

    // out_i = row i of the upper 3x3 . v (no translation); out must not be v.
    static void RotateVector(const float* m, float* out, const float* v);

    // Scale (3 floats: column lengths), rotation quaternion and translation (3 floats) of M.
    // A zero-length column keeps scale 0 and contributes the matching identity column to the
    // rotation, so a zero-scaled matrix gives rotation (0, 0, 0, 1). Any output may be null.
    static void Decompose(const float* m, float* outScale, float* outRotation, float* outPosition);
    static void ExtractPosition(const float* m, float* out);
    static void ExtractScale(const float* m, float* out);
    static void ExtractRotation(const float* m, float* out);

    // out = T(position) R(rotation) S(scale): the upper 3x3 is R with column j scaled by scale j.
    static void MakeTransform(float* out, const float* scale, const float* rotation,
                              const float* position);
    // MakeTransform with scale 1.
    static void FromRotationTranslation(float* out, const float* rotation, const float* position);
    // Rebuilds M from its own rotation and translation with scale 1.
    static void RemoveScale(float* m);
};

}  // namespace Zel
