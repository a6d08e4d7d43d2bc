// The sky: a model drawn around the camera. IRender::CreateSkyBall hands out a new wrapper on
// every call. Host thread.
#pragma once

#include "Interface/IModel.h"

namespace ZelI {

class ISkyBall : public IModel {
public:
    // Clamped to 0..1 and given to the sky's material.
    virtual void SetSkyParameter(float value) = 0;

protected:
    ~ISkyBall() override = default;
};

}  // namespace ZelI
