#include "Entity/Material/RenderState.h"

namespace Zel {

RenderState::RenderState() {
    Reset();
    for (std::uint32_t i = 0; i < TextureStage::kSlotCount; ++i) stages[i].stageSlot = i;
}

RenderState::~RenderState() = default;

RenderState::RenderState(const RenderState& other) : RenderStateBase(other) {
    *this = other;
}

RenderState& RenderState::operator=(const RenderState& other) {
    if (this == &other)
        return *this;
    cullMode = other.cullMode;
    depthFunc = other.depthFunc;
    alphaFunc = other.alphaFunc;
    stencilFunc = other.stencilFunc;
    srcBlend = other.srcBlend;
    destBlend = other.destBlend;
    alphaRef = other.alphaRef;
    flags = other.flags;
    colourWriteMask = other.colourWriteMask;
    for (std::uint32_t i = 0; i < TextureStage::kSlotCount; ++i) stages[i] = other.stages[i];
    return *this;
}

void RenderState::Reset() {
    cullMode = CULL_CLOCKWISE;
    depthFunc = CMP_LESS_EQUAL;
    alphaFunc = CMP_GREATER_EQUAL;
    stencilFunc = CMP_GREATER_EQUAL;
    srcBlend = BLEND_ONE;
    destBlend = BLEND_ZERO;
    alphaRef = 128;
    flags = kResetFlags;
    colourWriteMask = 15;
    for (TextureStage& stage : stages) stage.Reset();
}

void RenderState::ReleaseTextures() {
    for (TextureStage& stage : stages) stage.SetTexture(nullptr);
}

}  // namespace Zel
