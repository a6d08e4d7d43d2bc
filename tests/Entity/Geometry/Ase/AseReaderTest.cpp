// The ASE text reader: the grammar (blocks, groups, stray lines, quotes, line ends), mesh data
// against the files the model writer makes, the strip extension, and the lines it refuses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Entity/Geometry/Ase/AseParser.h"
#include "Entity/Geometry/Ase/AseReader.h"
#include "modelgen/AseFile.h"
#include "modelgen/Recipes.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

namespace {

using namespace Zel;
namespace mg = ZelModelGen;

std::string WithCrLf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

std::unique_ptr<AseScene> Parse(const std::string& text, bool keepWorldSpace = true,
                                float scale = 1.0f) {
    return ParseAseScene(text, scale, keepWorldSpace, "test.ase");
}

std::string Opt(const std::optional<std::string>& s) {
    return s ? *s : "-";
}

// One line per object (name, helper class, parent, counts, material) and per material.
std::string Summary(const AseScene& scene) {
    std::string out;
    for (const auto& o : scene.objects)
        out += "O " + Opt(o->name) + " " + Opt(o->helperClass) + " " + Opt(o->parentName) + " v" +
               std::to_string(o->vertexCount) + " f" + std::to_string(o->faceCount) + " m" +
               std::to_string(o->materialRef) + "\n";
    for (const auto& m : scene.materials) {
        out += "M " + m->name + " " + m->className;
        for (const auto& map : m->diffuseMaps) out += " " + map->name + " " + map->bitmap;
        out += "\n";
    }
    return out;
}

struct GrammarCase {
    const char* name;
    std::string text;
    std::string summary;
};

TEST(AseGrammar, BlocksGroupsStrayLinesAndQuotesReadTheSameWithEitherLineEnd) {
    const GrammarCase cases[] = {
        {"nested unknown block ends its object at its own close",
         "*GEOMOBJECT {\n*NODE_NAME \"Box01\"\n*PROP_BLOCK {\n*NODE_PARENT \"Root\"\n}\n"
         "*MESH {\n*MESH_NUMVERTEX 3\n}\n}\n",
         "O \"Box01\" - \"Root\" v0 f0 m-1\n"},
        {"stray brace at the top level ends the file",
         "*GEOMOBJECT {\n*NODE_NAME \"A\"\n}\n{\n*GEOMOBJECT {\n*NODE_NAME \"B\"\n}\n",
         "O \"A\" - - v0 f0 m-1\n"},
        {"stray brace inside an object drops that object only",
         "*GEOMOBJECT {\n*NODE_NAME \"A\"\n{\n*NODE_NAME \"C\"\n}\n"
         "*GEOMOBJECT {\n*NODE_NAME \"B\"\n}\n",
         "O \"B\" - - v0 f0 m-1\n"},
        {"groups are flattened, an empty group is passed over",
         "*GROUP \"g\" {\n*GEOMOBJECT {\n*NODE_NAME \"A\"\n}\n*GROUP \"h\" {\n}\n"
         "*HELPEROBJECT {\n*NODE_NAME \"B\"\n*HELPER_CLASS \"Dummy\"\n}\n}\n"
         "*GEOMOBJECT {\n*NODE_NAME \"C\"\n*NODE_PARENT \"B\"\n}\n",
         "O \"A\" - - v0 f0 m-1\nO \"B\" \"Dummy\" - v0 f0 m-1\nO \"C\" - \"B\" v0 f0 m-1\n"},
        {"an open group outlives one stray line",
         "*GROUP \"g\" {\n*GEOMOBJECT {\n*NODE_NAME \"A\"\n}\n{\n*GEOMOBJECT {\n*NODE_NAME "
         "\"B\"\n}\n"
         "{\n*GEOMOBJECT {\n*NODE_NAME \"C\"\n}\n",
         "O \"A\" - - v0 f0 m-1\nO \"B\" - - v0 f0 m-1\n"},
        {"an object that never closes is dropped",
         "*GEOMOBJECT {\n*NODE_NAME \"A\"\n}\n*GEOMOBJECT {\n*NODE_NAME \"B\"\n",
         "O \"A\" - - v0 f0 m-1\n"},
        {"the last line needs no line end", "*GEOMOBJECT {\n*NODE_NAME \"A B\"\n}",
         "O \"A B\" - - v0 f0 m-1\n"},
        {"an object without a name is kept unnamed",
         "*GEOMOBJECT {\n*MESH {\n*MESH_NUMVERTEX 2\n}\n*MATERIAL_REF 0\n}\n",
         "O - - - v2 f0 m0\n"},
        {"only the first name counts; names inside NODE_TM do not",
         "*GEOMOBJECT {\n*NODE_NAME \"A\"\n*NODE_TM {\n*NODE_NAME \"Other\"\n}\n*NODE_NAME "
         "\"B\"\n}\n",
         "O \"A\" - - v0 f0 m-1\n"},
        {"material names drop their quotes; classes, map names and bitmaps keep them",
         "*MATERIAL_LIST {\n*MATERIAL_COUNT 1\n*MATERIAL 0 {\n*MATERIAL_NAME \"Stone wall\"\n"
         "*MATERIAL_CLASS \"Standard\"\n*MAP_DIFFUSE {\n*MAP_NAME \"Map #1\"\n"
         "*BITMAP \"c:\\maps\\wall.dds\"\n}\n}\n}\n",
         "M Stone wall \"Standard\" \"Map #1\" \"c:\\maps\\wall.dds\"\n"},
        {"an empty file", "", ""},
        {"text without a single star line", "hello\nworld\n", ""},
    };
    for (const GrammarCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Summary(*Parse(c.text)), c.summary);
        EXPECT_EQ(Summary(*Parse(WithCrLf(c.text))), c.summary);
    }
}

TEST(AseGrammar, LineEndsDoNotChangeNumbersOrNames) {
    mg::RecipeOptions one;
    one.meshCount = 1;
    one.wide = false;
    const mg::AseSceneDesc cube = mg::CubeAseScene(mg::CubeGeometry(one));
    mg::TextOptions lf;
    lf.crlf = false;
    lf.terminateLastLine = false;
    const auto a = Parse(mg::WriteAseFile(cube).Text());
    const auto b = Parse(mg::WriteAseFile(cube, lf).Text());
    ASSERT_EQ(a->objects.size(), 1u);
    ASSERT_EQ(b->objects.size(), 1u);
    EXPECT_EQ(Summary(*a), Summary(*b));
    EXPECT_EQ(a->objects[0]->vertices, b->objects[0]->vertices);
    EXPECT_EQ(a->objects[0]->faces, b->objects[0]->faces);
    EXPECT_EQ(a->objects[0]->texVertices, b->objects[0]->texVertices);
    EXPECT_EQ(*a->objects[0]->name, "\"Cube0\"");
    EXPECT_EQ(a->materials[0]->shading, "Blinn");  // a value word loses nothing at the line end
}

TEST(AseGrammar, DeepGroupsAndDeepMaterialsAreSafe) {
    std::string text;
    for (int i = 0; i < 200000; ++i) text += "*GROUP \"g\" {\n";
    text += "*GEOMOBJECT {\n*NODE_NAME \"A\"\n}\n";
    EXPECT_EQ(Summary(*Parse(text)), "O \"A\" - - v0 f0 m-1\n");

    ZelTest::LogCapture log;
    std::string materials = "*MATERIAL_LIST {\n*MATERIAL 0 {\n*MATERIAL_NAME \"top\"\n";
    for (int i = 0; i < 10000; ++i) materials += "*SUBMATERIAL 0 {\n";
    const auto scene = Parse(materials);
    ASSERT_EQ(scene->materials.size(), 1u);
    int depth = 0;
    for (const AseMaterial* m = scene->materials[0].get(); !m->subMaterials.empty();
         m = m->subMaterials[0].get())
        ++depth;
    EXPECT_EQ(depth, AseParser::kMaxNesting);
    EXPECT_EQ(log.Count("nested deeper than"), 1);
}

TEST(AseGrammar, OverlongLinesAreCutAndTheNextLineIsRead) {
    ZelTest::LogCapture log;
    const std::string text =
        "*GEOMOBJECT {\n*NODE_NAME \"" + std::string(6000, 'a') + "\"\n*NODE_PARENT \"P\"\n}\n";
    const auto scene = Parse(text);
    ASSERT_EQ(scene->objects.size(), 1u);
    EXPECT_EQ(scene->objects[0]->name->size(), 4095u - std::string("NODE_NAME ").size());
    EXPECT_EQ(Opt(scene->objects[0]->parentName), "\"P\"");
    EXPECT_EQ(log.Count("longer than 4095"), 1);
}

const char kMeshHead[] =
    "*GEOMOBJECT {\n*NODE_NAME \"M\"\n*MESH {\n*MESH_NUMVERTEX 3\n*MESH_NUMFACES 1\n"
    "*MESH_VERTEX_LIST {\n*MESH_VERTEX 0 0 0 0\n*MESH_VERTEX 1 1 0 0\n*MESH_VERTEX 2 0 1 0\n}\n"
    "*MESH_FACE_LIST {\n*MESH_FACE 0: A: 0 B: 1 C: 2 AB: 1 BC: 1 CA: 0 *MESH_SMOOTHING 1 "
    "*MESH_MTLID 2\n}\n"
    "*MESH_NUMTVERTEX 3\n*MESH_TVERTLIST {\n*MESH_TVERT 0 0 0 0\n*MESH_TVERT 1 1 0 0\n"
    "*MESH_TVERT 2 0 1 0\n}\n*MESH_NUMTVFACES 1\n*MESH_TFACELIST {\n*MESH_TFACE 0 0 1 2\n}\n"
    "*MESH_NUMCVERTEX 1\n*MESH_CVERTLIST {\n*MESH_VERTCOL 0 1 0.5 0.25\n}\n"
    "*MESH_NUMCVFACES 1\n*MESH_CFACELIST {\n*MESH_CFACE 0 0 0 0\n}\n"
    "*MESH_NORMALS {\n*MESH_FACENORMAL 0 0 0 1\n*MESH_VERTEXNORMAL 0 0 0 1\n"
    "*MESH_VERTEXNORMAL 1 0 0 1\n*MESH_VERTEXNORMAL 2 0 0 1\n";

// The mesh above, with `extra` inside its MESH_NORMALS block, then `tail` inside the object.
std::string MeshWith(const std::string& extraNormals, const std::string& tail) {
    return std::string(kMeshHead) + extraNormals + "}\n}\n" + tail + "}\n";
}

TEST(AseMesh, LinesWithAnIndexOutsideTheirCountAreDroppedWithOneLogLine) {
    struct Case {
        const char* name;
        std::string text;
    };
    const Case cases[] = {
        {"vertex index",
         MeshWith("", "*MESH {\n*MESH_VERTEX_LIST {\n*MESH_VERTEX 3 9 9 9\n}\n}\n")},
        {"face corner past the vertices",
         MeshWith(
             "",
             "*MESH {\n*MESH_FACE_LIST {\n*MESH_FACE 0: A: 0 B: 1 C: 3 AB: 1 BC: 1 CA: 0\n}\n}\n")},
        {"face index",
         MeshWith("", "*MESH {\n*MESH_FACE_LIST {\n*MESH_FACE 1: A: 0 B: 1 C: 2\n}\n}\n")},
        {"negative face index",
         MeshWith("", "*MESH {\n*MESH_FACE_LIST {\n*MESH_FACE -1: A: 0 B: 1 C: 2\n}\n}\n")},
        {"texture vertex", MeshWith("", "*MESH {\n*MESH_TVERTLIST {\n*MESH_TVERT 7 9 9 9\n}\n}\n")},
        {"texture face corner",
         MeshWith("", "*MESH {\n*MESH_TFACELIST {\n*MESH_TFACE 0 0 1 5\n}\n}\n")},
        {"colour vertex",
         MeshWith("", "*MESH {\n*MESH_CVERTLIST {\n*MESH_VERTCOL 1 9 9 9\n}\n}\n")},
        {"colour face corner",
         MeshWith("", "*MESH {\n*MESH_CFACELIST {\n*MESH_CFACE 0 0 0 1\n}\n}\n")},
        {"face normal", MeshWith("*MESH_FACENORMAL 4 9 9 9\n", "")},
        {"fourth vertex normal of a face", MeshWith("*MESH_VERTEXNORMAL 0 9 9 9\n", "")},
        {"vertex weight",
         MeshWith("", "*VERTEX_WEIGHTLIST {\n*VERTEX_WEIGHT 3 \"Bone\" 0 0 0 1\n}\n")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ZelTest::LogCapture log;
        const auto scene = Parse(c.text);
        ASSERT_EQ(scene->objects.size(), 1u);
        const AseObject& o = *scene->objects[0];
        EXPECT_EQ(o.vertices, (std::vector<AseObject::Float3>{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}));
        EXPECT_EQ(o.faces, (std::vector<std::int32_t>{0, 1, 2}));
        EXPECT_EQ(o.faceMaterialIds, std::vector<std::int32_t>{2});
        EXPECT_EQ(o.texFaces, (std::vector<std::int32_t>{0, 1, 2}));
        EXPECT_EQ(o.colorVertices, (std::vector<AseObject::Float3>{{1, 0.5f, 0.25f}}));
        EXPECT_EQ(o.colorFaces, (std::vector<std::int32_t>{0, 0, 0}));
        EXPECT_EQ(o.vertexNormalCount, 3);
        EXPECT_EQ(o.faceNormals, (std::vector<AseObject::Float3>{{0, 0, 1}}));
        EXPECT_EQ(o.weightCount, 0);
        EXPECT_EQ(log.Count("index outside its count were dropped"), 1);
    }
}

TEST(AseMesh, FaceLinesSmoothingAndMaterialIds) {
    const std::string text =
        "*GEOMOBJECT {\n*MESH {\n*MESH_NUMVERTEX 3\n*MESH_NUMFACES 3\n*MESH_FACE_LIST {\n"
        "*MESH_FACE 0: A: 0 B: 1 C: 2 AB: 1 BC: 1 CA: 0 *MESH_SMOOTHING -1 *MESH_MTLID 4\n"
        "*MESH_FACE 1: A: 2 B: 1 C: 0 AB: 1 BC: 1 CA: 0 *MESH_SMOOTHING 3,5 *MESH_MTLID 1\n"
        "*MESH_FACE 2: A: 1 B: 2 C: 0 AB: 1 BC: 1 CA: 0 *MESH_SMOOTHING \t\n}\n}\n}\n";
    const auto scene = Parse(text);
    const AseObject& o = *scene->objects.at(0);
    EXPECT_EQ(o.faces, (std::vector<std::int32_t>{0, 1, 2, 2, 1, 0, 1, 2, 0}));
    EXPECT_EQ(o.faceSmoothing, (std::vector<std::int32_t>{0, 3, 3}));
    // Without a number the previous face line's value stands.
    EXPECT_EQ(o.faceMaterialIds, (std::vector<std::int32_t>{4, 1, 1}));
}

TEST(AseMesh, OversizedCountsAreTakenAsZero) {
    ZelTest::LogCapture log;
    const auto scene = Parse(
        "*GEOMOBJECT {\n*MESH {\n*MESH_NUMVERTEX 2000000000\n*MESH_NUMFACES -5\n"
        "*MESH_VERTEX_LIST {\n*MESH_VERTEX 0 1 2 3\n}\n}\n}\n");
    const AseObject& o = *scene->objects.at(0);
    EXPECT_EQ(o.vertexCount, 0);
    EXPECT_TRUE(o.vertices.empty());
    EXPECT_EQ(o.faceCount, 0);
    EXPECT_EQ(log.Count("counts larger than the file can fill"), 1);
    EXPECT_EQ(log.Count("were dropped"), 1);
}

TEST(AseMesh, ACountReadAgainCannotLeaveFacesPointingPastTheVertices) {
    const auto scene = Parse(MeshWith("", "*MESH {\n*MESH_NUMVERTEX 0\n*MESH_NUMTVERTEX 2\n}\n"));
    const AseObject& o = *scene->objects.at(0);
    EXPECT_EQ(o.faceCount, 0);
    EXPECT_TRUE(o.faces.empty());
    EXPECT_TRUE(o.faceMaterialIds.empty());
    EXPECT_EQ(o.texFaces, (std::vector<std::int32_t>{0, 1, 0}));
}

TEST(AseMesh, CubeFileReadsBackWhatTheWriterDescribed) {
    mg::RecipeOptions one;
    one.meshCount = 1;
    one.wide = false;
    mg::AseSceneDesc desc = mg::CubeAseScene(mg::CubeGeometry(one));
    desc.objects[0].node.translation = {2, 3, 4};
    ZelTest::TempDir dir;
    const std::string path = dir.Write("models/cube.ase", mg::WriteAseFile(desc).Text());

    const auto world = LoadAseScene(path, 2.0f, true);
    const auto local = ReadAseFile(path, 2.0f);
    ASSERT_TRUE(world && local);
    const mg::AseMeshDesc& mesh = *desc.objects[0].mesh;
    const AseObject& w = *world->objects.at(0);
    const AseObject& l = *local->objects.at(0);
    ASSERT_EQ(w.vertexCount, int(mesh.vertices.size()));
    ASSERT_EQ(w.faceCount, int(mesh.faces.size()));
    for (std::size_t i = 0; i < mesh.vertices.size(); ++i) {
        const mg::Vec3 p = mesh.vertices[i];
        EXPECT_EQ(w.vertices[i], (AseObject::Float3{2 * p.x, 2 * p.y, 2 * p.z}));
        // The node translation is scaled too, so the local point is the written one minus it.
        EXPECT_NEAR(l.vertices[i][0], 2 * p.x - 4, 1e-5f);
        EXPECT_NEAR(l.vertices[i][2], 2 * p.z - 8, 1e-5f);
    }
    EXPECT_EQ(w.nodeMatrix[12], 4.0f);
    EXPECT_EQ(w.tmPos[0], 2.0f);  // TM_POS is not scaled
    EXPECT_EQ(w.inverseNodeMatrix[13], -6.0f);
    for (std::size_t f = 0; f < mesh.faces.size(); ++f)
        EXPECT_EQ(w.faces[3 * f + 2], int(mesh.faces[f].c));
    EXPECT_EQ(w.texFaceCount, w.faceCount);
    EXPECT_EQ(w.vertexNormalCount, 3 * w.faceCount);
    EXPECT_EQ(world->frameSpeed, 30);
    EXPECT_EQ(world->ticksPerFrame, 160);
    ASSERT_EQ(world->materials.size(), 1u);
    const AseMaterial& m = *world->materials[0];
    EXPECT_EQ(m.name, desc.materials[0].name);
    EXPECT_EQ(m.diffuse[3], 1.0f);
    ASSERT_EQ(m.diffuseMaps.size(), 1u);
    EXPECT_EQ(m.diffuseMaps[0]->bitmap, "\"cube0.dds\"");
    EXPECT_EQ(FindSubMaterial(&m, w.faceMaterialIds[0]), &m);
    EXPECT_EQ(FindAseObject(*world, "\"Cube0\""), &w);
    EXPECT_EQ(FindAseObject(*world, "Cube0"), nullptr);
}

TEST(AseFile, AMissingFileIsReportedAndGivesNoScene) {
    ZelTest::LogCapture log;
    EXPECT_EQ(ReadAseFile("no/such/file.ase", 1.0f), nullptr);
    EXPECT_EQ(log.Count("fopen"), 1);
}

TEST(AseObjects, WeightsMorphFramesParentsAndAnimation) {
    const std::string text =
        "*SCENE {\n*SCENE_FIRSTFRAME 2\n*SCENE_LASTFRAME 40\n*SCENE_FRAMESPEED 25\n"
        "*SCENE_TICKSPERFRAME 192\n}\n"
        "*HELPEROBJECT {\n*NODE_NAME \"Root\"\n*NODE_PARENT \"Root\"\n}\n"
        "*GEOMOBJECT {\n*NODE_NAME \"Skin\"\n*NODE_PARENT \"Root\"\n"
        "*MESH {\n*MESH_NUMVERTEX 2\n}\n"
        "*MESH_ANIMATION {\n*MESH {\n*TIMEVALUE 0\n*MESH_NUMVERTEX 0\n}\n"
        "*MESH {\n*TIMEVALUE 160\n*MESH_NUMVERTEX 1\n}\n*MESH {\n*MESH_NUMVERTEX 0\n}\n"
        "*STRIPS {\n*STRIP_SUBMTLS {\n*STRIP_NUMVERTS 1\n}\n}\n}\n"
        "*TM_ANIMATION {\n*CONTROL_POS_TRACK {\n*CONTROL_POS_SAMPLE 0 1 2 3\n"
        "*CONTROL_POS_SAMPLE 160 4 5 6\n}\n*CONTROL_POS_BEZIER {\n*CONTROL_BEZIER_POS_KEY 0 9 9 "
        "9\n}\n"
        "*CONTROL_ROT_TCB {\n*CONTROL_TCB_ROT_KEY 320 0 0 1 1.5 0.25 0 0 0 0\n"
        "*CONTROL_POS_SAMPLE 5 5 5 5\n}\n"
        "*CONTROL_SCALE_LINEAR {\n*CONTROL_SCALE_KEY 0 1 1 2 0 0 1 0.5\n}\n}\n"
        "*VERTEX_WEIGHTLIST {\n*VERTEX_WEIGHT 0 \"Bip01 Hand\" 1 2 3 0.75\n"
        "*VERTEX_WEIGHT 1 \"Bip01 Hand\" 0 0 0 0.25\n*VERTEX_WEIGHT 1 \"Root\" 0 0 0 0.75\n}\n"
        "*MATERIAL_REF 3\n}\n";
    const auto scene = Parse(text, true, 2.0f);
    ASSERT_EQ(scene->allObjects.size(), 2u);
    ASSERT_EQ(scene->objects.size(), 3u);  // the unknown bone became an object of its own
    const AseObject& root = *scene->objects[0];
    const AseObject& skin = *scene->objects[2];
    const AseObject& bone = *scene->objects[1];
    EXPECT_EQ(*bone.name, "\"Bip01 Hand\"");
    EXPECT_EQ(root.parent, nullptr);  // never its own parent
    EXPECT_EQ(skin.parent, &root);

    ASSERT_EQ(skin.morphFrames.size(), 1u);
    EXPECT_EQ(skin.morphFrames[0]->timeValue, 160);
    EXPECT_EQ(skin.morphFrames[0]->materialRef, -1);  // MATERIAL_REF came later
    ASSERT_TRUE(skin.morphFrames[0]->strips);
    EXPECT_EQ(skin.morphFrames[0]->strips->sets.size(), 1u);

    ASSERT_TRUE(skin.animation);
    const AseAnimation& a = *skin.animation;
    EXPECT_EQ(a.firstFrame, 2);
    EXPECT_EQ(a.ticksPerFrame, 192);
    EXPECT_EQ(a.frameSpeed, 25);
    ASSERT_EQ(a.positionKeys.size(),
              2u);  // Bezier skipped; a sample line in a TCB block is not read
    EXPECT_EQ(a.positionKeys[1].kind, 3);
    EXPECT_EQ(a.positionKeys[1].time, 160);
    EXPECT_EQ(a.positionKeys[1].z, 6.0f);  // key positions are not scaled
    ASSERT_EQ(a.rotationKeys.size(), 1u);
    EXPECT_EQ(a.rotationKeys[0].kind, 1);
    EXPECT_EQ(a.rotationKeys[0].angle, 1.5f);
    EXPECT_EQ(a.rotationKeys[0].tcb[0], 0.25f);
    ASSERT_EQ(a.scaleKeys.size(), 1u);
    EXPECT_EQ(a.scaleKeys[0].scale[2], 2.0f);
    EXPECT_EQ(a.scaleKeys[0].axisAngle, 0.5f);

    ASSERT_EQ(skin.weightCount, 3);
    EXPECT_EQ(skin.weightBones,
              (std::vector<AseObject*>{scene->objects[1].get(), scene->objects[1].get(),
                                       scene->objects[0].get()}));
    EXPECT_EQ(skin.weightOffsets[0], (std::array<float, 4>{2, 4, 6, 0.75f}));
    EXPECT_EQ(skin.weightBoneMatrices[2], root.nodeMatrix);
    EXPECT_EQ(skin.weightVertices, (std::vector<std::int32_t>{0, 1, 1}));
}

TEST(AseMaterials, SubMaterialsMapsAndTheUvMatrix) {
    const std::string text =
        "*MATERIAL_LIST {\n*MATERIAL 0 {\n*MATERIAL_NAME \"Multi\"\n*MATERIAL_TRANSPARENCY 0.25\n"
        "*MATERIAL_TWOSIDED\n*MATERIAL_FALLOFF In\n*NUMSUBMTLS 2\n"
        "*SUBMATERIAL 0 {\n*MATERIAL_NAME \"A\"\n}\n"
        "*SUBMATERIAL 1 {\n*MATERIAL_NAME \"B\"\n*SUBMATERIAL 0 {\n*MATERIAL_NAME \"B0\"\n}\n"
        "*SUBMATERIAL 1 {\n*MATERIAL_NAME \"B1\"\n*MAP_BUMP {\n*MAP_NAME \"n\"\n"
        "*UVW_U_OFFSET 0.5\n*UVW_V_OFFSET 0.25\n*UVW_U_TILING 2\n*UVW_V_TILING 4\n*UVW_ANGLE 90\n"
        "*MAP_ALPHA_SOURCE \"None\"\n*MAP_GENERIC {\n*MAP_NAME \"g\"\n}\n}\n}\n}\n}\n}\n";
    const auto scene = Parse(text);
    ASSERT_EQ(scene->materials.size(), 1u);
    const AseMaterial* multi = scene->materials[0].get();
    EXPECT_EQ(multi->diffuse[3], 0.75f);
    EXPECT_EQ(multi->specular[3], 1.0f);
    EXPECT_EQ(multi->twoSided, 1);
    EXPECT_EQ(multi->falloffIn, 1);
    EXPECT_EQ(FindSubMaterial(multi, 0)->name, "A");
    // Nested sub-materials are descended with the same id.
    EXPECT_EQ(FindSubMaterial(multi, 1)->name, "B1");
    EXPECT_EQ(FindSubMaterial(multi, 2), multi);
    EXPECT_EQ(FindSubMaterial(multi, -1), multi);
    EXPECT_EQ(FindSubMaterial(nullptr, 0), nullptr);
    const AseMap& map = *FindSubMaterial(multi, 1)->bumpMaps.at(0);
    EXPECT_EQ(map.alphaSource, 2);
    ASSERT_EQ(map.generics.size(), 1u);
    EXPECT_EQ(map.generics[0]->name, "\"g\"");
    // (u, v, 1) x T x R x S: (0, 0) moves to the offsets, turns a quarter and is scaled.
    const float u = 0.0f, v = 0.0f;
    const float* m = map.uvMatrix;
    const float x = u * m[0] + v * m[3] + m[6];
    const float y = u * m[1] + v * m[4] + m[7];
    EXPECT_NEAR(x, -0.25f * 2, 1e-4f);
    EXPECT_NEAR(y, 0.5f * 4, 1e-4f);
}

TEST(AseStrips, TheWritersStripExtensionReadsBack) {
    mg::AseSceneDesc desc = mg::StripAseScene(mg::MakeStripMesh());
    mg::AseStripSetDesc& set0 = desc.objects[0].strips->sets[0];
    set0.weights.assign(set0.positions.size(), {});
    set0.weights[1] = {{"Bip01 L Hand", 0.75f}, {"Bip01", 0.25f}};
    const auto scene = Parse(mg::WriteAseFile(desc).Text());
    ASSERT_EQ(scene->objects.size(), 1u);
    const AseObject& o = *scene->objects[0];
    ASSERT_TRUE(o.strips);
    const AseStrips& strips = *o.strips;
    EXPECT_EQ(strips.hasTexCoords, 1);
    EXPECT_EQ(strips.hasNormals, 1);
    EXPECT_EQ(strips.hasColors, 1);
    EXPECT_EQ(strips.materialRef, 0);
    ASSERT_EQ(strips.sets.size(), desc.objects[0].strips->sets.size());
    for (std::size_t s = 0; s < strips.sets.size(); ++s) {
        SCOPED_TRACE(s);
        const AseStripSet& got = *strips.sets[s];
        const mg::AseStripSetDesc& want = desc.objects[0].strips->sets[s];
        EXPECT_EQ(got.subMaterial, want.subMaterial);
        ASSERT_EQ(got.vertexCount, int(want.positions.size()));
        for (std::size_t v = 0; v < want.positions.size(); ++v) {
            EXPECT_EQ(got.positions[v][0], want.positions[v].x);
            EXPECT_EQ(got.texCoords[v][1], want.uvs[v].y);
            EXPECT_EQ(got.colors[v][3], want.colours[v].w);
            EXPECT_EQ(got.normals[v][2], want.normals[v].z);
        }
        ASSERT_EQ(got.strips.size(), want.strips.size());
        for (std::size_t k = 0; k < want.strips.size(); ++k)
            EXPECT_EQ(got.strips[k].indices,
                      std::vector<std::int32_t>(want.strips[k].indices.begin(),
                                                want.strips[k].indices.end()));
        ASSERT_EQ(got.stripLods.size(), want.stripLods.size());
        for (std::size_t k = 0; k < want.stripLods.size(); ++k)
            ASSERT_EQ(got.stripLods[k].size(), want.stripLods[k].size());
        ASSERT_EQ(got.lods.size(), want.lods.size());
        for (std::size_t k = 0; k < want.lods.size(); ++k) {
            EXPECT_EQ(got.lods[k].depth, want.lods[k].depth);
            EXPECT_EQ(got.lods[k].faceCount, want.lods[k].faceCount);
            EXPECT_EQ(got.lods[k].strip, want.lods[k].strip);
            EXPECT_EQ(got.lods[k].triangles, want.lods[k].triangles);
            EXPECT_EQ(got.lods[k].triangleIndexCount, want.lods[k].triangles.size());
        }
    }
    const AseStripSet& first = *strips.sets[0];
    ASSERT_EQ(first.vertexWeights.size(), first.positions.size());
    EXPECT_EQ(first.vertexWeights[0].boneCount, 0);
    EXPECT_EQ(first.vertexWeights[1].boneNames,
              (std::vector<std::string>{"Bip01 L Hand", "Bip01"}));
    EXPECT_EQ(first.vertexWeights[1].weights, (std::vector<float>{0.75f, 0.25f}));
    EXPECT_EQ(first.strips[0].subMaterial, 0);
    EXPECT_EQ(strips.sets[1]->strips[0].subMaterial, 1);
}

TEST(AseStrips, OutOfRangeStripIndicesAndSixteenBitLodCountsAreRefused) {
    ZelTest::LogCapture log;
    const std::string text =
        "*GEOMOBJECT {\n*STRIPS {\n*STRIP_SUBMTLS {\n*SUBMAT 2\n*STRIP_NUMVERTS 3\n"
        "*SUBMAT_VERTS {\n*Vert3ds 0: 1 2 3\n*Vert3ds 1: 4 5 6\n*Vert3ds 2: 7 8 9\n"
        "*Vert3ds 3: 9 9 9\n*V_weight\n*Influence_Bone: 1\n*Bname: \"B\"\n*Weight: 1\n}\n"
        "*SUBMAT_STRIPS {\n*SMOOTHGROUP 4\n*STRIPS {\n*Strip 0: 0 1 2\n*Strip 1: 0 1 3\n"
        "*Strip 2:\n*Strip 3: 2 x 1\n}\n}\n"
        "*LEVELOFDETAIL {\n*DEPTH 1.5 {\n*NUM_FACES 70000\n*LOD {\n*STRIP_LENGTH 70000\n"
        "*STRIP 0\n}\n*TRIANGLE_COUNT 2\n*TRIANGLES {\n*TRIANGLE 0: 0 1 2\n*TRIANGLE 1: 0 1 5\n"
        "*TRIANGLE 2: 2 1 0\n*TRIANGLE 3: 0 1 2\n}\n}\n}\n}\n}\n}\n";
    // Enough text after the counts that only their 16-bit limit refuses them.
    std::string padding;
    for (int i = 0; i < 20000; ++i) padding += "*COMMENT\n";
    const auto scene = Parse(text + padding);
    const AseStripSet& set = *scene->objects.at(0)->strips->sets.at(0);
    EXPECT_EQ(set.subMaterial, 2);
    EXPECT_EQ(set.positions[2], (std::array<float, 3>{7, 8, 9}));
    EXPECT_TRUE(set.texCoords.empty());
    EXPECT_TRUE(set.vertexWeights.empty());  // the weights named a fourth vertex
    ASSERT_EQ(set.strips.size(), 1u);
    EXPECT_EQ(set.strips[0].indices, (std::vector<std::int32_t>{0, 1, 2}));
    EXPECT_EQ(set.strips[0].smoothingGroup, 4);
    ASSERT_EQ(set.lods.size(), 1u);
    const AseLod& lod = set.lods[0];
    EXPECT_EQ(lod.depth, 1.5f);
    EXPECT_EQ(lod.faceCount, 0);
    EXPECT_EQ(lod.stripLength, 0);
    EXPECT_TRUE(lod.strip.empty());
    EXPECT_EQ(lod.triangles, (std::vector<std::uint16_t>{0, 1, 2, 2, 1, 0}));
    EXPECT_EQ(lod.triangleIndexCount, 6);
    EXPECT_EQ(log.Count("index outside its count were dropped"), 1);
    EXPECT_EQ(log.Count("counts larger than the file can fill"), 1);
}

}  // namespace

namespace {

TEST(AsePatches, PatchMeshesAreReadWithTheirTextureChannels) {
    const std::string text =
        "*GEOMOBJECT {\n*PATCHMESH {\n*PATCHMESH_VERTEXLIST {\n*PATCHMESH_NUMVERTS 2\n"
        "*PATCHMESH_VERTEX 1 1 2 3\n*PATCHMESH_VERTEX 2 9 9 9\n}\n"
        "*PATCHMESH_PATCH_LIST {\n*PATCHMESH_NUMPATCHES 1\n"
        "*PATCHMESH_PATCH 0 1 2 3 4 5 6 7 8 9 10, 11, 12\n}\n"
        "*PATCHMESH_TVCHANNEL_LIST {\n*PATCHMESH_NUMTVCHANNELS 1\n*PATCHMESH_TVCHANNEL 0 {\n"
        "*PATCHMESH_TVVERTLIST {\n*PATCHMESH_NUMTVVERTS 1\n*PATCHMESH_TVVERT 0 0.5 0.25 0\n}\n"
        "*PATCHMESH_TVPATCH_TVPATCH_LIST {\n*PATCHMESH_TVPATCH 0 1 2 3 4\n}\n}\n}\n}\n}\n";
    const auto scene = Parse(text);
    const AseObject& o = *scene->objects.at(0);
    EXPECT_EQ(o.isPatch, 1);
    EXPECT_EQ(o.patchVertices, (std::vector<AseObject::Float3>{{0, 0, 0}, {1, 2, 3}}));
    ASSERT_EQ(o.patches.size(), 1u);
    EXPECT_EQ(o.patches[0], (std::array<std::int32_t, 12>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
    ASSERT_EQ(o.patchTexVertices.size(), 1u);
    EXPECT_EQ(o.patchTexVertices[0], (std::vector<AseObject::Float3>{{0.5f, -0.25f, 0}}));
    EXPECT_EQ(o.patchTexPatches[0], (std::vector<std::array<std::int32_t, 4>>{{1, 2, 3, 4}}));
}

}  // namespace
