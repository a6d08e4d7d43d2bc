#include "Thread/LoadMaterialTask.h"

#include "Core/ErrorReport.h"
#include "Core/Globals.h"
#include "Entity/Material/Material.h"
#include "Entity/Material/MaterialManager.h"
#include "Thread/TaskPatterns.h"

namespace Zel {

LoadMaterialTask::LoadMaterialTask(const std::string& library, std::vector<Material*>* collected) {
    CopyTaskName(parameter_.name, library.c_str());
    parameter_.collected = collected;
    parameter_.finish = true;
}

LoadMaterialTask::~LoadMaterialTask() {
    DropRecords();
}

void LoadMaterialTask::DropRecords() {
    // A parsed material is the manager's only once finished; one parsed and never finished is
    // still this task's, unless the parse handed back the manager's own material of that name.
    MaterialManager* materials = Globals::Find(&Globals::GetMaterialManager);
    for (Record& record : records_) {
        Material* material = record.material;
        if (material &&
            (!materials || materials->FindMaterial(material->GetName(), false) != material))
            delete material;
    }
    records_.clear();
    nextTextures_ = 0;
    context_ = MaterialLibLoadContext();
}

void LoadMaterialTask::Reset() {
    DropRecords();
    parameter_ = MaterialLoadTaskParameter();
    itask::Reset();
}

void LoadMaterialTask::SetParameter(const void* parameter) {
    if (parameter)
        parameter_ = *static_cast<const MaterialLoadTaskParameter*>(parameter);
}

std::int32_t LoadMaterialTask::OnTaskBegin() {
    SetResult(0);
    DropRecords();
    context_.document = std::make_unique<TiXmlDocument>();
    MaterialManager* materials = Globals::Find(&Globals::GetMaterialManager);
    bool success = false;
    const bool hold = parameter_.collected && parameter_.finish;
    if (!materials || !materials->OpenMaterialLib(parameter_.name, success, context_, hold)) {
        SetResult(kOpenFailed);
        return -1;
    }
    return 1;
}

std::int32_t LoadMaterialTask::OnTask() {
    MaterialManager* materials = Globals::Find(&Globals::GetMaterialManager);
    for (const std::vector<XmlNode*>* elements : {&context_.shaders, &context_.materials}) {
        for (const XmlNode* element : *elements) {
            Record record;
            record.material = materials
                                  ? materials->ParseLibMaterial(element, context_, record.requests)
                                  : nullptr;
            if (!record.material) {
                SetSubTaskCount(static_cast<std::int32_t>(records_.size()));
                SetResult(kParseFailed);
                return -1;
            }
            records_.push_back(std::move(record));
        }
    }
    SetSubTaskCount(static_cast<std::int32_t>(records_.size()));
    return 1;
}

std::int32_t LoadMaterialTask::OnSubTask() {
    MaterialManager* materials = Globals::Find(&Globals::GetMaterialManager);
    for (; nextTextures_ < records_.size(); ++nextTextures_) {
        if (materials)
            materials->LoadLibMaterialTextures(records_[nextTextures_].requests);
        SetSubTaskCount(GetSubTaskCount() - 1);
    }
    return 1;
}

std::int32_t LoadMaterialTask::OnTaskEnd() {
    MaterialManager* materials = Globals::Find(&Globals::GetMaterialManager);
    const bool collect = parameter_.collected != nullptr;
    std::vector<Material*> temporary;
    for (Record& record : records_) {
        if (materials)
            materials->FinalizeLibMaterial(record.material, record.requests,
                                           collect ? parameter_.collected : &temporary,
                                           collect && parameter_.finish);
        record.material = nullptr;
    }
    return 1;
}

std::int32_t LoadMaterialTask::OnMainThread(std::int32_t state) {
    if (state >= kDone && GetResult() < 10) {
        ReportError("model loader任务异常！");
        return state;
    }
    if (GetResult() > 10)
        return MarkTaskDone(*this);
    const std::int32_t next = state == kSubmitted ? kBegin : state + 1;
    SetState(next);
    return next;
}

}  // namespace Zel
