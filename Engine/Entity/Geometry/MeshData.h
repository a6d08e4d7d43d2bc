// What the vertex data, index data, vertex buffers by format and meshes share: the byte size of an
// element type as component data stores it, the element type the device layout uses for each
// semantic, the scene's drawing path, the device's index width, writing 32-bit indices into a
// locked 16- or 32-bit buffer, and the checked setter of component counts. Host thread (the
// loading thread in queued mode).
#pragma once

#include <cstdint>

namespace Zel {

class HardwareBufferManager;
class HardwareIndexBuffer;

// Bytes of one element of a VertexElementType as component data holds it: 0 one float (4), 1
// float2 (8), 2 float3 (12), 3 float4 (16), 4 colour (4), 5 (2), 6 two shorts (4), 7 (6), 8 (8),
// 9 packed ARGB colour (4); 0 for any other code.
std::uint32_t VertexElementSize(std::uint32_t type);

// The element type a device layout gives a semantic bit: float3 for POSITION, NORMAL, BINORMAL
// and TANGENT; float4 for the float colours and the blend words; float2 for texture coordinates;
// the packed colour for the packed ones. 0xFFFFFFFF for anything that is not one semantic bit.
std::uint32_t LayoutElementType(std::uint32_t semantic);

// The semantics a device layout walks, in the order their elements follow one another in a
// vertex, for the scene's drawing path (packed colours on the fixed-function path, float colours
// on the shader path). kLayoutSemanticCount entries.
constexpr std::uint32_t kLayoutSemanticCount = 16;
const std::uint32_t* LayoutSemanticOrder(bool fixedFunction);

// SceneManager::IsDX7Mode of the scene that Globals holds; true without one (no render system
// can draw with shaders then).
bool SceneIsDX7Mode();
// The buffer manager Globals holds; null before start-up or after shutdown.
HardwareBufferManager* MeshBufferManager();
// Whether the device capability record asks for 32-bit index buffers (flag word bit 11).
bool DeviceUses32BitIndices();

// Writes count indices into a locked buffer of 32-bit indices (copied) or 16-bit ones (each cut
// to its low 16 bits).
void WriteIndices(void* destination, bool is32Bit, const std::uint32_t* indices,
                  std::uint32_t count);

// Stores count into field; a count of 0 is reported as the failed check "Count > 0" (and stored
// all the same).
void SetComponentCount(std::uint32_t& field, std::uint32_t count);

// Reports the failed check `expression` of the mesh data at the caller's line and function; the
// caller goes on.
void ReportMeshDataCheck(const char* expression, int line, const char* function);

// Normalises the 3-vector in place with an exact square root; a zero vector (or one whose length
// is not finite) becomes zero, never NaN.
void NormalizeOrZero(float* v);

}  // namespace Zel
