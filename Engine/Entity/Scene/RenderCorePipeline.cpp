#include "Entity/Scene/RenderCorePipeline.h"

#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Entity/Scene/Entity.h"
#include "Entity/Scene/Level.h"
#include "Entity/Scene/Light.h"
#include "Entity/Scene/SceneManager.h"

namespace Zel {
namespace {

// Configuration switch 72: levels choose their visible runs when pushed.
constexpr std::uint32_t kLevelCullingSwitch = 72;

// The level operations apply to levels only: an actor or model pushed through Add must not
// become the scene's level.
Level* AsLevel(Entity* object) {
    if (!object)
        return nullptr;
    const std::uint32_t id = object->GetClassId();
    return id == ClassId::Level || id == ClassId::SimpLevel ? static_cast<Level*>(object) : nullptr;
}

}  // namespace

void RenderCorePipeline::AddItem(Entity* object) {
    items_.push_back(object);
}

void RenderCorePipeline::Add(Entity* object) {
    if (!object)
        return;
    lastAdded_ = object;
    Level* level = AsLevel(object);
    if (object->GetAnimationFlags() & ENTITY_NEVER_PUSHED)
        return;
    items_.push_back(object);
    if (!level)
        return;
    if (mode_ == MODE_LIGHT) {
        if (target_)
            level->GatherLightRuns(target_);
    } else if (IsGlobalSwitchOn(kLevelCullingSwitch)) {
        level->UpdateVisibleRuns(target_);
    }
}

void RenderCorePipeline::Render(RenderQueue* queue) {
    if (Level* level = AsLevel(lastAdded_))
        if (SceneManager* scene = Globals::Find(&Globals::GetSceneManager))
            scene->SetLevel(level);
    Light* light = dynamic_cast<Light*>(target_);
    if (mode_ == MODE_NORMAL) {
        for (Entity* item : items_) {
            item->ClearRenderMarks();
            item->ClearOncePerFrameMarks();
            item->AddSubEntitiesToQueue(queue, light, nullptr);
        }
    } else if (mode_ == MODE_LIGHT && target_) {
        for (Entity* item : items_) item->AddSubEntitiesForLight(queue, light, nullptr);
    }
    for (RenderCallback* callback : callbacks_) callback->Run();
}

void RenderCorePipeline::Clear() {
    items_.clear();
    callbacks_.clear();
    lastAdded_ = nullptr;
}

void RenderCorePipeline::AddCallback(RenderCallback* callback) {
    if (callback)
        callbacks_.push_back(callback);
}

}  // namespace Zel
