// Materials described by a few numbers, for the effect generator's tests: each stage gets a
// texture of its own (textures outlive the materials that hold them), placed in stage i of its
// pass with the given slot, environment mode, coordinate generation and modifiers.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Entity/Material/Material.h"
#include "Entity/Material/Pass.h"
#include "Entity/Texture/TextureBase.h"

namespace ZelTest {

struct StageSpec {
    std::uint32_t envMode = 1;
    std::uint32_t slot = 0;
    std::uint32_t gen = 0;
    bool mods = false;
};

struct PassSpec {
    std::uint32_t vertexFlags = 0x13;
    std::vector<StageSpec> stages;
    std::uint32_t programKind = 4;
    std::uint32_t positionMode = 0;
    std::uint32_t passFlags = Zel::PF_FINAL_PASS;
};

struct MaterialSpec {
    std::uint32_t lightingMode = 1;
    bool lit = true;
    std::vector<PassSpec> passes;
    std::uint32_t profile = 20;
};

class MaterialMaker {
public:
    Zel::Material& Make(const MaterialSpec& spec, Zel::Material* into = nullptr) {
        Zel::Material* material = into;
        if (material == nullptr) {
            materials_.push_back(std::make_unique<Zel::Material>(nullptr, "m", "Material", 0));
            material = materials_.back().get();
        }
        material->lightingMode = spec.lightingMode;
        material->flags = spec.lit ? Zel::MF_LIT : 0u;
        material->thirdSettingWord = spec.profile;
        std::uint32_t index = 0;
        for (const PassSpec& p : spec.passes) {
            Zel::Pass* pass = material->CreatePass(index++);
            pass->vertexFlags = p.vertexFlags;
            pass->vertexProgramKind = p.programKind;
            pass->positionMode = p.positionMode;
            pass->passFlags = p.passFlags;
            for (std::size_t i = 0; i < p.stages.size(); ++i) {
                Zel::TextureStage& stage = pass->renderState.stages[i];
                stage.envMode = p.stages[i].envMode;
                stage.stageSlot = p.stages[i].slot;
                stage.texCoordGen = p.stages[i].gen;
                if (p.stages[i].mods)
                    stage.texCoordMods.resize(1);
                textures_.push_back(std::make_unique<Zel::TextureBase>(1, nullptr, 2));
                stage.SetTexture(textures_.back().get());
            }
        }
        return *material;
    }

private:
    // Declared first: destroyed after the materials that reference them.
    std::vector<std::unique_ptr<Zel::TextureBase>> textures_;
    std::vector<std::unique_ptr<Zel::Material>> materials_;
};

}  // namespace ZelTest
