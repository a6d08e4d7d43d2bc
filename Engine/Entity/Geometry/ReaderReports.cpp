#include "Entity/Geometry/ReaderReports.h"

#include "Core/DebugHelperImpl.h"
#include "Core/Globals.h"
#include "Core/LogDispatch.h"

namespace Zel {

void ReportReaderError(const char* text) {
    if (DebugHelperImpl* reporter = Globals::Find(&Globals::GetDebugHelper))
        reporter->Error("%s", text);
    else
        LogError("%s", text);
}

}  // namespace Zel
