#include "Render/RenderCore/InterfaceBinders.h"

#include "Render/RenderCore/ActorWrapper.h"
#include "Render/RenderCore/AnimationWrappers.h"
#include "Render/RenderCore/GeometryWrappers.h"
#include "Render/RenderCore/MaterialWrappers.h"
#include "Render/RenderCore/SceneNodeWrappers.h"
#include "Render/RenderCore/SkeletonWrappers.h"
#include "Render/RenderCore/TextureWrappers.h"
#include "Thread/CreationRecords.h"
#include "Thread/HostTasks.h"

namespace Zel {

void InstallInterfaceBinders() {
    RCInterfaceCarrier<ZelI::IMoveObject>::SetBinder(&BindSceneNodeInterface);
    RCInterfaceCarrier<ZelI::ITexture>::SetBinder(&BindTextureInterface);
    RCInterfaceCarrier<ZelI::IBone>::SetBinder(&BindBoneInterface);
    RCInterfaceCarrier<ZelI::IAnimationChannel>::SetBinder(&BindAnimationChannelInterface);
    RCInterfaceCarrier<ZelI::IAction>::SetBinder(&BindActionInterface);
    RCInterfaceCarrier<ZelI::IAnimation>::SetBinder(&BindAnimationInterface);
    RCInterfaceCarrier<ZelI::ISkeleton>::SetBinder(&BindSkeletonInterface);
    RCInterfaceCarrier<ZelI::IShader>::SetBinder(&BindMaterialInterface);
    RCInterfaceCarrier<ZelI::IGeometry>::SetBinder(&BindGeometryInterface);
    RCInterfaceCarrier<ZelI::IMesh>::SetBinder(&BindMeshInterface);
    RCInterfaceCarrier<ZelI::IParticleVB>::SetBinder(&BindParticleVBInterface);
    // Queued releases and loads need the host interface's task classes.
    InstallHostTaskFactory();
    WrapperPool<ICameraImplRC>::Get();
    WrapperPool<ILightImplRC>::Get();
    WrapperPool<ModelImplRC>::Get();
    WrapperPool<IDecalImplRC>::Get();
    WrapperPool<ILevelImplRC>::Get();
    WrapperPool<IBillBoardImplRC>::Get();
    WrapperPool<ISkyBallImplRC>::Get();
    WrapperPool<SkeletonModelImplRC>::Get();
    WrapperPool<IActorImplRC>::Get();
    WrapperPool<TextureImplRC>::Get();
    WrapperPool<RenderTargetImplRC>::Get();
    WrapperPool<IBoneImplRC>::Get();
    WrapperPool<IAnimationChannelImplRC>::Get();
    WrapperPool<IActionImplRC>::Get();
    WrapperPool<IAnimationImplRC>::Get();
    WrapperPool<ISkeletonImplRC>::Get();
    WrapperPool<IMaterialImplRC>::Get();
    WrapperPool<GeometryImplRC>::Get();
    WrapperPool<GeometrySkinImplRC>::Get();
    WrapperPool<IGeometryActorImplRC>::Get();
    WrapperPool<IMeshImplRC>::Get();
    WrapperPool<IParticleVBImplRC>::Get();
}

ZelI::IMaterial* MaterialInterface(Material* material) {
    return material ? HandOutMaterial(*material) : nullptr;
}

namespace {
// The pools are filled, and objects can hand out wrappers, from the moment the library is loaded.
const bool g_bindersInstalled = (InstallInterfaceBinders(), true);
}  // namespace

}  // namespace Zel
