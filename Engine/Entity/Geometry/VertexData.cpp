#include "Entity/Geometry/VertexData.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "Core/LogDispatch.h"
#include "Entity/Geometry/Mesh.h"
#include "Entity/Geometry/MeshData.h"
#include "Entity/Geometry/VertexBufferByFormat.h"
#include "Entity/Geometry/VertexComponentDataPool.h"
#include "Render/RenderCodes.h"

namespace Zel {

VertexData::VertexData(Mesh* owner, std::uint32_t usage, bool dynamic, std::uint32_t kind)
    : usage_(usage), kind_(kind), dynamic_(dynamic), owner_(owner) {}

// The buffers go first: they read nothing of the components when released.
VertexData::~VertexData() {
    buffers_.clear();
    components_.clear();
}

std::uint32_t VertexData::GetMemorySize() const {
    std::uint64_t bytes = 0;
    for (const auto& [mask, buffer] : buffers_) bytes += buffer->GetSizeInBytes();
    for (const auto& component : components_) bytes += component->GetDataSize();
    return bytes > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(bytes);
}

void VertexData::CopyFrom(const VertexData& other) {
    static constexpr std::uint32_t kCopyOrder[] = {
        VF_POSITION,  VF_NORMAL,    VF_DIFFUSE,   VF_SPECULAR,  VF_COLOUR,        VF_COLOUR2,
        VF_TEXCOORD0, VF_TEXCOORD1, VF_TEXCOORD2, VF_TEXCOORD3, VF_TEXCOORD4,     VF_TEXCOORD5,
        VF_TEXCOORD6, VF_TEXCOORD7, VF_BINORMAL,  VF_TANGENT,   VF_BLEND_WEIGHTS, VF_BLEND_INDICES};
    if (&other == this)
        return;
    vertexCount_ = other.vertexCount_;
    usage_ = other.usage_;
    dynamic_ = other.dynamic_;
    components_.clear();
    for (std::uint32_t semantic : kCopyOrder) {
        const VertexComponentDataPool* source = other.FindComponent(semantic);
        if (!source)
            continue;
        VertexComponentDataPool* copy = AddComponent(semantic, source->type, source->GetCount());
        if (copy && source->GetDataSize() != 0)
            std::memcpy(copy->GetData(), source->GetData(), source->GetDataSize());
    }
    dirty_ = true;
}

VertexBufferByFormat* VertexData::GetBufferByFormat(std::uint32_t mask, bool buildNow) {
    if (SceneIsDX7Mode()) {
        auto exact = buffers_.find(mask);
        if (exact != buffers_.end())
            return exact->second.get();
    } else {
        for (const auto& [stored, buffer] : buffers_)
            if ((stored & mask) == mask)
                return buffer.get();
    }
    std::unique_ptr<VertexBufferByFormat> made(new (std::nothrow) VertexBufferByFormat(this, mask));
    if (!made) {
        LogError("VertexData: out of memory for the buffer of layout 0x%x", mask);
        return nullptr;
    }
    if (buildNow)
        made->Build();
    VertexBufferByFormat* buffer = made.get();
    buffers_[mask] = std::move(made);
    return buffer;
}

void VertexData::NotifyOwner() {
    if (owner_)
        owner_->OnVertexDataRebuilt(this);
}

void VertexData::InvalidateBuffers() {
    for (const auto& [mask, buffer] : buffers_) buffer->InvalidateDeviceStamp();
}

VertexComponentDataPool* VertexData::FindComponent(std::uint32_t semantic) const {
    for (const auto& component : components_)
        if (component && component->semantic == semantic)
            return component.get();
    return nullptr;
}

VertexComponentDataPool* VertexData::AddComponent(std::uint32_t semantic, std::uint32_t type,
                                                  std::uint32_t count) {
    std::vector<std::uint8_t> none;
    return AddComponent(semantic, type, count, none);
}

VertexComponentDataPool* VertexData::AddComponent(std::uint32_t semantic, std::uint32_t type,
                                                  std::uint32_t count,
                                                  std::vector<std::uint8_t>& bytes) {
    std::unique_ptr<VertexComponentDataPool> component(new (std::nothrow)
                                                           VertexComponentDataPool(semantic, type));
    if (!component || (!component->Adopt(bytes, count) && !component->Allocate(count))) {
        LogError("VertexData: cannot add component 0x%x of %u elements", semantic, count);
        return nullptr;
    }
    if (!bytes.empty() && component->GetDataSize() != 0)
        std::memcpy(component->GetData(), bytes.data(),
                    std::min<std::size_t>(component->GetDataSize(), bytes.size()));
    components_.push_back(std::move(component));
    return components_.back().get();
}

}  // namespace Zel
