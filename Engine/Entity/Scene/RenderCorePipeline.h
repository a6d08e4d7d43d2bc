// The short list of scene objects a host pushes for one pipe of the frame, instead of letting the
// scene cull them. When the pipe is rendered each object queues its sub-entities either as plain
// pieces (mode 0) or for the pipe's target as their light (mode 2); the pipe's pass-through
// objects run afterwards. The scene manager embeds one; the pipe calls open, fill, render and
// clear it. Host thread.
#pragma once

#include <cstdint>
#include <vector>

namespace Zel {

class Entity;
class RenderQueue;
class SceneNode;

// A pass-through object of a pipe: run once when the pipe is rendered.
class RenderCallback {
public:
    virtual ~RenderCallback() = default;
    virtual void Run() = 0;
};

class RenderCorePipeline {
public:
    enum Mode : std::int32_t {
        MODE_NORMAL = 0,
        MODE_LIGHT = 2,  // the items are drawn for the target as their light
    };

    explicit RenderCorePipeline(std::int32_t mode) : mode_(mode) {}
    virtual ~RenderCorePipeline() = default;
    RenderCorePipeline(const RenderCorePipeline&) = delete;
    RenderCorePipeline& operator=(const RenderCorePipeline&) = delete;

    // Appends the object, no test.
    virtual void AddItem(Entity* object);
    // Pushes a level: it becomes the last added object (the scene's level at the next render)
    // and, unless it was never to be pushed, is listed and chooses its runs for the target. Any
    // other object is only listed (the never-pushed test apart): it is neither handed to the
    // scene as its level nor asked for runs.
    virtual void Add(Entity* object);
    // Hands the last added level to the scene, queues every item and runs the callbacks.
    virtual void Render(RenderQueue* queue);
    // Ends the pipe: empties both lists (capacity kept) and forgets the last added object.
    virtual void Clear();
    virtual SceneNode* GetTarget() const { return target_; }
    virtual void SetTarget(SceneNode* target) { target_ = target; }
    virtual void AddCallback(RenderCallback* callback);

    std::int32_t GetMode() const { return mode_; }
    void SetMode(std::int32_t mode) { mode_ = mode; }
    const std::vector<Entity*>& GetItems() const { return items_; }
    Entity* GetLastAdded() const { return lastAdded_; }

private:
    std::vector<Entity*> items_;              // not owned
    std::vector<RenderCallback*> callbacks_;  // not owned
    std::int32_t mode_;
    SceneNode* target_ = nullptr;  // not owned; a light in mode 2
    Entity* lastAdded_ = nullptr;
};

}  // namespace Zel
