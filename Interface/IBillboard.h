// A billboard: a sprite that faces the camera, with its kind, colour and size. A wrapper that is
// not bound does nothing and answers 0. Host thread.
#pragma once

#include <cstdint>

#include "Interface/IMoveObject.h"

namespace ZelI {

class IBillboard : public IMoveObject {
public:
    // 0 to 4; 0 for any other kind.
    virtual std::int32_t GetKind() = 0;
    virtual float GetBillboardValue() = 0;
    virtual void SetBillboardValue(float value) = 0;
    // Packed colour, red in the low byte (ABGR).
    virtual void SetColor(std::uint32_t abgr) = 0;
    // Reserved: does nothing.
    virtual void Reserved70() = 0;
    // World units.
    virtual void SetSize(float width, float height) = 0;
    // The size into out (2 floats).
    virtual void GetSize(float* out) = 0;
    // An integer and a float of the host's kept with the billboard.
    virtual void SetUserInt(std::int32_t value) = 0;
    virtual std::int32_t GetUserInt() = 0;
    virtual void SetUserFloat(float value) = 0;
    virtual float GetUserFloat() = 0;
    // As IModel's operations of the same names.
    virtual void SetModelValue(float value) = 0;
    virtual void ApplyBoneScalePreset(const char* name) = 0;
    virtual void ResetBoneMatrices() = 0;
    virtual void GetBoneScale(std::uint32_t bone, float* out) = 0;
};

}  // namespace ZelI
