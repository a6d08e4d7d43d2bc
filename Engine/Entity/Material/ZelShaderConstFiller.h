// The shader constant filler of generated and shadow effects: transforms, texture matrices
// animated by their waves, stage textures with their sampler states and constant colours, the
// light, the pass's colours and the renderable's named overrides. Nothing is set while global
// switch 75 is 0. Holds no state. Host thread, inside the frame.
#pragma once

#include <cstdint>

#include "Entity/Material/IZelShaderConstFiller.h"

namespace Zel {

class Pass;
class RenderDevice;
class RenderState;
class ShaderParamTable;

class ZelShaderConstFiller : public IZelShaderConstFiller {
public:
    static constexpr std::uint32_t kFillSwitch = 75;
    static constexpr std::uint32_t kDefaultTextureSwitch = 21;

    ZelShaderConstFiller() = default;
    ~ZelShaderConstFiller() override = default;

    void Fill(RenderOperation& operation, GpuProgram& program) override;

    // Every stage holding a texture, in order, on texture units 0, 1, ...: its sampler state,
    // constant colour (units 0-7) and texture (the default texture while switch 21 is on), and
    // the mip-map LOD bias on its unit. Animated textures are brought up to date and bound as
    // their current frame; a blended one also binds the frame after it as texture 1, with slot
    // 1's sampler state on the same unit, and its blend factor as g_fAlphaRatio. device may be
    // null (no device state is set).
    static void BindStageTextures(RenderDevice* device, const RenderState& state,
                                  GpuProgram& program, const Pass* pass, float mipLodBias);
    // Every float of the table by name, then every vector with a component count, by name.
    static void ApplyParameters(const ShaderParamTable& table, GpuProgram& program);
};

}  // namespace Zel
