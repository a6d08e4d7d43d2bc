// A physics scene: it creates bodies and owns them until they are released or the scene goes.
// The physics binding derives its scenes from this class and makes the bodies; this base keeps
// the body list. Host thread only.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "Core/Object.h"
#include "Physics/PhxBodyDesc.h"

namespace Zel {

class PhxEntity;

class PhxScene : public Object {
public:
    ZEL_CLASS_ID(PhxScene)

    PhxScene();
    // Deletes every body still in the list.
    ~PhxScene() override;

    // A new body built from desc (not kept), owned by this scene; null when none can be made.
    virtual PhxEntity* CreateEntity(const PhxBodyDesc* desc) = 0;

    // Unlinks the body from the list and deletes it; a body that is not in the list (null,
    // another scene's, already released) is left alone.
    virtual void ReleaseEntity(PhxEntity* entity);

    std::size_t GetEntityCount() const { return entities_.size(); }

protected:
    // Takes ownership of a newly made body and answers it.
    PhxEntity* AddEntity(std::unique_ptr<PhxEntity> entity);

private:
    std::vector<std::unique_ptr<PhxEntity>> entities_;
};

}  // namespace Zel
