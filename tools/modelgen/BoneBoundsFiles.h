// Bone-bounds files: "Root" / "Bounds" / one "Entry" per shape with its "Type", "Name",
// "ParentName", "Radius" (and "Height") attributes and a "LocalTM" element listing the sixteen
// numbers of its matrix column by column.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace ZelModelGen {

struct BoneBoundEntry {
    std::string type;  // "SPHERE", "CAPSULE" or anything else
    std::string name;
    std::string parent;  // empty: the attribute is left out
    float radius = 1.0f;
    float height = 1.0f;  // written for every type
    // Row-major (translation in 3, 7 and 11); written column by column.
    std::array<float, 16> local = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    bool withLocal = true;
};

std::string WriteBoneBounds(const std::vector<BoneBoundEntry>& entries);

}  // namespace ZelModelGen
