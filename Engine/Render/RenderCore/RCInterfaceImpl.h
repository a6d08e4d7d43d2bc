// The wrapper side of the host interface. Every wrapper class (name ending in "ImplRC") derives
// from its host interface IX, from RecycledObject and from RCInterfaceImpl<X>, where X is the
// implementation class it binds. Wrappers live in one pool per wrapper class (WrapperPool<W>,
// filled when the library is loaded, never shrunk before unload), are bound to an object by the
// object's RCInterfaceCarrier and go back to their pool when the host releases them or when the
// object goes away.
//
// The implementation pointer a wrapper shows through IObject::SetImpl and IObject::GetImpl is
// the object's carrier (RCInterfaceCarrier<IX>*); UnwrapInterface turns an interface argument
// back into an object of a wanted class, null when it is of another kind or not bound.
//
// Threads: binding and release run on the host's thread or in tasks under the main lock; each
// pool takes its own lock around its list operations.
#pragma once

#include <cstdint>
#include <type_traits>
#include <utility>

#include "Core/CObjectPool.h"
#include "Core/QueueMode.h"
#include "Core/RCInterfaceCarrier.h"
#include "Core/RecycledObject.h"
#include "Core/locksection.h"
#include "Core/threadio.h"
#include "Core/threadmng.h"
#include "Interface/IObject.h"

namespace Zel {

// The carrier base of an implementation class X (deduced; X has exactly one).
template <class IX>
IX* CarrierInterfaceOf(RCInterfaceCarrier<IX>*);
template <class X>
using CarrierInterface = std::remove_pointer_t<decltype(CarrierInterfaceOf(std::declval<X*>()))>;
template <class X>
using CarrierOf = RCInterfaceCarrier<CarrierInterface<X>>;

// The pool of one wrapper class and its lock. Capacity 4 at first, growing by half.
template <class W>
class WrapperPool {
public:
    static WrapperPool& Get() {
        static WrapperPool pool;
        return pool;
    }

    // A free wrapper (unbound); null only when memory runs out.
    W* Acquire() {
        lock_.Enter();
        W* wrapper = pool_.Acquire();
        lock_.Leave();
        return wrapper;
    }
    // Back to the free list; a wrapper that is not in use here is ignored.
    void Release(W* wrapper) {
        lock_.Enter();
        pool_.Release(wrapper);
        lock_.Leave();
    }
    // The pool itself, for the light proxy's listing and for tests; hold Lock() around its use.
    CObjectPool<W>& Objects() { return pool_; }
    locksection& Lock() { return lock_; }

private:
    WrapperPool() = default;

    locksection lock_;
    CObjectPool<W> pool_{4, 1.5f, -1};
};

template <class X>
class RCInterfaceImpl : public RCBinding {
public:
    RCInterfaceImpl() = default;
    // A wrapper deleted while bound (only at unload) clears its object's back-pointer.
    virtual ~RCInterfaceImpl() {
        if (impl_)
            Carrier(impl_)->SetBoundInterface(nullptr, nullptr);
    }
    RCInterfaceImpl(const RCInterfaceImpl&) = delete;
    RCInterfaceImpl& operator=(const RCInterfaceImpl&) = delete;

    // Direct mode: Detach. Queued mode: a release task on loading thread 0, run at once; its
    // result is the answer (0 when no task could run, the wrapper then stays bound). A release
    // made under the main lock (inside a task step on loading thread 0, or a host call that
    // holds it) detaches directly: the worker needs that lock to run the task, so waiting for
    // it there would never end. An unbound wrapper stays as it is.
    virtual int Release() {
        if (!impl_)
            return 0;
        if (!IsQueueMode() || threadmng::GetInstance()->CallerHoldsMainLock()) {
            Detach();
            return 0;
        }
        return RunReleaseTask();
    }

    // Unbinds and recycles: clears the object's back-pointer, runs the kind's own step (while
    // the wrapper still points at the object), forgets the object, returns to the pool.
    void Detach() override {
        if (!impl_)
            return;
        Carrier(impl_)->SetBoundInterface(nullptr, nullptr);
        DetachStep(impl_);
        impl_ = nullptr;
        Recycle();
    }
    // Returns the wrapper to its own class's pool.
    virtual void Recycle() = 0;
    // Forgets the object and nothing else (the wrapper stays in use).
    virtual void ClearImpl() { impl_ = nullptr; }

    // Stores the object only; the object's back-pointer is the carrier's business.
    void SetImplObject(X* impl) { impl_ = impl; }
    X* GetImplObject() const { return impl_; }

    void OnOwnerGone() override {
        if (!impl_)
            return;
        impl_ = nullptr;
        Recycle();
    }

protected:
    // What the kind does to its object after the back-pointer is cleared (nothing by default).
    virtual void DetachStep(X* /*impl*/) {}
    // The interface pointer the release task is given: this wrapper as the host holds it.
    virtual ZelI::IObject* AsInterface() = 0;

    static CarrierOf<X>* Carrier(X* impl) { return impl; }

private:
    int RunReleaseTask() {
        void* wrapper = AsInterface();
        const std::uint32_t id = QueueReleaseTask(&wrapper);
        if (id == 0 || id == 0xFFFFFFFFu)
            return 0;
        threadio* worker = threadmng::GetInstance()->GetThread(0);
        return worker ? worker->SyncTask(id) : 0;
    }

    X* impl_ = nullptr;  // the bound object; not owned
};

// The four IObject operations of a wrapper class over RCInterfaceImpl<X>, with IX the host
// interface and W the concrete wrapper class (for its pool).
template <class IX, class X, class W>
class IObjectImplRC : public IX, public RecycledObject, public RCInterfaceImpl<X> {
public:
    using Impl = RCInterfaceImpl<X>;

    int Release() override { return Impl::Release(); }
    bool IsValid() override { return Impl::GetImplObject() != nullptr; }
    // impl is an RCInterfaceCarrier<...>* of the object (as GetImpl answers); another kind of
    // object, or null, leaves the wrapper unbound.
    void SetImpl(void* impl) override {
        auto* carrier = static_cast<CarrierOf<X>*>(impl);
        Impl::SetImplObject(carrier ? dynamic_cast<X*>(carrier) : nullptr);
    }
    void* GetImpl() override {
        X* impl = Impl::GetImplObject();
        return impl ? static_cast<CarrierOf<X>*>(impl) : nullptr;
    }
    void Recycle() override { WrapperPool<W>::Get().Release(static_cast<W*>(this)); }
    // Wrappers carry nothing to reset: binding sets everything they hold.
    void Reset() override {}

    // Binds a wrapper of class W from its pool to object and records it in the object's carrier;
    // null when the pool cannot give one.
    static W* Bind(X* object) {
        W* wrapper = WrapperPool<W>::Get().Acquire();
        if (!wrapper)
            return nullptr;
        CarrierOf<X>* carrier = object;
        carrier->SetBoundInterface(wrapper, wrapper);
        wrapper->SetImpl(carrier);
        return wrapper;
    }

protected:
    ZelI::IObject* AsInterface() override { return this; }
    X* Bound() const { return Impl::GetImplObject(); }
};

// The object behind an interface argument when it is a T; null for null, unbound or another
// kind.
template <class T, class IX = CarrierInterface<T>>
T* UnwrapInterface(ZelI::IObject* object) {
    if (!object)
        return nullptr;
    auto* carrier = static_cast<RCInterfaceCarrier<IX>*>(object->GetImpl());
    return carrier ? dynamic_cast<T*>(carrier) : nullptr;
}

}  // namespace Zel
