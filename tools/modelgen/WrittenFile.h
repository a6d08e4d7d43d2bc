// A file as a writer made it: its bytes and the named sections it is made of, so that tests can
// cut or damage it at a chosen place and check a reader against what was written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ZelModelGen {

enum class SectionKind {
    Chunk,   // a chunk header ("path"); tag, size word and resource word as written
    Record,  // a fixed record ("path#record")
    String,  // a string record or a name ("path/name")
    Data,    // variable data ("path#what")
    Block,   // a block or line of a text file ("path")
};

struct Section {
    std::string path;
    SectionKind kind = SectionKind::Data;
    std::size_t offset = 0;
    std::uint32_t tag = 0;
    std::uint32_t sizeWord = 0;
    std::uint32_t resourceWord = 0;
};

struct WrittenFile {
    std::vector<std::uint8_t> bytes;
    std::vector<Section> sections;  // in the order they were written; may lie past a cut end

    // The first section of that path, or null.
    const Section* Find(const std::string& path) const;
    // Its offset; throws std::out_of_range when there is no such section.
    std::size_t Offset(const std::string& path) const;
    std::string Text() const { return std::string(bytes.begin(), bytes.end()); }
    // Writes the bytes, creating parent directories; false on failure.
    bool Save(const std::string& path) const;
};

}  // namespace ZelModelGen
