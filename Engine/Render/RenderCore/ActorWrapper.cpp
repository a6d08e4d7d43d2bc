#include "Render/RenderCore/ActorWrapper.h"

#include <algorithm>

#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Core/QueueMode.h"
#include "Core/ScopedLock.h"
#include "Core/threadio.h"
#include "Core/threadmng.h"
#include "Entity/Character/ActorTemplates.h"
#include "Render/RenderCore/IRenderImpl.h"
#include "Thread/ActionTasks.h"
#include "Thread/ActorTasks.h"

namespace Zel {

namespace {

const float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
const float kOrigin[3] = {0.0f, 0.0f, 0.0f};

// The record's fields as the actor takes them; false for a missing record or a negative size.
bool ApplyCustomTextureRecord(Actor& actor, const ZelI::CustomTextureRecord* record, bool now) {
    if (!record || record->width < 0 || record->height < 0 || record->bodyPart < 0)
        return false;
    const auto part = static_cast<std::uint32_t>(record->bodyPart);
    const auto width = static_cast<std::uint32_t>(record->width);
    const auto height = static_cast<std::uint32_t>(record->height);
    const auto* pixels = static_cast<const std::uint8_t*>(record->pixels);
    return now ? actor.ApplyCustomTexture(part, record->u, record->v, width, height, pixels,
                                          record->byteSize)
               : actor.SetCustomTexture(part, record->u, record->v, width, height, pixels,
                                        record->byteSize);
}

bool RespondsToMoves() {
    GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager);
    return config && config->RespondActorMove();
}

}  // namespace

std::int32_t LodLevelFromHost(float level) {
    return static_cast<std::int32_t>(level * 10.0f);
}

void IActorImplRC::SetLocalMatrix(const float* matrix) {
    if (matrix)
        ISkeletonModelImplRC::SetLocalMatrix(RespondsToMoves() ? matrix : kIdentity);
}

void IActorImplRC::SetPosition(const float* position) {
    if (!position)
        return;
    const float ground[3] = {position[0], position[1], 0.0f};
    ISkeletonModelImplRC::SetPosition(RespondsToMoves() ? ground : kOrigin);
}

void IActorImplRC::SetPositionAlt(const float* position) {
    if (position)
        ISkeletonModelImplRC::SetPosition(RespondsToMoves() ? position : kOrigin);
}

void IActorImplRC::GetExtraAnimation(std::uint32_t slot, ZelI::IAction** action, float* time) {
    ISkeletonModelImplRC::GetExtraAnimation(slot, action, nullptr);
    if (time)
        *time = 0.0f;
}

bool IActorImplRC::SetBodyPart(std::int32_t slot, const char* fileName) {
    if (!Node() || !fileName || slot < 0)
        return false;
    // Queued: the worker loads the part; no lock, the task takes it for its steps.
    if (IsQueueMode())
        return SetBodyPartQueued(*Node(), static_cast<std::uint32_t>(slot), fileName);
    ScopedLock lock(threadmng::kMainLock);
    return Node()->SetBodyPart(static_cast<std::uint32_t>(slot), fileName);
}

std::int32_t IActorImplRC::SetBodyPartEx(std::int32_t slot, const char* fileName,
                                         std::int32_t mode) {
    if (!Node())
        return 0;
    if (!fileName || slot < 0)
        return -1;
    return QueueBodyPart(*Node(), static_cast<std::uint32_t>(slot), fileName, mode);
}

void IActorImplRC::RemoveBodyPart(std::int32_t slot) {
    if (!Node() || slot < 0)
        return;
    ScopedLock lock(threadmng::kMainLock);
    Node()->RemoveBodyPart(static_cast<std::uint32_t>(slot));
}

void IActorImplRC::SetPlacement(const float* matrix) {
    if (!Node() || !matrix)
        return;
    float placed[16];
    std::copy(matrix, matrix + 16, placed);
    placed[11] = Node()->GetSex() ? -0.025f : 0.0f;
    ISkeletonModelImplRC::SetLocalMatrix(placed);
}

void IActorImplRC::RebuildMaterials() {
    if (!Node())
        return;
    if (IsQueueMode()) {
        threadio* worker = threadmng::GetInstance()->GetThread(0);
        const std::uint32_t id =
            worker ? worker->CreateTask(ActorProcessTask::kType, Node(), 2) : 0;
        if (id != 0)
            worker->SyncTask(id);
        return;
    }
    ScopedLock lock(threadmng::kMainLock);
    Node()->RebuildMaterials();
}

std::uint32_t IActorImplRC::RebuildMaterialsAsyn(std::int32_t priority) {
    threadio* worker = threadmng::GetInstance()->GetThread(0);
    if (!Node() || !worker)
        return 0;
    return worker->CreateTask(ActorProcessTask::kType, Node(),
                              static_cast<std::uint32_t>(priority));
}

std::int32_t IActorImplRC::CloneFrom(ZelI::IActor* other) {
    Actor* source = UnwrapInterface<Actor>(other);
    if (!Node() || !source)
        return 0;
    ScopedLock lock(threadmng::kMainLock);
    Node()->CloneFrom(*source, 2);
    return 1;
}

std::uint32_t IActorImplRC::SetLodAsyn(float level, std::int32_t priority) {
    threadio* worker = threadmng::GetInstance()->GetThread(0);
    if (!Node() || !worker)
        return 0;
    ActorLodRecord record;
    record.actor = Node();
    record.level = LodLevelFromHost(level);
    return worker->CreateTask(actor_setlod::kType, &record, static_cast<std::uint32_t>(priority));
}

void IActorImplRC::SetLod(float level) {
    if (Node())
        Node()->SetLodLevel(LodLevelFromHost(level));
}

float IActorImplRC::GetLod() {
    return Node() ? static_cast<float>(Node()->GetLodLevel() / 10.0) : 0.0f;
}

void IActorImplRC::SetPinchValue(std::int32_t parameter, float value) {
    if (Node())
        Node()->SetPinchValue(parameter, value);
}

bool IActorImplRC::ApplyCustomTexture(const ZelI::CustomTextureRecord* record) {
    if (!Node())
        return false;
    ScopedLock lock(threadmng::kMainLock);
    return ApplyCustomTextureRecord(*Node(), record, true);
}

bool IActorImplRC::StoreCustomTexture(const ZelI::CustomTextureRecord* record) {
    return Node() && ApplyCustomTextureRecord(*Node(), record, false);
}

bool IActorImplRC::SetMakeupValue(std::int32_t layer, std::int32_t style, std::int32_t colour) {
    return Node() && Node()->SetMakeupValue(layer, style, colour);
}

std::int32_t IActorImplRC::RenderSnapshot(std::intptr_t width, std::intptr_t height,
                                          std::intptr_t camera, std::intptr_t clearColour,
                                          std::intptr_t bracket, std::intptr_t models,
                                          std::intptr_t modelCount, std::intptr_t fileName) {
    ActorTemplates* templates = Globals::Find(&Globals::GetActorTemplates);
    IRenderImpl* render = Globals::Find(&Globals::GetRenderInterface);
    if (!Node() || !templates || !render)
        return Node() ? 1 : 0;
    ActorTemplates::SnapshotRequest request;
    request.width = static_cast<int>(width);
    request.height = static_cast<int>(height);
    request.camera = reinterpret_cast<ZelI::ICamera*>(camera);
    request.clearColour = reinterpret_cast<const float*>(clearColour);
    request.bracket = reinterpret_cast<ZelI::ISpecialEffectManager*>(bracket);
    request.models = reinterpret_cast<ZelI::IMoveObject* const*>(models);
    request.modelCount = static_cast<int>(modelCount);
    templates->Begin(*render, *Node());
    templates->Render(*render, request, *this);
    templates->End(*Node(), reinterpret_cast<const char*>(fileName));
    return 1;
}

}  // namespace Zel
