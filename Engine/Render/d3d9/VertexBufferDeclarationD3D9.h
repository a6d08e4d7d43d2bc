// A vertex declaration with its Direct3D 9 form. Build turns the streams (in stream order, each
// stream's components in the order added) into Direct3D elements: offsets accumulate per stream by
// each element's size, types, usages and usage indices come from D3D9Mapping, and the end marker
// closes the list. Made through GraphicsAPIManagerD3D9::NewVertexDeclaration. Host thread.
#pragma once

#include <vector>

#include "Platform/D3D9/IDirect3DVertexDeclaration9.h"
#include "Render/VertexBufferDeclaration.h"

namespace Zel {

class HardwareBufferManager;
class RenderDevice;

class VertexBufferDeclarationD3D9 final : public VertexBufferDeclaration {
public:
    // manager: kept as given; device: the render device the declaration is made on (not owned).
    VertexBufferDeclarationD3D9(HardwareBufferManager* manager, RenderDevice* device);
    // Releases the Direct3D declaration.
    ~VertexBufferDeclarationD3D9() override;
    ZEL_CLASS_ID(VertexBufferDeclarationD3D9)

    // When the element list changed since the last build, a device exists and it is not lost:
    // releases the old Direct3D declaration and makes the new one (a failure goes to the device's
    // LogD3DError as "CreateVertexDeclaration" and leaves none). Otherwise nothing.
    void Build();
    // The elements Build hands Direct3D, end marker included.
    std::vector<D3DVERTEXELEMENT9> BuildElements() const;

    HardwareBufferManager* GetManager() const { return manager_; }
    // Null until built.
    IDirect3DVertexDeclaration9* GetD3DDeclaration() const { return declaration_; }

private:
    HardwareBufferManager* manager_;
    RenderDevice* device_;
    IDirect3DVertexDeclaration9* declaration_ = nullptr;
};

}  // namespace Zel
