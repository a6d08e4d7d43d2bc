#include "Entity/Material/LegacyShaderCompilerScreenShot.h"

#include <cstdio>

#include "Entity/Material/Material.h"
#include "Platform/Win32/Win32Files.h"

namespace Zel {

LegacyShaderCompilerScreenShot::LegacyShaderCompilerScreenShot() = default;
LegacyShaderCompilerScreenShot::~LegacyShaderCompilerScreenShot() = default;

void LegacyShaderCompilerScreenShot::AppendKeySuffix(std::string& path) {
    path += "ss";
}

bool LegacyShaderCompilerScreenShot::ReuseExisting(const std::string& file) {
    FILE* existing = fopen_resolved(file.c_str(), "r");
    if (existing == nullptr)
        return false;
    std::fclose(existing);
    return true;
}

bool LegacyShaderCompilerScreenShot::ReportsThroughLog() const {
    return true;
}

void LegacyShaderCompilerScreenShot::WriteEffect(const Material& material, bool) {
    const std::vector<PassShape> passes = ShapePasses(material, true);
    WriteHead();
    for (const PassShape& pass : passes) WriteStructures(pass);
    for (const PassShape& pass : passes) {
        WriteVSLighting(pass, true, material);
        WritePSAmbientLighting(pass);
    }
    WriteTechniques(std::uint32_t(passes.size()), material);
}

void LegacyShaderCompilerScreenShot::WriteTextureDeclarations() {
    LegacyShaderCompiler::WriteTextureDeclarations();
    text_.pop_back();
    text_ += "texture g_texActorBodySkin;\nSamplerStateStruct g_ActorBodySkinSamplerState;\n\n";
}

void LegacyShaderCompilerScreenShot::WriteSamplerDeclarations() {
    WriteGeneratedSamplers("\tMipMapLodBias = -11;\n");
    text_ +=
        "sampler2D g_ActorBodySkinSampler = sampler_state\n{\n\tTexture = <g_texActorBodySkin>;\n"
        "\tMinFilter = <g_DiffuseSamplerState.MinFilter>;\n"
        "\tMagFilter = <g_DiffuseSamplerState.MagFilter>;\n"
        "\tMipFilter = <g_DiffuseSamplerState.MipFilter>;\n"
        "\tMipMapLodBias = -11;\n};\n\n";
}

void LegacyShaderCompilerScreenShot::WritePSAmbientLighting(const PassShape& pass) {
    // A pass without a textured stage has no texture coordinate to compare the body skin at,
    // and no diffuse texel to compare it with: it keeps every pixel.
    if (pass.stages.empty()) {
        LegacyShaderCompiler::WritePSAmbientLighting(pass);
        return;
    }
    Put("PSOut PSAmbientLighting_%u( PSIn_%u psin)\n", pass.index, pass.index);
    text_ +=
        "{\n\t\tPSOut psout;\n\t\tfloat4 t2, t1, constColor;\n\t\tt2 = psin.C0;\n"
        "float4 tbody=tex2D(g_ActorBodySkinSampler,psin.UV0);\n"
        "float4 tdif=t1 = tex2D(g_DiffuseSampler, psin.UV0 );\n"
        "if(abs(tbody.x-tdif.x)<0.02f && abs(tbody.y-tdif.y)<0.02f && abs(tbody.z-tdif.z)<0.02f "
        "&& (tbody.a >0.01f)){\n"
        "discard;\n"
        "}else{\n";
    for (std::uint32_t k = 0; k < pass.stages.size(); ++k)
        WriteStageOp(k, pass.stages[k].envMode, pass.stages[k].stageSlot);
    WritePixelClosing();
    text_.pop_back();
    text_ += "}\n\n";
}

void LegacyShaderCompilerScreenShot::WriteTechniques(std::uint32_t passCount, const Material&) {
    WriteTechniqueGroup(kAmbientLightingTechniques, 8, passCount, "vs_3_0", 3, 0,
                        "VSAmbientLighting", "PSAmbientLighting");
}

}  // namespace Zel
