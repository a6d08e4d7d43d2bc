// A light in the scene. Colours are four floats (r, g, b, a in 0..1); the range is in world
// units. A wrapper that is not bound does nothing and answers 0. Host thread.
#pragma once

#include "Interface/IMoveObject.h"

namespace ZelI {

class ILight : public IMoveObject {
public:
    // 0 directional, 1 point, 2 spot or projecting.
    virtual int GetLightType() = 0;
    // Colours into out (4 floats); answer out.
    virtual const float* GetDiffuse(float* out) = 0;
    virtual const float* GetSpecular(float* out) = 0;
    virtual const float* GetAmbient(float* out) = 0;
    virtual void SetAmbient(const float* colour) = 0;
    virtual void SetDiffuse(const float* colour) = 0;
    virtual void SetSpecular(const float* colour) = 0;
    // Stores the range and scales the light's node to it on all three axes.
    virtual void SetRange(float range) = 0;
    virtual float GetRange() = 0;
    virtual void ReservedLight() = 0;
    virtual float GetIntensity() = 0;
};

}  // namespace ZelI
