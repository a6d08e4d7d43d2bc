// The vertices of a mesh as separate per-semantic components (VertexComponentDataPool), and the
// device-ready interleaved buffers made from them, one VertexBufferByFormat per vertex layout
// (the semantic mask a material asks for). Kind 0 keeps its buffers on the device; kind 2
// (VertexDataSysMem) keeps everything in memory. Owned by its mesh or geometry. Host thread (the
// loading thread in queued mode).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "Core/Object.h"
#include "Entity/Geometry/VertexBufferByFormat.h"
#include "Entity/Geometry/VertexComponentDataPool.h"

namespace Zel {

class Mesh;

class VertexData : public Object {
public:
    // owner: the mesh told when a buffer was rebuilt (not owned; may be null); usage: BufferUsage
    // bits of the buffers made; kind: 0 device-backed, 2 system memory.
    VertexData(Mesh* owner, std::uint32_t usage, bool dynamic, std::uint32_t kind = 0);
    // Deletes the components and every buffer by layout.
    ~VertexData() override;

    // Bytes of the buffers by layout plus the data of the components.
    virtual std::uint32_t GetMemorySize() const;
    // Takes the other's vertex count, usage and dynamic flag and replaces the components by
    // copies of the other's first component of each semantic, in the order POSITION, NORMAL,
    // packed DIFFUSE, packed SPECULAR, DIFFUSE, SPECULAR, TEXCOORD0-7, BINORMAL, TANGENT,
    // BLENDWEIGHTS, BLENDINDICES. Buffers by layout are kept (mark them dirty to rewrite them).
    virtual void CopyFrom(const VertexData& other);
    // The buffer for a layout mask: on the fixed-function path the one stored under exactly that
    // mask, on the shader path the first stored one (ascending mask) whose mask holds every
    // requested bit; otherwise a new one stored under the mask, built at once with buildNow.
    // Owned by this vertex data. Null only when memory runs out.
    virtual VertexBufferByFormat* GetBufferByFormat(std::uint32_t mask, bool buildNow);
    // Tells the owner mesh (if any) that a buffer of this vertex data was (re)built.
    virtual void NotifyOwner();
    // Forgets the device stamp of every buffer, so each rebuilds on its next Refresh.
    virtual void InvalidateBuffers();

    // The first component of exactly that semantic bit, or null.
    VertexComponentDataPool* FindComponent(std::uint32_t semantic) const;
    // Appends a new component with `count` zeroed elements and answers it; null (reported) when
    // its data cannot be allocated.
    VertexComponentDataPool* AddComponent(std::uint32_t semantic, std::uint32_t type,
                                          std::uint32_t count);
    // The same with the elements given: `bytes` are taken as they are when they hold exactly the
    // component's data, else copied into the zeroed elements as far as they fit.
    VertexComponentDataPool* AddComponent(std::uint32_t semantic, std::uint32_t type,
                                          std::uint32_t count, std::vector<std::uint8_t>& bytes);
    // Deletes every component (the buffers by layout stay).
    void ClearComponents() { components_.clear(); }
    const std::vector<std::unique_ptr<VertexComponentDataPool>>& GetComponents() const {
        return components_;
    }

    std::uint32_t GetVertexCount() const { return vertexCount_; }
    void SetVertexCount(std::uint32_t count) { vertexCount_ = count; }
    std::uint32_t GetUsage() const { return usage_; }
    void SetUsage(std::uint32_t usage) { usage_ = usage; }
    std::uint32_t GetKind() const { return kind_; }
    bool IsDynamic() const { return dynamic_; }
    Mesh* GetOwner() const { return owner_; }
    void SetOwner(Mesh* owner) { owner_ = owner; }
    // Set at construction; Refresh of a buffer by layout rewrites it while set and clears it.
    bool IsDirty() const { return dirty_; }
    void SetDirty(bool dirty) { dirty_ = dirty; }
    const std::map<std::uint32_t, std::unique_ptr<VertexBufferByFormat>>& GetBuffers() const {
        return buffers_;
    }

protected:
    std::vector<std::unique_ptr<VertexComponentDataPool>> components_;
    std::uint32_t vertexCount_ = 0;
    std::uint32_t usage_;
    std::uint32_t kind_;
    bool dynamic_;
    Mesh* owner_;
    std::map<std::uint32_t, std::unique_ptr<VertexBufferByFormat>> buffers_;
    bool dirty_ = true;
};

}  // namespace Zel
