#include "Render/RenderCore/SceneNodeWrappers.h"

#include <algorithm>
#include <typeinfo>
#include <vector>

#include "Core/FrameStats.h"
#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Core/LogDispatch.h"
#include "Core/ScopedLock.h"
#include "Core/threadmng.h"
#include "Entity/Character/ActionOwner.h"
#include "Entity/Character/Actor.h"
#include "Entity/Character/AnimationState.h"
#include "Entity/Character/Skeleton.h"
#include "Entity/Geometry/Geometry.h"
#include "Entity/Material/Material.h"
#include "Entity/Scene/DeformedModel.h"
#include "Entity/Scene/SceneManager.h"
#include "Interface/ISkeleton.h"
#include "Math/AABB.h"
#include "Math/MathUtil.h"
#include "Math/Matrix4.h"
#include "Math/Ray.h"
#include "Render/RenderCore/ActorWrapper.h"
#include "Render/RenderCore/InterfaceBinders.h"
#include "Render/RenderCore/MaterialWrappers.h"

namespace Zel {
namespace {

// Configuration switch 25: models (and the kinds built on them) take the host's updates.
constexpr std::uint32_t kUpdateModelsSwitch = 25;

void UpdateNode(SceneNode& node, float step) {
    const SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    FrameStats* stats = Globals::Find(&Globals::GetFrameStats);
    std::uint32_t spare = 0;
    node.Update(stats ? &(*stats)[FRAME_NODE_UPDATES] : &spare, step,
                scene ? scene->GetFrameId() : 0);
}

}  // namespace

void UpdateNodeForFrame(SceneNode& node, float step) {
    const GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager);
    if (config && config->RunUpdate() && config->GetValue(kUpdateModelsSwitch) != 0)
        UpdateNode(node, step);
}

void UpdateNodeWithSceneStep(SceneNode& node) {
    const SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    UpdateNode(node, scene ? scene->GetUpdateTimeStep() : 0.0f);
}

void SetEntityMaterial(Entity& entity, ZelI::IMaterial* material) {
    if (Material* unwrapped = UnwrapInterface<Material>(material))
        entity.SetMaterialAll(unwrapped);
}

ZelI::IMatProxyTable* NewEntityMaterialProxyTable(Entity& entity) {
    std::vector<Material*> materials;
    for (std::uint32_t i = 0; i < entity.GetAllSubEntityCount(); ++i)
        materials.push_back(entity.GetSubEntityMaterial(i));
    return NewMaterialProxyTable(materials, kModelMaterialProxyKind);
}

namespace {

// Global switches read by the rows below.
constexpr std::uint32_t kNoMountSwitch = 34;
constexpr std::uint32_t kNoMountPlacementSwitch = 53;
constexpr std::uint32_t kQuietMissingBoneDirs = 1;

// The state's play value (when the entity has that state), then whether its animation runs.
void PlayState(Entity& entity, AnimationState* state, void (Entity::*enableFn)(bool), bool enable,
               float value) {
    if (state)
        state->SetPlayValue(value);
    (entity.*enableFn)(enable);
}

}  // namespace

void PlaceAtModelBone(ZelI::IMoveObject& object, ZelI::IModel* model, const char* bone) {
    GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager);
    if (config && (config->GetValue(kNoMountSwitch) != 0 ||
                   config->GetValue(kNoMountPlacementSwitch) != 0))
        return;
    auto* entity = UnwrapInterface<Entity, ZelI::IMoveObject>(model);
    if (!entity)
        return;
    auto* skinned = dynamic_cast<SkeletonModel*>(entity);
    Skeleton* skeleton = skinned ? skinned->GetSkeleton() : nullptr;
    const std::int32_t index = skeleton ? skeleton->GetBoneIndex(bone) : -1;
    if (index < 0) {
        if (entity->GetGeometry() && (!config || !config->HasBlockedDirs(kQuietMissingBoneDirs)))
            LogError("坐骑绑定的骨骼不存在：chr=%s,bonename=%s", entity->GetName().c_str(), bone);
        return;
    }
    // The bone's matrix is already in world space, the model's own turn included: it is the
    // placement as it stands, not a turn to add to the model's orientation.
    float rotation[4], position[3];
    Matrix4::Decompose(skinned->GetBoneWorldMatrix(static_cast<std::uint32_t>(index)), nullptr,
                       rotation, position);
    object.SetOrientation(rotation);
    object.SetPositionAlt(position);
}

const float* ICameraImplRC::LookAt(const float* eye, const float* target, const float* up) {
    if (!Node() || !eye || !target || !up)
        return nullptr;
    return Node()->LookAt(eye, target, up);
}

void ICameraImplRC::FaceTowards(const float* point) {
    if (Node() && point)
        Node()->FaceTowards(point);
}

void ICameraImplRC::Roll(float angle) {
    if (Node())
        Node()->Roll(angle);
}

void ICameraImplRC::Yaw(float angle) {
    if (Node())
        Node()->Yaw(angle);
}

void ICameraImplRC::Pitch(float angle) {
    if (Node())
        Node()->Pitch(angle);
}

void ICameraImplRC::Rotate(const float* axis, float angle) {
    if (Node() && axis)
        Node()->Rotate(axis, angle);
}

void ICameraImplRC::MoveAlongUp(float distance) {
    if (Node())
        Node()->MoveAlongUp(distance);
}

void ICameraImplRC::MoveAlongRight(float distance) {
    if (Node())
        Node()->MoveAlongRight(distance);
}

void ICameraImplRC::MoveAlongDirection(float distance) {
    if (Node())
        Node()->MoveAlongDirection(distance);
}

const float* ICameraImplRC::GetViewMatrix() {
    return Node() ? Node()->GetViewMatrix()->m : nullptr;
}

const float* ICameraImplRC::GetProjectionMatrix() {
    return Node() ? Node()->GetProjectionMatrix()->m : nullptr;
}

int ICameraImplRC::IntersectBox(const float* box) {
    if (!Node() || !box)
        return 0;
    return Node()->IntersectAABB(AABB(box, box + 3));
}

void ILightImplRC::SetPosition(const float* position) {
    Light* light = Node();
    if (!TopLevel() || !position)
        return;
    if (light->GetKind() == 0) {
        const float direction[3] = {-position[0], -position[1], -position[2]};
        SetDirection(direction);
        return;
    }
    light->SetPosition(position);
}

const float* ILightImplRC::GetPosition(float* out) {
    return Copy(Node() ? Node()->GetWorldPosition() : nullptr, out, 3);
}

void ILightImplRC::SetDirection(const float* direction) {
    Light* light = Node();
    if (!light || !direction)
        return;
    light->SetDirection(direction);
}

int ILightImplRC::GetLightType() {
    if (!Node())
        return 0;
    const std::int32_t kind = Node()->GetKind();
    if (kind == 1)
        return 1;
    return kind >= 2 && kind <= 4 ? 2 : 0;
}

const float* ILightImplRC::GetDiffuse(float* out) {
    return Copy(Node() ? Node()->GetDiffuse() : nullptr, out, 4);
}

const float* ILightImplRC::GetSpecular(float* out) {
    return Copy(Node() ? Node()->GetSpecular() : nullptr, out, 4);
}

const float* ILightImplRC::GetAmbient(float* out) {
    return Copy(Node() ? Node()->GetAmbient() : nullptr, out, 4);
}

void ILightImplRC::SetAmbient(const float* colour) {
    SetColour(0, colour);
}

void ILightImplRC::SetDiffuse(const float* colour) {
    SetColour(1, colour);
}

void ILightImplRC::SetSpecular(const float* colour) {
    SetColour(2, colour);
}

void ILightImplRC::SetColour(int which, const float* colour) {
    Light* light = Node();
    if (!light || !colour)
        return;
    float colours[3][4];
    std::copy(light->GetAmbient(), light->GetAmbient() + 4, colours[0]);
    std::copy(light->GetDiffuse(), light->GetDiffuse() + 4, colours[1]);
    std::copy(light->GetSpecular(), light->GetSpecular() + 4, colours[2]);
    std::copy(colour, colour + 4, colours[which]);
    light->SetColours(colours[0], colours[1], colours[2]);
}

void ILightImplRC::SetRange(float range) {
    if (Node())
        Node()->SetRangeAndScale(range);
}

float ILightImplRC::GetRange() {
    return Node() ? Node()->GetRange() : 0.0f;
}

void ILightImplRC::DetachStep(Light* light) {
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    if (scene && scene->Contains(light))
        scene->DestroyLight(light);
    else
        light->Destroy();
}

ZelI::IObject* IDecalImplRC::GetResource() {
    return Node() ? MaterialInterface(Node()->GetHeldMaterial()) : nullptr;
}

void ILevelImplRC::DetachSpatial(ZelI::ILevel* other) {
    if (Level* level = UnwrapInterface<Level, ZelI::IMoveObject>(other))
        Level::DetachNode(level);
}

void ILevelImplRC::AttachSpatial(ZelI::ILevel* other) {
    if (Level* level = UnwrapInterface<Level, ZelI::IMoveObject>(other))
        Level::PlaceNode(level);
}

void ILevelImplRC::Cull(ZelI::ICamera* camera) {
    Camera* viewer = UnwrapInterface<Camera, ZelI::IMoveObject>(camera);
    if (!Node() || !viewer)
        return;
    camera->Update();
    Node()->Cull(viewer);
}

void ILevelImplRC::DrawOccluderDebug() {
    if (!Node())
        return;
    for (std::uint32_t i = 0; i < Node()->GetOccluderCount(); ++i) Node()->DrawOccluderDebug(i);
}

const char* ILevelImplRC::GetPartName(std::uint32_t index) {
    Entity* part = Node() ? Node()->GetPart(index) : nullptr;
    return part ? part->GetName().c_str() : nullptr;
}

void IBillBoardImplRC::SetColor(std::uint32_t abgr) {
    if (!Node())
        return;
    float colour[4];
    ColorFromABGR(abgr, colour);
    Node()->SetColour(colour);
}

template <class IX, class X, class W>
void IModelImplRC<IX, X, W>::GetLocalBox(float* out) {
    Entity* entity = Node();
    Geometry* geometry = entity ? entity->GetGeometry() : nullptr;
    if (geometry && out)
        WriteBox(geometry->GetBounds(), out);
    else
        ISceneNodeImplRC<IX, X, W>::GetLocalBox(out);
}

template <class IX, class X, class W>
ZelI::IGeometry* IModelImplRC<IX, X, W>::GetGeometry() {
    Geometry* geometry = Node() ? Node()->GetGeometry() : nullptr;
    return geometry ? geometry->GetInterface() : nullptr;
}

template <class IX, class X, class W>
std::uint32_t IModelImplRC<IX, X, W>::GetMaterialCount() {
    return Node() ? Node()->GetAllSubEntityCount() : 0;
}

template <class IX, class X, class W>
void IModelImplRC<IX, X, W>::SetMaterial(ZelI::IMaterial* material) {
    if (Node())
        SetEntityMaterial(*Node(), material);
}

template <class IX, class X, class W>
ZelI::IMaterial* IModelImplRC<IX, X, W>::GetMaterial(std::uint32_t index) {
    return Node() ? MaterialInterface(Node()->GetSubEntityMaterial(index)) : nullptr;
}

template <class IX, class X, class W>
ZelI::IMatProxyTable* IModelImplRC<IX, X, W>::CreateMatProxyTable() {
    return Node() ? NewEntityMaterialProxyTable(*Node()) : nullptr;
}

template <class IX, class X, class W>
void IModelImplRC<IX, X, W>::SetSubEntityShaderFromFile(const char* libraryFile,
                                                        const char* materialName,
                                                        const char* meshName) {
    if (Node() && libraryFile && materialName && meshName)
        Node()->SetSubEntityShaderFromFile(libraryFile, materialName, meshName);
}

template <class IX, class X, class W>
void IModelImplRC<IX, X, W>::SetShaderFromFile(const char* libraryFile, const char* materialName) {
    if (Node() && libraryFile && materialName)
        Node()->SetShaderFromFile(libraryFile, materialName);
}

template <class IX, class X, class W>
void IModelImplRC<IX, X, W>::SetDiffuseColor(std::uint32_t argb) {
    if (Node())
        Node()->SetMaterialColorFactor(argb);
}

template <class IX, class X, class W>
bool IModelImplRC<IX, X, W>::HasTransparentMaterial() {
    return Node() && Node()->HasTransparentMaterial();
}

template <class IX, class X, class W>
int IModelImplRC<IX, X, W>::PushToPipe() {
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    if (Node() && scene)
        scene->PushRenderableImpl(Node());
    return 0;
}

template <class IX, class X, class W>
ZelI::IAnimation* IModelImplRC<IX, X, W>::GetSecondAnimation() {
    AnimationState* state = Node() ? Node()->GetSecondAnimationState() : nullptr;
    return state ? state->GetInterface() : nullptr;
}

template <class IX, class X, class W>
void IModelImplRC<IX, X, W>::SetAnimation(ZelI::IAnimation* animation) {
    auto* state = UnwrapInterface<AnimationState, ZelI::IAnimation>(animation);
    Animation* source = state ? state->GetAnimation() : nullptr;
    if (Node() && source)
        Node()->SetSecondAnimation(source->GetName(), source);
}

template <class IX, class X, class W>
float IModelImplRC<IX, X, W>::GetAnimationPlayValue() {
    AnimationState* state = Node() ? Node()->GetAnimationState() : nullptr;
    return state ? state->GetPlayValue() : 0.0f;
}

template <class IX, class X, class W>
void IModelImplRC<IX, X, W>::EnableSecondAnimation(bool enable, float value) {
    if (Node())
        PlayState(*Node(), Node()->GetSecondAnimationState(), &Entity::EnableSecondAnimation,
                  enable, value);
}

template <class IX, class X, class W>
void IModelImplRC<IX, X, W>::EnableAnimation(bool enable, float value) {
    if (Node())
        PlayState(*Node(), Node()->GetAnimationState(), &Entity::EnableAnimation, enable, value);
}

template <class IX, class X, class W>
void IModelImplRC<IX, X, W>::SetHighlight(const float* colour, bool on) {
    static constexpr float kWhite[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    if (!Node() || (on && !colour))
        return;
    Node()->SetRenderFlag(on);
    Node()->SetColour(on ? colour : kWhite);
}

template <class IX, class X, class W>
std::uint32_t IModelImplRC<IX, X, W>::GetMaterialWord(std::uint32_t index) {
    const Material* material = Node() ? Node()->GetSubEntityMaterial(index) : nullptr;
    return material ? material->GetPassCount() : 0;
}

template <class IX, class X, class W>
std::uint32_t IModelImplRC<IX, X, W>::GetMaterialWordAlt(std::uint32_t index) {
    Material* material = Node() ? Node()->GetSubEntityMaterial(index) : nullptr;
    return material && material->HasBlendedPass() ? 1 : 0;
}

template <class IX, class X, class W>
ZelI::IModel* IModelImplRC<IX, X, W>::Clone() {
    if (!Node())
        return nullptr;
    ScopedLock lock(threadmng::kMainLock);
    SceneNode* copy = Node()->Clone(false);
    if (!copy)
        return nullptr;
    if (auto* wrapper = dynamic_cast<ZelI::IModel*>(copy->GetInterface()))
        return wrapper;
    // A copy the host cannot reach would stay in the scene until everything is released.
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    if (auto* entity = dynamic_cast<Entity*>(copy); entity && scene)
        scene->ReleaseRegisteredEntity(entity);
    return nullptr;
}

template <class IX, class X, class W>
bool IModelImplRC<IX, X, W>::IntersectsRayAt(const float* point, const float* direction) {
    return Node() && point && direction && Node()->PickBox(Ray(point, direction), nullptr) != 0;
}

template <class IX, class X, class W>
void IModelImplRC<IX, X, W>::DetachStep(X* entity) {
    if (SceneManager* scene = Globals::Find(&Globals::GetSceneManager))
        scene->ReleaseEntity(entity);
}

ZelI::IMoveObject* BindSceneNodeInterface(RCInterfaceCarrier<ZelI::IMoveObject>* carrier) {
    if (auto* camera = dynamic_cast<Camera*>(carrier))
        return ICameraImplRC::Bind(camera);
    if (auto* light = dynamic_cast<Light*>(carrier))
        return ILightImplRC::Bind(light);
    // Skinned models, actors and the other entity kinds get wrappers of their own.
    if (auto* actor = dynamic_cast<Actor*>(carrier))
        return IActorImplRC::Bind(actor);
    if (auto* skinned = dynamic_cast<SkeletonModel*>(carrier))
        return SkeletonModelImplRC::Bind(skinned);
    if (auto* decal = dynamic_cast<Decal*>(carrier))
        return IDecalImplRC::Bind(decal);
    if (auto* level = dynamic_cast<Level*>(carrier))
        return ILevelImplRC::Bind(level);
    if (auto* board = dynamic_cast<BillBoard*>(carrier))
        return IBillBoardImplRC::Bind(board);
    if (auto* entity = dynamic_cast<Entity*>(carrier)) {
        const std::type_info& kind = typeid(*entity);
        if (kind == typeid(Entity) || kind == typeid(DeformedModel))
            return ModelImplRC::Bind(entity);
    }
    return nullptr;
}

template <class IX, class X, class W>
ZelI::ISkeleton* IModelImplRC<IX, X, W>::GetSkeleton() {
    auto* owner = dynamic_cast<ActionOwner*>(Node());
    Skeleton* skeleton = owner ? owner->GetSkeleton() : nullptr;
    return skeleton ? skeleton->GetInterface() : nullptr;
}

template class IModelImplRC<ZelI::IModel, Entity, ModelImplRC>;
template class IModelImplRC<ZelI::ISkyBall, Entity, ISkyBallImplRC>;
template class IModelImplRC<ZelI::ISkeletonModel, SkeletonModel, SkeletonModelImplRC>;
template class IModelImplRC<ZelI::IActor, Actor, IActorImplRC>;

}  // namespace Zel
