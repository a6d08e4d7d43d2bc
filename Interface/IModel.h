// A drawable model: a scene object with a geometry, its materials and its animations. The
// skinned-model operations (ApplyBoneScalePreset, ResetBoneMatrices, GetBoneScale) do nothing for
// plain models. Reserved operations keep their place in the operation order. Host thread.
#pragma once

#include <cstdint>

#include "Interface/IMoveObject.h"

namespace ZelI {

class IGeometry;
class ISkeleton;

class IModel : public IMoveObject {
public:
    virtual std::uint32_t GetFlags() = 0;
    virtual void SetFlags(std::uint32_t flags) = 0;
    // Models attached under this one.
    virtual std::uint32_t GetChildEntityCount() = 0;
    // Reserved: does nothing, answers 1.0, does nothing.
    virtual void Reserved70() = 0;
    virtual float Reserved71() = 0;
    virtual void Reserved72() = 0;
    // The geometry's wrapper; null without one.
    virtual IGeometry* GetGeometry() = 0;
    // The first animation's play value, and whether it runs.
    virtual void EnableAnimation(bool enable, float value) = 0;
    // A copy of the model (wrapped; the host releases it); null when it cannot be made.
    virtual IModel* Clone() = 0;
    // The hidden flag: Show clears it, Hide sets it, IsShown answers true while it is clear.
    virtual void Show() = 0;
    virtual void Hide() = 0;
    virtual bool IsShown() = 0;
    // Reserved: does nothing, answers true.
    virtual void Reserved79() = 0;
    virtual bool Reserved80() = 0;
    // A float of the host's kept with the model's node.
    virtual void SetNodeValue(float value) = 0;
    virtual float GetNodeValue() = 0;
    // Bits 1 and 2 of the model's state word.
    virtual bool GetStateBit1() = 0;
    virtual bool GetStateBit2() = 0;
    // The diffuse colour of every piece's material, child models' included: packed ARGB, 0 for
    // white.
    virtual void SetDiffuseColor(std::uint32_t argb) = 0;
    // Whether any piece draws with a blended material.
    virtual bool HasTransparentMaterial() = 0;
    // Material i's wrapper; null when absent.
    virtual IMaterial* GetMaterial(std::uint32_t index) = 0;
    // Skinned models: the skeleton's wrapper; null otherwise.
    virtual ISkeleton* GetSkeleton() = 0;
    virtual std::int32_t GetEntityQuery() = 0;
    // True unless the ray (origin and direction, 3 floats each) misses the model's box.
    virtual bool IntersectsRay(const float* origin, const float* direction) = 0;
    // The same test for a ray through a point.
    virtual bool IntersectsRayAt(const float* point, const float* direction) = 0;
    // A float of the host's kept with the model.
    virtual void SetModelValue(float value) = 0;
    // Skinned models: applies the named bone-scale preset and switches bone scaling on when it
    // applied.
    virtual void ApplyBoneScalePreset(const char* name) = 0;
    virtual void ResetBoneMatrices() = 0;
    // Bone n's scale into out (3 floats).
    virtual void GetBoneScale(std::uint32_t bone, float* out) = 0;
    // Two model operations taking floats, arguments passed on.
    virtual void SetModelParameter(float value) = 0;
    virtual void SetModelParameters(float a, float b) = 0;

protected:
    ~IModel() override = default;
};

}  // namespace ZelI
