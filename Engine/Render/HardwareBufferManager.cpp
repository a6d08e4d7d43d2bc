#include "Render/HardwareBufferManager.h"

#include <algorithm>
#include <new>

#include "Core/Globals.h"
#include "Core/IResList_Impl.h"
#include "Platform/Win32/Win32Sync.h"
#include "Render/GraphicsAPIManager.h"
#include "Render/HardwareIndexBuffer.h"
#include "Render/HardwareVertexBuffer.h"
#include "Render/IHardWareResInfo_Impl.h"
#include "Render/RenderCodes.h"
#include "Render/RenderResourceRegistry.h"
#include "Render/VertexBufferBinding.h"
#include "Render/VertexBufferDeclaration.h"
#include "Render/d3d9/GraphicsAPIManagerD3D9.h"

namespace Zel {
namespace {

// The fixed order of a mask's elements; blend weights and indices never take part.
constexpr struct {
    std::uint32_t semantic, type;
} kMaskElements[] = {
    {VF_POSITION, VET_FLOAT3},  {VF_NORMAL, VET_FLOAT3},    {VF_DIFFUSE, VET_COLOUR},
    {VF_SPECULAR, VET_COLOUR},  {VF_COLOUR, VET_FLOAT4},    {VF_COLOUR2, VET_FLOAT4},
    {VF_TEXCOORD0, VET_FLOAT2}, {VF_TEXCOORD1, VET_FLOAT2}, {VF_TEXCOORD2, VET_FLOAT2},
    {VF_TEXCOORD3, VET_FLOAT2}, {VF_TEXCOORD4, VET_FLOAT2}, {VF_TEXCOORD5, VET_FLOAT2},
    {VF_TEXCOORD6, VET_FLOAT2}, {VF_TEXCOORD7, VET_FLOAT2}, {VF_BINORMAL, VET_FLOAT3},
    {VF_TANGENT, VET_FLOAT3},
};

template <class Buffer>
std::unique_ptr<IResList_Impl> BuildList(const std::list<Buffer*>& buffers) {
    auto list = std::make_unique<IResList_Impl>();
    for (const Buffer* buffer : buffers)
        list->Add(std::make_unique<IHardWareResInfo_Impl>(*buffer));
    return list;
}

// Vertex buffers first, then index buffers, each in creation order.
template <class Fn>
void ForEachDefaultPool(const std::list<HardwareVertexBuffer*>& vertices,
                        const std::list<HardwareIndexBuffer*>& indices, Fn fn) {
    for (HardwareVertexBuffer* buffer : vertices)
        if (buffer->IsDefaultPool())
            fn(*buffer);
    for (HardwareIndexBuffer* buffer : indices)
        if (buffer->IsDefaultPool())
            fn(*buffer);
}

template <class T>
bool Unlink(std::list<T*>& list, T* item) {
    const auto at = std::find(list.begin(), list.end(), item);
    if (at == list.end())
        return false;
    list.erase(at);
    return true;
}

}  // namespace

HardwareBufferManager::HardwareBufferManager(GraphicsAPIManager* api, RenderDevice* device)
    : api_(api), device_(device) {
    RegisterRenderResourceManager(this);
}

HardwareBufferManager::~HardwareBufferManager() {
    for (VertexBufferBinding* binding : bindings_) delete binding;
    bindings_.clear();
    for (VertexBufferDeclaration* declaration : declarations_) delete declaration;
    declarations_.clear();
    declarationCache_.clear();
    for (HardwareIndexBuffer* buffer : indexBuffers_) delete buffer;
    indexBuffers_.clear();
    indexBytes_ = dynamicIndexBytes_ = 0;
    for (HardwareVertexBuffer* buffer : vertexBuffers_) delete buffer;
    vertexBuffers_.clear();
    vertexBytes_ = dynamicVertexBytes_ = 0;
    streamBuffers_.clear();
    UnregisterRenderResourceManager(this);
    vertexResources_.reset();
    indexResources_.reset();
    for (std::vector<Listener>& list : listeners_) list.clear();
}

GraphicsAPIManager* HardwareBufferManager::Api() const {
    if (api_)
        return api_;
    return Globals::Find(&Globals::GetGraphicsAPIManager);
}

void HardwareBufferManager::Notify(ListenerKind kind, void* buffer) const {
    const std::uint32_t thread = static_cast<std::uint32_t>(GetCurrentThreadId());
    // By index: a listener may add another.
    for (std::size_t i = 0; i < listeners_[kind].size(); ++i)
        if (Listener listener = listeners_[kind][i])
            listener(buffer, thread);
}

void HardwareBufferManager::Account(std::uint32_t bytes, std::uint32_t usage, bool index,
                                    bool add) {
    std::uint32_t& total = index ? indexBytes_ : vertexBytes_;
    std::uint32_t& dynamic = index ? dynamicIndexBytes_ : dynamicVertexBytes_;
    total = add ? total + bytes : total - bytes;
    if (usage & BU_DYNAMIC)
        dynamic = add ? dynamic + bytes : dynamic - bytes;
}

HardwareVertexBuffer* HardwareBufferManager::CreateVertexBuffer(std::uint32_t sizeInBytes,
                                                                std::uint32_t usage, bool useShadow,
                                                                bool systemMemory) {
    GraphicsAPIManager* api = Api();
    if (!api)
        return nullptr;
    HardwareVertexBuffer* buffer = api->NewVertexBuffer(this, sizeInBytes, usage, systemMemory,
                                                        useShadow, MP_DEFAULT, device_);
    if (!buffer)
        return nullptr;
    Notify(VERTEX_CREATED, buffer);
    vertexBuffers_.push_back(buffer);
    Account(buffer->GetSizeInBytes(), buffer->GetUsage(), false, true);
    return buffer;
}

HardwareIndexBuffer* HardwareBufferManager::CreateIndexBuffer(std::uint32_t indexKind,
                                                              std::uint32_t indexCount,
                                                              std::uint32_t usage, bool useShadow,
                                                              bool systemMemory) {
    GraphicsAPIManager* api = Api();
    if (!api)
        return nullptr;
    HardwareIndexBuffer* buffer = api->NewIndexBuffer(this, indexCount, indexKind, usage,
                                                      systemMemory, useShadow, MP_DEFAULT, device_);
    if (!buffer)
        return nullptr;
    Notify(INDEX_CREATED, buffer);
    indexBuffers_.push_back(buffer);
    Account(buffer->GetSizeInBytes(), buffer->GetUsage(), true, true);
    return buffer;
}

HardwareVertexBuffer* HardwareBufferManager::GetStreamBuffer(std::uint32_t bytes,
                                                             std::uint32_t usage) {
    std::vector<HardwareVertexBuffer*>& buffers = streamBuffers_[usage];
    for (HardwareVertexBuffer* buffer : buffers)
        if (buffer && buffer->GetFreeSize() >= bytes)
            return buffer;
    HardwareVertexBuffer* buffer =
        CreateVertexBuffer(std::max(bytes, kStreamBufferBytes), usage, false, false);
    if (!buffer)
        return nullptr;
    const auto empty = std::find(buffers.begin(), buffers.end(), nullptr);
    if (empty != buffers.end())
        *empty = buffer;
    else
        buffers.push_back(buffer);
    return buffer;
}

VertexBufferDeclaration* HardwareBufferManager::CreateVertexDeclaration() {
    GraphicsAPIManager* api = Api();
    VertexBufferDeclaration* declaration = api ? api->NewVertexDeclaration(this, device_) : nullptr;
    if (declaration)
        declarations_.push_back(declaration);
    return declaration;
}

VertexBufferDeclaration* HardwareBufferManager::GetVertexDeclaration(std::uint32_t formatMask) {
    const auto cached = declarationCache_.find(formatMask);
    if (cached != declarationCache_.end())
        return cached->second;
    VertexBufferDeclaration* declaration = CreateVertexDeclaration();
    if (!declaration)
        return nullptr;
    VertexBufferStream stream;
    for (const auto& element : kMaskElements)
        if (formatMask & element.semantic)
            stream.AddElement(element.semantic, element.type);
    declaration->SetStream(0, stream, true);
    declarationCache_[formatMask] = declaration;
    return declaration;
}

VertexBufferBinding* HardwareBufferManager::CreateVertexBufferBinding() {
    auto* binding = new (std::nothrow) VertexBufferBinding(this);
    if (binding)
        bindings_.push_back(binding);
    return binding;
}

void HardwareBufferManager::FreeVertexBuffer(std::list<HardwareVertexBuffer*>::iterator at) {
    HardwareVertexBuffer* buffer = *at;
    Notify(VERTEX_RELEASED, buffer);
    vertexBuffers_.erase(at);
    Account(buffer->GetSizeInBytes(), buffer->GetUsage(), false, false);
    delete buffer;
}

void HardwareBufferManager::FreeIndexBuffer(std::list<HardwareIndexBuffer*>::iterator at) {
    HardwareIndexBuffer* buffer = *at;
    Notify(INDEX_RELEASED, buffer);
    indexBuffers_.erase(at);
    Account(buffer->GetSizeInBytes(), buffer->GetUsage(), true, false);
    delete buffer;
}

void HardwareBufferManager::DestroyVertexBuffer(HardwareVertexBuffer* buffer) {
    const auto at = std::find(vertexBuffers_.begin(), vertexBuffers_.end(), buffer);
    if (!buffer || at == vertexBuffers_.end())
        return;
    // A shared append buffer must not outlive its cache entry.
    for (auto& [usage, buffers] : streamBuffers_)
        std::replace(buffers.begin(), buffers.end(), buffer,
                     static_cast<HardwareVertexBuffer*>(nullptr));
    FreeVertexBuffer(at);
}

void HardwareBufferManager::DestroyIndexBuffer(HardwareIndexBuffer* buffer) {
    const auto at = std::find(indexBuffers_.begin(), indexBuffers_.end(), buffer);
    if (buffer && at != indexBuffers_.end())
        FreeIndexBuffer(at);
}

void HardwareBufferManager::DestroyVertexDeclaration(VertexBufferDeclaration* declaration) {
    const bool held = declaration && Unlink(declarations_, declaration);
    std::erase_if(declarationCache_,
                  [&](const auto& entry) { return entry.second == declaration; });
    if (held)
        delete declaration;
}

void HardwareBufferManager::DestroyVertexBufferBinding(VertexBufferBinding* binding) {
    if (binding && Unlink(bindings_, binding))
        delete binding;
}

void HardwareBufferManager::OnLostDevice() {
    ForEachDefaultPool(vertexBuffers_, indexBuffers_, [](RenderResource& r) { r.OnDeviceLost(); });
}

void HardwareBufferManager::OnResetDevice() {
    ForEachDefaultPool(vertexBuffers_, indexBuffers_, [](RenderResource& r) { r.OnDeviceReset(); });
}

void HardwareBufferManager::PurgeUnused() {
    for (auto& [usage, buffers] : streamBuffers_)
        for (HardwareVertexBuffer*& buffer : buffers)
            if (buffer && buffer->GetRefCount() == 1)
                buffer = nullptr;
    for (auto at = vertexBuffers_.begin(); at != vertexBuffers_.end();) {
        const auto next = std::next(at);
        if ((*at)->GetRefCount() == 1)
            FreeVertexBuffer(at);
        at = next;
    }
    for (auto at = indexBuffers_.begin(); at != indexBuffers_.end();) {
        const auto next = std::next(at);
        if ((*at)->GetRefCount() == 1)
            FreeIndexBuffer(at);
        at = next;
    }
}

std::uint32_t HardwareBufferManager::AddListener(ListenerKind kind, Listener listener) {
    std::vector<Listener>& list = listeners_[kind];
    const auto empty = std::find(list.begin(), list.end(), nullptr);
    if (empty != list.end()) {
        *empty = listener;
        return static_cast<std::uint32_t>(empty - list.begin());
    }
    list.push_back(listener);
    return static_cast<std::uint32_t>(list.size() - 1);
}

void HardwareBufferManager::RemoveListener(ListenerKind kind, std::uint32_t index) {
    if (index < listeners_[kind].size())
        listeners_[kind][index] = nullptr;
}

IResList_Impl* HardwareBufferManager::BuildVertexResourceList() {
    vertexResources_.reset();
    vertexResources_ = BuildList(vertexBuffers_);
    return vertexResources_.get();
}

IResList_Impl* HardwareBufferManager::BuildIndexResourceList() {
    indexResources_.reset();
    indexResources_ = BuildList(indexBuffers_);
    return indexResources_.get();
}

bool HardwareBufferManager::ContainsVertexBuffer(const HardwareVertexBuffer* buffer) const {
    return std::find(vertexBuffers_.begin(), vertexBuffers_.end(), buffer) != vertexBuffers_.end();
}

bool HardwareBufferManager::ContainsIndexBuffer(const HardwareIndexBuffer* buffer) const {
    return std::find(indexBuffers_.begin(), indexBuffers_.end(), buffer) != indexBuffers_.end();
}

}  // namespace Zel
