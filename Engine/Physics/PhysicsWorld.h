// The list of physics scenes and the current one. Globals builds it empty; its shutdown runs
// Shutdown (scenes, then the SDK) and then Clear.
#pragma once

#include <memory>
#include <vector>

#include "Physics/PhxScene.h"

namespace Zel {

class PhysicsWorld {
public:
    PhysicsWorld() = default;
    virtual ~PhysicsWorld();
    PhysicsWorld(const PhysicsWorld&) = delete;
    PhysicsWorld& operator=(const PhysicsWorld&) = delete;

    // The current scene; made (with its collision groups set up) on first use. Without the
    // physics runtime the scene exists but is inert and creates no body. Any thread.
    PhxScene* GetScene();
    // A new scene, set up and appended to the list (not made current).
    PhxScene* CreateScene();
    // Deletes every scene and forgets the current one.
    void Clear();
    // Deletes every scene, then releases the physics runtime and the cooking scratch.
    void Shutdown();
    // Deletes the scene when the list holds it (forgetting it as current); false otherwise.
    bool RemoveScene(PhxScene* scene);

    bool IsEmpty() const;
    PhxScene* GetCurrentScene() const;

private:
    std::vector<std::unique_ptr<PhxScene>> scenes_;
    PhxScene* current_ = nullptr;
};

}  // namespace Zel
