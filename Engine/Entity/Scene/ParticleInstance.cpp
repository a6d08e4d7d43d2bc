#include "Entity/Scene/ParticleInstance.h"

#include <algorithm>
#include <vector>

#include "Core/Factory.h"
#include "Core/Globals.h"
#include "Entity/Material/Material.h"
#include "Entity/Scene/ParticleVB.h"
#include "Math/MathUtil.h"
#include "Render/RenderCodes.h"

namespace Zel {
namespace {

std::vector<ParticleInstance*>& FrameInstances() {
    static std::vector<ParticleInstance*> instances;
    return instances;
}

}  // namespace

ParticleInstance::ParticleInstance() {
    const float min[3] = {-1.0f, -1.0f, -1.0f}, max[3] = {1.0f, 1.0f, 1.0f};
    box_.SetMinMax(min, max);
}

IndexData* ParticleInstance::GetIndexData() const {
    return buffer_ ? buffer_->GetIndexData() : nullptr;
}

VertexData* ParticleInstance::GetVertexData() const {
    return buffer_ ? buffer_->GetVertexData() : nullptr;
}

const float* ParticleInstance::GetWorldMatrix() {
    return IdentityMatrix();
}

std::int32_t ParticleInstance::GetSortKey() const {
    return material_ ? material_->GetSortKey() : 100;
}

std::uint32_t ParticleInstance::FillRenderOperation(Pass* /*pass*/, std::uint32_t /*group*/) {
    record_.Reset();
    if (!buffer_)
        return 0;
    // A run past the end of the buffer would draw vertices and indices it does not hold.
    const std::uint32_t capacity = buffer_->GetCapacity();
    const std::uint32_t first = std::min(first_, capacity);
    const std::uint32_t count = std::min(count_, capacity - first);
    record_.indexData = buffer_->GetIndexData();
    record_.vertexData = buffer_->GetVertexData();
    record_.vertexBinding = buffer_->GetVertexBinding();
    record_.primitiveType = PT_TRIANGLE_LIST;
    record_.baseVertex = static_cast<std::int32_t>(4 * first);
    record_.vertexCount = 4 * count;
    record_.startIndex = 0;
    record_.indexCount = 6 * count;
    if (material_)
        record_.program = material_->GetProgram();
    return count > 0 && record_.vertexBinding ? 1 : 0;
}

void ParticleInstance::Reset() {
    material_ = nullptr;
    buffer_ = nullptr;
    first_ = count_ = 0;
    record_.Reset();
}

void QueueParticleInstance(ParticleInstance* instance) {
    if (instance)
        FrameInstances().push_back(instance);
}

void ReleaseFrameParticleInstances() {
    std::vector<ParticleInstance*> listed;
    listed.swap(FrameInstances());
    Factory<ParticleInstance>* factory = Globals::Find(&Globals::GetParticleInstanceFactory);
    if (!factory)
        return;
    for (ParticleInstance* instance : listed) factory->Release(instance);
}

std::size_t GetQueuedParticleInstanceCount() {
    return FrameInstances().size();
}

}  // namespace Zel
