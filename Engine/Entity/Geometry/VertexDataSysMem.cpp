#include "Entity/Geometry/VertexDataSysMem.h"

#include <new>

#include "Core/LogDispatch.h"
#include "Entity/Geometry/VertexBufferByFormatSysMem.h"
#include "Render/RenderCodes.h"

namespace Zel {

VertexDataSysMem::VertexDataSysMem(Mesh* owner)
    : VertexData(owner, BU_STATIC | BU_WRITE_ONLY, false, 2) {}

VertexDataSysMem::~VertexDataSysMem() = default;

VertexBufferByFormat* VertexDataSysMem::GetBufferByFormat(std::uint32_t mask, bool) {
    if (!buffer_) {
        buffer_.reset(new (std::nothrow) VertexBufferByFormatSysMem(this, mask));
        if (!buffer_)
            LogError("VertexDataSysMem: out of memory for the buffer of layout 0x%x", mask);
    }
    return buffer_.get();
}

}  // namespace Zel
