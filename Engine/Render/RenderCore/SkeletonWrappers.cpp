#include "Render/RenderCore/SkeletonWrappers.h"

#include <cstring>

#include "Core/Globals.h"
#include "Core/threadio.h"
#include "Core/threadmng.h"
#include "Entity/Character/Action.h"
#include "Entity/Character/ActionManager.h"
#include "Entity/Character/SkeletonModel.h"
#include "Interface/IAction.h"
#include "Interface/ISkeletonModel.h"
#include "Thread/ActionTasks.h"

namespace Zel {

ZelI::IBone* BoneInterface(Bone* bone) {
    return bone ? bone->GetInterface() : nullptr;
}

ZelI::IBone* IBoneImplRC::GetParent() {
    return Bound() ? BoneInterface(Bound()->GetParent()) : nullptr;
}

ZelI::IBone* IBoneImplRC::GetChild(std::uint32_t index) {
    return Bound() ? BoneInterface(Bound()->GetChild(index)) : nullptr;
}

ZelI::IBone* ISkeletonImplRC::GetRootBone() {
    return Bound() ? BoneInterface(Bound()->GetRootBone()) : nullptr;
}

ZelI::IBone* ISkeletonImplRC::FindBone(const char* name) {
    if (!Bound() || !name)
        return nullptr;
    return BoneInterface(Bound()->FindBoneByName(name));
}

ZelI::IBone* ISkeletonImplRC::GetBone(std::uint32_t index) {
    return Bound() ? BoneInterface(Bound()->GetBone(index)) : nullptr;
}

namespace {

// The action manager and the set key of the model's skeleton; false when either is missing.
bool SharedSetOf(ZelI::ISkeletonModel* model, ActionManager*& actions, Skeleton*& skeleton) {
    auto* skinned = UnwrapInterface<SkeletonModel>(model);
    skeleton = skinned ? skinned->GetSkeleton() : nullptr;
    actions = Globals::Find(&Globals::GetActionManager);
    return skeleton && actions;
}

ZelI::IAction* ActionInterface(Action* action) {
    return action ? action->GetInterface() : nullptr;
}

}  // namespace

std::uint32_t ISharedActionManagerImplRC::GetActionCount(ZelI::ISkeletonModel* model) {
    ActionManager* actions;
    Skeleton* skeleton;
    if (!SharedSetOf(model, actions, skeleton))
        return 0;
    return actions->GetSharedSetCount(ActionManager::SetIdOf(skeleton));
}

ZelI::IAction* ISharedActionManagerImplRC::GetActionByIndex(ZelI::ISkeletonModel* model,
                                                            std::uint32_t index) {
    ActionManager* actions;
    Skeleton* skeleton;
    if (!SharedSetOf(model, actions, skeleton))
        return nullptr;
    return ActionInterface(
        actions->GetSharedActionByIndex(ActionManager::SetIdOf(skeleton), index));
}

ZelI::IAction* ISharedActionManagerImplRC::GetActionByName(ZelI::ISkeletonModel* model,
                                                           const char* name) {
    ActionManager* actions;
    Skeleton* skeleton;
    if (!name || !SharedSetOf(model, actions, skeleton))
        return nullptr;
    return ActionInterface(actions->GetSharedActionByName(ActionManager::SetIdOf(skeleton), name));
}

bool ISharedActionManagerImplRC::AddAction(ZelI::ISkeletonModel* model, const char* actionFile,
                                           bool) {
    ActionManager* actions;
    Skeleton* skeleton;
    if (!actionFile || !SharedSetOf(model, actions, skeleton))
        return false;
    return actions->AddSharedAction(ActionManager::SetIdOf(skeleton), actionFile, skeleton);
}

std::uint32_t ISharedActionManagerImplRC::AddActionAsyn(ZelI::ISkeletonModel* model,
                                                        const char* setName, const char* actionFile,
                                                        std::int32_t priority) {
    threadio* worker = threadmng::GetInstance()->GetThread(0);
    if (!worker || !setName || !*setName || !actionFile || !*actionFile)
        return 0;
    SharedActionRequestRecord record;
    if (std::strlen(setName) >= sizeof record.setName ||
        std::strlen(actionFile) >= sizeof record.file)
        return 0;
    std::strcpy(record.setName, setName);
    std::strcpy(record.file, actionFile);
    record.model = UnwrapInterface<SkeletonModel>(model);
    return worker->CreateTask(SharedActions_LoadActionTask::kType, &record,
                              static_cast<std::uint32_t>(priority));
}

bool ISharedActionManagerImplRC::HasAction(ZelI::ISkeletonModel* model, const char* name) {
    ActionManager* actions;
    Skeleton* skeleton;
    if (!name || !SharedSetOf(model, actions, skeleton))
        return false;
    return actions->HasSharedAction(ActionManager::SetIdOf(skeleton), name);
}

void ISharedActionManagerImplRC::ReleaseSet(ZelI::ISkeletonModel* model) {
    ActionManager* actions;
    Skeleton* skeleton;
    if (SharedSetOf(model, actions, skeleton))
        actions->ReleaseSharedSet(ActionManager::SetIdOf(skeleton));
}

ZelI::IBone* BindBoneInterface(RCInterfaceCarrier<ZelI::IBone>* carrier) {
    auto* bone = dynamic_cast<Bone*>(carrier);
    return bone ? IBoneImplRC::Bind(bone) : nullptr;
}

ZelI::ISkeleton* BindSkeletonInterface(RCInterfaceCarrier<ZelI::ISkeleton>* carrier) {
    auto* skeleton = dynamic_cast<Skeleton*>(carrier);
    return skeleton ? ISkeletonImplRC::Bind(skeleton) : nullptr;
}

}  // namespace Zel
