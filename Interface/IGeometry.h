// A geometry resource (the meshes a model draws) as the host sees it. The geometry stays with its
// manager when the host releases the wrapper. A wrapper that is not bound answers 0 or null. Host
// thread.
#pragma once

#include <cstdint>

#include "Interface/IObject.h"

namespace ZelI {

class IMesh;

class IGeometry : public IObject {
public:
    virtual std::uint32_t GetMeshCount() = 0;
    // Mesh i's wrapper; null past the end or for an empty entry.
    virtual IMesh* GetMesh(std::uint32_t index) = 0;
    // The geometry's kind (0 plain, 4 skinned, 16 and 17 body parts; the geometry kinds).
    virtual std::uint32_t GetKindWord() = 0;
    // The geometry's size in bytes as its manager counts it.
    virtual std::uint32_t GetSize() = 0;
    // Copies the matrix (16 floats) into slot i; nothing when i is negative, 16 or more, or not
    // below the slot count, or when matrix is null.
    virtual void SetMatrixSlot(std::int32_t index, const float* matrix) = 0;
    // The number of matrix slots; skinned geometries answer their skeleton's bone count.
    virtual std::uint32_t GetMatrixSlotCount() = 0;

protected:
    ~IGeometry() override = default;
};

}  // namespace ZelI
