#include "Entity/Scene/Level.h"

#include <algorithm>
#include <cmath>

#include "Core/GlobalConfigManager.h"
#include "Core/Factory.h"
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
#include "Entity/Scene/RenderQueue.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Scene/SubEntity.h"
#include "Render/RenderSystem.h"

namespace Zel {

namespace {

constexpr std::uint32_t kStaticGeometryKind = 3;
constexpr std::uint32_t kEmptyLevelSwitch = 47;
constexpr std::uint32_t kDrawLevelSwitch = 9;
constexpr std::uint32_t kNoSceneMaterialsSwitch = 57;
constexpr std::uint32_t kUpdateSceneSwitch = 24;

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

Entity* Level::GetPart(std::uint32_t i) const {
    if (i >= parts_.size())
        return nullptr;
    const PartLink& link = parts_[i];
    return link.entity->GetReleaseCount() == link.releaseCount ? link.entity : nullptr;
}

void Level::ReleaseParts() {
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    // A part released elsewhere is no longer the level's: it must not go back to its factory
    // twice, nor be taken from whoever the pool handed it to since.
    for (std::uint32_t i = 0; i < parts_.size(); ++i)
        if (Entity* part = GetPart(i); part && scene)
            scene->ReleaseRegisteredEntity(part);
    parts_.clear();
}

void Level::DropLoadedLevel() {
    ReleaseParts();
    // The sub-entities point into the geometry's meshes: they go before the geometry may.
    RemoveAllSubEntities();
    ReleaseLevelData();
}

void Level::Reset() {
    ReleaseLevelData();
    Entity::Reset();
    occlusionEnabled_ = true;
    cullParameter_ = -1;
    ReleaseParts();
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
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

void Level::BindMeshes(Geometry& geometry, bool defaultMaterialSwitch) {
    std::vector<Material*> collected;
    ResolveMaterials(&collected, true);
    Factory<SubEntity>* factory = Globals::Find(&Globals::GetSubEntityFactory);
    MaterialManager* materials = Globals::Find(&Globals::GetMaterialManager);
    const bool defaultOnly = defaultMaterialSwitch && IsGlobalSwitchOn(kNoSceneMaterialsSwitch);
    for (std::uint32_t i = 0; factory && i < geometry.GetMeshCount(); ++i) {
        Mesh* mesh = geometry.GetMesh(i);
        SubEntity* piece = mesh ? factory->Acquire() : nullptr;
        if (!piece)
            continue;
        piece->SetOwner(this);
        piece->SetMesh(mesh);
        Material* found = nullptr;
        if (materials && !defaultOnly) {
            found = materials->FindMaterial(mesh->GetMaterialName(), true);
            if (!found)
                LogTyped(LOG_ENGINE_INIT, "ProcessLoadLevelGeometry;Can't find Material : %s",
                         mesh->GetMaterialName().c_str());
        }
        piece->SetMaterial(found       ? found
                           : materials ? materials->GetDefaultMaterial(false)
                                       : nullptr);
        // FindMaterial's reference was the lookup's: the piece now holds its own.
        if (found)
            found->DecRef();
        AppendSubEntity(piece);
    }
    if (materials)
        materials->UnLoadMaterials(collected);
    AABB box = geometry.GetBounds();
    box.Transform(GetWorldMatrix());
    SetBoundingBox(box);
    SetStateBits(NODE_BOUNDS_DIRTY);
}

bool Level::ProcessLoadLevelGeometry(const std::string& name) {
    DropLoadedLevel();
    auto* geometry = dynamic_cast<StaticGeometry*>(LoadLevelGeometry(name, kStaticGeometryKind));
    staticGeometry_.Assign(geometry);
    if (!geometry) {
        EndLoading();
        return false;
    }
    BindMeshes(*geometry, true);
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
        parts_.push_back(PartLink{part, part->GetReleaseCount()});
        InsertNode(part);
    }
}

void Level::InsertNode(SceneNode* node) {
    if (!node)
        return;
    DetachNode(node);
    if (!octree_)
        return;
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    octree_->Insert(node, false, true, scene ? scene->NextSpatialStamp() : 0);
}

void Level::DetachNode(SceneNode* node) {
    if (SpatialNode* cell = node ? node->GetSpatialCell() : nullptr) {
        cell->Remove(node);
        node->SetSpatialCell(nullptr);
    }
}

void Level::PlaceNode(SceneNode* node) {
    if (SpatialNode* cell = node ? node->GetSpatialCell() : nullptr)
        cell->Place(node);
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

void Level::AddSubEntitiesToQueue(RenderQueue* queue, Light* light, Material* material) {
    if (IsGlobalSwitchOn(kDrawLevelSwitch))
        Entity::AddSubEntitiesToQueue(queue, light, material);
}

void Level::AddShadowReceivers(RenderQueue* queue, Material* material) {
    if (!queue || !(GetState() & NODE_VISIBLE))
        return;
    for (SubEntity* piece : GetSubEntities()) {
        Material* own = piece->GetMaterial();
        if (own && (own->flags & MF_FLOOR) && piece->HasIndexData())
            queue->AddRenderable(piece, nullptr, RENDER_GROUP_LEVEL_RECEIVERS, 0, material);
    }
}

std::uint32_t Level::GetRenderGroup(std::uint32_t kind) const {
    switch (kind) {
        case 0:
            return RENDER_GROUP_LEVEL_PER_LIGHT;
        case 2:
            return RENDER_GROUP_LEVEL_LIT;
        default:
            return RENDER_GROUP_LEVEL_UNLIT;
    }
}

void Level::UpdatePlacement() {
    if (!(GetState() & NODE_BOUNDS_DIRTY) || !IsGlobalSwitchOn(kUpdateSceneSwitch))
        return;
    SetPlacementSuppressed(true);
    if (Geometry* geometry = GetGeometry()) {
        AABB box = geometry->GetBounds();
        box.Transform(GetWorldMatrix());
        SetBoundingBox(box);
    }
    ClearStateBits(NODE_BOUNDS_DIRTY);
}

void Level::QueueShadowReceivers(Material* material) {
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    if (!scene)
        return;
    ClearRenderMarks();
    AddShadowReceivers(scene->GetRenderQueue(), material);
    scene->RenderShadowReceivers();
    scene->ClearShadowReceivers();
}

RenderSystem* Level::DebugRenderSystem() {
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    return scene ? scene->GetRenderSystem() : nullptr;
}

namespace {

constexpr float kYellow[4] = {1, 1, 0, 1};

// The quad's outline: c0-c1, c1-c3, c3-c2, c2-c0.
void DrawOccluderOutline(RenderSystem& system, const LevelOccluder& quad) {
    static constexpr int kLoop[5] = {0, 1, 3, 2, 0};
    for (int k = 0; k < 4; ++k)
        system.DrawWireFrame(quad.corners[kLoop[k]], quad.corners[kLoop[k + 1]], kYellow);
}

}  // namespace

bool Level::DrawOccluderDebug(std::uint32_t i) {
    if (!staticGeometry_ || i >= staticGeometry_->GetOccluders().size())
        return false;
    if (RenderSystem* system = DebugRenderSystem())
        DrawOccluderOutline(*system, staticGeometry_->GetOccluders()[i]);
    return true;
}

bool Level::DrawOccluderVolumeDebug(std::uint32_t i, const float* eye) {
    if (!staticGeometry_ || !eye || i >= staticGeometry_->GetOccluders().size() ||
        i >= occluders_.size())
        return false;
    RenderSystem* system = DebugRenderSystem();
    if (!system)
        return true;
    static constexpr float kGreen[4] = {0, 1, 0, 1};
    static constexpr float kWhite[4] = {1, 1, 1, 1};
    static constexpr float kRayBeyondCorner = 300.0f;
    static constexpr float kNormalLength = 25.0f;
    const LevelOccluder& quad = staticGeometry_->GetOccluders()[i];
    for (const float* corner : quad.corners) {
        float direction[3] = {corner[0] - eye[0], corner[1] - eye[1], corner[2] - eye[2]};
        const float length = std::sqrt(direction[0] * direction[0] + direction[1] * direction[1] +
                                       direction[2] * direction[2]);
        const float scale = length > 0.0f ? kRayBeyondCorner / length : 0.0f;
        const float end[3] = {corner[0] + direction[0] * scale, corner[1] + direction[1] * scale,
                              corner[2] + direction[2] * scale};
        system->DrawWireFrame(eye, end, kYellow);
    }
    DrawOccluderOutline(*system, quad);
    // Each side plane runs along one edge of the loop the volume was built with.
    const OccluderRecord& record = occluders_[i];
    const float* loop[4];
    OccluderVolume::EdgeLoop(quad, eye, loop);
    for (int plane = 0; plane < 5; ++plane) {
        float from[3];
        if (plane == 0) {
            std::copy(quad.centre, quad.centre + 3, from);
        } else {
            const float* p = loop[plane - 1];
            const float* q = loop[plane % 4];
            for (int k = 0; k < 3; ++k) from[k] = (eye[k] + p[k] + q[k]) / 3.0f;
        }
        const float to[3] = {from[0] + record.planes[plane][0] * kNormalLength,
                             from[1] + record.planes[plane][1] * kNormalLength,
                             from[2] + record.planes[plane][2] * kNormalLength};
        system->DrawWireFrame(from, to, plane % 2 == 0 ? kGreen : kWhite);
    }
    return true;
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
