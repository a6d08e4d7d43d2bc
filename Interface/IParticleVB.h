// A particle vertex buffer the host fills itself: it describes the vertex layout once, then locks,
// writes and unlocks each frame. Releasing the wrapper gives the buffer back to the library. Host
// thread.
#pragma once

#include <cstdint>

#include "Interface/IObject.h"

namespace ZelI {

class IParticleVB : public IObject {
public:
    // Builds the vertex stream from count component descriptions (the library's vertex-format
    // bits, one word each); false when it cannot be made.
    virtual bool BuildVertexStream(std::uint32_t count, const std::uint32_t* components) = 0;
    // The buffer's capacity in vertices.
    virtual std::uint32_t GetCapacity() = 0;
    // Room for vertexCount vertices; null when it cannot be locked. Give it back with Unlock.
    virtual void* Lock(std::uint32_t vertexCount) = 0;
    // writtenCount: the vertices the host wrote.
    virtual void Unlock(std::uint32_t writtenCount) = 0;

protected:
    ~IParticleVB() override = default;
};

}  // namespace ZelI
