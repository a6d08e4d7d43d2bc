// Base of the bound shapes: collision bodies hung on the bones of a skeleton model, each with a
// transform relative to its bone and one body in a physics scene, which it owns. Shapes are
// pooled: they come from their type's factory (AcquireBoundSphere, AcquireBoundCapsule) and go
// back through Recycle; nobody deletes them. A shape's own fields take no lock.
#pragma once

#include <cstdint>
#include <string>

#include "Core/RecycledObject.h"

namespace Zel {

class Bone;
class PhxEntity;
class PhxScene;

enum BoundKind : int {
    BOUND_SPHERE = 0,
    BOUND_CAPSULE = 1,
    BOUND_BASE = 2,
};

class BoundBase : public RecycledObject {
public:
    BoundBase();
    // Releases the physics body, if any.
    ~BoundBase() override;

    // Releases the physics body (once) and empties every field: no bone or scene, flag 1, identity
    // local transform, empty name, identifier 0. The shape's own dimensions stay.
    void Reset() override;

    // Stores the dimensions and creates the physics body in the shape's scene, replacing (and
    // releasing) any body it had. params: three floats. False, with no body, when there is no
    // scene or the scene makes no body.
    virtual bool Setup(const float* params) = 0;
    // Resets the shape and returns it to its type's pool; the shape must not be used afterwards.
    virtual void Recycle() = 0;
    virtual int GetKind() const { return BOUND_BASE; }
    // A new shape of the same type from its pool with this one's scene, dimensions, bone, flag,
    // local transform and a clone of its body (none when it has none); null when the pool cannot
    // grow.
    virtual BoundBase* Clone() const = 0;
    // Copies the bone, the flag and the local transform into target (not the body, the scene,
    // the name or the identifier); answers target.
    virtual BoundBase* CopyTo(BoundBase* target) const;

    // 16 floats relative to the bone, engine layout.
    void SetLocalTransform(const float* m);
    const float* GetLocalTransform() const { return localTransform_; }

    // The scene in which Setup creates the body (non-owning).
    void SetPhysicsScene(PhxScene* scene) { scene_ = scene; }
    PhxScene* GetPhysicsScene() const { return scene_; }
    // The owned body, or null.
    PhxEntity* GetPhysicsBody() const { return body_; }
    // The bone the shape follows (non-owning).
    void SetParentBone(Bone* bone) { bone_ = bone; }
    Bone* GetParentBone() const { return bone_; }
    // Meaning kept by the owner.
    void SetFlag(std::uint32_t flag) { flag_ = flag; }
    std::uint32_t GetFlag() const { return flag_; }
    void SetName(const std::string& name) { name_ = name; }
    const std::string& GetName() const { return name_; }
    // The identifier word of the bounds record (the owner's meaning).
    void SetIdentifier(std::uint32_t id) { identifier_ = id; }
    std::uint32_t GetIdentifier() const { return identifier_; }

protected:
    // Replaces the body by a new one of the given shape kind built from params (three floats).
    bool CreateBody(std::int32_t shapeKind, const float* params);
    // Fills a shape just taken from the pool with this one's scene, body clone and copied fields.
    void CloneInto(BoundBase* copy) const;

private:
    void ReleaseBody();

    PhxEntity* body_ = nullptr;
    Bone* bone_ = nullptr;
    PhxScene* scene_ = nullptr;
    std::uint32_t flag_ = 1;
    float localTransform_[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    std::string name_;
    std::uint32_t identifier_ = 0;
};

// Recycle for a shape that may be null: nothing happens for null.
void RecycleBound(BoundBase* shape);

}  // namespace Zel
