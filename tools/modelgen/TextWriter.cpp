#include "modelgen/TextWriter.h"

#include <charconv>
#include <stdexcept>

namespace ZelModelGen {

TextWriter::TextWriter(const FaultPlan& faults, const TextOptions& options)
    : RecordWriter(faults), options_(options) {}

void TextWriter::StartLine() {
    if (pendingEnd_) Out().Text(options_.crlf ? "\r\n" : "\n");
    pendingEnd_ = false;
}

void TextWriter::Line(const std::string& text) {
    StartLine();
    Out().Text(std::string(depth_, '\t'));
    Out().Text(text);
    pendingEnd_ = true;
}

void TextWriter::Open(const std::string& name, const std::string& text) {
    StartLine();
    Enter(name);
    Mark(SectionKind::Block, Path());
    Line(text + " {");
    ++depth_;
}

void TextWriter::Close() {
    if (depth_ == 0) throw std::logic_error("TextWriter::Close without Open");
    --depth_;
    Line("}");
    Leave();
}

WrittenFile TextWriter::FinishText() {
    if (depth_ != 0) throw std::logic_error("TextWriter: a block is still open");
    if (pendingEnd_ && options_.terminateLastLine) StartLine();
    pendingEnd_ = false;
    return Finish();
}

std::string TextWriter::Num(float value) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
    if (r.ec != std::errc()) r = std::to_chars(buf, buf + sizeof buf, value);
    std::string s(buf, r.ptr);
    // A decimal point keeps the look of the exported files; "%f" reads either form.
    if (s.find_first_of(".en") == std::string::npos) s += ".0";
    return s;
}

}  // namespace ZelModelGen
