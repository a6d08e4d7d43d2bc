// Vertex data kept wholly in system memory (kind 2): it is never copied and has exactly one
// buffer by format, a VertexBufferByFormatSysMem, whatever layout is asked for. Host thread.
#pragma once

#include <cstdint>
#include <memory>

#include "Entity/Geometry/VertexData.h"

namespace Zel {

class VertexBufferByFormatSysMem;

class VertexDataSysMem : public VertexData {
public:
    // owner: not owned, may be null. Usage 5, not dynamic, kind 2.
    explicit VertexDataSysMem(Mesh* owner = nullptr);
    ~VertexDataSysMem() override;

    // Copies nothing.
    void CopyFrom(const VertexData&) override {}
    // Makes the one system-memory buffer for the first mask asked and answers it for every later
    // mask; never builds.
    VertexBufferByFormat* GetBufferByFormat(std::uint32_t mask, bool buildNow) override;

    VertexBufferByFormatSysMem* GetSysMemBuffer() const { return buffer_.get(); }

private:
    std::unique_ptr<VertexBufferByFormatSysMem> buffer_;
};

}  // namespace Zel
