// The special-effect tasks: loading an effect through the host's effect manager (type 19), which
// fans out into material-library and model children and billboard look-ups stepped inside the
// one task, and unloading one (types 20 plain and 21 deep), which releases what the manager lists.
// The manager is called on loading thread 0 under the main lock.
#pragma once

#include <memory>
#include <vector>

#include "Interface/ISpecialEffectManager.h"
#include "Thread/CreationRecords.h"
#include "Thread/TaskPatterns.h"

namespace Zel {

class Material;

class EffectLoadingTask : public SubTaskParentTask {
public:
    static constexpr std::int32_t kRefused = 26;

    EffectLoadingTask();
    ~EffectLoadingTask() override;

    std::int32_t GetType() const override { return kEffectLoadTaskType; }
    const char* GetName() const override { return "EffectLoadingTask"; }
    // Drops the request, the children and the references the children collected.
    void Reset() override;
    // The record is an EffectLoadTaskParameter.
    void SetParameter(const void* parameter) override;
    // Readies the request: the effect name, and where the manager stores the effect.
    std::int32_t OnTaskBegin() override;
    // The manager's load; 26 without a manager or when it makes no effect. Then one material
    // child per library the request names and one model child per model.
    std::int32_t OnTask() override;
    // One step of a child a cycle: the material children first, then the material entries are
    // served, then the model children; with no child left the billboard entries are served
    // and the step is done.
    std::int32_t OnSubTask() override;
    // Gives back the references the material children collected; deletes the children.
    std::int32_t OnTaskEnd() override;
    // Host thread: completes the effect with the manager and stores it into the caller's slot.
    void OnComplete() override;
    // The effect made already is unloaded through the manager's plain unload at once, on this
    // thread: what it lists is released here, without waiting for further cycles.
    void OnTaskCancel() override;

    void* GetEffect() const { return effect_; }

private:
    ZelI::ISpecialEffectManager* Manager() const {
        return static_cast<ZelI::ISpecialEffectManager*>(parameter_.effectManager);
    }
    void ServeMaterialEntries();
    void ServeBillboardEntries();
    void DropCollected();

    EffectLoadTaskParameter parameter_;
    std::unique_ptr<ZelI::EffectLoadRequest> request_;
    void* effect_ = nullptr;  // where the manager stores the effect it makes
    TaskChildren materialChildren_;
    TaskChildren modelChildren_;
    bool materialsServed_ = false;
    std::vector<Material*> collected_;  // one reference each, given back at the end
};

// The unload tasks differ only in the manager's operation they call.
class EffectUnloadTaskBase : public SubTaskParentTask {
public:
    ~EffectUnloadTaskBase() override;

    void Reset() override;
    // The record is an EffectUnloadTaskParameter.
    void SetParameter(const void* parameter) override;
    std::int32_t OnTaskBegin() override;
    // The manager's unload fills the batch; one release child per listed interface.
    std::int32_t OnTask() override;
    // The release children one step a cycle; then each listed material gives back its
    // reference.
    std::int32_t OnSubTask() override;
    std::int32_t OnTaskEnd() override;

protected:
    explicit EffectUnloadTaskBase(const Texts& texts) : SubTaskParentTask(texts) {}
    virtual void Unload(ZelI::ISpecialEffectManager& manager, ZelI::EffectTaskBatch* batch) = 0;

private:
    EffectUnloadTaskParameter parameter_;
    std::unique_ptr<ZelI::EffectTaskBatch> batch_;
    TaskChildren releaseChildren_;
};

class EffectUnLoadTask : public EffectUnloadTaskBase {
public:
    EffectUnLoadTask();
    std::int32_t GetType() const override { return kEffectUnloadTaskType; }
    const char* GetName() const override { return "EffectUnLoadTask"; }

protected:
    void Unload(ZelI::ISpecialEffectManager& manager, ZelI::EffectTaskBatch* batch) override {
        manager.UnloadEffect(batch);
    }
};

class EffectUnLoadDeeplyTask : public EffectUnloadTaskBase {
public:
    EffectUnLoadDeeplyTask();
    std::int32_t GetType() const override { return kEffectDeepUnloadTaskType; }
    const char* GetName() const override { return "EffectUnLoadDeeplyTask"; }

protected:
    void Unload(ZelI::ISpecialEffectManager& manager, ZelI::EffectTaskBatch* batch) override {
        manager.UnloadEffectDeeply(batch);
    }
};

// Releases what an unload batch lists, at once: each interface of the two release lists is
// released as the release task does, and each listed material gives back one reference.
void ReleaseEffectBatch(const ZelI::EffectTaskBatch& batch);

}  // namespace Zel
