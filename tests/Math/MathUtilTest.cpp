#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

#include "Math/MathUtil.h"
#include "Math/Matrix4.h"
#include "Math/Quaternion.h"
#include "Math/ColourValue.h"
#include "Math/RSqrtTable.h"

namespace {

using namespace Zel;

void ExpectQuatNear(const float* q, float x, float y, float z, float w, float tol = 1e-5f) {
    EXPECT_NEAR(q[0], x, tol);
    EXPECT_NEAR(q[1], y, tol);
    EXPECT_NEAR(q[2], z, tol);
    EXPECT_NEAR(q[3], w, tol);
}

// q and -q are the same rotation.
void ExpectSameRotation(const float* a, const float* b, float tol = 1e-4f) {
    float dot = 0.0f;
    for (int i = 0; i < 4; ++i) {
        dot += a[i] * b[i];
    }
    EXPECT_NEAR(std::fabs(dot), 1.0f, tol);
}

TEST(RSqrtTable, EntriesFollowTheBuildRuleAndEntry256IsAllOnes) {
    const std::uint32_t* table = GetRSqrtTable();
    EXPECT_EQ(table[256], 0x7F8000u);
    // Entry 0 is f = 0.5: 1/sqrt(0.5) = 1.41421 = 1.0110101 (binary) -> mantissa bits 0x350000.
    EXPECT_EQ(table[0],
              (std::bit_cast<std::uint32_t>(1.0f / std::sqrt(0.5f)) + 0x2000u) & 0x7F8000u);
    EXPECT_EQ(table[0], 0x350000u);
    for (std::uint32_t i = 0; i < RSQRT_TABLE_SIZE; ++i) {
        if (i == 256) continue;
        const float f = std::bit_cast<float>((i | 0x7E00u) << 15);
        EXPECT_EQ(table[i], (std::bit_cast<std::uint32_t>(1.0f / std::sqrt(f)) + 0x2000u) & 0x7F8000u)
            << i;
    }
    std::vector<std::uint32_t> before(table, table + RSQRT_TABLE_SIZE);
    EXPECT_TRUE(BuildRSqrtTable());
    EXPECT_EQ(std::vector<std::uint32_t>(table, table + RSQRT_TABLE_SIZE), before);
}

TEST(RSqrtTable, SeedOfOneComesFromEntry256AndRefinesToOne) {
    EXPECT_NEAR(RSqrtEstimate(1.0f), 0.998046875f, 1e-9f);
    EXPECT_NEAR(FastRSqrt(1.0f), 1.0f, 1e-7f);
}

TEST(RSqrtTable, MatchesOneOverSqrtAcrossASweep) {
    // Every table entry (both exponent parities) across many magnitudes.
    float worst = 0.0f;
    for (float x = 1e-30f; x < 1e30f; x *= 1.0137f) {
        const double exact = 1.0 / std::sqrt(static_cast<double>(x));
        const double error = std::fabs(FastRSqrt(x) - exact) / exact;
        worst = std::max(worst, static_cast<float>(error));
    }
    EXPECT_LT(worst, 5e-7f);
    // A zero vector normalises to zero: the reciprocal of 0 is large but finite.
    EXPECT_TRUE(std::isfinite(FastRSqrt(0.0f)));
    EXPECT_EQ(FastSqrt(0.0f), 0.0f);
    float zero[3] = {0.0f, 0.0f, 0.0f};
    NormalizeVector3(zero);
    EXPECT_EQ(zero[0], 0.0f);
    EXPECT_EQ(zero[2], 0.0f);
}

TEST(Matrix4, TranslationLivesInElements3_7_11AndActsOnColumnVectors) {
    const float rotation[4] = {0.0f, 0.0f, std::sin(0.25f * MATH_PI), std::cos(0.25f * MATH_PI)};
    const float scale[3] = {2.0f, 3.0f, 4.0f};
    const float position[3] = {10.0f, 20.0f, 30.0f};
    float m[16];
    Matrix4::MakeTransform(m, scale, rotation, position);
    EXPECT_EQ(m[3], 10.0f);
    EXPECT_EQ(m[7], 20.0f);
    EXPECT_EQ(m[11], 30.0f);
    EXPECT_EQ(m[12], 0.0f);
    EXPECT_EQ(m[15], 1.0f);
    // x axis scaled by 2 then turned 90 degrees about z: (0, 2, 0).
    const float x[3] = {1.0f, 0.0f, 0.0f};
    float out[3];
    Matrix4::RotateVector(m, out, x);
    EXPECT_NEAR(out[0], 0.0f, 1e-6f);
    EXPECT_NEAR(out[1], 2.0f, 1e-6f);
    EXPECT_NEAR(out[2], 0.0f, 1e-6f);
}

TEST(Matrix4, DecomposeUndoesMakeTransform) {
    float axis[3] = {1.0f, 2.0f, -0.5f};
    float rotation[4];
    Quaternion::FromAngleAxis(rotation, 130.0f, axis);
    const float scale[3] = {0.5f, 2.0f, 7.0f};
    const float position[3] = {-1.0f, 4.0f, 9.0f};
    float m[16];
    Matrix4::MakeTransform(m, scale, rotation, position);
    float outScale[3];
    float outRotation[4];
    float outPosition[3];
    Matrix4::Decompose(m, outScale, outRotation, outPosition);
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(outScale[i], scale[i], 1e-5f * scale[i]);
        EXPECT_EQ(outPosition[i], position[i]);
    }
    ExpectSameRotation(outRotation, rotation);

    float extracted[4];
    Matrix4::ExtractScale(m, extracted);
    EXPECT_NEAR(extracted[2], 7.0f, 1e-5f);
    Matrix4::ExtractPosition(m, extracted);
    EXPECT_EQ(extracted[1], 4.0f);
    Matrix4::ExtractRotation(m, extracted);
    ExpectSameRotation(extracted, rotation);

    Matrix4::RemoveScale(m);
    Matrix4::ExtractScale(m, extracted);
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(extracted[i], 1.0f, 1e-5f);
    }
    EXPECT_EQ(m[11], 9.0f);
}

TEST(Matrix4, DecomposeOfAZeroScaledMatrixGivesScaleZeroAndIdentityRotation) {
    float m[16] = {0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 1};
    float scale[3];
    float rotation[4];
    float position[3];
    Matrix4::Decompose(m, scale, rotation, position);
    EXPECT_EQ(scale[0], 0.0f);
    EXPECT_EQ(scale[1], 0.0f);
    EXPECT_EQ(scale[2], 0.0f);
    ExpectQuatNear(rotation, 0.0f, 0.0f, 0.0f, 1.0f);
    EXPECT_EQ(position[2], 3.0f);

    // One collapsed axis keeps the others' rotation: 90 degrees about z, then z squashed flat.
    const float q[4] = {0.0f, 0.0f, std::sin(0.25f * MATH_PI), std::cos(0.25f * MATH_PI)};
    const float flat[3] = {1.0f, 1.0f, 0.0f};
    const float origin[3] = {0.0f, 0.0f, 0.0f};
    Matrix4::MakeTransform(m, flat, q, origin);
    Matrix4::Decompose(m, scale, rotation, position);
    EXPECT_EQ(scale[2], 0.0f);
    ExpectSameRotation(rotation, q);
}

TEST(Matrix4, InverseAtTheDeterminantThreshold) {
    // Determinant exactly 1e-14 (as a float) inverts; 1e-15 fails and leaves the matrix alone.
    float m[16] = {1e-14f, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    EXPECT_TRUE(Matrix4::Inverse(m));
    EXPECT_FLOAT_EQ(m[0], 1e14f);
    float small[16] = {1e-15f, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    float copy[16];
    std::copy(small, small + 16, copy);
    EXPECT_FALSE(Matrix4::Inverse(small));
    EXPECT_TRUE(std::equal(small, small + 16, copy));
}

TEST(Matrix4, InverseTimesMatrixIsIdentity) {
    float axis[3] = {0.3f, -1.0f, 0.2f};
    float rotation[4];
    Quaternion::FromAngleAxis(rotation, 75.0f, axis);
    const float scale[3] = {1.5f, 0.25f, 3.0f};
    const float position[3] = {5.0f, -6.0f, 7.0f};
    float m[16];
    Matrix4::MakeTransform(m, scale, rotation, position);
    m[12] = 0.1f;  // not affine: the general inverse must handle the bottom row too
    float inverse[16];
    std::copy(m, m + 16, inverse);
    ASSERT_TRUE(Matrix4::Inverse(inverse));
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) {
                sum += inverse[4 * r + k] * m[4 * k + c];
            }
            EXPECT_NEAR(sum, r == c ? 1.0f : 0.0f, 1e-5f) << r << "," << c;
        }
    }
}

TEST(Matrix4, TransposeInPlaceAndOutOfPlaceAgree) {
    float m[16];
    for (int i = 0; i < 16; ++i) {
        m[i] = static_cast<float>(i);
    }
    float out[16];
    TransposeMatrix4(m, out);
    Matrix4::Transpose(m);
    EXPECT_TRUE(std::equal(m, m + 16, out));
    EXPECT_EQ(m[1], 4.0f);
    EXPECT_EQ(m[4], 1.0f);
    EXPECT_EQ(m[3], 12.0f);
}

TEST(Euler, RoundTripsThroughQuaternionAndMatrix) {
    const float cases[][3] = {{0, 0, 0},       {30, 0, 0},     {0, 45, 0},     {0, 0, 60},
                              {10, 20, 30},    {-80, 170, -5}, {89, -120, 45}, {-45, -90, 179},
                              {60, 135, -135}, {5, -179, 90}};
    for (const auto& e : cases) {
        float q[4];
        float back[3];
        EulerToQuaternion(e, q);
        QuaternionToEuler(q, back);
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(back[i], e[i], 2e-3f) << e[0] << " " << e[1] << " " << e[2];
        }
        // And the other way: the quaternion of the recovered angles is the same rotation.
        float again[4];
        EulerToQuaternion(back, again);
        ExpectSameRotation(again, q);
    }
}

// Hamilton product a b: b acts first.
void Multiply(const float* a, const float* b, float* out) {
    out[0] = a[3] * b[0] + a[0] * b[3] + a[1] * b[2] - a[2] * b[1];
    out[1] = a[3] * b[1] - a[0] * b[2] + a[1] * b[3] + a[2] * b[0];
    out[2] = a[3] * b[2] + a[0] * b[1] - a[1] * b[0] + a[2] * b[3];
    out[3] = a[3] * b[3] - a[0] * b[0] - a[1] * b[1] - a[2] * b[2];
}

TEST(Euler, AnglesAreTurnsAboutZThenYThenX) {
    // e = (e0, e1, e2) is qx(-e2) qy(-e0) qz(-e1).
    const float e[3] = {25.0f, -60.0f, 110.0f};
    const float x[3] = {1, 0, 0}, y[3] = {0, 1, 0}, z[3] = {0, 0, 1};
    float qx[4], qy[4], qz[4], qxy[4], expected[4], q[4];
    Quaternion::FromAngleAxis(qx, -e[2], x);
    Quaternion::FromAngleAxis(qy, -e[0], y);
    Quaternion::FromAngleAxis(qz, -e[1], z);
    Multiply(qx, qy, qxy);
    Multiply(qxy, qz, expected);
    EulerToQuaternion(e, q);
    ExpectQuatNear(q, expected[0], expected[1], expected[2], expected[3], 1e-6f);
}

TEST(Euler, ClampedSineTakesTheDegenerateBranch) {
    // m02 = 1.2 clamps to 1: e0 = -90 and e2 = 0; e1 comes from m10, m11.
    const float m[9] = {0.0f, 0.0f, 1.2f, 0.0f, 1.0f, 0.0f, -1.0f, 0.0f, 0.0f};
    float e[3];
    Matrix3ToEuler(m, e);
    EXPECT_NEAR(e[0], -90.0f, 1e-4f);
    EXPECT_EQ(e[2], 0.0f);
    EXPECT_NEAR(e[1], 0.0f, 1e-4f);
}

TEST(Matrix3ToQuaternion, EveryBranchRecoversTheRotation) {
    // Half turns about x, y and z have trace -1 and pick diagonal element 0, 1 and 2.
    const float axes[][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 0}, {0.2f, -0.3f, 0.9f}};
    for (const auto& axis : axes) {
        for (float angle : {0.0f, 40.0f, 179.0f, 180.0f}) {
            float q[4];
            float m[9];
            float back[4];
            Quaternion::FromAngleAxis(q, angle, axis);
            Matrix3ToQuaternion(QuaternionToMatrix3(q, m), back);
            ExpectSameRotation(back, q);
        }
    }
}

TEST(Quaternion, FromAngleAxisNormalisesTheAxisAndToleratesZero) {
    float q[4];
    const float axis[3] = {0.0f, 0.0f, 5.0f};
    Quaternion::FromAngleAxis(q, 90.0f, axis);
    ExpectQuatNear(q, 0.0f, 0.0f, std::sin(0.25f * MATH_PI), std::cos(0.25f * MATH_PI));
    const float zero[3] = {0.0f, 0.0f, 0.0f};
    Quaternion::FromAngleAxis(q, 90.0f, zero);
    ExpectQuatNear(q, 0.0f, 0.0f, 0.0f, std::cos(0.25f * MATH_PI));
}

TEST(Quaternion, SlerpSpecialCases) {
    const float axis[3] = {0.0f, 1.0f, 0.0f};
    float q0[4];
    float q1[4];
    Quaternion::FromAngleAxis(q0, 10.0f, axis);
    Quaternion::FromAngleAxis(q1, 100.0f, axis);
    float out[4];
    Quaternion::Slerp(out, q0, q1, 0.0f);
    EXPECT_TRUE(std::equal(out, out + 4, q0));
    Quaternion::Slerp(out, q0, q1, 1.0f);
    EXPECT_TRUE(std::equal(out, out + 4, q1));
    Quaternion::Slerp(out, q0, q1, 2.0f);
    EXPECT_TRUE(std::equal(out, out + 4, q1));
    Quaternion::Slerp(out, q0, q0, 0.3f);
    EXPECT_TRUE(std::equal(out, out + 4, q0));

    // Halfway is the 55 degree turn, by the polynomial arctangent and sine.
    float expected[4];
    Quaternion::Slerp(out, q0, q1, 0.5f);
    Quaternion::FromAngleAxis(expected, 55.0f, axis);
    ExpectQuatNear(out, expected[0], expected[1], expected[2], expected[3], 2e-6f);

    // The negated end is the same rotation: the shorter arc is taken.
    const float negated[4] = {-q1[0], -q1[1], -q1[2], -q1[3]};
    Quaternion::Slerp(out, q0, negated, 0.5f);
    ExpectQuatNear(out, expected[0], expected[1], expected[2], expected[3], 2e-6f);

    // q1 = -q0: the nearly-equal branch interpolates towards -q1 = q0.
    const float minusQ0[4] = {-q0[0], -q0[1], -q0[2], -q0[3]};
    Quaternion::Slerp(out, q0, minusQ0, 0.4f);
    ExpectQuatNear(out, q0[0], q0[1], q0[2], q0[3], 1e-6f);
}

TEST(Quaternion, FromTwoVectorsSpecialCases) {
    float q[4];
    const float v[3] = {0.3f, -2.0f, 1.0f};
    Quaternion::FromTwoVectors(q, v, v);
    ExpectQuatNear(q, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f);

    // Opposite x axes: a half turn about (0, -1, -1) normalised, w = cos 90 degrees in float.
    const float x[3] = {1.0f, 0.0f, 0.0f};
    const float minusX[3] = {-1.0f, 0.0f, 0.0f};
    Quaternion::FromTwoVectors(q, x, minusX);
    const float h = std::sqrt(0.5f);
    ExpectQuatNear(q, 0.0f, -h, -h, 0.0f, 1e-6f);
    EXPECT_FLOAT_EQ(q[3], std::cos(90.0f * DEG_TO_RAD));

    // Opposite along y and along z take the other two branches; the axis is perpendicular.
    const float ys[2][3] = {{0.0f, 2.0f, 0.0f}, {0.0f, -1.0f, 0.0f}};
    const float zs[2][3] = {{0.0f, 0.0f, 3.0f}, {0.0f, 0.0f, -1.0f}};
    for (const auto* pair : {ys, zs}) {
        Quaternion::FromTwoVectors(q, pair[0], pair[1]);
        EXPECT_NEAR(Dot3(q, pair[0]), 0.0f, 1e-6f);
        EXPECT_NEAR(Dot3(q, q), 1.0f, 1e-5f);
    }

    // A short from vector with no large component still gives a finite half turn.
    const float tiny[3] = {0.005f, 0.0f, 0.0f};
    Quaternion::FromTwoVectors(q, tiny, minusX);
    for (float value : q) {
        EXPECT_TRUE(std::isfinite(value));
    }
    EXPECT_NEAR(Dot3(q, q), 1.0f, 1e-5f);

    // A general pair: the quaternion turns from onto to.
    const float from[3] = {1.0f, 0.0f, 0.0f};
    const float to[3] = {0.0f, 3.0f, 0.0f};
    Quaternion::FromTwoVectors(q, from, to);
    ExpectQuatNear(q, 0.0f, 0.0f, std::sin(0.25f * MATH_PI), std::cos(0.25f * MATH_PI));
}

TEST(Quaternion, ToHorizontalTurnsADirectionIntoThePlane) {
    const float v[3] = {1.0f, 0.0f, 1.0f};
    float q[4];
    Quaternion::ToHorizontal(q, v);
    float m[9];
    QuaternionToMatrix3(q, m);
    const float turned[3] = {m[0] * v[0] + m[1] * v[1] + m[2] * v[2],
                             m[3] * v[0] + m[4] * v[1] + m[5] * v[2],
                             m[6] * v[0] + m[7] * v[1] + m[8] * v[2]};
    EXPECT_NEAR(turned[2], 0.0f, 1e-6f);
    EXPECT_NEAR(turned[0], std::sqrt(2.0f), 1e-5f);
}

TEST(Colour, PackedFormats) {
    float c[4];
    ColorFromARGB(0x80FF0000u, c);
    EXPECT_FLOAT_EQ(c[0], 1.0f);
    EXPECT_FLOAT_EQ(c[1], 0.0f);
    EXPECT_FLOAT_EQ(c[2], 0.0f);
    EXPECT_NEAR(c[3], 0.50196f, 1e-5f);
    ColorFromABGR(0x80FF0000u, c);
    EXPECT_FLOAT_EQ(c[0], 0.0f);
    EXPECT_FLOAT_EQ(c[2], 1.0f);
    ColourValue colour{};
    colour.SetAsARGB(0xFF336699u);
    EXPECT_EQ(PackColorARGB(colour.Ptr()), 0xFF336699u);
    // Out-of-range channels saturate rather than spill into their neighbours.
    const float wild[4] = {1.5f, -0.5f, std::nanf(""), 2.0f};
    EXPECT_EQ(PackColorARGB(wild), 0xFFFF0000u);
    EXPECT_EQ(ColourValue::Green().g, 1.0f);
    EXPECT_EQ(ColourValue::Black().a, 1.0f);
}

TEST(Plane, NormalizeDividesAllFourValues) {
    float plane[4] = {0.0f, 3.0f, 4.0f, 10.0f};
    NormalizePlane(plane);
    EXPECT_NEAR(plane[1], 0.6f, 1e-6f);
    EXPECT_NEAR(plane[2], 0.8f, 1e-6f);
    EXPECT_NEAR(plane[3], 2.0f, 1e-6f);
}

}  // namespace
