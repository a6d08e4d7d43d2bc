// A ray: an origin and a unit direction (3 floats each), a plain record.
#pragma once

namespace Zel {

struct Ray {
    float origin[3] = {0.0f, 0.0f, 0.0f};
    float direction[3] = {0.0f, 0.0f, 1.0f};

    Ray() = default;
    // Copies the origin and stores the direction normalised (a zero direction stays zero).
    Ray(const float* origin, const float* direction);

    void SetOrigin(const float* p);
    // Stores the direction normalised; a zero direction stays zero.
    void SetDirection(const float* d);

    // out = origin + t * direction.
    void GetPoint(float t, float* out) const;
};

}  // namespace Zel
