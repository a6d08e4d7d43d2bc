// A light placed in the scene: a kind (0 directional, any other value a positioned light), three
// colours and where it sits. The scene builds the rest of it; the device reads what is here to
// set its fixed-function light. Host thread.
#pragma once

#include "Entity/Scene/Entity.h"

namespace Zel {

class TextureBase;

class Light : public Entity {
public:
    explicit Light(std::int32_t kind = 0) : kind_(kind) {}
    ~Light() override = default;
    ZEL_CLASS_ID(Light)

    std::int32_t GetKind() const { return kind_; }
    // A light of any kind but 0 has a position and lights like a point.
    bool IsPointLight() const { return kind_ != 0; }

    // r, g, b, a in 0..1; all 1 after construction.
    const float* GetAmbient() const { return ambient_; }
    const float* GetDiffuse() const { return diffuse_; }
    const float* GetSpecular() const { return specular_; }
    void SetColours(const float ambient[4], const float diffuse[4], const float specular[4]);

    // World position and the direction the light shines along (3 floats each).
    const float* GetWorldPosition() const { return position_; }
    const float* GetDirection() const { return direction_; }
    void SetWorldPosition(const float position[3]);
    void SetDirection(const float direction[3]);

    // A light that projects a texture through its view volume answers true, gives the
    // view-projection of that volume (16 floats) and the texture it projects; a plain light
    // projects nothing.
    virtual bool IsProjecting() const { return false; }
    virtual void ComputeProjectionMatrix(float out[16]) const;
    virtual TextureBase* GetProjectedTexture() const { return nullptr; }

private:
    std::int32_t kind_;
    float ambient_[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    float diffuse_[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    float specular_[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    float position_[3] = {};
    float direction_[3] = {0.0f, 0.0f, -1.0f};
};

}  // namespace Zel
