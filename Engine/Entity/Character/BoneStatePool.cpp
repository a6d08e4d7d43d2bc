#include "Entity/Character/BoneStatePool.h"

#include "Core/SectionGuard.h"
#include "Entity/Character/BoneState.h"

namespace Zel {

BoneStatePool::~BoneStatePool() {
    for (BoneState* state : free_) delete state;
}

BoneState* BoneStatePool::Acquire() {
    SectionGuard guard(lock_);
    if (free_.empty()) {
        ++created_;
        return new BoneState();
    }
    BoneState* state = free_.front();
    free_.pop_front();
    return state;
}

void BoneStatePool::Release(BoneState* state) {
    if (!state)
        return;
    SectionGuard guard(lock_);
    state->Reset();
    free_.push_back(state);
}

std::uint32_t BoneStatePool::GetCreatedCount() {
    SectionGuard guard(lock_);
    return created_;
}

std::uint32_t BoneStatePool::GetFreeCount() {
    SectionGuard guard(lock_);
    return static_cast<std::uint32_t>(free_.size());
}

}  // namespace Zel
