// What CreateIProxyFactory hands a host tool: the renderer's managers and objects without IRender.
// The host owns the factory and deletes it; that deletes the environment and the render proxy it
// made, never the managers. Objects made per call belong to the host. Host thread.
#pragma once

#include <cstdint>

#include "Interface/IActionInfo.h"
#include "Interface/ICommandSystem.h"
#include "Interface/IDebugConsole.h"
#include "Interface/IGlobalEnvironment.h"
#include "Interface/ILogMng.h"
#include "Interface/IModelProxy.h"
#include "Interface/IRenderProxy.h"
#include "Interface/IZelTextBox.h"

namespace ZelI {

class IAction;
class IActor;
class IAuxRender;
class IModel;
class ISkeletonModel;
class IWidgetAABB;
class IWidgetRender;

class IProxyFactory {
public:
    virtual ~IProxyFactory() = default;
    // Made on first call and kept by the factory.
    virtual IGlobalEnvironment* GetGlobalEnvironment() = 0;
    virtual IRenderProxy* GetRenderProxy() = 0;
    // A new proxy per call over the object (null: a proxy that answers 0).
    virtual IModelProxy* CreateModelProxy(IModel* model) = 0;
    virtual ISklModelProxy* CreateSklModelProxy(ISkeletonModel* model) = 0;
    virtual IActorProxy* CreateActorProxy(IActor* actor) = 0;
    virtual IActorProxy* CreateNewActorProxy(IActor* actor) = 0;
    virtual IActionInfo* CreateActionInfo(IAction* action) = 0;
    // The one widget renderer, made on first call and kept.
    virtual IWidgetRender* GetWidgetRender() = 0;
    // The render system's debug drawing; null before the render window exists.
    virtual IAuxRender* GetAuxRender() = 0;
    // A new box widget between the two corners (3 floats each).
    virtual IWidgetAABB* CreateWidgetAABB(const float* minimum, const float* maximum) = 0;
    // A new text box in the rectangle (pixels).
    virtual IZelTextBox* CreateTextBox(std::int32_t x, std::int32_t y, std::int32_t width,
                                       std::int32_t height) = 0;
    virtual ICommandSystem* GetCommandSystem() = 0;
    virtual IDebugConsole* GetDebugConsole() = 0;
    virtual ILogMng* GetLogManager() = 0;
};

}  // namespace ZelI
