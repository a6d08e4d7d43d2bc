#include "Thread/model_loader.h"

#include "Core/ErrorReport.h"
#include "Core/Globals.h"
#include "Entity/Material/Material.h"
#include "Entity/Scene/Entity.h"
#include "Entity/Scene/SceneManager.h"
#include "Interface/IModel.h"
#include "Thread/LoadMaterialTask.h"
#include "Thread/TaskPatterns.h"

namespace Zel {
namespace {

constexpr std::int32_t kModelFailed = 15;
constexpr std::int32_t kMaterialFailed = 14;

bool IsCharacterKind(std::int32_t kind) {
    return kind == 6 || kind == 7 || kind == 8;
}

}  // namespace

model_loader::model_loader() = default;

model_loader::~model_loader() {
    DeleteChildren();
    ReleaseCollected();
}

void model_loader::DeleteChildren() {
    materialTasks_.clear();
    subtaskIndex_ = 0;
}

void model_loader::ReleaseCollected() {
    // As the direct road does once the model is built: the model's sub-entities hold their own.
    for (Material* material : collected_)
        if (material)
            material->DecRef();
    collected_.clear();
}

void model_loader::Reset() {
    DeleteChildren();
    ReleaseCollected();
    parameter_ = ModelLoadTaskParameter{};
    model_ = nullptr;
    interface_ = nullptr;
    emptyEntity_ = false;
    kind_ = -1;
    itask::Reset();
}

void model_loader::SetParameter(const void* parameter) {
    if (parameter)
        parameter_ = *static_cast<const ModelLoadTaskParameter*>(parameter);
}

std::int32_t model_loader::OnTaskBegin() {
    if (parameter_.name[0] == '\0') {
        SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
        model_ = scene ? scene->CreateEntity() : nullptr;
        if (!model_) {
            SetResult(kModelFailed);
            return -1;
        }
        interface_ = static_cast<ZelI::IModel*>(model_->GetInterface());
        emptyEntity_ = true;
        return 1;
    }
    kind_ = SceneManager::GetModelFileKind(parameter_.name);
    if (kind_ < 0) {
        ReportError("不被支持的资源文件格式！file=%s", parameter_.name);
        SetResult(kModelFailed);
        return -1;
    }
    return 1;
}

std::int32_t model_loader::OnTask() {
    if (emptyEntity_) {
        ReportError("model_loader OnTask ,empty entity不可能到这里！");
        return 1;
    }
    if (IsCharacterKind(kind_)) {
        ReportError("model_loader OnTask ,不能用于异步创建人物");
        SetResult(kModelFailed);
        return -1;
    }
    // The same maker as the direct road, so a model comes out alike on both roads; it releases
    // what does not load.
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    model_ = scene ? scene->LoadModelGeometry(parameter_.name) : nullptr;
    if (!model_) {
        SetResult(kModelFailed);
        return -1;
    }
    DeleteChildren();
    for (const std::string& library : model_->GetMaterialEntries())
        if (TaskNameFits("model_loader", library.c_str()))
            materialTasks_.push_back(std::make_unique<LoadMaterialTask>(library, &collected_));
    SetSubTaskCount(static_cast<std::int32_t>(materialTasks_.size()));
    return 1;
}

std::int32_t model_loader::OnSubTask() {
    if (subtaskIndex_ >= materialTasks_.size())
        return 1;
    LoadMaterialTask& child = *materialTasks_[subtaskIndex_];
    if (child.Run(child.GetState()) < 0 || child.GetResult() > 10) {
        // Never handed out: the object goes now, with what the children collected, so that
        // nothing of a failed load stays behind.
        SetResult(kMaterialFailed);
        ReleaseModel();
        return -1;
    }
    if (child.GetState() != kEnd)
        return 0;
    SetSubTaskCount(GetSubTaskCount() - 1);
    if (subtaskIndex_ + 1 >= materialTasks_.size())
        return 1;
    ++subtaskIndex_;
    return 0;
}

std::int32_t model_loader::OnTaskEnd() {
    SetResult(0);
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    if (model_ && !(scene && scene->BuildLoadedModel(*model_)))
        model_ = nullptr;
    if (model_)
        interface_ = static_cast<ZelI::IModel*>(model_->GetInterface());
    else
        SetResult(kModelFailed);
    ReleaseCollected();
    DeleteChildren();
    return model_ ? 1 : -1;
}

void model_loader::OnTaskCancel() {
    if (interface_ && model_)
        model_->DetachInterface();
    // The model was made for this task alone and is never handed out now: it leaves the scene
    // (its geometry with it), as a failed load's does.
    ReleaseModel();
    interface_ = nullptr;
    DeleteChildren();
}

void model_loader::ReleaseModel() {
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    if (model_ && scene)
        scene->ReleaseRegisteredEntity(model_);
    model_ = nullptr;
    ReleaseCollected();
}

void model_loader::OnComplete() {
    if (IsCancelled()) {
        ReportError("已经被CANCEL的任务不应该被 fill_content");
        return;
    }
    if (GetResult() < 10 && parameter_.result)
        *parameter_.result = interface_;
}

std::int32_t model_loader::OnMainThread(std::int32_t state) {
    if (state < kBegin || (state >= kDone && GetResult() < 10)) {
        ReportError("model loader任务异常！");
        return state;
    }
    if (GetResult() > 10 || emptyEntity_)
        return MarkTaskDone(*this);
    if (GetSubTaskCount() > 0 && state != kMain) {
        if (state != kSubTask) {
            ReportError("model loader递进错误!，材质库调用计数不对");
            return state;
        }
        if (subtaskIndex_ >= materialTasks_.size()) {
            ReportError("model loder计算材质子任务数量错误 m_subtask_idx=%d, mat_tasks.size()=%d",
                        static_cast<int>(subtaskIndex_), static_cast<int>(materialTasks_.size()));
            OnTaskCancel();
            return MarkTaskDone(*this);
        }
        materialTasks_[subtaskIndex_]->Advance();
        return state;
    }
    if (state + 1 > kDone) {
        ReportError("model loder 大步骤计算错误");
        return state;
    }
    SetState(state + 1);
    return state + 1;
}

}  // namespace Zel
