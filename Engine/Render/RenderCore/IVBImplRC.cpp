#include "Render/RenderCore/IVBImplRC.h"

#include "Entity/Geometry/IndexDataSysMem.h"
#include "Entity/Geometry/VertexBufferByFormatSysMem.h"
#include "Render/RenderCodes.h"

namespace Zel {
namespace {

constexpr std::uint32_t kFixedFunctionFormat = VF_POSITION | VF_TEXCOORD0 | VF_DIFFUSE;
constexpr std::uint32_t kShaderFormat = VF_POSITION | VF_COLOUR | VF_TEXCOORD0;
static_assert(kFixedFunctionFormat == 0x10011 && kShaderFormat == 0x15);

}  // namespace

IVBImplRC::IVBImplRC(bool fixedFunction)
    : format_(fixedFunction ? kFixedFunctionFormat : kShaderFormat),
      stride_(fixedFunction ? 24 : 36) {
    vertices_ = std::make_unique<VertexBufferByFormatSysMem>(nullptr, format_);
    vertices_->SetFlag(true);
    indices_ = std::make_unique<IndexDataSysMem>();
    indices_->SetUsedCount(0);
}

IVBImplRC::~IVBImplRC() {
    Release();
}

int IVBImplRC::Release() {
    vertices_.reset();
    indices_.reset();
    return 0;
}

bool IVBImplRC::IsValid() {
    return vertices_ && indices_ && vertices_->GetVertexArray() && indices_->GetShortIndices();
}

void* IVBImplRC::GetVertexData() {
    return vertices_ ? vertices_->GetVertexArray() : nullptr;
}

std::uint16_t* IVBImplRC::GetIndexData() {
    return indices_ ? indices_->GetShortIndices() : nullptr;
}

void* IVBImplRC::Lock(std::int32_t which, std::intptr_t, std::uint32_t stride) {
    if (which == 0) {
        if (!vertices_)
            return nullptr;
        stride_ = stride;
        return vertices_->GetVertexArray();
    }
    return which == 1 ? GetIndexData() : nullptr;
}

bool IVBImplRC::Allocate(std::uint32_t vertexBytes, std::uint32_t indexCount, std::intptr_t,
                         std::intptr_t, std::intptr_t, std::intptr_t) {
    if (!vertices_ || !indices_)
        return false;
    bool fits = true;
    if (!vertices_->GetVertexArray()) {
        if (!vertices_->AllocateArray(vertexBytes))
            return false;
        vertexBytes_ = vertexBytes;
    } else if (vertexBytes > vertexBytes_) {
        fits = false;
    }
    if (!indices_->GetShortIndices()) {
        indices_->AllocateShortIndices(indexCount);
        indices_->SetUsedCount(0);
        indexCount_ = indexCount;
    } else if (indexCount > indexCount_) {
        fits = false;
    }
    return fits;
}

}  // namespace Zel
