// The pool of bone states shared by the skinned models, a free list under its own lock section.
// Globals builds it empty.
#pragma once

#include "Core/locksection.h"

namespace Zel {

class BoneStatePool {
public:
    BoneStatePool() = default;
    virtual ~BoneStatePool() = default;
    BoneStatePool(const BoneStatePool&) = delete;
    BoneStatePool& operator=(const BoneStatePool&) = delete;

    locksection& GetLock() { return lock_; }

private:
    locksection lock_;
};

}  // namespace Zel
