// Collects the compiler's messages in the form "file(line,col): error X3000: text", the way the
// effect loader reports them. Not thread-safe: one compile owns one instance.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Hlsl {

// A place in the source: the index of the file in the compile's file list (0 is the main
// file), 1-based line and column.
struct SourceLocation {
    std::uint32_t file = 0;
    std::uint32_t line = 0;
    std::uint32_t column = 0;
};

class Diagnostics {
public:
    Diagnostics() = default;
    Diagnostics(const Diagnostics&) = delete;
    Diagnostics& operator=(const Diagnostics&) = delete;

    // Registers a file name for locations; answers its index.
    std::uint32_t AddFile(const std::string& name);
    const std::string& FileName(std::uint32_t index) const;

    // code is the number after "X" (3000 gives "X3000").
    void Error(const SourceLocation& at, int code, const std::string& text);
    void Warning(const SourceLocation& at, int code, const std::string& text);
    // A message without a location ("error X3501: 'main': entrypoint not found").
    void ErrorNoLocation(int code, const std::string& text);

    bool HasErrors() const { return errorCount_ > 0; }
    int ErrorCount() const { return errorCount_; }
    // Every message, one a line, in the order they were raised.
    std::string Text() const;
    const std::vector<std::string>& Lines() const { return lines_; }

private:
    std::string Where(const SourceLocation& at) const;

    std::vector<std::string> files_;
    std::vector<std::string> lines_;
    int errorCount_ = 0;
};

}  // namespace Hlsl
