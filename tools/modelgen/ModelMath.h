// The little math the recipes need to describe consistent transforms: products, transposes,
// axis-angle rotations. Single precision, as the files store.
#pragma once

#include "modelgen/ModelTypes.h"

namespace ZelModelGen {

Matrix4 Multiply(const Matrix4& a, const Matrix4& b);
Matrix4 Transpose(const Matrix4& a);
// Row-vector form (translation in row 3).
Matrix4 TranslationMatrix(Vec3 t);
// Row-vector form of a right-handed rotation of `radians` about `axis` (normalised here): a point
// p maps to p x M. The column-vector form is its transpose.
Matrix4 RotationMatrix(Vec3 axis, float radians);
Matrix4 ScaleMatrix(Vec3 s);
// Quaternion (x, y, z, w) of the same rotation.
Vec4 QuaternionFromAxisAngle(Vec3 axis, float radians);
Vec3 Normalised(Vec3 v);
Vec3 Plus(Vec3 a, Vec3 b);
Vec3 Minus(Vec3 a, Vec3 b);

}  // namespace ZelModelGen
