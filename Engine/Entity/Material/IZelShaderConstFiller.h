// The shader constant filler the render system holds: just before a pass is drawn it sets the
// parameters of the material's program from the render operation. Host thread, inside the frame.
#pragma once

namespace Zel {

class GpuProgram;
struct RenderOperation;

class IZelShaderConstFiller {
public:
    virtual ~IZelShaderConstFiller() = default;
    // Sets the program's parameters for the operation; parameters the program did not bind are
    // ignored by its setters.
    virtual void Fill(RenderOperation& operation, GpuProgram& program) = 0;

protected:
    IZelShaderConstFiller() = default;
    IZelShaderConstFiller(const IZelShaderConstFiller&) = delete;
    IZelShaderConstFiller& operator=(const IZelShaderConstFiller&) = delete;
};

}  // namespace Zel
