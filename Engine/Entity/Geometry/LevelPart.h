// A model placed in a level: its file name and where it stands (the level makes one model per
// record when it loads).
#pragma once

#include <string>

namespace Zel {

struct LevelPart {
    std::string name;  // the model file, relative to the model directory
    // The model's local matrix: 16 floats, row-major, translation in elements 3, 7 and 11.
    float matrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
};

}  // namespace Zel
