// A GPU program: the compiled effect a material draws with. A named resource of the GPU program
// manager and a render resource that follows device loss. Abstract: the device's effect class
// (RenderEffectD3D) implements the effect operations.
//
// Host thread (and the loading thread inside a task step for loads).
#pragma once

#include <cstdint>
#include <string_view>

#include "Core/CResource.h"
#include "Platform/D3D9/D3D9.h"
#include "Render/RenderResource.h"

namespace Zel {

class Light;
class TextureBase;
class TextureStage;

class GpuProgram : public CResource, public RenderResource {
public:
    // The highest serial a program id carries; ids repeat after this many programs.
    static constexpr std::uint32_t kMaxSerial = (1u << 23) - 1;

    // poolCode and device: the render-resource part (device not owned, may be null). Takes the
    // next program id.
    GpuProgram(CResourceManager* manager, std::string_view name, std::string_view group,
               std::uint32_t handle, std::uint32_t poolCode = MP_DEFAULT,
               RenderDevice* device = nullptr);
    ~GpuProgram() override;

    std::uint32_t GetClassId() const override { return ClassId::GpuProgram; }
    const char* GetClassName() const override {
        return GetRegisteredClassName(ClassId::GpuProgram);
    }

    // A serial from a process-wide counter (1, 2, ...) in the upper 32 bits, 0 in the lower 32:
    // the render queue adds the id into pass keys whose lower half it fills itself.
    std::uint64_t GetProgramId() const { return programId_; }

    // The effect operations. Matrices are 16 floats, row-major. Setters answer false when the
    // program is not loaded, has no such parameter, or refuses the value. Indices are the fixed
    // parameter numbers the effect binds at load (matrix, float, vector, value, int, texture).
    virtual bool SetMatrixByName(const char* name, const float* matrix) = 0;
    virtual bool SetMatrix(std::uint32_t index, const float* matrix, std::uint32_t stage) = 0;
    virtual bool SetMatrixArray(std::uint32_t index, const float* matrices,
                                std::uint32_t count) = 0;
    virtual bool SetValueByName(const char* name, const void* data, std::uint32_t bytes) = 0;
    virtual bool SetValue(std::uint32_t index, const void* data, std::uint32_t bytes) = 0;
    virtual bool SetVector(std::uint32_t index, const void* data, std::uint32_t bytes) = 0;
    virtual bool SetFloatByName(const char* name, float value) = 0;
    virtual bool SetFloat(std::uint32_t index, float value) = 0;
    virtual bool SetIntByName(const char* name, int value) = 0;
    virtual bool SetInt(std::uint32_t index, int value) = 0;
    virtual bool SetTextureByName(const char* name, TextureBase* texture) = 0;
    virtual bool SetTexture(std::uint32_t index, TextureBase* texture) = 0;
    // Selects the technique of a slot.
    virtual bool SetTechnique(std::uint32_t slot) = 0;
    // Selects the technique for a technique code (0..19) and whether the light projects a
    // texture.
    virtual bool SelectTechnique(std::uint32_t code, bool projectsTexture) = 0;
    // Hands the draw's light to the program: the technique of the pipeline slot for that light
    // (a projecting light picks the projected variant). Null: no light.
    bool ApplyLightParam(std::uint32_t pipelineSlot, const Light* light);
    virtual bool CommitChanges() = 0;
    // The pass count, 0 on failure.
    virtual std::uint32_t Begin() = 0;
    virtual bool BeginPass(std::uint32_t pass) = 0;
    virtual bool EndPass() = 0;
    virtual bool End() = 0;
    // Samples texture kind (stage slot) 0-11 as the stage asks (address modes, border colour,
    // filter) on texture unit `unit`. Programs without sampler states ignore it.
    virtual void SetSamplerParams(std::uint32_t /*kind*/, const TextureStage& /*stage*/,
                                  std::uint32_t /*unit*/) {}
    // Sets the texture parameters to none.
    virtual void ClearTextures() = 0;
    // The draw path's name for ClearTextures, called at the end of every draw in shader mode.
    void UnbindTextures() { ClearTextures(); }
    // Drops the caller's reference; when at most the manager's is left the program is unloaded
    // (its manager deletes it later). Host thread.
    virtual void ReleaseRef();

private:
    std::uint64_t programId_;
};

}  // namespace Zel
