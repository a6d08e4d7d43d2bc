// The scene: nodes, entities, the spatial tree, cameras and lights, and the frame loop that culls
// and draws them. Globals builds the one instance with no arguments and destroys it after the two
// scene shutdown stages (Globals::ShutdownSceneGlobals, Globals::ShutdownPhysicsAndCaches).
#pragma once

#include <cstdint>

#include "Core/Object.h"

namespace Zel {

class SceneManager : public Object {
public:
    SceneManager() = default;
    ~SceneManager() override = default;
    ZEL_CLASS_ID(SceneManager)

    // The number of the current frame, 0 before the first; resources keep it as the stamp of
    // their last re-creation. Host thread.
    std::uint32_t GetFrameId() const { return frameId_; }

private:
    std::uint32_t frameId_ = 0;
};

}  // namespace Zel
