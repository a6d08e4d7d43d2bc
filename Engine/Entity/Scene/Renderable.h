// What the frame pipeline draws: the render queue stores renderables, asks them for their
// material, bounds and sort key, and has them fill the render operation record they embed for
// each pass before the render system draws it. Sub-entities, decals, particles and blob shadows
// are renderables. Host thread.
#pragma once

#include <cstdint>

#include "Render/RenderOperation.h"

namespace Zel {

class AABB;
class IndexData;
class Material;
class Pass;
class VertexData;

class Renderable {
public:
    Renderable() = default;
    virtual ~Renderable() = default;
    Renderable(const Renderable&) = delete;
    Renderable& operator=(const Renderable&) = delete;

    // The material the piece draws with (not owned), or null.
    virtual Material* GetMaterial() = 0;
    virtual void SetMaterial(Material* material) = 0;
    virtual IndexData* GetIndexData() const = 0;
    // Two pieces of one mesh answer the same vertex data.
    virtual VertexData* GetVertexData() const = 0;
    // 16 floats, valid until the owner moves.
    virtual const float* GetWorldMatrix() = 0;
    // Recomputes and answers the world box.
    virtual const AABB& GetBoundingBox() = 0;
    // The world box as last computed.
    virtual const AABB& GetStoredBox() const = 0;
    // The record filled for the material's first pass; null for a piece without one.
    virtual RenderOperation* GetRenderOperation() { return nullptr; }
    // Fills the record for a pass with the piece's group `group` (0-based among the groups that
    // draw) and answers how many groups draw; 0 when nothing is to be drawn. A draw calls it with
    // group 0, 1, ... up to the answer, drawing after each fill.
    virtual std::uint32_t FillRenderOperation(Pass* pass, std::uint32_t group) = 0;
    virtual std::uint32_t GetRenderMark() const = 0;
    virtual void SetRenderMark(std::uint32_t value) = 0;
    virtual std::uint32_t GetCounter() const = 0;
    virtual void SetCounter(std::uint32_t value) = 0;
    // The owner node's state bit 256 (false without an owner).
    virtual bool IsOwnerMarked() const = 0;
    virtual std::uint32_t GetUserWord() const = 0;
    virtual void SetUserWord(std::uint32_t value) = 0;
    // The transparent sort scales depths by it (a sub-entity answers its material's key).
    virtual std::int32_t GetSortKey() const = 0;
    virtual std::uint32_t GetRenderKind() const = 0;
    RenderOperation* GetRenderOperationRecord() { return &record_; }
    RenderOperation* GetRenderOperationRecordForPass() { return &record_; }

protected:
    RenderOperation record_;
};

}  // namespace Zel
