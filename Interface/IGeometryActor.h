// An actor's geometry: a skinned geometry assembled from body parts in slots. Host thread.
#pragma once

#include <cstdint>

#include "Interface/IGeometrySkin.h"

namespace ZelI {

class IGeometryActor : public IGeometrySkin {
public:
    // The body-part meshes over all slots.
    virtual std::uint32_t GetBodyPartMeshCount() = 0;
    // The name of body-part mesh i (over the slots in ascending order) and its slot in *slot;
    // "invalid name" and slot 0 past the end.
    virtual const char* GetBodyPartMesh(std::uint32_t index, std::uint32_t* slot) = 0;

protected:
    ~IGeometryActor() override = default;
};

}  // namespace ZelI
