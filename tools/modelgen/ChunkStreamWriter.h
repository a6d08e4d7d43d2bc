// Writes a chunk stream: 12-byte chunk headers (tag, record size, resource word), fixed records,
// string records and variable data, all little-endian. A chunk's path is its parent's path and its
// own name; the header takes the plan's tag, size word and resource word for that path.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "modelgen/RecordWriter.h"

namespace ZelModelGen {

class ChunkStreamWriter : public RecordWriter {
public:
    explicit ChunkStreamWriter(const FaultPlan& faults);

    // Enters `name`, writes the header and starts the record of `recordSize` bytes.
    void BeginChunk(const std::string& name, std::uint32_t tag, std::uint32_t recordSize,
                    std::uint32_t resourceWord = 0);
    // Ends the record; throws std::logic_error when the bytes written since BeginChunk are not the
    // record size (a fault in a chunk writer, never in the file being described).
    void EndRecord();
    void EndChunk();

    // A string record "path/name": null flag 0, length = characters + NUL, reserved 0, the
    // characters and a NUL; the plan's StringFault for that path changes it.
    void String(const std::string& name, const std::string& text);

private:
    struct Open {
        std::size_t recordStart;
        std::uint32_t recordSize;
        bool recordEnded;
    };
    std::vector<Open> open_;
};

}  // namespace ZelModelGen
