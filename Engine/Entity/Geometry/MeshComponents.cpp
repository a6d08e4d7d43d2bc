#include "Entity/Geometry/MeshComponents.h"

#include <algorithm>

#include "Entity/Geometry/MeshData.h"
#include "Entity/Geometry/VertexComponentDataPool.h"
#include "Entity/Geometry/VertexData.h"
#include "Math/MathUtil.h"
#include "Render/RenderCodes.h"

namespace Zel {

MeshComponents::MeshComponents(VertexData& data, std::uint32_t vertexCount, bool packedColours,
                               bool withNormals, bool withTexCoords, bool withColours)
    : packed_(packedColours) {
    data.SetVertexCount(vertexCount);
    if (vertexCount == 0)
        return;
    const auto add = [&](std::uint32_t semantic, std::uint32_t type) {
        VertexComponentDataPool* c = data.AddComponent(semantic, type, vertexCount);
        complete_ = complete_ && c && c->GetData();
        return c && c->GetData() ? c : nullptr;
    };
    if (VertexComponentDataPool* c = add(VF_POSITION, VET_FLOAT3))
        positions = c->GetFloats();
    if (withNormals)
        if (VertexComponentDataPool* c = add(VF_NORMAL, VET_FLOAT3))
            normals = c->GetFloats();
    if (withTexCoords)
        if (VertexComponentDataPool* c = add(VF_TEXCOORD0, VET_FLOAT2))
            texCoords = c->GetFloats();
    if (withColours)
        colours = packedColours ? add(VF_DIFFUSE, LayoutElementType(VF_DIFFUSE))
                                : add(VF_COLOUR, VET_FLOAT4);
}

void MeshComponents::PutColour(std::uint32_t v, const float* rgba) const {
    if (packed_)
        colours->GetWords()[v] = PackColorARGB(rgba);
    else
        std::copy(rgba, rgba + 4, colours->GetFloats() + 4 * std::size_t(v));
}

}  // namespace Zel
