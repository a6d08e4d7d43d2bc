#include "Render/RenderCore/ZelTextBoxManager.h"

#include <algorithm>

#include "Render/RenderResourceRegistry.h"

namespace Zel {

ZelTextBoxManager::ZelTextBoxManager() {
    RegisterRenderResourceManager(this);
}

ZelTextBoxManager::~ZelTextBoxManager() {
    records_.clear();
    UnregisterRenderResourceManager(this);
}

void ZelTextBoxManager::Run(Callback Record::*which) {
    // A copy: a callback may unregister its own box.
    const std::vector<Record> records = records_;
    for (const Record& record : records)
        if (record.*which)
            (record.*which)(record.box);
}

void ZelTextBoxManager::OnLostDevice() {
    Run(&Record::lost);
}

void ZelTextBoxManager::OnResetDevice() {
    Run(&Record::reset);
}

void ZelTextBoxManager::RunThirdCallbacks() {
    Run(&Record::third);
}

bool ZelTextBoxManager::IsRegistered(const void* box) const {
    return std::any_of(records_.begin(), records_.end(),
                       [box](const Record& record) { return record.box == box; });
}

bool ZelTextBoxManager::Register(const Record& record) {
    if (!record.box || IsRegistered(record.box))
        return false;
    records_.push_back(record);
    return true;
}

bool ZelTextBoxManager::Unregister(const void* box) {
    auto it = std::find_if(records_.begin(), records_.end(),
                           [box](const Record& record) { return record.box == box; });
    if (it == records_.end())
        return false;
    records_.erase(it);
    return true;
}

}  // namespace Zel
