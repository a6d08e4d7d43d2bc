#include "Core/CResourceManager.h"

#include <algorithm>
#include <cstdio>

#include "Core/CResourceGroupManager.h"
#include "Core/Globals.h"
#include "Core/IResList_Impl.h"
#include "Core/IResVisitor.h"
#include "Core/LogDispatch.h"
#include "Core/PathUtils.h"
#include "Core/SectionGuard.h"
#include "Core/Timer.h"
#include "Platform/Win32/Win32.h"

namespace Zel {
namespace {

constexpr std::size_t kReportLineSize = 512;

CResourceGroupManager* GroupRegistry() {
    return Globals::Find(&Globals::GetResourceGroupManager);
}

// Whole milliseconds since the timer's reset.
std::uint32_t ElapsedMs(Timer& timer) {
    timer.Tick();
    return static_cast<std::uint32_t>(static_cast<double>(timer.GetElapsed()) * 1000.0);
}

std::uint32_t AddListener(std::vector<ResourceListener>& listeners, ResourceListener listener) {
    auto freeSlot = std::find(listeners.begin(), listeners.end(), nullptr);
    if (freeSlot != listeners.end()) {
        *freeSlot = listener;
        return static_cast<std::uint32_t>(freeSlot - listeners.begin());
    }
    listeners.push_back(listener);
    return static_cast<std::uint32_t>(listeners.size() - 1);
}

void RemoveListener(std::vector<ResourceListener>& listeners, std::uint32_t index) {
    if (index < listeners.size())
        listeners[index] = nullptr;
}

}  // namespace

CResourceManager::CResourceManager() = default;

CResourceManager::~CResourceManager() {
    lastActiveList_.reset();
    lastGarbageList_.reset();
    RemoveAll();
    {
        SectionGuard guard(nameLock_);
        createListeners_.clear();
        removeListeners_.clear();
    }
    UnregisterType();
}

void CResourceManager::RegisterType(const char* typeName) {
    typeName_ = typeName;
    if (CResourceGroupManager* registry = GroupRegistry())
        registry->RegisterManager(typeName_, this);
}

void CResourceManager::UnregisterType() {
    CResourceGroupManager* registry = GroupRegistry();
    if (registry && registry->GetManager(typeName_) == this)
        registry->UnregisterManager(typeName_);
}

CResource* CResourceManager::Create(std::string_view name) {
    return Create(name, name);
}

CResource* CResourceManager::Create(std::string_view name, std::string_view source) {
    SectionGuard garbageGuard(garbageLock_);
    SectionGuard nameGuard(nameLock_);
    if (CResource* existing = GetByName(name))
        return existing;
    CResource* resource = CreateImpl(name, source);
    Add(resource);
    return resource;
}

CResource* CResourceManager::Load(std::string_view name, IZelStream* stream) {
    CResource* resource = Create(name);
    if (resource)
        resource->Load(std::string(name), stream);
    return resource;
}

CResource* CResourceManager::Load(std::string_view name) {
    CResource* resource = Create(name);
    if (resource)
        resource->Load(std::string(name));
    return resource;
}

CResource* CResourceManager::Load(std::string_view name, std::string_view path) {
    CResource* resource = Create(name, path);
    if (resource)
        resource->Load(std::string(path));
    return resource;
}

std::uint32_t CResourceManager::LoadDirectory(const std::string& directory, bool recurse) {
    std::vector<std::string> entries;
    ListDirectory(directory, entries, recurse);
    return LoadEach(entries);
}

std::uint32_t CResourceManager::LoadDirectoryFiltered(const std::string& directory,
                                                      std::string_view filter, bool recurse) {
    std::vector<std::string> entries;
    ListDirectoryFiltered(directory, entries, filter, recurse);
    return LoadEach(entries);
}

std::uint32_t CResourceManager::LoadEach(const std::vector<std::string>& names) {
    std::uint32_t loaded = 0;
    for (const std::string& name : names) {
        CResource* resource = Load(std::string_view(name));
        if (resource && resource->IsLoadSucceeded())
            ++loaded;
    }
    return loaded;
}

CResource* CResourceManager::LoadFromBasePath(std::string_view name) {
    const std::string path = JoinPath(basePath_, name);
    return Load(std::string_view(path), std::string_view(path));
}

CResource* CResourceManager::LoadFromBasePath(std::string_view name,
                                              std::string_view relativePath) {
    const std::string path = JoinPath(basePath_, relativePath);
    return Load(name, std::string_view(path));
}

void CResourceManager::UnloadByHandle(std::uint32_t handle) {
    if (CResource* resource = GetByHandle(handle))
        resource->Unload();
}

void CResourceManager::UnloadByName(std::string_view name) {
    if (CResource* resource = GetByName(name))
        resource->Unload();
}

void CResourceManager::RemoveAll() {
    if (CResourceGroupManager* registry = GroupRegistry())
        registry->RemoveManagerResources(this);
    Purge();
    {
        SectionGuard guard(nameLock_);
        for (auto& [name, resource] : nameMap_) {
            TellListeners(removeListeners_, resource);
            resource->Unload();
            delete resource;
        }
        nameMap_.clear();
    }
    SectionGuard guard(handleLock_);
    handleMap_.clear();
}

void CResourceManager::DestroyResource(CResource* resource) {
    RemoveFromMaps(resource);
    resource->Unload();
    delete resource;
}

void CResourceManager::UnloadAll() {
    SectionGuard guard(nameLock_);
    for (auto& [name, resource] : nameMap_) resource->Unload();
}

void CResourceManager::ReloadAll() {
    SectionGuard guard(nameLock_);
    for (auto& [name, resource] : nameMap_) resource->Reload();
}

CResource* CResourceManager::GetByName(std::string_view name) {
    if (CResource* resource = FindActiveByName(name))
        return resource;
    return FindGarbageByName(name);
}

CResource* CResourceManager::GetByHandle(std::uint32_t handle) {
    if (CResource* resource = FindActiveByHandle(handle))
        return resource;
    return FindGarbageByHandle(handle);
}

bool CResourceManager::Contains(const CResource* resource) {
    if (!resource)
        return false;
    SectionGuard guard(nameLock_);
    return std::any_of(nameMap_.begin(), nameMap_.end(),
                       [resource](const auto& entry) { return entry.second == resource; });
}

IResList_Impl* CResourceManager::GetActiveList() {
    auto list = std::make_unique<IResList_Impl>();
    {
        SectionGuard guard(nameLock_);
        for (auto& [name, resource] : nameMap_)
            list->Add(std::make_unique<IResInfo_Impl>(resource));
    }
    lastActiveList_ = std::move(list);
    return lastActiveList_.get();
}

IResList_Impl* CResourceManager::GetGarbageList() {
    auto list = std::make_unique<IResList_Impl>();
    {
        SectionGuard guard(garbageLock_);
        for (CResource* resource : garbage_) list->Add(std::make_unique<IResInfo_Impl>(resource));
    }
    lastGarbageList_ = std::move(list);
    return lastGarbageList_.get();
}

CResource* CResourceManager::FindGarbageByName(std::string_view name) {
    const std::string key = NormalizePath(name);
    SectionGuard guard(garbageLock_);
    auto it = std::find_if(garbage_.begin(), garbage_.end(), [&key](const CResource* resource) {
        return resource->GetName() == key;
    });
    return it == garbage_.end() ? nullptr : *it;
}

CResource* CResourceManager::FindGarbageByHandle(std::uint32_t handle) {
    SectionGuard guard(garbageLock_);
    auto it = std::find_if(garbage_.begin(), garbage_.end(), [handle](const CResource* resource) {
        return resource->GetHandle() == handle;
    });
    return it == garbage_.end() ? nullptr : *it;
}

CResource* CResourceManager::FindActiveByName(std::string_view name) {
    const std::string key = NormalizePath(name);
    SectionGuard guard(nameLock_);
    auto it = nameMap_.find(key);
    return it == nameMap_.end() ? nullptr : it->second;
}

CResource* CResourceManager::FindActiveByHandle(std::uint32_t handle) {
    SectionGuard guard(handleLock_);
    auto it = handleMap_.find(handle);
    return it == handleMap_.end() ? nullptr : it->second;
}

bool CResourceManager::ExistsByHandle(std::uint32_t handle) {
    return GetByHandle(handle) != nullptr;
}

bool CResourceManager::ExistsByName(std::string_view name) {
    return GetByName(name) != nullptr;
}

std::uint32_t CResourceManager::OnLoaded(CResource* resource) {
    const std::uint32_t size = resource->GetSizeField();
    // A resource loaded again while it waits in the garbage list counts there, so that Purge
    // moves its bytes back exactly once.
    AddBytes(size, resource->IsInGarbage());
    return size;
}

void CResourceManager::OnUnloaded(CResource* resource, bool inGarbage) {
    std::atomic<std::uint32_t>& bytes = inGarbage ? garbageBytes_ : activeBytes_;
    bytes.fetch_sub(resource->GetSizeField(), std::memory_order_relaxed);
}

std::uint32_t CResourceManager::Collect() {
    Timer timer;
    timer.Reset();
    // The garbage lock is held from the gathering on, so that a concurrent Remove cannot
    // delete a gathered resource before it is moved.
    SectionGuard garbageGuard(garbageLock_);
    std::vector<CResource*> unused;
    {
        SectionGuard handleGuard(handleLock_);
        for (auto& [handle, resource] : handleMap_) {
            if (resource->GetRefCount() == 1)
                unused.push_back(resource);
        }
    }
    for (CResource* resource : unused) {
        RemoveFromMaps(resource);
        resource->SetInGarbage(true);
        const std::uint32_t size = resource->GetSizeField();
        activeBytes_.fetch_sub(size, std::memory_order_relaxed);
        garbageBytes_.fetch_add(size, std::memory_order_relaxed);
        garbage_.push_back(resource);
    }
    return ElapsedMs(timer);
}

std::uint32_t CResourceManager::Purge() {
    return ReleaseGarbage(true);
}

std::uint32_t CResourceManager::UnloadGarbage() {
    return ReleaseGarbage(false);
}

std::uint32_t CResourceManager::ReleaseGarbage(bool deleteUnused) {
    Timer timer;
    timer.Reset();
    SectionGuard guard(garbageLock_);
    for (auto it = garbage_.begin(); it != garbage_.end();) {
        CResource* resource = *it;
        if (resource->GetRefCount() == 1) {
            resource->Unload();
            if (deleteUnused) {
                delete resource;
                it = garbage_.erase(it);
            } else {
                ++it;
            }
        } else {
            TakeBackFromGarbage(resource);
            it = garbage_.erase(it);
        }
    }
    return ElapsedMs(timer);
}

void CResourceManager::TakeBackFromGarbage(CResource* resource) {
    {
        SectionGuard guard(nameLock_);
        nameMap_[resource->GetName()] = resource;
    }
    resource->SetInGarbage(false);
    const std::uint32_t size = resource->GetSizeField();
    garbageBytes_.fetch_sub(size, std::memory_order_relaxed);
    activeBytes_.fetch_add(size, std::memory_order_relaxed);
    SectionGuard guard(handleLock_);
    handleMap_[resource->GetHandle()] = resource;
}

std::uint32_t CResourceManager::GetTotalCount() {
    return GetActiveCount() + GetGarbageCount();
}

std::uint32_t CResourceManager::GetGarbageCount() {
    SectionGuard guard(garbageLock_);
    return static_cast<std::uint32_t>(garbage_.size());
}

std::uint32_t CResourceManager::GetActiveCount() {
    SectionGuard guard(nameLock_);
    return static_cast<std::uint32_t>(nameMap_.size());
}

std::uint32_t CResourceManager::GetTotalBytes() {
    return GetActiveBytes() + GetGarbageBytes();
}

std::uint32_t CResourceManager::GetGarbageBytes() {
    return garbageBytes_.load(std::memory_order_relaxed);
}

std::uint32_t CResourceManager::GetActiveBytes() {
    return activeBytes_.load(std::memory_order_relaxed);
}

bool CResourceManager::Remove(CResource* resource) {
    if (!resource || resource->GetRefCount() != 1)
        return false;
    if (CResourceGroupManager* registry = GroupRegistry())
        registry->RemoveResource(resource);
    std::vector<ResourceListener> listeners;
    {
        SectionGuard guard(nameLock_);
        auto it = nameMap_.find(resource->GetName());
        if (it != nameMap_.end() && it->second == resource)
            nameMap_.erase(it);
        else if (!resource->IsInGarbage())
            LogTyped(LOG_ENGINE_INIT, "Released resource is not in the manager: %s",
                     resource->GetName().c_str());
        listeners = removeListeners_;
    }
    {
        SectionGuard guard(handleLock_);
        auto it = handleMap_.find(resource->GetHandle());
        if (it != handleMap_.end() && it->second == resource)
            handleMap_.erase(it);
    }
    {
        SectionGuard guard(garbageLock_);
        garbage_.remove(resource);
    }
    TellListeners(listeners, resource);
    resource->Unload();
    delete resource;
    return true;
}

bool CResourceManager::RemoveIfHeld(CResource* resource) {
    if (!resource)
        return false;
    {
        SectionGuard guard(nameLock_);
        const auto it = nameMap_.find(resource->GetName());
        if (it == nameMap_.end() || it->second != resource)
            return false;
    }
    return Remove(resource);
}

void CResourceManager::WriteReport(const std::function<void(const char*)>& write, bool withType) {
    char line[kReportLineSize];
    const auto entry = [&](std::uint32_t index, const CResource* resource) {
        if (withType)
            std::snprintf(line, sizeof line, "%s : Ref=%d, %u Byte, %s\n", typeName_.c_str(),
                          resource->GetRefCount(), resource->GetSizeField(),
                          resource->GetName().c_str());
        else
            std::snprintf(line, sizeof line, "%u : Ref=%d ,%u Byte, %s\n", index,
                          resource->GetRefCount(), resource->GetSizeField(),
                          resource->GetName().c_str());
        write(line);
    };
    const char* stars = "********************************************************************\n";
    write(stars);
    std::snprintf(line, sizeof line, "Active : %u, Garbage : %u\n", GetActiveCount(),
                  GetGarbageCount());
    write(line);
    write("Active List : \n");
    std::uint32_t total = 0;
    {
        SectionGuard guard(nameLock_);
        std::uint32_t index = 0;
        for (auto& [name, resource] : nameMap_) {
            entry(index++, resource);
            total += resource->GetSizeField();
        }
    }
    std::snprintf(line, sizeof line, "Total Active Footprint : %u Byte,%u KB\n", total,
                  total / 1024);
    write(line);
    write("=======================================================================\n");
    write("Garbage List : \n");
    total = 0;
    {
        SectionGuard guard(garbageLock_);
        std::uint32_t index = 0;
        for (CResource* resource : garbage_) {
            entry(index++, resource);
            total += resource->GetSizeField();
        }
    }
    std::snprintf(line, sizeof line, "Total Garbage Footprint : %u Byte,%u KB\n", total,
                  total / 1024);
    write(line);
    write(stars);
}

void CResourceManager::DumpToFile(const char* path) {
    if (!path)
        return;
    std::FILE* file = fopen_resolved(path, "a+");
    if (!file)
        return;
    WriteReport([file](const char* line) { std::fputs(line, file); }, true);
    std::fclose(file);
}

void CResourceManager::DumpToString(std::string& text) {
    WriteReport([&text](const char* line) { text += line; }, false);
}

void CResourceManager::DumpToStream(std::ostream& stream) {
    WriteReport([&stream](const char* line) { stream << line; }, false);
}

void CResourceManager::AddBytes(std::uint32_t bytes, bool garbage) {
    std::atomic<std::uint32_t>& counter = garbage ? garbageBytes_ : activeBytes_;
    counter.fetch_add(bytes, std::memory_order_relaxed);
}

void CResourceManager::Enumerate(IResVisitor* visitor) {
    if (!visitor)
        return;
    {
        SectionGuard guard(nameLock_);
        for (auto& [name, resource] : nameMap_)
            visitor->VisitActive(name.c_str(), resource->GetRefCount());
    }
    SectionGuard guard(garbageLock_);
    for (CResource* resource : garbage_)
        visitor->VisitGarbage(resource->GetName().c_str(), resource->GetRefCount());
}

std::uint32_t CResourceManager::AddCreateListener(ResourceListener listener) {
    SectionGuard guard(nameLock_);
    return AddListener(createListeners_, listener);
}

void CResourceManager::RemoveCreateListener(std::uint32_t index) {
    SectionGuard guard(nameLock_);
    RemoveListener(createListeners_, index);
}

std::uint32_t CResourceManager::AddRemoveListener(ResourceListener listener) {
    SectionGuard guard(nameLock_);
    return AddListener(removeListeners_, listener);
}

void CResourceManager::RemoveRemoveListener(std::uint32_t index) {
    SectionGuard guard(nameLock_);
    RemoveListener(removeListeners_, index);
}

void CResourceManager::RemoveFromMaps(CResource* resource) {
    if (CResourceGroupManager* registry = GroupRegistry())
        registry->RemoveResource(resource);
    {
        SectionGuard guard(handleLock_);
        auto it = handleMap_.find(resource->GetHandle());
        if (it != handleMap_.end() && it->second == resource)
            handleMap_.erase(it);
    }
    SectionGuard guard(nameLock_);
    auto it = nameMap_.find(resource->GetName());
    if (it != nameMap_.end() && it->second == resource)
        nameMap_.erase(it);
    TellListeners(removeListeners_, resource);
}

void CResourceManager::Add(CResource* resource) {
    if (!resource)
        return;
    SectionGuard nameGuard(nameLock_);
    if (!nameMap_.try_emplace(resource->GetName(), resource).second) {
        LogTyped(LOG_ENGINE_INIT, "Add Resource To HashMap Failed! Res Name: %s",
                 resource->GetName().c_str());
    } else {
        SectionGuard handleGuard(handleLock_);
        if (!handleMap_.try_emplace(resource->GetHandle(), resource).second)
            LogTyped(LOG_ENGINE_INIT, "Add Resource Handle To HashMap Failed! Res Name: %s",
                     resource->GetName().c_str());
    }
    TellListeners(createListeners_, resource);
}

std::int32_t CResourceManager::GetUniqueNameIndex(std::string_view name) {
    if (name.empty())
        return -1;
    std::int32_t n = 0;
    while (GetByName(MakeIndexedName(name, n))) ++n;
    return n;
}

void CResourceManager::ForEachActive(
    const std::function<bool(const std::string&, CResource*)>& fn) {
    SectionGuard guard(nameLock_);
    for (auto& [name, resource] : nameMap_) {
        if (!fn(name, resource))
            return;
    }
}

CResource* CResourceManager::AcquireByName(std::string_view name) {
    CResource* resource = GetByName(name);
    if (resource)
        resource->AddRef();
    return resource;
}

void CResourceManager::ReleaseShared(CResource*& field) {
    CResource* resource = field;
    field = nullptr;
    if (!resource)
        return;
    if (resource->DecRef() != 1)
        return;
    CResourceManager* owner = resource->GetManager() ? resource->GetManager() : this;
    owner->OnLastSharedRelease(resource);
    owner->Remove(resource);
}

void CResourceManager::ReplaceShared(CResource*& field, std::string_view name) {
    ReleaseShared(field);
    if (!name.empty())
        field = AcquireByName(name);
}

void CResourceManager::OnLastSharedRelease(CResource*) {}

void CResourceManager::TellListeners(const std::vector<ResourceListener>& listeners,
                                     const CResource* resource) {
    const DWORD threadId = GetCurrentThreadId();
    for (ResourceListener listener : listeners) {
        if (listener)
            listener(resource->GetName().c_str(), threadId);
    }
}

}  // namespace Zel
