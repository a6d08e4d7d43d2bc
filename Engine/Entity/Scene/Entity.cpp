#include "Entity/Scene/Entity.h"

#include <algorithm>
#include <cstring>

#include "Core/Factory.h"
#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Core/LogDispatch.h"
#include "Core/QueueMode.h"
#include "Core/XMLManager.h"
#include "Entity/Character/Actor.h"
#include "Entity/Character/AnimationState.h"
#include "Entity/Character/DeformedSkeletonModel.h"
#include "Entity/Character/NewActor.h"
#include "Entity/Character/SkeletonModel.h"
#include "Entity/Geometry/Animation.h"
#include "Entity/Geometry/Geometry.h"
#include "Entity/Geometry/GeometryManager.h"
#include "Entity/Geometry/Mesh.h"
#include "Entity/Image/ImageManager.h"
#include "Entity/Material/GpuProgramManager.h"
#include "Entity/Material/Material.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Material/Pass.h"
#include "Entity/Scene/BillBoard.h"
#include "Entity/Scene/Decal.h"
#include "Entity/Scene/DeformedModel.h"
#include "Entity/Scene/EntityOctreeNode.h"
#include "Entity/Scene/Level.h"
#include "Entity/Scene/RenderCorePipeline.h"
#include "Entity/Scene/RenderQueue.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Scene/Shadow.h"
#include "Entity/Scene/SimpLevel.h"
#include "Entity/Scene/SubEntity.h"
#include "Entity/Texture/TextureManager.h"
#include "Entity/Geometry/TransformMath.h"
#include "Math/Matrix4.h"
#include "Math/Ray.h"

namespace Zel {
namespace {

// Global switch 52: models are not created (every load succeeds without work).
constexpr std::uint32_t kSkipModelsSwitch = 52;
// Global switch 40: every mesh draws with the default material.
constexpr std::uint32_t kMeshDefaultMaterialSwitch = 40;

SceneManager* EntityScene() {
    return Globals::Find(&Globals::GetSceneManager);
}

Factory<SubEntity>* SubEntities() {
    return Globals::Find(&Globals::GetSubEntityFactory);
}

bool ModelsSkipped() {
    return IsGlobalSwitchOn(kSkipModelsSwitch);
}

template <class T>
void ReleaseToFactory(Globals* globals, Factory<T>* (Globals::*getter)(), Entity* entity) {
    if (Factory<T>* factory = (globals->*getter)())
        factory->Release(static_cast<T*>(entity));
}

// What every released entity may have been the last to hold.
void CollectResources(Globals* globals) {
    if (XMLManager* xml = globals->GetXMLManager()) {
        xml->Collect();
        xml->Purge();
    }
    if (MaterialManager* materials = globals->GetMaterialManager()) {
        materials->Collect();
        materials->UnloadGarbage();
    }
    if (GpuProgramManager* programs = globals->GetGpuProgramManager()) {
        programs->Collect();
        programs->Purge();
    }
    if (TextureManager* textures = globals->GetTextureManager())
        textures->PurgeUnused();
    if (ImageManager* images = globals->GetImageManager()) {
        images->Collect();
        images->Purge();
    }
    if (GeometryManager* geometry = globals->GetGeometryManager()) {
        geometry->Collect();
        geometry->Purge();
    }
}

// The animation recorded for a part of the geometry: the one that moves that scene object.
Animation* PartAnimation(const Geometry& geometry, std::uint32_t part) {
    for (const SharedPtr<CResource>& resource : geometry.GetAnimations()) {
        auto* animation = dynamic_cast<Animation*>(resource.Get());
        if (animation && animation->GetObjectIndex() == part)
            return animation;
    }
    return nullptr;
}

bool IsSkeletal(const Entity& entity) {
    const std::uint32_t id = entity.GetClassId();
    return id == ClassId::SkeletonModel || id == ClassId::Actor || id == ClassId::NewActor;
}

// In queued mode a resource that only its manager still holds leaves the manager.
template <class T>
void DropIfOnlyManagerHolds(T* resource, CResourceManager* manager) {
    if (resource && manager && IsQueueMode())
        manager->RemoveIfHeld(resource);
}

}  // namespace

Entity::Entity() = default;

Entity::Entity(std::string_view name) : SceneNode(name) {}

Entity::~Entity() {
    DeleteStates();
    RemoveAllSubEntities();
    // A factory deletes what it still holds in any order: each side of an attachment unlinks
    // itself from the other, so that whichever goes second finds no stale pointer.
    LeaveAttachingEntity();
    for (Entity* child : childEntities_) child->SetParentLink(nullptr);
}

void Entity::LeaveAttachingEntity() {
    auto* parent = dynamic_cast<Entity*>(GetParent());
    if (!parent || !parent->HasChildEntity(this))
        return;
    auto& siblings = parent->childEntities_;
    siblings.erase(std::find(siblings.begin(), siblings.end(), this));
    parent->allSubEntities_.clear();
    SetParentLink(nullptr);
}

// --- Per-frame update ---------------------------------------------------------------------------

void Entity::AdvanceIfEnabled(float dt, const std::unique_ptr<AnimationState>& state, float* time,
                              std::uint32_t bit) {
    if (state && (animationFlags_ & bit))
        AdvanceAnimationState(dt, state.get(), time, &animationFlags_, bit);
}

void Entity::Update(std::uint32_t* counter, float dt, std::uint32_t frameId) {
    if (dt < 0.0f)
        dt = 0.0f;
    AdvanceIfEnabled(dt, firstState_, &firstTime_, ENTITY_ANIMATION);
    AdvanceIfEnabled(dt, secondState_, &secondTime_, ENTITY_SECOND_ANIMATION);
    for (Entity* child : childEntities_) child->Update(counter, dt, frameId);
    SceneNode::Update(counter, dt, frameId);
    ClearRenderMarks();
}

void Entity::AdvanceAnimationState(float dt, AnimationState* state, float* time,
                                   std::uint32_t* flags, std::uint32_t bit) {
    if (!state || !time || !flags)
        return;
    Animation* animation = state->GetAnimation();
    const float length = animation ? animation->GetLength() : 0.0f;
    *time += dt;
    if (*time > length) {
        if (!state->IsLooping()) {
            *flags &= ~bit;
            return;
        }
        // A track without length has nowhere to loop to; subtracting it would never end.
        if (length > 0.0f) {
            while (*time > length) *time -= length;
        } else {
            *time = 0.0f;
        }
    }
    state->Sample(*time, nullptr);
    TransformChanged();
}

void Entity::UpdateLocal() {
    if (!(GetState() & NODE_LOCAL_DIRTY))
        return;
    SceneNode::UpdateLocal();
    const bool second = IsSecondAnimationEnabled();
    const bool first = IsAnimationEnabled();
    if (!second && !first)
        return;
    float* local = MutableLocalMatrix();
    float pose[16], product[16];
    if (second) {
        secondState_->GetPoseMatrix(pose);
        MultiplyMatrices4(local, pose, product);
        std::memcpy(local, product, sizeof product);
    }
    if (first) {
        firstState_->GetPoseMatrix(pose);
        MultiplyMatrices4(local, pose, product);
        std::memcpy(local, product, sizeof product);
    }
}

void Entity::ParentMoved() {
    SceneNode::ParentMoved();
    for (Entity* child : childEntities_) child->ParentMoved();
}

void Entity::TransformChanged() {
    SceneNode::TransformChanged();
    for (Entity* child : childEntities_) child->TransformChanged();
}

void Entity::AddToLevel() {
    SceneNode::AddToLevel();
    for (Entity* child : childEntities_) child->AddToLevel();
}

void Entity::UpdatePlacement() {
    if (GetState() & NODE_BOUNDS_DIRTY) {
        if (Geometry* geometry = geometry_.Get()) {
            AABB box = geometry->GetBounds();
            box.Transform(GetWorldMatrix());
            SetBoundingBox(box);
        } else if (!subEntities_.empty()) {
            SetPlacementSuppressed(true);
            // Start empty: a box that only ever grows would keep where the entity has been.
            AABB box;
            box.SetEmpty();
            for (SubEntity* subEntity : subEntities_) box.Merge(subEntity->GetBoundingBox());
            SetBoundingBox(box);
        }
    }
    SceneNode::UpdatePlacement();
}

// --- Queue hooks --------------------------------------------------------------------------------

template <class Fn>
void Entity::ForEachSubEntity(Fn fn) const {
    for (SubEntity* subEntity : subEntities_) fn(*subEntity);
}

void Entity::ClearRenderMarks() {
    ForEachSubEntity([](SubEntity& s) { s.SetRenderMark(0); });
}

void Entity::ClearOncePerFrameMarks() {
    ForEachSubEntity([](SubEntity& s) { s.SetOncePerFrameMark(0); });
}

void Entity::QueuePieces(const std::vector<SubEntity*>& pieces, RenderQueue* queue, Light* light,
                         Material* material,
                         void (SubEntity::*add)(RenderQueue*, Light*, Material*)) {
    if (!IsVisible() || !queue)
        return;
    for (SubEntity* s : pieces)
        if (s && s->HasIndexData())
            (s->*add)(queue, light, material);
}

void Entity::AddSubEntitiesForLight(RenderQueue* queue, Light* light, Material* material) {
    QueuePieces(subEntities_, queue, light, material, &SubEntity::AddToRenderQueueForLight);
}

void Entity::AddSubEntitiesToQueue(RenderQueue* queue, Light* light, Material* material) {
    QueuePieces(subEntities_, queue, light, material, &SubEntity::AddToRenderQueue);
}

void Entity::AddShadowCasters(RenderQueue* queue, Shadow* shadow) {
    QueueShadowCasters(subEntities_, queue, shadow);
}

void Entity::QueueShadowCasters(const std::vector<SubEntity*>& pieces, RenderQueue* queue,
                                Shadow* shadow) {
    if (!IsVisible() || !queue || !shadow || pieces.empty())
        return;
    if (shadow->GetKind() == SHADOW_KIND_FAKE) {
        QueueFakeShadow(queue, shadow);
        return;
    }
    // A skin is posed by its bones: drawn with the static caster it would cast its bind pose
    // wherever its mesh was modelled, so it takes the skeletal caster, which reads the palette.
    Material* staticCaster = shadow->GetCasterMaterial(0);
    Material* skinCaster = shadow->GetCasterMaterial(1);
    for (SubEntity* s : pieces) {
        Material* own = s ? s->GetMaterial() : nullptr;
        if (!own || !s->HasIndexData() || !(own->flags & MF_SHADOW_MAP))
            continue;
        const Mesh* mesh = s->GetMesh();
        const bool skinned = mesh && mesh->GetMeshType() == kSkinMeshType && skinCaster;
        queue->AddRenderable(s, nullptr, RENDER_GROUP_SHADOW_CASTERS, 0,
                             skinned ? skinCaster : staticCaster);
    }
}

void Entity::AddShadowReceivers(RenderQueue* queue, Material* material) {
    if (!IsVisible() || !queue)
        return;
    ForEachSubEntity([&](SubEntity& s) {
        Material* own = s.GetMaterial();
        if (own && s.HasIndexData() && (own->flags & MF_FLOOR))
            queue->AddRenderable(&s, nullptr, RENDER_GROUP_ENTITY_RECEIVERS, 0, material);
    });
}

void Entity::SetSubEntityTag(std::uint32_t value) {
    ForEachSubEntity([value](SubEntity& s) { s.SetTag(static_cast<std::uint8_t>(value)); });
    for (Entity* child : childEntities_) child->SetSubEntityTag(value);
}

std::uint32_t Entity::GetRenderGroup(std::uint32_t kind) const {
    switch (kind) {
        case 0:
            return RENDER_GROUP_ENTITY_PER_LIGHT;
        case 2:
            return RENDER_GROUP_ENTITY_LIT;
        default:
            return RENDER_GROUP_ENTITY_UNLIT;
    }
}

// --- Children -----------------------------------------------------------------------------------

Entity* Entity::CreateEntity(const std::string& name) {
    SceneManager* scene = EntityScene();
    return scene ? scene->CreateEntity(name) : nullptr;
}

Entity* Entity::CreateEntity() {
    SceneManager* scene = EntityScene();
    return scene ? scene->CreateEntity() : nullptr;
}

namespace {

// Places a new entity; attach makes it a child entity, else a child node.
Entity* PlaceNew(Entity* parent, Entity* entity, const float* position, const float* orientation,
                 bool attach) {
    if (!entity)
        return nullptr;
    entity->SetPosition(position);
    entity->SetOrientation(orientation);
    if (attach)
        parent->AddChildEntity(entity);
    else
        parent->AddChild(entity);
    return entity;
}

}  // namespace

Entity* Entity::CreateChildEntity(const float* position, const float* orientation) {
    return PlaceNew(this, CreateEntity(), position, orientation, false);
}

Entity* Entity::CreateChildEntity(const std::string& name, const float* position,
                                  const float* orientation) {
    return PlaceNew(this, CreateEntity(name), position, orientation, false);
}

Entity* Entity::CreateAttachedEntity(const float* position, const float* orientation) {
    return PlaceNew(this, CreateEntity(), position, orientation, true);
}

Entity* Entity::CreateAttachedEntity(const std::string& name, const float* position,
                                     const float* orientation) {
    return PlaceNew(this, CreateEntity(name), position, orientation, true);
}

void Entity::AddChildEntity(Entity* entity) {
    if (!entity || entity == this || HasChildEntity(entity))
        return;
    childEntities_.push_back(entity);
    entity->SetParentLink(this);
    allSubEntities_.clear();
}

bool Entity::HasChildEntity(const Entity* entity) const {
    return std::find(childEntities_.begin(), childEntities_.end(), entity) != childEntities_.end();
}

void Entity::DetachChildEntities() {
    if (childEntities_.empty())
        return;
    for (Entity* child : childEntities_) child->SetParentLink(nullptr);
    childEntities_.clear();
    InvalidateSubEntityCache();
}

void Entity::ReleaseChildEntities() {
    std::vector<Entity*> children;
    children.swap(childEntities_);
    for (Entity* child : children) {
        child->SetParentLink(nullptr);
        child->Destroy();
    }
    allSubEntities_.clear();
}

void Entity::InvalidateSubEntityCache() {
    allSubEntities_.clear();
    // The parent's cache lists this entity's sub-entities too.
    if (auto* parent = dynamic_cast<Entity*>(GetParent()); parent && parent->HasChildEntity(this))
        parent->allSubEntities_.clear();
}

// --- Sub-entities -------------------------------------------------------------------------------

void Entity::TakeSubEntity(SubEntity* subEntity) {
    subEntities_.push_back(subEntity);
    InvalidateSubEntityCache();
}

std::vector<SubEntity*> Entity::TakeAllSubEntities() {
    std::vector<SubEntity*> taken;
    taken.swap(subEntities_);
    InvalidateSubEntityCache();
    return taken;
}

void Entity::RemoveAllSubEntities() {
    Factory<SubEntity>* factory = SubEntities();
    for (SubEntity* subEntity : subEntities_) {
        if (factory)
            factory->Release(subEntity);
    }
    subEntities_.clear();
    InvalidateSubEntityCache();
}

void Entity::RemoveSubEntity(SubEntity* subEntity) {
    auto it = std::find(subEntities_.begin(), subEntities_.end(), subEntity);
    if (it == subEntities_.end())
        return;
    subEntities_.erase(it);
    if (Factory<SubEntity>* factory = SubEntities())
        factory->Release(subEntity);
    InvalidateSubEntityCache();
}

SubEntity* Entity::GetSubEntity(std::uint32_t index) const {
    return index < subEntities_.size() ? subEntities_[index] : nullptr;
}

void Entity::AddSubEntities(const std::vector<Mesh*>& meshes) {
    Factory<SubEntity>* factory = SubEntities();
    MaterialManager* materials = Globals::Find(&Globals::GetMaterialManager);
    if (!factory)
        return;
    for (Mesh* mesh : meshes) {
        if (!mesh)
            continue;
        SubEntity* subEntity = factory->Acquire();
        if (!subEntity)
            continue;
        subEntity->SetOwner(this);
        subEntity->SetMesh(mesh);
        // FindMaterial's reference is the caller's: it is given back once the sub-entity holds
        // its own, so that a sub-entity accounts for exactly one reference.
        Material* found =
            materials ? materials->FindMaterial(mesh->GetMaterialName(), true) : nullptr;
        Material* material = found;
        if (materials && IsGlobalSwitchOn(kMeshDefaultMaterialSwitch))
            material = materials->GetDefaultMaterial(IsSkeletal(*this));
        if (!material) {
            LogTyped(LOG_ENGINE_INIT, "Entity::AddSubEntities;找不到材质球 : %s",
                     mesh->GetMaterialName().c_str());
            const std::string fallback = GetFallbackMaterialName();
            if (materials && !fallback.empty())
                material = materials->FindMaterial(fallback, false);
            if (materials && !material)
                material = materials->GetDefaultMaterial(false);
        }
        subEntity->SetMaterial(material);
        if (found)
            found->DecRef();
        TakeSubEntity(subEntity);
    }
    SetStateBits(NODE_BOUNDS_DIRTY);
}

void Entity::RebuildSubEntities() {
    Geometry* geometry = geometry_.Get();
    if (!geometry)
        return;
    std::vector<Mesh*> meshes;
    for (std::uint32_t i = 0; i < geometry->GetMeshCount(); ++i)
        if (Mesh* mesh = geometry->GetMesh(i))
            meshes.push_back(mesh);
    AddSubEntities(meshes);
}

void Entity::SetupFromMeshes(const std::vector<Mesh*>& meshes, Animation* animation) {
    firstState_.reset();
    if (animation) {
        firstState_ = animation->CreateAnimationState();
        firstState_->SetEnabled(true);
        float start = 0.0f;
        firstState_->Sample(start, nullptr);
        animationFlags_ |= ENTITY_ANIMATION;
    } else {
        animationFlags_ &= ~std::uint32_t(ENTITY_ANIMATION);
    }
    animationFlags_ |= ENTITY_BUILT;
    AddSubEntities(meshes);
    lodFactor_ = 0.0f;
}

const std::vector<SubEntity*>& Entity::GetAllSubEntities() {
    if (allSubEntities_.empty()) {
        allSubEntities_ = subEntities_;
        for (const Entity* child : childEntities_)
            allSubEntities_.insert(allSubEntities_.end(), child->subEntities_.begin(),
                                   child->subEntities_.end());
    }
    return allSubEntities_;
}

std::uint32_t Entity::GetAllSubEntityCount() {
    return static_cast<std::uint32_t>(GetAllSubEntities().size());
}

Material* Entity::GetSubEntityMaterial(std::uint32_t index) {
    const auto& all = GetAllSubEntities();
    return index < all.size() ? all[index]->GetMaterial() : nullptr;
}

const char* Entity::GetSubEntityMeshName(std::uint32_t index) {
    const auto& all = GetAllSubEntities();
    if (index >= all.size() || !all[index]->GetMesh())
        return nullptr;
    return all[index]->GetMesh()->GetName().c_str();
}

std::uint32_t Entity::GetSubEntityCounterSum() const {
    std::uint32_t sum = 0;
    ForEachSubEntity([&sum](SubEntity& s) { sum += s.GetCounter(); });
    return sum;
}

void Entity::CollectSubEntityMeshes(std::vector<Mesh*>& meshes) const {
    ForEachSubEntity([&meshes](SubEntity& s) { meshes.push_back(s.GetMesh()); });
}

// --- Loading ------------------------------------------------------------------------------------

bool Entity::LoadGeometry(const std::string& fileName) {
    if (ModelsSkipped())
        return true;
    GeometryManager* manager = Globals::Find(&Globals::GetGeometryManager);
    Geometry* geometry =
        manager ? manager->GetOrLoadByKind(fileName, fileName, GetGeometryKind()) : nullptr;
    if (!geometry || !geometry->IsLoadSucceeded())
        return false;
    geometry_.Assign(geometry);
    return true;
}

bool Entity::Load(const std::string& fileName, std::uint32_t mode) {
    if (ModelsSkipped())
        return true;
    if (mode > 1)
        return false;
    GeometryManager* manager = Globals::Find(&Globals::GetGeometryManager);
    geometry_.Assign(manager ? manager->GetOrLoadByKind(fileName, fileName, 0) : nullptr);
    if (!geometry_.Get() || !geometry_->IsLoadSucceeded())
        return false;
    return BuildFromGeometry();
}

bool Entity::BuildFromGeometry() {
    if (ModelsSkipped())
        return true;
    Geometry* geometry = geometry_.Get();
    if (!geometry || !geometry->IsLoadSucceeded())
        return false;
    const auto& translations = geometry->GetTranslations();
    const auto& rotations = geometry->GetRotations();
    const auto& scales = geometry->GetScales();
    const std::size_t parts = std::min({translations.size(), rotations.size(), scales.size()});
    const auto placePart = [&](Entity& entity, std::size_t i) {
        entity.SetPosition(translations[i].data());
        entity.SetScale(scales[i].data());
        entity.SetOrientation(rotations[i].data());
    };
    std::vector<Mesh*> meshes;
    if (parts <= 1) {
        // A geometry without a part table is one part of all its meshes.
        if (parts == 0) {
            for (std::uint32_t i = 0; i < geometry->GetMeshCount(); ++i)
                if (Mesh* mesh = geometry->GetMesh(i))
                    meshes.push_back(mesh);
        } else {
            geometry->CollectMeshesByGroup(meshes, 0);
        }
        SetupFromMeshes(meshes, PartAnimation(*geometry, 0));
        if (parts == 1)
            placePart(*this, 0);
    } else {
        static constexpr float kOrigin[3] = {0.0f, 0.0f, 0.0f};
        static constexpr float kIdentity[4] = {0.0f, 0.0f, 0.0f, 1.0f};
        static constexpr float kUnit[3] = {1.0f, 1.0f, 1.0f};
        std::vector<Entity*> partEntities(parts, nullptr);
        Factory<Entity>* factory = Globals::Find(&Globals::GetEntityFactory);
        for (std::size_t i = 0; i < parts && factory; ++i) {
            Entity* part = factory->Acquire();
            if (!part)
                continue;
            part->SetPosition(kOrigin);
            part->SetOrientation(kIdentity);
            part->SetScale(kUnit);
            meshes.clear();
            geometry->CollectMeshesByGroup(meshes, static_cast<std::uint32_t>(i));
            part->SetupFromMeshes(meshes, PartAnimation(*geometry, static_cast<std::uint32_t>(i)));
            part->SetStateBits(NODE_BOUNDS_DIRTY);
            part->UpdatePlacement();
            partEntities[i] = part;
        }
        const auto& parents = geometry->GetParentIndices();
        for (std::size_t i = 0; i < parts; ++i) {
            Entity* part = partEntities[i];
            if (!part)
                continue;
            placePart(*part, i);
            const std::int32_t parent = i < parents.size() ? parents[i] : -1;
            // A parent index that names no part (or the part itself) hangs the part from this
            // entity rather than leaving it unattached.
            Entity* owner = this;
            if (parent >= 0 && static_cast<std::size_t>(parent) < parts &&
                static_cast<std::size_t>(parent) != i && partEntities[parent])
                owner = partEntities[parent];
            owner->AddChildEntity(part);
        }
    }
    SetPlacementSuppressed(false);
    static constexpr float kMin[3] = {-1.0f, -1.0f, -1.0f};
    static constexpr float kMax[3] = {1.0f, 1.0f, 1.0f};
    SetBoundingBox(AABB(kMin, kMax));
    animationFlags_ |= ENTITY_BUILT;
    return true;
}

std::vector<std::string> Entity::GetMaterialEntries() const {
    const Geometry* geometry = GetGeometry();
    return geometry ? geometry->GetMaterialFiles() : std::vector<std::string>{};
}

std::uint32_t Entity::ResolveMaterials(std::vector<Material*>* collected, bool hold) {
    if (ModelsSkipped())
        return 0;
    MaterialManager* materials = Globals::Find(&Globals::GetMaterialManager);
    std::uint32_t failures = 0;
    for (const std::string& library : GetMaterialEntries()) {
        bool success = false;
        if (!materials || !materials->LoadMaterialLib(library, success, collected, hold))
            ++failures;
    }
    for (Entity* child : childEntities_) child->ResolveMaterials(collected, hold);
    return failures;
}

// --- Animation ----------------------------------------------------------------------------------

bool Entity::IsAnimationEnabled() const {
    return firstState_ && (animationFlags_ & ENTITY_ANIMATION);
}

bool Entity::IsSecondAnimationEnabled() const {
    return secondState_ && (animationFlags_ & ENTITY_SECOND_ANIMATION);
}

void Entity::EnableAnimation(bool on) {
    animationFlags_ = on ? animationFlags_ | ENTITY_ANIMATION
                         : animationFlags_ & ~std::uint32_t(ENTITY_ANIMATION);
}

void Entity::EnableSecondAnimation(bool on) {
    animationFlags_ = on ? animationFlags_ | ENTITY_SECOND_ANIMATION
                         : animationFlags_ & ~std::uint32_t(ENTITY_SECOND_ANIMATION);
}

void Entity::SetSecondAnimation(const std::string& /*name*/, Animation* animation) {
    secondState_.reset();
    secondAnimation_.Assign(animation);
    animationFlags_ &= ~std::uint32_t(ENTITY_SECOND_ANIMATION);
    secondTime_ = 0.0f;
    if (!animation)
        return;
    secondState_ = animation->CreateAnimationState();
    secondState_->SetEnabled(true);
    animationFlags_ |= ENTITY_SECOND_ANIMATION;
}

void Entity::DeleteStates() {
    firstState_.reset();
    secondState_.reset();
}

// --- Materials ----------------------------------------------------------------------------------

void Entity::SetMaterialAll(Material* material) {
    for (SubEntity* s : GetAllSubEntities()) s->SetMaterial(material);
}

void Entity::ReplaceMaterialByName(Material* material, const std::string& materialName) {
    for (SubEntity* s : GetAllSubEntities()) {
        Material* current = s->GetOwnMaterial();
        if (current && current->GetName() == materialName)
            s->SetMaterial(material);
    }
}

void Entity::SetMaterialByMeshName(Material* material, const std::string& meshName) {
    for (SubEntity* s : GetAllSubEntities())
        if (s->GetMesh() && s->GetMesh()->GetName() == meshName)
            s->SetMaterial(material);
}

Material* Entity::FindLibraryMaterial(const std::string& libraryFile,
                                      const std::string& materialName) {
    MaterialManager* materials = Globals::Find(&Globals::GetMaterialManager);
    bool success = false;
    if (!materials || !materials->LoadMaterialLib(libraryFile, success, nullptr, false)) {
        LogTyped(LOG_ENGINE_INIT, "SetShaderFromFile: OpenMaterialLib %s failed",
                 libraryFile.c_str());
        return nullptr;
    }
    Material* material = materials->FindMaterial(materialName, false);
    if (!material)
        LogTyped(LOG_ENGINE_INIT, "SetShaderFromFile: no material %s in %s", materialName.c_str(),
                 libraryFile.c_str());
    return material;
}

void Entity::SetShaderFromFile(const std::string& libraryFile, const std::string& materialName) {
    if (Material* material = FindLibraryMaterial(libraryFile, materialName))
        ReplaceMaterialByName(material, materialName);
}

void Entity::SetSubEntityShaderFromFile(const std::string& libraryFile,
                                        const std::string& materialName,
                                        const std::string& meshName) {
    if (Material* material = FindLibraryMaterial(libraryFile, materialName))
        SetMaterialByMeshName(material, meshName);
}

void Entity::SetShiftColorByMaterialName(const std::string& materialName, float r, float g, float b,
                                         float a, float ratio) {
    ForEachSubEntity([&](SubEntity& s) {
        Material* current = s.GetOwnMaterial();
        if (current && current->GetName() == materialName)
            s.SetShiftColor(r, g, b, a, ratio);
    });
}

void Entity::SetShiftColor(float r, float g, float b, float a, float ratio) {
    ForEachSubEntity([&](SubEntity& s) { s.SetShiftColor(r, g, b, a, ratio); });
}

void Entity::SetMaterialColorFactor(std::uint32_t packedColour) {
    ForEachSubEntity([packedColour](SubEntity& s) {
        if (Material* material = s.GetOwnMaterial())
            material->SetDiffuseColor(packedColour == 0 ? 0xFFFFFFFFu : packedColour);
    });
    for (Entity* child : childEntities_) child->SetMaterialColorFactor(packedColour);
}

bool Entity::HasTransparentMaterial() const {
    for (const SubEntity* s : subEntities_) {
        const Material* material = s->GetOwnMaterial();
        if (material && material->HasBlendedPass())
            return true;
    }
    return std::any_of(childEntities_.begin(), childEntities_.end(),
                       [](const Entity* child) { return child->HasTransparentMaterial(); });
}

void Entity::SetTransparencyMode(std::uint32_t kind) {
    ForEachSubEntity([kind](SubEntity& s) { s.SetTransparencyKind(kind); });
}

void Entity::CollectTextures(std::set<TextureBase*>& textures) const {
    ForEachSubEntity([&textures](SubEntity& s) { s.CollectTextures(textures); });
}

// --- Drawing values -----------------------------------------------------------------------------

void Entity::SetRenderFlag(bool on) {
    if (on)
        SetStateBits(ENTITY_STATE_RENDER_FLAG);
    else
        ClearStateBits(ENTITY_STATE_RENDER_FLAG);
}

void Entity::SetColour(const float* rgba) {
    std::memcpy(colour_, rgba, sizeof colour_);
}

void Entity::AddToPipe(RenderCorePipeline* pipe) {
    if (!pipe || !IsVisible())
        return;
    pipe->AddItem(this);
    for (Entity* child : childEntities_) {
        child->SetStateBits(NODE_VISIBLE);
        child->AddToPipe(pipe);
    }
}

// --- Picking ------------------------------------------------------------------------------------

std::uint32_t Entity::PickBox(const Ray& ray, float* out) const {
    float point[3];
    float distance = 0.0f;
    if (GetBoundingBox().IntersectRay(ray, point, &distance) == 2)
        return 0;
    if (out) {
        out[0] = 0.0f;
        std::memcpy(out + 1, point, sizeof point);
        out[4] = distance;
    }
    return 1;
}

bool Entity::IntersectsRay(const float* origin, const float* direction) const {
    const Ray ray(origin, direction);
    return GetBoundingBox().IntersectRay(ray) != 2;
}

void Entity::BuildPickOctree() {
    pickOctree_ = std::make_unique<EntityOctreeNode>();
    pickOctree_->Build(this);
}

void Entity::ReleasePickOctree() {
    pickOctree_.reset();
}

// --- Clone, release -----------------------------------------------------------------------------

void Entity::Destroy() {
    if (SceneManager* scene = EntityScene())
        scene->ReleaseEntity(this);
}

SceneNode* Entity::Clone(bool withParent) {
    std::string name;
    MakeCloneName(name);
    Entity* entity = CreateEntity(name);
    if (entity)
        CopyTo(entity, withParent);
    return entity;
}

void Entity::CopyTo(SceneNode* targetNode, bool withParent) {
    auto* target = dynamic_cast<Entity*>(targetNode);
    if (!target || target == this)
        return;
    SceneNode::CopyTo(target, withParent);
    target->geometry_ = geometry_;
    for (SubEntity* s : subEntities_) {
        if (SubEntity* copy = s->Clone(false)) {
            copy->SetOwner(target);
            target->TakeSubEntity(copy);
        }
    }
    for (Entity* child : childEntities_) {
        auto* copy = dynamic_cast<Entity*>(child->Clone(false));
        if (!copy)
            continue;
        target->childEntities_.push_back(copy);
        copy->SetParentLink(target);
        target->allSubEntities_.clear();
    }
    target->DeleteStates();
    const auto copyState = [](const std::unique_ptr<AnimationState>& from,
                              std::unique_ptr<AnimationState>& to) {
        if (!from || !from->GetAnimation())
            return;
        to = from->GetAnimation()->CreateAnimationState();
        from->CopyTo(*to);
    };
    copyState(firstState_, target->firstState_);
    target->secondAnimation_ = secondAnimation_;
    copyState(secondState_, target->secondState_);
    target->firstTime_ = firstTime_;
    target->secondTime_ = secondTime_;
    target->animationFlags_ = animationFlags_;
    target->entityFlags_ = entityFlags_;
    target->transparencyAlpha_ = transparencyAlpha_;
    target->lodFactor_ = lodFactor_;
}

void Entity::ReturnToFactory() {
    Globals* globals = Globals::GetExisting();
    if (!globals)
        return;
    // Each kind goes back to the factory that made it; the class id tells them apart exactly.
    switch (GetClassId()) {
        case ClassId::SkeletonModel:
            if (dynamic_cast<DeformedSkeletonModel*>(this))
                ReleaseToFactory(globals, &Globals::GetDeformedSkeletonModelFactory, this);
            else
                ReleaseToFactory(globals, &Globals::GetSkeletonModelFactory, this);
            break;
        case ClassId::Actor:
            ReleaseToFactory(globals, &Globals::GetActorFactory, this);
            break;
        case ClassId::NewActor:
            ReleaseToFactory(globals, &Globals::GetNewActorFactory, this);
            break;
        case ClassId::DeformedModel:
            ReleaseToFactory(globals, &Globals::GetDeformedModelFactory, this);
            break;
        case ClassId::Level:
            ReleaseToFactory(globals, &Globals::GetLevelFactory, this);
            break;
        case ClassId::SimpLevel:
            ReleaseToFactory(globals, &Globals::GetSimpLevelFactory, this);
            break;
        case ClassId::BillBoard:
            ReleaseToFactory(globals, &Globals::GetBillBoardFactory, this);
            break;
        case ClassId::Decal:
            ReleaseToFactory(globals, &Globals::GetDecalFactory, this);
            break;
        default:
            ReleaseToFactory(globals, &Globals::GetEntityFactory, this);
            break;
    }
    CollectResources(globals);
}

void Entity::Reset() {
    // An entity released on its own leaves the entity it was attached to.
    LeaveAttachingEntity();
    ReleaseChildEntities();
    // The sub-entities point into the geometry's meshes: they go before the geometry may.
    RemoveAllSubEntities();
    allSubEntities_.clear();
    Geometry* geometry = geometry_.Get();
    geometry_.Reset();
    if (geometry)
        DropIfOnlyManagerHolds(geometry, Globals::Find(&Globals::GetGeometryManager));
    DeleteStates();
    secondAnimation_.Reset();
    firstTime_ = secondTime_ = 0.0f;
    animationFlags_ = 0;
    entityFlags_ = 0;
    transparencyAlpha_ = 0.1f;
    transparencyTune_ = 1.0f;
    for (float& c : colour_) c = 1.0f;
    lodFactor_ = 0.0f;
    explicitLod_ = 0;
    hostInteger_ = 0;
    hostFloat_ = 0.0f;
    pickOctree_.reset();
    attachments_.clear();
    ++releaseCount_;
    SceneNode::Reset();
}

}  // namespace Zel
