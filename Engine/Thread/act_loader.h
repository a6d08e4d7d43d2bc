// The action loading task (type 2): makes the action of an action-tree id resident for a model
// on loading thread 0, in one step, so that the host's later use finds it loaded.
#pragma once

#include "Core/itask.h"
#include "Thread/CreationRecords.h"

namespace Zel {

class act_loader final : public itask {
public:
    std::int32_t GetType() const override { return kActionLoadTaskType; }
    const char* GetName() const override { return "act_loader"; }
    void Reset() override;
    // The record is an ActionLoadTaskParameter.
    void SetParameter(const void* parameter) override;
    // 16 without a model or when the tree has no action of the id.
    std::int32_t OnTaskBegin() override;

private:
    ActionLoadTaskParameter parameter_;
};

}  // namespace Zel
