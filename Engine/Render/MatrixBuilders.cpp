#include "Render/MatrixBuilders.h"

#include "Math/MathUtil.h"
#include "Platform/D3DX9/D3DX9Math.h"

namespace Zel {

// D3DX builds row-vector matrices; the system's are their transpose.

void BuildPerspectiveFovRH(float fovDegrees, float aspect, float nearClip, float farClip,
                           float* out) {
    D3DXMATRIX m;
    D3DXMatrixPerspectiveFovRH(&m, fovDegrees * DEG_TO_RAD, aspect, nearClip, farClip);
    TransposeMatrix4(&m.m[0][0], out);
}

void BuildOrthoOffCenterRH(float left, float right, float bottom, float top, float nearClip,
                           float farClip, float* out) {
    D3DXMATRIX m;
    D3DXMatrixOrthoOffCenterRH(&m, left, right, bottom, top, nearClip, farClip);
    TransposeMatrix4(&m.m[0][0], out);
}

void BuildOrthoRH(float width, float height, float nearClip, float farClip, float* out) {
    D3DXMATRIX m;
    D3DXMatrixOrthoRH(&m, width, height, nearClip, farClip);
    TransposeMatrix4(&m.m[0][0], out);
}

void BuildLookAtRH(const float* eye, const float* at, const float* up, float* out) {
    const D3DXVECTOR3 e{eye[0], eye[1], eye[2]};
    const D3DXVECTOR3 a{at[0], at[1], at[2]};
    const D3DXVECTOR3 u{up[0], up[1], up[2]};
    D3DXMATRIX m;
    D3DXMatrixLookAtRH(&m, &e, &a, &u);
    TransposeMatrix4(&m.m[0][0], out);
}

}  // namespace Zel
