// The host's system-memory vertex and index block (IVB). Not pooled and bound to no object: the
// render interface makes one at the end of its window creation and deletes it at shutdown. The
// sizes the host allocates are recorded, so that a later, larger request is refused instead of
// letting the host write past the blocks. Host thread.
#pragma once

#include <cstdint>
#include <memory>

#include "Core/RecycledObject.h"
#include "Interface/IVB.h"

namespace Zel {

class IndexDataSysMem;
class VertexBufferByFormatSysMem;

class IVBImplRC final : public ZelI::IVB, public RecycledObject {
public:
    // Vertex layout: position, packed colour and one texture coordinate (24 bytes) on the
    // fixed-function path, else position, float colour and one texture coordinate (36 bytes).
    explicit IVBImplRC(bool fixedFunction);
    ~IVBImplRC() override;

    int Release() override;
    bool IsValid() override;
    void SetImpl(void*) override {}
    void* GetImpl() override { return nullptr; }
    void* GetVertexData() override;
    std::uint16_t* GetIndexData() override;
    void Unlock(std::int32_t) override {}
    void* Lock(std::int32_t which, std::intptr_t unused, std::uint32_t stride) override;
    bool Allocate(std::uint32_t vertexBytes, std::uint32_t indexCount, std::intptr_t, std::intptr_t,
                  std::intptr_t, std::intptr_t) override;
    std::int32_t Reserved11() override { return 0; }
    void Reset() override {}

    // The layout's vertex-format bits and the stride last given (bytes per vertex).
    std::uint32_t GetVertexFormat() const { return format_; }
    std::uint32_t GetStride() const { return stride_; }
    // What Allocate gave the blocks: vertex bytes and 16-bit index count; 0 before.
    std::uint32_t GetVertexBytes() const { return vertexBytes_; }
    std::uint32_t GetIndexCount() const { return indexCount_; }

private:
    std::unique_ptr<VertexBufferByFormatSysMem> vertices_;
    std::unique_ptr<IndexDataSysMem> indices_;
    std::uint32_t format_;
    std::uint32_t stride_;
    std::uint32_t vertexBytes_ = 0;
    std::uint32_t indexCount_ = 0;
};

}  // namespace Zel
