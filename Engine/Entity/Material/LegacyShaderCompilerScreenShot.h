// The shader compiler the render system swaps in while it renders a screenshot: keys end in "ss",
// an existing file is always reused, and the effect draws every pass with ambient lighting only,
// dropping the pixels where the diffuse texture shows the actor's body skin unchanged.
// One thread at a time, like its base.
#pragma once

#include "Entity/Material/LegacyShaderCompiler.h"

namespace Zel {

class LegacyShaderCompilerScreenShot final : public LegacyShaderCompiler {
public:
    LegacyShaderCompilerScreenShot();
    ~LegacyShaderCompilerScreenShot() override;

    void AppendKeySuffix(std::string& path) override;

protected:
    // A file that opens for reading is reused whatever switch 68 says.
    bool ReuseExisting(const std::string& file) override;
    // A file that cannot be created is logged, not reported.
    bool ReportsThroughLog() const override;
    void WriteEffect(const Material& material, bool specularOff) override;
    void WriteTextureDeclarations() override;
    void WriteSamplerDeclarations() override;
    void WritePSAmbientLighting(const PassShape& pass) override;
    void WriteTechniques(std::uint32_t passCount, const Material& material) override;
};

}  // namespace Zel
