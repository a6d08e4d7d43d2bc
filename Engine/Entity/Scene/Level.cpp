#include "Entity/Scene/Level.h"

#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Core/LogDispatch.h"
#include "Core/threadio.h"
#include "Core/threadmng.h"
#include "Entity/Geometry/GeometryManager.h"
#include "Entity/Geometry/Mesh.h"
#include "Entity/Geometry/StaticGeometry.h"
#include "Entity/Material/Material.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Scene/Camera.h"
#include "Entity/Scene/Light.h"
#include "Entity/Scene/OctreeNode.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Scene/SubEntity.h"
#include "Render/RenderSystem.h"

namespace Zel {

namespace {

constexpr std::uint32_t kStaticGeometryKind = 3;
constexpr std::uint32_t kEmptyLevelSwitch = 47;

// The classification a cull of the whole tree starts from.
int ClassifyTree(const BoundingVolume& viewer, const OctreeNode& tree) {
    return viewer.Intersect(tree.GetBox());
}

}  // namespace

Level::Level() = default;

Level::~Level() = default;

Geometry* Level::GetGeometry() const {
    return staticGeometry_.Get();
}

void Level::ReleaseLevelData() {
    octree_.reset();
    lightRuns_.clear();
    cameraRuns_.clear();
    occluders_.clear();
    culledMeshes_.clear();
    staticGeometry_.Assign(nullptr);
}

void Level::Reset() {
    ReleaseLevelData();
    Entity::Reset();
    occlusionEnabled_ = true;
    cullParameter_ = -1;
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    // A part the host released already must not go back to its factory twice.
    for (Entity* part : parts_)
        if (scene)
            scene->ReleaseRegisteredEntity(part);
    parts_.clear();
    if (RenderSystem* system = scene ? scene->GetRenderSystem() : nullptr)
        system->PurgeUnusedResources();
}

void Level::BeginLoading() {
    SetAnimationFlags(GetAnimationFlags() | ENTITY_NEVER_PUSHED);
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    if (RenderSystem* system = scene ? scene->GetRenderSystem() : nullptr)
        system->PurgeUnusedResources();
}

bool Level::Load(const std::string& name) {
    if (IsGlobalSwitchOn(kEmptyLevelSwitch))
        return true;
    BeginLoading();
    const char last = name.empty() ? '\0' : name.back();
    if (last == 'l' || last == 'L')
        return ProcessLoadLevelGeometry(name);
    // A refused name must not leave the level hidden from the pipes for good.
    EndLoading();
    return false;
}

std::uint32_t Level::LoadAsync(const std::string& name, ZelI::ILevel** result,
                               std::uint32_t priority) {
    if (IsGlobalSwitchOn(kEmptyLevelSwitch))
        return 0;
    BeginLoading();
    const std::uint32_t id = QueueLoadTask(name, result, priority);
    // Only the task ends a load; without one the level must not stay hidden.
    if (id == 0)
        EndLoading();
    return id;
}

std::uint32_t Level::QueueLoadTask(const std::string& name, ZelI::ILevel** result,
                                   std::uint32_t priority) {
    threadio* worker = threadmng::GetInstance()->GetThread(0);
    if (!worker)
        return 0;
    // A cut name would load another file than the one asked for.
    if (name.size() > LevelLoadTaskParameter::kMaxNameLength) {
        LogTyped(LOG_ENGINE_INIT, "Level::QueueLoadTask: level name longer than %u characters: %s",
                 static_cast<unsigned>(LevelLoadTaskParameter::kMaxNameLength), name.c_str());
        return 0;
    }
    LevelLoadTaskParameter parameter;
    name.copy(parameter.name, name.size());
    parameter.level = this;
    parameter.result = result;
    return worker->CreateTask(kLevelLoadTaskType, &parameter, priority);
}

void Level::EndLoading() {
    SetAnimationFlags(GetAnimationFlags() & ~std::uint32_t(ENTITY_NEVER_PUSHED));
}

Geometry* Level::LoadLevelGeometry(const std::string& name, std::uint32_t kind) {
    GeometryManager* manager = Globals::Find(&Globals::GetGeometryManager);
    Geometry* geometry = manager ? manager->GetOrLoadByKind(name, name, kind) : nullptr;
    if (geometry && geometry->IsLoadSucceeded())
        return geometry;
    LogTyped(LOG_ENGINE_INIT, " Can't Load Static Mesh : %s", name.c_str());
    return nullptr;
}

void Level::BindMeshes(Geometry& geometry) {
    std::vector<Material*> collected;
    ResolveMaterials(&collected, true);
    std::vector<Mesh*> meshes;
    for (std::uint32_t i = 0; i < geometry.GetMeshCount(); ++i)
        meshes.push_back(geometry.GetMesh(i));
    AddSubEntities(meshes);
    if (MaterialManager* materials = Globals::Find(&Globals::GetMaterialManager))
        materials->UnLoadMaterials(collected);
    AABB box = geometry.GetBounds();
    box.Transform(GetWorldMatrix());
    SetBoundingBox(box);
    SetStateBits(NODE_BOUNDS_DIRTY);
}

bool Level::ProcessLoadLevelGeometry(const std::string& name) {
    auto* geometry = dynamic_cast<StaticGeometry*>(LoadLevelGeometry(name, kStaticGeometryKind));
    staticGeometry_.Assign(geometry);
    if (!geometry) {
        EndLoading();
        return false;
    }
    BindMeshes(*geometry);
    culledMeshes_.assign(geometry->GetMeshCount(), false);
    BuildOctree();
    cameraRuns_.assign(geometry->GetMeshCount(), {});
    BuildOccluders();
    CreateParts();
    EndLoading();
    return true;
}

void Level::BuildOctree() {
    octree_.reset();
    if (!staticGeometry_)
        return;
    OctreeData data;
    data.vertexCount = static_cast<std::uint32_t>(staticGeometry_->GetPositions().size() / 3);
    data.triangleCount = static_cast<std::uint32_t>(staticGeometry_->GetTriangles().size() / 3);
    data.positions = staticGeometry_->GetPositions().data();
    data.triangles = staticGeometry_->GetTriangles().data();
    data.geometry = staticGeometry_.Get();
    octree_ = std::make_unique<OctreeNode>();
    octree_->Build(data);
    octree_->FinishBuild();
}

void Level::BuildOccluders() {
    occluders_.clear();
    if (!staticGeometry_)
        return;
    for (const LevelOccluder& quad : staticGeometry_->GetOccluders())
        occluders_.push_back(OccluderRecord{&quad, {}});
}

void Level::CreateParts() {
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    if (!staticGeometry_ || !scene)
        return;
    for (const LevelPart& record : staticGeometry_->GetParts()) {
        Entity* part = scene->CreateModel(record.name);
        if (!part)
            continue;
        part->SetLocalMatrix(record.matrix);
        std::uint32_t visits = 0;
        part->Update(&visits, 0.0f, scene->GetFrameId());
        parts_.push_back(part);
        InsertNode(part);
    }
}

void Level::InsertNode(SceneNode* node) {
    if (!node)
        return;
    if (SpatialNode* cell = node->GetSpatialCell()) {
        cell->Remove(node);
        node->SetSpatialCell(nullptr);
    }
    if (!octree_)
        return;
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    octree_->Insert(node, false, true, scene ? scene->NextSpatialStamp() : 0);
}

void Level::Cull(Camera* camera) {
    if (!staticGeometry_ || !camera)
        return;
    if (octree_) {
        octree_->Cull(*camera, ClassifyTree(*camera, *octree_), cullParameter_);
        BuildOccluderVolumes(camera);
        GatherCameraRuns();
    }
    for (std::uint32_t i = 0; i < cameraRuns_.size() && i < culledMeshes_.size(); ++i) {
        const Mesh* mesh = staticGeometry_->GetMesh(i);
        culledMeshes_[i] = mesh && camera->Intersect(mesh->GetBounds()) == INTERSECT_DISJOINT;
    }
    SetStateBits(NODE_VISIBLE);
}

void Level::BuildOccluderVolumes(Camera* camera) {
    if (!octree_)
        return;
    if (!occlusionEnabled_ || !camera) {
        octree_->ClearOccludedShallow();
        return;
    }
    const float* eye = camera->GetWorldPosition();
    octree_->SetOccluded(false);
    for (OccluderRecord& record : occluders_) {
        OccluderVolume::Build(record, eye);
        octree_->CullByOccluder(record);
    }
}

void Level::GatherCameraRuns() {
    if (!octree_)
        return;
    ClearRunTable(cameraRuns_);
    octree_->CollectVisibleRuns(cameraRuns_);
}

void Level::PrepareCameraRuns() {
    if (cameraRuns_.empty() && staticGeometry_)
        cameraRuns_.resize(staticGeometry_->GetMeshCount());
    ClearRunTable(cameraRuns_);
}

RunTable& Level::GetLightRunTable(const Light* light) {
    auto it = lightRuns_.find(light);
    if (it == lightRuns_.end())
        it = lightRuns_
                 .emplace(light, RunTable(staticGeometry_ ? staticGeometry_->GetMeshCount() : 0))
                 .first;
    return it->second;
}

void Level::ClearRunTable(RunTable& table) {
    for (auto& runs : table) runs.clear();
}

void Level::CullForLight(Light* light, RenderQueue* queue) {
    if (!light)
        return;
    RunTable& table = GetLightRunTable(light);
    ClearRunTable(table);
    AddSubEntitiesForLight(queue, light, nullptr);
    QueryLight(light, queue, table);
}

void Level::QueryLight(Light* light, RenderQueue* queue, RunTable& table) {
    if (!octree_ || !light)
        return;
    // The sphere follows the light's current position and range.
    const BoundingVolume& reach = light->GetInfluenceVolume();
    const int code = light->GetKind() == 0 ? INTERSECT_INSIDE : ClassifyTree(reach, *octree_);
    octree_->CullForLight(light, queue, table, code);
}

void Level::GatherLightRuns(SceneNode* node) {
    auto* light = dynamic_cast<Light*>(node);
    if (!light)
        return;
    RunTable& table = GetLightRunTable(light);
    if (!octree_)
        return;
    ClearRunTable(table);
    const BoundingVolume& reach = light->GetInfluenceVolume();
    octree_->CollectRunsForLight(light, table, ClassifyTree(reach, *octree_));
}

void Level::UpdateVisibleRuns(SceneNode* viewer) {
    if (auto* light = dynamic_cast<Light*>(viewer)) {
        GatherLightRuns(light);
        RebuildMeshesFromRuns(GetLightRunTable(light), false);
        return;
    }
    GatherCameraRuns();
    RebuildMeshesFromRuns(cameraRuns_, false);
}

void Level::RebuildMeshesFromRuns(const RunTable& table, bool blended) {
    if (!staticGeometry_)
        return;
    const std::vector<SubEntity*>& pieces = GetSubEntities();
    for (std::uint32_t i = 0; i < cameraRuns_.size(); ++i) {
        staticGeometry_->HideMesh(i);
        Material* material = i < pieces.size() ? pieces[i]->GetMaterial() : nullptr;
        const bool pieceBlended = material && material->HasBlendedPass();
        if (!IsMeshCulled(i) && pieceBlended == blended)
            staticGeometry_->RebuildVisibleIndices(table, i);
    }
}

void Level::RebuildMeshForCamera(std::uint32_t i) {
    if (staticGeometry_)
        staticGeometry_->RebuildVisibleIndices(cameraRuns_, i);
}

void Level::RebuildMeshForLight(const Light* light, std::uint32_t i) {
    if (staticGeometry_)
        staticGeometry_->RebuildVisibleIndices(GetLightRunTable(light), i);
}

}  // namespace Zel
