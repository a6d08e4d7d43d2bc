// A vertex or pixel shader of the software device: an opaque object that keeps the token stream it
// was made from. The device binds shaders and compares them by identity; it runs none of them.
#pragma once

#include <algorithm>
#include <vector>

#include "Platform/D3D9/ComQuery.h"
#include "Platform/D3D9/IDirect3DPixelShader9.h"
#include "Platform/D3D9/IDirect3DVertexShader9.h"
#include "Platform/D3D9/SoftDeviceChild.h"

template <class Interface, const GUID& kIid, DWORD kVersionPrefix>
class SoftShader9 final : public Interface, public SoftDeviceChild {
public:
    static constexpr DWORD kEndToken = 0x0000FFFF;
    static constexpr std::size_t kMaxTokens = 1u << 20;

    SoftShader9(SoftDevice9* device, std::vector<DWORD> tokens)
        : SoftDeviceChild(device, false, true), tokens_(std::move(tokens)) {}

    static SoftShader9* From(Interface* shader) { return dynamic_cast<SoftShader9*>(shader); }

    // Copies the token stream up to and including its end token. False (nothing read past the
    // limit) for null, a first token that is not this kind's version token, or a stream without
    // an end token within kMaxTokens.
    static bool ReadTokens(const DWORD* function, std::vector<DWORD>* tokens) {
        if (!function || (function[0] & 0xFFFF0000u) != kVersionPrefix)
            return false;
        for (std::size_t i = 1; i < kMaxTokens; ++i) {
            if (function[i] == kEndToken) {
                tokens->assign(function, function + i + 1);
                return true;
            }
        }
        return false;
    }

    HRESULT QueryInterface(REFIID riid, void** out) override {
        return AnswerQuery<Interface>(this, riid, out, {IID_IUnknown, kIid});
    }
    ULONG AddRef() override { return AddRefChild(); }
    ULONG Release() override { return ReleaseChild(); }
    HRESULT GetDevice(IDirect3DDevice9** device) override { return GetDeviceFor(device); }
    HRESULT GetFunction(void* data, UINT* sizeOfData) override {
        if (!sizeOfData)
            return D3DERR_INVALIDCALL;
        auto bytes = static_cast<UINT>(tokens_.size() * sizeof(DWORD));
        if (data) {
            if (*sizeOfData < bytes)
                return D3DERR_INVALIDCALL;
            std::copy(tokens_.begin(), tokens_.end(), static_cast<DWORD*>(data));
        }
        *sizeOfData = bytes;
        return D3D_OK;
    }

    const std::vector<DWORD>& Tokens() const { return tokens_; }

private:
    ~SoftShader9() override = default;

    std::vector<DWORD> tokens_;
};

using SoftVertexShader9 =
    SoftShader9<IDirect3DVertexShader9, IID_IDirect3DVertexShader9, 0xFFFE0000u>;
using SoftPixelShader9 = SoftShader9<IDirect3DPixelShader9, IID_IDirect3DPixelShader9, 0xFFFF0000u>;
