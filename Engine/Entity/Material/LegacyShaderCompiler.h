// The render system's shader compiler: derives an effect key from a material's features (its
// lighting, and per pass the vertex program, vertex components and textured stages), and writes
// the HLSL effect of that key under the effect root unless a file of that name may be reused. The
// key is the effect's name; the GPU program manager loads it.
//
// One thread at a time (the loading thread): Generate switches the process's current directory
// and uses the compiler's one text buffer and path.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Entity/Material/IZelShaderCompiler.h"
#include "Entity/Material/Pass.h"

namespace Zel {

class Material;

class LegacyShaderCompiler : public IZelShaderCompiler {
public:
    LegacyShaderCompiler();
    ~LegacyShaderCompiler() override;

    // Builds the key, and (unless switch 68 is on and the file exists) writes the effect text
    // into it, creating the include files the text names when they are missing. Answers the key
    // in every case (overwritten by the next call); a file that cannot be created is reported
    // and whatever file stands under that name is what loads.
    const std::string& Generate(Material* material, bool specularOff) override;

    // Appended before the fixed file ending; nothing here.
    virtual void AppendKeySuffix(std::string& path);
    // The key of the material: effectRoot, lighting prefix and part, one part per pass, the
    // suffix and "shift_col.fx".
    virtual void BuildKey(const Material& material, std::string& path,
                          const std::string& effectRoot);
    // The effect text Generate writes for the material.
    std::string BuildEffectText(const Material& material, bool specularOff);
    // The key of the last Generate.
    const std::string& GetEffectPath() const { return effectPath_; }

protected:
    // What the writers need of one pass: its index, the vertex components its input structure
    // declares, its raw vertex flags, vertex program kind, position mode, pass flags and the
    // records of its textured stages.
    struct PassShape {
        std::uint32_t index = 0;
        std::uint32_t declaredFlags = 0;
        std::uint32_t vertexFlags = 0;
        std::uint32_t programKind = 4;
        std::uint32_t positionMode = 0;
        std::uint32_t passFlags = 0;
        std::vector<StageExport> stages;
    };

    // The eight techniques drawing with VSAmbientLighting and PSAmbientLighting.
    static const char* const kAmbientLightingTechniques[8];

    // The whole text into text_; the screenshot compiler writes its own layout.
    virtual void WriteEffect(const Material& material, bool specularOff);
    virtual void WriteTextureDeclarations();
    virtual void WriteSamplerDeclarations();
    virtual void WritePSAmbientLighting(const PassShape& pass);
    virtual void WriteStageOp(std::uint32_t ordinal, std::uint32_t envMode, std::uint32_t slot);
    virtual void WriteTechniques(std::uint32_t passCount, const Material& material);

    // Shared by both compilers.
    std::vector<PassShape> ShapePasses(const Material& material, bool lightingFunctions) const;
    void WriteHead();
    void WriteGlobals();
    void WriteStructures(const PassShape& pass);
    void WriteVSAmbient(const PassShape& pass, const Material& material);
    void WriteVSLighting(const PassShape& pass, bool ambient, const Material& material);
    // The PSAmbient/PSAmbientLighting/PSLighting body after its header; onlyFirstPlain: only
    // the first stage outside slots 5, 6 and 10 is combined.
    void WritePixelBody(const PassShape& pass, bool onlyFirstPlain);
    void WritePixelClosing();
    void WriteTechniqueGroup(const char* const* names, std::size_t count, std::uint32_t passCount,
                             const char* vertexProfile, std::uint32_t major, std::uint32_t minor,
                             const char* vs, const char* ps);
    void WriteFixedFunctionTechniques(std::uint32_t passCount, const Material& material);
    void WriteSampler(const char* type, const char* kind, const char* texture,
                      const char* extraLines);
    // The diffuse, detail diffuse, cube and sphere samplers; the diffuse one gets the extra lines.
    void WriteGeneratedSamplers(const char* diffuseExtraLines);
    // Whether Generate keeps the file that stands under the key: with switch 68 on, when it
    // exists.
    virtual bool ReuseExisting(const std::string& file);
    // Whether a file that cannot be created goes to the log (no log line on creation) rather
    // than the error reporter.
    virtual bool ReportsThroughLog() const;
    // Writes the effect text to the file of the key; reported failures answer false.
    bool WriteFile(const std::string& path);
    void Put(const char* format, ...) __attribute__((format(printf, 2, 3)));

    std::string effectPath_;
    std::string text_;
    bool specularOff_ = false;
};

}  // namespace Zel
