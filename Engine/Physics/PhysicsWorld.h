// The list of physics scenes and the current one. Globals builds it empty, empties it in the
// second scene shutdown stage and destroys it afterwards.
#pragma once

#include <memory>
#include <vector>

#include "Physics/PhxScene.h"

namespace Zel {

class PhysicsWorld {
public:
    PhysicsWorld() = default;
    virtual ~PhysicsWorld() = default;
    PhysicsWorld(const PhysicsWorld&) = delete;
    PhysicsWorld& operator=(const PhysicsWorld&) = delete;

    // Deletes every scene and forgets the current one. Host thread.
    void Clear() {
        scenes_.clear();
        current_ = nullptr;
    }
    bool IsEmpty() const { return scenes_.empty(); }
    PhxScene* GetCurrentScene() const { return current_; }

private:
    std::vector<std::unique_ptr<PhxScene>> scenes_;
    PhxScene* current_ = nullptr;
};

}  // namespace Zel
