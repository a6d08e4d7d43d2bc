#include "Render/RenderSystem.h"

#include "Render/MatrixBuilders.h"

namespace Zel {

void RenderSystem::MakeLookAtMatrix(const float* eye, const float* target, const float* up,
                                    float* out) const {
    BuildLookAtRH(eye, target, up, out);
}

void RenderSystem::MakePerspectiveMatrix(float fovDegrees, float aspect, float nearClip,
                                         float farClip, float* out) const {
    BuildPerspectiveFovRH(fovDegrees, aspect, nearClip, farClip, out);
}

}  // namespace Zel
