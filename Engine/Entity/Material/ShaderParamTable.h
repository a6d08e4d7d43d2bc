// Named effect-parameter values a drawable sets for itself, applied on top of its material's
// program when it is drawn (floats through the program's set-float-by-name, vectors through
// set-value-by-name with 4 bytes per component). The table only stores; one thread at a time.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace Zel {

class ShaderParamTable {
public:
    struct VectorEntry {
        std::uint32_t count = 0;  // 2 or 4 once set
        float values[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    };

    // Each finds or inserts the entry of the name and stores the value(s); a vector set by
    // SetVector2 is (x, y, 0, 0) with count 2.
    void SetFloat(const std::string& name, float value);
    void SetVector2(const std::string& name, float x, float y);
    void SetVector4(const std::string& name, float x, float y, float z, float w);
    // Empties both maps.
    void Clear();

    const std::map<std::string, float>& GetFloats() const { return floats_; }
    const std::map<std::string, VectorEntry>& GetVectors() const { return vectors_; }

private:
    std::map<std::string, float> floats_;
    std::map<std::string, VectorEntry> vectors_;
};

}  // namespace Zel
