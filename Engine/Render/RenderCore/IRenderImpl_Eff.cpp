#include "Render/RenderCore/IRenderImpl_Eff.h"

#include "Core/Globals.h"
#include "Core/LogDispatch.h"
#include "Entity/Scene/Entity.h"
#include "Entity/Scene/SceneManager.h"
#include "Render/RenderCore/RCInterfaceImpl.h"
#include "Thread/CreationRecords.h"

namespace Zel {
namespace {

constexpr std::uint32_t kModelSwitch = 34;
constexpr std::uint32_t kEffectModelSwitch = 43;
constexpr std::uint32_t kEffectLibrarySwitch = 39;
constexpr std::uint32_t kEffectMaterialLibSwitch = 44;

}  // namespace

ZelI::IModel* IRenderImpl_Eff::CreateModel(const char* name, const float* localMatrix,
                                           std::intptr_t a, std::intptr_t b) {
    SwitchOverride effectModels(kModelSwitch, GlobalSwitchValue(kEffectModelSwitch));
    return IRenderImpl::CreateModel(name, localMatrix, a, b);
}

ZelI::IModel* IRenderImpl_Eff::CreateModel(const char* name, std::intptr_t a) {
    SwitchOverride effectModels(kModelSwitch, GlobalSwitchValue(kEffectModelSwitch));
    return IRenderImpl::CreateModel(name, a);
}

std::uint32_t IRenderImpl_Eff::CreateEffectAsyn(const char* name, void* resultSlot,
                                                void* effectManager, int priority) {
    LogTyped(LOG_MODEL_INFO, "CreateEffectAsyn_EFF, %s", name ? name : "");
    return QueueEffectLoad(name, resultSlot, effectManager, priority);
}

bool IRenderImpl_Eff::LoadMaterialLib(const char* name, int flag) {
    SwitchOverride effectLibraries(kEffectLibrarySwitch, GlobalSwitchValue(kEffectMaterialLibSwitch));
    return IRenderImpl::LoadMaterialLib(name, flag);
}

void IRenderImpl_Eff::PushRenderable(ZelI::IMoveObject* node) {
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    if (main_ && main_->IsFrameBegan() && scene)
        scene->PushRenderableImpl(UnwrapInterface<Entity, ZelI::IMoveObject>(node));
}

}  // namespace Zel
