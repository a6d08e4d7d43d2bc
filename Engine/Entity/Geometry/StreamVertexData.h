// Vertex data that is refilled often (decals): the user writes interleaved vertices of one layout
// into a staging array of a fixed capacity and uploads them into one dynamic vertex buffer, bound
// as stream 0 with the buffer manager's shared declaration of the layout. Host thread.
#pragma once

#include <cstdint>
#include <memory>

#include "Entity/Geometry/VertexData.h"

namespace Zel {

class HardwareBufferManager;
class HardwareVertexBuffer;
class VertexBufferBinding;
class VertexBufferDeclaration;

class StreamVertexData : public VertexData {
public:
    // mask: the layout (VertexFormat bits); stride: bytes per vertex; capacity: vertices (the
    // vertex count). A capacity of 0 is reported as "Count > 0". The buffer is made at once; a
    // buffer that cannot be made is reported and uploads then write nothing.
    StreamVertexData(std::uint32_t mask, std::uint32_t stride, std::uint32_t capacity);
    // Frees the staging array and gives the buffer and binding back to the manager.
    ~StreamVertexData() override;

    // capacity x stride bytes the user fills.
    std::uint8_t* GetStaging() const { return staging_.get(); }
    std::uint32_t GetStride() const { return stride_; }
    // Copies count x stride staged bytes to the buffer at its offset, discarding the old contents.
    // A count above the capacity is reported as "count <= m_vertexCount" and writes nothing.
    bool Upload(std::uint32_t count);

    std::uint32_t GetMemorySize() const override;
    HardwareVertexBuffer* GetBuffer() const { return buffer_; }
    VertexBufferBinding* GetBinding() const { return binding_; }
    VertexBufferDeclaration* GetDeclaration() const { return declaration_; }

private:
    std::unique_ptr<std::uint8_t[]> staging_;
    std::uint32_t stride_;
    HardwareBufferManager* manager_ = nullptr;  // not owned
    HardwareVertexBuffer* buffer_ = nullptr;    // held by the binding's slot 0 and the manager
    VertexBufferBinding* binding_ = nullptr;
    VertexBufferDeclaration* declaration_ = nullptr;  // the manager's shared one
};

}  // namespace Zel
