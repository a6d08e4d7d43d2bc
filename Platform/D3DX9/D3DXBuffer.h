// The layer's ID3DXBuffer: bytes owned by the buffer, freed with its last reference.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "Platform/D3DX9/ID3DXBuffer.h"

class D3DXBuffer final : public ID3DXBuffer {
public:
    // One reference, held by the caller.
    explicit D3DXBuffer(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
    // A buffer of the text with its terminating NUL (what D3DX hands out for messages).
    static D3DXBuffer* FromText(const std::string& text);

    HRESULT QueryInterface(REFIID riid, void** out) override;
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override;
    LPVOID GetBufferPointer() override { return bytes_.data(); }
    DWORD GetBufferSize() override { return static_cast<DWORD>(bytes_.size()); }

private:
    ~D3DXBuffer() = default;

    std::atomic<ULONG> refs_{1};
    std::vector<std::uint8_t> bytes_;
};
