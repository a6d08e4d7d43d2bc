#include "Entity/Geometry/MeshData.h"

#include <cmath>
#include <cstring>
#include <string>

#include "Core/DeviceCaps.h"
#include "Core/ErrorReport.h"
#include "Core/Globals.h"
#include "Entity/Scene/SceneManager.h"
#include "Render/RenderCodes.h"

namespace Zel {

std::uint32_t VertexElementSize(std::uint32_t type) {
    static constexpr std::uint32_t kSizes[] = {4, 8, 12, 16, 4, 2, 4, 6, 8, 4};
    return type < sizeof(kSizes) / sizeof(kSizes[0]) ? kSizes[type] : 0;
}

std::uint32_t LayoutElementType(std::uint32_t semantic) {
    switch (semantic) {
        case VF_POSITION:
        case VF_NORMAL:
        case VF_BINORMAL:
        case VF_TANGENT:
            return VET_FLOAT3;
        case VF_COLOUR:
        case VF_COLOUR2:
        case VF_BLEND_WEIGHTS:
        case VF_BLEND_INDICES:
            return VET_FLOAT4;
        case VF_DIFFUSE:
        case VF_SPECULAR:
            return VET_UBYTE4;
        default:
            if (semantic >= VF_TEXCOORD0 && semantic <= VF_TEXCOORD7 &&
                (semantic & (semantic - 1)) == 0)
                return VET_FLOAT2;
            return 0xFFFFFFFFu;
    }
}

const std::uint32_t* LayoutSemanticOrder(bool fixedFunction) {
    static constexpr std::uint32_t kShader[kLayoutSemanticCount] = {
        VF_POSITION,  VF_NORMAL,    VF_COLOUR,        VF_COLOUR2,      VF_TEXCOORD0, VF_TEXCOORD1,
        VF_TEXCOORD2, VF_TEXCOORD3, VF_TEXCOORD4,     VF_TEXCOORD5,    VF_TEXCOORD6, VF_TEXCOORD7,
        VF_BINORMAL,  VF_TANGENT,   VF_BLEND_WEIGHTS, VF_BLEND_INDICES};
    static constexpr std::uint32_t kFixed[kLayoutSemanticCount] = {
        VF_POSITION,  VF_NORMAL,    VF_DIFFUSE,       VF_SPECULAR,     VF_TEXCOORD0, VF_TEXCOORD1,
        VF_TEXCOORD2, VF_TEXCOORD3, VF_TEXCOORD4,     VF_TEXCOORD5,    VF_TEXCOORD6, VF_TEXCOORD7,
        VF_BINORMAL,  VF_TANGENT,   VF_BLEND_WEIGHTS, VF_BLEND_INDICES};
    return fixedFunction ? kFixed : kShader;
}

bool SceneIsDX7Mode() {
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    return scene == nullptr || scene->IsDX7Mode();
}

HardwareBufferManager* MeshBufferManager() {
    return Globals::Find(&Globals::GetHardwareBufferManager);
}

bool DeviceUses32BitIndices() {
    DeviceCaps* caps = Globals::Find(&Globals::GetDeviceCaps);
    return caps != nullptr && (caps->featureFlags & DEVICE_INDEX_32) != 0;
}

void WriteIndices(void* destination, bool is32Bit, const std::uint32_t* indices,
                  std::uint32_t count) {
    if (count == 0)
        return;
    if (is32Bit) {
        std::memcpy(destination, indices, std::size_t(count) * 4);
        return;
    }
    auto* out = static_cast<std::uint16_t*>(destination);
    for (std::uint32_t i = 0; i < count; ++i) out[i] = static_cast<std::uint16_t>(indices[i]);
}

void ReportMeshDataCheck(const char* expression, int line, const char* function) {
    std::string message, location;
    FormatAssertMessage(message, location, __FILE__, line, function, "%s", expression);
    ReportAssert(message, location);
}

void SetComponentCount(std::uint32_t& field, std::uint32_t count) {
    if (count == 0)
        ReportMeshDataCheck("Count > 0", __LINE__, __func__);
    field = count;
}

void NormalizeOrZero(float* v) {
    const float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (!(length > 0.0f) || !std::isfinite(length)) {
        v[0] = v[1] = v[2] = 0.0f;
        return;
    }
    v[0] /= length;
    v[1] /= length;
    v[2] /= length;
}

}  // namespace Zel
