// One bone of a skeleton as the host walks it. Bone interfaces handed out are wrappers the host
// gives back with IObject::Release. Host thread.
#pragma once

#include <cstdint>

#include "Interface/IObject.h"

namespace ZelI {

class IBone : public IObject {
public:
    // The bone's name (32 bytes, zero-terminated), owned by the bone.
    virtual const char* GetName() = 0;
    // The bone's position in its skeleton's bone table.
    virtual std::int32_t GetIndex() = 0;
    // Null for a root bone.
    virtual IBone* GetParent() = 0;
    virtual std::uint32_t GetChildCount() = 0;
    // The caller keeps index below GetChildCount.
    virtual IBone* GetChild(std::uint32_t index) = 0;

protected:
    ~IBone() override = default;
};

}  // namespace ZelI
