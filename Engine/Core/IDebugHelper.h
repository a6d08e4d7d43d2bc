// The error and warning reporter every subsystem reaches through Globals::GetDebugHelper.
// Reports never stop the library: the caller goes on along its failure path.
#pragma once

namespace Zel {

class IDebugHelper {
public:
    // An ERROR record; with switch 82 on, a debugger break (when one is attached) and a message
    // box captioned "ERROR".
    virtual void Error(const char* format, ...) __attribute__((format(printf, 2, 3))) = 0;
    // As Error with the calling thread's last system error appended ("\nErrorCode=%lu,\n%s"),
    // without the debugger break.
    virtual void ErrorLastError(const char* format, ...) __attribute__((format(printf, 2, 3))) = 0;
    // A WARNING record; never a message box.
    virtual void Warning(const char* format, ...) __attribute__((format(printf, 2, 3))) = 0;

protected:
    ~IDebugHelper() = default;
};

}  // namespace Zel
