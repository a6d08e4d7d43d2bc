// The log manager (Globals::GetLogManager): one log file per process in "EngineLog/" under the
// base directory (GetEngineDataRoot), and optionally the console (switch 65). Records are typed
// (LogType, each type enabled or not) or levelled ("WARNING", "ERROR", always written).
//
// While it lives it is the handler of the log dispatch (LogDispatch.h), so every Zel::LogTyped,
// LogWarning and LogError of the library lands in the file.
//
// Threads: any; every operation runs under the manager's one lock, so records never interleave.
#pragma once

#include <cstdarg>
#include <memory>
#include <string>
#include <vector>

#include "Core/IZelLogMng.h"
#include "Core/LogDispatch.h"
#include "Core/locksection.h"
#include "Platform/Win32/Win32Types.h"

namespace Zel {

class ZelLog;

class ZelLogMng : public IZelLogMng {
public:
    static constexpr std::size_t kMessageBufferSize = 10240;
    // Old ".log" and ".dmp" files kept in the log directory when a new file is opened.
    static constexpr std::size_t kKeptLogFiles = 50;

    // Every type enabled, no file and no console yet; installs itself as the log dispatch handler.
    ZelLogMng();
    // Frees the console it allocated, closes the file and removes itself as the handler.
    ~ZelLogMng() override;
    ZelLogMng(const ZelLogMng&) = delete;
    ZelLogMng& operator=(const ZelLogMng&) = delete;

    void WriteLine(const char* text) override;
    void WriteTyped(int type, const char* text) override;
    const char* GetLogFilePath() override;
    void WriteStream(std::istream& input) override;
    void WriteLevel(int level, const char* text) override;
    void Logf(int type, unsigned outputs, const char* format, ...) override
        __attribute__((format(printf, 4, 5)));
    void LogLevelf(int level, unsigned outputs, const char* format, ...) override
        __attribute__((format(printf, 4, 5)));
    // Types 13, 14 and 15 on; 1-8, 10-12, 16 and 17 off; 0 and 9 keep their state.
    void RefreshTypeSwitches() override;

    void LogV(int type, unsigned outputs, const char* format, va_list args);
    void LogLevelV(int level, unsigned outputs, const char* format, va_list args);

    // Creates the log directory, prunes it to the newest kKeptLogFiles old files, opens the
    // new file "Engine_<pid> _<y>_<m>_<d>_<h>_<min>_<s>_<ms>.log" and refreshes the type
    // switches. Globals calls it once, right after construction. A directory or file that cannot
    // be made leaves file output lost, silently.
    void OpenLogFile();

    // False for a type out of range.
    bool IsTypeEnabled(int type) const;

    // The log dispatch handler: hands the record to the log manager (types) or the error reporter
    // (levels) that Globals holds at the time of the call; drops it while there is none.
    static void DispatchRecord(int kind, const char* text);
    // Its formatting form: a typed record reaches LogV unformatted, so a disabled type costs one
    // lock and one test; a levelled one is formatted and goes the way of DispatchRecord.
    static void DispatchRecordV(int kind, const char* format, va_list args);

private:
    std::string FormatPrefix(const char* name) const;
    void WritePlain(const char* name, const char* text);
    void Emit(unsigned outputs, const std::string& line);
    void PruneOldLogs(const std::vector<std::string>& names);

    HANDLE console_ = nullptr;
    bool typeEnabled_[LOG_TYPE_COUNT];
    std::string logFilePath_;
    std::unique_ptr<ZelLog> file_;
    std::string typeNames_[LOG_TYPE_COUNT];
    std::string levelNames_[2];
    locksection lock_;
    char message_[kMessageBufferSize];
    LogHandler previousHandler_ = nullptr;
};

}  // namespace Zel
