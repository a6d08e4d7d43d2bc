// Faults to put into a file while it is written: a wrong tag, size word or resource word on a
// chunk, a different value in a named record field or array element, a damaged string record,
// a file cut at a byte or at a named section, or bytes appended at the end. Chunks, fields and
// sections are named by the paths the writers give them (WrittenFile::sections lists them). A knob
// whose path the writer never meets makes the write throw std::invalid_argument, so a mistyped
// path cannot pass silently.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ZelModelGen {

// A damaged string record (12-byte head: null flag, length, reserved word; then the characters).
// Each member changes only what it names.
struct StringFault {
    std::optional<std::uint32_t> nullFlag;  // written in place of 0
    std::optional<std::uint32_t> length;    // written in place of the real length
    std::optional<std::uint32_t> reserved;  // written in place of 0
    bool dropNul = false;         // the characters without their NUL; the length counts the letters
    bool omitCharacters = false;  // the head only
};

class FaultPlan {
public:
    FaultPlan& Tag(const std::string& chunk, std::uint32_t tag);
    FaultPlan& SizeWord(const std::string& chunk, std::uint32_t size);
    FaultPlan& ResourceWord(const std::string& chunk, std::uint32_t word);
    // A record field (or a count line of a text file) written with another value; a float field
    // takes the value's bits.
    FaultPlan& Field(const std::string& path, const std::string& field, std::uint32_t value);
    FaultPlan& FieldF(const std::string& path, const std::string& field, float value);
    // Element `index` of a 32-bit array (index lists, frame tables) written with another value.
    FaultPlan& Element(const std::string& array, std::size_t index, std::uint32_t value);
    FaultPlan& String(const std::string& path, const StringFault& fault);
    // The file ends before this byte (no effect when the file is shorter).
    FaultPlan& TruncateAt(std::size_t byte);
    // The file ends `delta` bytes after the start of the named section.
    FaultPlan& TruncateAtSection(const std::string& section, std::int64_t delta = 0);
    FaultPlan& Append(const std::vector<std::uint8_t>& bytes);

    std::optional<std::uint32_t> TagOf(const std::string& chunk) const;
    std::optional<std::uint32_t> SizeWordOf(const std::string& chunk) const;
    std::optional<std::uint32_t> ResourceWordOf(const std::string& chunk) const;
    std::optional<std::uint32_t> FieldOf(const std::string& path, const std::string& field) const;
    std::optional<std::uint32_t> ElementOf(const std::string& array, std::size_t index) const;
    const StringFault* StringOf(const std::string& path) const;
    std::optional<std::size_t> TruncateByte() const { return truncateByte_; }
    const std::optional<std::pair<std::string, std::int64_t>>& TruncateSection() const {
        return truncateSection_;
    }
    const std::vector<std::uint8_t>& Appended() const { return appended_; }

    // One key per knob that names a path ("tag:geometry/part0", "field:geometry:partCount", ...),
    // in the form the writers report as used.
    std::vector<std::string> Keys() const;
    static std::string TagKey(const std::string& chunk) { return "tag:" + chunk; }
    static std::string SizeKey(const std::string& chunk) { return "size:" + chunk; }
    static std::string ResourceKey(const std::string& chunk) { return "resource:" + chunk; }
    static std::string FieldKey(const std::string& path, const std::string& field) {
        return "field:" + path + ":" + field;
    }
    static std::string ElementKey(const std::string& array, std::size_t index) {
        return "element:" + array + "[" + std::to_string(index) + "]";
    }
    static std::string StringKey(const std::string& path) { return "string:" + path; }

private:
    std::map<std::string, std::uint32_t> tags_, sizes_, resources_, fields_;
    std::map<std::pair<std::string, std::size_t>, std::uint32_t> elements_;
    std::map<std::string, StringFault> strings_;
    std::optional<std::size_t> truncateByte_;
    std::optional<std::pair<std::string, std::int64_t>> truncateSection_;
    std::vector<std::uint8_t> appended_;
};

}  // namespace ZelModelGen
