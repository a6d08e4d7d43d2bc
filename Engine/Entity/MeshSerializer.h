// Builds meshes from text model sources: geometry from the ASE scene a description names. Globals
// builds the one instance. Loading thread only.
#pragma once

#include <string>

namespace Zel {

class Geometry;

class MeshSerializer {
public:
    MeshSerializer() = default;
    virtual ~MeshSerializer() = default;
    MeshSerializer(const MeshSerializer&) = delete;
    MeshSerializer& operator=(const MeshSerializer&) = delete;

    // Builds the geometry's meshes from the ASE scene of path. Models from ASE scenes are not
    // built yet: the answer is false, and the geometry reports its description as bad.
    virtual bool LoadGeometryFromAse(Geometry& geometry, const std::string& path);
};

}  // namespace Zel
