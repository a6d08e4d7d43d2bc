#include "modelgen/BoneScaleFiles.h"

namespace ZelModelGen {

std::string WriteBoneScalePreset(const std::vector<BoneScaleEntry>& entries, bool withRoot) {
    const std::string root = withRoot ? "ScaleBoneRoot" : "OtherRoot";
    std::string text = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<" + root + ">\n";
    for (const BoneScaleEntry& e : entries) {
        text += "  <BoneInfo";
        if (!e.name.empty())
            text += " name=\"" + e.name + "\"";
        text += " scale=\"" + e.scale + "\"/>\n";
    }
    return text + "</" + root + ">\n";
}

}  // namespace ZelModelGen
