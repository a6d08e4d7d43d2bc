// Walks ASE text line by line. Blanks, control bytes and bytes outside printable ASCII before a
// line are skipped; then a line starting with '*' is the text after the '*' up to the line feed
// (a carriage return just before the line feed is dropped), a line starting with '}' is "}", and
// a line starting with anything else is passed over and reported as no line. A last line without
// a line feed is read like any other. Lines longer than kMaxLineLength characters are cut to that
// length. Each line is split into its first two blank-separated words, the keyword and the value
// (empty when the line has one word). The text must outlive the reader.
#pragma once

#include <cstddef>
#include <string_view>

namespace Zel {

class AseLineReader {
public:
    static constexpr std::size_t kMaxLineLength = 4095;

    explicit AseLineReader(std::string_view text) : text_(text) {}

    // Reads the next line; false at the end of the text or when the next line starts with
    // neither '*' nor '}' (that line is passed over).
    bool Next();
    std::string_view Line() const { return line_; }
    std::string_view Keyword() const { return keyword_; }
    std::string_view Value() const { return value_; }
    bool IsClose() const { return keyword_ == "}"; }

    // The position before the next line, to come back to it with Rewind.
    std::size_t Mark() const { return position_; }
    void Rewind(std::size_t mark) { position_ = mark; }
    bool AtEnd() const;
    // Bytes not read yet.
    std::size_t Remaining() const { return text_.size() - position_; }
    // Lines cut to kMaxLineLength so far.
    std::size_t CutLines() const { return cutLines_; }

private:
    void Split();

    std::string_view text_;
    std::size_t position_ = 0;
    std::string_view line_;
    std::string_view keyword_;
    std::string_view value_;
    std::size_t cutLines_ = 0;
};

}  // namespace Zel
