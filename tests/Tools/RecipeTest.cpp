// The recipes describe what they promise (mesh counts, 16- and 32-bit index ranges, companions that
// match their main files, strips as the ASE rules read them), every format of a recipe comes from
// the same description, and the command line writes them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "modelgen/ActorRecipe.h"
#include "modelgen/AseFile.h"
#include "modelgen/ModelFiles.h"
#include "modelgen/ModelGenCommand.h"
#include "modelgen/ModelMath.h"
#include "modelgen/Recipes.h"
#include "support/TempDir.h"

namespace {

using namespace ZelModelGen;

std::uint32_t Largest(const std::vector<std::uint32_t>& v) {
    return v.empty() ? 0 : *std::max_element(v.begin(), v.end());
}

TEST(Recipe, CubeHasSixteenAndThirtyTwoBitMeshesWithTwoGroupsEach) {
    GeometryDesc g = CubeGeometry({});
    ASSERT_EQ(g.parts.size(), 2u);
    const MeshDesc& narrow = std::get<MeshDesc>(g.parts[0]);
    const MeshDesc& wide = std::get<MeshDesc>(g.parts[1]);
    EXPECT_EQ(narrow.VertexCount(), 24u);
    EXPECT_EQ(narrow.indices.size(), 36u);
    EXPECT_LE(narrow.VertexCount(), 65536u);
    EXPECT_GT(wide.VertexCount(), 65536u);
    EXPECT_GT(Largest(wide.indices), 65535u);
    EXPECT_EQ(WideCubeSubdivisions(), 104u);
    for (const MeshDesc* m : {&narrow, &wide}) {
        EXPECT_LT(Largest(m->indices), m->VertexCount());
        EXPECT_LT(Largest(m->lodIndices), m->VertexCount());
        ASSERT_EQ(m->groups.size(), 2u);
        EXPECT_EQ(m->groups[0].entries[0].indexCount, m->indices.size());
        EXPECT_EQ(m->groups[0].primitiveCount, m->indices.size() / 3);
        EXPECT_EQ(m->groups[1].entries[0].indexCount, m->indices.size() / 2);
        // The companion's group starts where the main indices end.
        ASSERT_EQ(m->lodGroups.size(), 1u);
        EXPECT_EQ(m->lodGroups[0].entries[0].startByte, 4 * m->indices.size());
        EXPECT_EQ(m->lodGroups[0].entries[0].indexCount, m->lodIndices.size());
    }
    RecipeOptions three;
    three.meshCount = 3;
    three.wide = false;
    EXPECT_EQ(CubeGeometry(three).parts.size(), 3u);
}

TEST(Recipe, OneMaterialCubeAseHasTwelveFacesOverTwentyFourVertices) {
    RecipeOptions one;
    one.meshCount = 1;
    one.wide = false;
    AseSceneDesc scene = CubeAseScene(CubeGeometry(one));
    ASSERT_EQ(scene.objects.size(), 1u);
    ASSERT_EQ(scene.materials.size(), 1u);
    const AseMeshDesc& mesh = *scene.objects[0].mesh;
    EXPECT_EQ(mesh.faces.size(), 12u);
    EXPECT_EQ(mesh.vertices.size(), 24u);
    EXPECT_TRUE(std::all_of(mesh.faces.begin(), mesh.faces.end(),
                            [](const AseFace& f) { return f.materialId == 0; }));
    // The wide mesh stays out of the ASE.
    EXPECT_EQ(CubeAseScene(CubeGeometry({})).objects.size(), 1u);
}

TEST(Recipe, StripRibbonAndItsAseSets) {
    MeshDesc ribbon = MakeStripMesh();
    EXPECT_EQ(ribbon.indices, (std::vector<std::uint32_t>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(ribbon.groups[0].entries[0].primitive, 4u);
    AseSceneDesc scene = StripAseScene(ribbon);
    const AseStripsDesc& strips = *scene.objects.at(0).strips;
    ASSERT_EQ(strips.sets.size(), 2u);
    EXPECT_EQ(strips.sets[0].strips[0].indices, ribbon.indices);
    EXPECT_EQ(strips.sets[0].strips[1].indices, (std::vector<std::uint32_t>{0, 0, 1, 2}));
    EXPECT_EQ(strips.sets[0].lods.size(), 1u);
    EXPECT_EQ(strips.sets[1].strips[0].indices, (std::vector<std::uint32_t>{0, 1, 2, 3}));
    EXPECT_EQ(strips.sets[1].stripLods.size(), 1u);
    EXPECT_EQ(strips.sets[0].positions.size(), ribbon.positions.size());
}

TEST(Recipe, LevelGridTilesOccludersAndCounts) {
    RecipeOptions o;
    o.tiles = 3;
    LevelMeshDesc level = LevelGrid(o);
    EXPECT_EQ(level.meshes.size(), 9u);
    for (const MeshDesc& m : level.meshes) {
        EXPECT_EQ(m.colours.size(), m.VertexCount());
        EXPECT_EQ(m.faceVectors.size(), m.indices.size() / 3);
        EXPECT_LT(Largest(m.indices), m.VertexCount());
    }
    ASSERT_EQ(level.occluders.size(), 2u);
    EXPECT_EQ(level.points.size(), 4u);
}

// Each wall is a mesh seen from both sides and an occluder whose corners already go round the
// quad as c0, c2, c3, c1: the reader swaps corners 2 and 3 of a quad that does not, which would
// turn the occluder into a bow tie.
TEST(Recipe, LevelWallsAreTwoSidedMeshesAndOccludersInReaderOrder) {
    RecipeOptions o;
    o.tiles = 2;
    o.tileSize = 3.0f;
    o.levelOrigin = {-3.0f, 0.5f, -3.0f};
    o.levelWalls = true;
    LevelMeshDesc level = LevelGrid(o);
    ASSERT_EQ(level.meshes.size(), 4u + 5u);
    ASSERT_EQ(level.occluders.size(), 5u);
    EXPECT_FLOAT_EQ(level.meshes[0].positions[0].x, -3.0f);
    EXPECT_FLOAT_EQ(level.meshes[0].positions[0].y, 0.5f);
    auto cross = [](Vec3 a, Vec3 b) {
        return Vec3{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
    };
    for (std::size_t w = 0; w < 5; ++w) {
        SCOPED_TRACE(w);
        const MeshDesc& wall = level.meshes[4 + w];
        EXPECT_EQ(wall.material, "grid_wall");
        EXPECT_EQ(wall.indices.size(), 12u);
        EXPECT_EQ(wall.faceVectors.size(), 4u);
        const Vec3* c = level.occluders[w].corners;
        const Vec3 a = Minus(c[1], c[0]), b = Minus(c[2], c[1]), d = Minus(c[3], c[2]);
        const Vec3 ab = cross(a, b), bd = cross(b, d);
        EXPECT_LE(ab.x * bd.x + ab.y * bd.y + ab.z * bd.z, 0.0f);
        const Vec3 q = level.occluders[w].q;
        EXPECT_NEAR(q.x * q.x + q.y * q.y + q.z * q.z, 1.0f, 1e-5f);
    }
}

TEST(Recipe, CompanionHasOneBlockPerMeshTheReaderMeets) {
    BodyPartDesc part = BodyPartModel();
    std::vector<const MeshDesc*> meshes = CompanionMeshes(part);
    ASSERT_EQ(meshes.size(), 1u);
    EXPECT_EQ(meshes[0], &std::get<SkinDesc>(part.skins[0].skin.geometry.parts[0]).mesh);
    WrittenFile lod = WriteLodCompanion(meshes);
    EXPECT_NE(lod.Find("mesh0/lod2"), nullptr);  // numbered after the main file's two groups
    EXPECT_EQ(CompanionMeshes(ClothModel()).size(), 2u);  // the cloth mesh and its sub-mesh
}

TEST(Recipe, SkinnedModelSkeletonActionAndTextForms) {
    SkinnedGeometryDesc model = SkinnedModel();
    ASSERT_TRUE(model.skeleton);
    EXPECT_EQ(model.skeleton->bones.size(), 3u);
    EXPECT_EQ(model.skeleton->leftFootId, 2);
    const ActionDesc& walk = model.actions.at(0);
    for (const AnimTrackDesc& t : walk.tracks) {
        EXPECT_EQ(t.keys.positionFrames.size(), t.frameCount);
        EXPECT_EQ(t.keys.rotationFrames.size(), t.frameCount);
        EXPECT_EQ(t.keys.rotationFrames[15], 1u);
        EXPECT_EQ(t.keys.rotationFrames.back(), 2u);
    }
    AseSceneDesc skeleton = SkeletonAseScene(*model.skeleton);
    ASSERT_EQ(skeleton.objects.size(), 3u);
    EXPECT_EQ(skeleton.objects[1].parent, "Bip01");
    EXPECT_EQ(skeleton.objects[1].node.Matrix().At(3, 2), 1.5f);
    AseSceneDesc skin = SkinAseScene(model);
    const AseStripSetDesc& set = skin.objects.at(0).strips->sets.at(0);
    ASSERT_EQ(set.weights.size(), set.positions.size());
    EXPECT_EQ(set.weights[0][0].bone, "Bip01");
    AseSceneDesc action = ActionAseScene(*model.skeleton, walk);
    EXPECT_EQ(action.objects[2].animation->positions.back().time, 4800);
    EXPECT_EQ(action.objects[2].animation->rotations[1].angle, 0.5f);
}

TEST(Recipe, EveryRecipeWritesItsFilesThroughTheCommandLine) {
    ZelTest::TempDir dir;
    std::ostringstream out, err;
    ASSERT_EQ(RunModelGen({"list"}, out, err), 0);
    for (const std::string& name : RecipeNames()) {
        EXPECT_NE(out.str().find(name + "\n"), std::string::npos);
        std::string folder = (dir.Path() / name).string();
        std::ostringstream written;
        ASSERT_EQ(RunModelGen({"write", name, folder, "--narrow", "--lf"}, written, err), 0) << err.str();
        RecipeOptions o;
        o.wide = false;
        o.text.crlf = false;
        for (const RecipeFile& f : MakeRecipe(name, o)) {
            std::filesystem::path p = std::filesystem::path(folder) / f.name;
            ASSERT_TRUE(std::filesystem::exists(p)) << p;
            EXPECT_EQ(std::filesystem::file_size(p), f.file.bytes.size()) << p;
            EXPECT_NE(written.str().find(f.name + " " + std::to_string(f.file.bytes.size())),
                      std::string::npos);
        }
    }
}

TEST(Recipe, LineEndOptionChangesOnlyTheLineEnds) {
    RecipeOptions crlf, lf;
    lf.text.crlf = false;
    std::vector<RecipeFile> a = MakeRecipe("skinned", crlf), b = MakeRecipe("skinned", lf);
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].name.find(".ase") == std::string::npos && a[i].name.find(".chr") == std::string::npos) {
            EXPECT_EQ(a[i].file.bytes, b[i].file.bytes) << a[i].name;
            continue;
        }
        std::string text = a[i].file.Text();
        text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
        EXPECT_EQ(text, b[i].file.Text()) << a[i].name;
    }
}

TEST(Recipe, CommandLineRefusesBadArguments) {
    std::ostringstream out, err;
    EXPECT_EQ(RunModelGen({}, out, err), 2);
    EXPECT_EQ(RunModelGen({"write", "cube"}, out, err), 2);
    EXPECT_EQ(RunModelGen({"write", "nothing", "/tmp/x"}, out, err), 2);
    EXPECT_EQ(RunModelGen({"write", "cube", "/tmp/x", "--meshes"}, out, err), 2);
    EXPECT_EQ(RunModelGen({"write", "cube", "/tmp/x", "--meshes", "two"}, out, err), 2);
    EXPECT_EQ(RunModelGen({"write", "cube", "/tmp/x", "--colour"}, out, err), 2);
    EXPECT_EQ(RunModelGen({"dump"}, out, err), 2);
    EXPECT_EQ(RunModelGen({"frobnicate"}, out, err), 2);
    EXPECT_THROW(MakeRecipe("nothing"), std::invalid_argument);
}

}  // namespace

// The figure look through the command line: the same files as the recipe with the option, and
// the skirt beside part 5 that only the figure has.
TEST(Recipe, TheFigureOptionWritesTheFigureActor) {
    ZelTest::TempDir dir;
    const std::string folder = (dir.Path() / "figure").string();
    std::ostringstream written, err;
    ASSERT_EQ(RunModelGen({"write", "actor", folder, "--figure"}, written, err), 0) << err.str();
    RecipeOptions figure;
    figure.actorLook = ActorLook::Figure;
    const std::vector<RecipeFile> files = MakeRecipe("actor", figure);
    for (const RecipeFile& f : files)
        EXPECT_EQ(std::filesystem::file_size(std::filesystem::path(folder) / f.name),
                  f.file.bytes.size())
            << f.name;
    auto named = [](const std::vector<RecipeFile>& list, const std::string& name) {
        return std::any_of(list.begin(), list.end(),
                           [&](const RecipeFile& f) { return f.name == name; });
    };
    EXPECT_TRUE(named(files, "part5_cloth.bp3"));
    EXPECT_FALSE(named(MakeRecipe("actor"), "part5_cloth.bp3"));
}

// The walk moves a figure part only through the bones its vertices are bound to: each part is
// bound whole to the bones of its body region, every bound bone is in the palette, and the
// texture coordinates stay inside the body texture.
TEST(Recipe, FigurePartsAreBoundToTheBonesOfTheirRegion) {
    struct Case {
        std::uint32_t part;
        std::vector<std::string> bones;
    };
    const Case cases[] = {
        {0, {"Bip01 Head"}},
        {1, {"Bip01 Neck", "Bip01 L UpperArm", "Bip01 R UpperArm"}},
        {2, {"Bip01 Head"}},
        {3, {"Bip01 Spine1"}},
        {4, {"Bip01 Pelvis"}},
        {5, {"Bip01 L Hand", "Bip01 R Hand"}},
        {6, {"Bip01 L Thigh", "Bip01 L Foot", "Bip01 R Thigh", "Bip01 R Foot"}},
        {7, {"Bip01 L Foot"}},
        {8, {"Bip01 R Foot"}},
    };
    for (const Case& c : cases) {
        const BodyPartDesc part = ActorBodyPart(c.part, 0, ActorLook::Figure);
        ASSERT_EQ(part.skins.size(), 1u) << c.part;
        ASSERT_EQ(part.skins[0].skin.geometry.parts.size(), 1u) << c.part;
        const SkinDesc& skin = std::get<SkinDesc>(part.skins[0].skin.geometry.parts[0]);
        std::vector<std::uint32_t> expected;
        for (const std::string& bone : c.bones) {
            ASSERT_GE(ActorBoneIndex(bone), 0) << bone;
            expected.push_back(static_cast<std::uint32_t>(ActorBoneIndex(bone)));
        }
        EXPECT_EQ(skin.palette, expected) << c.part;
        ASSERT_EQ(skin.blend.size(), skin.mesh.positions.size()) << c.part;
        for (const BlendRecord& record : skin.blend) {
            EXPECT_EQ(record.count, 1) << c.part;
            EXPECT_EQ(record.weights[0], 1.0f) << c.part;
            EXPECT_NE(std::find(expected.begin(), expected.end(), record.bones[0]), expected.end())
                << c.part;
        }
        for (const Vec2& uv : skin.mesh.uv0) {
            EXPECT_TRUE(uv.x > 0.0f && uv.x < 1.0f && uv.y > 0.0f && uv.y < 1.0f) << c.part;
        }
        EXPECT_EQ(skin.mesh.indices.size() % 3, 0u) << c.part;
    }
}
