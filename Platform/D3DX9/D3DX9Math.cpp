#include "Platform/D3DX9/D3DX9Math.h"

#include <cmath>

namespace {

void SetZero(D3DXMATRIX* out) {
    for (auto& row : out->m) {
        for (float& value : row) {
            value = 0.0f;
        }
    }
}

struct Vec3 {
    float x, y, z;
};

Vec3 Sub(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

Vec3 Cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

float Dot(const Vec3& a, const D3DXVECTOR3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

Vec3 Normalized(const Vec3& v) {
    D3DXVECTOR3 in{v.x, v.y, v.z};
    D3DXVECTOR3 out;
    D3DXVec3Normalize(&out, &in);
    return {out.x, out.y, out.z};
}

// Row vector (x, y, z, w) times m, in place.
void TransformRow(float v[4], const D3DXMATRIX* m) {
    if (m == nullptr) {
        return;
    }
    float r[4];
    for (int c = 0; c < 4; ++c) {
        r[c] = v[0] * m->m[0][c] + v[1] * m->m[1][c] + v[2] * m->m[2][c] + v[3] * m->m[3][c];
    }
    for (int c = 0; c < 4; ++c) {
        v[c] = r[c];
    }
}

}  // namespace

D3DXMATRIX* D3DXMatrixPerspectiveFovRH(D3DXMATRIX* pOut, float fovy, float aspect, float zn,
                                       float zf) {
    const float yScale = 1.0f / std::tan(fovy * 0.5f);
    SetZero(pOut);
    pOut->m[0][0] = yScale / aspect;
    pOut->m[1][1] = yScale;
    pOut->m[2][2] = zf / (zn - zf);
    pOut->m[2][3] = -1.0f;
    pOut->m[3][2] = zn * zf / (zn - zf);
    return pOut;
}

D3DXMATRIX* D3DXMatrixLookAtRH(D3DXMATRIX* pOut, const D3DXVECTOR3* pEye, const D3DXVECTOR3* pAt,
                               const D3DXVECTOR3* pUp) {
    // Right-handed: the camera looks down its own -z, so z points from the target to the eye.
    const Vec3 zAxis = Normalized(Sub(*pEye, *pAt));
    const Vec3 xAxis = Normalized(Cross({pUp->x, pUp->y, pUp->z}, zAxis));
    const Vec3 yAxis = Cross(zAxis, xAxis);
    const Vec3 axes[3] = {xAxis, yAxis, zAxis};
    for (int c = 0; c < 3; ++c) {
        pOut->m[0][c] = axes[c].x;
        pOut->m[1][c] = axes[c].y;
        pOut->m[2][c] = axes[c].z;
        pOut->m[3][c] = -Dot(axes[c], *pEye);
        pOut->m[c][3] = 0.0f;
    }
    pOut->m[3][3] = 1.0f;
    return pOut;
}

D3DXMATRIX* D3DXMatrixOrthoRH(D3DXMATRIX* pOut, float w, float h, float zn, float zf) {
    SetZero(pOut);
    pOut->m[0][0] = 2.0f / w;
    pOut->m[1][1] = 2.0f / h;
    pOut->m[2][2] = 1.0f / (zn - zf);
    pOut->m[3][2] = zn / (zn - zf);
    pOut->m[3][3] = 1.0f;
    return pOut;
}

D3DXMATRIX* D3DXMatrixOrthoOffCenterRH(D3DXMATRIX* pOut, float l, float r, float b, float t,
                                       float zn, float zf) {
    SetZero(pOut);
    pOut->m[0][0] = 2.0f / (r - l);
    pOut->m[1][1] = 2.0f / (t - b);
    pOut->m[2][2] = 1.0f / (zn - zf);
    pOut->m[3][0] = (l + r) / (l - r);
    pOut->m[3][1] = (t + b) / (b - t);
    pOut->m[3][2] = zn / (zn - zf);
    pOut->m[3][3] = 1.0f;
    return pOut;
}

D3DXVECTOR3* D3DXVec3Project(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV,
                             const D3DVIEWPORT9* pViewport, const D3DXMATRIX* pProjection,
                             const D3DXMATRIX* pView, const D3DXMATRIX* pWorld) {
    float v[4] = {pV->x, pV->y, pV->z, 1.0f};
    TransformRow(v, pWorld);
    TransformRow(v, pView);
    TransformRow(v, pProjection);
    float x = v[0] / v[3];
    float y = v[1] / v[3];
    float z = v[2] / v[3];
    if (pViewport != nullptr) {
        const float width = static_cast<float>(pViewport->Width);
        const float height = static_cast<float>(pViewport->Height);
        x = static_cast<float>(pViewport->X) + width * (1.0f + x) * 0.5f;
        y = static_cast<float>(pViewport->Y) + height * (1.0f - y) * 0.5f;
        z = pViewport->MinZ + z * (pViewport->MaxZ - pViewport->MinZ);
    }
    pOut->x = x;
    pOut->y = y;
    pOut->z = z;
    return pOut;
}

D3DXVECTOR3* D3DXVec3Normalize(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV) {
    // Double keeps tiny and huge vectors from underflowing or overflowing on the way.
    const double x = pV->x;
    const double y = pV->y;
    const double z = pV->z;
    const double length = std::sqrt(x * x + y * y + z * z);
    if (length == 0.0) {
        *pOut = {0.0f, 0.0f, 0.0f};
        return pOut;
    }
    pOut->x = static_cast<float>(x / length);
    pOut->y = static_cast<float>(y / length);
    pOut->z = static_cast<float>(z / length);
    return pOut;
}
