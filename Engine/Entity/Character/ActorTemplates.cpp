#include "Entity/Character/ActorTemplates.h"

#include "Core/Factory.h"
#include "Core/Globals.h"
#include "Entity/Character/Actor.h"
#include "Entity/Material/LegacyShaderCompilerScreenShot.h"
#include "Entity/Material/ZelShaderConstFillerScreenShot.h"
#include "Entity/Scene/SceneManager.h"
#include "Render/RenderSystem.h"

namespace Zel {

std::atomic<bool> ActorTemplates::keepSnapshotShaders_{false};

namespace {

void GiveBack(Actor* actor) {
    if (!actor)
        return;
    if (Factory<Actor>* factory = Globals::Find(&Globals::GetActorFactory))
        factory->Release(actor);
}

}  // namespace

ActorTemplates::ActorTemplates() = default;

ActorTemplates::~ActorTemplates() {
    // Kept snapshot shaders must not outlive this holder inside the render system.
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    if (RenderSystem* renderSystem = scene ? scene->GetRenderSystem() : nullptr; renderSystem) {
        if (renderSystem->GetShaderCompiler() == compiler_.get() && compiler_)
            renderSystem->SetShaderCompiler(previousCompiler_);
        if (renderSystem->GetShaderConstFiller() == filler_.get() && filler_)
            renderSystem->SetShaderConstFiller(previousFiller_);
    }
    for (Actor*& actor : templates_) {
        GiveBack(actor);
        actor = nullptr;
    }
}

void ActorTemplates::SetTemplate(int slot, Actor* actor) {
    if (slot != 0 && slot != 1)
        return;
    if (templates_[slot] != actor)
        GiveBack(templates_[slot]);
    templates_[slot] = actor;
}

TextureBase* ActorTemplates::GetSkinTexture(bool sexFlagSet) const {
    const Actor* chosen = templates_[sexFlagSet ? 0 : 1];
    return chosen ? chosen->GetBodyTexture() : nullptr;
}

void ActorTemplates::InstallSnapshotShaders(RenderSystem& renderSystem) {
    if (!compiler_)
        compiler_ = std::make_unique<LegacyShaderCompilerScreenShot>();
    if (!filler_)
        filler_ = std::make_unique<ZelShaderConstFillerScreenShot>();
    IZelShaderCompiler* compiler = renderSystem.SetShaderCompiler(compiler_.get());
    IZelShaderConstFiller* filler = renderSystem.SetShaderConstFiller(filler_.get());
    // A snapshot after one whose shaders were kept keeps the system's own ones to go back to.
    if (!installed_) {
        previousCompiler_ = compiler;
        previousFiller_ = filler;
    }
    installed_ = true;
}

void ActorTemplates::RestoreShaders(RenderSystem& renderSystem) {
    if (!installed_ || keepSnapshotShaders_)
        return;
    renderSystem.SetShaderCompiler(previousCompiler_);
    renderSystem.SetShaderConstFiller(previousFiller_);
    previousCompiler_ = nullptr;
    previousFiller_ = nullptr;
    installed_ = false;
}

}  // namespace Zel
