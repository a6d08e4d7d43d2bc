// The drawable scene object: a node holding a shared geometry, one sub-entity per mesh, up to two
// animation states that move the node, child entities that follow it, per-entity drawing values
// (colour, transparency, level of detail) and an optional picking octree. It instantiates a loaded
// geometry (one entity, or a tree of part entities for a geometry of several parts), advances its
// animations every frame and hands its sub-entities to the render queue.
//
// Entities come from their factories in Globals (through SceneManager::CreateEntity and its
// siblings) and go back through SceneManager::ReleaseEntity; Reset returns one to its constructed
// state. The entity owns its sub-entities (they go back to the SubEntity factory), its animation
// states and its picking octree; child entities are released through their own Destroy. Host
// thread only (a loading task builds entities under the main lock).
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "Core/SharedPtr.h"
#include "Entity/Scene/SceneNode.h"

namespace Zel {

class Animation;
class AnimationState;
class BoneStateSet;
class EntityOctreeNode;
class Geometry;
class Mesh;
struct Ray;
class SubEntity;
class TextureBase;

// Bits of the entity's animation flags.
enum EntityAnimationFlag : std::uint32_t {
    ENTITY_BUILT = 1,             // geometry instantiated or meshes set up
    ENTITY_ANIMATION = 2,         // first animation enabled
    ENTITY_SECOND_ANIMATION = 4,  // second animation enabled
    ENTITY_NEVER_PUSHED = 8,      // never drawn through a pipe
};

// Bits of the node state word an entity adds.
enum EntityStateBit : std::uint32_t {
    ENTITY_STATE_MARKED = 256,       // read by Renderable::IsOwnerMarked
    ENTITY_STATE_RENDER_FLAG = 512,  // the render switch: the colour goes to each draw
};

// Entity flag 64: hidden by the host.
constexpr std::uint32_t kEntityHiddenFlag = 64;

class Entity : public SceneNode {
public:
    Entity();
    explicit Entity(std::string_view name);
    // Deletes both states, returns the sub-entities, unlinks the child entities and drops the
    // geometry and the second animation.
    ~Entity() override;
    ZEL_CLASS_ID(Entity)

    // ---- SceneNode operations an entity changes ----
    // Advances the enabled animations (a negative dt counts as 0), updates the child entities,
    // runs the node update, then clears every sub-entity's render mark.
    void Update(std::uint32_t* counter, float dt, std::uint32_t frameId) override;
    // SceneManager::ReleaseEntity(this).
    void Destroy() override;
    // A new entity from SceneManager::CreateEntity(clone name), then CopyTo.
    SceneNode* Clone(bool withParent) override;
    // The node copy, the shared geometry, clones of the sub-entities and child entities, fresh
    // animation states copied from this one's, and the per-entity values.
    void CopyTo(SceneNode* target, bool withParent) override;
    void ParentMoved() override;
    void AddToLevel() override;
    void ClearRenderMarks() override;
    void ClearOncePerFrameMarks() override;
    // Every sub-entity with index data queues its per-light pass (visible entities only).
    void AddSubEntitiesForLight(RenderQueue* queue, Light* light, Material* material) override;
    // Every sub-entity with index data queues itself (visible entities only); a null material
    // lets each use its own.
    void AddSubEntitiesToQueue(RenderQueue* queue, Light* light, Material* material) override;
    // The own pieces whose material casts into the shadow map (visible entities only); a blob
    // shadow queues the node's blob instead.
    void AddShadowCasters(RenderQueue* queue, Shadow* shadow) override;
    void AddShadowReceivers(RenderQueue* queue, Material* material) override;
    // Recomputes the world box first (state bit 16): the geometry's box through the world
    // matrix, else the union of the sub-entities' world boxes.
    void UpdatePlacement() override;
    void TransformChanged() override;
    void SetSubEntityTag(std::uint32_t value) override;
    // The node's local matrix, with the second and then the first animation pose applied.
    void UpdateLocal() override;

    // ---- Entity operations ----
    // 0 for Entity (the kinds answer their own codes).
    virtual std::uint32_t GetEntityKind() const { return 0; }
    virtual Entity* CreateChildEntity(const float* position, const float* orientation);
    virtual Entity* CreateChildEntity(const std::string& name, const float* position,
                                      const float* orientation);
    virtual Entity* CreateAttachedEntity(const float* position, const float* orientation);
    virtual Entity* CreateAttachedEntity(const std::string& name, const float* position,
                                         const float* orientation);
    // The render group of a queueing kind: 0 -> 7 (lit per light), 1 -> 9 (unlit), 2 -> 11
    // (lit by a material's own lighting), any other -> 9.
    virtual std::uint32_t GetRenderGroup(std::uint32_t kind) const;
    virtual void RemoveAllSubEntities();
    // The sub-entity at index of the own list; null when index is not below the count.
    virtual SubEntity* GetSubEntity(std::uint32_t index) const;
    // Loads the geometry of the file (kind 0) and builds from it; modes 0 and 1 only. False
    // without a loaded geometry.
    virtual bool Load(const std::string& fileName, std::uint32_t mode);
    // Loads the geometry of the file with GetGeometryKind; false without a loaded geometry.
    virtual bool LoadGeometry(const std::string& fileName);
    // One entity for a one-part geometry, a tree of part entities otherwise.
    virtual bool BuildFromGeometry();
    virtual std::uint32_t GetGeometryKind() const { return 0; }
    // AddSubEntities with every mesh of the geometry in index order.
    virtual void RebuildSubEntities();
    // A sub-entity per mesh, each with the material the mesh names (or a fallback).
    virtual void AddSubEntities(const std::vector<Mesh*>& meshes);
    // With an animation: a new first state from it, enabled and sampled at 0; then the meshes.
    virtual void SetupFromMeshes(const std::vector<Mesh*>& meshes, Animation* animation);
    virtual std::uint32_t GetAnimationFlags() const { return animationFlags_; }
    virtual bool IsAnimationEnabled() const;
    virtual bool IsSecondAnimationEnabled() const;
    // Returns the sub-entity to its factory when the list holds it.
    virtual void RemoveSubEntity(SubEntity* subEntity);
    virtual Geometry* GetGeometry() const { return geometry_.Get(); }
    // The material name tried when a mesh's own material is missing; empty for Entity.
    virtual std::string GetFallbackMaterialName() const { return {}; }
    virtual std::uint32_t GetSubEntityCounterSum() const;
    // The matrix the sub-entities draw with: the world matrix.
    virtual const float* GetRenderMatrix() { return GetWorldMatrix(); }
    // Replaces the second animation (and its state); null removes it.
    virtual void SetSecondAnimation(const std::string& name, Animation* animation);
    // Appends this visible entity to the pipe's list without the never-pushed test, then every
    // child entity (made visible).
    virtual void AddToPipe(class RenderCorePipeline* pipe);
    virtual void SetMaterialByMeshName(Material* material, const std::string& meshName);
    virtual void SetMaterialAll(Material* material);
    virtual void ReplaceMaterialByName(Material* material, const std::string& materialName);
    // Every sub-entity draws the transparent variant of its material of that kind (0: itself).
    virtual void SetTransparencyMode(std::uint32_t kind);
    virtual void CollectTextures(std::set<TextureBase*>& textures) const;
    virtual void SetRenderFlag(bool on);
    virtual bool GetRenderFlag() const { return (GetState() & ENTITY_STATE_RENDER_FLAG) != 0; }
    virtual void SetColour(const float* rgba);
    virtual const float* GetColour() const { return colour_; }
    virtual void NotifyAttachments(std::uint32_t /*argument*/) {}
    // The material library files the geometry names.
    virtual std::vector<std::string> GetMaterialEntries() const;
    virtual std::uint32_t GetPickKind() const { return 1; }
    // The bone states skinned meshes are posed with for picking; null for an entity without.
    virtual const BoneStateSet* GetBoneStates() const { return nullptr; }
    // 1 and out = (0, hit x, y, z, distance) when the ray meets the node's box, else 0.
    virtual std::uint32_t PickBox(const Ray& ray, float* out) const;
    virtual std::uint32_t ApplyBoneScalePreset(std::uint32_t /*argument*/) { return 0; }
    virtual void GetBoneScale(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {}
    virtual void ResetBoneMatrices() {}
    virtual void SetBoneScaleEnabled(std::uint32_t /*argument*/) {}
    // The own sub-entities, then those of each child entity. Rebuilt after any sub-entity or
    // child entity was added or removed here or in a child.
    virtual const std::vector<SubEntity*>& GetAllSubEntities();
    virtual std::uint32_t GetAllSubEntityCount();
    // Of entry index of GetAllSubEntities; null when index is not below the count.
    virtual Material* GetSubEntityMaterial(std::uint32_t index);
    virtual const char* GetSubEntityMeshName(std::uint32_t index);
    // The material materialName from the library file replaces every material of that name.
    virtual void SetShaderFromFile(const std::string& libraryFile, const std::string& materialName);
    // The same material goes to the sub-entities of the mesh meshName.
    virtual void SetSubEntityShaderFromFile(const std::string& libraryFile,
                                            const std::string& materialName,
                                            const std::string& meshName);
    virtual void SetShiftColorByMaterialName(const std::string& materialName, float r, float g,
                                             float b, float a, float ratio);
    virtual void SetShiftColor(float r, float g, float b, float a, float ratio);
    // Hands the object back to the Globals factory of its own kind, then lets the resource
    // managers collect what it held. The scene manager's ReleaseEntity ends here.
    virtual void ReturnToFactory();
    virtual Entity* CreateEntity(const std::string& name);
    virtual Entity* CreateEntity();
    // Appends to the child-entity list and makes this entity the child's parent link.
    virtual void AddChildEntity(Entity* entity);
    virtual bool HasChildEntity(const Entity* entity) const;
    // time += dt; past the end a non-looping state clears `bit` in flags and stops, a looping
    // one wraps (a length of 0 or less wraps to 0). Then the state is sampled and the transform
    // marked changed.
    virtual void AdvanceAnimationState(float dt, AnimationState* state, float* time,
                                       std::uint32_t* flags, std::uint32_t bit);

    // ---- Non-virtual ----
    // Loads every material library the geometry names (then the child entities' too); answers
    // this entity's own failures. The library loader appends each material to `collected` (when
    // given) and, with hold, gives it one reference the caller drops.
    std::uint32_t ResolveMaterials(std::vector<Material*>* collected, bool hold);
    bool HasTransparentMaterial() const;
    // The diffuse colour of every sub-entity's material: (1, 1, 1, 1) for 0, else the packed
    // ARGB colour; child entities too.
    void SetMaterialColorFactor(std::uint32_t packedColour);
    void EnableAnimation(bool on);
    void EnableSecondAnimation(bool on);
    AnimationState* GetAnimationState() const { return firstState_.get(); }
    AnimationState* GetSecondAnimationState() const { return secondState_.get(); }
    std::uint32_t GetFlags() const { return entityFlags_; }
    void SetFlags(std::uint32_t flags) { entityFlags_ = flags; }
    std::uint32_t GetChildEntityCount() const {
        return static_cast<std::uint32_t>(childEntities_.size());
    }
    Entity* GetChildEntityAt(std::uint32_t index) const {
        return index < childEntities_.size() ? childEntities_[index] : nullptr;
    }
    // Every child entity loses its parent link and is destroyed; the list is emptied.
    void ReleaseChildEntities();
    // Every child entity loses its parent link; the list is emptied and nothing is destroyed
    // (for children their owner keeps elsewhere).
    void DetachChildEntities();
    void CollectSubEntityMeshes(std::vector<Mesh*>& meshes) const;
    // True unless the ray (origin, direction; need not be unit length) misses the node's box.
    bool IntersectsRay(const float* origin, const float* direction) const;
    // Builds the picking octree (owned) over this entity's triangles, replacing any earlier one.
    // Drop it (ReleasePickOctree) when the meshes change: the tree reads them in place.
    void BuildPickOctree();
    void ReleasePickOctree();
    EntityOctreeNode* GetPickOctree() const { return pickOctree_.get(); }

    const std::vector<SubEntity*>& GetSubEntities() const { return subEntities_; }
    // Takes ownership of a sub-entity made elsewhere (a clone attached to this entity).
    void AppendSubEntity(SubEntity* subEntity) { TakeSubEntity(subEntity); }
    float GetAnimationTime() const { return firstTime_; }
    float GetSecondAnimationTime() const { return secondTime_; }
    void SetAnimationTime(float seconds) { firstTime_ = seconds; }
    float GetTransparencyAlpha() const { return transparencyAlpha_; }
    void SetTransparencyAlpha(float alpha) { transparencyAlpha_ = alpha; }
    float GetTransparencyTune() const { return transparencyTune_; }
    void SetTransparencyTune(float tune) { transparencyTune_ = tune; }
    float GetLodFactor() const { return lodFactor_; }
    void SetLodFactor(float factor) { lodFactor_ = factor; }
    // 0 chooses by the factor; n selects level n.
    std::uint32_t GetExplicitLod() const { return explicitLod_; }
    void SetExplicitLod(std::uint32_t level) { explicitLod_ = level; }
    // An integer and a float the host keeps with the model; 0 until set, not copied to clones.
    std::int32_t GetHostInteger() const { return hostInteger_; }
    void SetHostInteger(std::int32_t value) { hostInteger_ = value; }
    float GetHostFloat() const { return hostFloat_; }
    void SetHostFloat(float value) { hostFloat_ = value; }
    // Tells this entity and its parent entity that the sub-entity lists changed, so that the
    // all-sub-entities caches are rebuilt.
    void InvalidateSubEntityCache();

    // Back to the constructed state (the transparency alpha included); the factory calls it.
    // Counts one more release (GetReleaseCount).
    void Reset() override;
    // How many times the entity went back to its pool. A holder that keeps an entity it does
    // not own notes the count when it takes it: a different count means the entity was released
    // meanwhile, and the pool may have handed it to another owner since.
    std::uint32_t GetReleaseCount() const { return releaseCount_; }

    void SetAnimationFlags(std::uint32_t flags) { animationFlags_ = flags; }

protected:
    // The pieces of this visible entity that have index data, each through `add`; the kinds that
    // keep their pieces outside the own list (actors) queue them with it too.
    void QueuePieces(const std::vector<SubEntity*>& pieces, RenderQueue* queue, Light* light,
                     Material* material, void (SubEntity::*add)(RenderQueue*, Light*, Material*));
    // AddShadowCasters over the given pieces, for the kinds whose pieces are not in the own list.
    void QueueShadowCasters(const std::vector<SubEntity*>& pieces, RenderQueue* queue,
                            Shadow* shadow);
    // Hands the own piece list to the caller (which disposes of the pieces) and empties it; for
    // kinds whose pieces do not come from the piece factory.
    std::vector<SubEntity*> TakeAllSubEntities();

private:
    // Advances one state when it is enabled.
    void AdvanceIfEnabled(float dt, const std::unique_ptr<AnimationState>& state, float* time,
                          std::uint32_t bit);
    // The library lookup of SetShaderFromFile: null, logged, when it fails.
    Material* FindLibraryMaterial(const std::string& libraryFile, const std::string& materialName);
    template <class Fn>
    void ForEachSubEntity(Fn fn) const;
    void TakeSubEntity(SubEntity* subEntity);
    void DeleteStates();
    // Takes this entity out of the child-entity list of the entity it is attached to.
    void LeaveAttachingEntity();

    std::vector<void*> attachments_;  // used by the kinds
    SharedPtr<Geometry> geometry_;
    std::unique_ptr<AnimationState> firstState_;
    SharedPtr<Animation> secondAnimation_;
    std::unique_ptr<AnimationState> secondState_;
    std::vector<SubEntity*> subEntities_;  // owned (back to the SubEntity factory)
    std::vector<Entity*> childEntities_;   // not in the node's child table
    float firstTime_ = 0.0f;
    float secondTime_ = 0.0f;
    std::uint32_t animationFlags_ = 0;
    std::uint32_t entityFlags_ = 0;
    float transparencyAlpha_ = 0.1f;
    float transparencyTune_ = 1.0f;
    float colour_[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    float lodFactor_ = 0.0f;
    std::uint32_t explicitLod_ = 0;
    std::int32_t hostInteger_ = 0;
    float hostFloat_ = 0.0f;
    std::vector<SubEntity*> allSubEntities_;
    std::unique_ptr<EntityOctreeNode> pickOctree_;
    std::uint32_t releaseCount_ = 0;  // kept across Reset
};

}  // namespace Zel
