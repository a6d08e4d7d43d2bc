#include "Entity/Character/SkeletonModel.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Core/ErrorReport.h"
#include "Core/LogDispatch.h"
#include "Core/TiXmlDocument.h"
#include "Entity/Character/Action.h"
#include "Entity/Character/Bone.h"
#include "Entity/Character/BoneState.h"
#include "Entity/Character/Skeleton.h"
#include "Entity/Geometry/Geometry.h"
#include "Entity/Geometry/GeometrySkin.h"
#include "Entity/Geometry/Mesh.h"
#include "Entity/Geometry/Skin.h"
#include "Entity/Geometry/TransformMath.h"
#include "Entity/Image/PixelFormat.h"
#include "Entity/Material/Material.h"
#include "Entity/Material/Pass.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Scene/SubEntity.h"
#include "Entity/Texture/TextureBase.h"
#include "Entity/Texture/TextureManager.h"
#include "Render/RenderCodes.h"
#include "Math/AABB.h"
#include "Render/RenderSystem.h"
#include "Math/MathUtil.h"
#include "Math/BoundCapsule.h"
#include "Math/BoundSphere.h"
#include "Math/Matrix4.h"
#include "Physics/PhxEntity.h"
#include "Physics/PhysicsWorld.h"
#include "Math/Quaternion.h"

namespace Zel {

namespace {

// Position and rotation of one weighted contribution to a bone's pose.
struct BonePose {
    float position[3];
    float rotation[4];
    float weight;
};

void LerpPosition(float* p, const float* target, float w) {
    for (int k = 0; k < 3; ++k) p[k] = (1.0f - w) * p[k] + w * target[k];
}

void SetPose(BoneState& state, const float* position, const float* rotation) {
    std::copy_n(position, 3, state.translation);
    std::copy_n(rotation, 4, state.rotation);
}

struct BoneScaleInfo {
    std::string name;
    float scale[3] = {1.0f, 1.0f, 1.0f};  // the file's order
};

std::map<std::string, std::vector<BoneScaleInfo>>& BoneScalePresets() {
    static std::map<std::string, std::vector<BoneScaleInfo>> presets;
    return presets;
}

bool globalBoneScale = false;

// Models take the collision groups 1 to 30 in turn, then 0 and on again.
std::atomic<std::uint32_t> nextCollisionGroup{1};

std::uint32_t TakeCollisionGroup() {
    std::uint32_t group = nextCollisionGroup.load();
    while (!nextCollisionGroup.compare_exchange_weak(group, group + 1 >= 31 ? 0 : group + 1)) {
    }
    return group;
}

constexpr std::uint32_t kPhysicsSwitch = 79;

// Sixteen numbers listed column by column into an engine (row-major) matrix.
bool ParseLocalMatrix(const char* text, float* out) {
    float v[16];
    if (std::sscanf(text, "%f %f %f %f %f %f %f %f %f %f %f %f %f %f %f %f", &v[0], &v[1], &v[2],
                    &v[3], &v[4], &v[5], &v[6], &v[7], &v[8], &v[9], &v[10], &v[11], &v[12], &v[13],
                    &v[14], &v[15]) != 16)
        return false;
    for (int n = 0; n < 16; ++n) out[4 * (n % 4) + n / 4] = v[n];
    return true;
}

}  // namespace

bool SkeletonModel::LoadBoneScalePreset(const std::string& path) {
    auto& presets = BoneScalePresets();
    if (presets.count(path))
        return true;
    TiXmlDocument document;
    if (!document.LoadFile(path.c_str()))
        return false;
    std::vector<BoneScaleInfo> entries;
    // One record carries over, so a number that cannot be read keeps the previous entry's.
    BoneScaleInfo record;
    if (const XmlNode* root = document.first_node("ScaleBoneRoot"))
        for (const XmlNode* info = root->first_node("BoneInfo"); info;
             info = info->next_sibling("BoneInfo")) {
            const XmlAttribute* name = info->first_attribute("name");
            record.name = name ? name->value() : "";
            if (const XmlAttribute* scale = info->first_attribute("scale"))
                std::sscanf(scale->value(), "%f,%f,%f", &record.scale[0], &record.scale[1],
                            &record.scale[2]);
            entries.push_back(record);
        }
    presets.emplace(path, std::move(entries));
    return true;
}

void SkeletonModel::ClearBoneScalePresets() {
    BoneScalePresets().clear();
}
void SkeletonModel::SetGlobalBoneScale(bool on) {
    globalBoneScale = on;
}
bool SkeletonModel::IsGlobalBoneScale() {
    return globalBoneScale;
}

bool SkeletonModel::ApplyBoneScalePreset(const std::string& name) {
    auto& presets = BoneScalePresets();
    if (!presets.count(name) && !LoadBoneScalePreset(name))
        return false;
    const auto it = presets.find(name);
    if (it == presets.end() || it->second.empty())
        return false;
    for (const BoneScaleInfo& entry : it->second)
        ApplyBoneScale(entry.name, entry.scale[0], entry.scale[1], entry.scale[2]);
    presetName_ = name;
    return true;
}

void SkeletonModel::ApplyBoneScale(const std::string& bone, float first, float second,
                                   float third) {
    Skeleton* skeleton = GetSkeleton();
    const std::int32_t index = skeleton ? skeleton->GetBoneIndex(bone) : -1;
    BoneState* state = index >= 0 ? GetBoneState(static_cast<std::uint32_t>(index)) : nullptr;
    if (!state)
        return;
    const std::int32_t* axes = skeleton->GetBone(static_cast<std::uint32_t>(index))->GetAxes();
    if (axes[0] < 0 || axes[1] < 0 || axes[2] < 0 || axes[0] > 2 || axes[1] > 2 || axes[2] > 2)
        return;
    const float values[3] = {third, first, second};
    for (int k = 0; k < 3; ++k) {
        float* row = state->scaleMatrix + 4 * axes[k];
        for (int c = 0; c < 3; ++c) row[c] = c == axes[k] ? values[k] : 0.0f;
    }
}

void SkeletonModel::GetBoneScale(std::uint32_t n, float* x, float* y, float* z) {
    float scale[3] = {1.0f, 1.0f, 1.0f};
    if (globalBoneScale || boneScale_)
        if (const BoneState* state = GetBoneState(n))
            Matrix4::ExtractScale(state->skinMatrix, scale);
    *x = scale[0];
    *y = scale[1];
    *z = scale[2];
}

void SkeletonModel::ResetBoneMatrices() {
    if (boneStates_)
        boneStates_->ResetBoneMatrices();
    presetName_.clear();
    boneScale_ = false;
}

bool SkeletonModel::LoadBoneBounds(const std::string& path) {
    Skeleton* skeleton = GetSkeleton();
    PhysicsWorld* physics = Globals::Find(&Globals::GetPhysicsWorld);
    PhxScene* scene = physics ? physics->GetScene() : nullptr;
    if (!skeleton || !scene || !boneStates_)
        return false;
    TiXmlDocument document;
    if (!document.LoadFile(path.c_str()))
        return false;
    const XmlNode* root = document.first_node("Root");
    const XmlNode* bounds = root ? root->first_node("Bounds") : nullptr;
    if (!bounds)
        return false;
    for (const XmlNode* entry = bounds->first_node("Entry"); entry;
         entry = entry->next_sibling("Entry")) {
        const XmlAttribute* type = entry->first_attribute("Type");
        const XmlAttribute* name = entry->first_attribute("Name");
        const XmlAttribute* parent = entry->first_attribute("ParentName");
        const XmlAttribute* radius = entry->first_attribute("Radius");
        const XmlNode* local = entry->first_node("LocalTM");
        if (!type || !name || !parent || !radius || !local || !*local->value())
            continue;
        const std::string kind = type->value();
        const bool capsule = kind == "CAPSULE";
        if (!capsule && kind != "SPHERE")
            continue;
        const XmlAttribute* height = entry->first_attribute("Height");
        Bone* bone = skeleton->FindBone(parent->value());
        float matrix[16];
        if ((capsule && !height) || !bone || !ParseLocalMatrix(local->value(), matrix))
            continue;
        const float r = static_cast<float>(std::atof(radius->value()));
        BoundBase* shape = nullptr;
        float params[3] = {r, r, r};
        if (capsule) {
            BoundCapsule* c = AcquireBoundCapsule();
            if (c) {
                params[1] = static_cast<float>(std::atof(height->value()));
                c->SetRadius(r);
                c->SetHeight(params[1]);
            }
            shape = c;
        } else if (BoundSphere* sphere = AcquireBoundSphere()) {
            sphere->SetRadius(r);
            shape = sphere;
        }
        if (!shape)
            continue;
        shape->SetParentBone(bone);
        shape->SetName(name->value());
        shape->SetIdentifier(kNoBodyPartSlot);
        // Both kinds hang at their local matrix as read; the shape is not moved twice.
        shape->SetLocalTransform(matrix);
        shape->SetPhysicsScene(scene);
        if (!shape->Setup(params)) {
            shape->Recycle();
            continue;
        }
        AdoptBoneBound(shape);
    }
    return true;
}

void SkeletonModel::AdoptBoneBound(BoundBase* shape) {
    PhxEntity* body = shape->GetPhysicsBody();
    Skeleton* skeleton = GetSkeleton();
    const Bone* bone = shape->GetParentBone();
    if (!body || !skeleton || !boneStates_ || !bone || bone->GetIndex() < 0) {
        shape->Recycle();
        return;
    }
    body->SetGravityEnabled(false);
    body->SetKinematic(true);
    body->SetGroup(static_cast<std::int32_t>(collisionGroup_));
    if (boneBoundsSleeping_)
        body->SetSleeping(true);
    // The body follows the bone's world matrix, which only evaluated bones have.
    boneStates_->MarkBoneDirty(*skeleton, static_cast<std::uint32_t>(bone->GetIndex()));
    boneBounds_.push_back(shape);
}

void SkeletonModel::AddBodyPartBound(const BoundBase& bound) {
    AddBodyPartBound(bound, bound.GetIdentifier());
}

void SkeletonModel::AddBodyPartBound(const BoundBase& bound, std::uint32_t slot) {
    Skeleton* skeleton = GetSkeleton();
    PhysicsWorld* physics = Globals::Find(&Globals::GetPhysicsWorld);
    PhxScene* scene = physics ? physics->GetScene() : nullptr;
    if (!skeleton || !scene || !boneStates_ || bound.GetKind() != BOUND_SPHERE)
        return;
    Bone* bone = skeleton->FindBone(bound.GetName());
    if (!bone)
        return;
    BoundSphere* sphere = AcquireBoundSphere();
    if (!sphere)
        return;
    const float radius = static_cast<const BoundSphere&>(bound).GetRadius();
    const float params[3] = {radius, radius, radius};
    sphere->SetParentBone(bone);
    sphere->SetName(bound.GetName());
    sphere->SetIdentifier(slot);
    sphere->SetRadius(radius);
    sphere->SetLocalTransform(bound.GetLocalTransform());
    sphere->SetPhysicsScene(scene);
    if (!sphere->Setup(params)) {
        sphere->Recycle();
        return;
    }
    AdoptBoneBound(sphere);
}

void SkeletonModel::RemoveSlotAttachments(std::uint32_t slot) {
    std::erase_if(boneBounds_, [slot](BoundBase* shape) {
        if (shape->GetIdentifier() != slot)
            return false;
        shape->Recycle();
        return true;
    });
}

void SkeletonModel::UpdateBoneBounds() {
    const GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager);
    if (!config || config->GetValue(kPhysicsSwitch) != 1 || boneBoundsSleeping_)
        return;
    for (BoundBase* shape : boneBounds_) {
        PhxEntity* body = shape->GetPhysicsBody();
        const Bone* bone = shape->GetParentBone();
        if (!body || !bone || bone->GetIndex() < 0)
            continue;
        float world[16], pose[16];
        GetCurrentBoneWorldMatrix(static_cast<std::uint32_t>(bone->GetIndex()), world);
        MultiplyMatrices4(world, shape->GetLocalTransform(), pose);
        body->SetPose(pose);
    }
}

void SkeletonModel::SetBoneBoundsSleeping(bool sleeping) {
    // The physics layer leaves kinematic bodies awake whatever it is told, so the rest is kept
    // here: a resting body is simply not moved.
    boneBoundsSleeping_ = sleeping;
    for (BoundBase* shape : boneBounds_)
        if (PhxEntity* body = shape->GetPhysicsBody())
            body->SetSleeping(sleeping);
    if (!sleeping)
        UpdateBoneBounds();
}

void SkeletonModel::ReleaseBoneBounds() {
    for (BoundBase* shape : boneBounds_) shape->Recycle();
    boneBounds_.clear();
}

SkeletonModel::SkeletonModel() : collisionGroup_(TakeCollisionGroup()) {
    for (AnimationChannel& channel : channels_) channel.SetOwner(this);
}

SkeletonModel::~SkeletonModel() {
    DropCustomMaterial();
    SetMainAction(nullptr);
}

void SkeletonModel::Reset() {
    if (SubEntity* piece = FindCustomTexturePiece(); piece && customMaterial_)
        piece->SetMaterial(customOriginal_.Get());
    DropCustomMaterial();
    Entity::Reset();
    ReleaseBoneBounds();
    boneBoundsSleeping_ = false;
    SetMainAction(nullptr);
    for (ExtraSlot& slot : extra_) {
        SetSlotAction(slot, nullptr);
        slot.weight = 0.0f;
        slot.time = 0.0f;
        slot.flags = 0;
    }
    mainTime_ = 0.0f;
    layerFlags_ = 0;
    std::fill_n(rootWorld_, 3, 0.0f);
    // A recycled model fades like a new one until the host says otherwise.
    blendLength_ = kDefaultBlendLength;
    blendTime_ = -1.0f;
    previousBlendTime_ = 0.0f;
    holdDuringFade_ = false;
    boneScale_ = false;
    presetName_.clear();
    headLook_ = LookAt{};
    spineLook_ = LookAt{};
    for (AnimationChannel& channel : channels_) {
        channel.Reset();
        channel.SetOwner(this);
    }
    overrideChannel_ = 0;
    hostWord_ = 0;
    if (boneStates_)
        boneStates_->Clear();
}

Skeleton* SkeletonModel::GetSkeleton() {
    auto* skin = dynamic_cast<GeometrySkin*>(GetGeometry());
    return skin ? skin->GetSkeleton() : nullptr;
}

Action* SkeletonModel::GetAnimation(const std::string& name) {
    auto* skin = dynamic_cast<GeometrySkin*>(GetGeometry());
    if (!skin)
        return nullptr;
    if (Action* action = skin->GetAnimationByName(name))
        return action;
    return skin->GetAnimationByIndex(0);
}

void SkeletonModel::RebuildBoneStates() {
    Skeleton* skeleton = GetSkeleton();
    if (!boneStates_) {
        BoneStatePool* pool = Globals::Find(&Globals::GetBoneStatePool);
        if (!pool)
            return;
        boneStates_ = std::make_unique<BoneStateSet>(*pool);
    }
    if (skeleton)
        boneStates_->Rebuild(*skeleton);
    else
        boneStates_->Clear();
}

bool SkeletonModel::BuildFromGeometry() {
    if (!Entity::BuildFromGeometry())
        return false;
    holdDuringFade_ = false;
    RebuildBoneStates();
    auto* skin = dynamic_cast<GeometrySkin*>(GetGeometry());
    SetMainAction(skin ? skin->GetAnimationByIndex(0) : nullptr);
    mainTime_ = 0.0f;
    SetEntityFlag(kPlaying, mainAction_ != nullptr);
    if (!skin || !GetSkeleton() || !boneStates_)
        return true;
    // Only bones some skin draws with (and their ancestors) are evaluated each frame.
    MarkSkinBones();
    SetStateBits(NODE_BOUNDS_DIRTY);
    UpdatePlacement();
    return true;
}

void SkeletonModel::MarkSkinBones() {
    auto* skin = dynamic_cast<GeometrySkin*>(GetGeometry());
    Skeleton* skeleton = GetSkeleton();
    if (!skin || !skeleton || !boneStates_)
        return;
    for (std::uint32_t m = 0; m < skin->GetMeshCount(); ++m)
        if (const auto* mesh = dynamic_cast<const Skin*>(skin->GetMesh(m)))
            for (std::uint32_t k = 0; k < mesh->GetPaletteCount(); ++k)
                boneStates_->MarkBoneDirty(*skeleton, mesh->GetPalette()[k]);
}

SceneNode* SkeletonModel::Clone(bool withParent) {
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    std::string name;
    MakeCloneName(name);
    SkeletonModel* copy = scene ? scene->CreateSkeletonModel(name) : nullptr;
    if (copy)
        CopyTo(copy, withParent);
    return copy;
}

void SkeletonModel::CopyTo(SceneNode* targetNode, bool withParent) {
    auto* target = dynamic_cast<SkeletonModel*>(targetNode);
    Entity::CopyTo(targetNode, withParent);
    if (!target || target == this)
        return;
    target->mainTime_ = mainTime_;
    for (std::uint32_t n = 0; n < kExtraSlotCount; ++n) {
        ExtraSlot& slot = target->extra_[n];
        slot.weight = extra_[n].weight;
        slot.time = extra_[n].time;
        slot.flags = extra_[n].flags;
    }
    target->layerFlags_ = layerFlags_;
    std::copy_n(rootWorld_, 3, target->rootWorld_);
    target->blendLength_ = blendLength_;
    target->blendTime_ = blendTime_;
    target->previousBlendTime_ = previousBlendTime_;
    target->holdDuringFade_ = holdDuringFade_;
    target->headLook_ = headLook_;
    target->spineLook_ = spineLook_;
    // The samplers bind to the target's skeleton, which the copied geometry gives it.
    target->SetMainAction(mainAction_);
    for (std::uint32_t n = 0; n < kExtraSlotCount; ++n)
        target->SetSlotAction(target->extra_[n], extra_[n].action);
    target->RebuildBoneStates();
    target->MarkSkinBones();
    target->ReleaseBoneBounds();
    target->boneBoundsSleeping_ = boneBoundsSleeping_;
    for (const BoundBase* shape : boneBounds_) {
        BoundBase* copy = shape->Clone();
        if (!copy)
            continue;
        copy->SetName(shape->GetName());
        copy->SetIdentifier(shape->GetIdentifier());
        target->AdoptBoneBound(copy);
    }
    for (std::uint32_t i = 0; i < std::min(GetBoneStateCount(), target->GetBoneStateCount()); ++i) {
        BoneState* to = target->GetBoneState(i);
        const BoneState* from = GetBoneState(i);
        if (to && from)
            SetPose(*to, from->translation, from->rotation);
    }
    target->EvaluateBones();
}

void SkeletonModel::UpdatePlacement() {
    Skeleton* skeleton = GetSkeleton();
    Geometry* geometry = GetGeometry();
    const BoneState* root = skeleton && skeleton->GetRootIndex() >= 0
                                ? GetBoneState(static_cast<std::uint32_t>(skeleton->GetRootIndex()))
                                : nullptr;
    if (!(GetState() & NODE_BOUNDS_DIRTY) || !geometry || !root) {
        Entity::UpdatePlacement();
        return;
    }
    float m[16];
    MultiplyMatrices4(GetWorldMatrix(), root->skinMatrix, m);
    AABB box = geometry->GetBounds();
    box.Transform(m);
    SetBoundingBox(box);
    // The box is made: only the spatial tree's step of the entity's placement is left.
    SceneNode::UpdatePlacement();
}

std::uint32_t SkeletonModel::GetAnimationIds(const char** out, std::uint32_t capacity) {
    const auto* skin = dynamic_cast<const GeometrySkin*>(GetGeometry());
    if (!skin || !out)
        return 0;
    std::uint32_t n = 0;
    std::string name;
    for (; n < capacity; ++n) {
        const Action* action = skin->GetAnimationName(n, name);
        if (!action)
            break;
        out[n] = action->GetName().c_str();
    }
    return n;
}

std::uint32_t SkeletonModel::GetAnimationNames(char* buffer, std::uint32_t count,
                                               std::uint32_t width) {
    const auto* skin = dynamic_cast<const GeometrySkin*>(GetGeometry());
    if (!skin || !buffer || width == 0)
        return 0;
    std::uint32_t n = 0;
    std::string name;
    for (; n < count && skin->GetAnimationName(n, name); ++n) {
        char* slot = buffer + std::size_t(n) * width;
        std::memset(slot, 0, width);
        std::memcpy(slot, name.data(), std::min<std::size_t>(name.size(), width - 1));
    }
    return n;
}

std::string SkeletonModel::MakeCustomTextureName() {
    static std::atomic<std::uint32_t> next{0};
    return "define$_$texture_" + std::to_string(next.fetch_add(1));
}

SubEntity* SkeletonModel::FindCustomTexturePiece() const {
    for (SubEntity* piece : GetSubEntities())
        if (piece->GetMesh() && piece->GetMesh()->GetName() == kCustomTextureMesh)
            return piece;
    return nullptr;
}

namespace {

const char* GeometryNameOf(const Entity& entity) {
    const Geometry* geometry = entity.GetGeometry();
    return geometry ? geometry->GetName().c_str() : "";
}

// A one-level texture of the texture manager holding the RGBA texels; null when it cannot be
// made or filled.
TextureBase* MakeCustomTexture(std::uint32_t width, std::uint32_t height,
                               const std::uint8_t* rgba) {
    TextureManager* textures = Globals::Find(&Globals::GetTextureManager);
    TextureBase* texture = textures ? textures->CreateTexture(1, TextureBase::KIND_2D) : nullptr;
    if (!texture)
        return nullptr;
    std::int32_t pitch = 0;
    void* bits = nullptr;
    if (!texture->Create(static_cast<int>(width), static_cast<int>(height), 1, TextureBase::KIND_2D,
                         PF_A8R8G8B8, 1, false) ||
        !texture->LockLevel(0, &pitch, &bits, nullptr, LO_NORMAL) || !bits) {
        textures->ForceRemove(texture);
        return nullptr;
    }
    // A8R8G8B8 texels lie in memory as B, G, R, A.
    for (std::uint32_t y = 0; y < height; ++y) {
        auto* row = static_cast<std::uint8_t*>(bits) + std::size_t(y) * std::size_t(pitch);
        const std::uint8_t* from = rgba + std::size_t(y) * width * 4;
        for (std::uint32_t x = 0; x < width; ++x) {
            row[4 * x + 0] = from[4 * x + 2];
            row[4 * x + 1] = from[4 * x + 1];
            row[4 * x + 2] = from[4 * x + 0];
            row[4 * x + 3] = from[4 * x + 3];
        }
    }
    texture->UnlockLevel();
    texture->OnContentChanged();
    return texture;
}

}  // namespace

bool SkeletonModel::SetCustomTexture(std::uint32_t width, std::uint32_t height,
                                     const std::uint8_t* rgba, std::size_t bytes) {
    SubEntity* piece = FindCustomTexturePiece();
    if (!piece) {
        ReportError("该模型缺少mesh_define_texture网格，不支持设置自定义贴图:%s",
                    GeometryNameOf(*this));
        return false;
    }
    if (!rgba || width == 0 || height == 0 || std::uint64_t(width) * height * 4 > bytes) {
        LogTyped(LOG_ENGINE_INIT,
                 "SkeletonModel::SetCustomTexture: %ux%u texels need more than %zu bytes", width,
                 height, bytes);
        return false;
    }
    // A second custom texture replaces the first: the copy is made of the piece's own material.
    Material* base = customMaterial_ ? customOriginal_.Get() : piece->GetOwnMaterial();
    if (!base)
        return false;
    TextureBase* texture = MakeCustomTexture(width, height, rgba);
    if (!texture)
        return false;
    texture->SetName(MakeCustomTextureName());
    Material* copy = base->Clone();
    if (!copy) {
        if (TextureManager* textures = Globals::Find(&Globals::GetTextureManager))
            textures->ForceRemove(texture);
        return false;
    }
    for (std::uint32_t i = 0; i < copy->GetPassCount(); ++i) {
        Pass* pass = copy->GetPass(i);
        TextureStage* diffuse = &pass->renderState.stages[0];
        for (TextureStage& stage : pass->renderState.stages)
            if (stage.GetTexture() && stage.stageSlot == 0) {
                diffuse = &stage;
                break;
            }
        diffuse->SetTexture(texture);
    }
    SharedPtr<Material> original(base);
    DropCustomMaterial();
    customOriginal_ = original;
    piece->SetMaterial(copy);
    customMaterial_ = copy;
    return true;
}

bool SkeletonModel::ClearCustomTexture() {
    SubEntity* piece = FindCustomTexturePiece();
    if (!piece) {
        ReportError("该模型缺少mesh_define_texture网格，不支持清除自定义贴图:%s",
                    GeometryNameOf(*this));
        return false;
    }
    if (customMaterial_ && piece->GetOwnMaterial() == customMaterial_)
        piece->SetMaterial(customOriginal_.Get());
    DropCustomMaterial();
    return true;
}

void SkeletonModel::DropCustomMaterial() {
    customOriginal_.Reset();
    if (Material* custom = std::exchange(customMaterial_, nullptr))
        custom->Release();
}

void SkeletonModel::DrawBoneAxes(const std::string& bone, const float* colour, float length) {
    Skeleton* skeleton = GetSkeleton();
    const std::int32_t index = skeleton ? skeleton->GetBoneIndex(bone) : -1;
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    RenderSystem* render = scene ? scene->GetRenderSystem() : nullptr;
    if (index < 0 || !render || !colour)
        return;
    const float* world = GetBoneWorldMatrix(static_cast<std::uint32_t>(index));
    const float position[3] = {world[3], world[7], world[11]};
    float rotation[4];
    Matrix4::ExtractRotation(world, rotation);
    // The caller gives three channels; the lines are drawn opaque.
    const float rgba[4] = {colour[0], colour[1], colour[2], 1.0f};
    for (int axis = 0; axis < 3; ++axis) {
        float unit[3] = {0.0f, 0.0f, 0.0f}, turned[3];
        unit[axis] = length;
        RotateByQuaternion(rotation, unit, turned);
        const float end[3] = {position[0] + turned[0], position[1] + turned[1],
                              position[2] + turned[2]};
        render->DrawWireFrame(position, end, rgba);
    }
}

std::uint32_t SkeletonModel::CountAnimations() const {
    const auto* skin = dynamic_cast<const GeometrySkin*>(GetGeometry());
    if (!skin)
        return 0;
    std::uint32_t n = 0;
    std::string name;
    while (skin->GetAnimationName(n, name)) ++n;
    return n;
}

void SkeletonModel::ResetAnimation() {
    GetChannels();
    auto* skin = dynamic_cast<GeometrySkin*>(GetGeometry());
    SetMainAction(skin ? skin->GetAnimationByIndex(0) : nullptr);
    // Shared actions the channels played and nobody holds any more go back to the manager.
    if (skin)
        skin->UnloadSharedActions();
}

void SkeletonModel::SetEntityFlag(std::uint32_t bit, bool on) {
    SetFlags(on ? (GetFlags() | bit) : (GetFlags() & ~bit));
}

void SkeletonModel::SetMainAction(Action* action) {
    if (action == mainAction_)
        return;
    if (action)
        action->AddRef();
    if (mainAction_)
        mainAction_->DecRef();
    mainAction_ = action;
    mainSampler_.Clear();
    if (action) {
        mainSampler_.Bind(action->GetResource(), GetSkeleton());
        action->ApplyRootScaling(mainSampler_);
    }
}

void SkeletonModel::SetSlotAction(ExtraSlot& slot, Action* action) {
    slot.action = action;
    slot.sampler.Clear();
    if (action) {
        slot.sampler.Bind(action->GetResource(), GetSkeleton());
        action->ApplyRootScaling(slot.sampler);
    }
}

void SkeletonModel::ClearSlot(ExtraSlot& slot) {
    if (slot.action)
        layerFlags_ |= kLayerChanged;
    SetSlotAction(slot, nullptr);
}

void SkeletonModel::StartCrossFade() {
    if (blendLength_ == 0.0f)
        return;
    SetEntityFlag(kCrossFading, true);
    blendTime_ = 0.0f;
    previousBlendTime_ = 0.0f;
}

void SkeletonModel::EndCrossFade() {
    layerFlags_ &= ~kLayerChanged;
    blendTime_ = -1.0f;
    SetEntityFlag(kCrossFading, false);
    previousBlendTime_ = 0.0f;
}

void SkeletonModel::PlayAnimationByIndex(std::uint32_t index, float weight, std::int32_t slot,
                                         std::uint32_t flags) {
    auto* skin = dynamic_cast<GeometrySkin*>(GetGeometry());
    std::string name;
    if (skin && skin->GetAnimationName(index, name))
        PlayAnimation(name, weight, slot, flags);
}

void SkeletonModel::PlayAnimation(const std::string& name, float weight, std::int32_t slot,
                                  std::uint32_t flags) {
    StartCrossFade();
    if (!GetSkeleton())
        return;
    if (name.empty()) {
        if (slot == 0 || slot == 1) {
            ClearSlot(extra_[slot]);
        } else {
            SetMainAction(nullptr);
            SetEntityFlag(kPlaying, false);
        }
        return;
    }
    Action* action = GetAnimation(name);
    if (slot >= 2)
        return;
    if (slot >= 0) {
        ExtraSlot& target = extra_[slot];
        layerFlags_ |= kLayerChanged;
        target.weight = weight;
        SetSlotAction(target, action);
        target.flags = flags;
        target.time = 0.0f;
    } else {
        SetMainAction(action);
    }
    mainTime_ = 0.0f;
    layerFlags_ = flags | (layerFlags_ & kLayerChanged);
    SetEntityFlag(kPlaying, true);
    SetEntityFlag(kNearEnd, false);
    // The fade starts from the pose the bones hold now; only the samplers move to the new time.
    if (blendLength_ != 0.0f && mainAction_)
        SampleActions();
}

Action* SkeletonModel::GetExtraAnimation(std::uint32_t n, float* time) const {
    if (n >= kExtraSlotCount) {
        if (time)
            *time = 0.0f;
        return nullptr;
    }
    if (time)
        *time = extra_[n].time;
    return extra_[n].action;
}

AnimationChannel* SkeletonModel::GetChannel(std::uint32_t n) {
    return n < kChannelCount ? &channels_[n] : nullptr;
}

void SkeletonModel::GetChannels() {
    for (AnimationChannel& channel : channels_) channel.Reset();
}

void SkeletonModel::SetOverrideChannel(std::uint32_t n) {
    overrideChannel_ = n;
    for (std::uint32_t i = 0; i < kChannelCount; ++i) channels_[i].SetOverride(i == n);
}

void SkeletonModel::EvaluateBones(bool boneScale) {
    if (Skeleton* skeleton = GetSkeleton(); skeleton && boneStates_)
        boneStates_->EvaluateBoneTree(*skeleton, kIdentityMatrix, boneScale);
}

void SkeletonModel::AdvanceExtraSlots(float dt) {
    for (ExtraSlot& slot : extra_) {
        if (!slot.action)
            continue;
        slot.time += dt;
        const float length = slot.action->GetLength();
        if (slot.time < length)
            continue;
        if (!(slot.flags & kSlotLoop)) {
            ClearSlot(slot);
            StartCrossFade();
            layerFlags_ |= kLayerChanged;
            continue;
        }
        // A looping layer goes round again instead of holding its last frame.
        slot.time = length > 0.0f ? std::fmod(slot.time, length) : 0.0f;
        if (slot.flags & kSlotFadeAtEnd) {
            StartCrossFade();
            layerFlags_ |= kLayerChanged;
        }
    }
}

void SkeletonModel::SampleActions() {
    if (mainAction_)
        mainSampler_.Sample(mainTime_, mainAction_->IsLooping());
    for (ExtraSlot& slot : extra_)
        if (slot.action) {
            float t = slot.time;
            slot.sampler.Sample(t, (slot.flags & kSlotLoop) != 0);
        }
}

bool SkeletonModel::SampleBone(std::uint32_t i, float* position, float* rotation) const {
    const AnimationState* base = mainSampler_.GetState(i);
    if (!base)
        return false;
    Skeleton* skeleton = const_cast<SkeletonModel*>(this)->GetSkeleton();
    const std::vector<std::uint8_t>& mask =
        skeleton ? skeleton->GetLowerBodyMask() : std::vector<std::uint8_t>{};
    const bool lowerBody = i < mask.size() && mask[i] != 0;
    const AnimationState* first = base;
    const AnimationState* layers[kExtraSlotCount] = {};
    float weights[kExtraSlotCount] = {};
    std::uint32_t count = 0;
    for (const ExtraSlot& slot : extra_) {
        const AnimationState* state = slot.action ? slot.sampler.GetState(i) : nullptr;
        if (!state || (lowerBody && !(layerFlags_ & kLayerLowerBody)))
            continue;
        if (slot.weight > 0.98f) {
            // A layer at (nearly) full weight replaces everything gathered so far.
            first = state;
            count = 0;
            break;
        }
        layers[count] = state;
        weights[count++] = slot.weight;
    }
    std::copy_n(first->GetPosition(), 3, position);
    std::copy_n(first->GetRotation(), 4, rotation);
    for (std::uint32_t k = 0; k < count; ++k) {
        LerpPosition(position, layers[k]->GetPosition(), weights[k]);
        float q[4];
        Quaternion::Slerp(q, rotation, layers[k]->GetRotation(), weights[k]);
        std::copy_n(q, 4, rotation);
    }
    return true;
}

void SkeletonModel::SampleMainAction() {
    for (std::uint32_t i = 0; i < GetBoneStateCount(); ++i) {
        float p[3], q[4];
        BoneState* state = boneStates_->GetBoneState(i);
        if (state && SampleBone(i, p, q))
            SetPose(*state, p, q);
    }
}

void SkeletonModel::CrossFadeStep(float blendTime) {
    SampleActions();
    // The share of what is left of the fade that this step covers; the last step lands on the
    // target pose exactly.
    const float remaining = blendLength_ - previousBlendTime_;
    float a = remaining > 0.0f ? (blendTime - previousBlendTime_) / remaining : 1.0f;
    a = std::clamp(a, 0.0f, 1.0f);
    for (std::uint32_t i = 0; i < GetBoneStateCount(); ++i) {
        float p[3], q[4];
        if (!SampleBone(i, p, q))
            continue;
        BoneState& state = *boneStates_->GetBoneState(i);
        float r[4];
        Quaternion::Slerp(r, state.rotation, q, a);
        std::copy_n(r, 4, state.rotation);
        LerpPosition(state.translation, p, a);
    }
    PlaceRoot();
    UpdateLookAt(blendTime - previousBlendTime_);
    EvaluateBones();
    UpdateBoneBounds();
    previousBlendTime_ = blendTime;
}

void SkeletonModel::PlaceRoot() {
    Skeleton* skeleton = GetSkeleton();
    BoneState* root = GetBoneState(0);
    const Bone* bone = skeleton ? skeleton->GetBone(0) : nullptr;
    if (!root || !bone)
        return;
    float offset[3], turned[3];
    for (int k = 0; k < 3; ++k) offset[k] = root->translation[k] - bone->GetModelPosition()[k];
    RotateByQuaternion(GetWorldOrientation(), offset, turned);
    for (int k = 0; k < 3; ++k) rootWorld_[k] = GetPosition()[k] + turned[k];
}

const float* SkeletonModel::GetBoneWorldMatrix(std::uint32_t n) {
    Skeleton* skeleton = GetSkeleton();
    if (!skeleton || !boneStates_)
        return kIdentityMatrix;
    return boneStates_->GetBoneWorldMatrix(*skeleton, n, frameId_, GetWorldMatrix());
}

void SkeletonModel::GetCurrentBoneWorldMatrix(std::uint32_t n, float* out) {
    const BoneState* state = GetBoneState(n);
    if (!state) {
        std::copy_n(kIdentityMatrix, 16, out);
        return;
    }
    MultiplyMatrices4(GetWorldMatrix(), state->modelMatrix, out);
}

void SkeletonModel::SetLookTarget(std::int32_t bone, LookAt& look, const float* point) {
    std::copy_n(point, 3, look.target);
    Skeleton* skeleton = GetSkeleton();
    if (bone < 0 || !skeleton || !boneStates_)
        return;
    // The bone's own world matrix, evaluated on the spot when nothing reached it yet: a whole
    // tree evaluation here would rewrite the skin matrices (without the bone scale they were
    // made with) until the next update.
    std::copy_n(GetBoneWorldMatrix(static_cast<std::uint32_t>(bone)), 16, look.start);
    // A new target during a turn does not restart the turn's clock.
    if (look.ease == 0.0f)
        look.ease = kLookEase;
}

void SkeletonModel::SetHeadLookTarget(const float* point) {
    Skeleton* skeleton = GetSkeleton();
    SetLookTarget(skeleton ? skeleton->GetHeadBone() : -1, headLook_, point);
}

void SkeletonModel::SetSpineLookTarget(const float* point) {
    Skeleton* skeleton = GetSkeleton();
    SetLookTarget(skeleton ? skeleton->GetSpineBone() : -1, spineLook_, point);
}

void SkeletonModel::UpdateLookAt(float dt) {
    Skeleton* skeleton = GetSkeleton();
    if (!skeleton || !(GetFlags() & (kHeadLookAt | kSpineLookAt)))
        return;
    // The turns are measured from the sampled pose, so the tree must show it first.
    EvaluateBones();
    if (HasEntityFlag(kHeadLookAt))
        LookAtBone(skeleton->GetHeadBone(), headLook_, dt, false);
    if (HasEntityFlag(kSpineLookAt))
        LookAtBone(skeleton->GetSpineBone(), spineLook_, dt, true);
}

void SkeletonModel::LookAtBone(std::int32_t bone, LookAt& look, float dt, bool spine) {
    static constexpr float kTiny = 1e-6f;
    static constexpr float kPi = 3.14159265358979f;
    Skeleton* skeleton = GetSkeleton();
    const Bone* b = bone >= 0 ? skeleton->GetBone(static_cast<std::uint32_t>(bone)) : nullptr;
    BoneState* state = b ? GetBoneState(static_cast<std::uint32_t>(bone)) : nullptr;
    if (!state || !b->GetParent())
        return;
    const std::int32_t head = skeleton->GetHeadBone();
    float eyeMatrix[16];
    GetCurrentBoneWorldMatrix(static_cast<std::uint32_t>(head >= 0 ? head : bone), eyeMatrix);
    const float eye[3] = {rootWorld_[0], rootWorld_[1], eyeMatrix[11]};
    float d[3];
    for (int k = 0; k < 3; ++k) d[k] = look.target[k] - eye[k];
    const float distance = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);

    float world[16], inverse[16];
    GetCurrentBoneWorldMatrix(static_cast<std::uint32_t>(bone), world);
    std::copy_n(world, 16, inverse);
    if (!Matrix4::Inverse(inverse))
        return;

    float turn[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    float angle = 0.0f, axis[3] = {0.0f, 0.0f, 0.0f};
    if (distance > kTiny) {
        for (float& c : d) c /= distance;
        if (spine) {
            const float* node = GetWorldMatrix();
            const float f[3] = {-node[1], -node[5], -node[9]};
            const float cosine = std::clamp(f[0] * d[0] + f[1] * d[1] + f[2] * d[2], -1.0f, 1.0f);
            if (cosine >= 0.0f) {
                angle = std::min(std::acos(cosine), kPi / 3.0f);
                const float across[3] = {f[1] * d[2] - f[2] * d[1], f[2] * d[0] - f[0] * d[2],
                                         f[0] * d[1] - f[1] * d[0]};
                Matrix4::RotateVector(inverse, axis, across);
            }
        } else {
            float local[3];
            Matrix4::RotateVector(inverse, local, d);
            const float length =
                std::sqrt(local[0] * local[0] + local[1] * local[1] + local[2] * local[2]);
            if (length > kTiny && local[1] >= 0.0f) {
                angle = std::min(std::acos(std::clamp(local[1] / length, -1.0f, 1.0f)), kPi / 4.0f);
                axis[0] = local[2];
                axis[2] = -local[0];
            }
        }
    }
    const float axisLength = std::sqrt(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2]);
    if (angle > kTiny && axisLength > kTiny)
        Quaternion::FromAngleAxis(turn, angle * 57.2957763671875f, axis);

    if (look.ease != 0.0f) {
        // Where the bone looked when the target was set, relative to where it looks now.
        float relative[16], from[4];
        MultiplyMatrices4(inverse, look.start, relative);
        Matrix4::ExtractRotation(relative, from);
        look.ease = std::max(0.0f, look.ease - dt);
        float eased[4];
        Quaternion::Slerp(eased, from, turn, 1.0f - look.ease / kLookEase);
        std::copy_n(eased, 4, turn);
    }
    float composed[4];
    MultiplyQuaternions(state->rotation, turn, composed);
    std::copy_n(composed, 4, state->rotation);
}

void SkeletonModel::Update(std::uint32_t* counter, float dt, std::uint32_t frameId) {
    dt = std::max(dt, 0.0f);
    frameId_ = frameId;
    if (!IsGlobalSwitchOn(kUpdateActionsSwitch)) {
        Entity::Update(counter, dt, frameId);
        return;
    }
    if (!GetSkeleton()) {
        LogTyped(LOG_ENGINE_INIT, "geometrySkin对象 m_pSkeleton 指针为NULL");
        Entity::Update(counter, dt, frameId);
        return;
    }
    if (!mainAction_ || GetBoneStateCount() == 0) {
        Entity::Update(counter, dt, frameId);
        return;
    }
    const bool fading = HasEntityFlag(kCrossFading) && blendLength_ > 0.0001f;
    if (!(fading && HasEntityFlag(kPlaying) && holdDuringFade_))
        mainTime_ += dt;
    AdvanceExtraSlots(dt);
    const float length = mainAction_->GetLength();
    if (mainTime_ >= length && !mainAction_->IsLooping())
        SetEntityFlag(kPlaying, false);
    if (!HasEntityFlag(kPlaying)) {
        EvaluateBones();
        // The pose stands, but the model may move: the bodies follow the bones all the same.
        UpdateBoneBounds();
        Entity::Update(counter, dt, frameId);
        return;
    }
    if (HasEntityFlag(kCrossFading) && blendLength_ > 0.0001f) {
        const float bt = blendTime_ + dt;
        blendTime_ = bt;
        if (bt <= blendLength_) {
            CrossFadeStep(bt);
            Entity::Update(counter, dt, frameId);
            return;
        }
        EndCrossFade();
    }
    const float unclamped = mainTime_;
    SampleActions();
    SampleMainAction();
    if (unclamped >= length && mainAction_->IsLooping())
        mainTime_ = length > 0.0f ? std::fmod(unclamped, length) : 0.0f;
    SetEntityFlag(kNearEnd, mainTime_ + 2.0f * dt > length);
    PlaceRoot();
    UpdateLookAt(dt);
    EvaluateBones();
    UpdateBoneBounds();
    SetStateBits(NODE_BOUNDS_DIRTY);
    Entity::Update(counter, dt, frameId);
}

void SkeletonModel::SampleFromChannels() {
    Skeleton* skeleton = GetSkeleton();
    if (!skeleton || GetBoneStateCount() == 0)
        return;
    std::vector<BonePose> poses;
    for (std::uint32_t i = 0; i < GetBoneStateCount(); ++i) {
        BoneState& state = *boneStates_->GetBoneState(i);
        poses.clear();
        for (AnimationChannel& channel : channels_) {
            if (channel.GetState() == AnimationChannel::kIdle ||
                (channel.GetFlags() & AnimationChannel::kStopped) || !channel.ContributesToBone(i))
                continue;
            const bool overrides = (channel.GetFlags() & AnimationChannel::kOverride) != 0;
            if (overrides)
                poses.clear();
            BonePose pose{};
            channel.SampleBone(i, pose.position, pose.rotation);
            if (channel.GetFlags() & AnimationChannel::kBlendingIn) {
                const float f = channel.GetBlendInFactor();
                for (int k = 0; k < 3; ++k)
                    pose.position[k] = f * state.translation[k] + (1.0f - f) * pose.position[k];
                float q[4];
                Quaternion::Slerp(q, state.rotation, pose.rotation, 1.0f - f);
                std::copy_n(q, 4, pose.rotation);
            }
            pose.weight = channel.GetLayerWeight();
            poses.push_back(pose);
            if (overrides)
                break;
        }
        float sum = 0.0f;
        for (const BonePose& pose : poses) sum += pose.weight;
        const Bone* bone = skeleton->GetBone(i);
        if (poses.empty() || (poses.size() > 1 && !(sum > 0.0f))) {
            // Nothing drives the bone, or the weights cancel out: the bind pose.
            if (bone)
                SetPose(state, bone->GetLocalPosition(), bone->GetLocalRotation());
            continue;
        }
        if (poses.size() == 1) {
            SetPose(state, poses[0].position, poses[0].rotation);
            continue;
        }
        float p[3] = {0.0f, 0.0f, 0.0f}, q[4];
        std::copy_n(poses[0].rotation, 4, q);
        float gathered = 0.0f;
        for (std::size_t k = 0; k < poses.size(); ++k) {
            const float w = poses[k].weight / sum;
            for (int c = 0; c < 3; ++c) p[c] += w * poses[k].position[c];
            gathered += w;
            if (k > 0 && gathered > 0.0f) {
                float r[4];
                Quaternion::Slerp(r, q, poses[k].rotation, w / gathered);
                std::copy_n(r, 4, q);
            }
        }
        SetPose(state, p, q);
    }
}

}  // namespace Zel
