#include "Render/RenderCore/GeometryWrappers.h"

#include <cstring>
#include <string>

#include "Core/Factory.h"
#include "Core/Globals.h"
#include "Core/LogDispatch.h"
#include "Core/ScopedLock.h"
#include "Entity/Character/Action.h"
#include "Entity/Character/Skeleton.h"
#include "Interface/IAction.h"
#include "Interface/ISkeleton.h"
#include "Math/Matrix4.h"
#include "Thread/CreationRecords.h"
#include "Thread/GeometrySkin_LoadActionTask.h"

namespace Zel {

namespace {

// The priority of a load the host waits for at once.
constexpr std::int32_t kSkinSyncLoadMode = 2;

ZelI::IAction* GeometryActionInterface(Action* action) {
    return action ? action->GetInterface() : nullptr;
}

}  // namespace

template <class IX, class X, class W>
ZelI::IMesh* IGeometryImplRC<IX, X, W>::GetMesh(std::uint32_t index) {
    Mesh* mesh = Bound() ? Bound()->GetMesh(index) : nullptr;
    return mesh ? mesh->GetInterface() : nullptr;
}

template <class IX, class X, class W>
void IGeometryImplRC<IX, X, W>::SetMatrixSlot(std::int32_t index, const float* matrix) {
    // A negative slot would pass the geometry's own bound test as a huge one does not.
    if (!Bound() || !matrix || index < 0)
        return;
    Matrix4 slot;
    std::memcpy(slot.m, matrix, sizeof slot.m);
    Bound()->SetMatrixSlot(static_cast<std::uint32_t>(index), slot);
}

template <class IX, class X, class W>
std::uint32_t GeometrySkinOpsImplRC<IX, X, W>::GetMatrixSlotCount() {
    const Skeleton* skeleton = Bound() ? Bound()->GetSkeleton() : nullptr;
    return skeleton ? skeleton->GetBoneCount() : 0;
}

template <class IX, class X, class W>
ZelI::IObject* GeometrySkinOpsImplRC<IX, X, W>::GetSkeletonResource() {
    Skeleton* skeleton = Bound() ? Bound()->GetSkeleton() : nullptr;
    return skeleton ? skeleton->GetInterface() : nullptr;
}

template <class IX, class X, class W>
std::int32_t GeometrySkinOpsImplRC<IX, X, W>::AddAnimation(const char* name, const char* path) {
    if (!Bound() || !name || !path)
        return 0;
    Bound()->AddAnimation(name, path);
    return Bound()->GetAnimationByName(name) ? 1 : 0;
}

template <class IX, class X, class W>
ZelI::IAction* GeometrySkinOpsImplRC<IX, X, W>::GetAnimationByName(const char* name) {
    return Bound() && name ? GeometryActionInterface(Bound()->GetAnimationByName(name)) : nullptr;
}

template <class IX, class X, class W>
ZelI::IAction* GeometrySkinOpsImplRC<IX, X, W>::GetAnimationByIndex(std::uint32_t index) {
    return Bound() ? GeometryActionInterface(Bound()->GetAnimationByIndex(index)) : nullptr;
}

template <class IX, class X, class W>
std::uint32_t GeometrySkinOpsImplRC<IX, X, W>::GetAnimationCount() {
    return Bound() ? static_cast<std::uint32_t>(Bound()->GetAnimationRecords().size()) : 0;
}

template <class IX, class X, class W>
bool GeometrySkinOpsImplRC<IX, X, W>::AddSharedAction(const char* name, std::intptr_t) {
    return Bound() && name && Bound()->AddSharedAction(name);
}

template <class IX, class X, class W>
bool GeometrySkinOpsImplRC<IX, X, W>::LoadSharedActions(const char* setName, const char* listFile) {
    if (!Bound() || !setName || !listFile)
        return false;
    if (!IsQueueMode()) {
        ScopedLock lock(threadmng::kMainLock);
        return Bound()->LoadSharedActions(setName, listFile);
    }
    const std::uint32_t id = LoadSharedActionsAsyn(setName, listFile, kSkinSyncLoadMode);
    threadio* worker = threadmng::GetInstance()->GetThread(0);
    return id != 0 && worker && worker->SyncTask(id) == 0;
}

template <class IX, class X, class W>
std::uint32_t GeometrySkinOpsImplRC<IX, X, W>::LoadSharedActionsAsyn(const char* setName,
                                                                     const char* listFile,
                                                                     std::int32_t mode) {
    threadio* worker = threadmng::GetInstance()->GetThread(0);
    if (!worker || !Bound() || !setName || !*setName || !listFile || !*listFile)
        return 0;
    GeometrySkinActionRecord record;
    if (std::strlen(setName) >= sizeof record.setName) {
        LogTyped(LOG_ENGINE_INIT, "%s: set name longer than %u characters refused: %.64s...",
                 "LoadSharedActionsAsyn", static_cast<unsigned>(sizeof record.setName - 1),
                 setName);
        return 0;
    }
    if (!TaskNameFits("LoadSharedActionsAsyn", listFile))
        return 0;
    std::strcpy(record.setName, setName);
    std::strcpy(record.file, listFile);
    record.geometry = Bound();
    return worker->CreateTask(GeometrySkin_LoadActionTask::kType, &record,
                              static_cast<std::uint32_t>(mode));
}

template <class IX, class X, class W>
bool GeometrySkinOpsImplRC<IX, X, W>::HasSharedAction(const char* name) {
    if (!Bound() || !name)
        return false;
    ScopedLock lock(threadmng::kMainLock);
    return Bound()->HasSharedAction(name);
}

std::uint32_t IGeometryActorImplRC::GetBodyPartMeshCount() {
    return Bound() ? Bound()->GetBodyPartMeshCount() : 0;
}

const char* IGeometryActorImplRC::GetBodyPartMesh(std::uint32_t index, std::uint32_t* slot) {
    if (!Bound())
        return nullptr;
    std::uint32_t entry = 0;
    const char* name = Bound()->GetBodyPartMesh(index, entry);
    if (slot)
        *slot = entry;
    return name;
}

bool IParticleVBImplRC::BuildVertexStream(std::uint32_t capacity) {
    return Bound() && Bound()->BuildVertexStream(capacity);
}

void* IParticleVBImplRC::Lock(std::uint32_t vertexCount) {
    return Bound() ? Bound()->Lock(vertexCount) : nullptr;
}

void IParticleVBImplRC::Unlock(std::uint32_t) {
    if (Bound())
        Bound()->Unlock();
}

void IParticleVBImplRC::DetachStep(ParticleVB* buffer) {
    if (Factory<ParticleVB>* factory = Globals::Find(&Globals::GetParticleFactory))
        factory->Release(buffer);
}

ZelI::IGeometry* BindGeometryInterface(RCInterfaceCarrier<ZelI::IGeometry>* carrier) {
    if (auto* actor = dynamic_cast<GeometryActor*>(carrier))
        return IGeometryActorImplRC::Bind(actor);
    if (auto* skin = dynamic_cast<GeometrySkin*>(carrier))
        return GeometrySkinImplRC::Bind(skin);
    if (auto* geometry = dynamic_cast<Geometry*>(carrier))
        return GeometryImplRC::Bind(geometry);
    return nullptr;
}

ZelI::IMesh* BindMeshInterface(RCInterfaceCarrier<ZelI::IMesh>* carrier) {
    auto* mesh = dynamic_cast<Mesh*>(carrier);
    return mesh ? IMeshImplRC::Bind(mesh) : nullptr;
}

ZelI::IParticleVB* BindParticleVBInterface(RCInterfaceCarrier<ZelI::IParticleVB>* carrier) {
    auto* buffer = dynamic_cast<ParticleVB*>(carrier);
    return buffer ? IParticleVBImplRC::Bind(buffer) : nullptr;
}

template class IGeometryImplRC<ZelI::IGeometry, Geometry, GeometryImplRC>;
template class GeometrySkinOpsImplRC<ZelI::IGeometrySkin, GeometrySkin, GeometrySkinImplRC>;
template class GeometrySkinOpsImplRC<ZelI::IGeometryActor, GeometryActor, IGeometryActorImplRC>;

}  // namespace Zel
