// The vertex elements a draw reads, as copies of streams keyed by stream number (walked in that
// order), with a dirty flag that says the device form must be built again. The Direct3D 9 form
// turns them into a device declaration. Host thread.
#pragma once

#include <cstdint>
#include <map>
#include <memory>

#include "Core/Object.h"
#include "Render/VertexBufferStream.h"

namespace Zel {

class VertexBufferDeclaration : public Object {
public:
    VertexBufferDeclaration() = default;
    ~VertexBufferDeclaration() override = default;
    ZEL_CLASS_ID(VertexBufferDeclaration)

    // Stores a copy of stream at index. An existing stream there is replaced only with replace
    // (else false and nothing changes); setting the next free index advances it. Marks dirty.
    bool SetStream(std::uint32_t index, const VertexBufferStream& stream, bool replace);
    // Appends a component to the stream (made on first use). Marks dirty.
    void AddElement(std::uint32_t stream, std::uint32_t semantic, std::uint32_t type);

    const std::map<std::uint32_t, std::unique_ptr<VertexBufferStream>>& GetStreams() const {
        return streams_;
    }
    // The stream at index; null when there is none.
    const VertexBufferStream* GetStream(std::uint32_t index) const;
    // The components of every stream together.
    std::uint32_t GetElementCount() const;
    std::uint32_t GetNextFreeIndex() const { return nextFreeIndex_; }
    bool IsDirty() const { return dirty_; }

protected:
    void ClearDirty() { dirty_ = false; }

private:
    std::map<std::uint32_t, std::unique_ptr<VertexBufferStream>> streams_;
    bool dirty_ = true;
    std::uint32_t nextFreeIndex_ = 0;
};

}  // namespace Zel
