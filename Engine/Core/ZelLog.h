// The log file: opened for writing (truncating) when built. A file that cannot be opened leaves
// the object failed, and its writes do nothing.
#pragma once

#include <cstdio>
#include <string_view>

namespace Zel {

class ZelLog {
public:
    explicit ZelLog(const char* path);
    virtual ~ZelLog();
    ZelLog(const ZelLog&) = delete;
    ZelLog& operator=(const ZelLog&) = delete;

    bool IsOpen() const { return file_ != nullptr; }
    // The text, a line feed, and a flush.
    void WriteLine(std::string_view text);
    // The text as it is, no flush.
    void Write(std::string_view text);
    void Flush();

private:
    std::FILE* file_;
};

}  // namespace Zel
