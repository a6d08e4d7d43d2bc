// Ready-made models for tests, fuzz seeds, benchmarks and the command line. Each recipe builds its
// descriptions and writes every file of the model from them, so the formats of one recipe agree:
//   cube     "cube.dm3", "cube.dm2", "cube.ase", "cube.dml": N cube meshes (the last one, when
//            wide, with more than 65,536 vertices so that its indices need 32 bits), two LOD
//            strips per mesh. The ASE holds the meshes whose indices fit 16 bits.
//   strip    "strip.dm3", "strip.ase", "strip.dml": a ribbon drawn as a triangle strip, and ASE
//            strip sets with LEVELOFDETAIL and SUBMAT_STRIPS_LOD blocks.
//   level    "grid.mesh", "grid.xml": a grid of tiles (one mesh each, of subdivisions x
//            subdivisions squares) with colours, normals, two texture sets, face vectors, points
//            and occluders of both windings; optionally (levelWalls) walls round it and one across
//            it, each also an occluder.
//   skinned  "skinned.ch3", "skinned_walk.at6", "skinned.chr", "skinned_skeleton.ase",
//            "skinned_skin.ase", "skinned_walk.ase": a skin on a three-bone skeleton with a
//            one-second action.
//   bodypart "part.bp3", "part_lod.lod": one skin, a body texture with an embedded BMP and a
//            selector, with a LOD companion.
//   morph    "morph.an3": a morph mesh with two keys; "AnmConfig.xml" naming "Bip01 Spine";
//            "flag.anm" over "flag.ase", a morph model in text form.
//   cloth    "skirt.bp3", "skirt_lod.lod": cloth mesh data with a sub-mesh, two bounds, points;
//            "cape.xml" over "cape.ase", a cape of 8 x 8 squares skinned to "Bip01 Spine"
//            (DAMPING 0.02, THICKNESS 0.01, BENDING 0.5).
//   actor    nine body parts on the biped, figures, actions and their tree (ActorRecipe.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "modelgen/AseDescription.h"
#include "modelgen/CharacterDescription.h"
#include "modelgen/DescriptionFiles.h"
#include "modelgen/GeometryDescription.h"
#include "modelgen/LevelDescription.h"
#include "modelgen/TextWriter.h"
#include "modelgen/WrittenFile.h"

namespace ZelModelGen {

// How the actor recipe shapes and paints its nine body parts: a small cube round each part's bone
// with a plain body texture, or the regions of a standing figure in clothes (its templates for
// snapshots then in bare skin) with a skirt as part 5's cloth companion (ActorFigure.h).
enum class ActorLook : std::uint8_t { Cubes, Figure };

struct RecipeOptions {
    std::uint32_t meshCount = 2;     // cube meshes
    std::uint32_t subdivisions = 1;  // cells along a cube edge (the wide mesh uses at least 104)
                                     // and along a level tile's side
    bool wide = true;                // the last cube mesh needs 32-bit indices
    std::uint32_t tiles = 2;         // level tiles along a side
    float tileSize = 1.0f;           // a level tile's side
    Vec3 levelOrigin{0, 0, 0};       // the corner where the level's first tile starts
    // The level's tiles alternate between materials "<prefix>0" and "<prefix>1".
    std::string levelTileMaterial = "grid_mat";
    // Walls round the level and one standing across it, each a two-sided mesh of material
    // "grid_wall" and an occluder quad.
    bool levelWalls = false;
    float wallHeight = 2.0f;
    TextOptions text;                // line ends of the text files
    ActorLook actorLook = ActorLook::Cubes;
};

struct RecipeFile {
    std::string name;  // file name within the recipe's folder
    WrittenFile file;
};

// A cube of 6 x (s + 1)^2 vertices (positions, outward normals, uv0 in steps of 1/s, one colour per
// side) and 12 s^2 triangles. Groups: all triangles, then the first half of them. Companion: one
// group over a 36-index coarse cube made of each side's corners.
MeshDesc MakeCubeMesh(std::uint32_t subdivisions, Vec3 centre, float halfSize,
                      const std::string& material);
// The smallest subdivision count whose cube has more than 65,536 vertices.
std::uint32_t WideCubeSubdivisions();
GeometryDesc CubeGeometry(const RecipeOptions& options);
AseSceneDesc CubeAseScene(const GeometryDesc& cube);

// A ribbon of six vertices drawn as one strip 0..5 (four triangles); a second group draws the
// strip's first four indices.
MeshDesc MakeStripMesh();
// An n x n grid of squares of the given size in the z = 0 plane, normals +z, uv0 over the grid; one
// triangle-list group, and a companion group of the two corner triangles.
MeshDesc MakeGridMesh(std::uint32_t n, float size, const std::string& material);
AseSceneDesc StripAseScene(const MeshDesc& ribbon);

LevelMeshDesc LevelGrid(const RecipeOptions& options);

// Bones "Bip01" (root), "Bip01 Spine" and "Bip01 L Foot" (children of the root).
SkeletonDesc SmallSkeleton();
SkinnedGeometryDesc SkinnedModel();
// The one-second "walk" action of the skinned model (30 frames a second).
ActionDesc WalkAction();
PlainActionDesc PlainActionOf(const ActionDesc& action);
BodyPartDesc BodyPartModel();
// The morph recipe's model: two blending keys at 0 and 1 s on a one-cell grid of size 1 and 1.5,
// a morph length of 0.5 s, looping.
MorphGeometryDesc MorphModel();
// A looping morph model whose length is the last key time: one key per time on a grid of `cells`
// squares a side ((cells + 1)^2 vertices), key k of size 1 + 0.5 k; blend sets every key's flag.
MorphGeometryDesc MorphModelOf(const std::vector<float>& keyTimes, std::uint32_t cells, bool blend);
// The text form of a morph model: "Flag01" with three morph frames at 0, 1 and 2 s, each a grid
// of `cells` squares a side of size 1, 1.5 and 2 given as one strip set; the last frame's strip
// set has one triangle fewer.
AseSceneDesc MorphAseScene(std::uint32_t cells);
// The "AnmConfig.xml" beside an animation: the bone its morph model follows.
WrittenFile AnmConfigFile(const std::string& bone);
ClothGeometryDesc ClothModel();
// The text form of a cloth piece: "ClothMesh_12", a one-square grid as a strip set (vertex colours
// 0.1, 0.2, 0.3, 0.4 in red) whose physics mesh has a copy of vertex 3 moved 2e-5 in x and a copy
// of vertex 1 moved 3e-5 in x; "BoxCloth_1" whose vertex nearest its pivot (the origin) lies
// 0.001 from grid vertex 0; "Bound_1_Sphere" of radius 0.5 under the helper "Bip01 Spine" (at
// z 1.5; the sphere at z 2).
AseSceneDesc ClothAseScene();
// A cape: "ClothMesh_1", a sheet of `cells` squares a side, 1 x 1, level at z 1.5 and reaching
// from y -0.2 to -1.2 behind "Bip01 Spine", skinned to that bone alone; its first row weighs 0
// (follows the skin) and the rest 1 (follows the simulation); "BoxCloth_" boxes pin both ends and
// the middle of the first row.
AseSceneDesc ClothSheetAseScene(std::uint32_t cells);
// The description of that scene: MESH "skirt.ase", SHADER "skirt_mat", DAMPING 0.3, WEIGHTSCALE 2.
ClothXmlDesc ClothXml();
// The text forms of the skinned model: the skeleton's bones as helper objects with their bind
// matrices, the skin as a strip set with vertex weights, and the action as node animation.
AseSceneDesc SkeletonAseScene(const SkeletonDesc& skeleton);
AseSceneDesc SkinAseScene(const SkinnedGeometryDesc& model);
AseSceneDesc ActionAseScene(const SkeletonDesc& skeleton, const ActionDesc& action);
// A 2 x 2 24-bit BMP file.
std::vector<std::uint8_t> TinyBmp();

std::vector<std::string> RecipeNames();
// Throws std::invalid_argument for a name RecipeNames does not list.
std::vector<RecipeFile> MakeRecipe(const std::string& name,
                                   const RecipeOptions& options = RecipeOptions());
// Writes the recipe's files into the folder (created when missing) and answers them; false with a
// message on failure.
bool SaveRecipe(const std::string& name, const std::string& folder, const RecipeOptions& options,
                std::vector<RecipeFile>& files, std::string& error);

}  // namespace ZelModelGen
