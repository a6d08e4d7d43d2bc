// Test doubles for the material tests: a GPU program that records device notifications, and a
// shader compiler that answers one fixed effect name and counts its calls.
#pragma once

#include <string>

#include "Entity/Material/GpuProgram.h"
#include "Entity/Material/IZelShaderCompiler.h"

namespace ZelTest {

class FakeProgram final : public Zel::GpuProgram {
public:
    FakeProgram(Zel::CResourceManager* manager, const std::string& name, std::uint32_t pool)
        : GpuProgram(manager, name, "GpuProgram", 0, pool, nullptr) {}

    std::uint32_t GetSize() override { return 0; }
    bool ReleaseDeviceObjects() override {
        ++lost;
        return true;
    }
    bool RecreateDeviceObjects() override {
        ++reset;
        return true;
    }
    bool SetMatrixByName(const char*, const float*) override { return true; }
    bool SetMatrix(std::uint32_t, const float*, std::uint32_t) override { return true; }
    bool SetMatrixArray(std::uint32_t, const float*, std::uint32_t) override { return true; }
    bool SetValueByName(const char*, const void*, std::uint32_t) override { return true; }
    bool SetValue(std::uint32_t, const void*, std::uint32_t) override { return true; }
    bool SetVector(std::uint32_t, const void*, std::uint32_t) override { return true; }
    bool SetFloatByName(const char*, float) override { return true; }
    bool SetFloat(std::uint32_t, float) override { return true; }
    bool SetIntByName(const char*, int) override { return true; }
    bool SetInt(std::uint32_t, int) override { return true; }
    bool SetTextureByName(const char*, Zel::TextureBase*) override { return true; }
    bool SetTexture(std::uint32_t, Zel::TextureBase*) override { return true; }
    bool SetTechnique(std::uint32_t) override { return true; }
    bool SelectTechnique(std::uint32_t, bool) override { return true; }
    bool CommitChanges() override { return true; }
    std::uint32_t Begin() override { return 1; }
    bool BeginPass(std::uint32_t) override { return true; }
    bool EndPass() override { return true; }
    bool End() override { return true; }
    void ClearTextures() override {}

    int lost = 0;
    int reset = 0;

protected:
    bool LoadImpl() override { return true; }
    void UnloadImpl() override {}
};

class StubCompiler final : public Zel::IZelShaderCompiler {
public:
    explicit StubCompiler(std::string effect) : effect_(std::move(effect)) {}
    const std::string& Generate(Zel::Material*, bool) override {
        ++calls;
        return effect_;
    }
    int calls = 0;

private:
    std::string effect_;
};

}  // namespace ZelTest
