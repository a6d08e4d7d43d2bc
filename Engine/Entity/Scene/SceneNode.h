// A node of the scene's transform tree and the base of every placed scene object. Nodes come from
// their factory in Globals and go back to it; they are reset, never deleted, by their users.
#pragma once

#include "Core/Object.h"
#include "Core/RecycledObject.h"

namespace Zel {

class SceneNode : public Object, public RecycledObject {
public:
    SceneNode() = default;
    ~SceneNode() override = default;
    ZEL_CLASS_ID(SceneNode)
    // Back to the freshly constructed state; the factory calls it on release.
    void Reset() override {}
};

}  // namespace Zel
