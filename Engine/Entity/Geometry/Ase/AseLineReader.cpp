#include "Entity/Geometry/Ase/AseLineReader.h"

#include "Entity/Geometry/Ase/AseScanner.h"

namespace Zel {

namespace {

bool StartsLine(unsigned char c) {
    return c > ' ' && c < 0x7F;
}

}  // namespace

bool AseLineReader::AtEnd() const {
    std::size_t p = position_;
    while (p < text_.size() && !StartsLine(static_cast<unsigned char>(text_[p]))) ++p;
    return p >= text_.size();
}

bool AseLineReader::Next() {
    while (position_ < text_.size() && !StartsLine(static_cast<unsigned char>(text_[position_])))
        ++position_;
    if (position_ >= text_.size())
        return false;
    const char first = text_[position_];
    std::size_t end = text_.find('\n', position_);
    if (end == std::string_view::npos)
        end = text_.size();
    const std::size_t start = position_ + 1;
    position_ = end;
    if (first == '}') {
        line_ = keyword_ = "}";
        value_ = {};
        return true;
    }
    if (first != '*')
        return false;
    std::size_t stop = end;
    if (stop > start && text_[stop - 1] == '\r')
        --stop;
    if (stop - start > kMaxLineLength) {
        stop = start + kMaxLineLength;
        ++cutLines_;
    }
    line_ = text_.substr(start, stop - start);
    Split();
    return true;
}

void AseLineReader::Split() {
    std::size_t p = 0;
    auto word = [&]() {
        while (p < line_.size() && AseScanner::IsBlank(line_[p])) ++p;
        const std::size_t begin = p;
        while (p < line_.size() && !AseScanner::IsBlank(line_[p])) ++p;
        return line_.substr(begin, p - begin);
    };
    keyword_ = word();
    value_ = word();
}

}  // namespace Zel
