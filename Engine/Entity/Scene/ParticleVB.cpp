#include "Entity/Scene/ParticleVB.h"

#include <vector>

#include "Core/DeviceCaps.h"
#include "Core/Globals.h"
#include "Core/LogDispatch.h"
#include "Entity/Geometry/IndexData.h"
#include "Entity/Geometry/MeshData.h"
#include "Entity/Geometry/VertexBufferByFormat.h"
#include "Entity/Geometry/VertexData.h"
#include "Entity/Scene/SceneManager.h"
#include "Render/HardwareBufferManager.h"
#include "Render/HardwareVertexBuffer.h"
#include "Render/RenderCodes.h"
#include "Render/RenderSystem.h"
#include "Render/VertexBufferBinding.h"
#include "Render/VertexBufferDeclaration.h"
#include "Render/VertexBufferStream.h"

namespace Zel {
namespace {

constexpr std::uint32_t kVertexUsage = BU_DYNAMIC | BU_WRITE_ONLY;
constexpr std::uint32_t kIndexUsage = BU_STATIC | BU_WRITE_ONLY;

// A vertex buffer the particle store fills itself: the declaration and binding of the layout
// around one buffer it made, with no vertex components to interleave (so the draw's build and
// refresh leave the host's vertices alone).
class ParticleVertexBinding : public VertexBufferByFormat {
public:
    ParticleVertexBinding(HardwareBufferManager* manager, std::uint32_t mask)
        : VertexBufferByFormat(nullptr, mask) {
        manager_ = manager;
        built_ = true;
    }

    // The declaration of the elements and a buffer of `bytes` bound with `stride`; false when
    // the manager refuses any of them.
    bool Make(const VertexBufferStream& stream, std::uint32_t stride, std::uint32_t bytes) {
        declaration_ = manager_->CreateVertexDeclaration();
        binding_ = manager_->CreateVertexBufferBinding();
        if (!declaration_ || !binding_)
            return false;
        declaration_->SetStream(0, stream, true);
        stride_ = stride;
        if (bytes == 0)
            return true;
        HardwareVertexBuffer* buffer =
            manager_->CreateVertexBuffer(bytes, kVertexUsage, false, true);
        if (!buffer)
            return false;
        SetFlag(true);
        binding_->SetBinding(0, buffer, stride, 0);
        return true;
    }
};

RenderSystem* SceneRenderSystem() {
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    return scene ? scene->GetRenderSystem() : nullptr;
}

void RecreateParticles(void* object) {
    static_cast<ParticleVB*>(object)->Recreate();
}

}  // namespace

ParticleVB::~ParticleVB() {
    ReleaseBuffers();
    if (hooked_)
        if (RenderSystem* system = SceneRenderSystem())
            system->RemoveRecreateHook(this);
}

std::uint32_t ParticleVB::GetVertexSize() const {
    return binding_ ? binding_->GetStride() : 0;
}

void ParticleVB::ReleaseBuffers() {
    delete binding_;
    binding_ = nullptr;
    delete vertexData_;
    vertexData_ = nullptr;
    delete indexData_;
    indexData_ = nullptr;
}

bool ParticleVB::BuildVertexStream(std::uint32_t capacity) {
    // A second build replaces the buffers of the first instead of losing them.
    ReleaseBuffers();
    capacity_ = 0;
    HardwareBufferManager* manager = MeshBufferManager();
    if (!manager) {
        LogError("ParticleVB::BuildVertexStream: no hardware buffer manager");
        return false;
    }
    const DeviceCaps* caps = Globals::Find(&Globals::GetDeviceCaps);
    const bool wideIndices = caps && (caps->featureFlags & DEVICE_INDEX_32);
    if (!wideIndices && capacity > kMaxParticles16) {
        LogTyped(LOG_ENGINE_INIT,
                 "ParticleVB::BuildVertexStream: %u particles need 32-bit indices; held to %u",
                 capacity, kMaxParticles16);
        capacity = kMaxParticles16;
    }
    // 32-bit indices still address vertices with 32-bit counts: keep 6 x capacity in range.
    capacity = std::min<std::uint32_t>(capacity, 0x7FFFFFFFu / 36u / 4u);

    const bool fixedFunction = SceneIsDX7Mode();
    VertexBufferStream stream;
    stream.AddElement(VF_POSITION, VET_FLOAT3);
    if (fixedFunction)
        stream.AddElement(VF_DIFFUSE, VET_COLOUR);
    else
        stream.AddElement(VF_COLOUR, VET_FLOAT4);
    stream.AddElement(VF_TEXCOORD0, VET_FLOAT2);
    const std::uint32_t stride = fixedFunction ? 24 : 36;
    layoutKey_ = VF_POSITION | (fixedFunction ? VF_DIFFUSE : VF_COLOUR) | VF_TEXCOORD0;

    vertexData_ = new VertexData(nullptr, kVertexUsage, true, 0);
    vertexData_->SetVertexCount(capacity * 4);
    auto* binding = new ParticleVertexBinding(manager, layoutKey_);
    binding_ = binding;
    indexData_ = new IndexData(0);
    std::vector<std::uint32_t> indices(std::size_t(capacity) * 6);
    for (std::uint32_t k = 0; k < capacity; ++k) {
        const std::uint32_t v = 4 * k;
        const std::uint32_t quad[6] = {v, v + 1, v + 2, v, v + 2, v + 3};
        std::copy(quad, quad + 6, indices.begin() + std::ptrdiff_t(6) * k);
    }
    indexData_->TakeIndices(indices);
    if (!binding->Make(stream, stride, capacity * 4 * stride) ||
        !indexData_->CreateBuffer(wideIndices ? IS_32BIT : IS_16BIT, kIndexUsage)) {
        LogError("ParticleVB::BuildVertexStream: cannot make the buffers for %u particles",
                 capacity);
        ReleaseBuffers();
        return false;
    }
    capacity_ = capacity;
    if (!hooked_)
        if (RenderSystem* system = SceneRenderSystem()) {
            system->AddRecreateHook(&RecreateParticles, this);
            hooked_ = true;
        }
    return true;
}

void* ParticleVB::Lock(std::uint32_t vertexCount) {
    HardwareVertexBuffer* buffer = binding_ && binding_->GetBinding()
                                       ? binding_->GetBinding()->GetSlot(0).buffer.Get()
                                       : nullptr;
    if (!buffer)
        return nullptr;
    vertexCount = std::min(vertexCount, capacity_ * 4);
    const std::uint32_t offset = binding_->GetBinding()->GetSlot(0).offset;
    return buffer->Lock(offset, vertexCount * GetVertexSize(), LO_DISCARD);
}

void ParticleVB::Unlock() {
    if (binding_ && binding_->GetBinding())
        if (HardwareVertexBuffer* buffer = binding_->GetBinding()->GetSlot(0).buffer.Get())
            buffer->Unlock();
}

void ParticleVB::Recreate() {
    const std::uint32_t capacity = capacity_;
    capacity_ = 0;
    ReleaseBuffers();
    BuildVertexStream(capacity);
}

void ParticleVB::Reset() {
    DetachInterface();
    capacity_ = 0;
    ReleaseBuffers();
    if (hooked_) {
        if (RenderSystem* system = SceneRenderSystem())
            system->RemoveRecreateHook(this);
        hooked_ = false;
    }
}

}  // namespace Zel
