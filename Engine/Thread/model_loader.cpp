#include "Thread/model_loader.h"

#include "Core/ErrorReport.h"
#include "Core/Globals.h"
#include "Entity/Scene/Entity.h"
#include "Entity/Scene/SceneManager.h"
#include "Interface/IModel.h"

namespace Zel {
namespace {

constexpr std::int32_t kModelFailed = 15;

bool IsCharacterKind(std::int32_t kind) {
    return kind == 6 || kind == 7 || kind == 8;
}

}  // namespace

void model_loader::Reset() {
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
    model_ = scene ? scene->CreateModelByFile(parameter_.name) : nullptr;
    if (!model_) {
        SetResult(kModelFailed);
        return -1;
    }
    return 1;
}

std::int32_t model_loader::OnTaskEnd() {
    SetResult(0);
    if (!model_) {
        SetResult(kModelFailed);
        return -1;
    }
    interface_ = static_cast<ZelI::IModel*>(model_->GetInterface());
    return 1;
}

void model_loader::OnTaskCancel() {
    if (interface_ && model_)
        model_->DetachInterface();
    interface_ = nullptr;
    model_ = nullptr;
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
    if (GetResult() > 10 || emptyEntity_ || state == kEnd) {
        SetState(kDone);
        return kDone;
    }
    SetState(state + 1);
    return state + 1;
}

}  // namespace Zel
