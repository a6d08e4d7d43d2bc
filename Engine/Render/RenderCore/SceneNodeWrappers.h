// The wrappers through which the host holds cameras, lights and models, and the binder that
// picks one for a scene node's kind (a plain node hands out none).
#pragma once

#include "Entity/Scene/Camera.h"
#include "Entity/Scene/Entity.h"
#include "Entity/Scene/Light.h"
#include "Interface/ICamera.h"
#include "Interface/ILight.h"
#include "Interface/IModel.h"
#include "Render/RenderCore/ISceneNodeImplRC.h"

namespace Zel {

class ICameraImplRC final : public ISceneNodeImplRC<ZelI::ICamera, Camera, ICameraImplRC> {
public:
    const float* GetUp() override { return Node() ? Node()->GetUp() : nullptr; }
    const float* GetRight() override { return Node() ? Node()->GetRight() : nullptr; }
    const float* LookAt(const float* eye, const float* target, const float* up) override;
    void FaceTowards(const float* point) override;
    void Roll(float angle) override;
    void Yaw(float angle) override;
    void Pitch(float angle) override;
    void Rotate(const float* axis, float angle) override;
    void MoveAlongUp(float distance) override;
    void MoveAlongRight(float distance) override;
    void MoveAlongDirection(float distance) override;
    const float* GetViewMatrix() override;
    const float* GetProjectionMatrix() override;
    int IntersectBox(const float* box) override;
    // The bound camera's view volume, null when unbound.
    Frustum* GetFrustum() { return Node(); }
};

class ILightImplRC final : public ISceneNodeImplRC<ZelI::ILight, Light, ILightImplRC> {
public:
    int GetObjectKind() override { return 7; }
    // A directional light takes the vector as the direction it shines from.
    void SetPosition(const float* position) override;
    const float* GetPosition(float* out) override;
    void SetDirection(const float* direction) override;
    int GetLightType() override;
    const float* GetDiffuse(float* out) override;
    const float* GetSpecular(float* out) override;
    const float* GetAmbient(float* out) override;
    void SetAmbient(const float* colour) override;
    void SetDiffuse(const float* colour) override;
    void SetSpecular(const float* colour) override;
    void SetRange(float range) override;
    float GetRange() override;
    void ReservedLight() override {}
    float GetIntensity() override { return 1.0f; }

protected:
    // The scene's light list owns its lights: a released one leaves it.
    void DetachStep(Light* light) override;

private:
    void SetColour(int which, const float* colour);
};

class ModelImplRC final : public ISceneNodeImplRC<ZelI::IModel, Entity, ModelImplRC> {
public:
    std::uint32_t GetMaterialCount() override;
    void SetSubEntityShaderFromFile(const char* libraryFile, const char* materialName,
                                    const char* meshName) override;
    void SetShaderFromFile(const char* libraryFile, const char* materialName) override;
    void SetDiffuseColor(std::uint32_t argb) override;
    bool HasTransparentMaterial() override;

protected:
    // A released model goes back to the factory of its kind through the scene.
    void DetachStep(Entity* entity) override;
};

// The wrapper of a scene node's kind (checked most derived first); null for plain nodes and for
// kinds whose wrappers do not exist yet.
ZelI::IMoveObject* BindSceneNodeInterface(RCInterfaceCarrier<ZelI::IMoveObject>* carrier);

}  // namespace Zel
