// A node of the scene's transform tree and the base of every placed scene object (entities and
// their kinds, cameras, lights, levels). It holds a local orientation, position and scale, and
// derives its local and world matrices lazily from a word of dirty bits; children are kept in a
// table keyed by name; a node also carries its bounding box and the spatial cell that holds it.
//
// Nodes come from their factory in Globals (through SceneManager::CreateSceneNode) and go back to
// it; they are reset, never deleted, by their users. Matrices are 16 floats, row-major, applied to
// column vectors (Math/Matrix4.h); quaternions are (x, y, z, w). Host thread only: nothing here
// locks.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "Core/Object.h"
#include "Core/RCInterfaceCarrier.h"
#include "Core/RecycledObject.h"
#include "Math/AABB.h"

namespace ZelI {
class IMoveObject;
}  // namespace ZelI

namespace Zel {

class Entity;
class RenderQueue;
class Light;
class Material;
class Shadow;
class SpatialNode;

// Bits of the node's state word. Subclasses use higher bits (128 for lights, 512 for an entity
// switch).
enum SceneNodeState : std::uint32_t {
    NODE_PARENT_CHANGED = 1,  // transform changed relative to the parent
    NODE_CHANGED = 2,         // transform changed (kept for the subclasses)
    NODE_LOCAL_DIRTY = 4,     // local matrix out of date
    NODE_WORLD_DIRTY = 8,     // world matrix and world parts out of date
    NODE_BOUNDS_DIRTY = 16,   // bounds or placement out of date
    NODE_VISIBLE = 64,        // visible this frame
};

class SceneNode : public Object,
                  public RecycledObject,
                  public RCInterfaceCarrier<ZelI::IMoveObject> {
public:
    // Named "UnNamedNode" followed by the serial id.
    SceneNode();
    explicit SceneNode(std::string_view name);
    // Leaves the parent, drops the children and leaves the spatial cell.
    ~SceneNode() override;
    ZEL_CLASS_ID(SceneNode)

    // Counts the visit in *counter (when not null); runs the node and its children once per
    // frame id: the transform step, the children, then the placement.
    virtual void Update(std::uint32_t* counter, float dt, std::uint32_t frameId);
    // Hands the node back through SceneManager::DestroySceneNode.
    virtual void Destroy();
    // A new node named after this one with "_Clone%u", holding a copy of this node's transform.
    virtual SceneNode* Clone(bool withParent);
    // Copies the transform, state, user flag, box, light mask and frame stamp into target (name,
    // children and placement stay); withParent also adds target to this node's parent.
    virtual void CopyTo(SceneNode* target, bool withParent);

    virtual const float* GetOrientation() const { return orientation_; }
    // Stores q normalised (a zero quaternion unchanged) and marks the transform changed.
    virtual void SetOrientation(const float* q);
    virtual const float* GetPosition() const { return position_; }
    virtual void SetPosition(const float* position);
    virtual const float* GetScale() const { return scale_; }
    virtual void SetScale(const float* scale);
    // The local matrix, recomposed first when out of date.
    virtual const float* GetLocalMatrix();
    // Takes scale, orientation and position apart from m (shear and projection are lost).
    virtual void SetLocalMatrix(const float* m);
    virtual std::uint8_t GetUserFlag() const { return userFlag_; }
    virtual void SetUserFlag(std::uint8_t flag) { userFlag_ = flag; }
    // position += delta.
    virtual void Translate(const float* delta);

    // The world parts, brought up to date first (and the parents' before them).
    virtual const float* GetWorldOrientation();
    virtual const float* GetWorldPosition();
    virtual const float* GetWorldScale();
    virtual const float* GetWorldMatrix();

    virtual void SetParent(SceneNode* parent);
    virtual SceneNode* GetParent() const { return parent_; }
    // A new child from the scene manager, placed and turned as given (3 and 4 floats).
    virtual SceneNode* CreateChild(const float* position, const float* orientation);
    virtual SceneNode* CreateChild(const std::string& name, const float* position,
                                   const float* orientation);
    virtual void AddChild(SceneNode* child);
    // The child at index in the table's order; null past the end.
    virtual SceneNode* GetChild(std::uint32_t index) const;
    virtual SceneNode* GetChild(const std::string& name) const;
    // The child of that name when it is a plain Entity (not one of its kinds), else null.
    virtual Entity* GetChildEntity(const std::string& name) const;
    virtual void RemoveChild(const std::string& name);
    virtual void RemoveChild(SceneNode* child);
    virtual void ParentMoved();
    virtual void ChildBoundsChanged(SceneNode* child);
    // Joins the root node, then the current level.
    virtual void AttachToRoot();
    // Hands the node to the current level's tree unless placement is suppressed.
    virtual void AddToLevel();
    virtual const AABB& GetBoundingBox() const { return bounds_; }

    // What the render queue asks of a node; entities answer them, a plain node queues nothing.
    virtual void ClearRenderMarks() {}
    virtual void ClearOncePerFrameMarks() {}
    virtual void AddSubEntitiesForLight(RenderQueue* /*queue*/, Light* /*light*/,
                                        Material* /*material*/) {}
    virtual void AddSubEntitiesToQueue(RenderQueue* /*queue*/, Light* /*light*/,
                                       Material* /*material*/) {}
    virtual void AddShadowCasters(RenderQueue* /*queue*/, Shadow* /*shadow*/) {}
    virtual void AddShadowReceivers(RenderQueue* /*queue*/, Material* /*material*/) {}

    virtual void SetShadowScale(float scale) { shadowScale_ = scale; }
    virtual float GetShadowScale() const { return shadowScale_; }
    // The per-frame transform step: a root takes its local parts as world parts; a node whose
    // parent-relative transform changed marks its world matrix out of date.
    virtual void TransformStep();
    virtual SceneNode* CreateNode();
    virtual SceneNode* CreateNode(const std::string& name);
    // Re-places the node in its spatial cell when its bounds changed.
    virtual void UpdatePlacement();
    // Marks everything out of date and tells the parent and the children.
    virtual void TransformChanged();
    // With a blob shadow (kind 1): queues one blob under the centre of the world box, on the
    // ground plane (height 0.001), scaled by the shadow scale, in render group 2.
    virtual void QueueFakeShadow(RenderQueue* queue, Shadow* shadow);
    virtual void SetSubEntityTag(std::uint32_t /*value*/) {}
    virtual void UpdateWorld();
    virtual void UpdateLocal();

    // No parent, or the scene's root as parent.
    bool IsTopLevel() const;
    // (0, -1, 0) turned by the local orientation (lights and decals shine along it).
    const float* GetDirection();
    // Turns the node so that (0, -1, 0) points along direction (need not be unit length).
    void SetDirection(const float* direction);
    // Appends "_Clone%u" with the clone counter to the node's name into out, then counts.
    void MakeCloneName(std::string& out);
    void ResetTransform();
    // Back to the constructed state but for the name, clone counter, light mask, box and
    // placement byte; the factory calls it on release. A wrapper still bound to the node is
    // unbound first, so that the host cannot reach the node's next user through it.
    void Reset() override;

    const std::string& GetName() const { return name_; }
    void SetName(std::string_view name) { name_ = name; }
    std::uint32_t GetState() const { return state_; }
    void SetStateBits(std::uint32_t bits) { state_ |= bits; }
    void ClearStateBits(std::uint32_t bits) { state_ &= ~bits; }
    bool IsVisible() const { return (state_ & NODE_VISIBLE) != 0; }
    std::uint32_t GetChildCount() const { return static_cast<std::uint32_t>(children_.size()); }
    std::uint32_t GetFrameStamp() const { return frameStamp_; }
    // The light pass of the spatial tree ORs light bits in (64 lights).
    std::uint64_t GetLightMask() const { return lightMask_; }
    void SetLightMask(std::uint64_t mask) { lightMask_ = mask; }
    SpatialNode* GetSpatialCell() const { return spatialCell_; }
    void SetSpatialCell(SpatialNode* cell) { spatialCell_ = cell; }
    bool IsPlacementSuppressed() const { return placementSuppressed_ != 0; }
    void SetPlacementSuppressed(bool suppressed) { placementSuppressed_ = suppressed ? 1 : 0; }
    std::uint32_t GetVisibilityTestFlags() const { return visibilityTestFlags_; }
    void SetVisibilityTestFlags(std::uint32_t flags) { visibilityTestFlags_ = flags; }
    void SetBoundingBox(const AABB& box) { bounds_ = box; }
    // One float a host may keep with the node (the model interface's float setter and getter).
    void SetNodeFloat(float value) { nodeFloat_ = value; }
    float GetNodeFloat() const { return nodeFloat_; }
    // The direction cache of GetDirection and SetDirection.
    const float* GetDirectionCache() const { return direction_; }

protected:
    // The orientation field itself, for the rotators that write it without marking a change.
    float* MutableOrientation() { return orientation_; }
    // The local matrix itself, for the kinds that compose more than scale, rotation and position
    // into it (an entity's animation poses).
    float* MutableLocalMatrix() { return localMatrix_; }
    // Sets the parent link alone, outside the child table: the entities attached to an entity
    // follow it without being its children.
    void SetParentLink(SceneNode* parent) {
        parent_ = parent;
        state_ |= NODE_PARENT_CHANGED;
    }
    friend class Rotator;

private:
    // Sibling names hash as h = 5 h + c, as the child table always has.
    struct NameHash {
        std::size_t operator()(const std::string& name) const noexcept;
    };
    using ChildTable = std::unordered_map<std::string, SceneNode*, NameHash>;

    // Enters child under its name. A sibling already of that name leaves the table and loses its
    // parent, so that no node points at a parent that does not list it.
    void EnterChild(SceneNode* child);
    void RemoveAllChildren();
    void LeaveSpatialCell();

    alignas(16) float localMatrix_[16];
    alignas(16) float worldMatrix_[16];
    SceneNode* parent_ = nullptr;  // not owned
    std::string name_;
    float orientation_[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    float position_[3] = {};
    float scale_[3] = {1.0f, 1.0f, 1.0f};
    float worldOrientation_[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    float worldPosition_[3] = {};
    float worldScale_[3] = {1.0f, 1.0f, 1.0f};
    float direction_[3] = {};
    std::uint8_t userFlag_ = 1;
    std::uint32_t state_ = NODE_BOUNDS_DIRTY | NODE_VISIBLE;
    ChildTable children_;  // children not owned
    AABB bounds_;
    std::uint8_t placementSuppressed_ = 1;
    SpatialNode* spatialCell_ = nullptr;  // not owned
    std::uint64_t lightMask_ = 0;
    std::uint32_t frameStamp_ = 0;
    std::uint32_t cloneCounter_ = 0;
    float shadowScale_ = 1.0f;
    std::uint32_t visibilityTestFlags_ = 0;
    float nodeFloat_ = 0.0f;
};

}  // namespace Zel
