// Descriptions of a level: the binary level mesh (meshes, points, index words, occluders) and the
// XML description that names it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "modelgen/MeshDescription.h"

namespace ZelModelGen {

// An occluder quad: four corners in file order, then the two further points P and Q.
struct OccluderDesc {
    Vec3 corners[4];
    Vec3 p, q;
};

// A level mesh file. Each mesh block takes from its MeshDesc the material name, the faces (index
// triples), the face vectors, positions, colours (r, g, b; alpha is not stored), normals and the
// two texture coordinate sets (v written as 1 - v, since the reader flips it). The colour count is
// the number of colours, the flags say whether normals and texture coordinates are present.
struct LevelMeshDesc {
    std::string fileName;
    std::uint32_t sceneCount = 1;  // a count of 0 leaves out everything from the scene name to the
                                   // meshes, and the occluders
    std::uint32_t reserved = 0;
    std::uint32_t skipBlocks = 0;  // 56-byte blocks of zeros
    std::string sceneName;
    std::vector<MeshDesc> meshes;
    std::vector<Vec3> points;
    std::vector<std::uint32_t> indexWords;  // written only when there are points
    std::vector<OccluderDesc> occluders;
};

// The level's XML description: form Entity (<Entity><Geometry Path=".."/><Material Path=".."/>)
// or form Scene (<Scene><Mesh PATH=".."/><Shader PATH=".."/>). An empty name leaves its element
// out.
struct LevelXmlDesc {
    enum class Form { Entity, Scene };
    Form form = Form::Scene;
    std::string meshFile;
    std::string materialFile;
};

}  // namespace ZelModelGen
