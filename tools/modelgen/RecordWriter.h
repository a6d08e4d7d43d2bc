// The writing base of every model file writer: little-endian output through ByteWriter, a stack of
// names that makes the path of what is being written, the sections met so far, and the faults of a
// FaultPlan applied to named fields, arrays and the file's end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "fixtures/ByteWriter.h"
#include "modelgen/FaultPlan.h"
#include "modelgen/ModelTypes.h"
#include "modelgen/WrittenFile.h"

namespace ZelModelGen {

class RecordWriter {
public:
    explicit RecordWriter(const FaultPlan& faults);
    RecordWriter(const RecordWriter&) = delete;
    RecordWriter& operator=(const RecordWriter&) = delete;

    // Paths are the entered names joined with '/'.
    void Enter(const std::string& name);
    void Leave();
    const std::string& Path() const { return path_; }
    std::string PathOf(const std::string& child) const;

    Section& Mark(SectionKind kind, const std::string& path);

    // A named field of the current path: the plan's value replaces the given one.
    std::uint32_t FieldValue(const char* field, std::uint32_t value);
    void U32(const char* field, std::uint32_t value);
    void I32(const char* field, std::int32_t value);
    void F32(const char* field, float value);
    // Unnamed values, never replaced.
    void Raw32(std::uint32_t value) { out_.U32(value); }
    void RawF(float value) { out_.F32(value); }
    void Vec(Vec2 v) { out_.F32(v.x).F32(v.y); }
    void Vec(Vec3 v) { out_.F32(v.x).F32(v.y).F32(v.z); }
    void Vec(Vec4 v) { out_.F32(v.x).F32(v.y).F32(v.z).F32(v.w); }
    void Zeros(std::size_t count);
    void Bytes(const std::vector<std::uint8_t>& bytes) { out_.Bytes(bytes.data(), bytes.size()); }
    // A data section "path#name" of 32-bit values, each replaceable through FaultPlan::Element.
    void U32Array(const std::string& name, const std::vector<std::uint32_t>& values);
    // Element i of the array "path#name" as the plan has it.
    std::uint32_t ElementValue(const std::string& arrayPath, std::size_t i, std::uint32_t value);
    // Overwrites a 32-bit field written earlier (a value known only later), applying the plan's
    // value for that path and field.
    void PatchField(std::size_t offset, const std::string& path, const char* field,
                    std::uint32_t value);

    // A chunk header word of `path` as the plan has it.
    std::uint32_t TagValue(const std::string& path, std::uint32_t tag);
    std::uint32_t SizeWordValue(const std::string& path, std::uint32_t size);
    std::uint32_t ResourceWordValue(const std::string& path, std::uint32_t word);
    // The plan's damage for the string or name at `path` (none when the plan has none).
    StringFault StringFaultOf(const std::string& path);

    std::size_t Size() const { return out_.Size(); }
    ZelFixtures::ByteWriter& Out() { return out_; }

    // The bytes with the plan's cut and appended bytes applied, and the sections. Throws
    // std::invalid_argument when a knob of the plan named nothing that was written.
    WrittenFile Finish();

private:
    const FaultPlan& faults_;
    ZelFixtures::ByteWriter out_;
    std::vector<std::string> names_;
    std::string path_;
    std::vector<Section> sections_;
    std::set<std::string> used_;
};

}  // namespace ZelModelGen
