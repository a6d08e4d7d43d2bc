#include "modelgen/FaultPlan.h"

#include <cstring>

namespace ZelModelGen {

namespace {

template <typename Map, typename Key>
std::optional<std::uint32_t> Lookup(const Map& map, const Key& key) {
    auto it = map.find(key);
    if (it == map.end()) return std::nullopt;
    return it->second;
}

}  // namespace

FaultPlan& FaultPlan::Tag(const std::string& chunk, std::uint32_t tag) {
    tags_[chunk] = tag;
    return *this;
}

FaultPlan& FaultPlan::SizeWord(const std::string& chunk, std::uint32_t size) {
    sizes_[chunk] = size;
    return *this;
}

FaultPlan& FaultPlan::ResourceWord(const std::string& chunk, std::uint32_t word) {
    resources_[chunk] = word;
    return *this;
}

FaultPlan& FaultPlan::Field(const std::string& path, const std::string& field,
                            std::uint32_t value) {
    fields_[path + ":" + field] = value;
    return *this;
}

FaultPlan& FaultPlan::FieldF(const std::string& path, const std::string& field, float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, 4);
    return Field(path, field, bits);
}

FaultPlan& FaultPlan::Element(const std::string& array, std::size_t index, std::uint32_t value) {
    elements_[{array, index}] = value;
    return *this;
}

FaultPlan& FaultPlan::String(const std::string& path, const StringFault& fault) {
    strings_[path] = fault;
    return *this;
}

FaultPlan& FaultPlan::TruncateAt(std::size_t byte) {
    truncateByte_ = byte;
    return *this;
}

FaultPlan& FaultPlan::TruncateAtSection(const std::string& section, std::int64_t delta) {
    truncateSection_ = std::make_pair(section, delta);
    return *this;
}

FaultPlan& FaultPlan::Append(const std::vector<std::uint8_t>& bytes) {
    appended_.insert(appended_.end(), bytes.begin(), bytes.end());
    return *this;
}

std::optional<std::uint32_t> FaultPlan::TagOf(const std::string& chunk) const {
    return Lookup(tags_, chunk);
}

std::optional<std::uint32_t> FaultPlan::SizeWordOf(const std::string& chunk) const {
    return Lookup(sizes_, chunk);
}

std::optional<std::uint32_t> FaultPlan::ResourceWordOf(const std::string& chunk) const {
    return Lookup(resources_, chunk);
}

std::optional<std::uint32_t> FaultPlan::FieldOf(const std::string& path,
                                                const std::string& field) const {
    return Lookup(fields_, path + ":" + field);
}

std::optional<std::uint32_t> FaultPlan::ElementOf(const std::string& array,
                                                  std::size_t index) const {
    return Lookup(elements_, std::make_pair(array, index));
}

const StringFault* FaultPlan::StringOf(const std::string& path) const {
    auto it = strings_.find(path);
    return it == strings_.end() ? nullptr : &it->second;
}

std::vector<std::string> FaultPlan::Keys() const {
    std::vector<std::string> keys;
    for (const auto& [k, v] : tags_) keys.push_back(TagKey(k));
    for (const auto& [k, v] : sizes_) keys.push_back(SizeKey(k));
    for (const auto& [k, v] : resources_) keys.push_back(ResourceKey(k));
    for (const auto& [k, v] : fields_) keys.push_back("field:" + k);
    for (const auto& [k, v] : elements_) keys.push_back(ElementKey(k.first, k.second));
    for (const auto& [k, v] : strings_) keys.push_back(StringKey(k));
    return keys;
}

}  // namespace ZelModelGen
