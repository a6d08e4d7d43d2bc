// Reads and writes meshes in the binary chunk format. Globals builds the one instance.
#pragma once

namespace Zel {

class MeshSerializer {
public:
    MeshSerializer() = default;
    virtual ~MeshSerializer() = default;
    MeshSerializer(const MeshSerializer&) = delete;
    MeshSerializer& operator=(const MeshSerializer&) = delete;
};

}  // namespace Zel
