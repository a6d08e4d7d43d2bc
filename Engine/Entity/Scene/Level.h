// The static world of a scene, an entity over a level geometry. The level owns the octree over
// the geometry's triangles, an occluder volume per occluder quad, and per viewer (the camera and
// each light) a run table: the index runs of each mesh that viewer sees. Each frame the camera's
// cull classifies the octree and every mesh, and the meshes' index buffers are rebuilt from the
// runs so that only visible triangles are drawn. Pooled in its factory in Globals.
//
// Threads: the geometry load may run on the loading worker; culling and the run passes run on the
// host's thread during the frame.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Entity/Geometry/StaticGeometry.h"
#include "Entity/Scene/Entity.h"
#include "Entity/Scene/OccluderVolume.h"
#include "Entity/Scene/SpatialNode.h"

namespace ZelI {
class ILevel;
}  // namespace ZelI

namespace Zel {

class Camera;
class Level;
class OctreeNode;
class RenderSystem;
class Shadow;

// The parameter record of the level-loading task (task type kLevelLoadTaskType): the file name,
// zero-filled and zero-terminated (at most kMaxNameLength characters), the level to load into and
// where the task writes the level's host interface (null when the load fails). The task copies
// the record; the level and the result pointer must outlive the task.
struct LevelLoadTaskParameter {
    static constexpr std::size_t kMaxNameLength = 255;
    char name[kMaxNameLength + 1] = {};
    Level* level = nullptr;
    ZelI::ILevel** result = nullptr;
};
constexpr std::int32_t kLevelLoadTaskType = 0;

class Level : public Entity {
public:
    Level();
    ~Level() override;
    ZEL_CLASS_ID(Level)

    // Loads a level file (a name ending in 'l' or 'L'); with the empty-level switch on, answers
    // true and loads nothing. The entity is kept out of the pipes while the load runs.
    using Entity::Load;
    virtual bool Load(const std::string& name);
    // Starts an asynchronous load: the level is kept out of the pipes and a level-loading task is
    // queued on worker 0 with the name, this level and result (priority: the task's priority).
    // Answers the task id; 0 when nothing was queued (the empty-level switch, no worker 0, a
    // name longer than the task record holds, no task made), and the level is then not left
    // hidden. Host thread.
    virtual std::uint32_t LoadAsync(const std::string& name, ZelI::ILevel** result,
                                    std::uint32_t priority);
    // Loads the level geometry named name (kind 3), binds each mesh's material by name into one
    // sub-entity per mesh, builds the octree and the occluder records. What an earlier load made
    // goes first (DropLoadedLevel), so loading again replaces rather than adds. False, logged,
    // when the geometry does not load; the level then keeps nothing of this load.
    virtual bool ProcessLoadLevelGeometry(const std::string& name);
    // Queues the level-loading task on worker 0; its id, or 0 (logged for a name too long).
    virtual std::uint32_t QueueLoadTask(const std::string& name, ZelI::ILevel** result,
                                        std::uint32_t priority);
    virtual void BuildOctree();
    // Lists the node in the octree (leaving the cell it was in). A level without an octree keeps
    // no nodes: the node only leaves its cell.
    virtual void InsertNode(SceneNode* node);
    // The host's node operations on the level: the node leaves its cell (its link cleared), or
    // is placed again from its cell after its bounds changed. Nothing for a node without a cell.
    static void DetachNode(SceneNode* node);
    static void PlaceNode(SceneNode* node);
    // Chooses the index runs for a viewer and rebuilds the meshes' index buffers from them: null
    // or a camera for the camera's runs, a light for that light's.
    virtual void UpdateVisibleRuns(SceneNode* viewer);
    // Classifies the octree, the occluders and every mesh against the camera and gathers the
    // camera's runs.
    virtual void Cull(Camera* camera);
    // Queues the level's pieces and the listed entities a light reaches, gathering its runs.
    virtual void CullForLight(Light* light, RenderQueue* queue);
    virtual void QueryLight(Light* light, RenderQueue* queue, RunTable& table);
    virtual void GatherCameraRuns();
    // Empties the camera's runs (sized to the meshes first).
    virtual void PrepareCameraRuns();
    // Gathers the runs a light reaches (the light passed as a scene node; others are ignored).
    virtual void GatherLightRuns(SceneNode* light);

    // A level is the tree nodes are inserted into, never a node of it.
    void AddToLevel() override {}
    // The level's pieces, only while the draw-the-level switch (9) is on.
    void AddSubEntitiesToQueue(RenderQueue* queue, Light* light, Material* material) override;
    // The level casts no shadows.
    void AddShadowCasters(RenderQueue* /*queue*/, Shadow* /*shadow*/) override {}
    // While the level is visible, its floor pieces (material flag MF_FLOOR) with index data go to
    // the level's receiver group (4) with material.
    void AddShadowReceivers(RenderQueue* queue, Material* material) override;
    // Kind 0 (per light) group 6, 1 (unlit) 8, 2 (lit) 10; any other kind 8.
    std::uint32_t GetRenderGroup(std::uint32_t kind) const override;
    std::uint32_t GetEntityKind() const override { return 10; }
    // With the bounds out of date and scene updates on (switch 24): the box from the geometry's
    // box in world space, placement suppressed. With updates off the bounds stay out of date.
    void UpdatePlacement() override;

    // Queues the floor pieces with material into the receiver groups, draws those groups and
    // empties them (the projective shadow's receiver pass).
    void QueueShadowReceivers(Material* material);
    // Debug lines of occluder quad i (its outline, yellow) and of its volume seen from eye (3
    // floats): rays from the eye through each corner, the outline, and each plane's normal.
    // False, drawing nothing, for an index past the quads or the volumes.
    bool DrawOccluderDebug(std::uint32_t i);
    bool DrawOccluderVolumeDebug(std::uint32_t i, const float* eye);

    // Refills mesh i's index buffer from the camera's runs, or from a light's.
    void RebuildMeshForCamera(std::uint32_t i);
    void RebuildMeshForLight(const Light* light, std::uint32_t i);
    void BuildOccluders();
    // Makes the model of each part record of the geometry (from the model directory), places it
    // at the record's matrix and lists it in the octree. A model that does not load is skipped
    // (its creation reports why).
    void CreateParts();
    // Part i; null past the end, and for a part released elsewhere since the level made it (its
    // pool may have handed the entity to another owner). The number counts every part made. The
    // level releases the parts still its own when it loads again or goes back to its factory.
    Entity* GetPart(std::uint32_t i) const;
    std::uint32_t GetPartCount() const { return static_cast<std::uint32_t>(parts_.size()); }
    RunTable& GetLightRunTable(const Light* light);
    static void ClearRunTable(RunTable& table);
    // Hides every mesh, then refills those not culled and whose material's blending matches.
    void RebuildMeshesFromRuns(const RunTable& table, bool blended);
    void BuildOccluderVolumes(Camera* camera);

    void SetCullParameter(int depthLimit) { cullParameter_ = depthLimit; }
    void SetOcclusionEnabled(bool on) { occlusionEnabled_ = on; }
    bool IsOcclusionEnabled() const { return occlusionEnabled_; }
    std::uint32_t GetOccluderCount() const { return static_cast<std::uint32_t>(occluders_.size()); }
    StaticGeometry* GetStaticGeometry() const { return staticGeometry_.Get(); }
    Geometry* GetGeometry() const override;
    OctreeNode* GetOctree() const { return octree_.get(); }
    const RunTable& GetCameraRuns() const { return cameraRuns_; }
    bool IsMeshCulled(std::uint32_t i) const {
        return i < culledMeshes_.size() && culledMeshes_[i];
    }

    // Back to the constructed state: octree, run tables, occluders and the geometry let go.
    void Reset() override;

protected:
    // The geometry of the kind named name, loaded; null, logged, when it does not load.
    static Geometry* LoadLevelGeometry(const std::string& name, std::uint32_t kind);
    // One sub-entity per mesh with its material bound by name (the default material, logged,
    // for a name no library holds; for every mesh while the no-scene-materials switch 57 is on,
    // when defaultMaterialSwitch is set); the box from the geometry.
    void BindMeshes(Geometry& geometry, bool defaultMaterialSwitch);
    // Keeps the pipes from pushing the level and purges unused resources before a load.
    void BeginLoading();
    // Lets the pipes push the level again.
    void EndLoading();
    // Lets go of what a load made: the parts still the level's own, the sub-entities, the
    // octree, the run tables, the occluders and the geometry.
    void DropLoadedLevel();
    // The render system debug lines go to; null without one.
    static RenderSystem* DebugRenderSystem();

private:
    void ReleaseLevelData();
    void ReleaseParts();

    // A part and the release count it had when the level made it.
    struct PartLink {
        Entity* entity;
        std::uint32_t releaseCount;
    };

    SharedPtr<StaticGeometry> staticGeometry_;
    std::unique_ptr<OctreeNode> octree_;
    RunTable cameraRuns_;
    std::map<const Light*, RunTable> lightRuns_;
    bool occlusionEnabled_ = true;
    std::vector<OccluderRecord> occluders_;
    std::vector<PartLink> parts_;  // registered with the scene manager
    int cullParameter_ = -1;
    std::vector<bool> culledMeshes_;
};

}  // namespace Zel
