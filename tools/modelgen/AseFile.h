// The ASE text scene writer, and the conversions that make ASE meshes and strip sets from the
// mesh description shared with the binary formats.
//
// Layout choices where the reading rules leave room:
// - SUBMAT_VERTS is a block. The weights of a vertex (a "V_weight" line, "Influence_Bone: n", then
//   per bone "Bname: "name"" and "Weight: w") come before that vertex's "Vert3ds" line, since a
//   V_weight line starts the weights of the next vertex.
// - "Strip" lines are "Strip k: i0 i1 ..." (the integers after the first ':').
// - A LEVELOFDETAIL level is "DEPTH d {" ... "}" holding NUM_FACES, a "LOD {" block with
//   STRIP_LENGTH and one "STRIP i" line per index, TRIANGLE_COUNT (triangles) and a "TRIANGLES {"
//   block of "TRIANGLE k: a b c" lines.
// - SUBMAT_STRIPS_LOD is a block of SUBMAT_STRIPS_LOD blocks, one per LOD list, each holding
//   SMOOTHGROUP and STRIPS like SUBMAT_STRIPS.
// - Strips of one list are grouped into one SMOOTHGROUP / STRIPS pair per run of equal smoothing
//   groups.
// - Key lines carry what the exporter writes beyond what is read: TCB keys their five parameters
//   (tension first), Bezier keys their tangents and flags, scale keys their axis and angle.
// Block paths: "scene", "materials/materialN[/mapN|/subN]", "[groupK/]objectN" with "node",
// "mesh" ("vertices", "faces", "tvertices", "tfaces", "cvertices", "cfaces", "normals"),
// "morph/frameN", "animation", "weights", "strips" ("submtls", its sets "setN" with "verts",
// "strips", "stripLods/lodN", "levels/depthN"). Count lines are fields of their block, named by
// their keyword ("MESH_NUMVERTEX", "STRIP_NUMVERTS", "STRIP_LENGTH", ...).
#pragma once

#include "modelgen/AseDescription.h"
#include "modelgen/FaultPlan.h"
#include "modelgen/MeshDescription.h"
#include "modelgen/TextWriter.h"
#include "modelgen/WrittenFile.h"

namespace ZelModelGen {

WrittenFile WriteAseFile(const AseSceneDesc& scene, const TextOptions& options = TextOptions(),
                         const FaultPlan& faults = FaultPlan());

// A MESH block of the mesh's triangles (index triples): vertices are the positions, texture
// vertices (u, 1 - v, 0) and colour vertices (r, g, b) one per vertex with faces equal to the
// triangles, face normals from the corners, corner normals from the normals; each array only when
// the mesh has it. Every face gets the material id.
AseMeshDesc AseMeshFromMesh(const MeshDesc& mesh, int materialId = 0);
// A strip set with the mesh's vertex arrays as they are; the strips come from the first group:
// a strip entry (code 4) gives one strip of its indices, a list entry gives one three-index strip
// per triangle.
AseStripSetDesc AseStripSetFromMesh(const MeshDesc& mesh, int subMaterial = 0);

}  // namespace ZelModelGen
