// An effect loaded from an effect file (source, or the compiled ".fxo" cached beside it) and
// bound to the render device: a table of 79 named parameter handles, twelve sampler-state
// records, 28 technique slots chosen by the words in technique names, setters by name and by
// index, and the pass calls. Host thread only.
//
// The compiled cache (global switch 67): "<path>o" is used when it carries the magic and version
// of this build and the hash of the current source and its includes; otherwise the source is
// compiled and the cache overwritten. With the source gone the cache is used as it is. When the
// cache cannot be written the effect loads from the source.
#pragma once

#include <cstdint>
#include <string>

#include "Entity/Material/GpuProgram.h"
#include "Platform/D3DX9/ID3DXEffect.h"

namespace Zel {

class RenderDeviceD3D9;
class TextureBase;

class RenderEffectD3D final : public GpuProgram {
public:
    static constexpr std::uint32_t kParameterCount = 79;
    static constexpr std::uint32_t kEmptyParameter = 66;
    static constexpr std::uint32_t kSamplerKinds = 12;
    static constexpr std::uint32_t kTechniqueSlots = 28;
    static constexpr std::uint32_t kCompileEffectsSwitch = 67;
    // Global switch: bind the texture manager's default texture in place of every texture.
    static constexpr std::uint32_t kForceDefaultTextureSwitch = 66;

    // A sampler-state struct of the effect and its members (null when missing).
    struct SamplerRecord {
        D3DXHANDLE structure = nullptr;
        D3DXHANDLE addressU = nullptr, addressV = nullptr, addressW = nullptr;
        D3DXHANDLE borderColor = nullptr;
        D3DXHANDLE magFilter = nullptr, minFilter = nullptr, mipFilter = nullptr;
        ID3DXEffect* effect = nullptr;  // not owned
    };

    // How a texture kind is sampled: address codes and the filter code of the render codes, a
    // border colour (r, g, b, a).
    struct SamplerDescription {
        std::uint32_t addressU = 0, addressV = 0, addressW = 0;
        float borderColor[4] = {};
        std::uint32_t filter = 0;
    };

    // device is not owned; an effect without one never loads. poolCode: the render-resource pool;
    // a default-pool effect is told of the device's loss and reset (OnDeviceLost, OnDeviceReset).
    RenderEffectD3D(RenderDeviceD3D9* device, CResourceManager* manager, std::string_view name,
                    std::string_view group, std::uint32_t handle,
                    std::uint32_t poolCode = MP_DEFAULT);
    ~RenderEffectD3D() override;

    std::uint32_t GetClassId() const override { return ClassId::RenderEffectD3D; }
    const char* GetClassName() const override {
        return GetRegisteredClassName(ClassId::RenderEffectD3D);
    }
    std::uint32_t GetSize() override { return 0; }

    // The slot of a technique name, or -1 when its words make no valid slot.
    static int TechniqueSlot(const std::string& name);
    // The semantic parameter name of slot i; null for 66 and past the table.
    static const char* ParameterName(std::uint32_t index);

    ID3DXEffect* GetEffect() const { return effect_; }
    D3DXHANDLE GetParameterHandle(std::uint32_t index) const;
    D3DXHANDLE GetTechniqueHandle(std::uint32_t slot) const;
    const SamplerRecord& GetSamplerRecord(std::uint32_t kind) const { return samplers_[kind]; }

    // Setters: false when not loaded, when the name or index has no handle, or when the effect
    // refuses the value. Matrices are 16 floats, row-major.
    bool SetMatrixByName(const char* name, const float* matrix) override;
    bool SetMatrix(std::uint32_t index, const float* matrix, std::uint32_t stage) override;
    // Element `element` of an array parameter (by slot or by name), uploaded transposed.
    bool SetMatrixElement(std::uint32_t index, const float* matrix, std::uint32_t element);
    bool SetMatrixElementByName(const char* name, const float* matrix, std::uint32_t element);
    bool SetMatrixArray(std::uint32_t index, const float* matrices, std::uint32_t count) override;
    bool SetValueByName(const char* name, const void* data, std::uint32_t bytes) override;
    bool SetValue(std::uint32_t i, const void* data, std::uint32_t bytes) override;   // slot 64 + i
    bool SetVector(std::uint32_t i, const void* data, std::uint32_t bytes) override;  // slot 37 + i
    bool SetValueElementByName(const char* name, const void* data, std::uint32_t bytes,
                               std::uint32_t element);
    bool SetFloatByName(const char* name, float value) override;
    bool SetFloat(std::uint32_t i, float value) override;  // slot 24 + i
    bool SetIntByName(const char* name, int value) override;
    bool SetInt(std::uint32_t i, int value) override;  // slot 65 + i
    // Binds a texture's Direct3D texture (a render target's colour texture, a 2D texture's or
    // a cube texture's) and counts it once per frame in the distinct-texture and texture-byte
    // frame counters. Null clears the parameter. By name: true once the name is found.
    bool SetTextureByName(const char* name, TextureBase* texture) override;
    // By slot 67 + i, also checking that the texture is usable: held by someone besides the
    // texture manager and not being reloaded by the loading thread (else an error report). An
    // unusable texture, or any texture while switch 66 is on, binds the texture manager's
    // default texture instead.
    bool SetTexture(std::uint32_t i, TextureBase* texture) override;

    // Selects the technique of a slot; false when unloaded, the slot is empty or the effect fails.
    bool SetTechnique(std::uint32_t slot) override;
    // Applies a texture kind's (0-11) sampling: in fixed-function mode on the stage through the
    // state cache, in shader modes into the kind's sampler-state struct (nothing without one).
    // anisotropy is the render system's level; other than 1 it makes minification anisotropic.
    void ApplySamplerState(std::uint32_t kind, const SamplerDescription& description,
                           std::uint32_t stage, std::uint32_t anisotropy);
    // ApplySamplerState with the stage's address modes, colour parameter as border colour and
    // filter, and the render system's anisotropy level (1 without a render system).
    void SetSamplerParams(std::uint32_t kind, const TextureStage& stage,
                          std::uint32_t unit) override;
    // Clears the twelve texture parameters.
    void ClearTextures() override;

    // Selects the technique for a lighting kind (0-19) in the device's fixed-function mode, with
    // the projected variant when the light projects a texture; a slot that is empty falls back to
    // slot 18 (mode 0) or 0. False, setting nothing, for a kind that yields no slot.
    bool SelectTechnique(std::uint32_t kind, bool projectsTexture) override;
    bool CommitChanges() override;
    // The pass count, or 0 on failure.
    std::uint32_t Begin() override;
    bool BeginPass(std::uint32_t pass) override;
    bool EndPass() override;
    bool End() override;

    // Writes the default effect to path when no file exists there (true); false with an error
    // report when the file cannot be created or written. An existing file is left alone (true).
    static bool WriteDefaultEffectFile(const std::string& path);

    // Device loss and reset hooks for an effect that stays loaded: handed on to the effect, which
    // keeps its parameters, technique and handles across the reset.
    void OnLostDevice();
    void OnResetDevice();
    // What the render-resource manager calls around a reset: the effect stays loaded and is
    // told through OnLostDevice and OnResetDevice; the refill flag and the reset stamp are kept
    // as for every render resource. Neither reads the effect file again.
    bool OnDeviceLost() override;
    std::uint32_t OnDeviceReset() override;

    // The render-resource release and rebuild: marks the effect lost and unloads it; clears the
    // mark and loads it again from its load path (true when that load succeeded).
    bool ReleaseDeviceObjects() override;
    bool RecreateDeviceObjects() override;
    bool IsLost() const { return lost_; }

protected:
    bool LoadImpl() override;
    void UnloadImpl() override;

private:
    // Chooses the file to create the effect from (the compiled cache when it is usable or could
    // be rebuilt, else the source).
    std::string ChooseLoadPath(const std::string& path);
    bool IsCacheCurrent(const std::string& source, const std::string& compiled);
    bool Compile(const std::string& source, const std::string& compiled);
    void LookUpHandles();
    D3DXHANDLE Slot(std::uint32_t index) const;
    // Slot base + i, null past the table; a top-level parameter by name, null while unloaded.
    D3DXHANDLE Indexed(std::uint32_t base, std::uint32_t i) const;
    D3DXHANDLE Named(const char* name) const;
    // The setters' shared bodies: false for a null handle, else count the upload and hand it on.
    bool SetValueOn(D3DXHANDLE handle, const void* data, std::uint32_t bytes);
    bool SetFloatOn(D3DXHANDLE handle, float value);
    bool SetIntOn(D3DXHANDLE handle, int value);
    bool SetMatrixElementOn(D3DXHANDLE handle, const float* matrix, std::uint32_t element);
    // Steps shared by both texture bindings: counts the texture once per frame and answers the
    // Direct3D texture it binds as.
    IDirect3DBaseTexture9* MarkAndResolve(TextureBase& texture);
    bool IsUsable(const TextureBase& texture) const;

    RenderDeviceD3D9* renderDevice_;
    ID3DXEffect* effect_ = nullptr;
    D3DXHANDLE parameters_[kParameterCount] = {};
    SamplerRecord samplers_[kSamplerKinds] = {};
    D3DXHANDLE techniques_[kTechniqueSlots] = {};
    bool lost_ = false;
};

}  // namespace Zel
