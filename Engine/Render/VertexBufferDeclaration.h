// The vertex elements a draw reads, as streams keyed by stream number (walked in that order). The
// Direct3D 9 form turns them into a device declaration. The buffer manager builds declarations per
// vertex-format mask on this. Host thread.
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

    // Appends a component to the stream (made on first use).
    void AddElement(std::uint32_t stream, std::uint32_t semantic, std::uint32_t type);

    const std::map<std::uint32_t, std::unique_ptr<VertexBufferStream>>& GetStreams() const {
        return streams_;
    }
    // The components of every stream together.
    std::uint32_t GetElementCount() const;

protected:
    // Called after every change of the element list.
    virtual void OnElementsChanged() {}

private:
    std::map<std::uint32_t, std::unique_ptr<VertexBufferStream>> streams_;
};

}  // namespace Zel
