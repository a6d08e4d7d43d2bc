// A GPU program resource (an effect): the base the device's effect class derives from and the
// GPU program manager keeps. It is a render resource: the manager relays device loss and reset to
// the programs of the default pool, which release and rebuild their device objects.
#pragma once

#include "Core/CResource.h"
#include "Render/RenderResource.h"

namespace Zel {

class GpuProgram : public CResource, public RenderResource {
public:
    // The resource part, then the render-resource part with the pool code and the device it lives
    // on (not owned; may be null).
    GpuProgram(CResourceManager* manager, std::string_view name, std::string_view group,
               std::uint32_t handle, std::uint32_t poolCode = MP_DEFAULT,
               RenderDevice* device = nullptr)
        : CResource(manager, name, group, handle), RenderResource(poolCode, device) {}

    std::uint32_t GetClassId() const override { return ClassId::GpuProgram; }
    const char* GetClassName() const override {
        return GetRegisteredClassName(ClassId::GpuProgram);
    }
};

}  // namespace Zel
