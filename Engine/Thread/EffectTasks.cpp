#include "Thread/EffectTasks.h"

#include <cstring>
#include <string>

#include "Core/ErrorReport.h"
#include "Core/Globals.h"
#include "Core/PathUtils.h"
#include "Entity/Material/Material.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Scene/BillBoard.h"
#include "Entity/Scene/SceneManager.h"
#include "Interface/IBillboard.h"
#include "Interface/IShader.h"
#include "Thread/LoadMaterialTask.h"
#include "Thread/model_loader.h"
#include "Thread/release_obj_task.h"

namespace Zel {
namespace {

constexpr int kEffectEntries = ZelI::EffectLoadRequest::kEntries;

// The model file an effect's entry names, as the model loader's record holds it: empty (an empty
// entity) for a name containing "nil", else the name under the shader directory. False, logged,
// when the joined name does not fit the record.
bool EffectModelName(const char* entry, ModelLoadTaskParameter& parameter) {
    if (std::strstr(entry, "nil"))
        return true;
    const std::string* directory = Globals::Find(&Globals::GetShaderPath);
    const std::string path = directory ? JoinPath(*directory, entry) : std::string(entry);
    if (!TaskNameFits("EffectLoadingTask", path.c_str()))
        return false;
    CopyTaskName(parameter.name, path.c_str());
    return true;
}

}  // namespace

void ReleaseEffectBatch(const ZelI::EffectTaskBatch& batch) {
    for (int i = 0; i < ZelI::EffectTaskBatch::kEntries; ++i) {
        ZelI::IObject* first = batch.firstRelease[i];
        ZelI::IObject* second = batch.secondRelease[i];
        if (!first && !second)
            break;
        if (first)
            ReleaseHostObject(first);
        if (second)
            ReleaseHostObject(second);
    }
    for (ZelI::IMaterial* material : batch.materials) {
        if (!material)
            break;
        material->Unpin();
    }
}

// ---- Loading ----

EffectLoadingTask::EffectLoadingTask()
    : SubTaskParentTask({"EffectLoadingTask任务异常！", "EffectLoadingTask子任务步骤计算错误",
                         "EffectLoadingTask大步骤计算错误"}) {}

EffectLoadingTask::~EffectLoadingTask() {
    materialChildren_.Clear(false);
    modelChildren_.Clear(false);
    DropCollected();
}

void EffectLoadingTask::DropCollected() {
    if (collected_.empty())
        return;
    if (MaterialManager* materials = Globals::Find(&Globals::GetMaterialManager))
        materials->UnLoadMaterials(collected_);
    collected_.clear();
}

void EffectLoadingTask::Reset() {
    materialChildren_.Clear(false);
    modelChildren_.Clear(false);
    DropCollected();
    request_.reset();
    parameter_ = EffectLoadTaskParameter();
    effect_ = nullptr;
    materialsServed_ = false;
    SubTaskParentTask::Reset();
}

void EffectLoadingTask::SetParameter(const void* parameter) {
    if (parameter)
        parameter_ = *static_cast<const EffectLoadTaskParameter*>(parameter);
}

std::int32_t EffectLoadingTask::OnTaskBegin() {
    request_ = std::make_unique<ZelI::EffectLoadRequest>();
    std::memcpy(request_->effectName, parameter_.name, sizeof request_->effectName);
    request_->effectName[sizeof request_->effectName - 1] = '\0';
    effect_ = nullptr;
    request_->effectOut = &effect_;
    return 1;
}

std::int32_t EffectLoadingTask::OnTask() {
    ZelI::ISpecialEffectManager* manager = Manager();
    if (!manager || !request_ || !manager->LoadEffect(request_.get()) || !effect_) {
        SetResult(kRefused);
        return -1;
    }
    for (int i = 0; i < kEffectEntries; ++i) {
        const char* library = request_->materialLibraries[i];
        const ZelI::EffectLoadRequest::ModelEntry& model = request_->models[i];
        if (!library && !model.fileName)
            break;
        if (library && TaskNameFits("EffectLoadingTask", library))
            materialChildren_.Append(std::make_unique<LoadMaterialTask>(library, &collected_));
        if (!model.fileName)
            continue;
        ModelLoadTaskParameter parameter;
        parameter.result = model.out;
        if (!EffectModelName(model.fileName, parameter))
            continue;
        auto child = std::make_unique<model_loader>();
        child->SetParameter(&parameter);
        modelChildren_.Append(std::move(child));
    }
    return 1;
}

void EffectLoadingTask::ServeMaterialEntries() {
    materialsServed_ = true;
    MaterialManager* materials = Globals::Find(&Globals::GetMaterialManager);
    for (const ZelI::EffectLoadRequest::MaterialEntry& entry : request_->materials) {
        if (!entry.out || !entry.name)
            break;
        Material* material = materials ? materials->FindMaterial(entry.name, false) : nullptr;
        ZelI::IMaterial* handed = material ? HandOutMaterial(*material) : nullptr;
        if (!handed)
            continue;
        *entry.out = handed;
        handed->Pin();
    }
}

void EffectLoadingTask::ServeBillboardEntries() {
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    for (ZelI::EffectLoadRequest::BillboardEntry& entry : request_->billboards) {
        if (!entry.inUse)
            break;
        auto* billboard =
            scene && entry.name ? dynamic_cast<BillBoard*>(scene->FindEntity(entry.name)) : nullptr;
        if (billboard) {
            billboard->SetAuxiliaryValue(static_cast<float>(entry.value));
            if (entry.out)
                *entry.out = dynamic_cast<ZelI::IBillboard*>(billboard->GetInterface());
        }
        entry.inUse = 0;
    }
}

std::int32_t EffectLoadingTask::OnSubTask() {
    SetSubTaskInProgress(true);
    if (!request_) {
        SetSubTaskInProgress(false);
        return 1;
    }
    if (!materialChildren_.Empty()) {
        materialChildren_.StepFirst();
        SetCurrentChild(materialChildren_.Current());
        return 0;
    }
    if (!materialsServed_)
        ServeMaterialEntries();
    if (!modelChildren_.Empty()) {
        // A model child hands its model to the entry once it is done: it is never queued, so
        // no completion would reach it otherwise.
        if (std::unique_ptr<itask> done = modelChildren_.StepFirst())
            done->OnComplete();
        SetCurrentChild(modelChildren_.Current());
        return 0;
    }
    SetCurrentChild(nullptr);
    ServeBillboardEntries();
    SetSubTaskInProgress(false);
    return 1;
}

std::int32_t EffectLoadingTask::OnTaskEnd() {
    DropCollected();
    if (!materialChildren_.Empty() || !modelChildren_.Empty())
        ReportError("特效加载TASK:SubTask调度出错");
    materialChildren_.Clear(false);
    modelChildren_.Clear(false);
    return 1;
}

void EffectLoadingTask::OnComplete() {
    if (IsCancelled()) {
        ReportError("已经被CANCEL的任务不应该被 fill_content");
        return;
    }
    if (GetResult() >= 10)
        return;
    if (!effect_) {
        ReportError(" EffectLoadingTask::fill_content中m_pEffectBackUp无效！");
        return;
    }
    if (ZelI::ISpecialEffectManager* manager = Manager())
        manager->CompleteEffect(effect_);
    if (parameter_.result)
        *parameter_.result = effect_;
}

void EffectLoadingTask::OnTaskCancel() {
    ZelI::ISpecialEffectManager* manager = Manager();
    if (effect_ && manager) {
        // Everything runs here, on this thread and in this step: the host's pump is waiting
        // for the step to end, so nothing may wait for a later cycle.
        auto batch = std::make_unique<ZelI::EffectTaskBatch>();
        batch->effect = effect_;
        manager->UnloadEffect(batch.get());
        ReleaseEffectBatch(*batch);
    }
    effect_ = nullptr;
    materialChildren_.Clear(true);
    modelChildren_.Clear(true);
    DropCollected();
    request_.reset();
}

// ---- Unloading ----

EffectUnLoadTask::EffectUnLoadTask()
    : EffectUnloadTaskBase({"EffectUnLoadTask任务异常！", "EffectUnLoadTask子任务步骤计算错误",
                            "EffectUnLoadTask大步骤计算错误"}) {}

EffectUnLoadDeeplyTask::EffectUnLoadDeeplyTask()
    : EffectUnloadTaskBase({"EffectUnLoadDeeplyTask任务异常！",
                            "EffectUnLoadDeeplyTask子任务步骤计算错误",
                            "EffectUnLoadDeeplyTask大步骤计算错误"}) {}

EffectUnloadTaskBase::~EffectUnloadTaskBase() = default;

void EffectUnloadTaskBase::Reset() {
    releaseChildren_.Clear(false);
    batch_.reset();
    parameter_ = EffectUnloadTaskParameter();
    SubTaskParentTask::Reset();
}

void EffectUnloadTaskBase::SetParameter(const void* parameter) {
    if (parameter)
        parameter_ = *static_cast<const EffectUnloadTaskParameter*>(parameter);
}

std::int32_t EffectUnloadTaskBase::OnTaskBegin() {
    batch_ = std::make_unique<ZelI::EffectTaskBatch>();
    batch_->effect = parameter_.effect;
    releaseChildren_.Clear(false);
    SetCurrentChild(nullptr);
    return 1;
}

std::int32_t EffectUnloadTaskBase::OnTask() {
    auto* manager = static_cast<ZelI::ISpecialEffectManager*>(parameter_.effectManager);
    if (!parameter_.effect || !manager || !batch_)
        return 1;
    Unload(*manager, batch_.get());
    for (int i = 0; i < ZelI::EffectTaskBatch::kEntries; ++i) {
        ZelI::IObject* first = batch_->firstRelease[i];
        ZelI::IObject* second = batch_->secondRelease[i];
        if (!first && !second)
            break;
        for (ZelI::IObject* object : {first, second}) {
            if (!object)
                continue;
            auto child = std::make_unique<release_obj_task>();
            child->SetParameter(&object);
            releaseChildren_.Append(std::move(child));
        }
    }
    return 1;
}

std::int32_t EffectUnloadTaskBase::OnSubTask() {
    SetSubTaskInProgress(true);
    if (!releaseChildren_.Empty()) {
        releaseChildren_.StepFirst();
        SetCurrentChild(releaseChildren_.Current());
        return 0;
    }
    SetCurrentChild(nullptr);
    if (batch_) {
        for (ZelI::IMaterial*& material : batch_->materials) {
            if (!material)
                break;
            material->Unpin();
            material = nullptr;
        }
    }
    SetSubTaskInProgress(false);
    return 1;
}

std::int32_t EffectUnloadTaskBase::OnTaskEnd() {
    releaseChildren_.Clear(false);
    return 1;
}

}  // namespace Zel
