#include "modelgen/BoneBoundsFiles.h"

#include <cstdio>

namespace ZelModelGen {

std::string WriteBoneBounds(const std::vector<BoneBoundEntry>& entries) {
    std::string text = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Root>\n  <Bounds>\n";
    char number[32];
    for (const BoneBoundEntry& e : entries) {
        text += "    <Entry Type=\"" + e.type + "\" Name=\"" + e.name + "\"";
        if (!e.parent.empty())
            text += " ParentName=\"" + e.parent + "\"";
        std::snprintf(number, sizeof number, "%g", e.radius);
        text += std::string(" Radius=\"") + number + "\"";
        std::snprintf(number, sizeof number, "%g", e.height);
        text += std::string(" Height=\"") + number + "\">\n";
        if (e.withLocal) {
            text += "      <LocalTM>";
            for (int n = 0; n < 16; ++n) {
                std::snprintf(number, sizeof number, n ? " %f" : "%f",
                              e.local[4 * (n % 4) + n / 4]);
                text += number;
            }
            text += "</LocalTM>\n";
        }
        text += "    </Entry>\n";
    }
    return text + "  </Bounds>\n</Root>\n";
}

}  // namespace ZelModelGen
