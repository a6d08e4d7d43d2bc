#include "modelgen/StdioChunkWriter.h"

#include <stdexcept>

namespace ZelModelGen {

StdioChunkWriter::StdioChunkWriter(const FaultPlan& faults) : RecordWriter(faults) {}

void StdioChunkWriter::BeginChunk(const std::string& name, std::uint32_t tag,
                                  std::uint32_t bodySize) {
    Enter(name);
    Section& s = Mark(SectionKind::Chunk, Path());
    s.tag = TagValue(Path(), tag);
    s.sizeWord = SizeWordValue(Path(), bodySize);
    Raw32(s.tag);
    Raw32(s.sizeWord);
    Mark(SectionKind::Record, Path() + "#record");
    bodyStart_ = Size();
    bodySize_ = bodySize;
}

void StdioChunkWriter::EndBody() {
    if (Size() - bodyStart_ != bodySize_)
        throw std::logic_error("body of " + Path() + " is " + std::to_string(Size() - bodyStart_) +
                               " bytes, not " + std::to_string(bodySize_));
}

void StdioChunkWriter::EndChunk() { Leave(); }

}  // namespace ZelModelGen
