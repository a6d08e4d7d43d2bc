// The host tool's proxies over the resource managers, the object factories, the light wrappers
// and the host's own effect manager, as the global environment hands them out. Each forwards to
// one manager that lives as long as Globals and is not owned; the proxy is deleted by Release.
// Host thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "Core/CObjectPool.h"
#include "Core/CResourceManager.h"
#include "Core/Factory.h"
#include "Core/IInsList_Impl.h"
#include "Core/IResList_Impl.h"
#include "Core/SectionGuard.h"
#include "Core/locksection.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Texture/TextureManager.h"
#include "Interface/IEffFactoryProxy.h"
#include "Interface/IInsFactoryProxy.h"
#include "Interface/IResMngProxy.h"
#include "Interface/ISpecialEffectManager.h"

namespace Zel {

// The host's effect manager as IRender holds it now; null when none is set.
ZelI::ISpecialEffectManager* CurrentSpecialEffectManager();

// A copy of a list the host's effect manager owns, so the proxy's list stays valid whatever the
// manager does with its own.
std::unique_ptr<IResList_Impl> CopyResList(const ZelI::IResList* list);
std::unique_ptr<IInsList_Impl> CopyInsList(const ZelI::IInsList* list);

// Over one CResourceManager subclass.
template <class Manager>
class IResMngProxy_Impl : public ZelI::IResMngProxy {
public:
    explicit IResMngProxy_Impl(Manager* manager) : manager_(manager) {}

    void Release() override { delete this; }
    void Enumerate(ZelI::IResVisitor* visitor) override {
        if (visitor)
            manager_->Enumerate(visitor);
    }
    bool Contains(const void* resource) override {
        return manager_->Contains(static_cast<const CResource*>(resource));
    }
    bool Exists(const char* name) override { return name && manager_->ExistsByName(name); }
    ZelI::IResList* GetResList() override { return manager_->GetActiveList(); }
    ZelI::IResList* GetGarbageList() override { return manager_->GetGarbageList(); }
    std::uint32_t AddCreateListener(ResourceListener listener) override {
        return manager_->AddCreateListener(listener);
    }
    void RemoveCreateListener(std::uint32_t index) override {
        manager_->RemoveCreateListener(index);
    }
    std::uint32_t AddRemoveListener(ResourceListener listener) override {
        return manager_->AddRemoveListener(listener);
    }
    void RemoveRemoveListener(std::uint32_t index) override {
        manager_->RemoveRemoveListener(index);
    }
    // Only a resource nobody else holds can go; one still referenced stays (false).
    bool Unload(const char* name) override {
        if (!name)
            return false;
        CResource* resource = manager_->GetByName(name);
        return resource && manager_->Remove(resource);
    }

protected:
    ~IResMngProxy_Impl() override = default;

private:
    Manager* manager_;
};

// The texture manager's textures (targets = false) or its render targets (targets = true).
template <bool Targets>
class TextureMngProxyBase : public ZelI::IResMngProxy {
public:
    explicit TextureMngProxyBase(TextureManager* manager) : manager_(manager) {}

    void Release() override { delete this; }
    void Enumerate(ZelI::IResVisitor* visitor) override {
        if (visitor)
            manager_->Enumerate(visitor);
    }
    bool Contains(const void* resource) override {
        if constexpr (Targets)
            return manager_->ContainsRenderTarget(resource);
        else
            return manager_->Contains(static_cast<const TextureBase*>(resource));
    }
    bool Exists(const char* name) override {
        if (!name)
            return false;
        if constexpr (Targets)
            return manager_->FindRenderTargetByName(name) != nullptr;
        else
            return manager_->FindByName(name) != nullptr;
    }
    ZelI::IResList* GetResList() override {
        if constexpr (Targets)
            return manager_->GetRenderTargetResList();
        else
            return manager_->GetResList();
    }
    ZelI::IResList* GetGarbageList() override { return nullptr; }
    std::uint32_t AddCreateListener(ResourceListener listener) override {
        return manager_->AddListener(kFirstList, listener);
    }
    void RemoveCreateListener(std::uint32_t index) override {
        manager_->RemoveListener(kFirstList, index);
    }
    std::uint32_t AddRemoveListener(ResourceListener listener) override {
        return manager_->AddListener(kFirstList + 1, listener);
    }
    void RemoveRemoveListener(std::uint32_t index) override {
        manager_->RemoveListener(kFirstList + 1, index);
    }
    bool Unload(const char* name) override {
        if constexpr (Targets) {
            (void)name;
            return false;
        } else {
            TextureBase* texture = name ? manager_->FindByName(name) : nullptr;
            return texture && manager_->ForceRemove(texture);
        }
    }

protected:
    ~TextureMngProxyBase() override = default;

private:
    // The texture manager's listener lists 1 and 2 serve textures, 3 and 4 render targets.
    static constexpr int kFirstList = Targets ? 3 : 1;
    TextureManager* manager_;
};

template <>
class IResMngProxy_Impl<TextureManager> : public TextureMngProxyBase<false> {
public:
    using TextureMngProxyBase<false>::TextureMngProxyBase;
};

template <class Manager>
class IRenderTargetMngProxy_Impl;

template <>
class IRenderTargetMngProxy_Impl<TextureManager> : public TextureMngProxyBase<true> {
public:
    using TextureMngProxyBase<true>::TextureMngProxyBase;
};

// Over the host's effect manager, read from IRender at every call: answers nothing while no
// manager is set, and never reaches one the host has replaced.
template <class Manager>
class IEffMngProxy_Impl : public ZelI::IResMngProxy {
public:
    IEffMngProxy_Impl() = default;

    void Release() override { delete this; }
    void Enumerate(ZelI::IResVisitor*) override {}
    bool Contains(const void* resource) override {
        Manager* manager = CurrentSpecialEffectManager();
        return manager && manager->ContainsEffect(resource);
    }
    bool Exists(const char* name) override {
        Manager* manager = CurrentSpecialEffectManager();
        return manager && name && manager->HasEffect(name);
    }
    ZelI::IResList* GetResList() override {
        Manager* manager = CurrentSpecialEffectManager();
        if (!manager) {
            list_.reset();
            return nullptr;
        }
        list_ = CopyResList(manager->GetEffectResList());
        return list_.get();
    }
    ZelI::IResList* GetGarbageList() override { return nullptr; }
    std::uint32_t AddCreateListener(ResourceListener listener) override {
        Manager* manager = CurrentSpecialEffectManager();
        return manager ? manager->AddCreateListener(AsEffectListener(listener)) : 0;
    }
    void RemoveCreateListener(std::uint32_t index) override {
        if (Manager* manager = CurrentSpecialEffectManager())
            manager->RemoveCreateListener(index);
    }
    std::uint32_t AddRemoveListener(ResourceListener listener) override {
        Manager* manager = CurrentSpecialEffectManager();
        return manager ? manager->AddReleaseListener(AsEffectListener(listener)) : 0;
    }
    void RemoveRemoveListener(std::uint32_t index) override {
        if (Manager* manager = CurrentSpecialEffectManager())
            manager->RemoveReleaseListener(index);
    }
    bool Unload(const char*) override { return false; }

private:
    using EffectListener = void (*)(void*, std::uint32_t);
    // The host's manager calls its listeners with the effect; the host registered them through
    // this proxy knowing so, whatever the interface's common listener type says.
    static EffectListener AsEffectListener(ResourceListener listener) {
        return reinterpret_cast<EffectListener>(listener);
    }

protected:
    ~IEffMngProxy_Impl() override = default;

private:
    std::unique_ptr<IResList_Impl> list_;
};

template <class Manager>
class IEffFactoryProxy_Impl : public ZelI::IEffFactoryProxy {
public:
    IEffFactoryProxy_Impl() = default;

    void Release() override { delete this; }
    bool IsInUse(const void* instance) override {
        Manager* manager = CurrentSpecialEffectManager();
        return manager && manager->IsInstanceInUse(instance);
    }
    ZelI::IInsList* GetInUseList() override { return Refill(true, inUse_); }
    ZelI::IInsList* GetFreeList() override { return Refill(false, free_); }
    void Enumerate(ZelI::IResVisitor* visitor) override {
        Manager* manager = CurrentSpecialEffectManager();
        if (manager && visitor)
            manager->EnumerateEffects(visitor);
    }
    std::uint32_t AddListener(std::int32_t list, InstanceListener listener) override {
        Manager* manager = CurrentSpecialEffectManager();
        return manager ? manager->AddInstanceListener(list, listener) : 0;
    }
    void RemoveListener(std::int32_t list, std::uint32_t index) override {
        if (Manager* manager = CurrentSpecialEffectManager())
            manager->RemoveInstanceListener(list, index);
    }
    std::uint32_t AddDestroyListener(InstanceListener listener) override {
        Manager* manager = CurrentSpecialEffectManager();
        return manager ? manager->AddDestroyListener(listener) : 0;
    }
    void RemoveDestroyListener(std::uint32_t index) override {
        if (Manager* manager = CurrentSpecialEffectManager())
            manager->RemoveDestroyListener(index);
    }
    std::uint32_t CollectUnused() override {
        Manager* manager = CurrentSpecialEffectManager();
        return manager ? manager->CollectUnusedInstances() : 0;
    }

protected:
    ~IEffFactoryProxy_Impl() override = default;

private:
    ZelI::IInsList* Refill(bool inUse, std::unique_ptr<IInsList_Impl>& slot) {
        Manager* manager = CurrentSpecialEffectManager();
        slot = manager ? CopyInsList(manager->GetInstanceList(inUse)) : nullptr;
        return slot.get();
    }
    std::unique_ptr<IInsList_Impl> inUse_;
    std::unique_ptr<IInsList_Impl> free_;
};

// Over a pool behind a lock: the pool is only touched with the lock held, so a loading task that
// acquires or releases at the same moment cannot change the lists under the proxy.
template <class T>
class PoolProxyBase : public ZelI::IInsFactoryProxy {
public:
    PoolProxyBase(CObjectPool<T>& pool, locksection& lock) : pool_(pool), lock_(lock) {}

    void Release() override { delete this; }
    bool IsInUse(const void* instance) override {
        SectionGuard guard(lock_);
        return pool_.IsInUse(static_cast<const T*>(instance));
    }
    ZelI::IInsList* GetInUseList() override {
        SectionGuard guard(lock_);
        return pool_.GetInUseList();
    }
    ZelI::IInsList* GetFreeList() override {
        SectionGuard guard(lock_);
        return pool_.GetFreeList();
    }
    std::uint32_t AddAcquireListener(InstanceListener listener) override {
        return Add(POOL_LISTENER_ACQUIRE, listener);
    }
    void RemoveAcquireListener(std::uint32_t index) override {
        Remove(POOL_LISTENER_ACQUIRE, index);
    }
    std::uint32_t AddReleaseListener(InstanceListener listener) override {
        return Add(POOL_LISTENER_RELEASE, listener);
    }
    void RemoveReleaseListener(std::uint32_t index) override {
        Remove(POOL_LISTENER_RELEASE, index);
    }
    std::uint32_t AddDestroyListener(InstanceListener listener) override {
        return Add(POOL_LISTENER_DESTROY, listener);
    }
    void RemoveDestroyListener(std::uint32_t index) override {
        Remove(POOL_LISTENER_DESTROY, index);
    }

protected:
    ~PoolProxyBase() override = default;

private:
    std::uint32_t Add(PoolListenerKind kind, InstanceListener listener) {
        SectionGuard guard(lock_);
        return pool_.AddListener(kind, listener);
    }
    void Remove(PoolListenerKind kind, std::uint32_t index) {
        SectionGuard guard(lock_);
        pool_.RemoveListener(kind, index);
    }
    CObjectPool<T>& pool_;
    locksection& lock_;
};

// Over one Globals factory.
template <class FactoryType>
class IInsFactoryProxy_Impl;

template <class T>
class IInsFactoryProxy_Impl<Factory<T>> : public PoolProxyBase<T> {
public:
    explicit IInsFactoryProxy_Impl(Factory<T>* factory)
        : PoolProxyBase<T>(factory->GetPool(), factory->GetLock()) {}
};

// The scene manager's own registry of cameras and lights: no free list, and its second listener
// list stands where the pools keep their destroy listeners.
template <>
class IInsFactoryProxy_Impl<SceneManager> : public ZelI::IInsFactoryProxy {
public:
    explicit IInsFactoryProxy_Impl(SceneManager* scene) : scene_(scene) {}

    void Release() override { delete this; }
    bool IsInUse(const void* instance) override { return scene_->Contains(instance); }
    ZelI::IInsList* GetInUseList() override { return scene_->GetInsList(); }
    ZelI::IInsList* GetFreeList() override { return nullptr; }
    std::uint32_t AddAcquireListener(InstanceListener listener) override {
        return scene_->AddListener(listener);
    }
    void RemoveAcquireListener(std::uint32_t index) override { scene_->RemoveListener(index); }
    std::uint32_t AddReleaseListener(InstanceListener) override { return kNoSlot; }
    void RemoveReleaseListener(std::uint32_t) override {}
    std::uint32_t AddDestroyListener(InstanceListener listener) override {
        return scene_->AddListener2(listener);
    }
    void RemoveDestroyListener(std::uint32_t index) override { scene_->RemoveListener2(index); }

    static constexpr std::uint32_t kNoSlot = 0xFFFFFFFFu;

protected:
    ~IInsFactoryProxy_Impl() override = default;

private:
    SceneManager* scene_;
};

}  // namespace Zel
