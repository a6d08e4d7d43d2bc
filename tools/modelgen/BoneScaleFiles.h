// Bone-scale preset files: a "ScaleBoneRoot" element holding one "BoneInfo" per bone with its
// "name" and "scale" ("a,b,c") attributes.
#pragma once

#include <string>
#include <vector>

namespace ZelModelGen {

struct BoneScaleEntry {
    std::string name;   // empty: the attribute is left out
    std::string scale;  // written as given, so unreadable numbers can be tried
};

// The preset text; withRoot false writes the entries under another root element.
std::string WriteBoneScalePreset(const std::vector<BoneScaleEntry>& entries, bool withRoot = true);

}  // namespace ZelModelGen
