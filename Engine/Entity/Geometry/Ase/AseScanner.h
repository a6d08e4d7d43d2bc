// Reads numbers and words from one line of ASE text with scanf-style formats, in the C locale
// whatever the process locale is. A blank in the format matches any run of blanks (or none);
// "%d" reads a 32-bit integer, "%f" a float, "%s" a word (into a std::string_view, or skipped
// with a null pointer); any other character must match itself. Scanning stops at the first
// conversion or literal that fails; what was converted before stays stored and the destinations
// after it keep their values. The scanner continues from where the previous Scan stopped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace Zel {

class AseScanner {
public:
    // The white space that separates words on an ASE line (the C locale's blanks).
    static bool IsBlank(char c);

    explicit AseScanner(std::string_view text) : text_(text) {}

    // Answers the number of conversions stored; once a Scan has failed, later ones store nothing.
    template <typename... T>
    int Scan(std::string_view format, T*... out) {
        Target targets[] = {MakeTarget(out)..., Target{}};
        return Run(format, targets, sizeof...(T));
    }

    // True while no conversion or literal has failed.
    bool Ok() const { return ok_; }
    // The text not read yet.
    std::string_view Rest() const { return text_.substr(position_); }

    // A whole word as an integer ("12", "-3", "+4"); false for anything else.
    static bool ParseInt(std::string_view word, std::int32_t& out);
    static bool ParseFloat(std::string_view word, float& out);

private:
    struct Target {
        char kind = 0;
        void* pointer = nullptr;
    };
    static Target MakeTarget(std::int32_t* p) { return {'d', p}; }
    static Target MakeTarget(float* p) { return {'f', p}; }
    static Target MakeTarget(std::string_view* p) { return {'s', p}; }

    int Run(std::string_view format, const Target* targets, std::size_t count);
    void SkipBlanks();
    bool ReadInt(std::int32_t& out);
    bool ReadFloat(float& out);

    std::string_view text_;
    std::size_t position_ = 0;
    bool ok_ = true;
};

}  // namespace Zel
