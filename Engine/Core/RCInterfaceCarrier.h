// The implementation side of the host's interface wrappers. An object that the library hands to
// the host derives from RCInterfaceCarrier<IX>: it keeps a back-pointer to the one wrapper bound
// to it, so that the host always meets the same object as the same wrapper while it is bound.
// The wrapper classes themselves (and their pools) belong to the host interface above this
// layer; they install a binder per interface that picks the wrapper class for an object's kind.
//
// An owner that destroys or recycles a carrier while a wrapper is still bound calls
// DetachInterface (the destructor does it too): the wrapper is unbound and goes back to its pool,
// so that the host's later calls through it reach no object.
//
// Threads: the back-pointer is read and written without a lock; callers are the host's thread
// and tasks running under the thread manager's main lock.
#pragma once

#include <string>

#include "Core/ErrorReport.h"

namespace Zel {

// What a bound wrapper offers the library beyond its host interface.
class RCBinding {
public:
    // The object is going away: forget it (without the wrapper's own release step) and return
    // to the pool.
    virtual void OnOwnerGone() = 0;
    // The host's release carried out: unbind with the kind's own release step and return to
    // the pool (the release task runs it). Nothing for an unbound wrapper.
    virtual void Detach() = 0;

protected:
    ~RCBinding() = default;
};

template <class IX>
class RCInterfaceCarrier {
public:
    // Binds a wrapper to the carrier and answers it; null when the carrier's kind has no
    // wrapper (or no binder is installed).
    using Binder = IX* (*)(RCInterfaceCarrier<IX>* carrier);

    RCInterfaceCarrier() = default;
    virtual ~RCInterfaceCarrier() { DetachInterface(); }
    RCInterfaceCarrier(const RCInterfaceCarrier&) = delete;
    RCInterfaceCarrier& operator=(const RCInterfaceCarrier&) = delete;

    // The wrapper of this object, binding one on the first request. Not owned by the caller: it
    // gives it back through IObject::Release.
    virtual IX* GetInterface() {
        if (interface_)
            return interface_;
        return binder_ ? binder_(this) : nullptr;
    }

    // The bound wrapper, null while none is bound.
    IX* GetBoundInterface() const { return interface_; }
    // Called by the wrapper side only: records (or, with nulls, forgets) the bound wrapper.
    void SetBoundInterface(IX* wrapper, RCBinding* binding) {
        interface_ = wrapper;
        binding_ = binding;
    }
    // Unbinds the bound wrapper, if any, and returns it to its pool.
    void DetachInterface() {
        RCBinding* binding = binding_;
        interface_ = nullptr;
        binding_ = nullptr;
        if (binding)
            binding->OnOwnerGone();
    }

    // Debug builds: an object that goes back to its pool must have no wrapper bound any more,
    // or the host could reach the object's next user through the old wrapper. Reports through
    // the assertion reporter; release builds check nothing.
    void CheckUnbound([[maybe_unused]] const char* sourceFile, [[maybe_unused]] int line,
                      [[maybe_unused]] const char* function) const {
#ifndef NDEBUG
        if (!interface_)
            return;
        std::string message;
        std::string location;
        FormatAssertMessage(message, location, sourceFile, line, function, "%s",
                            "interface wrapper still bound at reset");
        ReportAssert(message, location);
#endif
    }

    // Installs the binder of this interface (null removes it). Library load.
    static void SetBinder(Binder binder) {
        binder_ = binder;
    }

private:
    IX* interface_ = nullptr;       // the bound wrapper, not owned
    RCBinding* binding_ = nullptr;  // the same wrapper's library-side face
    static inline Binder binder_ = nullptr;
};

}  // namespace Zel
