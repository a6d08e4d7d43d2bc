#include "Core/ZelLog.h"

#include "Platform/Win32/Win32Files.h"

namespace Zel {

ZelLog::ZelLog(const char* path) : file_(path ? fopen_resolved(path, "wb") : nullptr) {}

ZelLog::~ZelLog() {
    if (file_)
        std::fclose(file_);
}

void ZelLog::Write(std::string_view text) {
    if (file_)
        std::fwrite(text.data(), 1, text.size(), file_);
}

void ZelLog::Flush() {
    if (file_)
        std::fflush(file_);
}

void ZelLog::WriteLine(std::string_view text) {
    Write(text);
    Write("\n");
    Flush();
}

}  // namespace Zel
