// The model loading task (type 3): makes the scene object of a model file on loading thread 0
// and hands its host interface to the caller's slot on the host's thread. An empty name makes an
// empty entity after one step. Steps: begin (kind), main (make and load the geometry, one
// material-library child per library it names), sub-task (one step of the current child a
// cycle), end (build the object, host interface), done.
#pragma once

#include <memory>
#include <vector>

#include "Core/itask.h"
#include "Thread/CreationRecords.h"

namespace Zel {

class Entity;
class LoadMaterialTask;
class Material;

class model_loader final : public itask {
public:
    std::int32_t GetType() const override { return kModelLoadTaskType; }
    const char* GetName() const override { return "model_loader"; }
    // Clears the record and forgets the model without releasing it: a finished model belongs to
    // the host, a failed one was released by the step that failed.
    void Reset() override;
    model_loader();
    ~model_loader() override;
    // The record is a ModelLoadTaskParameter.
    void SetParameter(const void* parameter) override;
    // Empty name: an empty entity, then done. Otherwise the file kind; 15 for none.
    std::int32_t OnTaskBegin() override;
    // Makes the object and loads its geometry; 15 (reported) for the character kinds and for a
    // file that does not load, the object then released. One material-library child per
    // library the geometry names; the sub-task count is their number.
    std::int32_t OnTask() override;
    // One step of the current child; a child that reaches its end counts the sub-tasks down and
    // the next one becomes current. A failing child fails the loader with 14: the object, never
    // handed out, is released at once with the references the children collected.
    std::int32_t OnSubTask() override;
    // Builds the object from its geometry and takes its host interface; 15 without a model.
    // The references the children collected are given back.
    std::int32_t OnTaskEnd() override;
    // Detaches a host interface taken already and releases the model from the scene with the
    // references the children collected: the caller never sees it.
    void OnTaskCancel() override;
    std::int32_t Abort() override {
        OnTaskCancel();
        return 1;
    }
    // Host thread: writes the interface into the caller's slot when all went well.
    void OnComplete() override;
    // 3, 4, 5 (advancing the current child while sub-tasks remain), 6, then done; a failure or
    // an empty entity ends at once.
    std::int32_t OnMainThread(std::int32_t state) override;

    Entity* GetModel() const { return model_; }

private:
    void ReleaseCollected();
    // The model leaves the scene's registry back to its factory; the collected references go.
    void ReleaseModel();
    void DeleteChildren();

    ModelLoadTaskParameter parameter_;
    Entity* model_ = nullptr;            // registered in the scene; the host's once handed out
    ZelI::IModel* interface_ = nullptr;  // the model's wrapper; not owned
    bool emptyEntity_ = false;
    std::int32_t kind_ = -1;
    std::vector<std::unique_ptr<LoadMaterialTask>> materialTasks_;
    std::size_t subtaskIndex_ = 0;      // the child being stepped
    std::vector<Material*> collected_;  // one reference each, given back at the end
};

}  // namespace Zel
