// The render state of a material pass: culling, depth, alpha and stencil tests, blending, the
// colour channels written, and the twelve texture stages. Its words hold the engine's own codes
// (CompareCode, BlendCode, CullCode in Render/RenderCodes.h), stored in library files as they
// stand; the device converts them. The device can also read its current switches back into the
// flag word and colour mask (RenderDevice::GetRenderStates).
//
// A value type: assignment copies the nine words and assigns the stages one by one. Used by the
// thread that loads or draws the material.
#pragma once

#include <cstdint>

#include "Entity/Material/RenderStateBase.h"
#include "Entity/Material/TextureStage.h"
#include "Render/RenderCodes.h"

namespace Zel {

using CompareFunc = CompareCode;
using BlendFactor = BlendCode;
using CullMode = CullCode;

// Bits of RenderState::flags. A pass uses bits 0-4 and 17; the others are what the device
// reports back. Reset leaves bits 0, 1, 8 and 11 set (0x903).
enum RenderStateFlag : std::uint32_t {
    RSF_DEPTH_TEST = 0x1,
    RSF_DEPTH_WRITE = 0x2,
    RSF_ALPHA_TEST = 0x4,
    RSF_STENCIL = 0x8,
    RSF_ALPHA_BLEND = 0x10,
    RSF_DITHER = 0x20,
    RSF_SPECULAR = 0x40,
    RSF_RANGE_FOG = 0x80,
    RSF_CLIPPING = 0x100,
    RSF_POINT_SPRITES = 0x200,
    RSF_POINT_SCALE = 0x400,
    RSF_MULTISAMPLE_ANTIALIAS = 0x800,
    RSF_SCISSOR_TEST = 0x1000,
    RSF_ANTIALIASED_LINES = 0x2000,
    RSF_TWO_SIDED_STENCIL = 0x4000,
    RSF_SEPARATE_ALPHA_BLEND = 0x8000,
    RSF_CLIP_PLANE_0 = 0x10000,
    RSF_FOG = 0x20000,
};

class RenderState : public RenderStateBase {
public:
    static constexpr std::uint32_t kResetFlags = 0x903;

    // Reset, then stage i gets slot i.
    RenderState();
    ~RenderState() override;
    RenderState(const RenderState& other);
    RenderState& operator=(const RenderState& other);

    // The defaults below, and TextureStage::Reset on every stage (which puts every slot to 0).
    void Reset() override;
    // Drops the texture of every stage.
    void ReleaseTextures();

    std::uint32_t cullMode = CULL_CLOCKWISE;
    std::uint32_t depthFunc = CMP_LESS_EQUAL;
    std::uint32_t alphaFunc = CMP_GREATER_EQUAL;
    std::uint32_t stencilFunc = CMP_GREATER_EQUAL;
    std::uint32_t srcBlend = BLEND_ONE;
    std::uint32_t destBlend = BLEND_ZERO;
    std::uint32_t alphaRef = 128;        // 0..255
    std::uint32_t flags = kResetFlags;   // RenderStateFlag
    std::uint32_t colourWriteMask = 15;  // bit 0 red, 1 green, 2 blue, 3 alpha
    TextureStage stages[TextureStage::kSlotCount];
};

}  // namespace Zel
