// The error report of the model-file readers: through the debug helper when Globals has one (it
// may show the message), else the error log.
#pragma once

namespace Zel {

void ReportReaderError(const char* text);

}  // namespace Zel
