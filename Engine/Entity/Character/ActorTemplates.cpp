#include "Entity/Character/ActorTemplates.h"

#include <algorithm>
#include <string>

#include "Core/EnginePaths.h"
#include "Core/Factory.h"
#include "Core/FrameStats.h"
#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Core/LogDispatch.h"
#include "Core/PathUtils.h"
#include "Core/RCInterfaceCarrier.h"
#include "Entity/Character/Actor.h"
#include "Entity/Geometry/GeometryBodyPart.h"
#include "Entity/Material/LegacyShaderCompilerScreenShot.h"
#include "Entity/Material/ZelShaderConstFillerScreenShot.h"
#include "Entity/Scene/SceneManager.h"
#include "Interface/IActor.h"
#include "Interface/ICamera.h"
#include "Interface/IRender.h"
#include "Interface/IRenderTarget.h"
#include "Interface/ISpecialEffectManager.h"
#include "Render/RenderSystem.h"

namespace Zel {

std::atomic<bool> ActorTemplates::keepSnapshotShaders_{false};

namespace {

// The switch under which a snapshot also draws the host's further models.
constexpr std::uint32_t kSnapshotModelsSwitch = 13;
// Colour and depth.
constexpr int kSnapshotClearFlags = 3;

// A snapshot is drawn between the host's frames: its draws are not counted in the host's next
// frame, and the frame it begins moves no scene time on, so the host's animated stages and
// statistics read as if it had not run.
class HostFrameKeeper {
public:
    HostFrameKeeper()
        : stats_(Globals::Find(&Globals::GetFrameStats)),
          scene_(Globals::Find(&Globals::GetSceneManager)) {
        if (stats_)
            savedStats_ = *stats_;
        if (scene_)
            savedTime_ = scene_->GetTimeValue();
    }
    ~HostFrameKeeper() {
        if (stats_)
            *stats_ = savedStats_;
        if (scene_)
            scene_->SetTimeValue(savedTime_);
    }
    HostFrameKeeper(const HostFrameKeeper&) = delete;
    HostFrameKeeper& operator=(const HostFrameKeeper&) = delete;

private:
    FrameStats* stats_;
    SceneManager* scene_;
    FrameStats savedStats_{};
    float savedTime_ = 0.0f;
};

constexpr const char* kPartFiles[2][ActorTemplates::kTemplatePartCount] = {
    {"media/shaders/role/output/110000000.BP3", "media/shaders/role/output/111001001.BP3",
     "media/shaders/role/output/112001001.BP3", "media/shaders/role/output/113000000.BP3",
     "media/shaders/role/output/114000000.BP3", "media/shaders/role/output/115000000.BP3",
     "media/shaders/role/output/116000000.BP3", "media/shaders/role/output/117000000.BP3",
     "media/shaders/role/output/118000000.BP3"},
    {"media/shaders/role/output/100000000.BP3", "media/shaders/role/output/101001001.BP3",
     "media/shaders/role/output/102001001.BP3", "media/shaders/role/output/103000000.BP3",
     "media/shaders/role/output/104000000.BP3", "media/shaders/role/output/105000000.BP3",
     "media/shaders/role/output/106000000.BP3", "media/shaders/role/output/107000000.BP3",
     "media/shaders/role/output/108000000.BP3"},
};

// A template made through the render interface is one of the scene's entities: it goes back
// through the scene, which leaves alone one it released already (at shutdown it releases every
// entity before this holder goes). Others came straight from the actor factory.
void GiveBack(Actor* actor, bool registered) {
    if (!actor)
        return;
    if (registered) {
        if (SceneManager* scene = Globals::Find(&Globals::GetSceneManager))
            scene->ReleaseRegisteredEntity(actor);
        return;
    }
    if (Factory<Actor>* factory = Globals::Find(&Globals::GetActorFactory))
        factory->Release(actor);
}

Actor* ActorBehind(ZelI::IActor* wrapper) {
    auto* carrier =
        wrapper ? static_cast<RCInterfaceCarrier<ZelI::IMoveObject>*>(wrapper->GetImpl()) : nullptr;
    return carrier ? dynamic_cast<Actor*>(carrier) : nullptr;
}

RenderSystem* TemplatesRenderSystem() {
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    return scene ? scene->GetRenderSystem() : nullptr;
}

bool SnapshotSwitchOn(std::uint32_t index) {
    const GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager);
    return config && config->GetValue(index) != 0;
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
    if (target_)
        target_->Release();
    target_ = nullptr;
    ReleaseTemplates();
}

void ActorTemplates::ReleaseTemplates() {
    for (int slot = 0; slot < 2; ++slot) {
        GiveBack(templates_[slot], registered_[slot]);
        templates_[slot] = nullptr;
        registered_[slot] = false;
    }
}

void ActorTemplates::SetTemplate(int slot, Actor* actor) {
    if (slot != 0 && slot != 1)
        return;
    if (templates_[slot] != actor)
        GiveBack(templates_[slot], registered_[slot]);
    templates_[slot] = actor;
    registered_[slot] = false;
}

const char* ActorTemplates::GetTemplatePartFile(int slot, std::uint32_t part) {
    if ((slot != 0 && slot != 1) || part >= kTemplatePartCount)
        return nullptr;
    return kPartFiles[slot][part];
}

void ActorTemplates::InitTemplates(ZelI::IRender& render) {
    for (int slot = 0; slot < 2; ++slot) {
        if (templates_[slot])
            continue;
        LogTyped(LOG_ENGINE_INIT,
                 slot == 0 ? "Before Init Dumy Female Actor,resdir=%s"
                           : "Before Init Dumy Male Actor,resdir=%s",
                 GetResourcesRoot().c_str());
        ZelI::IActor* wrapper = render.CreateActor(MakePathString(kDescription).c_str(), slot, 0);
        Actor* actor = ActorBehind(wrapper);
        if (!actor)
            continue;
        for (std::uint32_t part = 0; part < kTemplatePartCount; ++part)
            wrapper->SetBodyPart(static_cast<std::int32_t>(part),
                                 MakePathString(kPartFiles[slot][part]).c_str());
        actor->RebuildMaterials();
        templates_[slot] = actor;
        registered_[slot] = true;
        LogTyped(LOG_ENGINE_INIT, "End Init Dump Actor");
    }
}

void ActorTemplates::Begin(ZelI::IRender& render, Actor& actor) {
    if (RenderSystem* system = TemplatesRenderSystem())
        InstallSnapshotShaders(*system);
    actor.SetMaterialsTwoSided(true);
    // The cloth pieces take their shape in the scene's update, which a snapshot does not run: an
    // actor pictured before its first frame would show its cloth unshaped.
    actor.StepCloth(0.0f);
    InitTemplates(render);
    Actor* chosen = templates_[actor.GetSex() != 0 ? 0 : 1];
    // The template finds a part by the file the pictured actor read, not by the name that
    // actor resolved against its own description's folder.
    const GeometryBodyPart* worn = actor.GetBodyPartGeometry(0);
    const std::string body = worn ? worn->GetLoadPath() : actor.GetBodyPartName(0);
    if (!chosen || body.empty() || chosen->GetBodyPartName(0) == body)
        return;
    if (auto* wrapper = static_cast<ZelI::IActor*>(chosen->GetInterface()))
        wrapper->SetBodyPart(0, body.c_str());
    chosen->RebuildMaterials();
}

void ActorTemplates::Render(ZelI::IRender& render, const SnapshotRequest& request,
                            ZelI::IMoveObject& self) {
    const HostFrameKeeper hostFrame;
    render.FrameBegin();
    // The size asked for decides: a target too large for the device is made smaller.
    if (target_ && (targetWidth_ != request.width || targetHeight_ != request.height)) {
        target_->Release();
        target_ = nullptr;
    }
    if (!target_) {
        int width = request.width, height = request.height;
        if (width > 0 && height > 0)
            target_ = render.CreateClientRenderTarget(&width, &height, 0, 0);
        targetWidth_ = request.width;
        targetHeight_ = request.height;
    }
    if (!target_) {
        // No frame could begin or no target of that size could be made: nothing to draw into.
        render.FrameEnd();
        return;
    }
    std::uint16_t savedViewport[4] = {};
    render.GetViewport(savedViewport);
    const int savedFlags = render.GetClearFlags();
    float savedColour[4];
    std::copy_n(render.SetClearColor(nullptr), 4, savedColour);
    ZelI::ICamera* savedCamera = request.camera ? render.GetMainCamera() : nullptr;

    target_->BeginRendering(0);
    const std::uint16_t viewport[4] = {0, 0, static_cast<std::uint16_t>(target_->GetWidth()),
                                       static_cast<std::uint16_t>(target_->GetHeight())};
    render.SetViewport(viewport);
    render.SetClearFlags(kSnapshotClearFlags);
    render.SetClearColor(request.clearColour);
    render.Clear();
    if (request.camera)
        render.SetMainCamera(request.camera);
    const bool withModels = request.bracket && request.models && request.modelCount > 0 &&
                            SnapshotSwitchOn(kSnapshotModelsSwitch);
    // The first pass lays down the picture's coverage, the second its colour.
    for (int preset : {1, 2}) {
        render.SetRenderStatePreset(preset);
        render.PushNewPipe(0, 0, 0, 0, 0);
        render.PushToPipe(&self);
        if (withModels) {
            request.bracket->Begin();
            for (int m = 0; m < request.modelCount; ++m)
                if (ZelI::IMoveObject* model = request.models[m])
                    model->PushToPipe();
            request.bracket->End();
        }
        render.ProcessCurrentPipe();
        render.RenderPushedPipes();
        render.RenderTransparentPipeline();
        render.ClearTransparentPipeline();
        render.CleanPushedObjsAndSubModels();
    }
    render.SetRenderStatePreset(0);
    if (request.camera)
        render.SetMainCamera(savedCamera);
    target_->EndRendering();
    render.SetViewport(savedViewport);
    render.SetClearFlags(savedFlags);
    render.SetClearColor(savedColour);
    render.FrameEnd();
}

bool ActorTemplates::End(Actor& actor, const char* fileName) {
    if (RenderSystem* system = TemplatesRenderSystem())
        RestoreShaders(*system);
    actor.SetMaterialsTwoSided(false);
    if (!fileName || !*fileName)
        return true;
    return target_ && target_->SaveToFile(fileName);
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
