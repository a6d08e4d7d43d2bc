// Models from ASE text scenes: per-material meshes through the ".dml" text route, strip sets with
// their levels of detail, node transforms and parent indices, and animated objects with their
// animation resources and keys.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "Core/DeviceCaps.h"
#include "Entity/Geometry/AnimationManager.h"
#include "Entity/Geometry/AnimationTrack.h"
#include "Entity/Geometry/Ase/AseObject.h"
#include "Entity/Geometry/Ase/AseReader.h"
#include "Entity/Geometry/Geometry.h"
#include "Entity/Geometry/GeometryManager.h"
#include "Entity/Geometry/MeshSerializer.h"
#include "modelgen/AseFile.h"
#include "modelgen/DescriptionFiles.h"
#include "modelgen/Recipes.h"
#include "support/LogCapture.h"
#include "tests/Entity/Geometry/GeometryFixture.h"

namespace {

using namespace Zel;
namespace mg = ZelModelGen;

class AseModelTest : public ZelTest::GeometryTest {
protected:
    void SetUp() override {
        ZelTest::GeometryTest::SetUp();
        Manager().SetBasePath("");
    }

    GeometryManager& Manager() { return *G()->GetGeometryManager(); }
    AnimationManager& Animations() { return *G()->GetAnimationManager(); }
    MeshSerializer& Serializer() { return *G()->GetMeshSerializer(); }

    // Writes d/<name>.ase and d/<name>.dml naming it, then loads the model by its ".dml".
    Geometry* LoadModel(const mg::AseSceneDesc& scene, const std::string& name = "m") {
        EXPECT_TRUE(mg::WriteAseFile(scene).Save("d/" + name + ".ase"));
        mg::DmlDesc dml;
        dml.meshFile = name + ".ase";
        dml.materialFiles = {"lib.xml"};
        EXPECT_TRUE(mg::WriteDmlFile(dml).Save("d/" + name + ".dml"));
        const std::string path = "d/" + name + ".dml";
        return Manager().GetOrLoad(path, path);
    }

    static std::vector<float> Floats(const Mesh& mesh, std::uint32_t semantic) {
        const VertexComponentDataPool* c = mesh.GetVertexData()->FindComponent(semantic);
        if (!c)
            return {};
        return std::vector<float>(c->GetFloats(), c->GetFloats() + c->GetDataSize() / 4);
    }
};

mg::AseObjectDesc Triangle(const std::string& name, mg::Vec3 at) {
    mg::AseObjectDesc object;
    object.name = name;
    object.node.translation = at;
    mg::AseMeshDesc mesh;
    mesh.vertices = {at, {at.x + 1, at.y, at.z}, {at.x, at.y + 1, at.z}};
    mesh.faces = {{0, 1, 2, 1, 0}};
    object.mesh = mesh;
    return object;
}

TEST_F(AseModelTest, OneMaterialCubeIsOneMeshOfUnweldedCorners) {
    for (bool wide : {false, true}) {
        SCOPED_TRACE(wide ? "32-bit indices" : "16-bit indices");
        std::uint32_t& flags = G()->GetDeviceCaps()->featureFlags;
        flags = wide ? flags | DEVICE_INDEX_32 : flags & ~std::uint32_t(DEVICE_INDEX_32);
        mg::AseSceneDesc scene;
        scene.scene = mg::AseSceneInfo();
        scene.materials.resize(1);
        scene.materials[0].name = "stone";
        mg::AseObjectDesc cube;
        cube.name = "Cube";
        cube.mesh = mg::AseMeshFromMesh(mg::MakeCubeMesh(1, {0, 0, 0}, 1, "stone"));
        cube.materialRef = 0;
        scene.objects = {cube};
        Geometry* geometry = LoadModel(scene, wide ? "wide" : "narrow");
        ASSERT_NE(geometry, nullptr);
        ASSERT_TRUE(geometry->IsLoadSucceeded());
        ASSERT_EQ(geometry->GetMeshCount(), 1u);
        const Mesh& mesh = *geometry->GetMesh(0);
        EXPECT_EQ(mesh.GetMaterialName(), "stone");
        EXPECT_EQ(mesh.GetVertexCount(), 36u);
        EXPECT_EQ(mesh.GetFaceCount(), 12u);
        EXPECT_EQ(mesh.GetVertexData()->GetVertexCount(), 36u);
        std::vector<std::uint32_t> expected(36);
        for (std::uint32_t i = 0; i < 36; ++i) expected[i] = i;
        const IndexData& index = *mesh.GetIndexData();
        EXPECT_EQ(std::vector<std::uint32_t>(index.GetIndices(), index.GetIndices() + 36),
                  expected);
        ASSERT_NE(index.GetBuffer(), nullptr);
        EXPECT_EQ(index.GetBuffer()->Is32Bit(), wide);
        EXPECT_EQ(Indexes(*index.GetBuffer()), expected);
        ASSERT_NE(mesh.GetCurrentGroup(), nullptr);
        ASSERT_EQ(mesh.GetCurrentGroup()->entries.size(), 1u);
        const RenderGroupEntry& entry = mesh.GetCurrentGroup()->entries[0];
        EXPECT_EQ(entry.primitive, PT_TRIANGLE_LIST);
        EXPECT_EQ(entry.indexCount, 36u);
        EXPECT_EQ(entry.drawCount, 36u);
        EXPECT_EQ(mesh.GetCurrentGroup()->value, 12u);
        EXPECT_EQ(Floats(mesh, VF_POSITION).size(), 36u * 3);
        EXPECT_EQ(Floats(mesh, VF_NORMAL).size(), 36u * 3);
        EXPECT_EQ(Floats(mesh, VF_TEXCOORD0).size(), 36u * 2);
        EXPECT_EQ(Floats(mesh, VF_COLOUR).size(), 36u * 4);
        EXPECT_EQ(geometry->GetMaterialFiles(), (std::vector<std::string>{"d/lib.xml"}));
        EXPECT_EQ(geometry->GetParentIndices(), (std::vector<std::int32_t>{-1}));
        ASSERT_EQ(geometry->GetTranslations().size(), 1u);
        EXPECT_EQ(geometry->GetRotations()[0], (std::array<float, 4>{0, 0, 0, 1}));
        EXPECT_FLOAT_EQ(geometry->GetBounds().GetMax()[0], 1.0f);
        EXPECT_FLOAT_EQ(geometry->GetBounds().GetMin()[1], -1.0f);
    }
}

TEST_F(AseModelTest, FacesShareAMeshPerMaterialRecord) {
    struct Case {
        const char* what;
        int subMaterials;
        std::vector<int> ids;
        std::vector<std::string> meshes;  // material names in mesh order
    };
    const Case cases[] = {
        {"ids without sub-materials name the material itself", 0, {0, 1, 2}, {"top"}},
        {"two sub-materials in order of first use", 2, {1, 0, 1}, {"sub1", "sub0"}},
        {"an id past the sub-materials stays on the material", 1, {0, 5}, {"sub0", "top"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Manager().RemoveAll();
        mg::AseSceneDesc scene;
        scene.materials.resize(1);
        scene.materials[0].name = "top";
        for (int s = 0; s < c.subMaterials; ++s) {
            scene.materials[0].subMaterials.emplace_back();
            scene.materials[0].subMaterials.back().name = "sub" + std::to_string(s);
        }
        mg::AseObjectDesc object = Triangle("Tris", {0, 0, 0});
        object.mesh->faces.clear();
        for (int id : c.ids) object.mesh->faces.push_back({0, 1, 2, 1, id});
        object.materialRef = 0;
        scene.objects = {object};
        Geometry* geometry = LoadModel(scene);
        ASSERT_TRUE(geometry && geometry->IsLoadSucceeded());
        std::vector<std::string> names;
        std::uint32_t faces = 0;
        for (std::uint32_t i = 0; i < geometry->GetMeshCount(); ++i) {
            names.push_back(geometry->GetMesh(i)->GetMaterialName());
            faces += geometry->GetMesh(i)->GetFaceCount();
        }
        EXPECT_EQ(names, c.meshes);
        EXPECT_EQ(faces, c.ids.size());
    }
}

TEST_F(AseModelTest, StripsBecomeTriangles) {
    struct Case {
        const char* what;
        std::vector<std::vector<std::int32_t>> strips;
        std::vector<std::uint32_t> indices;
    };
    const Case cases[] = {
        {"the second triangle of a strip turns", {{0, 1, 2, 3}}, {0, 1, 2, 2, 1, 3}},
        {"a degenerate first position is dropped", {{0, 0, 1, 2}}, {1, 0, 2}},
        {"two indices give nothing", {{0, 1}}, {}},
        {"strips follow one another", {{0, 1, 2}, {3, 2, 1}}, {0, 1, 2, 3, 2, 1}},
    };
    AseObject object;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        AseStripSet set;
        set.vertexCount = 4;
        set.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}};
        for (const auto& s : c.strips) set.strips.push_back({1, 0, s});
        Mesh mesh(nullptr, true, true);
        ASSERT_TRUE(Serializer().BuildStripSetMesh(mesh, set, 0, object, false));
        const IndexData& index = *mesh.GetIndexData();
        const std::uint32_t* data = index.GetIndices();
        EXPECT_EQ(std::vector<std::uint32_t>(data, data + index.GetArraySize()), c.indices);
        EXPECT_EQ(mesh.GetFaceCount(), c.indices.size() / 3);
        EXPECT_EQ(mesh.GetRenderGroups().size(), c.indices.empty() ? 0u : 1u);
    }
}

TEST_F(AseModelTest, StripLevelsOfDetailAreFurtherGroups) {
    AseObject object;
    AseStripSet set;
    set.vertexCount = 4;
    set.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}};
    set.colors.assign(4, {1.0f, 0.5f, 0.0f, 1.0f});
    set.strips.push_back({1, 0, {0, 1, 2, 3}});
    AseLod lod;
    lod.stripLength = 3;
    lod.strip = {0, 1, 2};
    lod.triangleIndexCount = 3;
    lod.triangles = {1, 3, 2};
    set.lods.push_back(lod);

    Mesh mesh(nullptr, true, true);
    ASSERT_TRUE(Serializer().BuildStripSetMesh(mesh, set, 0, object, false));
    const IndexData& index = *mesh.GetIndexData();
    EXPECT_EQ(std::vector<std::uint32_t>(index.GetIndices(), index.GetIndices() + 12),
              (std::vector<std::uint32_t>{0, 1, 2, 2, 1, 3, 0, 1, 2, 1, 3, 2}));
    ASSERT_EQ(mesh.GetRenderGroups().size(), 2u);
    EXPECT_EQ(mesh.GetCurrentGroup(), mesh.GetRenderGroups()[0].get());
    const auto& lodGroup = *mesh.GetRenderGroups()[1];
    ASSERT_EQ(lodGroup.entries.size(), 2u);
    EXPECT_EQ(lodGroup.entries[0].primitive, PT_TRIANGLE_STRIP);
    EXPECT_EQ(lodGroup.entries[0].start, 6u * 4);
    EXPECT_EQ(lodGroup.entries[1].primitive, PT_TRIANGLE_LIST);
    EXPECT_EQ(lodGroup.entries[1].start, 9u * 4);
    EXPECT_EQ(lodGroup.value, 2u);
    EXPECT_EQ(Floats(mesh, VF_COLOUR).size(), 16u);

    // Strip LOD lists replace the LEVELOFDETAIL road: one list group each.
    set.stripLods = {{{1, 0, {3, 2, 1}}}};
    Mesh lists(nullptr, true, true);
    ASSERT_TRUE(Serializer().BuildStripSetMesh(lists, set, 0, object, false));
    ASSERT_EQ(lists.GetRenderGroups().size(), 2u);
    EXPECT_EQ(lists.GetRenderGroups()[1]->entries[0].start, 6u * 4);
    EXPECT_EQ(lists.GetIndexData()->GetArraySize(), 9u);
}

TEST_F(AseModelTest, StripSetsFromTheRecipeLoadThroughTheTextRoute) {
    const mg::MeshDesc ribbon = mg::MakeStripMesh();
    Geometry* geometry = LoadModel(mg::StripAseScene(ribbon));
    ASSERT_TRUE(geometry && geometry->IsLoadSucceeded());
    ASSERT_EQ(geometry->GetMeshCount(), 2u);
    // Set 0: the ribbon's four triangles and one from the strip with a degenerate start, and a
    // LEVELOFDETAIL group; set 1: a two-triangle strip and a strip LOD list.
    const Mesh& first = *geometry->GetMesh(0);
    EXPECT_EQ(first.GetFaceCount(), 5u);
    EXPECT_EQ(first.GetVertexCount(), ribbon.VertexCount());
    EXPECT_EQ(first.GetMaterialName(), "ribbon_mat");
    EXPECT_EQ(first.GetRenderGroups().size(), 2u);
    const Mesh& second = *geometry->GetMesh(1);
    EXPECT_EQ(second.GetFaceCount(), 2u);
    EXPECT_EQ(second.GetMaterialName(), "ribbon_lod_mat");
    EXPECT_EQ(second.GetRenderGroups().size(), 2u);
    EXPECT_EQ(geometry->GetParentIndices(), (std::vector<std::int32_t>{-1}));
}

// Object "Base" (static, at x = 5) before "Arm" (animated, a child of Base at x = 7): once any
// object is animated, every object is moved into its own space, so Base's positions are local too.
mg::AseSceneDesc AnimatedScene(bool withSceneBlock) {
    mg::AseSceneDesc scene;
    if (withSceneBlock) {
        scene.scene = mg::AseSceneInfo();
        scene.scene->lastFrame = 10;
    }
    mg::AseObjectDesc base = Triangle("Base", {5, 0, 0});
    mg::AseObjectDesc arm = Triangle("Arm", {7, 0, 0});
    arm.parent = "Base";
    mg::AseAnimationDesc animation;
    animation.positionController = mg::AseController::Linear;
    animation.positions = {{0, {7, 0, 0}}, {1600, {7, 2, 0}}};
    animation.rotationController = mg::AseController::Sample;
    animation.rotations = {{800, {0, 0, 1}, 0.5f}, {1600, {0, 0, 1}, 0.5f}};
    arm.animation = animation;
    scene.objects = {base, arm};
    return scene;
}

TEST_F(AseModelTest, AnimatedObjectGetsIdentityEntriesAndItsAnimation) {
    Geometry* geometry = LoadModel(AnimatedScene(true));
    ASSERT_TRUE(geometry && geometry->IsLoadSucceeded());
    ASSERT_EQ(geometry->GetMeshCount(), 2u);
    EXPECT_EQ(geometry->GetMesh(1)->GetGroupWord(), 1u);
    EXPECT_EQ(geometry->GetParentIndices(), (std::vector<std::int32_t>{-1, 0}));
    // Both objects are in their own space: the corners lie at the origin.
    for (std::uint32_t i = 0; i < 2; ++i) {
        const std::vector<float> p = Floats(*geometry->GetMesh(i), VF_POSITION);
        ASSERT_EQ(p.size(), 9u);
        EXPECT_NEAR(p[0], 0.0f, 1e-5f) << i;
        EXPECT_NEAR(p[3], 1.0f, 1e-5f) << i;
    }
    EXPECT_NEAR(geometry->GetTranslations()[0][0], 5.0f, 1e-5f);
    EXPECT_EQ(geometry->GetTranslations()[1], (std::array<float, 3>{0, 0, 0}));
    EXPECT_EQ(geometry->GetRotations()[1], (std::array<float, 4>{0, 0, 0, 1}));
    EXPECT_EQ(geometry->GetScales()[1], (std::array<float, 3>{1, 1, 1}));

    ASSERT_EQ(geometry->GetAnimations().size(), 1u);
    auto* track = dynamic_cast<AnimationTrack*>(Animations().GetByName("d/m.ase.animation1"));
    ASSERT_NE(track, nullptr);
    EXPECT_EQ(geometry->GetAnimations()[0].Get(), track);
    EXPECT_TRUE(track->IsLoadSucceeded());
    EXPECT_EQ(track->GetObjectIndex(), 1u);
    EXPECT_NEAR(track->GetBasePosition()[0], 2.0f, 1e-5f) << "the pose relative to Base";
    EXPECT_EQ(track->GetFrameCount(), 11u);
    EXPECT_NEAR(track->GetLength(), 10.0f / 30.0f, 1e-6f);

    const auto& positions = track->Positions();
    ASSERT_EQ(positions.keys.size(), 2u) << "keys at the start and the end need no insertion";
    EXPECT_NEAR(positions.keys[1].y, 2.0f, 1e-6f);
    EXPECT_NEAR(positions.keys[1].time, 10.0f / 30.0f, 1e-6f);
    EXPECT_EQ(positions.last, 1);
    EXPECT_EQ(positions.frameKeys.size(), 11u);
    EXPECT_EQ(positions.frameKeys[0], 0);
    EXPECT_EQ(positions.frameKeys[10], 1);

    // Rotation samples: a first key inserted at 0; the second sample turns on from the first.
    const auto& rotations = track->Rotations();
    ASSERT_EQ(rotations.keys.size(), 3u);
    EXPECT_EQ(rotations.firstKind, 3);
    EXPECT_EQ(rotations.keys[0].time, 0.0f);
    EXPECT_NEAR(rotations.keys[1].z, std::sin(0.25f), 1e-5f);
    EXPECT_NEAR(rotations.keys[2].z, std::sin(0.5f), 1e-5f) << "0.5 + 0.5 radians";
    EXPECT_NEAR(rotations.keys[2].time, 10.0f / 30.0f, 1e-6f);
    EXPECT_EQ(rotations.frameKeys[4], -1) << "before the file's first key";
    EXPECT_EQ(rotations.frameKeys[5], 0);

    // A second load of the same file shares the animation.
    Geometry* again = Manager().CreateUnique("d/m.dml", "d/m.dml", 0);
    again->Load("d/m.dml");
    ASSERT_TRUE(again->IsLoadSucceeded());
    EXPECT_EQ(again->GetAnimations()[0].Get(), track);
}

TEST_F(AseModelTest, ObjectSpaceTakesPositionsAndNormalsBackThroughTheNode) {
    Scene().SetDX7Mode(true);
    mg::AseObjectDesc object;
    object.name = "Turned";
    object.node.translation = {3, 4, 5};
    object.node.rotationAxis = {0, 0, 1};
    object.node.rotationAngle = 0.7f;
    const mg::Matrix4 node = object.node.Matrix();
    // The file holds world space: local x node (row vectors).
    const auto world = [&](mg::Vec3 p, float w) {
        float out[3];
        for (int c = 0; c < 3; ++c)
            out[c] =
                p.x * node.At(0, c) + p.y * node.At(1, c) + p.z * node.At(2, c) + w * node.At(3, c);
        return mg::Vec3{out[0], out[1], out[2]};
    };
    const mg::Vec3 local[3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    const mg::Vec3 normal{0.6f, 0.0f, 0.8f};
    mg::AseMeshDesc mesh;
    for (const mg::Vec3& p : local) mesh.vertices.push_back(world(p, 1));
    mesh.faces = {{0, 1, 2, 1, 0}};
    mesh.faceNormals = {world(normal, 0)};
    mesh.cornerNormals = {{world(normal, 0), world(normal, 0), world(normal, 0)}};
    mesh.colorVertices = {{1.0f, 0.5f, 0.0f}};
    mesh.colorFaces = {{0, 0, 0}};
    object.mesh = mesh;
    mg::AseAnimationDesc animation;
    animation.positions = {{0, {3, 4, 5}}};
    object.animation = animation;
    mg::AseSceneDesc scene;
    scene.scene = mg::AseSceneInfo();
    scene.objects = {object};

    Geometry* geometry = LoadModel(scene);
    ASSERT_TRUE(geometry && geometry->IsLoadSucceeded());
    const Mesh& built = *geometry->GetMesh(0);
    const std::vector<float> positions = Floats(built, VF_POSITION);
    const std::vector<float> normals = Floats(built, VF_NORMAL);
    ASSERT_EQ(positions.size(), 9u);
    ASSERT_EQ(normals.size(), 9u);
    for (int v = 0; v < 3; ++v) {
        EXPECT_NEAR(positions[3 * v], local[v].x, 1e-4f) << v;
        EXPECT_NEAR(positions[3 * v + 1], local[v].y, 1e-4f) << v;
        EXPECT_NEAR(positions[3 * v + 2], local[v].z, 1e-4f) << v;
        EXPECT_NEAR(normals[3 * v], normal.x, 1e-4f) << v;
        EXPECT_NEAR(normals[3 * v + 1], normal.y, 1e-4f) << v;
        EXPECT_NEAR(normals[3 * v + 2], normal.z, 1e-4f) << v;
    }
    const VertexComponentDataPool* colours = built.GetVertexData()->FindComponent(VF_DIFFUSE);
    ASSERT_NE(colours, nullptr);
    EXPECT_EQ(colours->GetWords()[2], 0xFFFF7F00u) << "packed ARGB, alpha 255";

    // A single position key animates nothing: the channel keeps no keys, the pose holds.
    auto* track = dynamic_cast<AnimationTrack*>(Animations().GetByName("d/m.ase.animation0"));
    ASSERT_NE(track, nullptr);
    EXPECT_EQ(track->GetPositionKeyCount(), 0u);
    EXPECT_NEAR(track->GetBasePosition()[1], 4.0f, 1e-5f);
    EXPECT_NEAR(track->GetBaseRotation()[2], std::sin(0.35f), 1e-5f);
}

TEST_F(AseModelTest, MissingFrameSettingsFallBackTo30FramesOf160Ticks) {
    Geometry* geometry = LoadModel(AnimatedScene(false));
    ASSERT_TRUE(geometry && geometry->IsLoadSucceeded());
    auto* track = dynamic_cast<AnimationTrack*>(Animations().GetByName("d/m.ase.animation1"));
    ASSERT_NE(track, nullptr);
    // Without a SCENE block the frame range is 0..0: every key is past the end.
    EXPECT_NEAR(track->Positions().keys[1].time, 1600.0f / (30 * 160), 1e-6f);
    EXPECT_NE(LogText().find("d/m.ase: node animation without frame settings plays at 30 frames "
                             "a second, 160 ticks a frame"),
              std::string::npos);
}

TEST_F(AseModelTest, AnimationLongerThanATrackHoldsIsRefusedAlone) {
    mg::AseSceneDesc scene = AnimatedScene(true);
    scene.scene->lastFrame = 2000000;
    Geometry* geometry = LoadModel(scene);
    ASSERT_TRUE(geometry && geometry->IsLoadSucceeded()) << "the meshes still load";
    EXPECT_EQ(geometry->GetMeshCount(), 2u);
    auto* track = dynamic_cast<AnimationTrack*>(Animations().GetByName("d/m.ase.animation1"));
    ASSERT_NE(track, nullptr);
    EXPECT_FALSE(track->IsLoaded());
    EXPECT_EQ(track->GetPositionKeyCount(), 0u);
    EXPECT_NE(LogText().find("node animation from frame 0 to 2000000"), std::string::npos);
}

TEST_F(AseModelTest, AnimationManagerMakesTracksThatLoadFromAse) {
    mg::AseSceneDesc scene = AnimatedScene(true);
    std::swap(scene.objects[0], scene.objects[1]);
    scene.objects[0].parent.clear();
    ASSERT_TRUE(mg::WriteAseFile(scene).Save("d/walk.ase"));
    ASSERT_TRUE(mg::WriteAseFile(AnimatedScene(true)).Save("d/still.ase"));

    auto* walk = dynamic_cast<AnimationTrack*>(Animations().Load("d/walk.ase"));
    ASSERT_NE(walk, nullptr);
    EXPECT_TRUE(walk->IsLoadSucceeded());
    EXPECT_EQ(walk->GetPositionKeyCount(), 2u);
    EXPECT_EQ(walk->GetRotationKeyCount(), 3u);
    EXPECT_EQ(walk->GetSize(), AnimationTrack::kBaseSize + 20 * 2 + 24 * 3);
    walk->Unload();
    EXPECT_EQ(walk->GetPositionKeyCount(), 0u);
    EXPECT_EQ(walk->GetFrameInterval(), AnimationTrack::kDefaultFrameInterval);

    // The first object of still.ase has no animation.
    CResource* still = Animations().Load("d/still.ase");
    ASSERT_NE(still, nullptr);
    EXPECT_FALSE(still->IsLoadSucceeded());
}

TEST_F(AseModelTest, UnreadableAseFailsTheTextRoute) {
    mg::DmlDesc dml;
    dml.meshFile = "gone.ase";
    dml.materialFiles = {"lib.xml"};
    ASSERT_TRUE(mg::WriteDmlFile(dml).Save("d/gone.dml"));
    Geometry* geometry = Manager().GetOrLoad("d/gone.dml", "d/gone.dml");
    ASSERT_NE(geometry, nullptr);
    EXPECT_FALSE(geometry->IsLoadSucceeded());
    EXPECT_EQ(geometry->GetMeshCount(), 0u);
    EXPECT_NE(LogText().find("读取ase文件失败，fn=d/gone.ase,错误类型:"), std::string::npos);
}

}  // namespace
