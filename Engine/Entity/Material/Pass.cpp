#include "Entity/Material/Pass.h"

#include <algorithm>

#include "Core/Globals.h"
#include "Entity/Material/Material.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Texture/TextureManager.h"

namespace Zel {

namespace {
constexpr std::uint32_t kFixedFunctionDrops = 0xF000 | 0xC;
constexpr std::uint32_t kShaderDrops = 0x30000;
}  // namespace

Pass::Pass(Material* owner, std::uint32_t index) : passIndex(index), owner_(owner) {}

Pass::~Pass() = default;

TextureBase* Pass::GetStageTexture(std::uint32_t i) const {
    return i < TextureStage::kSlotCount ? renderState.stages[i].GetTexture() : nullptr;
}

std::uint32_t Pass::GetTextureCount() const {
    return std::uint32_t(std::count_if(std::begin(renderState.stages), std::end(renderState.stages),
                                       [](const TextureStage& s) { return s.GetTexture(); }));
}

void Pass::LoadTextures() {
    if (texturesLoaded)
        return;
    texturesLoaded = 1;
    TextureManager* textures = Globals::Find(&Globals::GetTextureManager);
    if (!textures)
        return;
    for (TextureStage& stage : renderState.stages) textures->ResolveTextureSlot(stage);
}

std::uint32_t Pass::GetVertexFlags() const {
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    const bool fixedFunction = !scene || scene->IsDX7Mode();
    return vertexFlags & ~(fixedFunction ? kFixedFunctionDrops : kShaderDrops);
}

std::uint32_t Pass::GetOutputFormat() const {
    const std::uint32_t code = owner_ ? owner_->techniqueCode : 0;
    if (code > 19)
        return code;
    // Within each group of four, 0/1 are unblended and 2/3 their blended counterparts.
    const bool blendedCode = (code & 2) != 0;
    const bool blendedPass = (renderState.flags & RSF_ALPHA_BLEND) != 0;
    if (blendedPass && !blendedCode)
        return code + 2;
    if (!blendedPass && blendedCode)
        return code - 2;
    return code;
}

void Pass::SetAmbientColour(float r, float g, float b, float a) {
    const float colour[4] = {r, g, b, a};
    std::copy_n(colour, 4, ambient);
}

void Pass::ExportTextureStages(std::vector<StageExport>& records) const {
    for (const TextureStage& stage : renderState.stages) {
        if (!stage.GetTexture())
            continue;
        records.push_back(
            {stage.envMode, stage.stageSlot, stage.texCoordGen, stage.HasTexCoordMods() ? 1u : 0u});
    }
}

void Pass::CopyTo(Pass& target) const {
    std::copy_n(ambient, 4, target.ambient);
    std::copy_n(diffuse, 4, target.diffuse);
    std::copy_n(specular, 4, target.specular);
    std::copy_n(illumination, 4, target.illumination);
    target.shininess = shininess;
    target.renderState = renderState;
    target.texturesLoaded = texturesLoaded;
    target.vertexFlags = vertexFlags;
    target.passIndex = passIndex;
    target.skinningType = skinningType;
    target.vertexProgramKind = vertexProgramKind;
    target.positionMode = positionMode;
    target.influenceCount = influenceCount;
    target.passFlags = passFlags;
}

}  // namespace Zel
