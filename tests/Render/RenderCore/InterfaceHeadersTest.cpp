// Every public header compiles on its own terms in one program, and a host can implement the
// interfaces it owns (the special-effect manager) without the reserved operations.
#include <gtest/gtest.h>

#include <memory>

#include "Interface/IAction.h"
#include "Interface/IActionInfo.h"
#include "Interface/IActor.h"
#include "Interface/IAnimation.h"
#include "Interface/IAnimationChannel.h"
#include "Interface/IBillboard.h"
#include "Interface/IBone.h"
#include "Interface/ICamera.h"
#include "Interface/ICommandSystem.h"
#include "Interface/IDebugConsole.h"
#include "Interface/IDecal.h"
#include "Interface/IEffFactoryProxy.h"
#include "Interface/IEngineMonitor.h"
#include "Interface/IFrameProfiler.h"
#include "Interface/IGeometry.h"
#include "Interface/IGeometryActor.h"
#include "Interface/IGeometrySkin.h"
#include "Interface/IGlobalConfig.h"
#include "Interface/IGlobalConfigProxy.h"
#include "Interface/IGlobalEnvironment.h"
#include "Interface/IHardWareResMngProxy.h"
#include "Interface/IIOTaskInfo.h"
#include "Interface/IInsFactoryProxy.h"
#include "Interface/IInsList.h"
#include "Interface/ILevel.h"
#include "Interface/ILight.h"
#include "Interface/ILogMng.h"
#include "Interface/IMatProxy.h"
#include "Interface/IMatProxyTable.h"
#include "Interface/IMesh.h"
#include "Interface/IModel.h"
#include "Interface/IModelProxy.h"
#include "Interface/IMoveObject.h"
#include "Interface/IObject.h"
#include "Interface/IParticleVB.h"
#include "Interface/IProxyFactory.h"
#include "Interface/IReflectModel.h"
#include "Interface/IRender.h"
#include "Interface/IRenderProxy.h"
#include "Interface/IRenderStateManager.h"
#include "Interface/IRenderTarget.h"
#include "Interface/IRenderWndProxy.h"
#include "Interface/IResInfo.h"
#include "Interface/IResList.h"
#include "Interface/IResMngProxy.h"
#include "Interface/IResVisitor.h"
#include "Interface/IShader.h"
#include "Interface/ISharedActionManager.h"
#include "Interface/ISkeleton.h"
#include "Interface/ISkeletonModel.h"
#include "Interface/ISkyBall.h"
#include "Interface/ISpecialEffectManager.h"
#include "Interface/ITexture.h"
#include "Interface/IVB.h"
#include "Interface/IZelTextBox.h"
#include "Interface/RenderWindowParams.h"
#include "Interface/SystemInfo.h"
#include "Interface/ZelEngine.h"
#include "tests/Render/RenderCore/HostEffectManager.h"

namespace ZelTest {
namespace {

TEST(InterfaceHeadersTest, AHostEffectManagerFillsALoadRequest) {
    HostEffectManager manager;
    auto request = std::make_unique<ZelI::EffectLoadRequest>();
    void* effect = nullptr;
    request->effectOut = &effect;
    EXPECT_EQ(request->materialLibraries[255], nullptr);
    EXPECT_EQ(request->billboards[0].inUse, 0u);
    ZelI::ISpecialEffectManager& asHost = manager;
    EXPECT_TRUE(asHost.LoadEffect(request.get()));
    EXPECT_EQ(effect, &manager);
    asHost.Reserved22();  // the positions the library never calls need no body of the host's
}

}  // namespace
}  // namespace ZelTest
