#include "Entity/Scene/SceneNode.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "Core/Globals.h"
#include "Entity/Geometry/TransformMath.h"
#include "Entity/Scene/Entity.h"
#include "Entity/Scene/FakeShadow.h"
#include "Entity/Scene/Level.h"
#include "Entity/Scene/RenderQueue.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Scene/SpatialNode.h"
#include "Math/MathUtil.h"
#include "Math/Matrix4.h"
#include "Math/Quaternion.h"
#include "Math/RSqrtTable.h"

namespace Zel {
namespace {

constexpr float kDownAxis[3] = {0.0f, -1.0f, 0.0f};

void SetIdentity(float* m) {
    std::memcpy(m, kIdentityMatrix, sizeof kIdentityMatrix);
}

SceneManager* NodeScene() {
    return Globals::Find(&Globals::GetSceneManager);
}

}  // namespace

std::size_t SceneNode::NameHash::operator()(const std::string& name) const noexcept {
    std::size_t h = 0;
    for (unsigned char c : name) h = 5 * h + c;
    return h;
}

SceneNode::SceneNode() : SceneNode(std::string_view{}) {
    name_ = "UnNamedNode" + std::to_string(GetSerialId());
}

SceneNode::SceneNode(std::string_view name) : name_(name) {
    ResetTransform();
}

SceneNode::~SceneNode() {
    if (parent_)
        parent_->RemoveChild(this);
    RemoveAllChildren();
    LeaveSpatialCell();
}

// --- Transform ------------------------------------------------------------------------------

void SceneNode::SetOrientation(const float* q) {
    std::memcpy(orientation_, q, 4 * sizeof(float));
    const float lengthSquared = q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3];
    if (lengthSquared != 0.0f) {
        const float inverse = FastRSqrt(lengthSquared);
        for (float& c : orientation_) c *= inverse;
    }
    TransformChanged();
}

void SceneNode::SetPosition(const float* position) {
    std::memcpy(position_, position, 3 * sizeof(float));
    TransformChanged();
}

void SceneNode::SetScale(const float* scale) {
    std::memcpy(scale_, scale, 3 * sizeof(float));
    TransformChanged();
}

const float* SceneNode::GetLocalMatrix() {
    UpdateLocal();
    return localMatrix_;
}

void SceneNode::SetLocalMatrix(const float* m) {
    std::memcpy(localMatrix_, m, 16 * sizeof(float));
    Matrix4::Decompose(m, scale_, orientation_, position_);
    TransformChanged();
}

void SceneNode::Translate(const float* delta) {
    const float position[3] = {position_[0] + delta[0], position_[1] + delta[1],
                               position_[2] + delta[2]};
    SetPosition(position);
}

const float* SceneNode::GetWorldOrientation() {
    UpdateWorld();
    return worldOrientation_;
}

const float* SceneNode::GetWorldPosition() {
    UpdateWorld();
    return worldPosition_;
}

const float* SceneNode::GetWorldScale() {
    UpdateWorld();
    return worldScale_;
}

const float* SceneNode::GetWorldMatrix() {
    UpdateWorld();
    return worldMatrix_;
}

void SceneNode::UpdateLocal() {
    if (!(state_ & NODE_LOCAL_DIRTY))
        return;
    Matrix4::MakeTransform(localMatrix_, scale_, orientation_, position_);
    state_ &= ~std::uint32_t(NODE_LOCAL_DIRTY);
}

void SceneNode::UpdateWorld() {
    if (!(state_ & NODE_WORLD_DIRTY))
        return;
    UpdateLocal();
    if (parent_) {
        float world[16];
        MultiplyMatrices4(parent_->GetWorldMatrix(), localMatrix_, world);
        std::memcpy(worldMatrix_, world, sizeof world);
    } else {
        std::memcpy(worldMatrix_, localMatrix_, sizeof worldMatrix_);
    }
    state_ &= ~std::uint32_t(NODE_WORLD_DIRTY);
    Matrix4::Decompose(worldMatrix_, worldScale_, worldOrientation_, worldPosition_);
}

void SceneNode::TransformChanged() {
    state_ |= NODE_PARENT_CHANGED | NODE_CHANGED | NODE_LOCAL_DIRTY | NODE_WORLD_DIRTY |
              NODE_BOUNDS_DIRTY;
    if (parent_)
        parent_->ChildBoundsChanged(this);
    for (auto& [name, child] : children_) child->ParentMoved();
}

void SceneNode::ParentMoved() {
    state_ |= NODE_PARENT_CHANGED | NODE_CHANGED | NODE_WORLD_DIRTY | NODE_BOUNDS_DIRTY;
    for (auto& [name, child] : children_) child->ParentMoved();
}

void SceneNode::ChildBoundsChanged(SceneNode* /*child*/) {
    // Iterative: a deep chain of ancestors must not deepen the stack.
    for (SceneNode* node = this; node; node = node->parent_) node->state_ |= NODE_BOUNDS_DIRTY;
}

// --- Per-frame update -----------------------------------------------------------------------

void SceneNode::Update(std::uint32_t* counter, float dt, std::uint32_t frameId) {
    if (counter)
        ++*counter;
    if (frameId == frameStamp_)
        return;
    frameStamp_ = frameId;
    TransformStep();
    if (!children_.empty()) {
        // A child's update may change the table (a model attaching a part); walk a snapshot.
        // The snapshots of the whole walk share one stack per thread, so a steady frame
        // allocates nothing.
        thread_local std::vector<SceneNode*> snapshots;
        const std::size_t base = snapshots.size();
        for (auto& [name, child] : children_) snapshots.push_back(child);
        const std::size_t end = snapshots.size();
        for (std::size_t i = base; i < end; ++i) snapshots[i]->Update(counter, dt, frameId);
        snapshots.resize(base);
    }
    UpdatePlacement();
}

void SceneNode::TransformStep() {
    if (!parent_) {
        std::memcpy(worldOrientation_, orientation_, sizeof worldOrientation_);
        std::memcpy(worldPosition_, position_, sizeof worldPosition_);
        std::memcpy(worldScale_, scale_, sizeof worldScale_);
        state_ |= NODE_WORLD_DIRTY;
    } else if (state_ & NODE_PARENT_CHANGED) {
        state_ &= ~std::uint32_t(NODE_PARENT_CHANGED);
        state_ |= NODE_WORLD_DIRTY;
    }
}

void SceneNode::UpdatePlacement() {
    if ((state_ & NODE_BOUNDS_DIRTY) && spatialCell_)
        spatialCell_->Place(this);
    state_ &= ~std::uint32_t(NODE_BOUNDS_DIRTY);
}

// --- Tree edits -----------------------------------------------------------------------------

void SceneNode::EnterChild(SceneNode* child) {
    auto [it, inserted] = children_.try_emplace(child->name_, child);
    if (!inserted && it->second != child) {
        SceneNode* displaced = it->second;
        it->second = child;
        if (displaced->parent_ == this)
            displaced->parent_ = nullptr;
    }
}

void SceneNode::AddChild(SceneNode* child) {
    if (!child || child->parent_ == this || child == this)
        return;
    if (child->parent_)
        child->parent_->RemoveChild(child);
    EnterChild(child);
    child->parent_ = this;
    child->state_ |= NODE_PARENT_CHANGED;
    state_ |= NODE_BOUNDS_DIRTY;
}

void SceneNode::SetParent(SceneNode* parent) {
    if (parent == parent_ || parent == this)
        return;
    if (parent_)
        parent_->RemoveChild(this);
    parent_ = parent;
    if (parent)
        parent->EnterChild(this);
    state_ |= NODE_PARENT_CHANGED;
}

void SceneNode::RemoveChild(SceneNode* child) {
    for (auto it = children_.begin(); it != children_.end(); ++it) {
        if (it->second == child) {
            children_.erase(it);
            child->parent_ = nullptr;
            return;
        }
    }
}

void SceneNode::RemoveChild(const std::string& name) {
    auto it = children_.find(name);
    if (it == children_.end())
        return;
    SceneNode* child = it->second;
    children_.erase(it);
    child->parent_ = nullptr;
}

void SceneNode::RemoveAllChildren() {
    for (auto& [name, child] : children_) child->parent_ = nullptr;
    children_.clear();
}

SceneNode* SceneNode::GetChild(std::uint32_t index) const {
    if (index >= children_.size())
        return nullptr;
    auto it = children_.begin();
    std::advance(it, index);
    return it->second;
}

SceneNode* SceneNode::GetChild(const std::string& name) const {
    auto it = children_.find(name);
    return it == children_.end() ? nullptr : it->second;
}

Entity* SceneNode::GetChildEntity(const std::string& name) const {
    SceneNode* child = GetChild(name);
    if (!child || child->GetClassId() != ClassId::Entity)
        return nullptr;
    return static_cast<Entity*>(child);
}

SceneNode* SceneNode::CreateNode() {
    SceneManager* scene = NodeScene();
    return scene ? scene->CreateSceneNode() : nullptr;
}

SceneNode* SceneNode::CreateNode(const std::string& name) {
    SceneManager* scene = NodeScene();
    return scene ? scene->CreateSceneNode(name) : nullptr;
}

SceneNode* SceneNode::CreateChild(const float* position, const float* orientation) {
    SceneNode* child = CreateNode();
    if (!child)
        return nullptr;
    child->SetPosition(position);
    child->SetOrientation(orientation);
    AddChild(child);
    return child;
}

SceneNode* SceneNode::CreateChild(const std::string& name, const float* position,
                                  const float* orientation) {
    SceneNode* child = CreateNode(name);
    if (!child)
        return nullptr;
    child->SetPosition(position);
    child->SetOrientation(orientation);
    AddChild(child);
    return child;
}

bool SceneNode::IsTopLevel() const {
    if (!parent_)
        return true;
    SceneManager* scene = NodeScene();
    return scene && parent_ == scene->GetRootNode();
}

void SceneNode::AttachToRoot() {
    SceneManager* scene = NodeScene();
    if (!scene || !scene->GetRootNode())
        return;
    scene->GetRootNode()->AddChild(this);
    AddToLevel();
}

void SceneNode::AddToLevel() {
    if (placementSuppressed_)
        return;
    SceneManager* scene = NodeScene();
    if (Level* level = scene ? scene->GetLevel() : nullptr)
        level->InsertNode(this);
}

void SceneNode::Destroy() {
    if (SceneManager* scene = NodeScene())
        scene->DestroySceneNode(this);
}

// --- Clone and copy ----------------------------------------------------------------------------

void SceneNode::MakeCloneName(std::string& out) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, "_Clone%u", cloneCounter_);
    out = name_ + suffix;
    ++cloneCounter_;
}

SceneNode* SceneNode::Clone(bool withParent) {
    std::string name;
    MakeCloneName(name);
    SceneNode* node = CreateNode(name);
    if (node)
        CopyTo(node, withParent);
    return node;
}

void SceneNode::CopyTo(SceneNode* target, bool withParent) {
    if (!target || target == this)
        return;
    if (withParent && parent_)
        parent_->AddChild(target);
    std::memcpy(target->orientation_, orientation_, sizeof orientation_);
    std::memcpy(target->position_, position_, sizeof position_);
    std::memcpy(target->localMatrix_, localMatrix_, sizeof localMatrix_);
    std::memcpy(target->scale_, scale_, sizeof scale_);
    std::memcpy(target->worldOrientation_, worldOrientation_, sizeof worldOrientation_);
    std::memcpy(target->worldPosition_, worldPosition_, sizeof worldPosition_);
    std::memcpy(target->worldMatrix_, worldMatrix_, sizeof worldMatrix_);
    std::memcpy(target->worldScale_, worldScale_, sizeof worldScale_);
    target->userFlag_ = userFlag_;
    target->state_ = state_;
    target->bounds_ = bounds_;
    if (spatialCell_) {
        SceneManager* scene = NodeScene();
        spatialCell_->Insert(target, true, true, scene ? scene->NextSpatialStamp() : 0);
    }
    target->lightMask_ = lightMask_;
    target->frameStamp_ = frameStamp_;
}

// --- Direction ------------------------------------------------------------------------------

const float* SceneNode::GetDirection() {
    RotateByQuaternion(orientation_, kDownAxis, direction_);
    return direction_;
}

void SceneNode::SetDirection(const float* direction) {
    float current[3], turn[4], turned[4];
    RotateByQuaternion(orientation_, kDownAxis, current);
    Quaternion::FromTwoVectors(turn, current, direction);
    MultiplyQuaternions(turn, orientation_, turned);
    std::memcpy(orientation_, turned, sizeof orientation_);
    std::memcpy(direction_, direction, sizeof direction_);
    // The new orientation must reach the matrices: a light or decal turned this way is otherwise
    // drawn along its old axis until something else moves it.
    TransformChanged();
}

// --- Fake shadow ----------------------------------------------------------------------------

void SceneNode::QueueFakeShadow(RenderQueue* queue, Shadow* shadow) {
    auto* fake = dynamic_cast<FakeShadow*>(shadow);
    if (!queue || !fake)
        return;
    const AABB& box = GetBoundingBox();
    FakeShadowInstance* blob = fake->CreateInstance();
    if (!blob)
        return;
    // Just above the ground, so the blob does not fight with it in the depth buffer.
    float* m = blob->GetWorldMatrixData();
    const float scale = GetShadowScale();
    m[0] = scale;
    m[5] = scale;
    m[3] = (box.GetMin()[0] + box.GetMax()[0]) * 0.5f;
    m[7] = (box.GetMin()[1] + box.GetMax()[1]) * 0.5f;
    m[11] = 0.001f;
    queue->AddRenderable(blob, nullptr, RENDER_GROUP_SHADOW_CASTERS, 0, fake->GetCasterMaterial(0));
}

// --- Reset ----------------------------------------------------------------------------------

void SceneNode::ResetTransform() {
    static constexpr float kIdentityQuaternion[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    std::memcpy(orientation_, kIdentityQuaternion, sizeof orientation_);
    std::memcpy(worldOrientation_, kIdentityQuaternion, sizeof worldOrientation_);
    for (int i = 0; i < 3; ++i) {
        position_[i] = worldPosition_[i] = 0.0f;
        scale_[i] = worldScale_[i] = 1.0f;
    }
    SetIdentity(localMatrix_);
    SetIdentity(worldMatrix_);
}

void SceneNode::LeaveSpatialCell() {
    if (!spatialCell_)
        return;
    spatialCell_->Remove(this);
    spatialCell_ = nullptr;
}

void SceneNode::Reset() {
    DetachInterface();
    CheckUnbound(__FILE__, __LINE__, __func__);
    nodeFloat_ = 0.0f;
    shadowScale_ = 1.0f;
    userFlag_ = 0;
    state_ = 0;
    frameStamp_ = 0;
    ResetTransform();
    if (parent_)
        parent_->RemoveChild(this);
    RemoveAllChildren();
    LeaveSpatialCell();
    state_ |= NODE_VISIBLE;
}

}  // namespace Zel
