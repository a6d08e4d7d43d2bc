// The base of every resource manager (XML documents, geometry, materials, images, GPU programs,
// actions, animations, skeletons). One manager owns every resource of one type: it creates them
// on first request (CreateImpl), finds them by name or handle, counts their bytes and releases
// them in two steps: Collect moves every resource that only the manager still references to the
// garbage list, Purge deletes what is still unreferenced there and takes back into use what was
// asked for again meanwhile.
//
// A subclass names its type in its constructor (RegisterType), which registers the manager with
// the group registry of Globals; the base unregisters it on destruction.
//
// Names are normalised (NormalizePath) before every use. A lookup adds no reference.
//
// Threads: the host's thread and task steps on the worker call managers. The name map, the handle
// map and the garbage list each have their own lock; the order is garbage, then name, then handle.
// Creation listeners run with the name lock held. The byte counters are atomic.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "Core/CResource.h"
#include "Core/IResVisitor.h"
#include "Core/Object.h"
#include "Core/locksection.h"
#include "Platform/Win32/Win32Types.h"

namespace Zel {

class IResList_Impl;
class IZelStream;

// Told of a resource's name and the calling thread's id.
using ResourceListener = void (*)(const char* name, DWORD threadId);

class CResourceManager : public Object {
public:
    CResourceManager();
    // Deletes the last lists handed out, RemoveAll (every resource, referenced or not), empties
    // the listener lists and unregisters the type name when this manager is the one registered
    // under it.
    ~CResourceManager() override;

    std::uint32_t GetClassId() const override { return ClassId::CResourceManager; }
    const char* GetClassName() const override {
        return GetRegisteredClassName(ClassId::CResourceManager);
    }

    // The resource of the name (active or in the garbage list), else a new one from
    // CreateImpl (name, name), entered into the maps. The lookup, the creation and the entry
    // happen under the garbage and name locks, so two threads asking for one name get one
    // resource. Null when CreateImpl makes none.
    virtual CResource* Create(std::string_view name);
    // The same with CreateImpl (name, source).
    virtual CResource* Create(std::string_view name, std::string_view source);
    // Create (name), then the resource's Load (name, stream). Null when none can be made.
    virtual CResource* Load(std::string_view name, IZelStream* stream);
    // Create (name), then the resource's Load (name).
    virtual CResource* Load(std::string_view name);
    // Create (name, path), then the resource's Load (path).
    virtual CResource* Load(std::string_view name, std::string_view path);
    // Load (entry) for every entry of the directory listing (ListDirectory, PathUtils.h; the
    // directory is given with its trailing "/"); answers how many of them loaded successfully.
    virtual std::uint32_t LoadDirectory(const std::string& directory, bool recurse);
    // The same for the entries that contain the filter text.
    virtual std::uint32_t LoadDirectoryFiltered(const std::string& directory,
                                                std::string_view filter, bool recurse);
    // Load (p, p) with p = JoinPath (base path, name).
    virtual CResource* LoadFromBasePath(std::string_view name);
    // Load (name, JoinPath (base path, relative path)).
    virtual CResource* LoadFromBasePath(std::string_view name, std::string_view relativePath);
    virtual void UnloadByHandle(std::uint32_t handle);
    virtual void UnloadByName(std::string_view name);
    // Deletes every resource, whatever its reference count: the garbage list is purged, then
    // every active resource is told to the removal listeners, unloaded and deleted.
    virtual void RemoveAll();
    // Unloads every active resource (name lock held).
    virtual void UnloadAll();
    // Reloads every active resource that is not loaded (name lock held).
    virtual void ReloadAll();
    // The active resource of the name, else the one in the garbage list; null when none.
    virtual CResource* GetByName(std::string_view name);
    virtual CResource* GetByHandle(std::uint32_t handle);
    // Whether the resource is an entry of the name map.
    virtual bool Contains(const CResource* resource);
    // A new list of the active (garbage) resources; the manager owns it until the next call
    // (or its destruction) replaces it. Host thread.
    virtual IResList_Impl* GetActiveList();
    virtual IResList_Impl* GetGarbageList();
    virtual CResource* FindGarbageByName(std::string_view name);
    virtual CResource* FindGarbageByHandle(std::uint32_t handle);
    virtual CResource* FindActiveByName(std::string_view name);
    virtual CResource* FindActiveByHandle(std::uint32_t handle);
    virtual bool ExistsByHandle(std::uint32_t handle);
    virtual bool ExistsByName(std::string_view name);
    // Called by CResource::Load: adds the resource's size to the active bytes (to the garbage
    // bytes for a resource in the garbage list) and answers it.
    virtual std::uint32_t OnLoaded(CResource* resource);
    // Called by CResource::Unload: lowers the garbage bytes (inGarbage) or the active bytes by
    // the resource's size.
    virtual void OnUnloaded(CResource* resource, bool inGarbage);
    // Moves every resource whose count is exactly 1 (held by the manager alone), in handle
    // order, out of the maps (removal listeners are told) into the garbage list with its bytes;
    // they stay loaded. Answers the milliseconds it took.
    virtual std::uint32_t Collect();
    // Deletes (after Unload) every garbage resource still held by the manager alone; one that
    // was referenced meanwhile goes back into both maps with its bytes. Empties the list.
    // Answers the milliseconds it took.
    virtual std::uint32_t Purge();
    // As Purge, but an unreferenced resource is only unloaded and stays in the garbage list.
    virtual std::uint32_t UnloadGarbage();
    virtual std::uint32_t GetTotalCount();
    virtual std::uint32_t GetGarbageCount();
    virtual std::uint32_t GetActiveCount();
    virtual std::uint32_t GetTotalBytes();
    virtual std::uint32_t GetGarbageBytes();
    virtual std::uint32_t GetActiveBytes();
    // Removes one resource held by the manager alone from the maps and the garbage list, tells
    // the removal listeners, unloads and deletes it. False, changing nothing, while anybody else
    // references it.
    virtual bool Remove(CResource* resource);
    // Remove, only for a resource the name map holds: a resource some other owner keeps (an
    // entity's private material, a copy of an actor's) is never the manager's to delete, however
    // few references are left on it.
    bool RemoveIfHeld(CResource* resource);
    // The resource report (see DumpToString) appended to the file ("a+"); nothing for a null
    // path or a file that cannot be opened. Entry lines name the manager's type.
    virtual void DumpToFile(const char* path);
    // The resource report appended to the text: counts, the active and the garbage resources
    // with their reference counts and sizes, and the byte totals.
    virtual void DumpToString(std::string& text);
    virtual void DumpToStream(std::ostream& stream);
    // Adds to the garbage bytes (garbage) or the active bytes.
    virtual void AddBytes(std::uint32_t bytes, bool garbage);
    // The visitor's VisitActive for every active resource (name lock held), then its
    // VisitGarbage for every garbage entry (garbage lock held).
    virtual void Enumerate(IResVisitor* visitor);
    // Stores the listener in the first free entry (or a new one) and answers its index.
    virtual std::uint32_t AddCreateListener(ResourceListener listener);
    // Frees entry i (the list never shrinks); nothing for an index not below the count.
    virtual void RemoveCreateListener(std::uint32_t index);
    virtual std::uint32_t AddRemoveListener(ResourceListener listener);
    virtual void RemoveRemoveListener(std::uint32_t index);
    // Makes a new resource of the manager's type: manager = this, the name, group = the type
    // name, handle = NextHandle (); count 1, not loaded. Null when it cannot.
    virtual CResource* CreateImpl(std::string_view name, std::string_view source) = 0;
    // Takes the resource out of its group, the handle map and the name map (removal listeners
    // told, name lock held).
    virtual void RemoveFromMaps(CResource* resource);
    // Enters a resource into the name map and, unless its name is taken (logged), the handle
    // map (a taken handle is logged too); then tells the creation listeners. Nothing for null.
    virtual void Add(CResource* resource);

    // Handles count up from 0.
    std::uint32_t NextHandle() { return nextHandle_.fetch_add(1, std::memory_order_relaxed); }
    // The smallest n from 0 for which no resource is named MakeIndexedName (name, n)
    // (PathUtils.h); -1 for an empty name.
    std::int32_t GetUniqueNameIndex(std::string_view name);

    // "uninitialised" until the subclass registers its type.
    const std::string& GetTypeName() const { return typeName_; }
    // The directory LoadFromBasePath joins names to (set at start-up).
    const std::string& GetBasePath() const { return basePath_; }
    void SetBasePath(std::string_view path) { basePath_ = path; }

    // The map locks, for callers that walk the maps or hold them across several calls. Each
    // Lock needs its Unlock; the locks are re-entrant.
    void LockNameMap() { nameLock_.Enter(); }
    void UnlockNameMap() { nameLock_.Leave(); }
    void LockHandleMap() { handleLock_.Enter(); }
    void UnlockHandleMap() { handleLock_.Leave(); }
    // The manager's own lock section, free for the subclass and its callers (the action manager
    // holds it around each action file read).
    locksection& GetManagerLock() { return managerLock_; }
    // Calls fn (name, resource) for every active resource in the name map's iteration order,
    // which does not change while the map does not; stops early when fn answers false. Holds
    // the name lock throughout.
    void ForEachActive(const std::function<bool(const std::string&, CResource*)>& fn);

    // Shared references (used through the skeleton manager). The resource of the name with
    // one more reference; null when there is none.
    CResource* AcquireByName(std::string_view name);
    // Drops the field's reference; when only the owning manager then holds the resource, it is
    // removed and deleted (after OnLastSharedRelease). The field becomes null.
    void ReleaseShared(CResource*& field);
    // Releases the field, then fills it with AcquireByName (name); an empty name leaves it null.
    void ReplaceShared(CResource*& field, std::string_view name);
    template <class Holder>
    void ReleaseShared(Holder*& field) {
        CResource* resource = field;
        ReleaseShared(resource);
        field = nullptr;
    }
    template <class Holder>
    void ReplaceShared(Holder*& field, std::string_view name) {
        CResource* resource = field;
        ReplaceShared(resource, name);
        field = static_cast<Holder*>(resource);
    }

protected:
    // Sets the type name and registers the manager under it with the group registry of Globals
    // (nothing to register with while Globals has none). Host thread, from the constructor.
    void RegisterType(const char* typeName);
    // Removes the registration when this manager is the one registered under its type name.
    void UnregisterType();
    // Takes the resource out of the maps (RemoveFromMaps), unloads and deletes it, whatever its
    // reference count: for a subclass's RemoveAll that sweeps only part of the maps.
    void DestroyResource(CResource* resource);
    // Called by ReleaseShared before it removes a resource that only the manager still holds,
    // so that users of the resource can forget it. Nothing in the base.
    virtual void OnLastSharedRelease(CResource* resource);

private:
    // Load (name) of every name; answers how many loaded successfully.
    std::uint32_t LoadEach(const std::vector<std::string>& names);
    // Appends the report lines; `withType` gives the file report's entry format.
    void WriteReport(const std::function<void(const char*)>& write, bool withType);
    // Purge and UnloadGarbage: `deleteUnused` tells whether an unreferenced entry is deleted
    // or only unloaded.
    std::uint32_t ReleaseGarbage(bool deleteUnused);
    void TakeBackFromGarbage(CResource* resource);
    void TellListeners(const std::vector<ResourceListener>& listeners, const CResource* resource);

    std::string typeName_ = "uninitialised";
    std::string basePath_;
    std::atomic<std::uint32_t> activeBytes_{0};
    std::atomic<std::uint32_t> garbageBytes_{0};
    std::atomic<std::uint32_t> nextHandle_{0};
    std::unordered_map<std::string, CResource*> nameMap_;
    locksection nameLock_;
    std::map<std::uint32_t, CResource*> handleMap_;
    locksection handleLock_;
    std::list<CResource*> garbage_;
    locksection garbageLock_;
    std::unique_ptr<IResList_Impl> lastActiveList_;
    std::unique_ptr<IResList_Impl> lastGarbageList_;
    // Guarded by the name lock; a null entry is a free slot.
    std::vector<ResourceListener> createListeners_;
    std::vector<ResourceListener> removeListeners_;
    locksection managerLock_;
};

}  // namespace Zel
