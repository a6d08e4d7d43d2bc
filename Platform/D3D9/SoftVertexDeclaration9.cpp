#include "Platform/D3D9/SoftVertexDeclaration9.h"

#include <algorithm>

#include "Platform/D3D9/ComQuery.h"

HRESULT SoftVertexDeclaration9::QueryInterface(REFIID riid, void** out) {
    return AnswerQuery<IDirect3DVertexDeclaration9>(
        this, riid, out, {IID_IUnknown, IID_IDirect3DVertexDeclaration9});
}

HRESULT SoftVertexDeclaration9::GetDeclaration(D3DVERTEXELEMENT9* elements, UINT* count) {
    if (!count)
        return D3DERR_INVALIDCALL;
    const auto& list = layout_.Elements();
    *count = static_cast<UINT>(list.size() + 1);
    if (elements) {
        std::copy(list.begin(), list.end(), elements);
        elements[list.size()] = D3DDECL_END();
    }
    return D3D_OK;
}
