// The shader constant filler the render system swaps in while an actor snapshot is drawn: the
// ordinary filler, and for the pieces of an actor the body skin of the template actor its sex
// flag selects, bound as "g_texActorBodySkin" for the snapshot effects to draw the skin with.
// Holds no state. Host thread, inside the frame.
#pragma once

#include "Entity/Material/ZelShaderConstFiller.h"

namespace Zel {

class ZelShaderConstFillerScreenShot final : public ZelShaderConstFiller {
public:
    static constexpr const char* kSkinTextureName = "g_texActorBodySkin";

    ZelShaderConstFillerScreenShot() = default;
    ~ZelShaderConstFillerScreenShot() override = default;

    // Nothing while global switch 75 is 0.
    void Fill(RenderOperation& operation, GpuProgram& program) override;
};

}  // namespace Zel
