// The engine's own effect include files ("Definitions.fx", "SamplerState.fx", "Lighting.fx",
// "Transform.fx", "ShiftColor.fx") that every generated effect includes as "../include/<name>":
// MAX_BONE, SamplerStateStruct, CustomColor, and the textures and samplers of the texture kinds
// the generated text does not declare (bump, detail bump, specular, reflection, refraction, shadow
// map, light map, light projection). They declare nothing the generated effects or the shadow
// effects declare themselves. Any thread may read the texts; writing is the loading thread's.
#pragma once

#include <string>
#include <vector>

namespace Zel {

struct EffectIncludeFile {
    const char* name;  // file name without directory
    const char* text;
};

// The five files in a fixed order; the texts are static.
const std::vector<EffectIncludeFile>& EffectIncludeFiles();

// Writes each file that is not already at directory + name (directory ends with a separator; it
// must exist). An existing file is left alone. False, with an error report per file, when one
// cannot be created or written.
bool WriteEffectIncludeFiles(const std::string& directory);

}  // namespace Zel
