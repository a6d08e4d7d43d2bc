// A node of an ASE scene: a GEOMOBJECT or HELPEROBJECT (with its mesh, node transform, node
// animation, vertex weights, morph frames and strip extension), a morph frame (mesh data only) or
// a bone that only vertex weights name (name only). Owned by its scene (or by the object whose
// morph frame it is); its address is stable, as other objects point to it.
//
// Every stored index is below the count it indexes (lines with other indices were dropped when
// read), with two exceptions a builder must check: faceNormalIndices may be 0 while
// vertexNormals is empty, and faceNormals / texFaces / colorFaces may be shorter or longer than
// the face count (their own counts say how long).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Entity/Geometry/Ase/AseAnimation.h"
#include "Entity/Geometry/Ase/AseStrips.h"

namespace Zel {

struct AseObject {
    AseObject();
    ~AseObject();
    AseObject(const AseObject&) = delete;
    AseObject& operator=(const AseObject&) = delete;

    using Float3 = std::array<float, 3>;

    std::int32_t isPatch = 0;  // 1 after a PATCHMESH block, 0 after a MESH block
    std::int32_t timeValue = 0;
    // Quoted strings (the text from the line's first to its last double quote, both kept); unset
    // when the object has no such line.
    std::optional<std::string> name;
    std::optional<std::string> helperClass;
    std::optional<std::string> parentName;
    AseObject* parent = nullptr;  // not owned; the last scene object named parentName
    std::vector<std::unique_ptr<AseObject>> morphFrames;

    // Row vectors: a local point p lies at p x nodeMatrix in world space; element (r, c) at
    // 4r + c, row 3 the translation (times the scale), column 3 forced to (0, 0, 0, 1) when the
    // NODE_TM block closes, when the inverse is made (identity when singular).
    float inverseNodeMatrix[16];
    float nodeMatrix[16];
    float tmPos[3] = {0.0f, 0.0f, 0.0f};  // unscaled
    float tmScale[3] = {0.0f, 0.0f, 0.0f};
    float tmRotAxis[3] = {0.0f, 0.0f, 0.0f};
    float tmRotAngle = 0.0f;

    // Mesh data. Arrays are sized by their count lines: vertices.size() == vertexCount,
    // texVertices.size() == texVertexCount, colorVertices.size() == colorVertexCount,
    // vertexNormals.size() == vertexNormalCount, faces / faceMaterialIds / faceSmoothing hold 3,
    // 1 and 1 entries per face of faceCount, texFaces 3 per texFaceCount, colorFaces 3 per
    // colorFaceCount, faceNormals one and faceNormalIndices three per face counted when the
    // MESH_NORMALS block began, faceMap nine per face counted when MESH_FACEMAPLIST began.
    std::vector<Float3> vertices;       // times the scale (object space unless kept in world)
    std::vector<Float3> vertexNormals;  // one per face corner, never shared
    std::vector<Float3> texVertices;    // u, v, w
    std::vector<Float3> colorVertices;  // r, g, b
    std::int32_t vertexNormalCount = 0;
    std::int32_t texVertexCount = 0;
    std::int32_t vertexCount = 0;
    std::int32_t colorVertexCount = 0;
    std::vector<std::int32_t> faceNormalIndices;  // corners A, B, C of each face
    std::vector<std::int32_t> faceMaterialIds;
    std::vector<std::int32_t> faces;  // corners A, B, C of each face
    std::vector<std::int32_t> texFaces;
    std::vector<std::int32_t> colorFaces;
    std::vector<Float3> faceNormals;
    std::vector<std::int32_t> faceMap;
    std::int32_t faceCount = 0;
    std::int32_t texFaceCount = 0;
    std::int32_t colorFaceCount = 0;
    std::vector<std::int32_t> faceSmoothing;  // -1 stored as 0

    // Patch data (PATCHMESH), sized by its count lines; no part of the engine reads it. Edge and
    // patch records start with their index (then four and eleven integers).
    std::vector<Float3> patchVertices;
    std::vector<Float3> patchVectors;
    std::vector<std::array<std::int32_t, 5>> patchEdges;
    std::vector<std::array<std::int32_t, 12>> patches;
    std::vector<std::vector<Float3>> patchTexVertices;  // per channel; v negated
    std::vector<std::vector<std::array<std::int32_t, 4>>> patchTexPatches;  // per channel

    std::unique_ptr<AseAnimation> animation;
    std::int32_t materialRef = -1;  // index into the scene's materials; -1 without MATERIAL_REF

    // Vertex weights (VERTEX_WEIGHTLIST), four parallel arrays of weightCount entries.
    std::int32_t weightCount = 0;
    std::vector<std::array<float, 4>> weightOffsets;  // x, y, z times the scale, then the weight
    std::vector<const float*> weightBoneMatrices;     // the bone's nodeMatrix
    std::vector<std::int32_t> weightVertices;         // below vertexCount
    std::vector<AseObject*> weightBones;              // not owned; objects of the same scene

    std::unique_ptr<AseStrips> strips;
};

}  // namespace Zel
