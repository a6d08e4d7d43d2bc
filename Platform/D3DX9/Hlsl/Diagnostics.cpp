#include "Platform/D3DX9/Hlsl/Diagnostics.h"

namespace Hlsl {

std::uint32_t Diagnostics::AddFile(const std::string& name) {
    files_.push_back(name);
    return static_cast<std::uint32_t>(files_.size() - 1);
}

const std::string& Diagnostics::FileName(std::uint32_t index) const {
    static const std::string kUnknown = "memory";
    return index < files_.size() ? files_[index] : kUnknown;
}

std::string Diagnostics::Where(const SourceLocation& at) const {
    return FileName(at.file) + "(" + std::to_string(at.line) + "," + std::to_string(at.column) +
           "): ";
}

void Diagnostics::Error(const SourceLocation& at, int code, const std::string& text) {
    // One fault often cascades; the first fifty say all there is to say.
    if (++errorCount_ > 50)
        return;
    lines_.push_back(Where(at) + "error X" + std::to_string(code) + ": " + text);
}

void Diagnostics::Warning(const SourceLocation& at, int code, const std::string& text) {
    std::string line = Where(at) + "warning X" + std::to_string(code) + ": " + text;
    for (const std::string& l : lines_)
        if (l == line)
            return;  // an inlined function warns once, not once per call
    lines_.push_back(std::move(line));
}

void Diagnostics::ErrorNoLocation(int code, const std::string& text) {
    if (++errorCount_ > 50)
        return;
    lines_.push_back("error X" + std::to_string(code) + ": " + text);
}

std::string Diagnostics::Text() const {
    std::string out;
    for (const std::string& l : lines_) {
        out += l;
        out += '\n';
    }
    return out;
}

}  // namespace Hlsl
