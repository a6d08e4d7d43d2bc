// The log manager's interface. Types are LogType (0-17), levels 0 "WARNING" and 1 "ERROR"; the
// output mask has bit 0 for the log file and bit 1 for the console. Any thread: every operation
// is serialised by the manager. A type or level out of range writes nothing.
#pragma once

#include <istream>

namespace Zel {

class IZelLogMng {
public:
    virtual ~IZelLogMng() = default;
    // Plain writes: "ZelDebug:" and the record prefix, then the text; to the log file only.
    virtual void WriteLine(const char* text) = 0;
    virtual void WriteTyped(int type, const char* text) = 0;
    // The open log file's path; empty before the file is opened.
    virtual const char* GetLogFilePath() = 0;
    // Copies the stream to its end as one record.
    virtual void WriteStream(std::istream& input) = 0;
    virtual void WriteLevel(int level, const char* text) = 0;
    // Formatted records "%H:%M:%S:ThreadID:%u :<name>:<message>" to the outputs of the mask.
    virtual void Logf(int type, unsigned outputs, const char* format, ...)
        __attribute__((format(printf, 4, 5))) = 0;
    virtual void LogLevelf(int level, unsigned outputs, const char* format, ...)
        __attribute__((format(printf, 4, 5))) = 0;
    // Enables the types the log file records by default.
    virtual void RefreshTypeSwitches() {}
};

}  // namespace Zel
