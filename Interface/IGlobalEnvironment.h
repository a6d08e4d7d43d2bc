// The renderer's managers and factories for a host tool, each behind a proxy made on first
// request and kept (the same object on every later call; null when it could not be made, tried
// again next time), plus a few whole-system operations. The proxy factory owns the environment.
// Host thread.
#pragma once

#include <cstdint>

#include "Interface/IEffFactoryProxy.h"
#include "Interface/IGlobalConfigProxy.h"
#include "Interface/IHardWareResMngProxy.h"
#include "Interface/IIOTaskInfo.h"
#include "Interface/IInsFactoryProxy.h"
#include "Interface/IResMngProxy.h"

namespace ZelI {

class IGlobalEnvironment {
public:
    virtual IResMngProxy* GetMaterialManager() = 0;
    virtual IResMngProxy* GetTextureManager() = 0;
    virtual IResMngProxy* GetRenderTargetManager() = 0;
    virtual IResMngProxy* GetActionManager() = 0;
    virtual IResMngProxy* GetAnimationManager() = 0;
    virtual IResMngProxy* GetGpuProgramManager() = 0;
    virtual IResMngProxy* GetGeometryManager() = 0;
    virtual IResMngProxy* GetImageManager() = 0;
    virtual IResMngProxy* GetXmlManager() = 0;
    // The host's special-effect manager (IRender::SetSpecialEffectManager) behind a proxy.
    virtual IResMngProxy* GetEffectManager() = 0;
    virtual IHardWareResMngProxy* GetIndexBufferManager() = 0;
    virtual IHardWareResMngProxy* GetVertexBufferManager() = 0;
    virtual IResMngProxy* GetSkeletonManager() = 0;
    virtual IInsFactoryProxy* GetSceneNodeFactory() = 0;
    virtual IInsFactoryProxy* GetEntityFactory() = 0;
    virtual IInsFactoryProxy* GetSubEntityFactory() = 0;
    virtual IInsFactoryProxy* GetBoneFactory() = 0;
    virtual IInsFactoryProxy* GetSimpLevelFactory() = 0;
    virtual IInsFactoryProxy* GetActionFactory() = 0;
    virtual IInsFactoryProxy* GetParticleFactory() = 0;
    virtual IInsFactoryProxy* GetParticleInstanceFactory() = 0;
    // The scene manager's own registry of objects.
    virtual IInsFactoryProxy* GetSceneManager() = 0;
    virtual IInsFactoryProxy* GetLevelFactory() = 0;
    virtual IInsFactoryProxy* GetSkeletonModelFactory() = 0;
    virtual IInsFactoryProxy* GetActorFactory() = 0;
    virtual IInsFactoryProxy* GetNewActorFactory() = 0;
    virtual IInsFactoryProxy* GetDeformedModelFactory() = 0;
    virtual IInsFactoryProxy* GetBillBoardFactory() = 0;
    // The light wrappers handed out to the host.
    virtual IInsFactoryProxy* GetLightFactory() = 0;
    virtual IEffFactoryProxy* GetEffectFactory() = 0;
    virtual IIOTaskInfo* GetIOTaskInfo() = 0;
    // Stores the actors' environment flag and answers it.
    virtual std::uint8_t SetActorFlag(std::uint8_t flag) = 0;
    // Collects and purges every manager's unused resources.
    virtual void CollectResources() = 0;
    // Tell the render system that the device was lost, or has been reset.
    virtual void OnLostDevice() = 0;
    virtual void OnResetDevice() = 0;
    virtual IGlobalConfigProxy* GetGlobalConfig() = 0;
    // Releases every action tree of the action manager.
    virtual void ReleaseActionTrees() = 0;

protected:
    virtual ~IGlobalEnvironment() = default;
};

}  // namespace ZelI
