// The factory of the host interface's task classes, and the recording stand-in that serves a
// type whose class is not built yet: each of its steps only records its state in the task
// (GetStepsRun) and succeeds, so that queued calls and the worker's lock-step can be driven end
// to end.
//
// Threads: steps on loading thread 0 under the main lock; OnMainThread and Advance on the host's
// thread inside the pump (itask.h).
#pragma once

#include <cstdint>
#include <vector>

#include "Core/itask.h"

namespace Zel {

// A one-step task whose steps record the state they ran in and succeed. The record is cleared
// by Reset.
class StandInTask : public itask {
public:
    StandInTask(std::int32_t type, const char* name) : type_(type), name_(name) {}

    std::int32_t GetType() const override { return type_; }
    const char* GetName() const override { return name_; }
    void Reset() override;
    std::int32_t OnTaskBegin() override { return Record(kBegin); }
    std::int32_t OnTask() override { return Record(kMain); }
    std::int32_t OnSubTask() override { return Record(kSubTask); }
    std::int32_t OnTaskEnd() override { return Record(kEnd); }
    void OnTaskCancel() override { Record(kCancelling); }

    // The states whose steps ran, in order.
    const std::vector<std::int32_t>& GetStepsRun() const { return stepsRun_; }

private:
    std::int32_t Record(std::int32_t state) {
        stepsRun_.push_back(state);
        return 1;
    }

    std::int32_t type_;
    const char* name_;
    std::vector<std::int32_t> stepsRun_;
};

// The factory the host interface installs: a new task of the class of the type in its initial
// state, for types 0-14, 16, 17 and 19-21. Any other type (15 has no class; 18, the material
// library load, is built only by its parents) is reported, shown in a message box, and answers
// null. The caller owns the task (the worker's recycler keeps it).
itask* CreateHostTask(std::int32_t type);
// Installs CreateHostTask as the task factory. Library load; calling it again changes nothing.
void InstallHostTaskFactory();

}  // namespace Zel
