// The root interface's reports of the machine and the device, and the operations it hands to the
// scene's other systems: physics, action libraries, bone-scale presets and levels. Host thread.
#include "Render/RenderCore/IRenderImpl.h"

#include <cstdio>
#include <cstring>

#include "Core/Globals.h"
#include "Core/LogDispatch.h"
#include "Core/ScopedLock.h"
#include "Core/Timer.h"
#include "Core/threadmng.h"
#include "Entity/Character/ActionManager.h"
#include "Entity/Character/SkeletonModel.h"
#include "Entity/Scene/Entity.h"
#include "Entity/Scene/SceneManager.h"
#include "Physics/PhxScene.h"
#include "Physics/PhysicsWorld.h"
#include "Render/AdapterInfoBlock.h"
#include "Render/RenderCore/RCInterfaceImpl.h"
#include "Render/RenderWindow.h"

namespace Zel {
namespace {

PhxScene* PhysicsScene() {
    PhysicsWorld* world = Globals::Find(&Globals::GetPhysicsWorld);
    return world ? world->GetScene() : nullptr;
}

}  // namespace

ZelI::SystemInfo* IRenderImpl::GetSystemInfo() {
    ZelI::SystemInfo* info = Globals::Find(&Globals::GetSystemInfo);
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    if (info && scene && renderSystem_)
        info->framesPerSecond = scene->GetFramesPerSecond();
    return info;
}

bool IRenderImpl::GetAdapterInfo(void* record) {
    if (!record)
        return false;
    std::memcpy(record, &GetAdapterInfoBlock(), sizeof(AdapterInfoBlock));
    return true;
}

bool IRenderImpl::GetDeviceInfo(ZelI::DeviceInfoRecord* record) {
    if (!record)
        return false;
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    record->instanceCount = SceneManager::GetRunningInstanceCount();
    record->framesPerSecond = scene ? scene->GetFramesPerSecond() : 0;
    std::memset(record->windowSize, 0, sizeof(record->windowSize));
    record->active = -1;
    if (mainWindow_) {
        std::snprintf(record->windowSize, sizeof(record->windowSize), "%dx%d",
                      static_cast<int>(mainWindow_->GetWidth()),
                      static_cast<int>(mainWindow_->GetHeight()));
        // Nothing else takes the focus from the window the renderer presents to.
        record->active = 1;
    }
    return true;
}

Level* IRenderImpl::GetCurrentLevel() const {
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    return scene ? scene->GetLevel() : nullptr;
}

void IRenderImpl::PushNodeWithCamera(ZelI::IMoveObject* node) {
    if (SceneManager* scene = FrameScene())
        scene->PushNodeWithCamera(UnwrapInterface<Entity, ZelI::IMoveObject>(node));
}

// ---- Physics ----------------------------------------------------------------------------------

void IRenderImpl::SetGravity(const float* gravity) {
    if (PhxScene* scene = gravity ? PhysicsScene() : nullptr)
        scene->SetGravity(gravity);
}

const float* IRenderImpl::GetGravity() {
    if (PhxScene* scene = PhysicsScene())
        return scene->GetGravity();
    static const float kEarth[3] = {0.0f, 0.0f, -9.8f};
    return kEarth;
}

void IRenderImpl::DrawPhysicsDebug() {
    if (PhxScene* scene = PhysicsScene())
        scene->DebugDraw();
}

// ---- Actions and bone scale -------------------------------------------------------------------

bool IRenderImpl::OpenActionLib(const char* name) {
    ActionManager* actions = Globals::Find(&Globals::GetActionManager);
    if (!name || !actions)
        return false;
    Timer timer;
    timer.Reset();
    bool loaded = false;
    {
        ScopedLock lock(threadmng::kMainLock);
        loaded = actions->LoadActionTree(name);
    }
    LogTyped(LOG_ENGINE_INIT, "OpenActionLib耗时:%5.2f",
             static_cast<double>(timer.GetElapsed()) * 1000.0);
    return loaded;
}

std::uint8_t IRenderImpl::SetBoneScaleEnabled(std::uint8_t on) {
    SkeletonModel::LoadBoneScalePreset(
        "../resources/media/shaders/role/config/ScaleBoneInfoBoy.xml");
    SkeletonModel::LoadBoneScalePreset(
        "../resources/media/shaders/role/config/ScaleBoneInfoGirl.xml");
    SkeletonModel::SetGlobalBoneScale(on != 0);
    return on;
}

int IRenderImpl::LoadBoneScalePreset(const char* name) {
    return name && SkeletonModel::LoadBoneScalePreset(name) ? 1 : 0;
}

void IRenderImpl::ClearBoneScalePresets() {
    SkeletonModel::ClearBoneScalePresets();
}

}  // namespace Zel
