// The device capability record owned by Globals (Globals::GetDeviceCaps). Zeroed at start-up and
// filled once by the render device's capability report when the device is created; the render
// code reads texture limits, stage counts, shader support and the vendor id from it.
#pragma once

#include <cstdint>

namespace Zel {

// Feature flags (featureFlags).
enum DeviceFeature : std::uint32_t {
    DEVICE_VS_1_1 = 0x1,
    DEVICE_VS_2_0 = 0x2,
    DEVICE_VS_3_0 = 0x8,
    DEVICE_PS_1_1 = 0x10,
    DEVICE_PS_1_2 = 0x20,
    DEVICE_PS_1_3 = 0x40,
    DEVICE_PS_1_4 = 0x80,
    DEVICE_PS_2_0 = 0x100,
    DEVICE_PS_3_0 = 0x400,
    DEVICE_INDEX_32 = 0x800,  // maximum vertex index at least 0x10000
    DEVICE_DYNAMIC_TEXTURES = 0x1000,
};

// Vertex and pixel shaders 2.0 together: what the shader mode, the shader-only pipeline slots
// and the screen distortion draw with.
constexpr std::uint32_t DEVICE_SHADER_MODEL_2 = DEVICE_VS_2_0 | DEVICE_PS_2_0;

struct DeviceCaps {
    std::uint32_t maxTextureWidth = 0;
    std::uint32_t maxTextureHeight = 0;
    std::uint32_t maxAnisotropy = 0;
    std::uint32_t textureStageCount = 0;  // every per-stage loop runs below it
    std::uint32_t maxSimultaneousTextures = 0;
    std::uint32_t maxUserClipPlanes = 0;
    std::uint32_t maxPrimitiveCount = 0;
    std::uint32_t maxVertexIndex = 0;
    std::uint32_t maxStreams = 0;
    std::uint32_t maxStreamStride = 0;
    std::uint32_t vertexShaderVersion = 0;  // Direct3D encoding
    std::uint32_t pixelShaderVersion = 0;
    std::uint32_t maxVertexShaderConstants = 0;
    std::uint32_t simultaneousRenderTargets = 0;
    std::uint32_t vertexTextureFilterCaps = 0;
    std::uint32_t maxVertexShaderInstructions = 0;
    std::uint32_t featureFlags = 0;  // DeviceFeature bits
    std::uint32_t processorMHz = 0;
    std::uint32_t totalPhysicalMB = 0;
    std::uint32_t availablePhysicalMB = 0;
    std::uint32_t totalVirtualMB = 0;
    std::uint32_t availableVirtualMB = 0;
    std::uint32_t totalVideoMemoryBytes = 0;
    std::uint32_t maxVertexBlendMatrices = 0;
    std::uint32_t maxVertexBlendMatrixIndex = 0;
    std::uint32_t mmx = 0;  // each 0 or 1
    std::uint32_t threeDNow = 0;
    std::uint32_t sse = 0;
    std::uint32_t sse2 = 0;
    std::uint32_t multisampleMask = 0;  // 0x1 none, 0x2 2x, 0x4 4x, 0x8 6x, 0x10 8x, 0x20 10x
    std::uint32_t anisotropyMask = 0;   // 0x1 always, then above 1, 3, 7, 15
    std::uint32_t nonPowerOfTwo = 0;    // 0 conditional, 1 unconditional, 2 none
    std::uint8_t filled = 0;            // 1 once the report ran
    std::uint32_t vendorId = 0;         // PCI vendor id of adapter 0
};

// Whether the record reports vertex and pixel shaders 2.0 both; false without a record.
inline bool HasShaderModel2(const DeviceCaps* caps) {
    return caps && (caps->featureFlags & DEVICE_SHADER_MODEL_2) == DEVICE_SHADER_MODEL_2;
}

}  // namespace Zel
