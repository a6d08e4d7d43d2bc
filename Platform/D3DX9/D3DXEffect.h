// The layer's ID3DXEffect over a compiled effect description (see ID3DXEffect.h for the contract).
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <unordered_set>
#include <vector>

#include "Platform/D3DX9/D3DXEffectProgram.h"
#include "Platform/D3DX9/Hlsl/EffectDescription.h"
#include "Platform/D3DX9/ID3DXEffect.h"

class D3DXEffect final : public ID3DXEffect {
public:
    // One reference, held by the caller; the effect holds one reference of the device.
    D3DXEffect(IDirect3DDevice9* device, std::shared_ptr<const Hlsl::EffectDescription> effect);

    HRESULT QueryInterface(REFIID riid, void** out) override;
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override;

    D3DXHANDLE GetParameterByName(D3DXHANDLE parent, LPCSTR name) override;
    D3DXHANDLE GetParameterElement(D3DXHANDLE parameter, UINT index) override;
    D3DXHANDLE GetTechnique(UINT index) override;
    D3DXHANDLE GetTechniqueByName(LPCSTR name) override;
    HRESULT GetTechniqueDesc(D3DXHANDLE technique, D3DXTECHNIQUE_DESC* desc) override;
    HRESULT SetTechnique(D3DXHANDLE technique) override;
    D3DXHANDLE GetCurrentTechnique() override;

    HRESULT Begin(UINT* passes, DWORD flags) override;
    HRESULT BeginPass(UINT pass) override;
    HRESULT CommitChanges() override;
    HRESULT EndPass() override;
    HRESULT End() override;

    HRESULT SetMatrix(D3DXHANDLE parameter, const D3DMATRIX* matrix) override;
    HRESULT SetMatrixTranspose(D3DXHANDLE parameter, const D3DMATRIX* matrix) override;
    HRESULT SetMatrixTransposeArray(D3DXHANDLE parameter, const D3DMATRIX* matrices,
                                    UINT count) override;
    HRESULT SetValue(D3DXHANDLE parameter, LPCVOID data, UINT bytes) override;
    HRESULT SetFloat(D3DXHANDLE parameter, float value) override;
    HRESULT SetInt(D3DXHANDLE parameter, INT value) override;
    HRESULT SetTexture(D3DXHANDLE parameter, IDirect3DBaseTexture9* texture) override;

    HRESULT SetStateManager(ID3DXEffectStateManager* manager) override;
    HRESULT OnLostDevice() override;
    HRESULT OnResetDevice() override { return D3D_OK; }

private:
    // What a parameter handle names: a parameter, a struct member or an array element, with its
    // words in the value store.
    struct ParameterHandle {
        const Hlsl::Parameter* parameter = nullptr;
        std::uint32_t offset = 0;  // first word
        std::uint32_t words = 0;
        bool element = false;  // an element of an array (no further elements)
    };
    struct TechniqueHandle {
        std::uint32_t index = 0;
    };

    ~D3DXEffect();

    D3DXHANDLE Handle(const Hlsl::Parameter& parameter, std::uint32_t offset, std::uint32_t words,
                      bool element);
    const ParameterHandle* FindParameter(D3DXHANDLE handle) const;
    const TechniqueHandle* FindTechnique(D3DXHANDLE handle) const;
    // A float or int setter's value into the first word, in the parameter's base type.
    HRESULT WriteScalar(D3DXHANDLE parameter, double value);
    HRESULT WriteMatrix(const ParameterHandle& p, const D3DMATRIX& m, bool transpose,
                        std::uint32_t offset);

    // Applies the current pass's states (all of them, or only those that read parameters).
    void ApplyPass(bool parameterStatesOnly);
    void ApplyState(const Hlsl::StateAssignment& state, DWORD samplerOverride);
    void ApplySamplerBlock(std::uint32_t parameter, DWORD sampler);
    IDirect3DBaseTexture9* TextureAt(std::uint32_t offset) const;

    std::atomic<ULONG> refs_{1};
    IDirect3DDevice9* device_;
    std::shared_ptr<const Hlsl::EffectDescription> effect_;
    std::vector<std::uint32_t> values_;     // what the setters wrote
    std::vector<std::uint32_t> committed_;  // what the programs read; same size as values_
    std::map<std::uint32_t, IDirect3DBaseTexture9*> textures_;  // by word offset, one reference
    std::vector<std::shared_ptr<D3DXEffectProgram>> programs_;
    ID3DXEffectStateManager* manager_ = nullptr;

    std::deque<ParameterHandle> parameters_;
    std::map<std::tuple<const Hlsl::Parameter*, std::uint32_t, bool>, ParameterHandle*> byKey_;
    std::unordered_set<const void*> parameterHandles_;
    std::deque<TechniqueHandle> techniques_;

    std::uint32_t technique_ = 0;
    bool begun_ = false;
    int pass_ = -1;
};
