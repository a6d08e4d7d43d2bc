// A body in a physics scene: a rigid actor or a cloth. The scene that created it owns it: a body
// is never deleted by its users; Release asks the scene to unlink and delete it. Vectors are three
// floats, poses sixteen (row-major, translation in elements 3, 7, 11).
#pragma once

#include <cstdint>

#include "Core/Object.h"
#include "Physics/PhxBodyDesc.h"

namespace Zel {

class PhxScene;

class PhxEntity : public Object {
public:
    ZEL_CLASS_ID(PhxEntity)

    enum : std::uint32_t {
        FLAG_NO_GRAVITY = 1,
        FLAG_KINEMATIC = 2,
        FLAG_SYNC_PENDING = 4,
        FLAG_SLEEPING = 8,
    };

    // scene: the owning scene (non-owning back-reference, never null).
    explicit PhxEntity(PhxScene* scene);
    // As above with the descriptor already in place (bodies made without Create).
    PhxEntity(PhxScene* scene, const PhxBodyDesc& desc);
    ~PhxEntity() override;

    // Asks the owning scene to unlink and delete this body.
    void Release();
    // Release for holders of raw body pointers: a body that no longer exists (physics shutdown
    // deleted it) is left alone, without touching the pointer.
    static void ReleaseIfLive(PhxEntity* entity);

    // Makes the simulation side from desc (copied in); false when none was made.
    virtual bool Create(const PhxBodyDesc* desc);
    virtual void SetPosition(const float* position);
    virtual void ResetVelocity() {}
    const float* GetPosition() const { return position_; }
    virtual void SetPose(const float* pose);
    const float* GetPose() const { return pose_; }
    virtual void SetGravityEnabled(bool enable);
    bool IsGravityEnabled() const { return (flags_ & FLAG_NO_GRAVITY) == 0; }
    virtual void SetGroup(std::int32_t group) { group_ = group; }
    std::int32_t GetGroup() const { return group_; }
    virtual void SetMass(float mass) { mass_ = mass; }
    float GetMass() const { return mass_; }
    // Reads pose and position back from the simulation; clears the sync-pending flag.
    virtual void SyncFromSimulation() { SetSyncPending(false); }
    virtual void SetKinematic(bool kinematic) { SetFlag(FLAG_KINEMATIC, kinematic); }
    bool IsKinematic() const { return (flags_ & FLAG_KINEMATIC) != 0; }
    // A new body in the same scene from this body's descriptor, with gravity, kinematic, mass and
    // group copied through its setters; null when the scene makes none.
    virtual PhxEntity* Clone();
    virtual void DebugDraw() {}
    void SetSyncPending(bool pending) { SetFlag(FLAG_SYNC_PENDING, pending); }
    bool IsSyncPending() const { return (flags_ & FLAG_SYNC_PENDING) != 0; }
    virtual void SetSleeping(bool sleeping) { SetFlag(FLAG_SLEEPING, sleeping); }
    virtual bool IsSleeping() const { return (flags_ & FLAG_SLEEPING) != 0; }

    PhxScene* GetScene() const { return scene_; }
    const PhxBodyDesc& GetDesc() const { return desc_; }
    std::uint32_t GetFlags() const { return flags_; }

    // Whether entity is a body that exists now (made and not yet deleted). Any thread.
    static bool IsLive(const PhxEntity* entity);

protected:
    void SetFlag(std::uint32_t flag, bool on) { flags_ = on ? (flags_ | flag) : (flags_ & ~flag); }
    void StorePose(const float* pose);
    void StorePosition(const float* position);
    void SetDesc(const PhxBodyDesc& desc) { desc_ = desc; }

private:
    PhxScene* scene_;
    float pose_[16];
    float position_[3] = {0, 0, 0};
    float mass_ = 1.0f;
    std::int32_t group_ = 0;
    PhxBodyDesc desc_;
    std::uint32_t flags_ = FLAG_SYNC_PENDING;
};

}  // namespace Zel
