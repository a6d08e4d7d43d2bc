#include "Entity/Geometry/Ase/AseScanner.h"

#include <charconv>
#include <system_error>
#include <type_traits>

namespace Zel {

namespace {

// Parses a number of type V at the start of text (an optional sign, then the digits
// std::from_chars takes); answers the characters used, 0 when none.
template <typename V>
std::size_t ParseNumber(std::string_view text, V& out) {
    std::size_t start = 0;
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        start = 1;
    }
    // from_chars takes its own '-', which after an explicit sign would be a second sign.
    if (start < text.size() && (text[start] == '+' || text[start] == '-'))
        return 0;
    V value{};
    const char* first = text.data() + start;
    const char* last = text.data() + text.size();
    std::from_chars_result result;
    if constexpr (std::is_floating_point_v<V>)
        result = std::from_chars(first, last, value, std::chars_format::general);
    else
        result = std::from_chars(first, last, value);
    if (result.ec != std::errc() || result.ptr == first)
        return 0;
    out = negative ? V(-value) : value;
    return std::size_t(result.ptr - text.data());
}

}  // namespace

bool AseScanner::IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool AseScanner::ParseInt(std::string_view word, std::int32_t& out) {
    std::int32_t value = 0;
    if (word.empty() || ParseNumber(word, value) != word.size())
        return false;
    out = value;
    return true;
}

bool AseScanner::ParseFloat(std::string_view word, float& out) {
    float value = 0.0f;
    if (word.empty() || ParseNumber(word, value) != word.size())
        return false;
    out = value;
    return true;
}

void AseScanner::SkipBlanks() {
    while (position_ < text_.size() && IsBlank(text_[position_])) ++position_;
}

bool AseScanner::ReadInt(std::int32_t& out) {
    SkipBlanks();
    const std::size_t used = ParseNumber(text_.substr(position_), out);
    position_ += used;
    return used != 0;
}

bool AseScanner::ReadFloat(float& out) {
    SkipBlanks();
    const std::size_t used = ParseNumber(text_.substr(position_), out);
    position_ += used;
    return used != 0;
}

int AseScanner::Run(std::string_view format, const Target* targets, std::size_t count) {
    int stored = 0;
    std::size_t next = 0;
    for (std::size_t i = 0; ok_ && i < format.size(); ++i) {
        const char c = format[i];
        if (IsBlank(c)) {
            SkipBlanks();
            continue;
        }
        if (c != '%' || i + 1 >= format.size()) {
            if (position_ < text_.size() && text_[position_] == c)
                ++position_;
            else
                ok_ = false;
            continue;
        }
        const char kind = format[++i];
        const Target target = next < count ? targets[next++] : Target{};
        if (target.kind != kind) {
            ok_ = false;  // a format that does not match its destinations converts nothing more
            break;
        }
        if (kind == 'd') {
            ok_ = ReadInt(*static_cast<std::int32_t*>(target.pointer));
        } else if (kind == 'f') {
            ok_ = ReadFloat(*static_cast<float*>(target.pointer));
        } else {
            SkipBlanks();
            const std::size_t start = position_;
            while (position_ < text_.size() && !IsBlank(text_[position_])) ++position_;
            ok_ = position_ > start;
            if (ok_ && target.pointer)
                *static_cast<std::string_view*>(target.pointer) =
                    text_.substr(start, position_ - start);
        }
        if (ok_)
            ++stored;
    }
    return stored;
}

}  // namespace Zel
