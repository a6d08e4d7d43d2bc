// The second render object, handed out by IRender::GetEffRender and owned by the first. It shares
// every manager with the first through Globals but is never given a window: its render system,
// window and camera stay null and its frame gate stays open. Its own forms of model creation,
// effect loading, material libraries and pushing come with object creation; until then it
// answers as the first object does. Host thread.
#pragma once

#include "Render/RenderCore/IRenderImpl.h"

namespace Zel {

class IRenderImpl_Eff final : public IRenderImpl {
public:
    IRenderImpl_Eff() = default;
};

}  // namespace Zel
