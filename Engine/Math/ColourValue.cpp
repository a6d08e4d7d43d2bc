#include "Math/ColourValue.h"

#include "Math/MathUtil.h"

namespace Zel {

void ColourValue::SetAsARGB(std::uint32_t packed) {
    ColorFromARGB(packed, Ptr());
}

void ColourValue::SetAsABGR(std::uint32_t packed) {
    ColorFromABGR(packed, Ptr());
}

const ColourValue& ColourValue::Red() {
    static const ColourValue colour{1.0f, 0.0f, 0.0f, 1.0f};
    return colour;
}

const ColourValue& ColourValue::Green() {
    static const ColourValue colour{0.0f, 1.0f, 0.0f, 1.0f};
    return colour;
}

const ColourValue& ColourValue::Black() {
    static const ColourValue colour{0.0f, 0.0f, 0.0f, 1.0f};
    return colour;
}

}  // namespace Zel
