#include "Core/DebugHelperImpl.h"

#include <cstdio>
#include <memory>
#include <string>

#include "Core/GlobalConfigManager.h"
#include "Core/IZelLogMng.h"
#include "Core/SectionGuard.h"
#include "Platform/Win32/Win32.h"

namespace Zel {
namespace {

constexpr std::size_t kLocalMessageSize = 1024;

// A formatted message: up to 1023 characters in place, longer ones on the heap at their size.
class FormattedMessage {
public:
    FormattedMessage(const char* format, va_list args) {
        va_list copy;
        va_copy(copy, args);
        const int length = std::vsnprintf(local_, sizeof local_, format ? format : "", copy);
        va_end(copy);
        if (length >= static_cast<int>(sizeof local_)) {
            heap_ = std::make_unique<char[]>(static_cast<std::size_t>(length) + 1);
            std::vsnprintf(heap_.get(), static_cast<std::size_t>(length) + 1, format, args);
        }
    }
    const char* Text() const { return heap_ ? heap_.get() : local_; }

private:
    char local_[kLocalMessageSize] = {};
    std::unique_ptr<char[]> heap_;
};

void ShowError(const char* text) {
    MessageBoxA(nullptr, text, "ERROR", MB_OK);
}

}  // namespace

void DebugHelperImpl::Write(int level, const char* text) {
    if (logManager_)
        logManager_->WriteLevel(level, text);
}

void DebugHelperImpl::ErrorV(const char* format, va_list args) {
    SectionGuard guard(lock_);
    const FormattedMessage message(format, args);
    Write(1, message.Text());
    if (IsGlobalSwitchOn(GlobalConfigManager::kShowErrorDialogSwitch)) {
        if (IsDebuggerPresent())
            DebugBreak();
        ShowError(message.Text());
    }
}

void DebugHelperImpl::ErrorLastErrorV(const char* format, va_list args) {
    SectionGuard guard(lock_);
    const DWORD code = GetLastError();
    char systemText[512];
    if (!FormatErrorText(code, systemText, sizeof systemText))
        std::snprintf(systemText, sizeof systemText, "Unknown error.");
    const FormattedMessage message(format, args);
    char tail[kLocalMessageSize];
    std::snprintf(tail, sizeof tail, "\nErrorCode=%lu,\n%s", static_cast<unsigned long>(code),
                  systemText);
    const std::string text = std::string(message.Text()) + tail;
    Write(1, text.c_str());
    if (IsGlobalSwitchOn(GlobalConfigManager::kShowErrorDialogSwitch))
        ShowError(text.c_str());
}

void DebugHelperImpl::WarningV(const char* format, va_list args) {
    SectionGuard guard(lock_);
    const FormattedMessage message(format, args);
    Write(0, message.Text());
}

void DebugHelperImpl::Error(const char* format, ...) {
    va_list args;
    va_start(args, format);
    ErrorV(format, args);
    va_end(args);
}

void DebugHelperImpl::ErrorLastError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    ErrorLastErrorV(format, args);
    va_end(args);
}

void DebugHelperImpl::Warning(const char* format, ...) {
    va_list args;
    va_start(args, format);
    WarningV(format, args);
    va_end(args);
}

}  // namespace Zel
