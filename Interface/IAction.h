// A playable action (one animation clip bound to a skeleton). Action wrappers are handed out by
// channels and the shared action manager; the host gives them back with IObject::Release. A
// wrapper that is not bound answers 0 or null. Host thread.
#pragma once

#include <cstdint>

#include "Interface/IObject.h"

namespace ZelI {

class IAnimation;

class IAction : public IObject {
protected:
    ~IAction() override = default;

public:
    // The action's flag word.
    virtual std::uint32_t GetFlags() = 0;
    // Bone track i's playback state (wrapped); null past the end or for an empty entry.
    virtual IAnimation* GetPart(std::uint32_t index) = 0;
    // Seconds.
    virtual float GetLength() = 0;
    // Samples every track at the time the argument block gives; the block belongs to the caller.
    virtual void Sample(void* arguments) = 0;
};

}  // namespace ZelI
