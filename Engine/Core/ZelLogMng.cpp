#include "Core/ZelLogMng.h"

#include <algorithm>
#include <cstdio>

#include "Core/DebugHelperImpl.h"
#include "Core/EnginePaths.h"
#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Core/PathUtils.h"
#include "Core/SectionGuard.h"
#include "Core/ZelLog.h"
#include "Platform/Win32/Win32.h"

namespace Zel {
namespace {

constexpr const char* kTypeNames[LOG_TYPE_COUNT] = {
    "NONE_INFO",     "MODEL_INFO",    "ACTOR_INFO",        "TEXTURE_INFO",    "MATINS_INFO",
    "LPPLIGHT_INFO", "EFFECT_INFO",   "RENDERTARGET_INFO", "POSTEFFECT_INFO", "BEAM_INFO",
    "RENDER_INFO",   "GENFX_INFO",    "CLOTH_INFO",        "ENGINE_INIT",     "RESOURCE_INFO",
    "VIDEOMEM_INFO", "DUMP_LOG_INFO", "TIME_PROFILE_INFO",
};
constexpr const char* kLevelNames[2] = {"WARNING", "ERROR"};
constexpr unsigned kOutputFile = 1;
constexpr unsigned kOutputConsole = 2;

bool ValidType(int type) {
    return type >= 0 && type < LOG_TYPE_COUNT;
}
bool ValidLevel(int level) {
    return level == 0 || level == 1;
}

struct DatedFile {
    std::string name;
    FILETIME lastWrite;
};

}  // namespace

ZelLogMng::ZelLogMng() {
    for (int i = 0; i < LOG_TYPE_COUNT; ++i) {
        typeEnabled_[i] = true;
        typeNames_[i] = kTypeNames[i];
    }
    levelNames_[0] = kLevelNames[0];
    levelNames_[1] = kLevelNames[1];
    message_[0] = '\0';
    SetLogFormatHandler(&ZelLogMng::DispatchRecord, &ZelLogMng::DispatchRecordV);
    previousHandler_ = SetLogHandler(&ZelLogMng::DispatchRecord);
}

ZelLogMng::~ZelLogMng() {
    // A capture installed after us stays in place; it puts our handler back when it ends, and the
    // handler finds no log manager then.
    if (GetLogHandler() == &ZelLogMng::DispatchRecord)
        SetLogHandler(previousHandler_);
    if (console_) {
        FreeConsole();
        console_ = nullptr;
    }
    file_.reset();
}

void ZelLogMng::DispatchRecord(int kind, const char* text) {
    Globals* globals = Globals::GetExisting();
    if (!globals)
        return;
    if (kind >= 0) {
        if (ZelLogMng* log = globals->GetLogManager())
            log->Logf(kind, kOutputFile, "%s", text);
        return;
    }
    DebugHelperImpl* reporter = globals->GetDebugHelper();
    if (kind == LOG_LEVEL_ERROR) {
        if (reporter)
            reporter->Error("%s", text);
        else if (ZelLogMng* log = globals->GetLogManager())
            log->LogLevelf(1, kOutputFile, "%s", text);
    } else if (kind == LOG_LEVEL_WARNING) {
        if (reporter)
            reporter->Warning("%s", text);
        else if (ZelLogMng* log = globals->GetLogManager())
            log->LogLevelf(0, kOutputFile, "%s", text);
    }
}

void ZelLogMng::DispatchRecordV(int kind, const char* format, va_list args) {
    if (kind >= 0) {
        // The type is tested under the manager's lock before anything is formatted.
        Globals* globals = Globals::GetExisting();
        if (ZelLogMng* log = globals ? globals->GetLogManager() : nullptr)
            log->LogV(kind, kOutputFile, format, args);
        return;
    }
    char text[kMessageBufferSize];
    std::vsnprintf(text, sizeof text, format ? format : "", args);
    DispatchRecord(kind, text);
}

bool ZelLogMng::IsTypeEnabled(int type) const {
    return ValidType(type) && typeEnabled_[type];
}

std::string ZelLogMng::FormatPrefix(const char* name) const {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char prefix[96];
    std::snprintf(prefix, sizeof prefix, "%02u:%02u:%02u:ThreadID:%u :%s:", now.wHour, now.wMinute,
                  now.wSecond, GetCurrentThreadId(), name);
    return prefix;
}

void ZelLogMng::Emit(unsigned outputs, const std::string& line) {
    if (!file_)
        return;
    if (outputs & kOutputFile)
        file_->WriteLine(line);
    if (!console_ && IsGlobalSwitchOn(GlobalConfigManager::kUseConsoleSwitch)) {
        AllocConsole();
        console_ = GetStdHandle(STD_OUTPUT_HANDLE);
    }
    if (!console_)
        return;
    if (outputs & kOutputConsole) {
        DWORD written = 0;
        WriteConsoleA(console_, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    }
}

void ZelLogMng::LogV(int type, unsigned outputs, const char* format, va_list args) {
    if (!ValidType(type))
        return;
    SectionGuard guard(lock_);
    if (!typeEnabled_[type])
        return;
    std::vsnprintf(message_, sizeof message_, format ? format : "", args);
    Emit(outputs, FormatPrefix(typeNames_[type].c_str()) + message_);
}

void ZelLogMng::LogLevelV(int level, unsigned outputs, const char* format, va_list args) {
    if (!ValidLevel(level))
        return;
    SectionGuard guard(lock_);
    std::vsnprintf(message_, sizeof message_, format ? format : "", args);
    Emit(outputs, FormatPrefix(levelNames_[level].c_str()) + message_);
    if (level == 1 && IsGlobalSwitchOn(GlobalConfigManager::kShowErrorDialogSwitch))
        MessageBoxA(nullptr, message_, "ERROR", MB_OK);
}

void ZelLogMng::Logf(int type, unsigned outputs, const char* format, ...) {
    va_list args;
    va_start(args, format);
    LogV(type, outputs, format, args);
    va_end(args);
}

void ZelLogMng::LogLevelf(int level, unsigned outputs, const char* format, ...) {
    va_list args;
    va_start(args, format);
    LogLevelV(level, outputs, format, args);
    va_end(args);
}

void ZelLogMng::WritePlain(const char* name, const char* text) {
    if (!file_)
        return;
    file_->WriteLine("ZelDebug:" + FormatPrefix(name) + (text ? text : ""));
}

void ZelLogMng::WriteLine(const char* text) {
    SectionGuard guard(lock_);
    WritePlain(typeNames_[LOG_NONE_INFO].c_str(), text);
}

void ZelLogMng::WriteTyped(int type, const char* text) {
    if (!ValidType(type))
        return;
    SectionGuard guard(lock_);
    if (typeEnabled_[type])
        WritePlain(typeNames_[type].c_str(), text);
}

void ZelLogMng::WriteLevel(int level, const char* text) {
    if (!ValidLevel(level))
        return;
    SectionGuard guard(lock_);
    WritePlain(levelNames_[level].c_str(), text);
}

void ZelLogMng::WriteStream(std::istream& input) {
    SectionGuard guard(lock_);
    if (!file_)
        return;
    file_->Write("ZelDebug:" + FormatPrefix(typeNames_[LOG_NONE_INFO].c_str()));
    char chunk[4096];
    while (input.read(chunk, sizeof chunk) || input.gcount() > 0)
        file_->Write(std::string_view(chunk, static_cast<std::size_t>(input.gcount())));
    file_->WriteLine("");
}

const char* ZelLogMng::GetLogFilePath() {
    SectionGuard guard(lock_);
    return logFilePath_.c_str();
}

void ZelLogMng::RefreshTypeSwitches() {
    SectionGuard guard(lock_);
    for (int type : {1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12, 16, 17}) typeEnabled_[type] = false;
    for (int type : {13, 14, 15}) typeEnabled_[type] = true;
}

void ZelLogMng::OpenLogFile() {
    {
        SectionGuard guard(lock_);
        const std::string directory = GetEngineDataRoot() + "EngineLog/";
        CreateDirectoryA(directory.c_str(), nullptr);

        SYSTEMTIME now;
        GetLocalTime(&now);
        char name[160];
        std::snprintf(name, sizeof name, "Engine_%u _%d_%d_%d_%d_%d_%d_%d.log",
                      GetCurrentProcessId(), now.wYear, now.wMonth, now.wDay, now.wHour,
                      now.wMinute, now.wSecond, now.wMilliseconds);

        std::vector<std::string> oldFiles;
        FindFilesRecursive(&oldFiles, directory.c_str(), "*.log", nullptr);
        FindFilesRecursive(&oldFiles, directory.c_str(), "*.dmp", nullptr);
        if (oldFiles.size() > kKeptLogFiles)
            PruneOldLogs(oldFiles);

        logFilePath_ = directory + name;
        file_ = std::make_unique<ZelLog>(logFilePath_.c_str());
    }
    RefreshTypeSwitches();
}

void ZelLogMng::PruneOldLogs(const std::vector<std::string>& names) {
    std::vector<DatedFile> files;
    for (const std::string& name : names) {
        DatedFile file{name, {}};
        if (GetFileAttributesA(name.c_str()) == INVALID_FILE_ATTRIBUTES)
            continue;
        if (!GetFileTime(name.c_str(), nullptr, nullptr, &file.lastWrite))
            continue;
        files.push_back(std::move(file));
    }
    std::stable_sort(files.begin(), files.end(), [](const DatedFile& a, const DatedFile& b) {
        return CompareFileTime(&a.lastWrite, &b.lastWrite) > 0;
    });
    // Oldest first; failures are left alone.
    for (std::size_t i = files.size(); i-- > kKeptLogFiles;) {
        const char* path = files[i].name.c_str();
        const DWORD attributes = GetFileAttributesA(path);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
            SetFileAttributesA(path, attributes & ~FILE_ATTRIBUTE_READONLY);
        DeleteFileA(path);
    }
}

}  // namespace Zel
