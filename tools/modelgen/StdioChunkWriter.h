// Writes the older stdio chunk files (".dm2", ".ch2"): every chunk is a u32 tag, a u32 body size
// and the body; what follows a body (render groups, vertex and index blocks of a mesh) is not
// counted by its size.
#pragma once

#include <cstdint>
#include <string>

#include "modelgen/RecordWriter.h"

namespace ZelModelGen {

class StdioChunkWriter : public RecordWriter {
public:
    explicit StdioChunkWriter(const FaultPlan& faults);

    // Enters `name` and writes the header with the plan's tag and size word for that path.
    void BeginChunk(const std::string& name, std::uint32_t tag, std::uint32_t bodySize);
    // Throws std::logic_error when the body written is not the size given to BeginChunk.
    void EndBody();
    void EndChunk();

private:
    std::size_t bodyStart_ = 0;
    std::uint32_t bodySize_ = 0;
};

}  // namespace ZelModelGen
