// Geometry resources loaded through the geometry manager: the ".dm3" chunk stream with its meshes,
// LOD strips and 16- or 32-bit index buffers, the ".dm2" fallback, the text route, the switches
// that steer the road, the kinds by name, and the fault tables (tags, size words, truncation).
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "Core/DeviceCaps.h"
#include "Core/GlobalConfigManager.h"
#include "Entity/Geometry/AnimationManager.h"
#include "Entity/Geometry/Geometry.h"
#include "Entity/Geometry/GeometryKind.h"
#include "Entity/Geometry/GeometryManager.h"
#include "Entity/Geometry/IOGeometryBin.h"
#include "Entity/Geometry/IOMeshBin.h"
#include "Entity/Geometry/LodCompanion.h"
#include "modelgen/ChunkWriters.h"
#include "modelgen/DescriptionFiles.h"
#include "modelgen/Dm2File.h"
#include "modelgen/ModelFiles.h"
#include "modelgen/Recipes.h"
#include "support/LogCapture.h"
#include "tests/Entity/Geometry/ImageOwnerPart.h"
#include "tests/Entity/Geometry/ChunkStreamFixture.h"
#include "tests/Entity/Geometry/GeometryFixture.h"

namespace {

using namespace Zel;
namespace mg = ZelModelGen;
using ZelTest::ImageOwnerPart;

class GeometryLoadTest : public ZelTest::GeometryTest {
protected:
    void SetUp() override {
        ZelTest::GeometryTest::SetUp();
        Manager().SetBasePath("");
    }

    GeometryManager& Manager() { return *G()->GetGeometryManager(); }
    GlobalConfigManager& Config() { return *G()->GetConfigManager(); }

    void Use32BitIndices(bool on) {
        std::uint32_t& flags = G()->GetDeviceCaps()->featureFlags;
        flags = on ? flags | DEVICE_INDEX_32 : flags & ~std::uint32_t(DEVICE_INDEX_32);
    }

    // Writes the model's files under d/ as a.dm3, a.dm2 and a.dml, as asked.
    static void Save(const mg::GeometryDesc& g, bool dm3, bool dm2, bool dml) {
        if (dm3) {
            ASSERT_TRUE(mg::WriteGeometryFile(g).Save("d/a.dm3"));
        }
        if (dm2) {
            ASSERT_TRUE(mg::WriteDm2File(g).Save("d/a.dm2"));
        }
        if (dml) {
            mg::DmlDesc desc;
            desc.meshFile = "a.ase";
            desc.materialFiles = {"lib.xml"};
            ASSERT_TRUE(mg::WriteDmlFile(desc).Save("d/a.dml"));
        }
    }

    // Whether the geometry loaded and holds a mesh per part.
    static void ExpectLoaded(const Geometry* geometry, std::size_t meshes) {
        ASSERT_NE(geometry, nullptr);
        EXPECT_TRUE(geometry->IsLoaded());
        EXPECT_TRUE(geometry->IsLoadSucceeded());
        EXPECT_EQ(geometry->GetMeshCount(), meshes);
    }

    // A failed load: registered, loaded, not load-ok, nothing left in it.
    void ExpectFailedEmpty(const char* name, const char* what) {
        auto* geometry = static_cast<Geometry*>(Manager().GetByName(name));
        ASSERT_NE(geometry, nullptr) << what;
        EXPECT_TRUE(geometry->IsLoaded()) << what;
        EXPECT_FALSE(geometry->IsLoadSucceeded()) << what;
        EXPECT_EQ(geometry->GetMeshCount(), 0u) << what;
        EXPECT_TRUE(geometry->GetMaterialFiles().empty()) << what;
        EXPECT_EQ(geometry->GetMatrixCount(), 0u) << what;
        EXPECT_EQ(geometry->GetSizeField(), Geometry::kBaseSize) << what;
    }

    // Checks mesh i against its description: counts, words, groups, components and indices.
    static void ExpectMesh(const Mesh& mesh, const mg::MeshDesc& desc, std::uint32_t i) {
        SCOPED_TRACE("mesh " + std::to_string(i));
        EXPECT_EQ(mesh.GetName(), "Mesh" + std::to_string(i));
        EXPECT_EQ(mesh.GetMaterialName(), desc.material);
        EXPECT_EQ(mesh.GetVertexCount(), desc.VertexCount());
        EXPECT_EQ(mesh.GetFaceCount(), desc.FaceCount());
        EXPECT_EQ(mesh.GetWord(0), desc.FaceCount());
        EXPECT_EQ(mesh.GetGroupWord(), desc.groupWord);
        EXPECT_EQ(mesh.GetSortKey(), i);
        EXPECT_EQ(mesh.GetBounds().GetMax()[0], desc.BoxMax().x);
        ASSERT_EQ(mesh.GetRenderGroups().size(), desc.groups.size());
        EXPECT_EQ(mesh.GetCurrentGroup(), mesh.GetRenderGroups()[0].get());
        for (std::size_t g = 0; g < desc.groups.size(); ++g) {
            const LodStripArray& group = *mesh.GetRenderGroups()[g];
            EXPECT_EQ(group.value, desc.groups[g].primitiveCount);
            ASSERT_EQ(group.entries.size(), desc.groups[g].entries.size());
            for (std::size_t e = 0; e < group.entries.size(); ++e) {
                const mg::LodEntry& want = desc.groups[g].entries[e];
                const RenderGroupEntry& got = group.entries[e];
                EXPECT_EQ(got.primitive, want.primitive);
                EXPECT_EQ(got.indexCount, want.indexCount);
                EXPECT_EQ(got.drawCount, want.drawCount);
                EXPECT_EQ(got.start, want.startByte);
            }
        }
        const VertexData& data = *mesh.GetVertexData();
        EXPECT_EQ(data.GetVertexCount(), desc.VertexCount());
        const std::vector<mg::PoolDesc> pools = mg::PoolsOf(desc);
        ASSERT_EQ(data.GetComponents().size(), pools.size());
        for (std::size_t p = 0; p < pools.size(); ++p) {
            const VertexComponentDataPool& c = *data.GetComponents()[p];
            EXPECT_EQ(c.semantic, pools[p].semantic);
            EXPECT_EQ(c.type, pools[p].elementType);
            ASSERT_EQ(c.GetDataSize(), pools[p].data.size());
            EXPECT_EQ(std::memcmp(c.GetData(), pools[p].data.data(), c.GetDataSize()), 0);
        }
        const IndexData& index = *mesh.GetIndexData();
        ASSERT_EQ(index.GetArraySize(), desc.indices.size());
        EXPECT_TRUE(std::equal(desc.indices.begin(), desc.indices.end(), index.GetIndices()));
        ASSERT_NE(index.GetBuffer(), nullptr);
        EXPECT_EQ(index.GetBuffer()->GetIndexCount(), desc.indices.size());
    }
};

// Two meshes, the second wide enough to need 32-bit indices; two LOD strips each.
mg::GeometryDesc Cube(bool wide) {
    mg::RecipeOptions options;
    options.wide = wide;
    return mg::CubeGeometry(options);
}

// ---- The load road ----

TEST_F(GeometryLoadTest, Dm3ThroughTheManagerWith32BitIndices) {
    Use32BitIndices(true);
    const mg::GeometryDesc desc = Cube(true);
    Save(desc, true, true, true);
    Geometry* geometry = Manager().GetOrLoad("d/a.dml", "d/a.dml");
    ExpectLoaded(geometry, 2);
    EXPECT_EQ(Manager().GetByName("d/a.dml"), geometry);
    EXPECT_EQ(geometry->GetLoadPath(), "d/a.dml") << "the path is put back";
    EXPECT_EQ(geometry->GetResourceWord(), 7u);
    EXPECT_EQ(geometry->GetHeaderWords()[4], 5u);
    EXPECT_EQ(geometry->GetMatrixCount(), 1u);
    EXPECT_EQ(std::memcmp(geometry->GetMatrixSlot(0).m, desc.matrices[0].m.data(), 64), 0);
    EXPECT_EQ(geometry->GetExtraWords(), (std::vector<std::uint32_t>{0, 1}));
    ASSERT_EQ(geometry->GetTranslations().size(), 2u);
    EXPECT_EQ(geometry->GetTranslations()[1][0], 3.0f);
    EXPECT_EQ(geometry->GetMaterialFiles(), (std::vector<std::string>{"d/cube_mat.xml"}));
    EXPECT_EQ(geometry->GetBounds().GetMax()[0], 4.0f);
    std::uint32_t size = Geometry::kBaseSize;
    for (std::uint32_t i = 0; i < 2; ++i) {
        const Mesh& mesh = *geometry->GetMesh(i);
        ExpectMesh(mesh, std::get<mg::MeshDesc>(desc.parts[i]), i);
        EXPECT_TRUE(mesh.GetIndexData()->GetBuffer()->Is32Bit());
        size += mesh.GetMemorySize();
    }
    const auto& wide = std::get<mg::MeshDesc>(desc.parts[1]);
    EXPECT_EQ(Indexes(*geometry->GetMesh(1)->GetIndexData()->GetBuffer()), wide.indices);
    EXPECT_EQ(geometry->GetSizeField(), size);
    EXPECT_EQ(Manager().GetOrLoad("d/a.dml", "d/a.dml"), geometry) << "found, not loaded again";
}

TEST_F(GeometryLoadTest, SixteenBitDevicesKeepTheLowBitsInTheBuffer) {
    Use32BitIndices(false);
    const mg::GeometryDesc desc = Cube(true);
    Save(desc, true, false, false);
    Geometry* geometry = Manager().GetOrLoad("d/a.dm3", "d/a.dm3");
    ExpectLoaded(geometry, 2);
    const auto& wide = std::get<mg::MeshDesc>(desc.parts[1]);
    const IndexData& index = *geometry->GetMesh(1)->GetIndexData();
    EXPECT_FALSE(index.GetBuffer()->Is32Bit());
    std::vector<std::uint32_t> low;
    for (std::uint32_t i : wide.indices) low.push_back(i & 0xFFFF);
    EXPECT_EQ(Indexes(*index.GetBuffer()), low);
    EXPECT_TRUE(std::equal(wide.indices.begin(), wide.indices.end(), index.GetIndices()))
        << "the array keeps every bit";
}

TEST_F(GeometryLoadTest, Dm2IsTheFallbackWhenTheDm3IsAbsent) {
    Use32BitIndices(true);
    const mg::GeometryDesc desc = Cube(false);
    Save(desc, false, true, true);
    Geometry* geometry = Manager().GetOrLoad("d/a.dml", "d/a.dml");
    ExpectLoaded(geometry, 2);
    EXPECT_EQ(geometry->GetLoadPath(), "d/a.dml");
    EXPECT_EQ(geometry->GetMesh(1)->GetName(), "Cube1") << "the .dm2 names its meshes";
    EXPECT_EQ(geometry->GetMaterialFiles(), (std::vector<std::string>{"cube_mat.xml"}));
    ASSERT_EQ(geometry->GetTranslations().size(), 2u);
    EXPECT_EQ(geometry->GetExtraWords().size(), 2u);
    EXPECT_EQ(geometry->GetMatrixCount(), 1u);
    EXPECT_EQ(geometry->GetHeaderWords()[0], 1u);
    EXPECT_EQ(geometry->GetBounds().GetMin()[0], -1.0f);
    EXPECT_EQ(geometry->GetBounds().GetMax()[0], 4.0f);
}

TEST_F(GeometryLoadTest, ABrokenDm3LeavesNothingForTheDm2) {
    Use32BitIndices(true);
    mg::GeometryDesc desc = Cube(false);
    Save(desc, false, true, true);
    desc.boxMax = mg::Vec3{100, 100, 100};
    ASSERT_TRUE(mg::WriteGeometryFile(desc, mg::FaultPlan().TruncateAtSection("geometry/part1", 40))
                    .Save("d/a.dm3"));
    Geometry* geometry = Manager().GetOrLoad("d/a.dml", "d/a.dml");
    ExpectLoaded(geometry, 2);
    EXPECT_EQ(geometry->GetMesh(0)->GetName(), "Cube0") << "the meshes of the .dm2";
    EXPECT_EQ(geometry->GetBounds().GetMax()[0], 4.0f) << "not the .dm3's box";
    EXPECT_EQ(geometry->GetExtraWords().size(), 2u) << "not the .dm3's lists as well";
}

TEST_F(GeometryLoadTest, TheTextRouteFailsWithoutItsAse) {
    Save(Cube(false), false, false, true);
    Geometry* geometry = Manager().GetOrLoad("d/a.dml", "d/a.dml");
    ASSERT_NE(geometry, nullptr);
    ExpectFailedEmpty("d/a.dml", "text route");
    EXPECT_NE(LogText().find("dml格式错误，fn=d/a.dml"), std::string::npos);
}

TEST_F(GeometryLoadTest, SwitchesSteerTheRoad) {
    Save(Cube(false), true, false, true);
    struct Case {
        const char* what;
        std::uint32_t switchIndex;
        std::int32_t value;
        const char* name;
        bool ok;
        std::uint32_t meshes;
    };
    const Case cases[] = {
        {"54 leaves the geometry empty", Geometry::kSkipCreateSwitch, 1, "d/a.dml", true, 0},
        {"3 off skips the binary siblings", 3, 0, "d/a.dml", false, 0},
        {"35 loads the default model instead", Geometry::kDefaultModelSwitch, 1, "d/a.dm3", false,
         0},
        {"an explicit .dm3 needs no switch", 3, 0, "d/a.dm3", true, 2},
    };
    for (const Case& c : cases) {
        Manager().RemoveAll();
        Config().SetDefaults();
        Config().SetValue(c.switchIndex, c.value);
        Geometry* geometry = Manager().GetOrLoad(c.name, c.name);
        ASSERT_NE(geometry, nullptr) << c.what;
        EXPECT_EQ(geometry->IsLoadSucceeded(), c.ok) << c.what;
        EXPECT_EQ(geometry->GetMeshCount(), c.meshes) << c.what;
        EXPECT_EQ(geometry->GetLoadPath(), c.name) << c.what;
        if (c.ok && c.meshes == 0) {
            EXPECT_EQ(geometry->GetSizeField(), Geometry::kBaseSize) << c.what;
        }
    }
    EXPECT_NE(LogText().find(std::string("dml格式错误，fn=") + Geometry::kDefaultModelPath),
              std::string::npos);
}

TEST_F(GeometryLoadTest, MeshForms) {
    Use32BitIndices(true);
    mg::GeometryDesc desc = Cube(false);
    auto& systemMemory = std::get<mg::MeshDesc>(desc.parts[0]);
    systemMemory.vertexKind = 2;
    auto& indicesOnly = std::get<mg::MeshDesc>(desc.parts[1]);
    indicesOnly.writeVertexBuffer = false;
    Save(desc, true, false, false);
    Geometry* geometry = Manager().GetOrLoad("d/a.dm3", "d/a.dm3");
    ExpectLoaded(geometry, 2);
    const VertexData& first = *geometry->GetMesh(0)->GetVertexData();
    EXPECT_EQ(first.GetKind(), 2u);
    EXPECT_EQ(first.GetComponents().size(), mg::PoolsOf(systemMemory).size());
    const Mesh& second = *geometry->GetMesh(1);
    EXPECT_TRUE(second.GetVertexData()->GetComponents().empty());
    EXPECT_EQ(second.GetIndexData()->GetArraySize(), indicesOnly.indices.size());

    mg::GeometryDesc empty;
    empty.materialFiles = {"m.xml"};
    ASSERT_TRUE(mg::WriteGeometryFile(empty).Save("d/e.dm3"));
    Geometry* none = Manager().GetOrLoad("d/e.dm3", "d/e.dm3");
    ExpectLoaded(none, 0);
    EXPECT_EQ(none->GetMaterialFiles(), (std::vector<std::string>{"d/m.xml"}));
}

TEST_F(GeometryLoadTest, AMeshWithItsLodCompanion) {
    Use32BitIndices(true);
    mg::MeshDesc desc = mg::MakeCubeMesh(1, mg::Vec3{0, 0, 0}, 1, "stone");
    struct Case {
        const char* what;
        std::optional<std::uint32_t> baseCount;
        std::uint32_t mismatch;
    };
    const Case cases[] = {{"matching base", std::nullopt, 0}, {"base count off by one", 35, 1}};
    for (const Case& c : cases) {
        desc.lodBaseIndexCount = c.baseCount;
        desc.lodClearBytes = 8;
        const mg::FaultPlan none;
        mg::ChunkStreamWriter w(none);
        mg::WriteMeshChunk(w, desc, "mesh");
        ZelTest::StreamPtr main = ZelTest::MemoryStream(w.Finish().bytes, "d/a.bp3");
        ZelTest::StreamPtr lod =
            ZelTest::MemoryStream(mg::WriteLodCompanion({&desc}).bytes, "d/a_lod.lod");
        Scene().SetLodMismatch(0);
        Mesh mesh(nullptr, "m", true, true);
        {
            LodCompanion companion("d/a_lod.lod", lod.get());
            ASSERT_TRUE(IOMeshBin::Read(mesh, main.get())) << c.what;
        }
        EXPECT_EQ(mesh.GetRenderGroups().size(), desc.groups.size() + desc.lodGroups.size())
            << c.what;
        std::vector<std::uint32_t> all = desc.indices;
        all.insert(all.end(), desc.lodIndices.begin(), desc.lodIndices.end());
        if (c.mismatch)
            all[desc.indices.size()] = all[desc.indices.size() + 1] = 0;
        EXPECT_EQ(Indexes(*mesh.GetIndexData()->GetBuffer()), all) << c.what;
        EXPECT_EQ(Scene().GetLodMismatch(), c.mismatch) << c.what;
    }
}

// ---- Kinds ----

TEST_F(GeometryLoadTest, KindsByName) {
    const std::pair<const char*, std::uint32_t> cases[] = {
        {"a.dml", 0},  {"a.DML", 0},     {"a.Dml", 3},  {"a.dm2.bak", 1}, {"a.DM3", 2},
        {"a.Dm3", 3},  {"a.dml.xml", 0}, {"a.chr", 4},  {"a.CH2", 5},     {"a.ch3", 6},
        {"a.act", 10}, {"a.AC2", 11},    {"a.ac3", 12}, {"a.xml", 13},    {"a.CL3", 14},
        {"a.bp4", 15}, {"a.BP5", 15},    {"level", 3},
    };
    for (const auto& [name, kind] : cases) EXPECT_EQ(GetGeometryKindByName(name), kind) << name;
}

TEST_F(GeometryLoadTest, KindsCreateTheirClassOrNothing) {
    // The kind each class reports: deformed geometry reports 3, the cloth kinds 13.
    const std::uint32_t reported[GEOMETRY_KIND_COUNT] = {0,  0,  0,  3,  4,  4,  4,  3,  3,  3,
                                                         10, 10, 10, 13, 13, 15, 16, 17, 13, 19};
    for (std::uint32_t kind = 0; kind <= GEOMETRY_KIND_COUNT; ++kind) {
        std::unique_ptr<Geometry> made(Manager().CreateByKind("k", "k.dm3", kind));
        EXPECT_EQ(made != nullptr, kind < GEOMETRY_KIND_COUNT) << kind;
        if (made) {
            EXPECT_EQ(made->GetKind(), reported[kind]) << kind;
            EXPECT_EQ(made->GetLoadPath(), "k.dm3");
            EXPECT_EQ(made->GetGroup(), "Geometry");
        }
    }
    EXPECT_EQ(Manager().GetOrLoadByKind("x", "x.dm3", 20), nullptr);
    EXPECT_EQ(Manager().GetByName("x"), nullptr);
    EXPECT_EQ(Manager().GetOrLoad("level", "level")->GetKind(), 3u);
    Geometry* first = Manager().CreateUnique("u.dml", "u.dml", 0);
    Geometry* second = Manager().CreateUnique("u.dml", "u.dml", 0);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_EQ(second->GetName(), "u.dml_1");
    EXPECT_EQ(Manager().Create("u.dml", "u.dml"), first);
}

TEST_F(GeometryLoadTest, MonitorAnswersWithoutBodyParts) {
    Save(Cube(false), true, false, false);
    ExpectLoaded(Manager().GetOrLoad("d/a.dm3", "d/a.dm3"), 2);
    EXPECT_EQ(Manager().CountBodyParts(), 0u);
    EXPECT_EQ(Manager().BodyPartMemory(), 0u);
    EXPECT_EQ(Manager().CountStaticGeometries(), 0u);
    EXPECT_EQ(Manager().StaticGeometryMemory(), 0u);
    Manager().DumpGeometries(nullptr);
    Manager().DumpGeometries("dump.txt");
    std::ifstream dump("dump.txt");
    ASSERT_TRUE(dump.is_open());
    EXPECT_EQ(dump.peek(), std::ifstream::traits_type::eof());
}

TEST_F(GeometryLoadTest, BodyPartImagesAreReleasedByClassNameAndOwner) {
    Save(Cube(false), true, false, false);
    ExpectLoaded(Manager().GetOrLoad("d/a.dm3", "d/a.dm3"), 2);
    auto* head = new ImageOwnerPart(Manager(), "parts\\head_01.bp3", 7);
    auto* headOfNone = new ImageOwnerPart(Manager(), "parts\\head_02.bp3", -1);
    auto* headOf9 = new ImageOwnerPart(Manager(), "parts\\head_03.bp3", 9);
    auto* secondHeadOf9 = new ImageOwnerPart(Manager(), "parts\\head_04.bp3", 9);
    for (ImageOwnerPart* part : {head, headOfNone, headOf9, secondHeadOf9}) Manager().Add(part);
    EXPECT_EQ(Manager().CountBodyParts(), 4u);

    auto released = [&] {
        std::vector<int> counts;
        for (ImageOwnerPart* part : {head, headOfNone, headOf9, secondHeadOf9})
            counts.push_back(part->released);
        return counts;
    };
    Manager().ReleaseBodyPartImagesOf(nullptr, 7);
    EXPECT_EQ(released(), (std::vector<int>{0, 0, 0, 0}));
    // The text is normalised like a resource name, and only the part of owner 7 answers.
    Manager().ReleaseBodyPartImagesOf("Parts/HEAD", 7);
    EXPECT_EQ(released(), (std::vector<int>{1, 0, 0, 0}));
    // A part with no owner never matches, not even -1.
    Manager().ReleaseBodyPartImagesOf("head_02", -1);
    EXPECT_EQ(released(), (std::vector<int>{1, 0, 0, 0}));
    // Only the first match of the name map's walk is released.
    Manager().ReleaseBodyPartImagesOf("head", 9);
    EXPECT_EQ(released()[2] + released()[3], 1);
    Manager().ReleaseBodyPartImagesOf("a.dm3", 9);
    Manager().ReleaseBodyPartImagesOf("head_05", 9);
    EXPECT_EQ(released()[2] + released()[3], 1) << "no part of that name";

    // The cleaner's call reaches every body part, and no geometry of another class.
    Manager().ReleaseBodyPartImages();
    EXPECT_EQ(released()[0], 2);
    EXPECT_EQ(released()[1], 1);
    EXPECT_EQ(released()[2] + released()[3], 3);
}

TEST_F(GeometryLoadTest, FindsAnimationsById) {
    AnimationManager& animations = *G()->GetAnimationManager();
    SharedPtr<CResource> walk(animations.Create("walk"));
    SharedPtr<CResource> run(animations.Create("run"));
    ASSERT_TRUE(walk && run);
    Geometry g(nullptr, "g", "Geometry", 0);
    EXPECT_EQ(g.FindAnimationById(walk->GetHandle()), nullptr);
    g.AddAnimation(walk);
    g.AddAnimation(run);
    g.AddAnimation(run);
    EXPECT_EQ(g.FindAnimationById(run->GetHandle()), run.Get());
    EXPECT_EQ(g.FindAnimationById(walk->GetHandle()), walk.Get());
    EXPECT_EQ(g.FindAnimationById(run->GetHandle() + walk->GetHandle() + 1), nullptr);
}

// ---- The resource's own operations ----

TEST_F(GeometryLoadTest, MatrixSlotsMeshListAndSize) {
    Geometry g(nullptr, "g", "Geometry", 0);
    EXPECT_EQ(g.CalculateSize(), Geometry::kBaseSize);
    Matrix4 m;
    for (float& f : m.m) f = 2;
    EXPECT_FALSE(g.SetMatrixSlot(0, m)) << "no slot is in use";
    std::array<Matrix4, Geometry::kMatrixSlots> table;
    for (Matrix4& t : table) std::memcpy(t.m, m.m, 64);
    g.SetMatrixTable(table, 20);
    EXPECT_FALSE(g.SetMatrixSlot(16, m));
    EXPECT_TRUE(g.SetMatrixSlot(15, m));
    EXPECT_EQ(g.GetMatrixSlot(16).m[1], 0.0f) << "identity past the table";
    g.SetMatrixTable(table, 2);
    EXPECT_EQ(g.GetMatrixSlot(1).m[1], 2.0f);
    EXPECT_EQ(g.GetMatrixSlot(2).m[0], 1.0f) << "identity past the count";

    Mesh* a = g.AddMesh();
    Mesh* b = g.AddMeshAt(7);
    Mesh* c = g.AddNamedMesh("named");
    EXPECT_EQ(a->GetName(), "Mesh0");
    EXPECT_EQ(b->GetName(), "Mesh7");
    a->SetSortKey(3);
    b->SetSortKey(1);
    c->SetSortKey(2);
    g.RemoveMesh(c);
    EXPECT_EQ(g.GetMesh(2), nullptr);
    EXPECT_EQ(g.GetMeshCount(), 3u);
    g.SortMeshes();
    EXPECT_EQ(g.GetMesh(0), b);
    EXPECT_EQ(g.GetMesh(1), a);
    EXPECT_EQ(g.GetMesh(2), nullptr);
    g.RenameMeshes("part");
    EXPECT_EQ(a->GetName(), "part_1");
    EXPECT_EQ(g.CalculateSize(), Geometry::kBaseSize + a->GetMemorySize() + b->GetMemorySize());
    EXPECT_EQ(g.GetSizeField(), g.CalculateSize());
    g.UnloadImpl();
    EXPECT_EQ(g.GetMeshCount(), 0u);
    EXPECT_EQ(g.GetMatrixCount(), 0u);
}

// ---- Faults ----

// A small model: two narrow cubes, two LOD strips each, one material file.
mg::WrittenFile SmallModel(const mg::FaultPlan& faults = mg::FaultPlan()) {
    return mg::WriteGeometryFile(Cube(false), faults);
}

const char* TagReport(std::uint32_t tag) {
    switch (tag) {
        case 1:
            return "IOGeometryBin::Read时遇到未知的Tag";
        case 4:
            return "IOMeshBin::Read";
        case 14:
            return "IOMeshBin::ReadLodStrip读取到tag不是ID_LODSTRIP";
        case 15:
            return "IOVertexBufferBin::Read时Tag错误";
        case 16:
            return "IOIndexBufferBin::Read读取到错误的Tag";
        case 17:
            return "IOVertexBufferBin::ReadPool 读取到的Tag错误";
        default:
            return "?";
    }
}

TEST_F(GeometryLoadTest, AWrongTagAtEveryLevelFailsWithItsReport) {
    Use32BitIndices(true);
    std::set<std::uint32_t> levels;
    for (const mg::Section& s : SmallModel().sections) {
        if (s.kind != mg::SectionKind::Chunk)
            continue;
        levels.insert(s.tag);
        ZelTest::LogCapture log;
        ASSERT_TRUE(SmallModel(mg::FaultPlan().Tag(s.path, 99)).Save("d/a.dm3"));
        Manager().RemoveAll();
        Manager().GetOrLoad("d/a.dm3", "d/a.dm3");
        ExpectFailedEmpty("d/a.dm3", s.path.c_str());
        EXPECT_GE(log.Count(TagReport(s.tag)), 1) << s.path;
        EXPECT_EQ(log.Count("读取Geometry失败,d/a.dm3"), 1) << s.path;
    }
    EXPECT_EQ(levels, (std::set<std::uint32_t>{1, 4, 14, 15, 16, 17}));
}

TEST_F(GeometryLoadTest, AWrongSizeWordOnACheckedTagIsReportedAndLoads) {
    Use32BitIndices(true);
    int checked = 0;
    for (const mg::Section& s : SmallModel().sections) {
        if (s.kind != mg::SectionKind::Chunk)
            continue;
        const bool isChecked = s.tag == 14 || s.tag == 15 || s.tag == 17;
        checked += isChecked;
        ZelTest::LogCapture log;
        ASSERT_TRUE(SmallModel(mg::FaultPlan().SizeWord(s.path, s.sizeWord + 4)).Save("d/a.dm3"));
        Manager().RemoveAll();
        Geometry* geometry = Manager().GetOrLoad("d/a.dm3", "d/a.dm3");
        ExpectLoaded(geometry, 2);
        EXPECT_EQ(log.Count("Exp Failed!"), isChecked ? 1 : 0) << s.path;
    }
    EXPECT_GT(checked, 0);
}

TEST_F(GeometryLoadTest, TruncationAtEverySectionFailsCleanly) {
    Use32BitIndices(true);
    const mg::WrittenFile whole = SmallModel();
    std::set<std::size_t> cuts;
    for (const mg::Section& s : whole.sections) {
        cuts.insert(s.offset);
        cuts.insert(s.offset + 1);
    }
    cuts.insert(whole.bytes.size() - 1);
    for (std::size_t cut : cuts) {
        if (cut >= whole.bytes.size())
            continue;
        ZelTest::LogCapture log;
        ASSERT_TRUE(SmallModel(mg::FaultPlan().TruncateAt(cut)).Save("d/a.dm3"));
        Manager().RemoveAll();
        Manager().GetOrLoad("d/a.dm3", "d/a.dm3");
        const std::string what = "cut at " + std::to_string(cut);
        ExpectFailedEmpty("d/a.dm3", what.c_str());
        EXPECT_EQ(log.Count("读取Geometry失败,d/a.dm3"), 1) << what;
        EXPECT_EQ(log.Count("读取Geometry d/a.dm3"), 0) << what;
    }
}

TEST_F(GeometryLoadTest, RefusedParts) {
    Use32BitIndices(true);
    mg::GeometryDesc badIndex = Cube(false);
    std::get<mg::MeshDesc>(badIndex.parts[0]).indices[5] = 24;
    mg::GeometryDesc shortPool = Cube(false);
    std::get<mg::MeshDesc>(shortPool.parts[1]).normals.pop_back();
    struct Case {
        const char* what;
        mg::GeometryDesc desc;
        const char* logged;
    };
    const Case cases[] = {
        {"an index past the vertices", badIndex, "index 24 is not below the vertex count 24"},
        {"a pool of another length", shortPool, "holds 23 elements for 24 vertices"},
    };
    for (const Case& c : cases) {
        ZelTest::LogCapture log;
        ASSERT_TRUE(mg::WriteGeometryFile(c.desc).Save("d/a.dm3"));
        Manager().RemoveAll();
        Manager().GetOrLoad("d/a.dm3", "d/a.dm3");
        ExpectFailedEmpty("d/a.dm3", c.what);
        EXPECT_EQ(log.Count(c.logged), 1) << c.what;
    }
}

// A geometry class whose parts report a mesh type that no reader takes.
class UnknownPart : public Mesh {
public:
    using Mesh::Mesh;
    std::uint32_t GetMeshType() const override { return 5; }
};

class UnknownPartGeometry : public Geometry {
public:
    using Geometry::Geometry;
    std::unique_ptr<Mesh> CreateMesh(const std::string& name) override {
        return std::make_unique<UnknownPart>(this, name, true, true);
    }
};

TEST_F(GeometryLoadTest, PartsOfOtherMeshTypesAreRefused) {
    ZelTest::LogCapture log;
    UnknownPartGeometry geometry(nullptr, "s", "Geometry", 0);
    ZelTest::StreamPtr s = ZelTest::MemoryStream(SmallModel().bytes, "d/s.dm3");
    EXPECT_FALSE(IOGeometryBin::Read(geometry, s.get(), "d"));
    EXPECT_EQ(log.Count("part 0 of d/s.dm3 has mesh type 5"), 1);
    EXPECT_EQ(geometry.GetResourceWord(), 0u) << "only the plain class keeps the word";
}

TEST_F(GeometryLoadTest, Dm2Faults) {
    Use32BitIndices(true);
    const mg::GeometryDesc desc = Cube(false);
    mg::Dm2Options badTag;
    badTag.geometryTag = 6;
    struct Case {
        const char* what;
        mg::WrittenFile file;
        const char* logged;
    };
    const mg::WrittenFile whole = mg::WriteDm2File(desc);
    const Case cases[] = {
        {"geometry tag", mg::WriteDm2File(desc, badTag), "geometry chunk tag 6"},
        {"geometry offset 0",
         mg::WriteDm2File(desc, {}, mg::FaultPlan().Field("header", "geometryOffset", 0)),
         "geometry offset 0"},
        {"mesh tag", mg::WriteDm2File(desc, {}, mg::FaultPlan().Tag("mesh1", 5)), "Mesh"},
        {"cut in the vertices",
         mg::WriteDm2File(desc, {}, mg::FaultPlan().TruncateAtSection("mesh1#vertices", 8)),
         "past the end of the file"},
        {"library name past the end",
         mg::WriteDm2File(desc, {}, mg::FaultPlan().TruncateAtSection("library0", 10)),
         "material library chunk"},
    };
    for (const Case& c : cases) {
        ZelTest::LogCapture log;
        ASSERT_TRUE(c.file.Save("d/a.dm2"));
        Manager().RemoveAll();
        Manager().GetOrLoad("d/a.dm2", "d/a.dm2");
        ExpectFailedEmpty("d/a.dm2", c.what);
        EXPECT_GE(log.Count(c.logged), 1) << c.what;
    }
}

}  // namespace
