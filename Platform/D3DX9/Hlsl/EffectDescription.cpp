#include "Platform/D3DX9/Hlsl/EffectDescription.h"

#include <bit>
#include <cmath>

namespace Hlsl {

const Parameter* EffectDescription::FindParameter(const std::string& name) const {
    for (const Parameter& p : parameters)
        if (p.name == name)
            return &p;
    return nullptr;
}

const Technique* EffectDescription::FindTechnique(const std::string& name) const {
    for (const Technique& t : techniques)
        if (t.name == name)
            return &t;
    return nullptr;
}

namespace {

float AsFloat(ParameterType type, std::uint32_t word) {
    if (type == ParameterType::Float)
        return std::bit_cast<float>(word);
    if (type == ParameterType::Bool)
        return word != 0 ? 1.0f : 0.0f;
    return static_cast<float>(static_cast<std::int32_t>(word));
}

std::uint32_t AsDword(ParameterType type, std::uint32_t word) {
    if (type != ParameterType::Float)
        return word;
    float f = std::bit_cast<float>(word);
    if (!(f >= 0.0f))
        return 0;
    if (f >= 4294967295.0f)
        return 0xFFFFFFFFu;
    return static_cast<std::uint32_t>(f);
}

std::uint32_t ColorByte(float v) {
    if (!(v > 0.0f))
        return 0;
    if (v >= 1.0f)
        return 255;
    return static_cast<std::uint32_t>(v * 255.0f + 0.5f);
}

}  // namespace

void ConvertStateWords(StateValueType target, ParameterType source, const std::uint32_t* words,
                       std::uint32_t count, std::vector<std::uint32_t>& out) {
    out.clear();
    switch (target) {
        case StateValueType::Float:
            out.push_back(count > 0 ? std::bit_cast<std::uint32_t>(AsFloat(source, words[0])) : 0);
            break;
        case StateValueType::Bool:
            out.push_back(count > 0 && AsFloat(source, words[0]) != 0.0f ? 1u : 0u);
            break;
        case StateValueType::Color:
            if (count >= 3 && source == ParameterType::Float) {
                // A float colour (r, g, b[, a]) becomes A8R8G8B8; alpha defaults to opaque.
                float a = count >= 4 ? AsFloat(source, words[3]) : 1.0f;
                out.push_back(ColorByte(a) << 24 | ColorByte(AsFloat(source, words[0])) << 16 |
                              ColorByte(AsFloat(source, words[1])) << 8 |
                              ColorByte(AsFloat(source, words[2])));
            } else {
                out.push_back(count > 0 ? AsDword(source, words[0]) : 0);
            }
            break;
        case StateValueType::Matrix:
            for (std::uint32_t i = 0; i < 16; ++i)
                out.push_back(i < count ? std::bit_cast<std::uint32_t>(AsFloat(source, words[i]))
                                        : (i % 5 == 0 ? std::bit_cast<std::uint32_t>(1.0f) : 0u));
            break;
        default:
            out.push_back(count > 0 ? AsDword(source, words[0]) : 0);
            break;
    }
}

bool ResolveStateValue(const StateAssignment& state, const std::vector<std::uint32_t>& values,
                       std::vector<std::uint32_t>& out) {
    switch (state.value.kind) {
        case StateValue::Kind::Constant:
            out = state.value.words;
            return true;
        case StateValue::Kind::Parameter: {
            std::uint64_t end =
                static_cast<std::uint64_t>(state.value.offset) + state.value.wordCount;
            if (end > values.size())
                return false;
            ConvertStateWords(state.valueType, state.value.parameterType,
                              values.data() + state.value.offset, state.value.wordCount, out);
            return true;
        }
        default:
            return false;
    }
}

}  // namespace Hlsl
