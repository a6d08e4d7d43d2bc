// The second render object, handed out by IRender::GetEffRender and owned by the first. It shares
// every manager with the first through Globals but is never given a window: its render system,
// window and camera stay null. Model creation and material libraries run with the switches the
// effects want (34 taking 43's value, 39 taking 44's); effect loading logs as its own; pushing
// follows the first object's frame gate, since this object's own gate never closes. Host thread.
#pragma once

#include "Render/RenderCore/IRenderImpl.h"

namespace Zel {

class IRenderImpl_Eff final : public IRenderImpl {
public:
    // main: the first render object, which owns this one.
    explicit IRenderImpl_Eff(const IRenderImpl* main) : main_(main) {}

    ZelI::IModel* CreateModel(const char* name, const float* localMatrix, std::intptr_t a,
                              std::intptr_t b) override;
    ZelI::IModel* CreateModel(const char* name, std::intptr_t a) override;
    std::uint32_t CreateEffectAsyn(const char* name, void* resultSlot, void* effectManager,
                                   int priority) override;
    bool LoadMaterialLib(const char* name, int flag) override;
    // Pushes while the first object's frame is open (a lost device closes it), without the
    // push switch.
    void PushRenderable(ZelI::IMoveObject* node) override;

private:
    const IRenderImpl* main_;  // the owner; outlives this object
};

}  // namespace Zel
