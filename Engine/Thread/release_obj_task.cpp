#include "Thread/release_obj_task.h"

#include "Core/RCInterfaceCarrier.h"
#include "Core/LogDispatch.h"
#include "Interface/IObject.h"

namespace Zel {

void release_obj_task::Reset() {
    object_ = nullptr;
    itask::Reset();
}

void release_obj_task::SetParameter(const void* parameter) {
    if (parameter)
        object_ = *static_cast<ZelI::IObject* const*>(parameter);
}

void ReleaseHostObject(ZelI::IObject* object) {
    auto* binding = object ? dynamic_cast<RCBinding*>(object) : nullptr;
    if (!binding) {
        LogTyped(LOG_ENGINE_INIT, "== ERROR ==释放的IOBJECT无法转为下型");
        return;
    }
    if (object->GetImpl())
        binding->Detach();
}

std::int32_t release_obj_task::OnTaskBegin() {
    ReleaseHostObject(object_);
    return 1;
}

}  // namespace Zel
