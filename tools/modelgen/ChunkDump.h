// A tolerant walk over a chunk stream file (".dm3", ".ch3", ".an3", ".bp3"/".bp4"/".bp5", cloth
// files, with an optional LOD companion) or a stdio chunk file (".dm2", ".ch2"), giving a tree of
// chunks with their tags, size words, resource words and record fields. It follows the nesting
// rules of the formats, checks every count and size against the bytes left before it reads, stops
// at the first thing it cannot follow (reporting where), and never reads outside the bytes given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace ZelModelGen {

struct DumpNode {
    std::string name;      // a tag name for a chunk, else the role ("material", "entry", ...)
    bool chunk = false;
    bool companion = false;  // lies in the LOD companion
    bool hasResourceWord = true;  // false for the headers of stdio chunk files
    std::size_t offset = 0;
    std::uint32_t tag = 0, sizeWord = 0, resourceWord = 0;
    std::vector<std::pair<std::string, std::string>> fields;
    std::vector<DumpNode> children;

    // The value of a field, or "" when there is none.
    std::string Field(const std::string& key) const;
};

struct DumpResult {
    DumpNode root;     // its children are the file's top-level items
    bool ok = true;    // false: the walk stopped at `error`
    std::string error;
    std::size_t errorOffset = 0;
    bool errorInCompanion = false;
    std::vector<std::string> notes;  // size words that differ, failed strings, trailing bytes, ...
    std::size_t consumed = 0;        // bytes of the main file the walk reached
    std::size_t companionConsumed = 0;

    // Every chunk node, depth first.
    std::vector<const DumpNode*> Chunks() const;
};

DumpResult DumpChunkStream(const std::vector<std::uint8_t>& bytes,
                           const std::vector<std::uint8_t>* companion = nullptr);
DumpResult DumpDm2(const std::vector<std::uint8_t>& bytes);
// The tree as indented text: one line per node ("@offset name tag=.. size=.. res=0x.. k=v ..."),
// then the notes and "ok N bytes" or "error @offset: message".
std::string FormatDump(const DumpResult& result);

}  // namespace ZelModelGen
