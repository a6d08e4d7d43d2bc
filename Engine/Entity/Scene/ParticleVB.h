// A particle vertex store the host creates, fills and draws from: room for a fixed number of
// particles, each a quad of four vertices (position, colour, texture coordinate 0) with the fixed
// six-index pattern 4k, 4k+1, 4k+2, 4k, 4k+2, 4k+3. The host locks the vertices, writes them and
// unlocks; ParticleInstance draws runs of them. The colour is packed (24-byte vertices) on the
// fixed-function path and four floats (36 bytes) on the shader path, chosen when the buffers are
// built. After a device reset the render system's re-creation list rebuilds the buffers.
// Pooled in its factory in Globals. Host thread.
#pragma once

#include <cstdint>

#include "Core/RCInterfaceCarrier.h"
#include "Core/RecycledObject.h"

namespace ZelI {
class IParticleVB;
}  // namespace ZelI

namespace Zel {

class IndexData;
class VertexBufferByFormat;
class VertexData;

class ParticleVB : public RCInterfaceCarrier<ZelI::IParticleVB>, public RecycledObject {
public:
    // With 16-bit indices a buffer addresses at most 65536 vertices.
    static constexpr std::uint32_t kMaxParticles16 = 16384;

    ParticleVB() = default;
    // Releases the buffers and leaves the re-creation list.
    ~ParticleVB() override;
    ParticleVB(const ParticleVB&) = delete;
    ParticleVB& operator=(const ParticleVB&) = delete;

    // Makes the buffers for `capacity` particles, releasing any made before: 4 x capacity
    // vertices and 6 x capacity indices (32-bit when the device takes them; otherwise the
    // capacity is held to 16384, logged). Answers false (logged) when the buffer manager cannot
    // make them; the capacity is then 0.
    bool BuildVertexStream(std::uint32_t capacity);
    // Locks the first `vertexCount` vertices (held to 4 x capacity) for writing, discarding the
    // old contents; null without a buffer or when the device refuses. Unlock before drawing.
    void* Lock(std::uint32_t vertexCount);
    void Unlock();
    // Builds the buffers again with the same capacity (after a device reset).
    void Recreate();
    // Capacity 0, buffers released, out of the re-creation list, host wrapper unbound.
    void Reset() override;

    std::uint32_t GetCapacity() const { return capacity_; }
    // Bytes per vertex of the current buffers (0 without them).
    std::uint32_t GetVertexSize() const;
    // The layout key: POSITION | packed colour | TEXCOORD0 (fixed function) or
    // POSITION | float colour | TEXCOORD0.
    std::uint32_t GetLayoutKey() const { return layoutKey_; }
    VertexData* GetVertexData() const { return vertexData_; }
    IndexData* GetIndexData() const { return indexData_; }
    // The vertex buffer with its declaration, as the draw binds it; null without buffers.
    VertexBufferByFormat* GetVertexBinding() const { return binding_; }

private:
    void ReleaseBuffers();

    IndexData* indexData_ = nullptr;           // owned
    VertexData* vertexData_ = nullptr;         // owned
    VertexBufferByFormat* binding_ = nullptr;  // owned
    std::uint32_t capacity_ = 0;
    std::uint32_t layoutKey_ = 0;
    bool hooked_ = false;  // in the render system's re-creation list
};

}  // namespace Zel
