// The static world of a scene, an entity over a level geometry. The level owns the octree over
// the geometry's triangles, an occluder volume per occluder quad, and per viewer (the camera and
// each light) a run table: the index runs of each mesh that viewer sees. Each frame the camera's
// cull classifies the octree and every mesh, and the meshes' index buffers are rebuilt from the
// runs so that only visible triangles are drawn. Pooled in its factory in Globals.
//
// Threads: the geometry load may run on the loading worker; culling and the run passes run on the
// host's thread during the frame.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Entity/Geometry/StaticGeometry.h"
#include "Entity/Scene/Entity.h"
#include "Entity/Scene/OccluderVolume.h"
#include "Entity/Scene/SpatialNode.h"

namespace Zel {

class Camera;
class OctreeNode;

class Level : public Entity {
public:
    Level();
    ~Level() override;
    ZEL_CLASS_ID(Level)

    // Loads a level file (a name ending in 'l' or 'L'); with the empty-level switch on, answers
    // true and loads nothing. The entity is kept out of the pipes while the load runs.
    virtual bool Load(const std::string& name);
    // Loads the level geometry named name (kind 3), binds each mesh's material by name into one
    // sub-entity per mesh, builds the octree and the occluder records. False, logged, when the
    // geometry does not load; the level then keeps nothing of this load.
    virtual bool ProcessLoadLevelGeometry(const std::string& name);
    virtual void BuildOctree();
    // Lists the node in the octree (leaving the cell it was in). A level without an octree keeps
    // no nodes: the node only leaves its cell.
    virtual void InsertNode(SceneNode* node);
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

    // Refills mesh i's index buffer from the camera's runs, or from a light's.
    void RebuildMeshForCamera(std::uint32_t i);
    void RebuildMeshForLight(const Light* light, std::uint32_t i);
    void BuildOccluders();
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
    // One sub-entity per mesh with its material bound by name; the box from the geometry.
    void BindMeshes(Geometry& geometry);
    // Lets the pipes push the level again.
    void EndLoading();

private:
    void ReleaseLevelData();

    SharedPtr<StaticGeometry> staticGeometry_;
    std::unique_ptr<OctreeNode> octree_;
    RunTable cameraRuns_;
    std::map<const Light*, RunTable> lightRuns_;
    bool occlusionEnabled_ = true;
    std::vector<OccluderRecord> occluders_;
    int cullParameter_ = -1;
    std::vector<bool> culledMeshes_;
};

}  // namespace Zel
