#include "modelgen/ChunkStreamWriter.h"

#include <stdexcept>

namespace ZelModelGen {

ChunkStreamWriter::ChunkStreamWriter(const FaultPlan& faults) : RecordWriter(faults) {}

void ChunkStreamWriter::BeginChunk(const std::string& name, std::uint32_t tag,
                                   std::uint32_t recordSize, std::uint32_t resourceWord) {
    Enter(name);
    const std::string& path = Path();
    tag = TagValue(path, tag);
    std::uint32_t sizeWord = SizeWordValue(path, recordSize);
    resourceWord = ResourceWordValue(path, resourceWord);
    Section& s = Mark(SectionKind::Chunk, path);
    s.tag = tag;
    s.sizeWord = sizeWord;
    s.resourceWord = resourceWord;
    Raw32(tag);
    Raw32(sizeWord);
    Raw32(resourceWord);
    Mark(SectionKind::Record, path + "#record");
    open_.push_back({Size(), recordSize, false});
}

void ChunkStreamWriter::EndRecord() {
    Open& o = open_.back();
    if (Size() - o.recordStart != o.recordSize)
        throw std::logic_error("record of " + Path() + " is " +
                               std::to_string(Size() - o.recordStart) + " bytes, not " +
                               std::to_string(o.recordSize));
    o.recordEnded = true;
    Mark(SectionKind::Data, Path() + "#data");
}

void ChunkStreamWriter::EndChunk() {
    if (open_.empty() || !open_.back().recordEnded)
        throw std::logic_error("EndChunk of " + Path() + " without its record");
    open_.pop_back();
    Leave();
}

void ChunkStreamWriter::String(const std::string& name, const std::string& text) {
    std::string path = PathOf(name);
    Mark(SectionKind::String, path);
    StringFault fault = StringFaultOf(path);
    std::string chars = text;
    if (!fault.dropNul) chars.push_back('\0');
    Raw32(fault.nullFlag.value_or(0));
    Raw32(fault.length.value_or(static_cast<std::uint32_t>(chars.size())));
    Raw32(fault.reserved.value_or(0));
    if (!fault.omitCharacters) Out().Text(chars);
}

}  // namespace ZelModelGen
