#include "Render/d3d9/VertexBufferDeclarationD3D9.h"

#include "Core/threadmng.h"
#include "Render/d3d9/D3D9Mapping.h"
#include "Render/d3d9/RenderDeviceD3D9.h"

namespace Zel {

VertexBufferDeclarationD3D9::VertexBufferDeclarationD3D9(HardwareBufferManager* manager,
                                                         RenderDevice* device)
    : manager_(manager), device_(device) {}

VertexBufferDeclarationD3D9::~VertexBufferDeclarationD3D9() {
    if (declaration_)
        declaration_->Release();
}

std::vector<D3DVERTEXELEMENT9> VertexBufferDeclarationD3D9::BuildElements() const {
    std::vector<D3DVERTEXELEMENT9> elements;
    elements.reserve(GetElementCount() + 1);
    for (const auto& [index, stream] : GetStreams()) {
        std::uint32_t offset = 0;
        for (const VertexComponent& component : stream->GetElements()) {
            elements.push_back(D3DVERTEXELEMENT9{
                static_cast<WORD>(index), static_cast<WORD>(offset),
                static_cast<BYTE>(D3DDeclTypeFromElementType(component.type)),
                D3DDECLMETHOD_DEFAULT,
                static_cast<BYTE>(D3DDeclUsageFromVertexFormat(component.semantic)),
                D3DUsageIndexFromVertexFormat(component.semantic)});
            offset += VertexElementTypeSize(component.type);
        }
    }
    elements.push_back(D3DDECL_END());
    return elements;
}

void VertexBufferDeclarationD3D9::Build() {
    auto* device = dynamic_cast<RenderDeviceD3D9*>(device_);
    if (!IsDirty() || !device || !device->GetD3DDevice() ||
        device->GetDeviceState() != DEVICE_USABLE)
        return;
    ClearDirty();
    if (declaration_) {
        declaration_->Release();
        declaration_ = nullptr;
    }
    const std::vector<D3DVERTEXELEMENT9> elements = BuildElements();
    threadmng* threads = threadmng::GetInstance();
    const int access = threads->BeginDeviceAccess();
    const HRESULT hr =
        device->GetD3DDevice()->CreateVertexDeclaration(elements.data(), &declaration_);
    if (access)
        threads->EndDeviceAccess();
    if (FAILED(hr)) {
        declaration_ = nullptr;
        device->LogD3DError("CreateVertexDeclaration", hr, "");
    }
}

}  // namespace Zel
