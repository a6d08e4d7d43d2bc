#include "modelgen/RecordWriter.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace ZelModelGen {

RecordWriter::RecordWriter(const FaultPlan& faults) : faults_(faults) {}

void RecordWriter::Enter(const std::string& name) {
    names_.push_back(name);
    path_ = PathOf("");
}

void RecordWriter::Leave() {
    if (names_.empty()) throw std::logic_error("RecordWriter::Leave without Enter");
    names_.pop_back();
    path_ = PathOf("");
}

std::string RecordWriter::PathOf(const std::string& child) const {
    std::string p;
    for (std::size_t i = 0; i < names_.size(); ++i) p += (i ? "/" : "") + names_[i];
    if (child.empty()) return p;
    return p.empty() ? child : p + "/" + child;
}

Section& RecordWriter::Mark(SectionKind kind, const std::string& path) {
    Section s;
    s.path = path;
    s.kind = kind;
    s.offset = out_.Size();
    sections_.push_back(s);
    return sections_.back();
}

std::uint32_t RecordWriter::FieldValue(const char* field, std::uint32_t value) {
    if (auto v = faults_.FieldOf(path_, field)) {
        used_.insert(FaultPlan::FieldKey(path_, field));
        return *v;
    }
    return value;
}

void RecordWriter::U32(const char* field, std::uint32_t value) { out_.U32(FieldValue(field, value)); }

void RecordWriter::I32(const char* field, std::int32_t value) {
    out_.U32(FieldValue(field, static_cast<std::uint32_t>(value)));
}

void RecordWriter::F32(const char* field, float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, 4);
    out_.U32(FieldValue(field, bits));
}

void RecordWriter::Zeros(std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) out_.U8(0);
}

std::uint32_t RecordWriter::ElementValue(const std::string& arrayPath, std::size_t i,
                                         std::uint32_t value) {
    if (auto v = faults_.ElementOf(arrayPath, i)) {
        used_.insert(FaultPlan::ElementKey(arrayPath, i));
        return *v;
    }
    return value;
}

void RecordWriter::U32Array(const std::string& name, const std::vector<std::uint32_t>& values) {
    std::string path = path_ + "#" + name;
    Mark(SectionKind::Data, path);
    for (std::size_t i = 0; i < values.size(); ++i) out_.U32(ElementValue(path, i, values[i]));
}

void RecordWriter::PatchField(std::size_t offset, const std::string& path, const char* field,
                              std::uint32_t value) {
    if (auto v = faults_.FieldOf(path, field)) {
        used_.insert(FaultPlan::FieldKey(path, field));
        value = *v;
    }
    out_.PatchU32(offset, value);
}

std::uint32_t RecordWriter::TagValue(const std::string& path, std::uint32_t tag) {
    if (auto v = faults_.TagOf(path)) {
        used_.insert(FaultPlan::TagKey(path));
        return *v;
    }
    return tag;
}

std::uint32_t RecordWriter::SizeWordValue(const std::string& path, std::uint32_t size) {
    if (auto v = faults_.SizeWordOf(path)) {
        used_.insert(FaultPlan::SizeKey(path));
        return *v;
    }
    return size;
}

std::uint32_t RecordWriter::ResourceWordValue(const std::string& path, std::uint32_t word) {
    if (auto v = faults_.ResourceWordOf(path)) {
        used_.insert(FaultPlan::ResourceKey(path));
        return *v;
    }
    return word;
}

StringFault RecordWriter::StringFaultOf(const std::string& path) {
    if (const StringFault* f = faults_.StringOf(path)) {
        used_.insert(FaultPlan::StringKey(path));
        return *f;
    }
    return {};
}

WrittenFile RecordWriter::Finish() {
    std::string unused;
    for (const std::string& key : faults_.Keys())
        if (!used_.count(key)) unused += (unused.empty() ? "" : ", ") + key;
    if (faults_.TruncateSection()) {
        const std::string& name = faults_.TruncateSection()->first;
        auto it = std::find_if(sections_.begin(), sections_.end(),
                               [&](const Section& s) { return s.path == name; });
        if (it == sections_.end()) unused += (unused.empty() ? "" : ", ") + ("cut:" + name);
    }
    if (!unused.empty()) throw std::invalid_argument("fault knobs that name nothing: " + unused);

    WrittenFile file;
    file.bytes = out_.Data();
    file.sections = sections_;
    std::size_t end = file.bytes.size();
    if (faults_.TruncateByte()) end = std::min(end, *faults_.TruncateByte());
    if (faults_.TruncateSection()) {
        const auto& [name, delta] = *faults_.TruncateSection();
        std::int64_t at = static_cast<std::int64_t>(file.Offset(name)) + delta;
        end = std::min<std::size_t>(end, static_cast<std::size_t>(std::max<std::int64_t>(0, at)));
    }
    file.bytes.resize(end);
    const auto& extra = faults_.Appended();
    file.bytes.insert(file.bytes.end(), extra.begin(), extra.end());
    return file;
}

}  // namespace ZelModelGen
