// The layer's ID3DXEffectCompiler: holds an effect compiled from source with the source hash
// and include names the compiled file records.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "Platform/D3DX9/Hlsl/EffectDescription.h"
#include "Platform/D3DX9/ID3DXEffectCompiler.h"

class D3DXEffectCompiler final : public ID3DXEffectCompiler {
public:
    // One reference, held by the caller.
    D3DXEffectCompiler(std::shared_ptr<const Hlsl::EffectDescription> effect,
                       std::uint64_t sourceHash, std::vector<std::string> includes)
        : effect_(std::move(effect)), sourceHash_(sourceHash), includes_(std::move(includes)) {}

    HRESULT QueryInterface(REFIID riid, void** out) override;
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override;
    HRESULT CompileEffect(DWORD flags, LPD3DXBUFFER* effect, LPD3DXBUFFER* errorMsgs) override;

private:
    ~D3DXEffectCompiler() = default;

    std::atomic<ULONG> refs_{1};
    std::shared_ptr<const Hlsl::EffectDescription> effect_;
    std::uint64_t sourceHash_;
    std::vector<std::string> includes_;
};
