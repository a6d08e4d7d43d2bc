// The base of every loadable, shared asset (XML documents, geometry, materials, images, GPU
// programs, effects, actions, animations, skeletons). A resource is named by the path it was
// requested under (normalised), counted by references, owned by one CResourceManager and carries
// what that manager needs for its collect and purge steps: the load path, a handle, its size in
// bytes and a word of state flags. The base fixes the load and unload sequence; subclasses read
// (LoadImpl), free (UnloadImpl) and report their size (GetSize).
//
// Ownership: the count starts at 1, the creating manager's own reference. Users raise and lower
// the count (SharedPtr); only the manager deletes a resource (Remove, Purge, RemoveAll), always
// after Unload.
//
// Threads: the base takes no lock. Loads run on the host's thread or on the worker inside a task
// step; the reference held during a load keeps the manager's collect step (which takes only
// resources whose count is exactly 1) away. Flags and size are atomic words.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "Core/Object.h"
#include "Core/RefCountedObj.h"

namespace Zel {

class CResourceManager;
class IZelStream;

class CResource : public Object, public RefCountedObj {
public:
    enum Flag : std::uint32_t {
        kLoaded = 1u << 0,
        kAuxiliary = 1u << 1,
        kConstructed = 1u << 2,
        kInGarbage = 1u << 3,
        kLoadSucceeded = 1u << 4,
    };

    // Count 1, not loaded, flags = kConstructed. The name is stored through NormalizePath. A
    // null manager is never told anything.
    CResource(CResourceManager* manager, std::string_view name, std::string_view group,
              std::uint32_t handle);
    ~CResource() override;

    std::uint32_t GetClassId() const override { return ClassId::CResource; }
    const char* GetClassName() const override { return GetRegisteredClassName(ClassId::CResource); }
    // The load sequence with LoadFromArgument (stream). Nothing while loaded.
    virtual void Load(const std::string& path, IZelStream* stream);
    // The load sequence with LoadImpl: while not loaded, stores the path, loads, marks the
    // resource loaded whatever the result (a failed resource is not tried again until it is
    // unloaded), records the result as kLoadSucceeded, stores GetSize, tells the manager and
    // LogLoadResult.
    virtual void Load(const std::string& path);
    // While loaded: tells the manager (which lowers its garbage or active byte count by the
    // size), UnloadImpl, clears kLoaded and kLoadSucceeded, size 0.
    virtual void Unload();
    // Load (the stored load path) when not loaded; nothing when loaded.
    virtual void Reload();
    // A hook without arguments; does nothing in the base.
    virtual void LogResourceName();
    // Called at the end of every load with its result; subclasses log success or failure. The
    // base logs nothing.
    virtual void LogLoadResult(bool ok);
    // The bytes accounted to the manager.
    virtual std::uint32_t GetSize() = 0;
    virtual void SetLoaded(bool on);
    virtual void SetLoadSucceeded(bool on);
    virtual void SetConstructedFlag(bool on);
    // Loads from an open stream; the base cannot and answers false.
    virtual bool LoadFromArgument(IZelStream* stream);
    // Reads the resource from its load path; answers success.
    virtual bool LoadImpl() = 0;
    // Frees what LoadImpl made.
    virtual void UnloadImpl() = 0;
    virtual void SetAuxiliaryFlag(bool on);
    virtual void SetInGarbage(bool on);

    const std::string& GetName() const { return name_; }
    const std::string& GetGroup() const { return group_; }
    const std::string& GetLoadPath() const { return loadPath_; }
    std::uint32_t GetHandle() const { return handle_; }
    CResourceManager* GetManager() const { return manager_; }
    std::uint32_t GetSizeField() const { return size_.load(std::memory_order_relaxed); }
    std::uint32_t GetFlags() const { return flags_.load(std::memory_order_acquire); }
    bool IsLoaded() const { return (GetFlags() & kLoaded) != 0; }
    bool IsLoadSucceeded() const { return (GetFlags() & kLoadSucceeded) != 0; }
    bool IsInGarbage() const { return (GetFlags() & kInGarbage) != 0; }
    // The third word of the chunk header a binary reader found the resource in; kept for the
    // readers, read by nothing else.
    std::uint32_t GetResourceWord() const { return resourceWord_; }
    void SetResourceWord(std::uint32_t word) { resourceWord_ = word; }

protected:
    // For subclasses with a load road of their own (outside Load), which records its path, and
    // for those that free bytes while loaded, which keep the size field equal to what the manager
    // counts. Neither tells the manager.
    void SetLoadPath(const std::string& path) { loadPath_ = path; }
    void SetSizeField(std::uint32_t size) { size_.store(size, std::memory_order_relaxed); }

private:
    // Steps 2-8 of both loads: `load` is LoadImpl or LoadFromArgument.
    template <class LoadStep>
    void RunLoad(const std::string& path, LoadStep load);
    void SetFlag(Flag flag, bool on);

    CResourceManager* manager_;
    std::string name_;
    std::string group_;
    std::string loadPath_;
    std::uint32_t handle_;
    std::atomic<std::uint32_t> size_{0};
    std::atomic<std::uint32_t> flags_{0};
    std::uint32_t resourceWord_ = 0;
};

}  // namespace Zel
