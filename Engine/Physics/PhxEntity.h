// A body in a physics scene. The scene that created it owns it: a body is never deleted by its
// users; Release asks the scene to unlink and delete it. The physics binding derives its bodies
// from this class.
#pragma once

#include "Core/Object.h"
#include "Physics/PhxBodyDesc.h"

namespace Zel {

class PhxScene;

class PhxEntity : public Object {
public:
    ZEL_CLASS_ID(PhxEntity)

    // scene: the owning scene (non-owning back-reference); desc: kept for Clone.
    PhxEntity(PhxScene* scene, const PhxBodyDesc& desc);
    ~PhxEntity() override;

    // A new body in the same scene built from this body's descriptor; null when the scene makes
    // none. The binding copies its own settings onto the copy.
    virtual PhxEntity* Clone();

    // Asks the owning scene to unlink and delete this body; the pointer is dangling afterwards.
    void Release();

    PhxScene* GetScene() const { return scene_; }
    const PhxBodyDesc& GetDesc() const { return desc_; }

private:
    PhxScene* scene_;
    PhxBodyDesc desc_;
};

}  // namespace Zel
