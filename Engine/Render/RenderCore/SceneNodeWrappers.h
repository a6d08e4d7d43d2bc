// The wrappers through which the host holds cameras, lights, decals, levels, billboards, models
// and skies, and the binder that picks one for a scene node's kind (a plain node hands out none).
#pragma once

#include "Entity/Character/SkeletonModel.h"
#include "Entity/Scene/BillBoard.h"
#include "Entity/Scene/Camera.h"
#include "Entity/Scene/Decal.h"
#include "Entity/Scene/Entity.h"
#include "Entity/Scene/Level.h"
#include "Entity/Scene/Light.h"
#include "Interface/IBillboard.h"
#include "Interface/ICamera.h"
#include "Interface/IDecal.h"
#include "Interface/ILevel.h"
#include "Interface/ILight.h"
#include "Interface/IModel.h"
#include "Interface/ISkeletonModel.h"
#include "Interface/ISkyBall.h"
#include "Render/RenderCore/ISceneNodeImplRC.h"

namespace Zel {

// Every piece of the entity (child entities' pieces too) draws with the host's material; null or
// unbound changes nothing. Models and decals share it.
void SetEntityMaterial(Entity& entity, ZelI::IMaterial* material);
// A new table (the caller's) with one proxy of the model kind per material of the entity's
// pieces, child entities' included. Models and levels share it.
ZelI::IMatProxyTable* NewEntityMaterialProxyTable(Entity& entity);

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

// A decal answers its own box and material count; it keeps no corner records to hand out.
class IDecalImplRC final : public ISceneNodeImplRC<ZelI::IDecal, Decal, IDecalImplRC> {
public:
    void GetLocalBox(float* out) override {
        if (Node() && out)
            WriteBox(Node()->GetLocalBox(), out);
    }
    std::uint32_t GetMaterialCount() override { return Node() ? 1 : 0; }
    // The wrapper of the material the decal was given; null while it draws with the default
    // material, which it does not hold.
    ZelI::IObject* GetResource() override;
    // The decal draws with the material from now on; null changes nothing.
    void SetMaterial(ZelI::IMaterial* material) override {
        if (Node())
            SetEntityMaterial(*Node(), material);
    }
    const float* GetCorner0() override { return nullptr; }
    const float* GetCorner1() override { return nullptr; }
    const float* GetCorner2() override { return nullptr; }
    const float* GetCorner3() override { return nullptr; }
    // Ready once a mesh was built over the receivers.
    bool IsReady() override { return Node() && !Node()->IsEmpty(); }

protected:
    // Decals are not registered with the scene: straight back to their factory.
    void DetachStep(Decal* decal) override { decal->ReturnToFactory(); }
};

// A level (or simplified level): culling, occlusion, its parts. Links between levels, the
// scene point, the level name and the host's three integers have no place in the level: those
// operations do nothing and the service words answer 0.
class ILevelImplRC final : public ISceneNodeImplRC<ZelI::ILevel, Level, ILevelImplRC> {
public:
    std::uint32_t GetMaterialCount() override {
        return Node() ? Node()->GetAllSubEntityCount() : 0;
    }
    // A new table (the caller's) with one proxy per material of the level's pieces.
    ZelI::IMatProxyTable* CreateMatProxyTable() override {
        return Node() ? NewEntityMaterialProxyTable(*Node()) : nullptr;
    }
    void LinkLevel(ZelI::ILevel*) override {}
    // The other level leaves the cell it was listed in, or is placed again from it.
    void DetachSpatial(ZelI::ILevel* other) override;
    void AttachSpatial(ZelI::ILevel* other) override;
    std::int32_t Reserved69() override { return 0; }
    std::int32_t Reserved70() override { return 0; }
    std::int32_t Reserved71() override { return 0; }
    void Reserved72() override {}
    void Reserved73() override {}
    void Reserved74() override {}
    void GetLevelBox(float* out) override { GetWorldBox(out); }
    void SetScenePoint(float, float, float) override {}
    void SetLevelName(const char*) override {}
    // The camera's own update for the frame first, so that the level culls against where it is.
    void Cull(ZelI::ICamera* camera) override;
    std::uint32_t GetServiceWord0() override { return 0; }
    std::uint32_t GetServiceWord1() override { return 0; }
    void SetLevelValue0(std::int32_t) override {}
    void SetLevelValue1(std::int32_t) override {}
    void SetLevelValue2(std::int32_t) override {}
    // The octree depth limit, truncated.
    void SetCullParameter(float value) override {
        if (Node())
            Node()->SetCullParameter(static_cast<int>(value));
    }
    void SetOcclusionEnabled(bool on) override {
        if (Node())
            Node()->SetOcclusionEnabled(on);
    }
    bool IsOcclusionEnabled() override { return Node() && Node()->IsOcclusionEnabled(); }
    std::uint32_t GetOccluderCount() override { return Node() ? Node()->GetOccluderCount() : 0; }
    // Every occluder quad's outline.
    void DrawOccluderDebug() override;
    // The octree has no debug drawing of its own: nothing.
    void DrawOctreeDebug() override {}
    const char* GetPartName(std::uint32_t index) override;
    std::uint32_t GetPartCount() override { return Node() ? Node()->GetPartCount() : 0; }
};

// A billboard: its kind, size, colour, flag word, auxiliary value and camera offset. The model
// operations it shares (92 to 95 of IModel) do nothing for a billboard, as for a plain entity.
class IBillBoardImplRC final
    : public ISceneNodeImplRC<ZelI::IBillboard, BillBoard, IBillBoardImplRC> {
public:
    std::int32_t GetKind() override {
        return Node() ? static_cast<std::int32_t>(Node()->GetHostKind()) : 0;
    }
    float GetBillboardValue() override { return Node() ? Node()->GetAuxiliaryValue() : 0.0f; }
    void SetBillboardValue(float value) override {
        if (Node())
            Node()->SetAuxiliaryValue(value);
    }
    void SetColor(std::uint32_t abgr) override;
    void Reserved70() override {}
    void SetSize(float width, float height) override {
        if (Node())
            Node()->SetSize(width, height);
    }
    void GetSize(float* out) override {
        if (Node() && out) {
            out[0] = Node()->GetWidth();
            out[1] = Node()->GetHeight();
        }
    }
    // The billboard's orientation flags.
    void SetUserInt(std::int32_t value) override {
        if (Node())
            Node()->SetFlags(static_cast<std::uint32_t>(value));
    }
    std::int32_t GetUserInt() override {
        return Node() ? static_cast<std::int32_t>(Node()->GetFlags()) : 0;
    }
    // The distance the billboard is moved toward the camera.
    void SetUserFloat(float value) override {
        if (Node())
            Node()->SetCameraOffset(value);
    }
    float GetUserFloat() override { return Node() ? Node()->GetCameraOffset() : 0.0f; }
    void SetModelValue(float) override {}
    void ApplyBoneScalePreset(const char*) override {}
    void ResetBoneMatrices() override {}
    void GetBoneScale(std::uint32_t, float*) override {}
    // Every piece draws with the material from now on; null changes nothing. A billboard has no
    // other way to get its texture: without a material its pieces draw nothing at all.
    void SetMaterial(ZelI::IMaterial* material) override {
        if (Node())
            SetEntityMaterial(*Node(), material);
    }
};

// The IModel operations over a bound Entity (or a class derived from it), shared by the plain
// model wrapper and the skinned-model and actor wrappers.
template <class IX, class X, class W>
class IModelImplRC : public ISceneNodeImplRC<IX, X, W> {
public:
    using ISceneNodeImplRC<IX, X, W>::Node;
    using ISceneNodeImplRC<IX, X, W>::WriteBox;

    // The open pipe takes the model (while the scene's model switch is on; actors always).
    int PushToPipe() override;
    // The animation rows: the second state's wrapper (null without one); the animation of a
    // state becomes the model's second animation; the first state's play value; the second
    // state's play value and whether it runs; whether the first runs.
    ZelI::IAnimation* GetSecondAnimation() override;
    void SetAnimation(ZelI::IAnimation* animation) override;
    float GetAnimationPlayValue() override;
    void EnableSecondAnimation(bool enable, float value) override;
    bool IsAnimationEnabled() override { return Node() && Node()->IsAnimationEnabled(); }
    // Each piece draws with the colour while on; off goes back to white.
    void SetHighlight(const float* colour, bool on) override;
    void SetUserValue(std::int32_t value) override {
        if (Node())
            Node()->SetHostInteger(value);
    }
    std::int32_t GetUserValue() override { return Node() ? Node()->GetHostInteger() : 0; }
    // Material i's pass count and whether it blends (1); 0 without material i.
    std::uint32_t GetMaterialWord(std::uint32_t index) override;
    std::uint32_t GetMaterialWordAlt(std::uint32_t index) override;
    void SetShiftColor(float r, float g, float b, float a, float ratio) override {
        if (Node())
            Node()->SetShiftColor(r, g, b, a, ratio);
    }
    // The entity's kind (0 for plain models).
    std::int32_t GetEntityWord() override {
        return Node() ? static_cast<std::int32_t>(Node()->GetEntityKind()) : 0;
    }
    std::uint32_t GetMaterialCount() override;
    // Every sub-entity (child entities' too) draws with the material; null changes nothing.
    void SetMaterial(ZelI::IMaterial* material) override;
    // A new table (the caller's) with one proxy per material name of the sub-entities.
    ZelI::IMatProxyTable* CreateMatProxyTable() override;
    void SetSubEntityShaderFromFile(const char* libraryFile, const char* materialName,
                                    const char* meshName) override;
    void SetShaderFromFile(const char* libraryFile, const char* materialName) override;
    // A model's own box is its geometry's; without a geometry the unit box.
    void GetLocalBox(float* out) override;

    std::uint32_t GetFlags() override { return Node() ? Node()->GetFlags() : 0; }
    void SetFlags(std::uint32_t flags) override {
        if (Node())
            Node()->SetFlags(flags);
    }
    std::uint32_t GetChildEntityCount() override {
        return Node() ? Node()->GetChildEntityCount() : 0;
    }
    void Reserved70() override {}
    float Reserved71() override { return 1.0f; }
    void Reserved72() override {}
    // The wrapper of the model's geometry; null without one.
    ZelI::IGeometry* GetGeometry() override;
    // The first state's play value (when there is one) and whether the first animation runs.
    void EnableAnimation(bool enable, float value) override;
    // Under the main lock (a loading task may be building the model): a copy registered with
    // the scene, as a wrapper the caller releases; null when none could be made.
    ZelI::IModel* Clone() override;
    void Show() override { SetHidden(false); }
    void Hide() override { SetHidden(true); }
    bool IsShown() override { return Node() && (Node()->GetFlags() & kEntityHiddenFlag) == 0; }
    void Reserved79() override {}
    bool Reserved80() override { return true; }
    void SetNodeValue(float value) override {
        if (Node())
            Node()->SetNodeFloat(value);
    }
    float GetNodeValue() override { return Node() ? Node()->GetNodeFloat() : 0.0f; }
    // Whether the first (bit 1) and the second (bit 2) animation are switched on.
    bool GetStateBit1() override { return AnimationBit(ENTITY_ANIMATION); }
    bool GetStateBit2() override { return AnimationBit(ENTITY_SECOND_ANIMATION); }
    void SetDiffuseColor(std::uint32_t argb) override;
    bool HasTransparentMaterial() override;
    // The material of sub-entity i (in GetMaterialCount's order); null when absent.
    ZelI::IMaterial* GetMaterial(std::uint32_t index) override;
    // The skeleton of a skinned model or actor; null for a model without bones.
    ZelI::ISkeleton* GetSkeleton() override;
    std::int32_t GetEntityQuery() override { return 0; }
    bool IntersectsRay(const float* origin, const float* direction) override {
        return Node() && origin && direction && Node()->IntersectsRay(origin, direction);
    }
    // The entity's pick test (its box) for the ray from the point along the direction.
    bool IntersectsRayAt(const float* point, const float* direction) override;
    void SetModelValue(float value) override {
        if (Node())
            Node()->SetHostFloat(value);
    }
    // Plain models have no bones.
    void ApplyBoneScalePreset(const char*) override {}
    void ResetBoneMatrices() override {}
    void GetBoneScale(std::uint32_t, float*) override {}
    void SetModelParameter(float) override {}
    void SetModelParameters(float, float) override {}

protected:
    // A released model goes back to the factory of its kind through the scene.
    void DetachStep(X* entity) override;

private:
    bool AnimationBit(std::uint32_t bit) const {
        return Node() && (Node()->GetAnimationFlags() & bit) != 0;
    }
    void SetHidden(bool hidden) {
        if (Node())
            Node()->SetFlags(hidden ? Node()->GetFlags() | kEntityHiddenFlag
                                    : Node()->GetFlags() & ~kEntityHiddenFlag);
    }
};

class ModelImplRC final : public IModelImplRC<ZelI::IModel, Entity, ModelImplRC> {};

// The sky: a model made from the sky file. IRender::CreateSkyBall binds a new one to each sky
// it makes, so that the sky going away unbinds it like any model's wrapper.
class ISkyBallImplRC final : public IModelImplRC<ZelI::ISkyBall, Entity, ISkyBallImplRC> {
public:
    // The material has no numbered parameter to take the value: nothing is done.
    void SetSkyParameter(float) override {}
};

// A skinned model: the model rows, bones, actions, the five animation channels, look-at targets
// and bone scales.
template <class IX, class X, class W>
class ISkeletonModelImplRC : public IModelImplRC<IX, X, W> {
public:
    using IModelImplRC<IX, X, W>::Node;

    int GetObjectKind() override { return 1; }
    // Bone scaling is switched on for the model when the preset applied, off when it did not.
    void ApplyBoneScalePreset(const char* name) override {
        if (Node() && name)
            Node()->SetBoneScaleEnabled(Node()->ApplyBoneScalePreset(std::string(name)));
    }
    void ResetBoneMatrices() override {
        if (Node())
            Node()->ResetBoneMatrices();
    }
    // Bone n's scale (x, y, z) into out.
    void GetBoneScale(std::uint32_t bone, float* out) override {
        if (Node() && out)
            Node()->GetBoneScale(bone, out, out + 1, out + 2);
    }

    // Out of range: the identity (world matrix) or null (the bone-state rows).
    const float* GetBoneWorldMatrix(std::uint32_t bone) override;
    const float* GetBoneSkinMatrix(std::uint32_t bone) override;
    const float* GetBoneTranslation(std::uint32_t bone) override;
    const float* GetBoneRotation(std::uint32_t bone) override;
    void PlayAnimation(const char* name) override;
    void PlayAnimationEx(const char* name, float weight, std::int32_t slot,
                         std::uint32_t flags) override;
    void GetExtraAnimation(std::uint32_t slot, ZelI::IAction** action, float* time) override;
    ZelI::IAction* GetMainAction() override;
    ZelI::IAnimation* GetMainActionPart(std::uint32_t index) override;
    float GetMainTime() override { return Node() ? Node()->GetMainTime() : 0.0f; }
    void SetMainTime(float seconds) override;
    void SetBlendLength(float seconds) override;
    float GetBlendLength() override { return Node() ? Node()->GetBlendLength() : 0.0f; }
    void SetHeadLookTarget(const float* target) override;
    void SetSpineLookTarget(const float* target) override;
    const float* GetHeadLookTarget() override;
    const float* GetSpineLookTarget() override;
    std::int32_t Reserved115() override { return 0; }
    ZelI::IAction* GetAnimation(const char* name) override;
    std::int32_t Reserved117() override { return 0; }
    std::int32_t Reserved118() override { return 0; }
    std::int32_t Reserved119() override { return 0; }
    void Reserved120() override {}
    void Reserved121() override {}
    ZelI::IAnimationChannel* GetChannel(std::uint32_t index) override;
    void ResetChannels() override;
    void SetOverrideChannel(std::uint32_t index) override;
    std::int32_t GetOverrideChannel() override;
    void SetHostWord(std::intptr_t word) override;
    std::intptr_t GetHostWord() override;
    void ClearHostWord() override { SetHostWord(0); }
    void Reserved129() override {}
    std::uint32_t GetAnimationIds(const char** ids, std::uint32_t capacity) override;
    std::uint32_t GetAnimationNames(char* buffer, std::uint32_t count,
                                    std::uint32_t width) override;
    void ApplyBoneScale(const float* scale, const char* bone) override;
    void DrawBoneAxes(const char* bone, const float* colour, float length) override;
    // The host's texture is read back (level 0, 32-bit formats only) and its pixels become the
    // model's custom image; nothing for null, an unbound texture or another format (logged).
    void SetCustomTexture(ZelI::ITexture* texture) override;
    void ClearCustomTexture() override;

protected:
    BoneState* State(std::uint32_t bone) const {
        return Node() ? Node()->GetBoneState(bone) : nullptr;
    }
};

class SkeletonModelImplRC final
    : public ISkeletonModelImplRC<ZelI::ISkeletonModel, SkeletonModel, SkeletonModelImplRC> {};

// The wrapper of a scene node's kind (checked most derived first); null for plain nodes and for
// kinds whose wrappers do not exist yet.
ZelI::IMoveObject* BindSceneNodeInterface(RCInterfaceCarrier<ZelI::IMoveObject>* carrier);

}  // namespace Zel
