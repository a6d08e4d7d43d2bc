// A particle vertex buffer the host fills itself: it describes the vertex layout once, then locks,
// writes and unlocks each frame. Releasing the wrapper gives the buffer back to the library. Host
// thread.
#pragma once

#include <cstdint>

#include "Interface/IObject.h"

namespace ZelI {

class IParticleVB : public IObject {
public:
    // Makes room for capacity particles (four vertices each, with the fixed quad indices),
    // releasing what was made before; the vertex layout is the library's (position, colour,
    // texture coordinate). False when it cannot be made; the capacity is then 0.
    virtual bool BuildVertexStream(std::uint32_t capacity) = 0;
    // The buffer's capacity in vertices.
    virtual std::uint32_t GetCapacity() = 0;
    // Room for vertexCount vertices; null when it cannot be locked. Give it back with Unlock.
    virtual void* Lock(std::uint32_t vertexCount) = 0;
    // writtenCount: the vertices the host wrote (the library draws the runs the host asks for,
    // so the count is not kept).
    virtual void Unlock(std::uint32_t writtenCount) = 0;

protected:
    ~IParticleVB() override = default;
};

}  // namespace ZelI
