// Hand-typed texts of the ASE scenes and the model descriptions, and the line-end options.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "modelgen/AseFile.h"
#include "modelgen/DescriptionFiles.h"

namespace {

using namespace ZelModelGen;

std::string Lines(const std::vector<std::string>& lines, const std::string& end) {
    std::string s;
    for (const std::string& l : lines) s += l + end;
    return s;
}

const std::vector<std::string> kTriangleLines = {
    "*3DSMAX_ASCIIEXPORT\t200",
    "*COMMENT \"modelgen\"",
    "*GEOMOBJECT {",
    "\t*NODE_NAME \"Tri\"",
    "\t*NODE_TM {",
    "\t\t*NODE_NAME \"Tri\"",
    "\t\t*INHERIT_POS 0 0 0",
    "\t\t*INHERIT_ROT 0 0 0",
    "\t\t*INHERIT_SCL 0 0 0",
    "\t\t*TM_ROW0 1.0\t0.0\t0.0",
    "\t\t*TM_ROW1 0.0\t1.0\t0.0",
    "\t\t*TM_ROW2 0.0\t0.0\t1.0",
    "\t\t*TM_ROW3 0.0\t0.0\t0.0",
    "\t\t*TM_POS 0.0\t0.0\t0.0",
    "\t\t*TM_ROTAXIS 0.0\t0.0\t1.0",
    "\t\t*TM_ROTANGLE 0.0",
    "\t\t*TM_SCALE 1.0\t1.0\t1.0",
    "\t\t*TM_SCALEAXIS 0.0\t0.0\t0.0",
    "\t\t*TM_SCALEAXISANG 0.0",
    "\t}",
    "\t*MESH {",
    "\t\t*TIMEVALUE 0",
    "\t\t*MESH_NUMVERTEX 3",
    "\t\t*MESH_NUMFACES 1",
    "\t\t*MESH_VERTEX_LIST {",
    "\t\t\t*MESH_VERTEX 0\t0.0\t0.0\t0.0",
    "\t\t\t*MESH_VERTEX 1\t1.0\t0.0\t0.0",
    "\t\t\t*MESH_VERTEX 2\t0.0\t1.0\t0.0",
    "\t\t}",
    "\t\t*MESH_FACE_LIST {",
    "\t\t\t*MESH_FACE 0:\tA: 0 B: 1 C: 2 AB: 1 BC: 1 CA: 0\t *MESH_SMOOTHING 1 \t*MESH_MTLID 0",
    "\t\t}",
    "\t\t*MESH_NUMCVERTEX 0",
    "\t}",
    "\t*PROP_MOTIONBLUR 0",
    "\t*PROP_CASTSHADOW 1",
    "\t*PROP_RECVSHADOW 1",
    "}",
};

AseSceneDesc Triangle() {
    AseObjectDesc o;
    o.name = "Tri";
    o.mesh = AseMeshDesc{};
    o.mesh->vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    o.mesh->faces = {{0, 1, 2, 1, 0}};
    AseSceneDesc scene;
    scene.objects = {o};
    return scene;
}

TEST(TextGolden, AseGeometryObjectWithCrLfByDefault) {
    EXPECT_EQ(WriteAseFile(Triangle()).Text(), Lines(kTriangleLines, "\r\n"));
}

TEST(TextGolden, AseLineEndOptions) {
    TextOptions lf;
    lf.crlf = false;
    EXPECT_EQ(WriteAseFile(Triangle(), lf).Text(), Lines(kTriangleLines, "\n"));
    TextOptions open;
    open.terminateLastLine = false;
    std::string text = Lines(kTriangleLines, "\r\n");
    EXPECT_EQ(WriteAseFile(Triangle(), open).Text(), text.substr(0, text.size() - 2));
}

TEST(TextGolden, AseSceneMaterialMapAnimationAndWeights) {
    AseSceneDesc scene;
    scene.scene = AseSceneInfo{"s.max", 0, 10, 30, 160};
    AseMaterialDesc m;
    m.name = "Mat";
    m.twoSided = true;
    AseMapDesc map;
    map.bitmap = "t.dds";
    map.uTiling = 2;
    m.maps = {map};
    scene.materials = {m};
    AseObjectDesc o;
    o.helper = true;
    o.name = "Bone";
    o.parent = "Root";
    o.helperClass = "Dummy";
    o.node.translation = {1, 2, 3};
    AseAnimationDesc anim;
    anim.positions = {{0, {1, 2, 3}}};
    anim.rotationController = AseController::Tcb;
    AseRotationKey rot;
    rot.time = 160;
    rot.axis = {0, 1, 0};
    rot.angle = 0.5f;
    rot.tcb[0] = 25;
    anim.rotations = {rot};
    anim.scaleController = AseController::Linear;
    anim.scales = {{320, {2, 2, 2}}};
    o.animation = anim;
    o.weights = {{3, "Bip01 Spine", {1, 0, 0}, 0.5f}};
    o.materialRef = 0;
    scene.objects = {o};
    TextOptions lf;
    lf.crlf = false;
    EXPECT_EQ(WriteAseFile(scene, lf).Text(),
              Lines({"*3DSMAX_ASCIIEXPORT\t200",
                     "*COMMENT \"modelgen\"",
                     "*SCENE {",
                     "\t*SCENE_FILENAME \"s.max\"",
                     "\t*SCENE_FIRSTFRAME 0",
                     "\t*SCENE_LASTFRAME 10",
                     "\t*SCENE_FRAMESPEED 30",
                     "\t*SCENE_TICKSPERFRAME 160",
                     "\t*SCENE_BACKGROUND_STATIC 0.0\t0.0\t0.0",
                     "\t*SCENE_AMBIENT_STATIC 0.0\t0.0\t0.0",
                     "}",
                     "*MATERIAL_LIST {",
                     "\t*MATERIAL_COUNT 1",
                     "\t*MATERIAL 0 {",
                     "\t\t*MATERIAL_NAME \"Mat\"",
                     "\t\t*MATERIAL_CLASS \"Standard\"",
                     "\t\t*MATERIAL_AMBIENT 0.5\t0.5\t0.5",
                     "\t\t*MATERIAL_DIFFUSE 0.5\t0.5\t0.5",
                     "\t\t*MATERIAL_SPECULAR 0.9\t0.9\t0.9",
                     "\t\t*MATERIAL_SHINE 0.25",
                     "\t\t*MATERIAL_SHINESTRENGTH 0.05",
                     "\t\t*MATERIAL_TRANSPARENCY 0.0",
                     "\t\t*MATERIAL_WIRESIZE 1.0",
                     "\t\t*MATERIAL_SHADING Blinn",
                     "\t\t*MATERIAL_XP_FALLOFF 0.0",
                     "\t\t*MATERIAL_SELFILLUM 0.0",
                     "\t\t*MATERIAL_TWOSIDED",
                     "\t\t*MATERIAL_FALLOFF In",
                     "\t\t*MATERIAL_XP_TYPE Filter",
                     "\t\t*MAP_DIFFUSE {",
                     "\t\t\t*MAP_NAME \"Map #1\"",
                     "\t\t\t*MAP_CLASS \"Bitmap\"",
                     "\t\t\t*MAP_SUBNO 1",
                     "\t\t\t*MAP_AMOUNT 1.0",
                     "\t\t\t*BITMAP \"t.dds\"",
                     "\t\t\t*MAP_TYPE Screen",
                     "\t\t\t*UVW_U_OFFSET 0.0",
                     "\t\t\t*UVW_V_OFFSET 0.0",
                     "\t\t\t*UVW_U_TILING 2.0",
                     "\t\t\t*UVW_V_TILING 1.0",
                     "\t\t\t*UVW_ANGLE 0.0",
                     "\t\t\t*UVW_BLUR 1.0",
                     "\t\t\t*UVW_BLUR_OFFSET 0.0",
                     "\t\t\t*UVW_NOUSE_AMT 1.0",
                     "\t\t\t*UVW_NOISE_SIZE 1.0",
                     "\t\t\t*UVW_NOISE_LEVEL 1",
                     "\t\t\t*UVW_NOISE_PHASE 0.0",
                     "\t\t\t*BITMAP_FILTER Pyramidal",
                     "\t\t}",
                     "\t}",
                     "}",
                     "*HELPEROBJECT {",
                     "\t*NODE_NAME \"Bone\"",
                     "\t*NODE_PARENT \"Root\"",
                     "\t*HELPER_CLASS \"Dummy\"",
                     "\t*NODE_TM {",
                     "\t\t*NODE_NAME \"Bone\"",
                     "\t\t*INHERIT_POS 0 0 0",
                     "\t\t*INHERIT_ROT 0 0 0",
                     "\t\t*INHERIT_SCL 0 0 0",
                     "\t\t*TM_ROW0 1.0\t0.0\t0.0",
                     "\t\t*TM_ROW1 0.0\t1.0\t0.0",
                     "\t\t*TM_ROW2 0.0\t0.0\t1.0",
                     "\t\t*TM_ROW3 1.0\t2.0\t3.0",
                     "\t\t*TM_POS 1.0\t2.0\t3.0",
                     "\t\t*TM_ROTAXIS 0.0\t0.0\t1.0",
                     "\t\t*TM_ROTANGLE 0.0",
                     "\t\t*TM_SCALE 1.0\t1.0\t1.0",
                     "\t\t*TM_SCALEAXIS 0.0\t0.0\t0.0",
                     "\t\t*TM_SCALEAXISANG 0.0",
                     "\t}",
                     "\t*PROP_MOTIONBLUR 0",
                     "\t*PROP_CASTSHADOW 1",
                     "\t*PROP_RECVSHADOW 1",
                     "\t*TM_ANIMATION {",
                     "\t\t*NODE_NAME \"Bone\"",
                     "\t\t*CONTROL_POS_TRACK {",
                     "\t\t\t*CONTROL_POS_SAMPLE 0\t1.0\t2.0\t3.0",
                     "\t\t}",
                     "\t\t*CONTROL_ROT_TCB {",
                     "\t\t\t*CONTROL_TCB_ROT_KEY 160\t0.0\t1.0\t0.0\t0.5\t25.0\t0.0\t0.0\t0.0\t0.0",
                     "\t\t}",
                     "\t\t*CONTROL_SCALE_LINEAR {",
                     "\t\t\t*CONTROL_SCALE_KEY 320\t2.0\t2.0\t2.0\t0.0\t0.0\t0.0\t0.0",
                     "\t\t}",
                     "\t}",
                     "\t*VERTEX_WEIGHTLIST {",
                     "\t\t*VERTEX_WEIGHT 3\t\"Bip01 Spine\"\t1.0\t0.0\t0.0\t0.5",
                     "\t}",
                     "\t*MATERIAL_REF 0",
                     "}"},
                    "\n"));
}

TEST(TextGolden, AseStripExtensionWithWeightsStripListsAndLevels) {
    AseStripSetDesc set;
    set.positions = {{1, 2, 3}};
    set.uvs = {{0.5f, 0.25f}};
    set.weights = {{{"B", 1}}};
    set.strips = {{1, {0, 0, 0}}};
    set.stripLods = {{{2, {0}}}};
    AseLodDesc lod;
    lod.depth = 0.5f;
    lod.faceCount = 1;
    lod.strip = {0};
    lod.triangles = {0, 0, 0};
    set.lods = {lod};
    AseObjectDesc o;
    o.name = "S";
    o.strips = AseStripsDesc{};
    o.strips->sets = {set};
    o.materialRef = 0;
    AseSceneDesc scene;
    scene.objects = {o};
    TextOptions lf;
    lf.crlf = false;
    std::string text = WriteAseFile(scene, lf).Text();
    std::size_t from = text.find("\t*STRIPS {");
    ASSERT_NE(from, std::string::npos);
    EXPECT_EQ(text.substr(from),
              Lines({"\t*STRIPS {",
                     "\t\t*STRIP_TVERT 1",
                     "\t\t*STRIP_NORMAL 0",
                     "\t\t*STRIP_VERTCOLOR 0",
                     "\t\t*STRIP_NUMSUBMTLS 1",
                     "\t\t*STRIP_SUBMTLS {",
                     "\t\t\t*SUBMAT 0",
                     "\t\t\t*STRIP_NUMVERTS 1",
                     "\t\t\t*SUBMAT_VERTS {",
                     "\t\t\t\t*V_weight",
                     "\t\t\t\t*Influence_Bone: 1",
                     "\t\t\t\t*Bname: \"B\"",
                     "\t\t\t\t*Weight: 1.0",
                     "\t\t\t\t*Vert3ds 0: 1.0 2.0 3.0 UV: 0.5 0.25",
                     "\t\t\t}",
                     "\t\t\t*SUBMAT_STRIPS {",
                     "\t\t\t\t*SMOOTHGROUP 1",
                     "\t\t\t\t*STRIPS {",
                     "\t\t\t\t\t*Strip 0: 0 0 0",
                     "\t\t\t\t}",
                     "\t\t\t}",
                     "\t\t\t*SUBMAT_STRIPS_LOD {",
                     "\t\t\t\t*SUBMAT_STRIPS_LOD {",
                     "\t\t\t\t\t*SMOOTHGROUP 2",
                     "\t\t\t\t\t*STRIPS {",
                     "\t\t\t\t\t\t*Strip 0: 0",
                     "\t\t\t\t\t}",
                     "\t\t\t\t}",
                     "\t\t\t}",
                     "\t\t\t*LEVELOFDETAIL {",
                     "\t\t\t\t*NUM_LEVELS 1",
                     "\t\t\t\t*DEPTH 0.5 {",
                     "\t\t\t\t\t*NUM_FACES 1",
                     "\t\t\t\t\t*LOD {",
                     "\t\t\t\t\t\t*STRIP_LENGTH 1",
                     "\t\t\t\t\t\t*STRIP 0",
                     "\t\t\t\t\t}",
                     "\t\t\t\t\t*TRIANGLE_COUNT 1",
                     "\t\t\t\t\t*TRIANGLES {",
                     "\t\t\t\t\t\t*TRIANGLE 0: 0 0 0",
                     "\t\t\t\t\t}",
                     "\t\t\t\t}",
                     "\t\t\t}",
                     "\t\t}",
                     "\t}",
                     "\t*MATERIAL_REF 0",
                     "}"},
                    "\n"));
}

TEST(TextGolden, AseGroupsWrapConsecutiveObjectsAndAnUnnamedObjectHasNoNodeName) {
    AseSceneDesc scene;
    scene.objects.resize(3);
    scene.objects[0].name = "A";
    scene.objects[0].group = "G";
    scene.objects[1].name = "B";
    scene.objects[1].group = "G";
    TextOptions lf;
    lf.crlf = false;
    WrittenFile f = WriteAseFile(scene, lf);
    std::string text = f.Text();
    EXPECT_NE(text.find("\n*GROUP \"G\" {\n\t*GEOMOBJECT {\n\t\t*NODE_NAME \"A\""), std::string::npos);
    ASSERT_NE(f.Find("group0/object1"), nullptr);
    ASSERT_NE(f.Find("object2"), nullptr);
    std::string last = text.substr(f.Offset("object2"));
    EXPECT_EQ(last.find("NODE_NAME"), std::string::npos);
    EXPECT_EQ(text.find("}\n*GEOMOBJECT {"), f.Offset("object2") - 2);
}

TEST(TextGolden, MeshFromTheSharedDescriptionFlipsVAndSplitsNormalsPerCorner) {
    MeshDesc m;
    m.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    m.normals = {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}};
    m.uv0 = {{0, 0.25f}, {1, 0.25f}, {0, 1}};
    m.colours = {{1, 0, 0, 0.5f}, {0, 1, 0, 1}, {0, 0, 1, 1}};
    m.indices = {0, 1, 2};
    AseMeshDesc a = AseMeshFromMesh(m, 2);
    ASSERT_EQ(a.faces.size(), 1u);
    EXPECT_EQ(a.faces[0].materialId, 2);
    EXPECT_EQ(a.texVertices[0].y, 0.75f);
    EXPECT_EQ(a.texFaces.size(), 1u);
    EXPECT_EQ(a.colorVertices[0].x, 1.0f);
    EXPECT_EQ(a.faceNormals[0].z, 1.0f);
    EXPECT_EQ(a.cornerNormals[0][2].z, 1.0f);
}

TEST(TextGolden, DmlAndChrSections) {
    DmlDesc dml;
    dml.comments = {"a model"};
    dml.meshFile = "a.ase";
    dml.materialFiles = {"a.xml", "b.xml"};
    EXPECT_EQ(WriteDmlFile(dml).Text(),
              "# a model\r\n[GEOMETRY MESH]\r\na.ase\r\n[SHADER]\r\na.xml\r\n[SHADER]\r\nb.xml\r\n");

    ChrDesc chr;
    chr.skeletonFile = "s.ase";
    chr.skinFile = "k.ase";
    chr.materialFiles = {"m.dds"};
    chr.animations = {{"walk", "w.ase"}, {"run", "r.ase"}};
    TextOptions lf;
    lf.crlf = false;
    EXPECT_EQ(WriteChrFile(chr, lf).Text(),
              "[SKELETON]\ns.ase\n[SKIN]\nk.ase\n[SHADER]\nm.dds\n"
              "[ANIMATION]\nwalk w.ase\n[ANIMATION]\nrun r.ase\n");

    DmlDesc partial;
    partial.meshFile = "a.ase";
    EXPECT_EQ(WriteDmlFile(partial, lf).Text(), "[GEOMETRY MESH]\na.ase\n");
}

TEST(TextGolden, XmlEntitySkinAndLevelForms) {
    TextOptions lf;
    lf.crlf = false;
    EntityXmlDesc plain;
    plain.geometry = "a.ase";
    plain.material = "a&b.xml";
    EXPECT_EQ(WriteEntityXmlFile(plain, lf).Text(),
              "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Entity>\n"
              "\t<Geometry Path=\"a.ase\"/>\n\t<Material Path=\"a&amp;b.xml\"/>\n</Entity>\n");

    EntityXmlDesc skin = plain;
    skin.material = "m.xml";
    skin.skeleton = "s.ase";
    skin.animations = {{"walk", "w.ase"}};
    EXPECT_EQ(WriteEntityXmlFile(skin, lf).Text(),
              "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Entity>\n"
              "\t<Geometry Path=\"a.ase\"/>\n\t<Material Path=\"m.xml\"/>\n"
              "\t<Skeleton Path=\"s.ase\"/>\n\t<Animation>\n"
              "\t\t<Entry Name=\"walk\" Path=\"w.ase\"/>\n\t</Animation>\n</Entity>\n");

    LevelXmlDesc scene;
    scene.meshFile = "g.mesh";
    scene.materialFile = "g.xml";
    EXPECT_EQ(WriteLevelXmlFile(scene, lf).Text(),
              "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Scene>\n"
              "\t<Mesh PATH=\"g.mesh\"/>\n\t<Shader PATH=\"g.xml\"/>\n</Scene>\n");
    LevelXmlDesc entity = scene;
    entity.form = LevelXmlDesc::Form::Entity;
    entity.materialFile.clear();
    EXPECT_EQ(WriteLevelXmlFile(entity, lf).Text(),
              "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Entity>\n"
              "\t<Geometry Path=\"g.mesh\"/>\n</Entity>\n");
}

}  // namespace
