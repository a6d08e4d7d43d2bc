// Right-handed view and projection matrices in the system's layout (row-major, translation in
// elements 3, 7 and 11, column vectors): built with D3DX and transposed. Each writes 16 floats into
// out; no failure. Any thread.
#pragma once

namespace Zel {

// Vertical field of view in degrees; view-space depth -nearClip..-farClip maps to 0..1.
void BuildPerspectiveFovRH(float fovDegrees, float aspect, float nearClip, float farClip,
                           float* out);
// The view rectangle left..right, bottom..top; view-space depth -nearClip..-farClip maps to 0..1.
void BuildOrthoOffCenterRH(float left, float right, float bottom, float top, float nearClip,
                           float farClip, float* out);
// A width x height view centred on the axis.
void BuildOrthoRH(float width, float height, float nearClip, float farClip, float* out);
// From eye towards at with the given up (3 floats each).
void BuildLookAtRH(const float* eye, const float* at, const float* up, float* out);

}  // namespace Zel
