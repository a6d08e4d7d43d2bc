#include "Entity/Geometry/VertexBufferByFormat.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "Core/LogDispatch.h"
#include "Entity/Geometry/MeshData.h"
#include "Entity/Geometry/VertexComponentDataPool.h"
#include "Entity/Geometry/VertexData.h"
#include "Math/MathUtil.h"
#include "Render/HardwareBufferManager.h"
#include "Render/HardwareVertexBuffer.h"
#include "Render/RenderCodes.h"
#include "Render/SystemProbes.h"
#include "Render/VertexBufferBinding.h"
#include "Render/VertexBufferDeclaration.h"
#include "Render/VertexBufferStream.h"

namespace Zel {

namespace {

// One element of the interleaved vertex: where its bytes come from and how many.
struct Source {
    const std::uint8_t* data = nullptr;
    std::uint32_t count = 0;      // elements the component holds (later vertices get zeros)
    std::uint32_t pitch = 0;      // bytes of one element in the component
    std::uint32_t copyBytes = 0;  // bytes taken per vertex from the component
    std::uint32_t size = 0;       // bytes of the element in the buffer
};

// A component the layout asks for and the vertex data lacks, with its default: float colours
// from the packed ones (or white), packed colours from the float ones (or opaque white), zero for
// everything else.
VertexComponentDataPool* AddDefaultComponent(VertexData& data, std::uint32_t semantic,
                                             std::uint32_t type, std::uint32_t n) {
    if (n == 0)
        return nullptr;
    VertexComponentDataPool* made = data.AddComponent(semantic, type, n);
    if (!made)
        return nullptr;
    if (semantic == VF_COLOUR || semantic == VF_COLOUR2) {
        const VertexComponentDataPool* packed =
            data.FindComponent(semantic == VF_COLOUR ? VF_DIFFUSE : VF_SPECULAR);
        if (packed && packed->GetElementSize() != 4)
            packed = nullptr;
        float* out = made->GetFloats();
        for (std::uint32_t i = 0; i < n; ++i, out += 4) {
            if (packed && i < packed->GetCount())
                ColorFromARGB(packed->GetWords()[i], out);
            else
                out[0] = out[1] = out[2] = out[3] = 1.0f;
        }
    } else if (semantic == VF_DIFFUSE || semantic == VF_SPECULAR) {
        const VertexComponentDataPool* floats =
            data.FindComponent(semantic == VF_DIFFUSE ? VF_COLOUR : VF_COLOUR2);
        if (floats && floats->GetElementSize() != 16)
            floats = nullptr;
        std::uint32_t* out = made->GetWords();
        for (std::uint32_t i = 0; i < n; ++i)
            out[i] = floats && i < floats->GetCount() ? PackColorARGB(floats->GetFloats() + 4 * i)
                                                      : 0xFFFFFFFFu;
    }
    return made;
}

}  // namespace

VertexBufferByFormat::VertexBufferByFormat(VertexData* vertexData, std::uint32_t mask)
    : mask_(mask), vertexData_(vertexData) {}

VertexBufferByFormat::~VertexBufferByFormat() {
    // A manager that is gone (Globals shut down) took its objects with it.
    if (!manager_ || manager_ != MeshBufferManager())
        return;
    manager_->DestroyVertexDeclaration(declaration_);
    if (binding_) {
        HardwareVertexBuffer* own = binding_->GetSlot(0).buffer.Get();
        if ((flags_ & kOwnsBuffer) && own) {
            binding_->SetBinding(0, nullptr, 0, 0);
            manager_->DestroyVertexBuffer(own);
        }
        manager_->DestroyVertexBufferBinding(binding_);
    }
}

void VertexBufferByFormat::Build() {
    if (built_ || !vertexData_ || vertexData_->GetKind() != 0)
        return;
    if (!manager_)
        manager_ = MeshBufferManager();
    if (!manager_) {
        LogError("VertexBufferByFormat::Build: no hardware buffer manager");
        return;
    }
    RenderDevice* device = manager_->GetRenderDevice();
    ProfileBeginEvent(device, "VertexBufferByFormat::Build Begin");
    built_ = Interleave();
    ProfileEndEvent(device);
}

bool VertexBufferByFormat::Interleave() {
    VertexData& data = *vertexData_;
    const std::uint32_t n = data.GetVertexCount();
    const std::uint32_t* order = LayoutSemanticOrder(SceneIsDX7Mode());

    VertexBufferStream stream;
    std::vector<Source> sources;
    std::uint64_t stride = 0;
    for (std::uint32_t k = 0; k < kLayoutSemanticCount; ++k) {
        const std::uint32_t semantic = order[k];
        if ((mask_ & semantic) == 0)
            continue;
        const std::uint32_t type = LayoutElementType(semantic);
        const VertexComponentDataPool* component = data.FindComponent(semantic);
        if (!component)
            component = AddDefaultComponent(data, semantic, type, n);
        Source source;
        source.size = VertexElementSize(type);
        // A component stored with another element type gives what fits of its bytes; vertices past
        // its count read zeros, so a short component never makes the copy run past its data.
        if (component && component->GetData()) {
            source.data = component->GetData();
            source.count = std::min(component->GetCount(), n);
            source.pitch = component->GetElementSize();
            source.copyBytes = std::min(component->GetElementSize(), source.size);
        }
        sources.push_back(source);
        stream.AddElement(semantic, type);
        stride += source.size;
    }

    if (!binding_)
        binding_ = manager_->CreateVertexBufferBinding();
    if (!declaration_) {
        declaration_ = manager_->CreateVertexDeclaration();
        if (declaration_)
            declaration_->SetStream(0, stream, true);
    }
    if (!binding_ || !declaration_) {
        LogError("VertexBufferByFormat::Build: no binding or declaration for layout 0x%x", mask_);
        return false;
    }
    stride_ = static_cast<std::uint32_t>(stride);
    data.NotifyOwner();

    const std::uint64_t bytes = stride * n;
    if (bytes == 0)
        return true;
    if (bytes > 0xFFFFFFFFu) {
        LogError("VertexBufferByFormat::Build: %u vertices of %u bytes do not fit 4 GiB", n,
                 stride_);
        return false;
    }
    const std::uint32_t length = static_cast<std::uint32_t>(bytes);
    HardwareVertexBuffer* buffer = binding_->GetSlot(0).buffer.Get();
    const bool created = buffer == nullptr;
    if (created) {
        const std::uint32_t usage = data.GetUsage();
        buffer = manager_->CreateVertexBuffer(length, usage, false, (usage & BU_DYNAMIC) != 0);
        if (!buffer) {
            LogError("VertexBufferByFormat::Build: cannot create a vertex buffer of %u bytes",
                     length);
            return false;
        }
        flags_ |= kOwnsBuffer;
        binding_->SetBinding(0, buffer, stride_, buffer->GetUsedSize());
    } else if (binding_->GetSlot(0).stride != stride_) {
        LogError("VertexBufferByFormat::Build: layout 0x%x changed its stride from %u to %u", mask_,
                 binding_->GetSlot(0).stride, stride_);
        return false;
    }
    deviceStamp_ = buffer->GetResetStamp();
    void* locked = created ? buffer->LockAppend(length, LO_NO_OVERWRITE)
                           : buffer->Lock(binding_->GetSlot(0).offset, length, LO_NORMAL);
    if (!locked) {
        LogError("VertexBufferByFormat::Build: cannot lock %u bytes of the vertex buffer", length);
        return false;
    }
    auto* out = static_cast<std::uint8_t*>(locked);
    for (std::uint32_t v = 0; v < n; ++v) {
        for (const Source& s : sources) {
            if (v < s.count) {
                std::memcpy(out, s.data + std::size_t(v) * s.pitch, s.copyBytes);
                std::memset(out + s.copyBytes, 0, s.size - s.copyBytes);
            } else {
                std::memset(out, 0, s.size);
            }
            out += s.size;
        }
    }
    buffer->Unlock();
    return true;
}

std::uint32_t VertexBufferByFormat::GetSizeInBytes() const {
    if (!binding_)
        return 0;
    std::uint64_t bytes = 0;
    for (std::uint32_t i = 0; i < VertexBufferBinding::kStreamCount; ++i) {
        const VertexBufferBinding::Slot& slot = binding_->GetSlot(i);
        if (slot.buffer && slot.stride != 0)
            bytes += slot.buffer->GetSizeInBytes();
    }
    return bytes > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(bytes);
}

void VertexBufferByFormat::Refresh() {
    if (!binding_ || !vertexData_)
        return;
    HardwareVertexBuffer* buffer = binding_->GetSlot(0).buffer.Get();
    if (!buffer)
        return;
    if (vertexData_->IsDirty() || buffer->GetResetStamp() != deviceStamp_) {
        built_ = false;
        Build();
    }
    vertexData_->SetDirty(false);
}

}  // namespace Zel
