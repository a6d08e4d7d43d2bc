#include "Entity/Geometry/GeometryActor.h"

#include "Core/Globals.h"
#include "Core/LogDispatch.h"
#include "Core/PathUtils.h"
#include "Entity/Geometry/BodyPartCharacter.h"
#include "Entity/Geometry/GeometryBodyPart.h"
#include "Entity/Geometry/GeometryCloth.h"
#include "Entity/Geometry/GeometryKind.h"
#include "Entity/Geometry/GeometryManager.h"

namespace Zel {

namespace {

// Whether the name holds a '/' after its first character, so that it names its own folder.
bool NamesItsFolder(const std::string& name) {
    return name.find('/', 1) != std::string::npos;
}

bool EndsInBp3(const std::string& name) {
    return name.size() >= 3 && (name.compare(name.size() - 3, 3, "bp3") == 0 ||
                                name.compare(name.size() - 3, 3, "BP3") == 0);
}

}  // namespace

BodyPartEntry::~BodyPartEntry() {
    DropGeometry();
}

void BodyPartEntry::SetGeometry(Geometry* g) {
    DropGeometry();
    geometry = g;
    if (geometry)
        geometry->AddRef();
}

void BodyPartEntry::DropGeometry() {
    if (!geometry)
        return;
    Geometry* g = geometry;
    geometry = nullptr;
    g->DecRef();
    CResourceManager* manager = g->GetManager();
    if (manager && g->GetRefCount() < 2)
        manager->Remove(g);
}

GeometryActor::GeometryActor(CResourceManager* manager, std::string_view name,
                             std::string_view group, std::uint32_t handle)
    : GeometrySkin(manager, name, group, handle), handleWord_(handle) {}

GeometryActor::~GeometryActor() {
    GeometryActor::UnloadImpl();
}

std::uint32_t GeometryActor::CalculateSize() {
    std::uint64_t size = GeometrySkin::CalculateSize();
    for (auto& [slot, list] : entries_)
        for (auto& entry : list)
            if (entry && entry->geometry)
                size += entry->geometry->Geometry::CalculateSize();
    const auto clamped = static_cast<std::uint32_t>(std::min<std::uint64_t>(size, 0xFFFFFFFFu));
    SetSizeField(clamped);
    return clamped;
}

void GeometryActor::UnloadImpl() {
    entries_.clear();
    GeometrySkin::UnloadImpl();
}

void GeometryActor::LogResourceName() {
    LogTyped(LOG_ENGINE_INIT, "读取GeometryActor : %s", GetLoadPath().c_str());
}

void GeometryActor::LogLoadResult(bool ok) {
    if (!ok)
        LogTyped(LOG_ENGINE_INIT, "读取GeometryActor失败");
    else
        LogTyped(LOG_ENGINE_INIT, "%s 占用内存 %d", GetLoadPath().c_str(),
                 static_cast<int>(GetSizeField() >> 10));
}

BodyPartEntry* GeometryActor::PrepareSlot(std::uint32_t slot, const std::string& name,
                                          std::int32_t owner) {
    EntryList& list = entries_[slot];
    for (auto it = list.begin(); it != list.end();) {
        BodyPartEntry* entry = it->get();
        if (!entry || !entry->IsValid() || entry->owner != owner) {
            ++it;
            continue;
        }
        if (entry->name == name)
            return entry;
        if (entry->geometry && entry->geometry->GetRefCount() >= 2) {
            it = list.erase(it);
            continue;
        }
        ++it;
    }
    return nullptr;
}

std::string GeometryActor::PartDirectory() const {
    return GetDirectory(GetLoadPath());
}

bool GeometryActor::NamesOwnPlace(std::string_view name) {
    return (!name.empty() && name[0] == '.') || (name.size() > 1 && name[1] == ':');
}

std::string GeometryActor::NewPartFolder(std::string_view actorPath) {
    return JoinPathWithSlash(GetDirectory(GetDirectory(actorPath)), kNewPartFolder);
}

std::string GeometryActor::NewPartPath(std::string_view actorPath, const std::string& name) {
    // A cloth companion is named with the folder in front already: joining it again would look
    // for the file inside itself.
    const std::string folder = NewPartFolder(actorPath);
    const bool inFolder = !folder.empty() && name.size() > folder.size() &&
                          name.compare(0, folder.size(), folder) == 0 &&
                          (name[folder.size()] == '/' || name[folder.size()] == '\\');
    return NamesOwnPlace(name) || inFolder ? name : JoinPathWithSlash(folder, name);
}

template <class SetUp>
BodyPartEntry* GeometryActor::LoadEntry(std::uint32_t slot, const std::string& name,
                                        std::int32_t owner, const std::string& path,
                                        std::uint32_t kind, SetUp setUp) {
    GeometryManager* manager = Globals::Find(&Globals::GetGeometryManager);
    Geometry* geometry = manager ? manager->CreateUnique(path, path, kind) : nullptr;
    if (!geometry)
        return nullptr;
    setUp(*geometry);
    geometry->Load(path);
    if (!geometry->IsLoadSucceeded()) {
        // A part that did not load is not handed out, nor kept.
        manager->Remove(geometry);
        return nullptr;
    }
    auto entry = std::make_unique<BodyPartEntry>();
    entry->slot = static_cast<std::int32_t>(slot);
    entry->name = name;
    entry->owner = owner;
    entry->cloth = kind == GEOMETRY_KIND_CLOTH_XML || kind == GEOMETRY_KIND_NEW_CLOTH;
    entry->SetGeometry(geometry);
    BodyPartEntry* out = entry.get();
    entries_[slot].push_back(std::move(entry));
    return out;
}

BodyPartEntry* GeometryActor::LoadBodyPart(std::uint32_t slot, const std::string& name,
                                           const BodyPartCharacter& character) {
    const std::int32_t owner = character.GetCharacterId();
    if (BodyPartEntry* loaded = PrepareSlot(slot, name, owner))
        return loaded;
    const bool newActor = character.IsNewActor();
    // A name with its own folder is the path itself (joining it to its folder would double it).
    const std::string path =
        !newActor && NamesItsFolder(name) ? name : JoinPathWithSlash(PartDirectory(), name);
    const std::string skeleton = character.GetSkeletonName();
    return LoadEntry(slot, name, owner, path,
                     newActor ? GEOMETRY_KIND_BODY_PART4 : GEOMETRY_KIND_BODY_PART,
                     [&](Geometry& g) {
                         auto& part = static_cast<GeometryBodyPart&>(g);
                         part.SetSharedSkeleton(skeleton);
                         part.SetOwnerId(owner);
                         part.SetHasImages(newActor);
                     });
}

BodyPartEntry* GeometryActor::LoadBodyPart5(std::uint32_t slot, const std::string& name,
                                            std::int32_t owner, std::int32_t, bool newLayout,
                                            const std::string& skeletonName) {
    if (BodyPartEntry* loaded = PrepareSlot(slot, name, owner))
        return loaded;
    const std::string path = NewPartPath(GetLoadPath(), name);
    return LoadEntry(slot, name, owner, path, GEOMETRY_KIND_BODY_PART5, [&](Geometry& g) {
        auto& part = static_cast<GeometryBodyPart&>(g);
        part.SetSharedSkeleton(skeletonName);
        part.SetOwnerId(owner);
        part.SetHasImages(newLayout);
    });
}

BodyPartEntry* GeometryActor::LoadCloth(std::uint32_t slot, std::int32_t owner,
                                        const std::string& name, const std::string& skeletonName) {
    if (BodyPartEntry* loaded = PrepareSlot(slot, name, owner))
        return loaded;
    const std::string path = EndsInBp3(name) && NamesItsFolder(name)
                                 ? name
                                 : JoinPathWithSlash(PartDirectory(), name);
    return LoadEntry(slot, name, owner, path, GEOMETRY_KIND_CLOTH_XML, [&](Geometry& g) {
        static_cast<GeometryCloth&>(g).SetSkeletonName(skeletonName);
    });
}

BodyPartEntry* GeometryActor::LoadNewCloth(std::uint32_t slot, std::int32_t owner,
                                           const std::string& name,
                                           const std::string& skeletonName) {
    if (BodyPartEntry* loaded = PrepareSlot(slot, name, owner))
        return loaded;
    const std::string path = NewPartPath(GetLoadPath(), name);
    return LoadEntry(slot, name, owner, path, GEOMETRY_KIND_NEW_CLOTH, [&](Geometry& g) {
        static_cast<GeometryCloth&>(g).SetSkeletonName(skeletonName);
    });
}

BodyPartEntry* GeometryActor::LoadCloneBodyPart(std::uint32_t slot, const std::string& name,
                                                std::int32_t owner) {
    const auto found = entries_.find(slot);
    if (found == entries_.end()) {
        LogTyped(LOG_ENGINE_INIT, "Can Not Find Cloneable BodyPartEntry,%s", name.c_str());
        return nullptr;
    }
    EntryList& list = found->second;
    const BodyPartEntry* source = nullptr;
    for (const auto& entry : list) {
        if (!entry || !entry->IsValid()) {
            LogTyped(LOG_ENGINE_INIT, "LoadCloneBodyPart %s continue", name.c_str());
            continue;
        }
        if (entry->owner == owner)
            continue;
        if (entry->name == name) {
            source = entry.get();
            break;
        }
    }
    if (!source)
        return nullptr;
    auto entry = std::make_unique<BodyPartEntry>();
    entry->slot = static_cast<std::int32_t>(slot);
    entry->name = name;
    entry->owner = owner;
    entry->cloth = source->cloth;
    entry->SetGeometry(source->geometry);
    BodyPartEntry* out = entry.get();
    list.push_back(std::move(entry));
    LogTyped(LOG_ENGINE_INIT, "LoadCloneBodyPart %s push_back", name.c_str());
    return out;
}

void GeometryActor::ReleaseSlot(std::uint32_t slot, std::int32_t owner) {
    const auto found = entries_.find(slot);
    if (found == entries_.end())
        return;
    EntryList& list = found->second;
    std::erase_if(list, [owner](const std::unique_ptr<BodyPartEntry>& e) {
        return e && e->IsValid() && e->owner == owner;
    });
}

void GeometryActor::ReleaseAllSlots(std::int32_t owner) {
    for (std::uint32_t slot = 0; slot < kSlotCount; ++slot) ReleaseSlot(slot, owner);
}

std::uint32_t GeometryActor::RemoveBodyPartsOfOwner(std::int32_t owner) {
    std::uint32_t removed = 0;
    for (auto& [slot, list] : entries_) {
        for (auto it = list.begin(); it != list.end();) {
            if (*it && (*it)->owner == owner) {
                // The entry's reference goes with it, so that no geometry outlives every holder.
                it = list.erase(it);
                ++removed;
            } else {
                ++it;
            }
        }
    }
    return removed;
}

std::vector<std::uint32_t> GeometryActor::CollectBodyPartIds() const {
    std::vector<std::uint32_t> ids;
    for (const auto& [slot, list] : entries_) ids.push_back(slot);
    return ids;
}

std::uint32_t GeometryActor::GetBodyPartMeshCount() const {
    std::uint32_t n = 0;
    for (const auto& [slot, list] : entries_) n += static_cast<std::uint32_t>(list.size());
    return n;
}

const char* GeometryActor::GetBodyPartMesh(std::uint32_t i, std::uint32_t& slot) const {
    for (const auto& [key, list] : entries_) {
        if (i < list.size()) {
            slot = key;
            return list[i] ? list[i]->name.c_str() : "invalid name";
        }
        i -= static_cast<std::uint32_t>(list.size());
    }
    slot = 0;
    return "invalid name";
}

}  // namespace Zel
