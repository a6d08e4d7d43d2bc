// The description of an ASE text scene: the scene block, materials with sub-materials and maps,
// geometry and helper objects with node transforms, meshes, node animation, vertex weights, morph
// frames and the strip extension with its LOD blocks. Names are given without quotes; the writer
// adds them where the format has them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "modelgen/ModelTypes.h"

namespace ZelModelGen {

struct AseSceneInfo {
    std::string fileName = "scene.max";
    int firstFrame = 0;
    int lastFrame = 100;
    int frameSpeed = 30;
    int ticksPerFrame = 160;
};

// A MAP_* block; `slot` is its keyword (MAP_DIFFUSE, MAP_BUMP, ...; MAP_GENERIC inside a map).
struct AseMapDesc {
    std::string slot = "MAP_DIFFUSE";
    std::string name = "Map #1";
    std::string className = "Bitmap";
    int subNo = 1;
    float amount = 1;
    std::string bitmap;
    std::string mapType = "Screen";
    float uOffset = 0, vOffset = 0, uTiling = 1, vTiling = 1;
    float angle = 0, blur = 1, blurOffset = 0, noiseAmount = 1, noiseSize = 1;
    int noiseLevel = 1;
    float noisePhase = 0;
    std::string bitmapFilter = "Pyramidal";
    std::vector<AseMapDesc> generics;  // nested MAP_GENERIC blocks
};

struct AseMaterialDesc {
    std::string name = "Material #1";
    std::string className = "Standard";
    Vec3 ambient{0.5f, 0.5f, 0.5f}, diffuse{0.5f, 0.5f, 0.5f}, specular{0.9f, 0.9f, 0.9f};
    float shine = 0.25f, shineStrength = 0.05f, transparency = 0, wireSize = 1;
    std::string shading = "Blinn";
    float xpFalloff = 0, selfIllum = 0;
    bool twoSided = false;
    std::string falloff = "In";
    std::string xpType = "Filter";
    std::vector<AseMapDesc> maps;
    std::vector<AseMaterialDesc> subMaterials;
};

struct AseFace {
    std::uint32_t a = 0, b = 0, c = 0;
    int smoothing = 1;
    int materialId = 0;
};

// A MESH block. Texture vertices are (u, v, w) as the file holds them; vertex normals are given
// per face corner.
struct AseMeshDesc {
    int timeValue = 0;
    std::vector<Vec3> vertices;
    std::vector<AseFace> faces;
    std::vector<Vec3> texVertices;
    std::vector<std::array<std::uint32_t, 3>> texFaces;
    std::vector<Vec3> colorVertices;
    std::vector<std::array<std::uint32_t, 3>> colorFaces;
    std::vector<Vec3> faceNormals;                 // one per face; with cornerNormals
    std::vector<std::array<Vec3, 3>> cornerNormals;  // one triple per face
};

// Which controller block holds a channel's keys: CONTROL_*_TRACK with *_SAMPLE lines,
// CONTROL_*_LINEAR with *_KEY lines, CONTROL_*_TCB with CONTROL_TCB_*_KEY lines, or
// CONTROL_*_BEZIER with CONTROL_BEZIER_*_KEY lines (position and scale only).
enum class AseController { Sample, Linear, Tcb, Bezier };

struct AsePositionKey {
    int time = 0;
    Vec3 value;
    float tcb[5] = {0, 0, 0, 0, 0};  // tension, continuity, bias, ease in, ease out
};
struct AseRotationKey {
    int time = 0;
    Vec3 axis{0, 0, 1};
    float angle = 0;  // radians
    float tcb[5] = {0, 0, 0, 0, 0};
};
struct AseScaleKey {
    int time = 0;
    Vec3 value{1, 1, 1};
    Vec3 axis{0, 0, 0};
    float angle = 0;
};

struct AseAnimationDesc {
    AseController positionController = AseController::Sample;
    std::vector<AsePositionKey> positions;
    AseController rotationController = AseController::Sample;
    std::vector<AseRotationKey> rotations;
    AseController scaleController = AseController::Sample;
    std::vector<AseScaleKey> scales;
};

struct AseVertexWeight {
    int vertex = 0;
    std::string bone;
    Vec3 offset;
    float weight = 1;
};

struct AseBoneWeight {
    std::string bone;
    float weight = 1;
};

struct AseStrip {
    int smoothing = 1;
    std::vector<std::uint32_t> indices;
};

struct AseLodDesc {
    float depth = 0;
    std::uint16_t faceCount = 0;
    std::vector<std::uint16_t> strip;
    std::vector<std::uint16_t> triangles;  // three per triangle
};

// One sub-material set of the strip extension. Per-vertex arrays may be empty; a Vert3ds line has
// the parts the layout flags ask for, with 0 where an array is short.
struct AseStripSetDesc {
    int subMaterial = 0;
    std::vector<Vec3> positions;
    std::vector<Vec2> uvs;
    std::vector<Vec4> colours;
    std::vector<Vec3> normals;
    std::vector<std::vector<AseBoneWeight>> weights;  // per vertex; empty: no V_weight lines
    std::vector<AseStrip> strips;
    std::vector<std::vector<AseStrip>> stripLods;  // SUBMAT_STRIPS_LOD lists
    std::vector<AseLodDesc> lods;                  // LEVELOFDETAIL levels
};

// The STRIPS block; each layout flag is taken from the first set's arrays when unset.
struct AseStripsDesc {
    std::optional<bool> hasTexCoords, hasNormals, hasColors;
    std::vector<AseStripSetDesc> sets;
};

// A node transform: rows 0-2 of the node matrix are scale x rotation (row-vector form), row 3 the
// translation, unless `matrix` gives the node matrix itself. TM_POS, TM_ROTAXIS, TM_ROTANGLE and
// TM_SCALE carry the same translation, rotation and scale.
struct AseNodeDesc {
    Vec3 translation;
    Vec3 rotationAxis{0, 0, 1};
    float rotationAngle = 0;  // radians
    Vec3 scale{1, 1, 1};
    std::optional<Matrix4> matrix;

    Matrix4 Matrix() const;
};

struct AseObjectDesc {
    bool helper = false;              // HELPEROBJECT instead of GEOMOBJECT
    std::optional<std::string> name;  // no NODE_NAME line when unset
    std::string parent;               // NODE_PARENT when not empty
    std::string helperClass;          // HELPER_CLASS when not empty
    AseNodeDesc node;
    std::optional<AseMeshDesc> mesh;
    std::vector<AseMeshDesc> morphFrames;  // MESH_ANIMATION
    // Per morph frame (as far as it reaches): the STRIPS block written after that frame's MESH.
    std::vector<AseStripsDesc> morphStrips;
    std::optional<AseAnimationDesc> animation;
    std::vector<AseVertexWeight> weights;  // VERTEX_WEIGHTLIST
    std::optional<AseStripsDesc> strips;
    int materialRef = -1;  // no MATERIAL_REF line when negative; written after STRIPS
    // Consecutive objects with the same non-empty group name are wrapped in one GROUP block.
    std::string group;
    std::vector<std::string> extraLines;  // written as they are before the object's "}"
};

struct AseSceneDesc {
    std::optional<AseSceneInfo> scene;  // no SCENE block when unset
    std::vector<AseMaterialDesc> materials;
    std::vector<AseObjectDesc> objects;
    std::vector<std::string> extraLines;  // written as they are at the end of the file
};

}  // namespace ZelModelGen
