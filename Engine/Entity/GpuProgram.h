// A GPU program resource (an effect): the base the device's effect class derives from and the
// GPU program manager keeps.
#pragma once

#include "Core/CResource.h"

namespace Zel {

class GpuProgram : public CResource {
public:
    using CResource::CResource;

    std::uint32_t GetClassId() const override { return ClassId::GpuProgram; }
    const char* GetClassName() const override {
        return GetRegisteredClassName(ClassId::GpuProgram);
    }
};

}  // namespace Zel
