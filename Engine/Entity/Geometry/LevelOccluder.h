// An occluder quad of a level, as the level mesh file holds it (the record that the level's
// occluder volumes read).
#pragma once

#include <cstdint>

namespace Zel {

struct LevelOccluder {
    // The four corners, corners 2 and 3 exchanged when the file's order winds the other way.
    float corners[4][3] = {};
    float centre[3] = {0.0f, 0.0f, 0.0f};  // the file's P
    float normal[3] = {0.0f, 0.0f, 0.0f};  // the file's Q
    std::uint32_t word = 0;                // not set by the reader
};

}  // namespace Zel
