// Writes a text file line by line with CR LF (the default) or LF line ends, tab indentation that
// follows the open blocks, and the sections of a RecordWriter: a block's path is its parent's
// path and its name, marked at the start of its first line. Count lines take the plan's field
// values through RecordWriter::FieldValue. Numbers are written in the C locale; a float is written
// in the shortest fixed form that reads back to the same float.
#pragma once

#include <cstdint>
#include <string>

#include "modelgen/RecordWriter.h"

namespace ZelModelGen {

struct TextOptions {
    bool crlf = true;
    bool terminateLastLine = true;  // false: the last line has no line end
};

class TextWriter : public RecordWriter {
public:
    TextWriter(const FaultPlan& faults, const TextOptions& options);

    void Line(const std::string& text);
    // A line "text {" that opens a block named `name`, and the "}" that closes it.
    void Open(const std::string& name, const std::string& text);
    void Close();
    // The line end of the last line is written (or not) by Finish.
    WrittenFile FinishText();

    static std::string Num(float value);
    static std::string Num(int value) { return std::to_string(value); }
    static std::string Num(std::uint32_t value) { return std::to_string(value); }
    static std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

private:
    void StartLine();

    TextOptions options_;
    int depth_ = 0;
    bool pendingEnd_ = false;
};

}  // namespace ZelModelGen
