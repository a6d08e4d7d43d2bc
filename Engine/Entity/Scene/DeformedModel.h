// An entity over a morph geometry (GeometryDeformed) whose meshes are deformed meshes: it advances
// a morph time, keeps the index of the current key of its first morph target, and its pieces show
// or blend that key when they draw (DeformedMesh::BuildRenderData). Entity flag 32 means playing.
// Pooled in its factory in Globals; made by SceneManager::CreateDeformedModel. Host thread.
#pragma once

#include <cstdint>

#include "Entity/Scene/Entity.h"

namespace Zel {

class DeformedSkeletonModel;
class GeometryDeformed;

class DeformedModel : public Entity {
public:
    // Entity flag: the morph animation plays.
    static constexpr std::uint32_t kPlaying = 32;

    DeformedModel();
    ~DeformedModel() override = default;
    ZEL_CLASS_ID(DeformedModel)

    // dt (a negative one counts as 0) advances the time. Past the geometry's length a looping
    // geometry restarts at time 0 and key 0, another stops (flag 32 cleared) at the length.
    // While playing, the key index moves on while the next key of the first target lies before
    // the time. Then the entity update with the clamped dt.
    void Update(std::uint32_t* counter, float dt, std::uint32_t frameId) override;
    // A new deformed model from the scene manager, named as a clone, filled by CopyTo.
    SceneNode* Clone(bool withParent) override;
    // The entity copy, then time and key index.
    void CopyTo(SceneNode* target, bool withParent) override;
    std::uint32_t GetEntityKind() const override { return 4; }
    // One piece per morph target. False without a loaded morph geometry.
    bool BuildFromGeometry() override;
    std::uint32_t GetGeometryKind() const override { return 7; }
    // The carrier forgets this model, then time 0, key 0, the entity reset, then playing.
    void Reset() override;

    // With a geometry: a time strictly beyond the length wraps (t - floor(t / length) x length);
    // playing again from key 0 at that time. Nothing without a geometry.
    void SetTime(float t);
    float GetTime() const { return time_; }
    std::uint32_t GetKeyIndex() const { return keyIndex_; }
    bool IsPlaying() const { return (GetFlags() & kPlaying) != 0; }
    // The morph geometry, or null.
    GeometryDeformed* GetDeformedGeometry() const;
    // The skeleton model that carries this one on a bone (not owned; null for none). A carried
    // model released on its own is forgotten by its carrier, so it is never given back twice.
    void SetCarrier(DeformedSkeletonModel* carrier) { carrier_ = carrier; }
    DeformedSkeletonModel* GetCarrier() const { return carrier_; }

private:
    float time_ = 0.0f;
    std::uint32_t keyIndex_ = 0;
    DeformedSkeletonModel* carrier_ = nullptr;
};

}  // namespace Zel
