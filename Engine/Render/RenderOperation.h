// What the frame pipeline hands the shader constant filler for one pass of one renderable: its
// transforms, the pass and its render state, the light of this drawing pass, and the per-draw
// values. Every pointer is a non-owning reference valid for the draw. Host thread.
#pragma once

#include <cstdint>

namespace Zel {

class Light;
class Pass;
class RenderState;
class ShaderParamTable;

struct RenderOperation {
    float worldMatrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    float viewMatrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    RenderState* renderState = nullptr;  // the pass's; its generated colours are updated
    Pass* pass = nullptr;
    const Light* light = nullptr;  // null: no light
    float mipLodBias = 0.0f;
    // 0 for the first lighting pass of a renderable, above 0 for each additional light.
    std::uint32_t accumulation = 0;
    float vertexColourModulate[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    // Where the renderable takes its ambient light from; handed to the device's ambient step.
    float ambientLookup[3] = {0.0f, 0.0f, 0.0f};
    const ShaderParamTable* parameters = nullptr;  // the renderable's named overrides, or null
};

}  // namespace Zel
