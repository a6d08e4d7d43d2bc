// The wrappers through which the host holds geometries (plain, skinned and actor geometries),
// their meshes and the particle buffers it fills, and the binders that pick one for an object.
// A geometry and its meshes stay with their manager when the host lets a wrapper go; a particle
// buffer goes back to its factory. An unbound wrapper does nothing and answers 0, false or null.
//
// Threads: the host's thread. LoadSharedActions (direct mode) and HasSharedAction take the main
// lock, because a loading task may be adding to the same shared set.
#pragma once

#include <cstdint>

#include "Entity/Geometry/Geometry.h"
#include "Entity/Geometry/GeometryActor.h"
#include "Entity/Geometry/GeometrySkin.h"
#include "Entity/Geometry/Mesh.h"
#include "Entity/Scene/ParticleVB.h"
#include "Interface/IGeometry.h"
#include "Interface/IGeometryActor.h"
#include "Interface/IGeometrySkin.h"
#include "Interface/IMesh.h"
#include "Interface/IParticleVB.h"
#include "Render/RenderCore/RCInterfaceImpl.h"

namespace Zel {

// The IGeometry operations over a bound Geometry (or a class derived from it).
template <class IX, class X, class W>
class IGeometryImplRC : public IObjectImplRC<IX, X, W> {
public:
    std::uint32_t GetMeshCount() override { return Bound() ? Bound()->GetMeshCount() : 0; }
    // The same wrapper for a mesh while it is bound; null past the end and for removed meshes.
    ZelI::IMesh* GetMesh(std::uint32_t index) override;
    std::uint32_t GetKindWord() override { return Bound() ? Bound()->GetKind() : 0; }
    std::uint32_t GetSize() override { return Bound() ? Bound()->GetSize() : 0; }
    void SetMatrixSlot(std::int32_t index, const float* matrix) override;
    std::uint32_t GetMatrixSlotCount() override { return Bound() ? Bound()->GetMatrixCount() : 0; }

protected:
    using IObjectImplRC<IX, X, W>::Bound;
};

class GeometryImplRC final : public IGeometryImplRC<ZelI::IGeometry, Geometry, GeometryImplRC> {};

// The skinned geometry's operations: its skeleton, animations and the shared set of its skeleton.
template <class IX, class X, class W>
class GeometrySkinOpsImplRC : public IGeometryImplRC<IX, X, W> {
public:
    // The skeleton's bone count: the slots a skin's palette can address.
    std::uint32_t GetMatrixSlotCount() override;
    ZelI::IObject* GetSkeletonResource() override;
    // 1 when the name gives an animation afterwards (a name taken already keeps its action).
    std::int32_t AddAnimation(const char* name, const char* path) override;
    ZelI::IAction* GetAnimationByName(const char* name) override;
    ZelI::IAction* GetAnimationByIndex(std::uint32_t index) override;
    std::uint32_t GetAnimationCount() override;
    bool AddSharedAction(const char* name, std::intptr_t argument) override;
    // Direct mode: under the main lock. Queued mode: LoadSharedActionsAsyn with mode 2, run at
    // once on loading thread 0; true when that run reports 0 (false without the thread).
    bool LoadSharedActions(const char* setName, const char* listFile) override;
    // 0 without loading thread 0, for a null or empty text, or for a set name of 128 characters
    // or more or a file name of 256 or more (they do not fit the task's record; logged).
    std::uint32_t LoadSharedActionsAsyn(const char* setName, const char* listFile,
                                        std::int32_t mode) override;
    bool HasSharedAction(const char* name) override;

protected:
    using IGeometryImplRC<IX, X, W>::Bound;
};

class GeometrySkinImplRC final
    : public GeometrySkinOpsImplRC<ZelI::IGeometrySkin, GeometrySkin, GeometrySkinImplRC> {};

class IGeometryActorImplRC final
    : public GeometrySkinOpsImplRC<ZelI::IGeometryActor, GeometryActor, IGeometryActorImplRC> {
public:
    std::uint32_t GetBodyPartMeshCount() override;
    // Null, *slot untouched, when unbound.
    const char* GetBodyPartMesh(std::uint32_t index, std::uint32_t* slot) override;
};

// Identifies a mesh: every operation of its own is empty.
class IMeshImplRC final : public IObjectImplRC<ZelI::IMesh, Mesh, IMeshImplRC> {
public:
    std::int32_t Reserved6() override { return 0; }
    std::int32_t Reserved7() override { return 0; }
    std::int32_t Reserved8() override { return 0; }
    std::int32_t Reserved9() override { return 0; }
    std::int32_t Reserved10() override { return 0; }
    std::int32_t Reserved11() override { return 0; }
    std::int32_t Reserved12() override { return 0; }
    std::int32_t Reserved13() override { return 0; }
    std::int32_t Reserved14() override { return 0; }
    std::int32_t Reserved15() override { return 0; }
    std::int32_t Reserved16() override { return 0; }
    std::int32_t Reserved17() override { return 0; }
    std::int32_t Reserved18() override { return 0; }
    std::int32_t Reserved19(std::intptr_t, std::intptr_t, std::intptr_t, std::intptr_t) override {
        return 0;
    }
};

class IParticleVBImplRC final
    : public IObjectImplRC<ZelI::IParticleVB, ParticleVB, IParticleVBImplRC> {
public:
    bool BuildVertexStream(std::uint32_t capacity) override;
    std::uint32_t GetCapacity() override { return Bound() ? Bound()->GetCapacity() : 0; }
    void* Lock(std::uint32_t vertexCount) override;
    void Unlock(std::uint32_t writtenCount) override;

protected:
    // The buffer goes back to its factory, which releases its device buffers.
    void DetachStep(ParticleVB* buffer) override;
};

// The wrapper of a geometry's class (actor, skinned, plain; most derived first).
ZelI::IGeometry* BindGeometryInterface(RCInterfaceCarrier<ZelI::IGeometry>* carrier);
ZelI::IMesh* BindMeshInterface(RCInterfaceCarrier<ZelI::IMesh>* carrier);
ZelI::IParticleVB* BindParticleVBInterface(RCInterfaceCarrier<ZelI::IParticleVB>* carrier);

}  // namespace Zel
