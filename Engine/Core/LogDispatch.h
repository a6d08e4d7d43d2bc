// The one way code below the log manager writes a log record. The log manager installs itself as
// the handler when it is built and removes itself when it goes; while no handler is installed a
// record goes nowhere. Any thread may log; the handler serialises.
#pragma once

#include <cstdarg>

namespace Zel {

// Log types, each enabled or disabled by a global switch.
enum LogType : int {
    LOG_NONE_INFO = 0,
    LOG_MODEL_INFO = 1,
    LOG_ACTOR_INFO = 2,
    LOG_TEXTURE_INFO = 3,
    LOG_MATINS_INFO = 4,
    LOG_LPPLIGHT_INFO = 5,
    LOG_EFFECT_INFO = 6,
    LOG_RENDERTARGET_INFO = 7,
    LOG_POSTEFFECT_INFO = 8,
    LOG_BEAM_INFO = 9,
    LOG_RENDER_INFO = 10,
    LOG_GENFX_INFO = 11,
    LOG_CLOTH_INFO = 12,
    LOG_ENGINE_INIT = 13,
    LOG_RESOURCE_INFO = 14,
    LOG_VIDEOMEM_INFO = 15,
    LOG_DUMP_LOG_INFO = 16,
    LOG_TIME_PROFILE_INFO = 17,
    LOG_TYPE_COUNT = 18,
};

// Levels written whatever the switches say, passed to the handler in place of a type.
enum LogLevel : int {
    LOG_LEVEL_WARNING = -1,
    LOG_LEVEL_ERROR = -2,
};

// kind: a LogType (0-17) or a LogLevel; text: the formatted message without a line prefix.
using LogHandler = void (*)(int kind, const char* text);

// Installs a handler (null removes it); answers the previous one.
LogHandler SetLogHandler(LogHandler handler);
LogHandler GetLogHandler();

// The form of a handler that formats for itself: it receives the format and its arguments, so
// it can drop a record it would not write before anything is formatted. Formatting into the
// 10240-byte buffer is then its own job.
using LogFormatHandler = void (*)(int kind, const char* format, va_list args);
// Names `direct` as the formatting form of `handler`: while `handler` is the installed handler,
// records go to `direct` unformatted instead. Set once, before either is used; one handler at a
// time has such a form.
void SetLogFormatHandler(LogHandler handler, LogFormatHandler direct);

// Formats into a 10240-byte buffer (longer text is cut) and hands it to the handler.
void LogTyped(int type, const char* format, ...) __attribute__((format(printf, 2, 3)));
void LogTypedV(int type, const char* format, va_list args);
void LogWarning(const char* format, ...) __attribute__((format(printf, 1, 2)));
void LogError(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace Zel
