// The level loading task (type 0): loads a level made beforehand on loading thread 0 and writes
// its host interface (null on failure) into the caller's slot from the worker, in one step.
#pragma once

#include "Core/itask.h"
#include "Entity/Scene/Level.h"

namespace Zel {

class level_loader final : public itask {
public:
    std::int32_t GetType() const override { return kLevelLoadTaskType; }
    const char* GetName() const override { return "level_loader"; }
    void Reset() override;
    // The record is a LevelLoadTaskParameter.
    void SetParameter(const void* parameter) override;
    // 11 without a level; 12 when the file does not load (the slot then gets null).
    std::int32_t OnTaskBegin() override;
    // A cancelled load detaches the interface it wrote, as the actor loader does.
    void OnTaskCancel() override;

private:
    LevelLoadTaskParameter parameter_;
    ZelI::ILevel* interface_ = nullptr;  // the level's wrapper; not owned
};

}  // namespace Zel
