#include "Platform/D3DX9/D3DXBuffer.h"

#include <string>

#include "Platform/D3D9/ComQuery.h"

D3DXBuffer* D3DXBuffer::FromText(const std::string& text) {
    std::vector<std::uint8_t> bytes(text.begin(), text.end());
    bytes.push_back(0);
    return new D3DXBuffer(std::move(bytes));
}

HRESULT D3DXBuffer::QueryInterface(REFIID riid, void** out) {
    return AnswerQuery<ID3DXBuffer>(this, riid, out, {IID_IUnknown, IID_ID3DXBuffer});
}

ULONG D3DXBuffer::Release() {
    ULONG left = --refs_;
    if (left == 0)
        delete this;
    return left;
}
