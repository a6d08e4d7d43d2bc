#include "Entity/Geometry/MeshBuildHelpers.h"

#include <algorithm>

#include "Core/LogDispatch.h"
#include "Entity/Geometry/Ase/AseStrip.h"
#include "Entity/Geometry/IndexData.h"
#include "Entity/Geometry/Mesh.h"
#include "Entity/Geometry/MeshData.h"
#include "Render/RenderCodes.h"

namespace Zel {

bool FillMeshIndices(Mesh& mesh, const std::vector<std::uint32_t>& indices, std::uint32_t usage,
                     bool useShadow) {
    IndexData* data = mesh.GetIndexData();
    if (!data)
        return false;
    const auto count = static_cast<std::uint32_t>(indices.size());
    data->AllocateIndices(count);
    std::copy(indices.begin(), indices.end(), data->GetIndices());
    data->SetLeadingWord(count);
    if (data->CreateBuffer(DeviceUses32BitIndices() ? IS_32BIT : IS_16BIT, usage, useShadow))
        return true;
    LogError("Mesh %s: no index buffer for its %u indices", mesh.GetName().c_str(), count);
    return false;
}

std::uint32_t AppendStripTriangles(const std::vector<AseStrip>& strips,
                                   std::vector<std::uint32_t>& indices) {
    std::uint32_t faces = 0;
    for (const AseStrip& strip : strips) {
        const std::vector<std::int32_t>& s = strip.indices;
        for (std::size_t k = 0; k + 2 < s.size(); ++k) {
            const bool odd = (k & 1) != 0;
            const std::int32_t a = odd ? s[k + 1] : s[k];
            const std::int32_t b = odd ? s[k] : s[k + 1];
            const std::int32_t c = s[k + 2];
            if (a == b || b == c || a == c)
                continue;
            indices.insert(indices.end(), {std::uint32_t(a), std::uint32_t(b), std::uint32_t(c)});
            ++faces;
        }
    }
    return faces;
}

}  // namespace Zel
