// Steps the model builders share: the index array and hardware index buffer of a mesh, and the
// triangles of ASE strips. Loading thread.
#pragma once

#include <cstdint>
#include <vector>

namespace Zel {

class Mesh;
struct AseStrip;

// Gives the mesh's own index data the indices (array and count) and a hardware buffer of them:
// 32-bit when the device asks for 32-bit indices, else 16-bit; usage BufferUsage bits. False,
// logged, when the buffer cannot be made.
bool FillMeshIndices(Mesh& mesh, const std::vector<std::uint32_t>& indices, std::uint32_t usage,
                     bool useShadow);
// Appends the triangles of the strips (position k gives (s[k], s[k+1], s[k+2]) when k is even,
// (s[k+1], s[k], s[k+2]) when odd; triangles with two equal corners are dropped) and answers how
// many it appended.
std::uint32_t AppendStripTriangles(const std::vector<AseStrip>& strips,
                                   std::vector<std::uint32_t>& indices);

}  // namespace Zel
