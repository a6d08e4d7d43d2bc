#include <gtest/gtest.h>

#include <cmath>

#include "Platform/D3DX9/D3DX9Math.h"

namespace {

struct Vec4 {
    float x, y, z, w;
};

// D3DX's convention: a row vector times the matrix.
Vec4 Transform(float x, float y, float z, const D3DXMATRIX& m) {
    const float v[4] = {x, y, z, 1.0f};
    float r[4];
    for (int c = 0; c < 4; ++c) {
        r[c] = v[0] * m.m[0][c] + v[1] * m.m[1][c] + v[2] * m.m[2][c] + v[3] * m.m[3][c];
    }
    return {r[0], r[1], r[2], r[3]};
}

TEST(D3DX9Math, LookAtRHKeepsTheTranslationInTheFourthRow) {
    const D3DXVECTOR3 eye{1.0f, 2.0f, 3.0f};
    const D3DXVECTOR3 at{1.0f, 2.0f, -7.0f};
    const D3DXVECTOR3 up{0.0f, 1.0f, 0.0f};
    D3DXMATRIX m;
    EXPECT_EQ(D3DXMatrixLookAtRH(&m, &eye, &at, &up), &m);
    EXPECT_FLOAT_EQ(m.m[3][0], -1.0f);
    EXPECT_FLOAT_EQ(m.m[3][1], -2.0f);
    EXPECT_FLOAT_EQ(m.m[3][2], -3.0f);
    EXPECT_EQ(m.m[0][3], 0.0f);
    EXPECT_EQ(m.m[3][3], 1.0f);
    // The eye goes to the origin and the target straight ahead down -z.
    const Vec4 target = Transform(at.x, at.y, at.z, m);
    EXPECT_NEAR(target.x, 0.0f, 1e-6f);
    EXPECT_NEAR(target.y, 0.0f, 1e-6f);
    EXPECT_NEAR(target.z, -10.0f, 1e-5f);
    // Looking along +x from the origin: the world's +z is the view's right.
    const D3DXVECTOR3 origin{0, 0, 0};
    const D3DXVECTOR3 alongX{5, 0, 0};
    D3DXMatrixLookAtRH(&m, &origin, &alongX, &up);
    const Vec4 side = Transform(0.0f, 0.0f, 1.0f, m);
    EXPECT_NEAR(side.x, 1.0f, 1e-6f);
    EXPECT_NEAR(side.z, 0.0f, 1e-6f);
}

TEST(D3DX9Math, PerspectiveFovRHMapsTheViewVolumeToClipSpace) {
    const float fov = 1.0f;
    const float aspect = 1.5f;
    D3DXMATRIX m;
    D3DXMatrixPerspectiveFovRH(&m, fov, aspect, 2.0f, 50.0f);
    const float t = std::tan(fov * 0.5f);
    struct {
        float x, y, z;
        float ndcX, ndcY, depth;
    } cases[] = {
        {0, 0, -2, 0, 0, 0},
        {0, 0, -50, 0, 0, 1},
        {0, 2 * t, -2, 0, 1, 0},
        {-50 * t * aspect, -50 * t, -50, -1, -1, 1},
    };
    for (const auto& c : cases) {
        const Vec4 clip = Transform(c.x, c.y, c.z, m);
        EXPECT_NEAR(clip.x / clip.w, c.ndcX, 1e-5f);
        EXPECT_NEAR(clip.y / clip.w, c.ndcY, 1e-5f);
        EXPECT_NEAR(clip.z / clip.w, c.depth, 1e-5f);
    }
    EXPECT_EQ(m.m[2][3], -1.0f);
    EXPECT_EQ(m.m[3][3], 0.0f);
}

TEST(D3DX9Math, OrthoRHAndOffCenterTakeLeftRightBottomTopNearFar) {
    D3DXMATRIX m;
    D3DXMatrixOrthoRH(&m, 8.0f, 4.0f, 1.0f, 11.0f);
    Vec4 v = Transform(4.0f, 2.0f, -1.0f, m);
    EXPECT_FLOAT_EQ(v.x, 1.0f);
    EXPECT_FLOAT_EQ(v.y, 1.0f);
    EXPECT_FLOAT_EQ(v.z, 0.0f);
    EXPECT_FLOAT_EQ(v.w, 1.0f);
    v = Transform(-4.0f, -2.0f, -11.0f, m);
    EXPECT_FLOAT_EQ(v.x, -1.0f);
    EXPECT_FLOAT_EQ(v.z, 1.0f);

    D3DXMatrixOrthoOffCenterRH(&m, 10.0f, 30.0f, -5.0f, 5.0f, 1.0f, 3.0f);
    v = Transform(10.0f, -5.0f, -1.0f, m);
    EXPECT_FLOAT_EQ(v.x, -1.0f);
    EXPECT_FLOAT_EQ(v.y, -1.0f);
    EXPECT_FLOAT_EQ(v.z, 0.0f);
    v = Transform(30.0f, 5.0f, -3.0f, m);
    EXPECT_FLOAT_EQ(v.x, 1.0f);
    EXPECT_FLOAT_EQ(v.y, 1.0f);
    EXPECT_FLOAT_EQ(v.z, 1.0f);
    v = Transform(20.0f, 0.0f, -2.0f, m);
    EXPECT_FLOAT_EQ(v.x, 0.0f);
    EXPECT_FLOAT_EQ(v.z, 0.5f);
}

TEST(D3DX9Math, Vec3ProjectMapsToTheViewport) {
    const D3DVIEWPORT9 viewport{10, 20, 640, 480, 0.25f, 0.75f};
    D3DXVECTOR3 out;
    // Null matrices are the identity: the point is already in normalised device coordinates.
    const D3DXVECTOR3 ndc{0.5f, 0.5f, 0.5f};
    EXPECT_EQ(D3DXVec3Project(&out, &ndc, &viewport, nullptr, nullptr, nullptr), &out);
    EXPECT_FLOAT_EQ(out.x, 10.0f + 640.0f * 0.75f);
    EXPECT_FLOAT_EQ(out.y, 20.0f + 480.0f * 0.25f);
    EXPECT_FLOAT_EQ(out.z, 0.5f);
    D3DXVec3Project(&out, &ndc, nullptr, nullptr, nullptr, nullptr);
    EXPECT_FLOAT_EQ(out.x, 0.5f);

    // World, view and projection apply in that order; the far point straight ahead lands in the
    // viewport's centre at MaxZ.
    D3DXMATRIX world = {};
    world.m[0][0] = world.m[1][1] = world.m[2][2] = world.m[3][3] = 1.0f;
    world.m[3][2] = -40.0f;  // moves the point 40 further away
    const D3DXVECTOR3 eye{0, 0, 0};
    const D3DXVECTOR3 at{0, 0, -1};
    const D3DXVECTOR3 up{0, 1, 0};
    D3DXMATRIX view;
    D3DXMATRIX projection;
    D3DXMatrixLookAtRH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovRH(&projection, 1.0f, 640.0f / 480.0f, 1.0f, 50.0f);
    const D3DXVECTOR3 point{0.0f, 0.0f, -10.0f};
    D3DXVec3Project(&out, &point, &viewport, &projection, &view, &world);
    EXPECT_NEAR(out.x, 330.0f, 1e-3f);
    EXPECT_NEAR(out.y, 260.0f, 1e-3f);
    EXPECT_NEAR(out.z, 0.75f, 1e-5f);
}

TEST(D3DX9Math, Vec3NormalizeKeepsAZeroVectorZero) {
    D3DXVECTOR3 v{0.0f, 0.0f, 0.0f};
    EXPECT_EQ(D3DXVec3Normalize(&v, &v), &v);
    EXPECT_EQ(v.x, 0.0f);
    EXPECT_EQ(v.y, 0.0f);
    EXPECT_EQ(v.z, 0.0f);
    D3DXVECTOR3 out;
    const D3DXVECTOR3 in{3.0f, 0.0f, -4.0f};
    D3DXVec3Normalize(&out, &in);
    EXPECT_FLOAT_EQ(out.x, 0.6f);
    EXPECT_FLOAT_EQ(out.z, -0.8f);
    // Components whose squares underflow a float still give a unit vector.
    const D3DXVECTOR3 tiny{1e-30f, 0.0f, 1e-30f};
    D3DXVec3Normalize(&out, &tiny);
    EXPECT_NEAR(out.x, std::sqrt(0.5f), 1e-6f);
    EXPECT_NEAR(out.z, std::sqrt(0.5f), 1e-6f);
}

}  // namespace
