#include "Render/RenderSystem.h"

#include "Math/MathUtil.h"
#include "Platform/D3DX9/D3DX9Math.h"

namespace Zel {

// D3DX builds row-vector matrices; the engine's are their transpose.

void RenderSystem::MakeLookAtMatrix(const float* eye, const float* target, const float* up,
                                    float* out) const {
    const D3DXVECTOR3 e{eye[0], eye[1], eye[2]};
    const D3DXVECTOR3 t{target[0], target[1], target[2]};
    const D3DXVECTOR3 u{up[0], up[1], up[2]};
    D3DXMATRIX m;
    D3DXMatrixLookAtRH(&m, &e, &t, &u);
    TransposeMatrix4(&m.m[0][0], out);
}

void RenderSystem::MakePerspectiveMatrix(float fovDegrees, float aspect, float nearClip,
                                         float farClip, float* out) const {
    D3DXMATRIX m;
    D3DXMatrixPerspectiveFovRH(&m, fovDegrees * DEG_TO_RAD, aspect, nearClip, farClip);
    TransposeMatrix4(&m.m[0][0], out);
}

}  // namespace Zel
