#include "Thread/GeometrySkin_LoadActionTask.h"

#include <cstring>
#include <string>

#include "Core/ErrorReport.h"
#include "Entity/Geometry/GeometrySkin.h"

namespace Zel {

void GeometrySkin_LoadActionTask::Reset() {
    record_ = GeometrySkinActionRecord();
    itask::Reset();
}

void GeometrySkin_LoadActionTask::SetParameter(const void* parameter) {
    if (parameter)
        std::memcpy(&record_, parameter, sizeof record_);
}

std::int32_t GeometrySkin_LoadActionTask::OnTaskBegin() {
    if (!record_.geometry) {
        ReportError("%s", "加载动作，但是geometry为0");
        SetResult(kFailure);
        return -1;
    }
    // A field filled to the brim by a caller that skipped the length test still ends here.
    const std::string setName(record_.setName, strnlen(record_.setName, sizeof record_.setName));
    const std::string file(record_.file, strnlen(record_.file, sizeof record_.file));
    if (!record_.geometry->LoadSharedActions(setName, file)) {
        SetResult(kFailure);
        return -1;
    }
    return 1;
}

}  // namespace Zel
