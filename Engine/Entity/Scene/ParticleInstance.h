// One draw of a run of particles: a short-lived renderable that draws particles first ..
// first + count - 1 of a ParticleVB with one material. The host's particle draw takes one from
// the factory in Globals, sets it up, hands it to the frame list (QueueParticleInstance) and to
// render group 9; the next frame begin gives every listed instance back
// (ReleaseFrameParticleInstances). Host thread.
#pragma once

#include <cstdint>

#include "Core/RecycledObject.h"
#include "Entity/Scene/Renderable.h"
#include "Math/AABB.h"

namespace Zel {

class ParticleVB;

class ParticleInstance : public Renderable, public RecycledObject {
public:
    // Box (-1, -1, -1) to (1, 1, 1), nothing to draw.
    ParticleInstance();
    ~ParticleInstance() override = default;

    Material* GetMaterial() override { return material_; }
    // Not held: the material outlives the frame the instance lives in.
    void SetMaterial(Material* material) override { material_ = material; }
    IndexData* GetIndexData() const override;
    VertexData* GetVertexData() const override;
    const float* GetWorldMatrix() override;
    const AABB& GetBoundingBox() override { return box_; }
    const AABB& GetStoredBox() const override { return box_; }
    // The run as a triangle list (the first and count held to the buffer's capacity); 0 when
    // nothing is left to draw or there is no buffer.
    std::uint32_t FillRenderOperation(Pass* pass, std::uint32_t group) override;
    std::uint32_t GetRenderMark() const override { return 0; }
    void SetRenderMark(std::uint32_t /*value*/) override {}
    std::uint32_t GetCounter() const override { return 0; }
    void SetCounter(std::uint32_t /*value*/) override {}
    bool IsOwnerMarked() const override { return false; }
    std::uint32_t GetUserWord() const override { return 0; }
    void SetUserWord(std::uint32_t /*value*/) override {}
    // The material's sort key; 100 without one.
    std::int32_t GetSortKey() const override;
    std::uint32_t GetRenderKind() const override { return 1; }

    void SetParticleVB(ParticleVB* buffer) { buffer_ = buffer; }
    ParticleVB* GetParticleVB() const { return buffer_; }
    void SetBoundingBox(const float* min, const float* max) { box_.SetMinMax(min, max); }
    void SetFirstParticle(std::uint32_t first) { first_ = first; }
    void SetParticleCount(std::uint32_t count) { count_ = count; }
    std::uint32_t GetFirstParticle() const { return first_; }
    std::uint32_t GetParticleCount() const { return count_; }

    // Material, buffer, first and count back to 0 and the record reset.
    void Reset() override;

private:
    Material* material_ = nullptr;  // not owned
    ParticleVB* buffer_ = nullptr;  // not owned
    std::uint32_t first_ = 0;
    std::uint32_t count_ = 0;
    AABB box_;
};

// The frame's list of queued instances (process-wide, host thread).
void QueueParticleInstance(ParticleInstance* instance);
// Gives every listed instance back to the factory in Globals, in list order, and empties the
// list.
void ReleaseFrameParticleInstances();
// Instances listed this frame.
std::size_t GetQueuedParticleInstanceCount();

}  // namespace Zel
