// The model loading task (type 3): makes the scene object of a model file on loading thread 0
// and hands its host interface to the caller's slot on the host's thread. An empty name makes an
// empty entity after one step. Steps: begin (kind), main (make and load), sub-task (nothing left
// to step: the geometry's material libraries load with it), end (host interface), done.
#pragma once

#include "Core/itask.h"
#include "Thread/CreationRecords.h"

namespace Zel {

class Entity;

class model_loader final : public itask {
public:
    std::int32_t GetType() const override { return kModelLoadTaskType; }
    const char* GetName() const override { return "model_loader"; }
    // Clears the record and forgets the model without releasing it: a finished model belongs to
    // the host, a failed one was released by the step that failed.
    void Reset() override;
    // The record is a ModelLoadTaskParameter.
    void SetParameter(const void* parameter) override;
    // Empty name: an empty entity, then done. Otherwise the file kind; 15 for none.
    std::int32_t OnTaskBegin() override;
    // Makes and loads the object; 15 (reported) for the character kinds and for a file that does
    // not load, the object then released.
    std::int32_t OnTask() override;
    std::int32_t OnSubTask() override { return 1; }
    // Takes the model's host interface; 15 without a model.
    std::int32_t OnTaskEnd() override;
    // Detaches a host interface taken already: the caller never sees it.
    void OnTaskCancel() override;
    std::int32_t Abort() override {
        OnTaskCancel();
        return 1;
    }
    // Host thread: writes the interface into the caller's slot when all went well.
    void OnComplete() override;
    // 3, 4, 5, 6, then done; a failure or an empty entity ends at once.
    std::int32_t OnMainThread(std::int32_t state) override;

    Entity* GetModel() const { return model_; }

private:
    ModelLoadTaskParameter parameter_;
    Entity* model_ = nullptr;            // registered in the scene; the host's once handed out
    ZelI::IModel* interface_ = nullptr;  // the model's wrapper; not owned
    bool emptyEntity_ = false;
    std::int32_t kind_ = -1;
};

}  // namespace Zel
