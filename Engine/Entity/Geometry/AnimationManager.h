// The manager of animation resources. It is registered under the type name "Animation" with the
// group registry of Globals from its construction to its destruction, and makes AnimationTrack
// resources.
#pragma once

#include "Core/CResourceManager.h"

namespace Zel {

class AnimationManager : public CResourceManager {
public:
    // Built by Globals::Init, host thread.
    AnimationManager();
    ~AnimationManager() override;

    // A new AnimationTrack of the name (this manager, the type name as group, the next handle),
    // loading from the source.
    CResource* CreateImpl(std::string_view name, std::string_view source) override;
    ZEL_CLASS_ID(AnimationManager)
};

}  // namespace Zel
