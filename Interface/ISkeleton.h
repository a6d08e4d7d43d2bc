// A skeleton (a shared bone table) as the host walks it. Bone interfaces handed out are wrappers
// the host gives back with IObject::Release. Host thread.
#pragma once

#include <cstdint>

#include "Interface/IBone.h"

namespace ZelI {

class ISkeleton : public IObject {
public:
    // Null when the skeleton has no bone.
    virtual IBone* GetRootBone() = 0;
    virtual std::uint32_t GetBoneCount() = 0;
    // Null when no bone bears the name.
    virtual IBone* FindBone(const char* name) = 0;
    // Null for an empty entry; the caller keeps index below GetBoneCount.
    virtual IBone* GetBone(std::uint32_t index) = 0;

protected:
    ~ISkeleton() override = default;
};

}  // namespace ZelI
