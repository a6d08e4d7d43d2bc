// The system's own codes for what it asks of the device: vertex components, primitives, buffer
// usage, memory pools, lock options, index sizes, element types and the fixed render states. Only
// the Direct3D 9 back end turns them into Direct3D values (d3d9/D3D9Mapping.h); every code outside
// a list falls to a stated default there.
#pragma once

#include <cstdint>

namespace Zel {

// Vertex-format flags, one bit per vertex component.
enum VertexFormat : std::uint32_t {
    VF_POSITION = 0x1,
    VF_NORMAL = 0x2,
    VF_COLOUR = 0x4,  // four floats
    VF_COLOUR2 = 0x8,
    VF_TEXCOORD0 = 0x10,
    VF_TEXCOORD1 = 0x20,
    VF_TEXCOORD2 = 0x40,
    VF_TEXCOORD3 = 0x80,
    VF_TEXCOORD4 = 0x100,
    VF_TEXCOORD5 = 0x200,
    VF_TEXCOORD6 = 0x400,
    VF_TEXCOORD7 = 0x800,
    VF_BINORMAL = 0x1000,
    VF_TANGENT = 0x2000,
    VF_BLEND_WEIGHTS = 0x4000,
    VF_BLEND_INDICES = 0x8000,
    VF_DIFFUSE = 0x10000,   // packed 32-bit colour
    VF_SPECULAR = 0x20000,  // packed 32-bit colour
};

enum PrimitiveType : std::uint32_t {
    PT_POINT_LIST = 0,
    PT_LINE_LIST = 1,
    PT_LINE_STRIP = 2,
    PT_TRIANGLE_LIST = 3,
    PT_TRIANGLE_STRIP = 4,
    PT_TRIANGLE_FAN = 5,
};

// Bits of the usage word every hardware buffer holds.
enum BufferUsage : std::uint32_t {
    BU_STATIC = 0x1,
    BU_DYNAMIC = 0x2,
    BU_WRITE_ONLY = 0x4,
    BU_NOT_MANAGED = 0x8,  // keeps a buffer out of the managed pool; no Direct3D usage
};

enum MemoryPool : std::uint32_t {
    MP_DEFAULT = 0,
    MP_MANAGED = 1,
    MP_SYSTEM_MEMORY = 2,
};

// Lock options shared by textures and buffers; 4 is a second name for a normal lock.
enum LockOption : std::uint32_t {
    LO_NORMAL = 0,
    LO_DISCARD = 1,
    LO_READ_ONLY = 2,
    LO_NO_OVERWRITE = 3,
    LO_NORMAL2 = 4,
};

// Index size of user-memory indexed draws and of index buffers.
enum IndexSize : std::uint32_t {
    IS_16BIT = 0,
    IS_32BIT = 1,
};

// Element type of one vertex component in a declaration.
enum VertexElementType : std::uint32_t {
    VET_FLOAT1 = 0,
    VET_FLOAT2 = 1,
    VET_FLOAT3 = 2,
    VET_FLOAT4 = 3,
    VET_COLOUR = 4,  // packed 32-bit colour
    VET_SHORT2 = 6,
    VET_SHORT2_ALT = 8,
    VET_UBYTE4 = 9,
};

enum CullCode : std::uint32_t { CULL_NONE = 0, CULL_CLOCKWISE = 1, CULL_COUNTER_CLOCKWISE = 2 };

// Compare codes: never, always, less, less-or-equal, equal, not-equal, greater-or-equal, greater.
enum CompareCode : std::uint32_t {
    CMP_NEVER = 0,
    CMP_ALWAYS = 1,
    CMP_LESS = 2,
    CMP_LESS_EQUAL = 3,
    CMP_EQUAL = 4,
    CMP_NOT_EQUAL = 5,
    CMP_GREATER_EQUAL = 6,
    CMP_GREATER = 7,
};

// Blend factors; 0 is ONE and 1 is ZERO.
enum BlendCode : std::uint32_t {
    BLEND_ONE = 0,
    BLEND_ZERO = 1,
    BLEND_SRC_COLOUR = 2,
    BLEND_INV_SRC_COLOUR = 3,
    BLEND_SRC_ALPHA = 4,
    BLEND_INV_SRC_ALPHA = 5,
    BLEND_DEST_ALPHA = 6,
    BLEND_INV_DEST_ALPHA = 7,
    BLEND_DEST_COLOUR = 8,
    BLEND_INV_DEST_COLOUR = 9,
};

// Blend operations; 0 and 1 both add.
enum BlendOpCode : std::uint32_t {
    BLENDOP_ADD = 0,
    BLENDOP_ADD2 = 1,
    BLENDOP_SUBTRACT = 2,
    BLENDOP_REV_SUBTRACT = 3,
    BLENDOP_MIN = 4,
    BLENDOP_MAX = 5,
};

enum FogMode : std::uint32_t { FOG_NONE = 0, FOG_EXP = 1, FOG_EXP2 = 2, FOG_LINEAR = 3 };

// Texture address modes; 0 and anything unlisted mirror.
enum AddressCode : std::uint32_t {
    ADDRESS_MIRROR = 0,
    ADDRESS_WRAP = 1,
    ADDRESS_CLAMP = 2,
    ADDRESS_BORDER = 3
};

enum FilterCode : std::uint32_t {
    FILTER_POINT = 0,
    FILTER_BILINEAR = 1,
    FILTER_TRILINEAR = 2,
    FILTER_ANISOTROPIC = 3,
};

// What RenderDevice::GetDeviceState answers.
enum DeviceState : std::uint32_t {
    DEVICE_USABLE = 0,
    DEVICE_LOST = 1,
    DEVICE_NEEDS_RESET = 2,  // lost and ready for a reset
    // No device has been made yet (before Init, or after it failed): nothing to draw on, and
    // nothing lost either, so no reset is asked for.
    DEVICE_NONE = 3,
};

// The states RenderDevice::LockRenderState can hold.
enum RenderStateLock : std::uint32_t {
    LOCK_DEPTH_WRITE = 0,
    LOCK_COLOUR_WRITE = 1,
    LOCK_ALPHA_BLEND = 2,
};

// The device's drawing modes (RenderDevice::SetFixedFunctionMode).
enum FixedFunctionMode : std::int32_t {
    MODE_FIXED_FUNCTION = 0,  // "DX7"
    MODE_FIXED_FUNCTION2 = 1,
    MODE_SHADER = 2,  // "DX9"
    MODE_RESERVED = 3,
};

}  // namespace Zel
