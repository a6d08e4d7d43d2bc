// The release task (type 13): carries out the host's release of an interface wrapper on loading
// thread 0. Queued mode creates it from the wrapper's release and runs it at once; its one step
// unbinds the wrapper exactly as a direct-mode release does. It never reaches OnComplete.
#pragma once

#include "Core/itask.h"

namespace ZelI {
class IObject;
}

namespace Zel {

// Carries out the host's release of one interface: logs (type 13) when the object is missing or
// not a library wrapper; a wrapper that is still bound is detached.
void ReleaseHostObject(ZelI::IObject* object);

class release_obj_task final : public itask {
public:
    static constexpr std::int32_t kType = 13;

    std::int32_t GetType() const override { return kType; }
    const char* GetName() const override { return "release_obj_task"; }
    void Reset() override;
    // The record is the address of one wrapper pointer (ZelI::IObject*); the pointer is copied,
    // so the caller's variable need not outlive the call. Null copies nothing.
    void SetParameter(const void* parameter) override;
    // ReleaseHostObject. Always answers 1: a release has nothing to fail.
    std::int32_t OnTaskBegin() override;

    ZelI::IObject* GetObject() const { return object_; }

private:
    ZelI::IObject* object_ = nullptr;  // the wrapper to release; not owned
};

}  // namespace Zel
