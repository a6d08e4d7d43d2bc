// Base of pooled objects: scene nodes and what derives from them, sub-entities, bones, bone
// states, bound shapes, actions, interface wrappers. Pooled objects are never deleted by their
// users; they go back to their pool (CObjectPool, Factory).
#pragma once

namespace Zel {

class RecycledObject {
public:
    RecycledObject() = default;
    virtual ~RecycledObject() = default;
    RecycledObject(const RecycledObject&) = delete;
    RecycledObject& operator=(const RecycledObject&) = delete;

    // Brings the object back to its freshly constructed state. Factory::Release calls it, outside
    // the factory's lock, before the object returns to the free list.
    virtual void Reset() = 0;
};

}  // namespace Zel
