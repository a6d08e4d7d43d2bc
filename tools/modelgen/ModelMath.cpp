#include "modelgen/ModelMath.h"

#include <cmath>

namespace ZelModelGen {

Matrix4 Multiply(const Matrix4& a, const Matrix4& b) {
    Matrix4 r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            float s = 0;
            for (int k = 0; k < 4; ++k) s += a.At(i, k) * b.At(k, j);
            r.At(i, j) = s;
        }
    return r;
}

Matrix4 Transpose(const Matrix4& a) {
    Matrix4 r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) r.At(i, j) = a.At(j, i);
    return r;
}

Matrix4 TranslationMatrix(Vec3 t) {
    Matrix4 r;
    r.At(3, 0) = t.x;
    r.At(3, 1) = t.y;
    r.At(3, 2) = t.z;
    return r;
}

Vec3 Normalised(Vec3 v) {
    float len = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    if (len == 0) return {0, 0, 1};
    return {v.x / len, v.y / len, v.z / len};
}

Matrix4 RotationMatrix(Vec3 axis, float radians) {
    Vec3 n = Normalised(axis);
    float c = std::cos(radians), s = std::sin(radians), t = 1 - c;
    // Column-vector form first, then transposed into the row-vector form.
    Matrix4 col;
    col.At(0, 0) = t * n.x * n.x + c;
    col.At(0, 1) = t * n.x * n.y - s * n.z;
    col.At(0, 2) = t * n.x * n.z + s * n.y;
    col.At(1, 0) = t * n.x * n.y + s * n.z;
    col.At(1, 1) = t * n.y * n.y + c;
    col.At(1, 2) = t * n.y * n.z - s * n.x;
    col.At(2, 0) = t * n.x * n.z - s * n.y;
    col.At(2, 1) = t * n.y * n.z + s * n.x;
    col.At(2, 2) = t * n.z * n.z + c;
    return Transpose(col);
}

Matrix4 ScaleMatrix(Vec3 s) {
    Matrix4 r;
    r.At(0, 0) = s.x;
    r.At(1, 1) = s.y;
    r.At(2, 2) = s.z;
    return r;
}

Vec4 QuaternionFromAxisAngle(Vec3 axis, float radians) {
    Vec3 n = Normalised(axis);
    float s = std::sin(radians / 2);
    return {n.x * s, n.y * s, n.z * s, std::cos(radians / 2)};
}

Vec3 Plus(Vec3 a, Vec3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}

Vec3 Minus(Vec3 a, Vec3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

}  // namespace ZelModelGen
