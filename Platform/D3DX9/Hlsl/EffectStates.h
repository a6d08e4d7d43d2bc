// The states an effect pass or a sampler_state block may assign, with their Direct3D 9 codes
// (D3DRS_*, D3DTSS_*, D3DSAMP_*, D3DTS_* of the D3D9 layer) and the names of their values
// (D3DCMP_*, D3DBLEND_*, D3DTOP_*, D3DTA_*, ...). Names of states and values are matched ignoring
// case and underscores, so "ColorOp", "COLOROP" and "Color_Op" are one state.
#pragma once

#include <cstdint>
#include <string_view>

namespace Hlsl {

enum class StateKind : std::uint8_t {
    RenderState = 0,   // code: D3DRENDERSTATETYPE
    TextureStage = 1,  // code: D3DTEXTURESTAGESTATETYPE, index: stage
    Sampler = 2,       // code: D3DSAMPLERSTATETYPE, index: sampler (a pass) or unused (a block)
    Texture = 3,       // a stage's texture (index: stage), or a sampler block's texture
    VertexShader = 4,
    PixelShader = 5,
    Transform = 6,      // code + index: D3DTRANSFORMSTATETYPE (World: 256 + n, Texture: 16 + n)
    SamplerObject = 7,  // Sampler[n] = <sampler>: the sampler's whole block on sampler n
};

// What the state's value is: how a constant is written and how a parameter's value converts.
enum class StateValueType : std::uint8_t {
    Dword = 0,    // an integer or a name from the state's value list (names may be OR-ed)
    Bool = 1,     // TRUE/FALSE, 0/1
    Float = 2,    // a float, handed to Direct3D as its bits
    Color = 3,    // a D3DCOLOR; a float4 (r, g, b, a) value converts to A8R8G8B8
    Matrix = 4,   // sixteen floats
    Texture = 5,  // a texture parameter, or 0 (none)
    Program = 6,  // compile profile Function(arguments), or NULL
    SamplerObject = 7,
};

struct StateValueName {
    const char* name;
    std::uint32_t value;
};

struct StateInfo {
    const char* name;
    StateKind kind;
    std::uint32_t code;
    StateValueType valueType;
    const StateValueName* values;  // value names, ending with a null name; may be null
    std::uint32_t maxIndex;        // highest index allowed in [n]; 0 for unindexed states
};

class EffectStateTable {
public:
    // A state assigned inside a pass.
    static const StateInfo* FindPassState(std::string_view name);
    // A state assigned inside a sampler_state block (sampler states and Texture).
    static const StateInfo* FindSamplerState(std::string_view name);
    // The value of a name for a state (TRUE and FALSE are known to every state).
    static bool FindValue(const StateInfo& state, std::string_view name, std::uint32_t& value);
    // Equality ignoring case and underscores.
    static bool SameName(std::string_view a, std::string_view b);
};

}  // namespace Hlsl
