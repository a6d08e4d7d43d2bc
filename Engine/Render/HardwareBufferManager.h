// The one maker and destroyer of hardware vertex and index buffers, vertex declarations and vertex
// buffer bindings (Globals holds it). It keeps byte totals for the host's monitor, tells host
// listeners of every creation and release, hands out shared append buffers per usage, caches one
// declaration per vertex-format mask, frees buffers nobody else references and passes device loss
// and reset on to its default-pool buffers. Registered with the render-resource registry from
// construction to destruction. Host thread; it takes no lock, its callers serialise.
#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <type_traits>
#include <vector>

#include "Core/Object.h"
#include "Render/RenderResourceManager.h"

namespace Zel {

class GraphicsAPIManager;
class IResList_Impl;
class HardwareIndexBuffer;
class HardwareVertexBuffer;
class RenderDevice;
class VertexBufferBinding;
class VertexBufferDeclaration;

class HardwareBufferManager : public Object, public RenderResourceManager {
public:
    // A host listener: called with the buffer and the calling thread's id.
    using Listener = void (*)(void* buffer, std::uint32_t threadId);
    enum ListenerKind : std::uint32_t {
        INDEX_CREATED = 0,
        INDEX_RELEASED = 1,
        VERTEX_CREATED = 2,
        VERTEX_RELEASED = 3,
        LISTENER_KINDS = 4,
    };
    // Whether a buffer type is the index kind (else the vertex kind).
    template <class Buffer>
    static constexpr bool kIsIndex = std::is_same_v<Buffer, HardwareIndexBuffer>;
    // What shared append buffers are made with at least.
    static constexpr std::uint32_t kStreamBufferBytes = 16384;

    // api: the maker of device objects (default: the one Globals holds, looked up at each
    // creation); device: the owner word handed to every buffer and declaration (default: none).
    // Neither is owned.
    explicit HardwareBufferManager(GraphicsAPIManager* api = nullptr,
                                   RenderDevice* device = nullptr);
    // Deletes bindings, declarations, index and vertex buffers (telling no listener) and
    // unregisters.
    ~HardwareBufferManager() override;
    ZEL_CLASS_ID(HardwareBufferManager)

    void SetRenderDevice(RenderDevice* device) { device_ = device; }
    RenderDevice* GetRenderDevice() const { return device_; }

    // New buffers, owned by the manager (reference count 1); null when no maker exists or memory
    // runs out. usage: BufferUsage bits; systemMemory puts the device object in system memory.
    virtual HardwareVertexBuffer* CreateVertexBuffer(std::uint32_t sizeInBytes, std::uint32_t usage,
                                                     bool useShadow, bool systemMemory);
    // indexKind: IndexSize.
    virtual HardwareIndexBuffer* CreateIndexBuffer(std::uint32_t indexKind,
                                                   std::uint32_t indexCount, std::uint32_t usage,
                                                   bool useShadow, bool systemMemory);
    // A shared vertex buffer of the usage with at least bytes free (callers LockAppend into it);
    // a new one of max(bytes, 16384) when none has room.
    virtual HardwareVertexBuffer* GetStreamBuffer(std::uint32_t bytes, std::uint32_t usage);
    virtual VertexBufferDeclaration* CreateVertexDeclaration();
    // The cached declaration of a vertex-format mask, made on first request with one stream.
    virtual VertexBufferDeclaration* GetVertexDeclaration(std::uint32_t formatMask);
    virtual VertexBufferBinding* CreateVertexBufferBinding();
    // Each ignores null and objects the manager does not hold.
    virtual void DestroyVertexBuffer(HardwareVertexBuffer* buffer);
    virtual void DestroyIndexBuffer(HardwareIndexBuffer* buffer);
    // Also drops every cache entry naming the declaration.
    virtual void DestroyVertexDeclaration(VertexBufferDeclaration* declaration);
    virtual void DestroyVertexBufferBinding(VertexBufferBinding* binding);

    void OnLostDevice() override;
    void OnResetDevice() override;
    // Frees every buffer whose reference count is back to 1 (the manager's own); their shared
    // cache entries become null and are reused.
    void PurgeUnused() override;

    // Host listeners: Add stores in the first empty entry (or appends) and answers its index;
    // Remove empties the entry (an index past the end does nothing).
    std::uint32_t AddListener(ListenerKind kind, Listener listener);
    void RemoveListener(ListenerKind kind, std::uint32_t index);

    // A new list of the vertex (index) buffers in list order, one IHardWareResInfo_Impl each; the
    // previous list of that kind is deleted. Owned by the manager.
    IResList_Impl* BuildVertexResourceList();
    IResList_Impl* BuildIndexResourceList();

    bool ContainsVertexBuffer(const HardwareVertexBuffer* buffer) const;
    bool ContainsIndexBuffer(const HardwareIndexBuffer* buffer) const;

    // The same per buffer kind, for the host proxies (Buffer: HardwareVertexBuffer or
    // HardwareIndexBuffer). Contains only compares addresses, so any pointer may be asked about.
    bool Contains(const HardwareVertexBuffer* buffer) const { return ContainsVertexBuffer(buffer); }
    bool Contains(const HardwareIndexBuffer* buffer) const { return ContainsIndexBuffer(buffer); }
    template <class Buffer>
    IResList_Impl* BuildResourceList() {
        if constexpr (kIsIndex<Buffer>)
            return BuildIndexResourceList();
        else
            return BuildVertexResourceList();
    }
    template <class Buffer>
    static constexpr ListenerKind kCreated = kIsIndex<Buffer> ? INDEX_CREATED : VERTEX_CREATED;
    template <class Buffer>
    static constexpr ListenerKind kReleased = kIsIndex<Buffer> ? INDEX_RELEASED : VERTEX_RELEASED;
    // In creation order.
    const std::list<HardwareVertexBuffer*>& GetVertexBuffers() const { return vertexBuffers_; }
    const std::list<HardwareIndexBuffer*>& GetIndexBuffers() const { return indexBuffers_; }
    const std::map<std::uint32_t, std::vector<HardwareVertexBuffer*>>& GetStreamBuffers() const {
        return streamBuffers_;
    }

    // Byte totals of the live buffers.
    std::uint32_t GetVertexBytes() const { return vertexBytes_; }
    std::uint32_t GetDynamicVertexBytes() const { return dynamicVertexBytes_; }
    std::uint32_t GetIndexBytes() const { return indexBytes_; }
    std::uint32_t GetDynamicIndexBytes() const { return dynamicIndexBytes_; }

private:
    GraphicsAPIManager* Api() const;
    void Notify(ListenerKind kind, void* buffer) const;
    void Account(std::uint32_t bytes, std::uint32_t usage, bool index, bool add);
    void FreeVertexBuffer(std::list<HardwareVertexBuffer*>::iterator at);
    void FreeIndexBuffer(std::list<HardwareIndexBuffer*>::iterator at);

    GraphicsAPIManager* api_;
    RenderDevice* device_;
    std::map<std::uint32_t, std::vector<HardwareVertexBuffer*>> streamBuffers_;
    std::list<HardwareVertexBuffer*> vertexBuffers_;
    std::list<HardwareIndexBuffer*> indexBuffers_;
    std::list<VertexBufferDeclaration*> declarations_;
    std::list<VertexBufferBinding*> bindings_;
    std::uint32_t vertexBytes_ = 0;
    std::uint32_t dynamicVertexBytes_ = 0;
    std::uint32_t indexBytes_ = 0;
    std::uint32_t dynamicIndexBytes_ = 0;
    std::map<std::uint32_t, VertexBufferDeclaration*> declarationCache_;
    std::vector<Listener> listeners_[LISTENER_KINDS];
    std::unique_ptr<IResList_Impl> vertexResources_;
    std::unique_ptr<IResList_Impl> indexResources_;
};

}  // namespace Zel
