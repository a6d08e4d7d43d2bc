#include "Entity/Character/Actor.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "Core/ActorIdCounter.h"
#include "Core/Factory.h"
#include "Core/GlobalConfigManager.h"
#include "Core/DeviceCaps.h"
#include "Core/Globals.h"
#include "Core/LogDispatch.h"
#include "Core/StreamFactory.h"
#include "Core/threadio.h"
#include "Core/threadmng.h"
#include "Entity/Character/Action.h"
#include "Entity/Character/ActorBodyTexture.h"
#include "Entity/Character/ActionManager.h"
#include "Entity/Character/ActorMaterialLibrary.h"
#include "Entity/Character/AnimationState.h"
#include "Entity/Character/Bone.h"
#include "Entity/Character/BoneState.h"
#include "Entity/Character/BoneStateSet.h"
#include "Entity/Character/MakeupState.h"
#include "Entity/Character/PinchState.h"
#include "Entity/Character/Skeleton.h"
#include "Entity/Character/SkeletonManager.h"
#include "Entity/Geometry/ClothMeshData.h"
#include "Entity/Geometry/GeometryActor.h"
#include "Entity/Geometry/GeometryBodyPart.h"
#include "Entity/Geometry/GeometryCloth.h"
#include "Entity/Geometry/GeometryKind.h"
#include "Entity/Geometry/GeometrySkin.h"
#include "Entity/Geometry/Mesh.h"
#include "Entity/Geometry/Skin.h"
#include "Entity/Geometry/TransformMath.h"
#include "Entity/Image/Image.h"
#include "Entity/Image/ImageResample.h"
#include "Entity/Image/PixelFormat.h"
#include "Entity/Material/Material.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Material/Pass.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Scene/SubEntity.h"
#include "Entity/Texture/TextureBase.h"
#include "Entity/Texture/TextureManager.h"
#include "Math/AABB.h"
#include "Physics/PhxCloth.h"
#include "Physics/PhysicsLock.h"
#include "Physics/PhysicsSdk.h"
#include "Physics/PhysicsWorld.h"
#include "Render/RenderDevice.h"
#include "Platform/Win32/Win32Files.h"

namespace Zel {

namespace {

// Material slot by mesh material number 0-20, for meshes other than simulated cloth; the cloth
// column is this one plus 10.
constexpr std::uint32_t kMaterialRows[21] = {0,  0,  1,  4,  5,  2,  3,  6,  7,  8, 9,
                                             20, 21, 24, 25, 22, 23, 26, 27, 28, 29};

// The render settings word of each material slot.
constexpr std::uint32_t kMaterialSettings[Actor::kMaterialSlotCount] = {
    96,  97,  66,  67,  100, 101, 106, 111, 192, 193, 112, 113, 82,  83,
    116, 117, 126, 127, 208, 209, 352, 353, 322, 323, 356, 357, 362, 367,
    448, 449, 368, 369, 338, 339, 372, 373, 382, 383, 464, 465};

// Bits of a settings word.
constexpr std::uint32_t kTwoSided = 0x1;
constexpr std::uint32_t kAlphaBlend = 0x2;
constexpr std::uint32_t kAlphaTest = 0x4;
constexpr std::uint32_t kSortedPass = 0x8;
constexpr std::uint32_t kClothLayout = 0x10;
constexpr std::uint32_t kDepthWrite = 0x20;
constexpr std::uint32_t kDepthTest = 0x40;
constexpr std::uint32_t kAdditiveBlend = 0x80;
constexpr std::uint32_t kReflection = 0x100;

constexpr std::uint32_t kPassSecondPass = 0x8;

// Vertex program kinds of an actor pass: part skins are posed by the bone palette in the vertex
// program (lit per vertex); simulated cloth arrives already in place and takes no program.
constexpr std::uint32_t kSkinnedLitProgram = 0;
constexpr std::uint32_t kUnskinnedProgram = 4;
constexpr std::uint32_t kSkinnedInfluences = 3;
constexpr std::uint32_t kRigidInfluences = 1;
constexpr std::uint32_t kReflectionStage = 6;

const std::vector<SubEntity*> kNoSubEntities;
const std::string kEmptyPartName;

bool IsOn(std::uint32_t index) {
    const GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager);
    return config && config->GetValue(index) != 0;
}

// The figure a kind selects: kind 0 is the default figure, kinds 1-9 the variant of that digit.
std::optional<char> FigureVariant(std::uint32_t kind) {
    if (kind == 0 || kind > 9)
        return std::nullopt;
    return static_cast<char>('0' + kind);
}

void Translation(const float* m, float* out) {
    out[0] = m[3];
    out[1] = m[7];
    out[2] = m[11];
}

float HorizontalDistance(const float* a, const float* b) {
    return std::hypot(a[0] - b[0], a[1] - b[1]);
}

float Length3(const float* v) {
    return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
}

void AssignBit(std::uint32_t& word, std::uint32_t bit, bool on) {
    word = on ? (word | bit) : (word & ~bit);
}

// The settings-driven effect step shared by new materials and the two-pass form.
void FinishEffect(Material& material) {
    if (SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
        scene && scene->IsDX7Mode()) {
        material.shininess = 0.0f;
        material.specular[0] = material.specular[1] = material.specular[2] = 0.0f;
        material.specular[3] = 1.0f;
    }
    material.UpdatePasses();
    if (!material.AssignGeneratedProgram())
        LogTyped(LOG_ENGINE_INIT, "Actor Generat Shader Failed! Material uses default effect.");
}

}  // namespace

Actor::Actor() : materialLibrary_(std::make_unique<ActorMaterialLibrary>(*this)) {
    if (ActorIdCounter* counter = Globals::Find(&Globals::GetActorIdCounter))
        actorId_ = counter->Next();
}

Actor::~Actor() {
    ReleaseBodyTextures();
    RetireBodyTexture(std::move(bodyTexture_));
    ReleaseAll(false);
    SweepRetiredMaterials();
    if (SkeletonManager* skeletons = Globals::Find(&Globals::GetSkeletonManager))
        skeletons->ReleaseShared(skeleton_);
}

void Actor::Reset() {
    flagWord_ = 0;
    refreshAll_ = false;
    clothPhysics_ = true;
    partsFlag_ = 1;
    hostValue_ = 0.0f;
    lastPartTask_ = 0;
    ReleaseBodyTextures();
    RetireBodyTexture(std::move(bodyTexture_));
    custom_.Drop();
    ReleaseAll(false);
    SweepRetiredMaterials();
    makeup_.reset();
    lodLevel_ = 0;
    opaque_.clear();
    blended_.clear();
    pinch_.reset();
    footLock_ = FootLockState{};
    std::fill_n(rootPoint_, 3, 0.0f);
    std::fill_n(rootPosition_, 3, 0.0f);
    predictor_.Clear();
    if (SkeletonManager* skeletons = Globals::Find(&Globals::GetSkeletonManager))
        skeletons->ReleaseShared(skeleton_);
    skeleton_ = nullptr;
    sex_ = 0;
    SkeletonModel::Reset();
}

int Actor::BodyPartKind(std::string_view name) {
    if (name.size() < 3)
        return -1;
    const std::string_view end = name.substr(name.size() - 3);
    if (end == "bp3" || end == "BP3")
        return 15;
    if (end == "bp4" || end == "BP4")
        return 16;
    if (end == "bp5" || end == "BP5")
        return 17;
    return -1;
}

// ---- Body parts ----

GeometryActor* Actor::GetActorGeometry() const {
    return dynamic_cast<GeometryActor*>(GetGeometry());
}

std::uint32_t Actor::GetGeometryKind() const {
    return GEOMETRY_KIND_ACT;
}

GeometryBodyPart* Actor::GetBodyPartGeometry(std::uint32_t slot) const {
    return slot < kSlotCount ? slots_[slot].geometry : nullptr;
}

const std::string& Actor::GetBodyPartName(std::uint32_t slot) const {
    return slot < kSlotCount ? slots_[slot].name : kEmptyPartName;
}

const std::vector<SubEntity*>& Actor::GetSlotSubEntities(std::uint32_t slot) const {
    return slot < kSlotCount ? slots_[slot].subEntities : kNoSubEntities;
}

std::string Actor::GetSkeletonName() const {
    return skeleton_ ? skeleton_->GetName() : std::string();
}

bool Actor::SetBodyPart(std::uint32_t slot, const std::string& name) {
    if (slot >= kSlotCount)
        return false;
    const int kind = BodyPartKind(name);
    if (kind == 17)
        return SetBodyPart5(slot, name);
    if (kind == 16 && !IsNewActor())
        LogTyped(LOG_ENGINE_INIT, "Error : old actor set bp4 bodypart");
    if (kind == 15 && IsNewActor()) {
        LogTyped(LOG_ENGINE_INIT, "Error : new actor set bp3 bodypart");
        return false;
    }
    if (name == slots_[slot].name)
        return true;
    const PartRequest request(*this, slot);
    GeometryBodyPart* geometry = BeginLoadBodyPart(slot, name);
    const bool ok = ProcessBodypartMaterial(geometry, slot, name);
    if (request.IsOutermost())
        RefreshAfterBodyPart();
    return ok;
}

Actor::PartRequest::PartRequest(Actor& actor, std::uint32_t slot)
    : actor_(actor), outermost_(actor.loading_.empty()) {
    actor_.loading_.insert(slot);
}

Actor::PartRequest::~PartRequest() {
    if (outermost_)
        actor_.loading_.clear();
}

void Actor::RemoveBodyPart(std::uint32_t slot) {
    if (slot >= kSlotCount)
        return;
    ReleaseBodypart(slot);
    if (slot < kPartCount)
        ReleaseBodypart(slot + kPartCount);
    // The lists would otherwise still draw the sub-entities the factory took back.
    RebuildRenderLists();
    BuildMaterialLists();
    flagWord_ |= kBodyTextureDirty;
}

bool Actor::ReleaseForLoad(std::uint32_t slot) {
    const GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager);
    if (slot >= kSlotCount || (config && config->NoActorCreate()))
        return false;
    ReleaseBodypart(slot);
    return true;
}

GeometryBodyPart* Actor::BeginLoadBodyPart(std::uint32_t slot, const std::string& name) {
    if (!ReleaseForLoad(slot))
        return nullptr;
    GeometryActor* actor = GetActorGeometry();
    BodyPartEntry* entry = actor ? actor->BuildBodyPartOnLoad(slot, name, *this) : nullptr;
    if (!entry || !entry->IsValid())
        return nullptr;
    return dynamic_cast<GeometryBodyPart*>(entry->geometry);
}

bool Actor::ProcessBodypartMaterial(GeometryBodyPart* geometry, std::uint32_t slot,
                                    const std::string& name) {
    if (slot >= kSlotCount)
        return false;
    if (!geometry) {
        char current[256] = {};
        GetCurrentDirectoryA(sizeof current, current);
        LogTyped(LOG_ENGINE_INIT, "找不到Bodypart[%d]:%s,当前路径:%s", static_cast<int>(slot),
                 name.c_str(), current);
        return false;
    }
    geometry->SetOwnerId(actorId_);
    if (slot < kPartCount)
        ReleaseBodypart(slot + kPartCount);
    Slot& target = slots_[slot];
    for (SubEntity* sub : target.subEntities)
        if (Factory<SubEntity>* factory = Globals::Find(&Globals::GetSubEntityFactory))
            factory->Release(sub);
    target.subEntities.clear();
    target.name = name;
    target.geometry = geometry;

    flagWord_ |= kBodyTextureDirty;
    std::vector<const Geometry*> worn(kSlotCount, nullptr);
    for (std::uint32_t s = 0; s < kSlotCount; ++s) worn[s] = slots_[s].geometry;
    GeometrySkin* skin = nullptr;
    Image* image = nullptr;
    geometry->MatchPartRule(worn, skin, image);
    target.image = image;
    if (skin) {
        BeginPartMaterials(name);
        AddSubEntities(slot, *skin, [&](const Mesh& mesh) { return TakePartMaterial(name, mesh); });
        EndPartMaterials();
        SetStateBits(NODE_BOUNDS_DIRTY);
        ReloadLinkedParts(slot);
        if (slot < kPartCount)
            if (const std::string cloth = ClothCompanionOf(name); !cloth.empty())
                LoadClothPart(slot + kPartCount, cloth, false);
    }
    refreshAll_ = false;
    return true;
}

void Actor::ReloadLinkedParts(std::uint32_t slot) {
    // Parts whose skins are chosen by what this slot wears load again; a part already being
    // loaded by this request is not, so parts linked to each other settle after one round.
    for (std::uint32_t other = 0; other < kPartCount; ++other) {
        GeometryBodyPart* linked = slots_[other].geometry;
        if (other == slot || !linked || !linked->HasPartLink(slot) || loading_.count(other))
            continue;
        const std::string again = slots_[other].name;
        slots_[other].name.clear();
        SetBodyPart(other, again);
    }
}

template <class MaterialOf>
void Actor::AddSubEntities(std::uint32_t slot, GeometrySkin& skin, MaterialOf materialOf) {
    Factory<SubEntity>* factory = Globals::Find(&Globals::GetSubEntityFactory);
    for (std::uint32_t m = 0; factory && m < skin.GetMeshCount(); ++m) {
        Mesh* mesh = skin.GetMesh(m);
        if (!mesh)
            continue;
        Material* material = materialOf(*mesh);
        SubEntity* sub = factory->Acquire();
        sub->SetOwner(this);
        sub->SetMesh(mesh);
        sub->SetMaterial(material);
        slots_[slot].subEntities.push_back(sub);
    }
}

bool Actor::SetBodyPart5(std::uint32_t slot, const std::string& name) {
    if (slot >= kPartCount)
        return false;
    if (name == slots_[slot].name)
        return true;
    const PartRequest request(*this, slot);
    const bool ok = TakeBodyPart5(slot, BeginLoadBodyPart5(slot, name), name);
    if (request.IsOutermost())
        RefreshAfterBodyPart();
    return ok;
}

BodyPartEntry* Actor::BeginLoadBodyPart5(std::uint32_t slot, const std::string& name) {
    if (!ReleaseForLoad(slot))
        return nullptr;
    GeometryActor* actor = GetActorGeometry();
    return actor
               ? actor->BuildBodyPartB(slot, name, GetSkeletonName(), actorId_, IsNewActor(), sex_)
               : nullptr;
}

bool Actor::TakeBodyPart5(std::uint32_t slot, BodyPartEntry* entry, const std::string& name) {
    if (slot >= kSlotCount)
        return false;
    if (!entry || !entry->IsValid()) {
        // The loading thread may be the caller: a log line, never a window waiting for the user.
        LogTyped(LOG_ENGINE_INIT, "test entity");
        return false;
    }
    entry->owner = actorId_;
    ReleaseBodypart(slot);
    // The cloth of the part it replaces goes too: the new part may have none.
    if (slot < kPartCount)
        ReleaseBodypart(slot + kPartCount);
    auto* geometry = dynamic_cast<GeometryBodyPart*>(entry->geometry);
    Slot& target = slots_[slot];
    target.name = name;
    target.geometry = geometry;
    if (!geometry)
        return false;
    geometry->SetOwnerId(actorId_);
    flagWord_ |= kBodyTextureDirty;
    std::vector<const Geometry*> worn(kSlotCount, nullptr);
    for (std::uint32_t s = 0; s < kSlotCount; ++s) worn[s] = slots_[s].geometry;
    GeometrySkin* skin = nullptr;
    Image* image = nullptr;
    geometry->MatchPartRule(worn, skin, image);
    target.image = image;
    if (!skin)
        return true;
    GeometryActor* actor = GetActorGeometry();
    const std::string description =
        ActorMaterialLibrary::DescriptionPath(name, actor ? actor->GetLoadPath() : std::string());
    MaterialManager* manager = Globals::Find(&Globals::GetMaterialManager);
    std::vector<Material*> described;
    bool success = false;
    if (manager)
        manager->LoadMaterialLib(description, success, &described, true);
    AddSubEntities(slot, *skin, [&](const Mesh& mesh) {
        return materialLibrary_->GetPartMaterial(mesh, name, description);
    });
    // Only the copies stay: the description's materials that nothing else holds are unloaded.
    if (manager)
        manager->UnLoadMaterials(described);
    SetStateBits(NODE_BOUNDS_DIRTY);
    ReloadLinkedParts(slot);
    if (slot < kPartCount && !IsOn(kNoClothSwitch))
        if (const std::string cloth = CompanionToLoad(name); !cloth.empty())
            LoadClothPart(slot + kPartCount, cloth, false);
    return true;
}

bool Actor::IsBp5Cloth(const std::string& name) const {
    return name.size() > 3 && BodyPartKind(name) == 17 && !IsNewActor();
}

std::string Actor::CompanionToLoad(const std::string& partName) const {
    if (BodyPartKind(partName) != 17)
        return ClothCompanionOf(partName);
    // A ".bp5" part names its companion in the new-part folder; most parts have none, and
    // trying to load what is not there would only log a failure.
    const GeometryActor* actor = GetActorGeometry();
    std::string cloth = ActorMaterialLibrary::ClothCompanionName(
        partName, actor ? actor->GetLoadPath() : std::string());
    return !cloth.empty() && FileExists(cloth) ? cloth : std::string();
}

std::string Actor::ClothCompanionOf(const std::string& partName) const {
    const std::size_t dot = partName.rfind('.');
    return (dot == std::string::npos ? partName : partName.substr(0, dot)) + "_cloth.bp3";
}

void Actor::OnSlotReleased(const std::vector<Material*>& materials) {
    for (Material* material : materials) materialLibrary_->ReleaseMaterial(material);
}

void Actor::RefreshAfterBodyPart() {
    GeometryBodyPart* face = slots_[2].geometry;
    if (!face)
        return;
    if (face->GetFigureKind() != kFaceFigureKind) {
        if (makeup_ && slots_[2].image == makeup_->GetWorkImage())
            slots_[2].image = nullptr;
        makeup_.reset();
    } else if (!makeup_)
        makeup_ = std::make_unique<MakeupState>(*this);
    if (!LoadSkeleton(face->GetFigureKind()))
        return;
    ReplayChannels();
    Update(nullptr, 0.0f, 0);
}

void Actor::ReplayChannels() {
    for (std::uint32_t n = 0; n < kChannelCount; ++n) {
        AnimationChannel& channel = *GetChannel(n);
        const AnimationChannel::State state = channel.GetState();
        if (state != AnimationChannel::kSingle && state != AnimationChannel::kNext)
            continue;
        const std::string current = TreeIdOf(channel.GetCurrentActionName());
        const std::string next = TreeIdOf(channel.GetNextActionName());
        const bool loop = (channel.GetFlags() & AnimationChannel::kLoop) != 0;
        const bool nextLoop = channel.GetNextLoop() == 1;
        const float time = channel.GetPlayTime();
        channel.PlayAction(current, loop, 0);
        // The time is put back while one action plays: a channel handing over ignores it.
        channel.SetPlayTime(time);
        if (state == AnimationChannel::kNext && !next.empty())
            channel.SetNextAction(next, nextLoop, 0);
    }
}

void Actor::ReleaseBodypart(std::uint32_t slot) {
    if (slot >= kSlotCount)
        return;
    Slot& target = slots_[slot];
    Factory<SubEntity>* factory = Globals::Find(&Globals::GetSubEntityFactory);
    std::vector<Material*> used;
    for (SubEntity* sub : target.subEntities) {
        if (!sub)
            continue;
        used.push_back(sub->GetOwnMaterial());
        sub->SetMesh(nullptr);
        if (factory)
            factory->Release(sub);
    }
    target.subEntities.clear();
    target.name.clear();
    target.geometry = nullptr;
    target.image = nullptr;
    target.cloth = nullptr;
    target.pieces.clear();
    // The bounds the slot's cloth hung on the bones go with it, or every reload would add more.
    RemoveSlotAttachments(slot);
    OnSlotReleased(used);
}

void Actor::ReleaseAll(bool keepEntries) {
    DropPreparedCloth();
    for (std::uint32_t slot = 0; slot < kSlotCount; ++slot) ReleaseBodypart(slot);
    for (auto& list : materialLists_) list.clear();
    opaque_.clear();
    blended_.clear();
    ReleaseMaterials();
    if (!keepEntries)
        if (GeometryActor* actor = GetActorGeometry())
            actor->RemoveBodyPartsOfOwner(actorId_);
}

bool Actor::LoadSkeleton(std::uint32_t kind) {
    const GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager);
    SkeletonManager* skeletons = Globals::Find(&Globals::GetSkeletonManager);
    if (!config || !config->UseActionLib() || !skeletons)
        return false;
    const bool changed = AssignSkeleton(FigureVariant(kind), false);
    if (kind == kFaceFigureKind && !pinch_ && skeleton_) {
        pinch_ = std::make_unique<PinchState>(*this, sex_ != 0);
        SetBoneScaleEnabled(1);
    }
    return changed;
}

bool Actor::AssignSkeleton(std::optional<char> variant, bool newFigure) {
    SkeletonManager* skeletons = Globals::Find(&Globals::GetSkeletonManager);
    if (!skeletons)
        return false;
    Skeleton* before = skeleton_;
    if (before)
        before->AddRef();  // kept alive for the comparison below
    if (newFigure)
        skeletons->AssignNewActorSkeleton(skeleton_, sex_ != 0);
    else
        skeletons->AssignActorSkeleton(skeleton_, variant, sex_ != 0);
    const bool changed = skeleton_ != before;
    if (before)
        skeletons->ReleaseShared(before);
    if (changed) {
        RebuildBoneStates();
        for (std::uint32_t i = 0; i < GetBoneStateCount(); ++i)
            GetBoneState(i)->flags |= BoneState::kNeeded;
        pinch_.reset();
    }
    return changed;
}

void Actor::CopyTo(SceneNode* target, bool withParent) {
    SkeletonModel::CopyTo(target, withParent);
    auto* actor = dynamic_cast<Actor*>(target);
    if (!actor || actor == this)
        return;
    for (std::uint32_t slot = 0; slot < kPartCount; ++slot)
        if (!slots_[slot].name.empty())
            actor->SetBodyPart(slot, slots_[slot].name);
}

void Actor::ReleaseAllBodyParts(const Actor& source) {
    lodLevel_ = source.lodLevel_;
    sex_ = source.sex_;
    for (std::uint32_t slot = 0; slot < kSlotCount; ++slot) ReleaseBodypart(slot);
    if (GeometryActor* actor = GetActorGeometry())
        actor->RemoveBodyPartsOfOwner(actorId_);
}

bool Actor::LoadClonePart(std::uint32_t slot, const std::string& name) {
    const GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager);
    if (slot >= kSlotCount || (config && config->NoActorCreate()))
        return false;
    GeometryActor* actor = GetActorGeometry();
    BodyPartEntry* entry = actor ? actor->LoadCloneBodyPart(slot, name, actorId_) : nullptr;
    if (BodyPartKind(name) == 17 && !IsNewActor()) {
        // The shared geometry is drawn with this actor's own library copies, as a set would.
        if (slot >= kPartCount || !entry)
            return false;
        const PartRequest request(*this, slot);
        return TakeBodyPart5(slot, entry, name);
    }
    return entry && entry->IsValid() &&
           ProcessBodypartMaterial(dynamic_cast<GeometryBodyPart*>(entry->geometry), slot, name);
}

bool Actor::CopyBodyPartsFrom(const Actor& source, std::uint32_t mode) {
    if (mode == 2)
        for (std::uint32_t slot = 0; slot < kPartCount; ++slot)
            if (!source.slots_[slot].name.empty())
                LoadClonePart(slot, source.slots_[slot].name);
    RefreshAfterBodyPart();
    return true;
}

bool Actor::CloneFrom(const Actor& source, std::uint32_t mode) {
    ReleaseAllBodyParts(source);
    const bool copied = CopyBodyPartsFrom(source, mode);
    return RestartChannels() && copied;
}

void Actor::SetPartsFloat(float value) {
    for (std::uint32_t slot = 0; slot < kSlotCount; ++slot)
        if (slot != 1 && slot != 2)
            for (SubEntity* sub : slots_[slot].subEntities) sub->SetRenderOffset(value);
}

void Actor::SetLodLevel(std::int32_t level) {
    if (static_cast<std::uint32_t>(level) < kLodLevelCount)
        lodLevel_ = level;
}

bool Actor::RestartChannels() {
    for (std::uint32_t n = 1; n <= 3; ++n) {
        AnimationChannel& channel = *GetChannel(n);
        if (channel.GetCurrentAction())
            channel.PlayAction(TreeIdOf(channel.GetCurrentActionName()), true, 0);
    }
    return true;
}

bool Actor::LoadClothPart(std::uint32_t slot, const std::string& name, bool force) {
    if (slot < kPartCount || slot >= kSlotCount)
        return false;
    if (IsOn(kNoClothSwitch) || IsOn(kNoClothSwitch2))
        return false;
    if (!force && name == slots_[slot].name)
        return false;
    ReleaseBodypart(slot);
    slots_[slot].name = name;
    BodyPartEntry* entry = BuildClothEntry(slot, name);
    auto* cloth =
        entry && entry->IsValid() ? dynamic_cast<GeometryCloth*>(entry->geometry) : nullptr;
    if (!cloth)
        return false;
    slots_[slot].cloth = cloth;
    if (cloth->IsClothMarked())
        BuildClothPieces(slot, *cloth);
    return true;
}

BodyPartEntry* Actor::BuildClothEntry(std::uint32_t slot, const std::string& name) {
    GeometryActor* actor = GetActorGeometry();
    if (!actor)
        return nullptr;
    // The file family decides where the file lies, for either character kind.
    if (BodyPartKind(name) == 17)
        return actor->BuildBodyPart5(slot, name, GetSkeletonName(), actorId_);
    return actor->BuildBodyPartA(slot, name, GetSkeletonName(), actorId_);
}

Material* Actor::TakeClothMaterial(std::uint32_t slot, const Mesh& subMesh, bool simulated) {
    if (!IsBp5Cloth(GetBodyPartName(slot)))
        return GetOrCreatePartMaterial(subMesh.GetMaterialName(), true);
    const GeometryActor* actor = GetActorGeometry();
    const std::string description = ActorMaterialLibrary::DescriptionPath(
        GetBodyPartName(slot - kPartCount), actor ? actor->GetLoadPath() : std::string());
    Material* copy = materialLibrary_->GetClothMaterials(slot, subMesh, simulated, description);
    if (copy)
        TakeBodyTexture(*copy, false);
    return copy;
}

void Actor::BuildClothPieces(std::uint32_t slot, GeometryCloth& cloth) {
    PhysicsWorld* world = Globals::Find(&Globals::GetPhysicsWorld);
    PhxScene* physicsScene = world ? world->GetScene() : nullptr;
    Factory<SubEntity>* factory = Globals::Find(&Globals::GetSubEntityFactory);
    if (!physicsScene || !factory)
        return;
    const SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    const bool enabled = scene && scene->IsPhysicsEnabled();
    // The runtime's own answer, so a runtime loaded after the scene manager started counts.
    const bool runtime = GetPhysicsSDK() != nullptr;
    Slot& target = slots_[slot];
    for (std::uint32_t m = 0; m < cloth.GetMeshCount(); ++m) {
        auto* data = dynamic_cast<ClothMeshData*>(cloth.GetMesh(m));
        if (!data)
            continue;
        PhxEntity* entity = nullptr;
        if (runtime && enabled) {
            // A queued load made this companion's physics cloth on the loading thread already.
            auto prepared = preparedCloth_.find(slot);
            if (prepared != preparedCloth_.end() && prepared->second.name == target.name &&
                m < prepared->second.entities.size())
                std::swap(entity, prepared->second.entities[m]);
            if (!entity)
                entity = CreateClothEntity(*physicsScene, *data);
        }
        auto* physical = dynamic_cast<PhxCloth*>(entity);
        bool owned = false;
        for (std::uint32_t j = 0; j < data->GetSubMeshCount(); ++j) {
            Mesh* sub = data->GetSubMesh(j);
            if (!sub)
                continue;
            // Named from the cloth mesh, not the sub-mesh's own name, so that a forced reload of
            // the same geometry does not add another suffix.
            sub->SetName(data->GetName() + "_" + std::to_string(j));
            Mesh* guide = data->GetHelperMesh(j);
            Material* material = TakeClothMaterial(slot, *sub, enabled);
            SubEntity* entry = factory->Acquire();
            entry->SetOwner(this);
            entry->SetMaterial(material);
            target.subEntities.push_back(entry);
            if (!enabled) {
                entry->SetMesh(sub);
                continue;
            }
            target.pieces.push_back(std::make_unique<Cloth>(this));
            Cloth* piece = target.pieces.back().get();
            entry->SetMesh(piece);
            const bool built =
                piece->Build(data, guide ? guide : sub, data->GetSubMeshOffset(j), 0, j);
            if (!runtime)
                continue;
            if (!built) {
                DropClothPiece(target, piece);
                continue;
            }
            // The first piece releases the physics cloth; the others only read it.
            piece->SetPhysicsCloth(physical, !owned);
            owned = owned || physical;
        }
        if (entity && !owned) {
            PhysicsLock lock(PhysicsMutex());
            PhxEntity::ReleaseIfLive(entity);
        }
    }
    // Filed by the cloth's slot (the geometry knows no part), so that releasing the slot takes
    // them off again.
    if (enabled)
        for (BoundBase* bound : cloth.GetBoneBounds())
            if (bound)
                AddBodyPartBound(*bound, slot);
    SetStateBits(NODE_BOUNDS_DIRTY);
}

PhxEntity* Actor::CreateClothEntity(PhxScene& scene, const ClothMeshData& data) {
    const PhxClothSource source = data.GetPhysicsSource();
    PhxBodyDesc desc = {};
    std::fill_n(desc.dimensions, 4, 1.0f);
    desc.scalar = 1.0f;
    std::copy_n(GetWorldMatrix(), 16, desc.pose);
    desc.shapeKind = PHX_SHAPE_CLOTH_ALT;
    desc.extra = &source;
    PhysicsLock lock(PhysicsMutex());
    PhxEntity* entity = scene.CreateEntity(&desc);
    if (entity)
        entity->SetGroup(static_cast<std::int32_t>(GetCollisionGroup()));
    return entity;
}

void Actor::PrepareClothCompanion(std::uint32_t partSlot, const std::string& partName) {
    if (partSlot >= kPartCount || IsOn(kNoClothSwitch) || IsOn(kNoClothSwitch2))
        return;
    const std::uint32_t slot = partSlot + kPartCount;
    PhysicsWorld* world = Globals::Find(&Globals::GetPhysicsWorld);
    PhxScene* physicsScene = world ? world->GetScene() : nullptr;
    const SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    if (!physicsScene || !scene || !scene->IsPhysicsEnabled() || !GetPhysicsSDK())
        return;
    const std::string name = CompanionToLoad(partName);
    if (name.empty())
        return;
    BodyPartEntry* entry = BuildClothEntry(slot, name);
    auto* cloth =
        entry && entry->IsValid() ? dynamic_cast<GeometryCloth*>(entry->geometry) : nullptr;
    if (!cloth || !cloth->IsClothMarked())
        return;
    PreparedCloth prepared;
    prepared.name = name;
    prepared.entities.assign(cloth->GetMeshCount(), nullptr);
    for (std::uint32_t m = 0; m < cloth->GetMeshCount(); ++m)
        if (const auto* data = dynamic_cast<const ClothMeshData*>(cloth->GetMesh(m)))
            prepared.entities[m] = CreateClothEntity(*physicsScene, *data);
    preparedCloth_[slot] = std::move(prepared);
}

void Actor::DropPreparedCloth() {
    if (preparedCloth_.empty())
        return;
    PhysicsLock lock(PhysicsMutex());
    for (auto& [slot, prepared] : preparedCloth_)
        for (PhxEntity* entity : prepared.entities)
            if (entity)
                PhxEntity::ReleaseIfLive(entity);
    preparedCloth_.clear();
}

void Actor::DropClothPiece(Slot& slot, Cloth* piece) {
    auto sub = std::find_if(slot.subEntities.begin(), slot.subEntities.end(),
                            [piece](SubEntity* e) { return e && e->GetMesh() == piece; });
    if (sub != slot.subEntities.end()) {
        Material* used = (*sub)->GetOwnMaterial();
        (*sub)->SetMesh(nullptr);
        if (Factory<SubEntity>* factory = Globals::Find(&Globals::GetSubEntityFactory))
            factory->Release(*sub);
        slot.subEntities.erase(sub);
        // A library copy the piece took keeps no reference for a use that is gone.
        OnSlotReleased({used});
    }
    std::erase_if(slot.pieces,
                  [piece](const std::unique_ptr<Cloth>& p) { return p.get() == piece; });
}

void Actor::RebuildCloth() {
    for (std::uint32_t slot = kPartCount; slot < kSlotCount; ++slot) {
        const bool hasPiece =
            std::any_of(slots_[slot].subEntities.begin(), slots_[slot].subEntities.end(),
                        [](SubEntity* e) { return e && dynamic_cast<Cloth*>(e->GetMesh()); });
        if (hasPiece) {
            const std::string name = slots_[slot].name;
            LoadClothPart(slot, name, true);
        }
    }
    ClearStateBits(NODE_BOUNDS_DIRTY);
}

void Actor::SetPartsFlag(std::uint8_t flag) {
    const bool on = flag != 0;
    for (std::uint32_t slot = 0; slot < kPartCount; ++slot)
        for (SubEntity* sub : slots_[slot].subEntities)
            if (Mesh* mesh = sub ? sub->GetMesh() : nullptr)
                mesh->SetRenderEnabled(on);
    for (std::uint32_t slot = kPartCount; slot < kSlotCount; ++slot)
        for (const std::unique_ptr<Cloth>& piece : slots_[slot].pieces)
            if (piece->GetPhysicsCloth())
                piece->SetEnabled(on);
    partsFlag_ = flag;
}

void Actor::SetClothPhysics(bool on) {
    for (std::uint32_t slot = kPartCount; slot < kSlotCount; ++slot)
        for (const std::unique_ptr<Cloth>& piece : slots_[slot].pieces) {
            PhxCloth* physical = piece->GetPhysicsCloth();
            if (!physical)
                continue;
            {
                PhysicsLock lock(PhysicsMutex());
                physical->SetSleeping(!on);
            }
            piece->SetPhysicsActive(!on);
        }
    clothPhysics_ = on;
    if (on)
        Cloth::SetGlobalEnabled(true);
}

void Actor::StepCloth(float) {
    const SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    const bool simulate = clothPhysics_ && scene && scene->IsPhysicsEnabled();
    const bool global = Cloth::IsGlobalEnabled();
    for (std::uint32_t slot = kPartCount; slot < kSlotCount; ++slot)
        for (SubEntity* sub : slots_[slot].subEntities) {
            // A piece whose mesh went away is passed over; the others still step.
            Mesh* mesh = sub ? sub->GetMesh() : nullptr;
            if (!mesh || mesh->GetMeshType() != kClothMeshType)
                continue;
            auto* piece = dynamic_cast<Cloth*>(mesh);
            if (!piece)
                continue;
            piece->SetPhysicsActive(global);
            piece->UpdateSkinning(simulate);
        }
}

// ---- Materials ----

std::uint32_t Actor::GetPartMaterialIndex(const std::string& materialName, bool cloth) {
    const std::uint32_t column = cloth ? 10u : 0u;
    if (materialName.size() > 2 || materialName.empty())
        return column;
    const int n = std::atoi(materialName.c_str());
    if (n < 0 || n > 20) {
        LogTyped(LOG_ENGINE_INIT, "非法BP3材质名称 %s", materialName.c_str());
        return column;
    }
    return kMaterialRows[n] + column;
}

std::uint32_t Actor::GetMaterialSettings(std::uint32_t slot) {
    return slot < kMaterialSlotCount ? kMaterialSettings[slot] : 0;
}

Material* Actor::GetActorMaterial(std::uint32_t slot) const {
    return slot < kMaterialSlotCount ? materials_[slot] : nullptr;
}

Material* Actor::CreateMaterial(std::uint32_t slot) {
    const std::uint32_t w = kMaterialSettings[slot];
    auto* material = new Material(nullptr, "ActorMaterial", "", 0);
    material->flags = (material->flags | MF_SHADOW_MAP | MF_LIT) & ~MF_FLOOR;
    material->lightingMode = 1;
    material->firstSettingWord = 4;
    material->secondSettingWord = 12;
    Pass* pass = material->CreatePass(0);
    pass->passFlags |= PF_AMBIENT_VERTEX_MODULATE;
    if (w & kSortedPass)
        pass->passFlags |= PF_DEPTH_SORTED;
    const bool cloth = (w & kClothLayout) != 0;
    pass->vertexFlags = cloth ? 0x13u : 0xC013u;
    pass->vertexProgramKind = cloth ? kUnskinnedProgram : kSkinnedLitProgram;
    pass->influenceCount = cloth ? kRigidInfluences : kSkinnedInfluences;
    RenderState& state = pass->renderState;
    state.cullMode = (w & kTwoSided) ? CULL_NONE : CULL_CLOCKWISE;
    AssignBit(state.flags, RSF_DEPTH_WRITE, (w & kDepthWrite) != 0);
    AssignBit(state.flags, RSF_DEPTH_TEST, (w & kDepthTest) != 0);
    if (w & kAlphaBlend) {
        state.flags |= RSF_ALPHA_BLEND;
        state.srcBlend = BLEND_SRC_ALPHA;
        state.destBlend = BLEND_INV_SRC_ALPHA;
    }
    if (w & kAdditiveBlend) {
        state.flags |= RSF_ALPHA_BLEND;
        state.srcBlend = BLEND_SRC_ALPHA;
        state.destBlend = BLEND_ONE;
    }
    if (w & kAlphaTest) {
        state.flags |= RSF_ALPHA_TEST;
        state.alphaRef = 10;
    }
    if (TextureManager* textures = Globals::Find(&Globals::GetTextureManager)) {
        state.stages[0].SetTexture(textures->GetDefaultTexture());
        state.stages[0].flags &= ~1u;
        if (w & kReflection) {
            state.stages[kReflectionStage].SetTexture(textures->GetActorReflectionTexture());
            state.stages[kReflectionStage].flags &= ~1u;
        }
    }
    FinishEffect(*material);
    materials_[slot] = material;
    return material;
}

Material* Actor::GetPartMaterial(const std::string& partName, const Mesh& mesh) {
    const std::uint32_t slot = GetPartMaterialIndex(mesh.GetMaterialName(), false);
    if (materials_[slot]) {
        TakeBodyTexture(*materials_[slot], true);
        return materials_[slot];
    }
    Material* material = CreateMaterial(slot);
    const bool marked = partName.size() > 3 && ((partName[2] == '9' && partName[3] == '3'));
    const bool thirdIsThree = partName.size() > 2 && partName[2] == '3';
    const std::uint32_t w = kMaterialSettings[slot];
    if (!marked && !thirdIsThree && (w & kTwoSided) && (w & kAlphaBlend))
        GenerateShader(*material);
    TakeBodyTexture(*material, true);
    return material;
}

Material* Actor::GetOrCreatePartMaterial(const std::string& materialName, bool cloth) {
    const std::uint32_t slot = GetPartMaterialIndex(materialName, cloth);
    Material* material = materials_[slot] ? materials_[slot] : CreateMaterial(slot);
    TakeBodyTexture(*material, false);
    return material;
}

void Actor::GenerateShader(Material& material) {
    Pass* first = material.GetPass(0);
    if (!first)
        return;
    Pass* second = material.GetPass(1) ? material.GetPass(1) : material.CreatePass(1);
    first->CopyTo(*second);
    second->passIndex = 1;
    second->passFlags |= kPassSecondPass;
    second->renderState.cullMode = CULL_CLOCKWISE;
    first->passFlags &= ~kPassSecondPass;
    first->renderState.cullMode = CULL_COUNTER_CLOCKWISE;
    FinishEffect(material);
}

void Actor::ReleaseMaterials() {
    for (Material*& material : materials_) {
        if (!material)
            continue;
        // Another holder (a sub-entity given elsewhere, a host clone) keeps its material: the
        // actor's reference waits until it is the only one left.
        retired_.push_back(material);
        material = nullptr;
    }
    SweepRetiredMaterials();
    materialLibrary_->CheckCleanup();
}

void Actor::SweepRetiredMaterials() {
    std::erase_if(retired_, [](Material* material) {
        if (material->GetRefCount() > 1)
            return false;
        material->Unload();
        delete material;
        return true;
    });
}

template <class Fn>
void Actor::ForEachSlotPiece(Fn fn) const {
    for (const Slot& slot : slots_)
        for (SubEntity* sub : slot.subEntities)
            if (sub)
                fn(*sub);
}

void Actor::RebuildRenderLists() {
    opaque_.clear();
    blended_.clear();
    ForEachSlotPiece([this](SubEntity& sub) {
        const Material* material = sub.GetOwnMaterial();
        (material && material->HasBlendedPass() ? blended_ : opaque_).push_back(&sub);
    });
}

void Actor::BuildMaterialLists() {
    for (auto& list : materialLists_) list.clear();
    ForEachSlotPiece([this](SubEntity& sub) {
        for (std::uint32_t m = 0; m < kMaterialSlotCount; ++m)
            if (materials_[m] && materials_[m] == sub.GetOwnMaterial())
                materialLists_[m].push_back(&sub);
    });
}

void Actor::RebuildMaterials() {
    RebuildBodyTexture();
    BuildMaterialLists();
    refreshAll_ = true;
    RebuildRenderLists();
    UnloadPartImages();
    ReleasePickOctree();
}

void Actor::UpdatePlacement() {
    if (!(GetState() & NODE_BOUNDS_DIRTY)) {
        SkeletonModel::UpdatePlacement();
        return;
    }
    const float* world = GetWorldMatrix();
    const BoneStateSet* states = GetBoneStates();
    AABB box;
    box.SetEmpty();
    const auto mergePosed = [&box](const AABB& bounds, const float* matrix) {
        AABB posed = bounds;
        posed.Transform(matrix);
        box.Merge(posed);
    };
    ForEachSlotPiece([&](SubEntity& piece) {
        const Mesh* mesh = piece.GetMesh();
        if (!mesh || mesh->GetBounds().IsEmpty())
            return;
        const auto* skin = dynamic_cast<const Skin*>(mesh);
        if (!skin || !states || skin->GetPaletteCount() == 0) {
            mergePosed(mesh->GetBounds(), world);
            return;
        }
        // A vertex blended between bones lies within the box of its poses under each of them.
        for (std::uint32_t k = 0; k < skin->GetPaletteCount(); ++k)
            if (const BoneState* state = states->GetBoneState(skin->GetPalette()[k])) {
                float m[16];
                MultiplyMatrices4(world, state->skinMatrix, m);
                mergePosed(mesh->GetBounds(), m);
            }
    });
    if (box.IsEmpty()) {
        SkeletonModel::UpdatePlacement();
        return;
    }
    SetBoundingBox(box);
    SceneNode::UpdatePlacement();
}

void Actor::AddShadowCasters(RenderQueue* queue, Shadow* shadow) {
    casters_.clear();
    ForEachSlotPiece([this](SubEntity& piece) { casters_.push_back(&piece); });
    QueueShadowCasters(casters_, queue, shadow);
}

void Actor::ClearRenderMarks() {
    ForEachSlotPiece([](SubEntity& s) { s.SetRenderMark(0); });
}

void Actor::ClearOncePerFrameMarks() {
    ForEachSlotPiece([](SubEntity& s) { s.SetOncePerFrameMark(0); });
}

void Actor::QueueRenderLists(RenderQueue* queue, Light* light, Material* material,
                             void (SubEntity::*add)(RenderQueue*, Light*, Material*)) {
    if (!IsOn(kDrawActorSwitch))
        return;
    if (flagWord_ & kBodyTextureDirty)
        RebuildBodyTexture();
    // Setting or reloading a part gives its old pieces back to the factory: lists kept from an
    // earlier frame could name a piece that now belongs to someone else.
    RebuildRenderLists();
    QueuePieces(opaque_, queue, light, material, add);
    QueuePieces(blended_, queue, light, material, add);
}

void Actor::AddSubEntitiesToQueue(RenderQueue* queue, Light* light, Material* material) {
    QueueRenderLists(queue, light, material, &SubEntity::AddToRenderQueue);
}

void Actor::AddSubEntitiesForLight(RenderQueue* queue, Light* light, Material* material) {
    QueueRenderLists(queue, light, material, &SubEntity::AddToRenderQueueForLight);
}

void Actor::SetMaterialsTwoSided(bool twoSided) {
    for (std::uint32_t slot = 0; slot < kMaterialSlotCount; slot += 2)
        if (Material* material = materials_[slot])
            for (Pass* pass : material->GetPasses())
                pass->renderState.cullMode = twoSided ? CULL_NONE : CULL_CLOCKWISE;
    for (Material* material : materials_)
        if (material)
            FinishEffect(*material);
}

const std::vector<SubEntity*>& Actor::GetMaterialList(std::uint32_t slot) const {
    return slot < kMaterialSlotCount ? materialLists_[slot] : kNoSubEntities;
}

// ---- Spliced body texture ----

namespace {

// The body-part header reports its new byte size after it read an image again.
void RecountBodyPart(GeometryBodyPart& part) {
    CResourceManager* manager = part.IsLoaded() ? part.GetManager() : nullptr;
    if (manager)
        manager->OnUnloaded(&part, part.IsInGarbage());
    part.CalculateSize();
    if (manager)
        manager->OnLoaded(&part);
}

// ".bp4" parts are made for the newer character and ".bp3" parts for this one; ".bp5" parts are
// served on both through the material library.
constexpr std::uint32_t kOlderPartKind = 15;
constexpr std::uint32_t kNewerPartKind = 16;

const char* BodyPartClassName(const GeometryBodyPart& part) {
    switch (part.GetKind()) {
        case kNewerPartKind:
            return "GeometryBodyPart4";
        case 17:
            return "GeometryBodyPart5";
        default:
            return "GeometryBodyPart";
    }
}

}  // namespace

bool Actor::IsPartOfOtherCharacter(const GeometryBodyPart& part) const {
    return part.GetKind() == (IsNewActor() ? kOlderPartKind : kNewerPartKind);
}

bool Actor::SetCustomTexture(std::uint32_t part, float u, float v, std::uint32_t width,
                             std::uint32_t height, const std::uint8_t* data,
                             std::uint64_t bufferSize) {
    return custom_.Set(part, u, v, width, height, data, bufferSize);
}

bool Actor::ApplyCustomTexture(std::uint32_t part, float u, float v, std::uint32_t width,
                               std::uint32_t height, const std::uint8_t* data,
                               std::uint64_t bufferSize) {
    if (!SetCustomTexture(part, u, v, width, height, data, bufferSize))
        return false;
    flagWord_ |= kBodyTextureDirty;
    RebuildBodyTexture();
    UnloadPartImages();
    custom_.Drop();
    return true;
}

void Actor::UnloadPartImages() {
    for (Slot& slot : slots_)
        if (slot.geometry)
            slot.geometry->UnloadImages();
}

void Actor::ComposeBodyParts(std::uint8_t* atlas, bool dxt) {
    for (std::uint32_t part : kPartComposeOrder) {
        GeometryBodyPart* geometry = slots_[part].geometry;
        Image* image = slots_[part].image;
        if (!geometry || !image)
            continue;
        if (!image->IsLoaded() && geometry->ReloadImage(*image))
            RecountBodyPart(*geometry);
        if (IsPartOfOtherCharacter(*geometry))
            LogTyped(LOG_ENGINE_INIT, "actor 类型和 GeometryBodyPart类型不匹配 ：%s figname : %s",
                     IsNewActor() ? "newActor" : "Actor", BodyPartClassName(*geometry));
        const std::uint32_t format = image->GetFormat();
        const ImageSurface* surface = image->GetFirstSurface();
        if ((format != PF_A8R8G8B8 && format != PF_X8R8G8B8) || !surface || !surface->GetData()) {
            LogTyped(LOG_ENGINE_INIT, "Actor=%X ACTOR贴图格式不正确: %s",
                     static_cast<unsigned>(actorId_), image->GetName().c_str());
            continue;
        }
        // A ".bp5" part is laid out by the material library's table: its image is scaled to
        // fill its block; the other parts use the second table.
        std::uint32_t width = 0, height = 0;
        PartTexRect rect = Zel::GetPartTexRectAlt(part);
        if (geometry->GetKind() == GEOMETRY_KIND_BODY_PART5) {
            const ActorMaterialLibrary::PartSize size = ActorMaterialLibrary::GetPartTexSize(part);
            const TextureRect r = ActorMaterialLibrary::GetPartTexRect(part);
            width = size.width;
            height = size.height;
            rect = {r.atlas[0],  r.atlas[1],  r.atlas[2],  r.atlas[3],
                    r.source[0], r.source[1], r.source[2], r.source[3]};
        } else {
            Zel::GetPartTexSize(part, &width, &height);
        }
        const std::uint8_t* pixels = surface->GetData();
        std::vector<std::uint8_t> resized;
        if (surface->GetWidth() != width || surface->GetHeight() != height) {
            resized.resize(std::size_t(width) * height * 4);
            const SurfacePixels from{surface->GetData(), surface->GetWidth(), surface->GetHeight(),
                                     1};
            const SurfacePixels to{resized.data(), width, height, 1};
            if (!ResamplePixels(from, to, format, RESAMPLE_LINEAR_MIP))
                continue;
            pixels = resized.data();
        }
        ComposePartBlock(atlas, pixels, width, height, rect, dxt);
    }
}

void Actor::RebuildBodyTexture() {
    if (!IsOn(kBodyTextureSwitch))
        return;
    TextureManager* textures = Globals::Find(&Globals::GetTextureManager);
    if (!textures)
        return;
    std::uint8_t* atlas = textures->GetScratchBuffer4M();
    std::uint8_t* small = textures->GetScratchBuffer2M();
    if (!atlas || !small)
        return;
    std::memset(atlas, 0, TextureManager::ScratchBuffer4MSize());
    std::memset(small, 0, TextureManager::ScratchBuffer2MSize());
    const bool worn = std::any_of(slots_.begin(), slots_.begin() + kPartCount,
                                  [](const Slot& s) { return s.geometry != nullptr; });
    if (!worn || !(flagWord_ & kBodyTextureDirty))
        return;
    std::uint32_t width = 0, height = 0;
    std::int32_t format = PF_A8R8G8B8;
    BodyTextureShape(&width, &height, &format);
    const bool dxt = format == PF_DXT5;
    ComposeBodyParts(atlas, dxt);
    if (custom_.IsHeld())
        ComposeCustomTexture(atlas, custom_, dxt);
    // Any size other than the atlas's is scaled into the smaller buffer, which then holds the
    // pixels; the other buffer is the work room of the upload.
    std::uint8_t* pixels = atlas;
    std::uint8_t* other = small;
    if (width != kAtlasSize || height != kAtlasSize) {
        const SurfacePixels from{atlas, kAtlasSize, kAtlasSize, 1};
        const SurfacePixels to{small, width, height, 1};
        if (ResamplePixels(from, to, PF_A8R8G8B8, RESAMPLE_LINEAR_MIP)) {
            pixels = small;
            other = atlas;
        }
    }
    if (pixels == atlas && (width != kAtlasSize || height != kAtlasSize))
        width = height = kAtlasSize;
    if (TextureBase* texture = ObtainBodyTexture(width, height, format)) {
        if (dxt)
            UploadDxt5Levels(*texture, pixels, width, height, other,
                             textures->GetScratchBufferRoom(other));
        else
            UploadArgbLevels(*texture, pixels, width, height, other, pixels);
        BindBodyTexture(texture);
    }
    flagWord_ &= ~kBodyTextureDirty;
    custom_.Drop();
}

void Actor::BodyTextureShape(std::uint32_t* width, std::uint32_t* height,
                             std::int32_t* format) const {
    TextureManager* textures = Globals::Find(&Globals::GetTextureManager);
    std::int32_t level = lodLevel_, w = 0, h = 0;
    *format = PF_A8R8G8B8;
    if (!textures || !textures->GetTexturePoolLevel(&level, format, &w, &h))
        *format = PF_A8R8G8B8;
    *width = static_cast<std::uint32_t>(std::max(w, 0));
    *height = static_cast<std::uint32_t>(std::max(h, 0));
    ClampLodSize(width, height);
}

bool Actor::CloneTextures(const Actor* source) {
    const DeviceCaps* caps = Globals::Find(&Globals::GetDeviceCaps);
    const std::uint32_t shaders = DEVICE_VS_1_1 | DEVICE_PS_1_1;
    const bool capable = caps && (caps->featureFlags & shaders) == shaders;
    TextureManager* textures = Globals::Find(&Globals::GetTextureManager);
    const RenderDevice* device = textures ? textures->GetRenderDevice() : nullptr;
    const bool olderPath = device && device->GetFixedFunctionMode() != MODE_SHADER;
    if (capable && !olderPath && CopyBodyTexture(source)) {
        flagWord_ &= ~kBodyTextureDirty;
        return true;
    }
    flagWord_ |= kBodyTextureDirty;
    RebuildBodyTexture();
    LogTyped(LOG_ENGINE_INIT,
             capable && !olderPath ? "Clone Texture Failed, So UpdateTexture By Hand,ActorStamp=%ld"
                                   : "Do Not Support DX8, So UpdateTexture By Hand,ActorStamp=%ld",
             long(actorId_));
    flagWord_ &= ~kBodyTextureDirty;
    return true;
}

bool Actor::CopyBodyTexture(const Actor* source) {
    if (!source)
        return false;
    TextureBase* from = source->bodyTexture_.Get();
    if (!from) {
        LogTyped(LOG_ENGINE_INIT, "Can Not Get Clone's Texture");
        return false;
    }
    if (!bodyTexture_) {
        ReleaseBodyTextures();
        std::uint32_t width = 0, height = 0;
        std::int32_t format = PF_A8R8G8B8;
        BodyTextureShape(&width, &height, &format);
        if (TextureBase* made = ObtainBodyTexture(width, height, format))
            BindBodyTexture(made);
    }
    // Every level comes from the source: they are what its own build made of the same pixels.
    TextureBase* to = bodyTexture_.Get();
    IDirect3DTexture9* device = to ? to->GetDeviceTexture() : nullptr;
    if (!device || !to->CopyLevelsFrom(int(device->GetLevelCount()), from, nullptr)) {
        LogTyped(LOG_ENGINE_INIT, "Copy Clone Texture Failed!");
        return false;
    }
    return true;
}

TextureBase* Actor::ObtainBodyTexture(std::uint32_t width, std::uint32_t height,
                                      std::int32_t format) {
    TextureManager* textures = Globals::Find(&Globals::GetTextureManager);
    if (!textures)
        return nullptr;
    if (lodLevel_ != 0)
        if (TextureBase* recycled = textures->TakeFromTexturePool(lodLevel_)) {
            if (recycled->GetWidth() == int(width) && recycled->GetHeight() == int(height) &&
                recycled->GetFormat() == format)
                return recycled;
            textures->ReturnToTexturePool(recycled);
        }
    TextureBase* texture = textures->CreateTexture(MP_MANAGED, 2);
    if (!texture)
        return nullptr;
    if (!texture->Create(int(width), int(height), 1, 2, format, 0, false)) {
        textures->ForceRemove(texture);
        return nullptr;
    }
    texture->SetName("ActorTexture");
    if (ActorBodyTexture* registry = Globals::Find(&Globals::GetActorBodyTexture))
        registry->Add(texture);
    return texture;
}

void Actor::BindBodyTexture(TextureBase* texture) {
    SharedPtr<TextureBase> previous = std::move(bodyTexture_);
    bodyTexture_.Assign(texture);
    ApplyBodyTexture();
    if (previous.Get() != texture)
        RetireBodyTexture(std::move(previous));
}

void Actor::RetireBodyTexture(SharedPtr<TextureBase> previous) {
    TextureBase* texture = previous.Get();
    previous.Reset();
    TextureManager* textures = Globals::Find(&Globals::GetTextureManager);
    if (!texture || !textures)
        return;
    if (lodLevel_ != 0 && textures->ReturnToTexturePool(texture))
        return;
    // The registry's own reference would keep the texture alive: it leaves the list first and
    // comes back when some other holder keeps the texture from being removed.
    ActorBodyTexture* registry = Globals::Find(&Globals::GetActorBodyTexture);
    const bool listed = registry && registry->Remove(texture);
    if (!textures->ForceRemove(texture) && listed)
        registry->Add(texture);
}

void Actor::ReleaseBodyTextures() {
    if (!bodyTexture_)
        return;
    for (Material* material : materials_)
        if (material)
            ActorMaterialLibrary::ReleaseFirstStages(*material, bodyTexture_.Get());
    // The library's copies hold it too: left holding it they would keep it from being destroyed.
    materialLibrary_->ReleaseBodyTexture();
}

void Actor::ApplyBodyTexture() {
    for (Material* material : materials_)
        if (material)
            TakeBodyTexture(*material, true);
    // The copies the parts draw with took the texture they were copied with: they take the new
    // one too, letting the old one go.
    materialLibrary_->BindBodyTexture();
}

void Actor::TakeBodyTexture(Material& material, bool allPasses) {
    if (bodyTexture_)
        ActorMaterialLibrary::BindFirstStages(material, bodyTexture_.Get(),
                                              allPasses ? material.GetPassCount() : 1);
}

// ---- Make-up ----

bool Actor::SetMakeupValue(std::int32_t layer, std::int32_t style, std::int32_t colour) {
    GeometryBodyPart* face = slots_[2].geometry;
    if (!face || face->GetFigureKind() != kFaceFigureKind || !makeup_)
        return false;
    if (layer != kMakeupCompose)
        return makeup_->Set(layer, style, colour);
    Image* composed = makeup_->Compose(*this);
    if (!composed)
        return false;
    slots_[2].image = composed;
    flagWord_ |= kBodyTextureDirty;
    RebuildBodyTexture();
    return true;
}

// ---- Actions ----

Action* Actor::FindAction(std::string_view name) {
    if (Action* action = FindTreeAction(name))
        return action;
    // Channels take the names of the action tree or of the skeleton's shared set, as a skinned
    // model's do: an action the host shared for this skeleton plays on the actor too.
    ActionManager* actions = Globals::Find(&Globals::GetActionManager);
    Skeleton* skeleton = GetSkeleton();
    return actions && skeleton
               ? actions->GetSharedActionByName(ActionManager::SetIdOf(skeleton), name)
               : nullptr;
}

Action* Actor::FindTreeAction(std::string_view name) {
    ActionManager* actions = Globals::Find(&Globals::GetActionManager);
    Action* action = nullptr;
    if (!actions || !actions->GetTreeItemAction(*this, name, &action) || !action)
        return nullptr;
    // Channels know their actions by file name; a skeleton change finds them again by id.
    treeIds_[action->GetName()] = std::string(name);
    return action;
}

std::string Actor::TreeIdOf(const std::string& actionName) const {
    const auto it = treeIds_.find(actionName);
    return it == treeIds_.end() ? actionName : it->second;
}

Action* Actor::GetAnimation(const std::string& name) {
    return FindTreeAction(name);
}

Skeleton* Actor::GetSkeleton() {
    if (!skeleton_)
        LoadDefaultSkeleton();
    return skeleton_;
}

// ---- Per-frame update ----

void Actor::Update(std::uint32_t* counter, float dt, std::uint32_t frameId) {
    const GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager);
    if (!config || !config->RunUpdate() || !IsOn(kUpdateActorSwitch))
        return;
    SetFrameId(frameId);
    if (IsOn(kUpdateActionsSwitch)) {
        const float elapsed = std::max(dt, 0.0f);
        if (GetBoneStateCount() == 0) {
            Entity::Update(counter, elapsed, frameId);
        } else {
            UpdateAnimation(elapsed);
            Entity::Update(counter, elapsed, frameId);
        }
    }
    StepCloth(dt);
}

void Actor::UpdateAnimation(float dt) {
    for (std::uint32_t n = 0; n < kChannelCount; ++n) GetChannel(n)->Update(dt);
    SampleFromChannels();
    if (pinch_)
        pinch_->ApplyPre(*this);
    // Pinch scales and bone-scale presets only reach the matrices with bone scale on.
    EvaluateBones(IsGlobalBoneScale() || IsBoneScaleEnabled());
    PlaceRoot(dt);
    if (pinch_)
        pinch_->ApplyPost(*this);
    std::copy_n(GetBoneState(0)->translation, 3, rootPosition_);
    SetStateBits(NODE_BOUNDS_DIRTY);
    UpdateBoneBounds();
}

void Actor::ReadFeet(float feet[2][3], float root[3]) {
    Skeleton* skeleton = GetSkeleton();
    float m[16];
    GetCurrentBoneWorldMatrix(0, m);
    Translation(m, root);
    for (int side = 0; side < 2; ++side) {
        const std::int32_t bone = skeleton ? skeleton->GetFootBone(side) : -1;
        if (bone < 0) {
            std::copy_n(root, 3, feet[side]);
            continue;
        }
        GetCurrentBoneWorldMatrix(static_cast<std::uint32_t>(bone), m);
        Translation(m, feet[side]);
    }
}

void Actor::RootFromFeet(const float feet[2][3]) {
    if (FootLockParams::Global().enabled) {
        std::copy_n(feet[footLock_.plantedFoot], 3, rootPoint_);
        return;
    }
    for (int k = 0; k < 3; ++k) rootPoint_[k] = 0.5f * (feet[0][k] + feet[1][k]);
}

void Actor::TakeSnapshot(const float feet[2][3], const float root[3]) {
    footLock_.snapshotRoot[0] = root[0];
    footLock_.snapshotRoot[1] = root[1];
    for (int side = 0; side < 2; ++side) std::copy_n(feet[side], 3, footLock_.snapshotFeet[side]);
    footLock_.accumulatedTime = 0.0f;
}

void Actor::PlaceRoot(float dt) {
    const FootLockParams& params = FootLockParams::Global();
    AnimationChannel& channel = *GetChannel(0);
    footLock_.accumulatedTime += dt;
    const Action* action = channel.GetCurrentAction();
    const float length = action ? action->GetLength() : 0.0f;
    const float phase = length > 0.0f ? channel.GetPlayTime() / length : 0.0f;
    float feet[2][3], root[3];
    ReadFeet(feet, root);
    if (params.enabled) {
        if (!channel.RootMotionInProgress()) {
            footLock_.firstDecisionDone = footLock_.secondDecisionDone = false;
            if (footLock_.accumulatedTime > kSnapshotInterval)
                TakeSnapshot(feet, root);
        } else {
            if (!footLock_.firstDecisionDone && channel.PendingActionReady()) {
                footLock_.plantedFoot = FirstDecision(channel, feet, root, phase);
                footLock_.firstDecisionDone = true;
                footLock_.secondDecisionDone = false;
            }
            if (footLock_.firstDecisionDone && !footLock_.secondDecisionDone && phase < 0.5f &&
                channel.PendingActionReady())
                SecondDecision(channel, feet, phase);
        }
    }
    RootFromFeet(feet);
    channel.SetRootTarget(rootPoint_);
    if (!channel.RootMotionInProgress() || !channel.PendingActionReady())
        return;
    const float* target = channel.GetRootTarget();
    for (int k = 0; k < 3; ++k) footLock_.savedOffset[k] = target[k] - rootPoint_[k];
    const float x = footLock_.savedOffset[0], y = footLock_.savedOffset[1];
    ShiftBones(x, y);
    BoneState* root0 = GetBoneState(0);
    root0->translation[0] += x;
    root0->translation[1] += y;
    ReadFeet(feet, root);
    RootFromFeet(feet);
    const float applied[3] = {x, y, 0.0f};
    channel.SetAppliedOffset(applied);
}

void Actor::ShiftBones(float x, float y) {
    const float* node = GetWorldMatrix();
    const float world[3] = {node[0] * x + node[1] * y, node[4] * x + node[5] * y,
                            node[8] * x + node[9] * y};
    for (std::uint32_t i = 0; i < GetBoneStateCount(); ++i) {
        BoneState& state = *GetBoneState(i);
        // A translation put in front of a matrix moves only its translation column; the skin
        // matrices stay in model space, as the skinning expects them.
        state.modelMatrix[3] += x;
        state.modelMatrix[7] += y;
        state.skinMatrix[3] += x;
        state.skinMatrix[7] += y;
        state.worldMatrix[3] += world[0];
        state.worldMatrix[7] += world[1];
        state.worldMatrix[11] += world[2];
    }
}

int Actor::FirstDecision(const AnimationChannel& channel, const float feet[2][3],
                         const float root[3], float phase) {
    const FootLockParams& params = FootLockParams::Global();
    if (!PredictFootPositions(channel))
        return feet[0][2] < feet[1][2] ? 0 : 1;
    for (int side = 0; side < 2; ++side)
        footLock_.predictedDistance[side] =
            HorizontalDistance(footLock_.predicted[side], footLock_.predicted[2]);
    const float* left = footLock_.predicted[0];
    const float* right = footLock_.predicted[1];
    if (std::fabs(left[2] - right[2]) > params.predictedHeightGap)
        return left[2] < right[2] ? 0 : 1;

    float rootVelocity[2] = {0.0f, 0.0f};
    float footVelocity[2][3] = {};
    const float elapsed = footLock_.accumulatedTime;
    // Without time since the snapshot there is no velocity, and no direction to agree with.
    int chosen = -1;
    if (elapsed > 0.0f) {
        const float inverse = 1.0f / elapsed;
        for (int k = 0; k < 2; ++k)
            rootVelocity[k] = (root[k] - footLock_.snapshotRoot[k]) * inverse;
        for (int side = 0; side < 2; ++side)
            for (int k = 0; k < 3; ++k)
                footVelocity[side][k] = (feet[side][k] - footLock_.snapshotFeet[side][k]) * inverse;
        chosen = ChooseByDirection(params, feet, footVelocity, rootVelocity);
    }
    if (chosen >= 0)
        return chosen;
    const float measure[2] = {HorizontalDistance(feet[0], root), HorizontalDistance(feet[1], root)};
    const float spread[3] = {feet[0][0] - feet[1][0], feet[0][1] - feet[1][1],
                             feet[0][2] - feet[1][2]};
    if (root[2] < params.rootHeightLimit || Length3(spread) > params.footSpreadLimit)
        return measure[0] < measure[1] ? 0 : 1;
    const float heights[2] = {feet[0][2], feet[1][2]};
    const float speeds[2] = {Length3(footVelocity[0]), Length3(footVelocity[1])};
    return ChoosePlantedFoot(params, measure, heights, speeds, phase);
}

void Actor::SecondDecision(AnimationChannel& channel, const float feet[2][3], float phase) {
    const FootLockParams& params = FootLockParams::Global();
    int foot;
    if (footLock_.predicted[2][2] >= params.rootHeightLimit) {
        const float heights[2] = {footLock_.predicted[0][2], footLock_.predicted[1][2]};
        const float still[2] = {0.0f, 0.0f};
        foot = ChoosePlantedFoot(params, footLock_.predictedDistance, heights, still, phase);
    } else {
        foot = footLock_.predictedDistance[0] < footLock_.predictedDistance[1] ? 0 : 1;
    }
    if (foot != footLock_.plantedFoot) {
        footLock_.plantedFoot = foot;
        channel.RequestRootTarget();
        float target[3];
        for (int k = 0; k < 3; ++k) target[k] = feet[foot][k] + footLock_.savedOffset[k];
        channel.SetRootTarget(target);
    }
    footLock_.secondDecisionDone = true;
}

bool Actor::PredictFootPositions(const AnimationChannel& channel) {
    Skeleton* skeleton = GetSkeleton();
    const Action* pending = channel.GetNextAction();
    if (!skeleton || !pending || !pending->GetResource())
        return false;
    predictor_.Bind(pending->GetResource(), skeleton);
    float time = 0.0f;
    predictor_.Sample(time, false);
    const std::int32_t bones[3] = {skeleton->GetFootBone(0), skeleton->GetFootBone(1),
                                   skeleton->GetRootIndex()};
    for (int b = 0; b < 3; ++b) {
        if (bones[b] < 0)
            return false;
        // The bone's origin carried up its chain: each ancestor turns it and moves it.
        float p[3] = {0.0f, 0.0f, 0.0f};
        for (const Bone* bone = skeleton->GetBone(static_cast<std::uint32_t>(bones[b])); bone;
             bone = bone->GetParent()) {
            const AnimationState* state =
                predictor_.GetState(static_cast<std::uint32_t>(bone->GetIndex()));
            if (!state)
                return false;
            float turned[3];
            RotateByQuaternion(state->GetRotation(), p, turned);
            for (int k = 0; k < 3; ++k) p[k] = turned[k] + state->GetPosition()[k];
        }
        std::copy_n(p, 3, footLock_.predicted[b]);
    }
    return true;
}

// ---- Pinch ----

bool Actor::SetPinchValue(std::int32_t id, float value) {
    if (id >= 6 && id <= 32)
        return false;
    if (id >= 33) {
        const GeometryBodyPart* face = slots_[2].geometry;
        if (!face || face->GetFigureKind() != kFaceFigureKind)
            return false;
    }
    if (!pinch_) {
        pinch_ = std::make_unique<PinchState>(*this, sex_ != 0);
        SetBoneScaleEnabled(1);
    }
    pinch_->SetValue(id, value);
    return true;
}

}  // namespace Zel
