// The list of physics scenes and the current one. Globals builds it empty, empties it in the
// second scene shutdown stage and destroys it afterwards.
#pragma once

#include <vector>

namespace Zel {

class PhxScene;

class PhysicsWorld {
public:
    PhysicsWorld() = default;
    virtual ~PhysicsWorld() = default;
    PhysicsWorld(const PhysicsWorld&) = delete;
    PhysicsWorld& operator=(const PhysicsWorld&) = delete;

    // Forgets every scene and the current one. Host thread.
    void Clear() {
        scenes_.clear();
        current_ = nullptr;
    }
    bool IsEmpty() const { return scenes_.empty(); }
    PhxScene* GetCurrentScene() const { return current_; }

private:
    std::vector<PhxScene*> scenes_;
    PhxScene* current_ = nullptr;
};

}  // namespace Zel
