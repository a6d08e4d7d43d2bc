// Meshes: the ".dm2" mesh body, open edges, tangent frames, the two triangle sorts, index runs,
// copies and memory accounting.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "Core/DeviceCaps.h"
#include "Core/FrameStats.h"
#include "Core/IZelFileStream.h"
#include "Entity/Geometry/IndexRun.h"
#include "Entity/Scene/Camera.h"
#include "modelgen/Dm2File.h"
#include "modelgen/GeometryDescription.h"
#include "support/LogCapture.h"
#include "tests/Entity/Geometry/GeometryFixture.h"

namespace {

using namespace Zel;
namespace mg = ZelModelGen;

constexpr float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

class MeshTest : public ZelTest::GeometryTest {};

// ---- ".dm2" mesh body ----

// A quad with normals, texture coordinates and colours, a list group and a strip group.
mg::MeshDesc Dm2Quad() {
    mg::MeshDesc m;
    m.name = "quad";
    m.positions = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    m.normals = {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}};
    m.uv0 = {{0, 0.25f}, {1, 0.25f}, {1, 1}, {0, 1}};
    m.colours = {{1, 0.5f, 0.25f, 1}, {0, 0, 0, 0}, {1, 1, 1, 1}, {0, 1, 0, 1}};
    m.indices = {0, 1, 2, 0, 2, 3};
    m.groups.push_back(mg::TriangleListGroup(0, 6));
    mg::LodGroup strip;
    strip.entries.push_back({4, 4, 4, 0, 9});
    strip.primitiveCount = 2;
    m.groups.push_back(strip);
    return m;
}

mg::WrittenFile Dm2Of(const mg::MeshDesc& mesh) {
    mg::GeometryDesc g;
    g.parts.push_back(mesh);
    return mg::WriteDm2File(g);
}

// Reads mesh 0 of the file as the geometry reader does: the record is the mesh chunk's body, the
// file stands after it.
bool ReadMesh0(Mesh& mesh, const std::vector<std::uint8_t>& bytes, const mg::WrittenFile& layout,
               std::uint32_t recordSize = 0) {
    const mg::Section* chunk = layout.Find("mesh0");
    if (!chunk)
        return false;
    const std::size_t record = chunk->offset + 8;
    if (recordSize == 0)
        recordSize = chunk->sizeWord;
    std::unique_ptr<IZelFileStream, void (*)(IZelFileStream*)> stream(
        new IZelFileStream("quad.dm2", static_cast<std::uint32_t>(bytes.size())),
        [](IZelFileStream* s) { s->Release(); });
    std::memcpy(stream->GetData(), bytes.data(), bytes.size());
    EXPECT_TRUE(stream->Seek(static_cast<std::int64_t>(record + chunk->sizeWord), STREAM_SEEK_SET));
    return mesh.ReadBinaryV2(bytes.data() + record, recordSize, *stream);
}

void PutWord(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

TEST_F(MeshTest, Dm2BodyBecomesComponentsGroupsBoundsAndAnIndexBuffer) {
    for (bool fixedFunction : {false, true}) {
        SCOPED_TRACE(fixedFunction);
        Scene().SetDX7Mode(fixedFunction);
        const mg::WrittenFile file = Dm2Of(Dm2Quad());
        std::vector<std::uint8_t> bytes = file.bytes;
        PutWord(bytes, file.Offset("mesh0#groups") + 8 + 16 * 0, 7);  // an unknown entry type
        Mesh mesh(nullptr, true, true);
        ASSERT_TRUE(ReadMesh0(mesh, bytes, file));

        EXPECT_EQ(mesh.GetName(), "quad");
        EXPECT_EQ(mesh.GetVertexCount(), 4u);
        ASSERT_EQ(mesh.GetRenderGroups().size(), 2u);
        EXPECT_EQ(mesh.GetCurrentGroup(), mesh.GetRenderGroups()[0].get());
        const RenderGroupEntry& list = mesh.GetRenderGroups()[0]->entries.at(0);
        EXPECT_EQ(list.primitive, 3u);
        EXPECT_EQ(list.indexCount, 6u);
        EXPECT_EQ(list.drawCount, 6u);
        const RenderGroupEntry& strip = mesh.GetRenderGroups()[1]->entries.at(0);
        EXPECT_EQ(strip.primitive, 4u);
        EXPECT_EQ(strip.value, 9u);
        EXPECT_EQ(mesh.GetRenderGroups()[1]->value, 2u);

        const float* box = mesh.GetBounds().GetMax();
        EXPECT_FALSE(mesh.GetBounds().IsEmpty());
        EXPECT_EQ(box[0], 1.0f);
        EXPECT_EQ(box[2], 0.0f);

        VertexData& data = *mesh.GetVertexData();
        EXPECT_EQ(data.GetVertexCount(), 4u);
        EXPECT_EQ(data.FindComponent(VF_NORMAL)->GetFloats()[2], 1.0f);
        const float* uv = data.FindComponent(VF_TEXCOORD0)->GetFloats();
        EXPECT_FLOAT_EQ(uv[1], 0.25f);  // stored flipped, read back as written
        EXPECT_FLOAT_EQ(uv[5], 1.0f);
        if (fixedFunction) {
            ASSERT_EQ(data.FindComponent(VF_COLOUR), nullptr);
            const std::uint32_t* c = data.FindComponent(VF_DIFFUSE)->GetWords();
            EXPECT_EQ(c[0], 0xFFFF7F3Fu);  // ARGB, each channel times 255 truncated
            EXPECT_EQ(c[3], 0xFF00FF00u);
        } else {
            ASSERT_EQ(data.FindComponent(VF_DIFFUSE), nullptr);
            const float* c = data.FindComponent(VF_COLOUR)->GetFloats();
            EXPECT_FLOAT_EQ(c[0], 1.0f);
            EXPECT_FLOAT_EQ(c[1], 127 / 255.0f);
            EXPECT_FLOAT_EQ(c[2], 63 / 255.0f);
            EXPECT_FLOAT_EQ(c[3], 1.0f);
        }
        ASSERT_NE(mesh.GetIndexData()->GetBuffer(), nullptr);
        EXPECT_FALSE(mesh.GetIndexData()->GetBuffer()->Is32Bit());
        EXPECT_EQ(Indexes(*mesh.GetIndexData()->GetBuffer()),
                  (std::vector<std::uint32_t>{0, 1, 2, 0, 2, 3}));
    }
}

TEST_F(MeshTest, Dm2IndexBuffersAre32BitWhenTheDeviceAsksForThem) {
    G()->GetDeviceCaps()->featureFlags |= DEVICE_INDEX_32;
    const mg::WrittenFile file = Dm2Of(Dm2Quad());
    Mesh mesh(nullptr, true, true);
    ASSERT_TRUE(ReadMesh0(mesh, file.bytes, file));
    EXPECT_TRUE(mesh.GetIndexData()->GetBuffer()->Is32Bit());
}

TEST_F(MeshTest, Dm2NameWithoutItsNulIsCutAtTheRecord) {
    mg::MeshDesc quad = Dm2Quad();
    quad.name = std::string(300, 'n');
    const mg::WrittenFile file = Dm2Of(quad);
    Mesh mesh(nullptr, true, true);
    ASSERT_TRUE(ReadMesh0(mesh, file.bytes, file));
    EXPECT_EQ(mesh.GetName(), std::string(256, 'n'));
}

TEST_F(MeshTest, DamagedDm2BodiesAreRefusedAndLeaveTheMeshAlone) {
    const mg::WrittenFile file = Dm2Of(Dm2Quad());
    const std::size_t record = file.Offset("mesh0") + 8;
    struct Case {
        const char* what;
        std::size_t cutAt;  // 0: keep every byte
        std::size_t patchAt;
        std::uint32_t value;
        std::uint32_t recordSize;
    };
    const std::size_t groups = file.Offset("mesh0#groups");
    const std::size_t vertices = file.Offset("mesh0#vertices");
    const std::size_t indices = file.Offset("mesh0#indices");
    const Case cases[] = {
        {"cut in the groups", groups + 12, 0, 0, 0},
        {"cut in the vertices", vertices + 10, 0, 0, 0},
        {"cut in the indexes", indices + 22, 0, 0, 0},
        {"huge group count", 0, record + 72, 0xFFFFFFFFu, 0},
        {"huge entry count", 0, groups, 0x10000000u, 0},
        {"normals past the block", 0, record + 36, 100, 0},
        {"vertex count past the block", 0, record + 8, 1000, 0},
        {"index past the vertices", 0, indices, 4, 0},
        {"entry past the indexes", 0, groups + 12, 7, 0},
        {"unaligned entry start", 0, groups + 16, 2, 0},
        {"record too short", 0, 0, 0, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::uint8_t> bytes = file.bytes;
        if (c.patchAt)
            PutWord(bytes, c.patchAt, c.value);
        if (c.cutAt)
            bytes.resize(c.cutAt);
        ZelTest::LogCapture log;
        Mesh mesh(nullptr, "before", true, true);
        EXPECT_FALSE(ReadMesh0(mesh, bytes, file, c.recordSize));
        EXPECT_EQ(log.Count("Mesh::ReadBinaryV2"), 1);
        EXPECT_EQ(mesh.GetName(), "before");
        EXPECT_TRUE(mesh.GetRenderGroups().empty());
        EXPECT_TRUE(mesh.GetVertexData()->GetComponents().empty());
        EXPECT_EQ(mesh.GetIndexData()->GetBuffer(), nullptr);
        EXPECT_TRUE(Buffers().GetIndexBuffers().empty());
    }
}

// ---- open edges ----

// The vertices of edges used an odd number of times, by an n x n count table.
std::vector<std::uint32_t> OpenEdgesByTable(std::uint32_t n, const LodStripArray& group,
                                            const std::vector<std::uint32_t>& indices) {
    std::vector<std::uint32_t> uses(std::size_t(n) * n, 0);
    const auto use = [&](std::uint32_t a, std::uint32_t b) {
        ++uses[std::size_t(std::min(a, b)) * n + std::max(a, b)];
    };
    for (const RenderGroupEntry& e : group.entries) {
        const std::uint32_t* at = indices.data() + e.start / 4;
        const bool strip = e.primitive == 4;
        for (std::uint32_t k = 0; k + 2 < e.indexCount; k += strip ? 1 : 3) {
            use(at[k], at[k + 1]);
            use(at[k + 1], at[k + 2]);
            use(at[k + 2], at[k]);
        }
    }
    std::set<std::uint32_t> open;
    for (std::uint32_t a = 0; a < n; ++a)
        for (std::uint32_t b = a; b < n; ++b)
            if (uses[std::size_t(a) * n + b] % 2) {
                open.insert(a);
                open.insert(b);
            }
    return {open.begin(), open.end()};
}

std::vector<std::uint32_t> OpenEdgesOf(std::uint32_t n,
                                       const std::vector<RenderGroupEntry>& entries,
                                       const std::vector<std::uint32_t>& indices,
                                       std::vector<std::uint32_t>* reference = nullptr) {
    Mesh mesh(nullptr, true, true);
    mesh.GetVertexData()->SetVertexCount(n);
    mesh.GetIndexData()->AllocateIndices(static_cast<std::uint32_t>(indices.size()));
    std::copy(indices.begin(), indices.end(), mesh.GetIndexData()->GetIndices());
    auto group = std::make_unique<LodStripArray>();
    group->entries = entries;
    if (reference)
        *reference = OpenEdgesByTable(n, *group, indices);
    mesh.AddRenderGroup(std::move(group));
    mesh.BuildOpenEdgeVertices();
    const std::uint32_t* v = mesh.GetOpenEdgeVertices();
    return v ? std::vector<std::uint32_t>(v, v + mesh.GetOpenEdgeVertexCount())
             : std::vector<std::uint32_t>{};
}

TEST(MeshOpenEdges, OpenSurfacesHaveBorderVerticesAndClosedOnesNone) {
    using V = std::vector<std::uint32_t>;
    EXPECT_EQ(OpenEdgesOf(4, {{3, 6, 6, 0, 0}}, {0, 1, 2, 0, 2, 3}), (V{0, 1, 2, 3}));
    EXPECT_EQ(OpenEdgesOf(4, {{3, 12, 12, 0, 0}}, {0, 1, 2, 0, 3, 1, 1, 3, 2, 2, 3, 0}), V{});
    EXPECT_EQ(OpenEdgesOf(5, {{4, 4, 4, 0, 0}}, {4, 1, 2, 3}), (V{1, 2, 3, 4}));
    EXPECT_EQ(OpenEdgesOf(4, {{4, 2, 2, 0, 0}}, {0, 1}), V{});
    // An entry past the index array is cut to it (and reported).
    ZelTest::LogCapture log;
    EXPECT_EQ(OpenEdgesOf(4, {{3, 9, 9, 0, 0}}, {0, 1, 2, 0, 2, 3}), (V{0, 1, 2, 3}));
    EXPECT_EQ(log.Count("BuildOpenEdgeVertices"), 1);
}

TEST(MeshOpenEdges, TheEdgeMapAgreesWithAFullCountTable) {
    std::mt19937 random(17);
    for (int round = 0; round < 20; ++round) {
        const std::uint32_t n = 3 + random() % 30;
        std::vector<std::uint32_t> indices(3 * (1 + random() % 60));
        for (std::uint32_t& i : indices) i = random() % n;
        const auto count = static_cast<std::uint32_t>(indices.size());
        std::vector<RenderGroupEntry> entries = {{3, count / 2 / 3 * 3, 0, 0, 0},
                                                 {4, count - count / 2, 0, count / 2 * 4, 0}};
        std::vector<std::uint32_t> reference;
        EXPECT_EQ(OpenEdgesOf(n, entries, indices, &reference), reference) << "round " << round;
    }
}

// ---- tangent frames ----

TEST_F(MeshTest, TangentsOfAnIndexedQuadAddUpOnTheSharedDiagonal) {
    Mesh mesh(nullptr, true, true);
    FillMesh(mesh, {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}, {0, 1, 2, 0, 2, 3},
             {0, 0, 1, 0, 1, 1, 0, 1});
    mesh.BuildTangents();
    const float* t = mesh.GetVertexData()->FindComponent(VF_TANGENT)->GetFloats();
    const float* b = mesh.GetVertexData()->FindComponent(VF_BINORMAL)->GetFloats();
    EXPECT_EQ(std::vector<float>(t, t + 12),
              (std::vector<float>{2, 0, 0, 1, 0, 0, 2, 0, 0, 1, 0, 0}));
    EXPECT_EQ(std::vector<float>(b, b + 12),
              (std::vector<float>{0, 2, 0, 0, 1, 0, 0, 2, 0, 0, 1, 0}));
    EXPECT_TRUE(mesh.GetFlags() & Mesh::kTangentsBuilt);
}

TEST_F(MeshTest, ATriangleWithoutExtentAddsZeroTangents) {
    Mesh mesh(nullptr, true, true);
    // Three corners in one place with distinct texture coordinates: tangent and binormal are zero
    // before normalising.
    FillMesh(mesh, {1, 1, 1, 1, 1, 1, 1, 1, 1}, {0, 1, 2}, {0, 0, 1, 0, 0, 1});
    mesh.PrepareComponents(VF_POSITION | VF_TANGENT);
    const float* t = mesh.GetVertexData()->FindComponent(VF_TANGENT)->GetFloats();
    for (int i = 0; i < 9; ++i) EXPECT_EQ(t[i], 0.0f) << i;
    EXPECT_NE(mesh.GetVertexData()->GetBuffers().count(VF_POSITION | VF_TANGENT), 0u);
}

// ---- triangle sorts ----

std::vector<std::uint32_t> SortedIndexes(const Mesh& mesh) {
    return ZelTest::GeometryTest::Indexes(*mesh.GetIndexData()->GetBuffer());
}

TEST_F(MeshTest, FullSortPutsTheFartherOfTwoOverlappingTrianglesFirst) {
    struct Case {
        const char* what;
        std::vector<float> positions;
        bool orderFlag;
        std::vector<std::uint32_t> expected;
    };
    const std::vector<float> nearThenFar = {-1, -1, 0.2f, 1, -1, 0.2f, 0, 1, 0.2f,
                                            -1, -1, 0.8f, 1, -1, 0.8f, 0, 1, 0.8f};
    // Face 0 small and flat at 0.3 inside face 1, which is tilted from 0.1 to 0.9 and lies at
    // 0.5 behind face 0's centroid: decided at the centroid.
    const std::vector<float> insideTilted = {-0.1f, -0.1f, 0.3f, 0.1f, -0.1f, 0.3f, 0, 0.1f, 0.3f,
                                             -1,    -1,    0.1f, 1,    -1,    0.9f, 0, 1,    0.5f};
    // Two crossing triangles (a six-pointed star): face 0 at 0.4 where the crossings meet, face 1
    // at 0.5.
    const std::vector<float> star = {-1, -0.5f, 0.2f, 1, -0.5f, 0.6f, 0, 1,  0.4f,
                                     -1, 0.5f,  0.5f, 1, 0.5f,  0.5f, 0, -1, 0.5f};
    const std::vector<float> apart = {-1,   -1,   0.2f, -0.5f, -1,   0.2f, -1, -0.5f, 0.8f,
                                      0.5f, 0.5f, 0.2f, 1,     0.5f, 0.2f, 1,  1,     0.8f};
    const Case cases[] = {
        {"depths apart", nearThenFar, true, {3, 4, 5, 0, 1, 2}},
        {"depths apart, reversed", nearThenFar, false, {0, 1, 2, 3, 4, 5}},
        {"inside a tilted face", insideTilted, true, {3, 4, 5, 0, 1, 2}},
        {"crossing", star, true, {3, 4, 5, 0, 1, 2}},
        // No order between them: the search finishes face 0 first, so it ends up last.
        {"apart on screen", apart, true, {3, 4, 5, 0, 1, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Mesh mesh(nullptr, true, true);
        FillMesh(mesh, c.positions, {0, 1, 2, 3, 4, 5});
        mesh.SortTrianglesFull(kIdentity, c.orderFlag);
        EXPECT_EQ(SortedIndexes(mesh), c.expected);
        EXPECT_EQ(mesh.GetIndexData()->GetIndices()[0], 0u);  // the array keeps its order
    }
}

TEST_F(MeshTest, SortsRefuseEntriesNamingMissingVertices) {
    ZelTest::LogCapture log;
    Mesh mesh(nullptr, true, true);
    FillMesh(mesh, {0, 0, 0.5f, 1, 0, 0.5f, 0, 1, 0.5f, 1, 1, 0.2f}, {0, 1, 2, 1, 3, 4});
    mesh.SortTrianglesFull(kIdentity, true);
    mesh.SortTriangles(kIdentity);
    EXPECT_EQ(SortedIndexes(mesh), (std::vector<std::uint32_t>{0, 1, 2, 1, 3, 4}));
    EXPECT_EQ(log.Count("names vertex 4 of 4"), 2);
}

TEST_F(MeshTest, SimpleSortOrdersParallelTrianglesByTheirPlanes) {
    // Vertex 0 is the reference point in front of both planes.
    for (float zFirst : {0.2f, 0.8f}) {
        const float zSecond = 1.0f - zFirst;
        Mesh mesh(nullptr, true, true);
        FillMesh(mesh, {0,      0,  -1, -1,      -1, zFirst, 1,       -1, zFirst, 0,      1,
                        zFirst, -1, -1, zSecond, 1,  -1,     zSecond, 0,  1,      zSecond},
                 {1, 2, 3, 4, 5, 6});
        mesh.SortTriangles(kIdentity);
        const std::vector<std::uint32_t> far = zFirst > zSecond
                                                   ? std::vector<std::uint32_t>{1, 2, 3}
                                                   : std::vector<std::uint32_t>{4, 5, 6};
        const std::vector<std::uint32_t> sorted = SortedIndexes(mesh);
        EXPECT_EQ(std::vector<std::uint32_t>(sorted.begin(), sorted.begin() + 3), far) << zFirst;
    }
}

TEST_F(MeshTest, ProjectionDividesByWAndBoundsTheScreenPoints) {
    Mesh mesh(nullptr, true, true);
    FillMesh(mesh, {1, 2, 3, -2, 4, 6}, {0, 1, 0});
    // x' = x, y' = y, z' = z, w = z: a perspective divide by depth.
    const float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0};
    mesh.ProjectPositions(m);
    const std::vector<float>& p = mesh.GetProjectedPositions();
    ASSERT_EQ(p.size(), 16u);  // padded to four vertices
    EXPECT_FLOAT_EQ(p[0], 1 / 3.0f);
    EXPECT_FLOAT_EQ(p[1], 2 / 3.0f);
    EXPECT_FLOAT_EQ(p[2], 1.0f);
    EXPECT_FLOAT_EQ(p[4], -1 / 3.0f);
    EXPECT_FLOAT_EQ(mesh.GetProjectedBounds().GetMin()[0], -1 / 3.0f);
    EXPECT_FLOAT_EQ(mesh.GetProjectedBounds().GetMax()[1], 2 / 3.0f);
}

TEST_F(MeshTest, PrepareForPassBuildsTangentsAndSortsUnderACamera) {
    const std::vector<float> nearThenFar = {-1, -1, 0.2f, 1, -1, 0.2f, 0, 1, 0.2f,
                                            -1, -1, 0.8f, 1, -1, 0.8f, 0, 1, 0.8f};
    Mesh mesh(nullptr, true, true);
    FillMesh(mesh, nearThenFar, {0, 1, 2, 3, 4, 5}, std::vector<float>(12, 0.0f));
    ASSERT_TRUE(mesh.IsSingleTriangleList());
    mesh.PrepareForPass(true, kIdentity, VF_POSITION | VF_TANGENT, Mesh::kPassDepthSorted);
    EXPECT_TRUE(mesh.GetFlags() & Mesh::kTangentsBuilt);
    EXPECT_EQ(SortedIndexes(mesh)[0], 0u);  // no camera: no sort

    Camera* camera = Scene().CreateCamera();
    Scene().SetRenderCamera(camera);
    Scene().SetViewMatrix(kIdentity);
    Scene().SetProjectionMatrix(kIdentity);
    mesh.PrepareForPass(true, kIdentity, VF_POSITION, 0);
    EXPECT_EQ(SortedIndexes(mesh)[0], 0u);  // not a depth-sorted pass
    mesh.PrepareForPass(true, kIdentity, VF_POSITION, Mesh::kPassDepthSorted);
    EXPECT_EQ(SortedIndexes(mesh)[0], 3u);
}

// ---- index runs, groups, copies ----

TEST_F(MeshTest, IndexRunsFillTheBufferUpToItsCapacity) {
    Mesh mesh(nullptr, true, true);
    FillMesh(mesh, std::vector<float>(3 * 8, 0.0f), std::vector<std::uint32_t>(10, 0));
    Mesh sixteen(nullptr, true, true);
    sixteen.GetIndexData()->AllocateIndices(10);
    ASSERT_TRUE(sixteen.GetIndexData()->CreateBuffer(IS_16BIT, BU_STATIC));
    sixteen.AddRenderGroup(std::make_unique<LodStripArray>(*mesh.GetCurrentGroup()));
    sixteen.GetCurrentGroup()->entries[0].start = 8;

    const std::uint32_t a[] = {70000, 1, 2};
    const std::uint32_t b[] = {3, 4, 5, 6, 7, 8};
    const std::uint32_t c[] = {9, 10, 11, 12};
    const IndexRun runA{0, 3, a}, runB{0, 6, b}, runC{0, 4, c};
    const std::vector<const IndexRun*> runs = {&runA, &runB, nullptr, &runC};
    (*G()->GetFrameStats())[FRAME_INDEX_RUNS] = 0;
    EXPECT_EQ(sixteen.FillIndexRuns(runs), 3u);
    EXPECT_EQ(Indexes(*sixteen.GetIndexData()->GetBuffer()),
              (std::vector<std::uint32_t>{4464, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(sixteen.GetCurrentGroup()->entries[0].drawCount, 10u);
    EXPECT_EQ(sixteen.GetCurrentGroup()->entries[0].start, 0u);
    EXPECT_EQ((*G()->GetFrameStats())[FRAME_INDEX_RUNS], 3u);

    EXPECT_EQ(mesh.FillIndexRuns({&runA}), 1u);
    EXPECT_EQ(Indexes(*mesh.GetIndexData()->GetBuffer())[0], 70000u);
    Mesh empty(nullptr, true, true);
    EXPECT_EQ(empty.FillIndexRuns(runs), 0u);  // no buffer
}

TEST_F(MeshTest, MemorySizeAndCopiesCoverGroupsAndData) {
    Mesh empty(nullptr, false, false);
    EXPECT_EQ(empty.GetMemorySize(), 500u);
    EXPECT_FALSE(empty.IsSingleTriangleList());

    Mesh mesh(nullptr, "source", true, true);
    FillMesh(mesh, {0, 0, 0, 1, 0, 0, 0, 1, 0}, {0, 1, 2});
    auto second = std::make_unique<LodStripArray>();
    second->entries.resize(2);
    mesh.AddRenderGroup(std::move(second));
    mesh.SetMaterialName("stone");
    mesh.SetGroupWord(3);
    mesh.SetFaceCount(1);
    mesh.GetTriangles() = {0, 1, 2};
    // data: 3 indexes (12 buffer + 12 array) and 3 positions (36); groups 12 + 20 and 12 + 40;
    // one face array of 12.
    EXPECT_EQ(mesh.GetMemorySize(), 500u + 24 + 36 + 32 + 52 + 12);

    Mesh copy(nullptr, "copy", true, true);
    mesh.CopyTo(copy);
    EXPECT_EQ(copy.GetName(), "copy");
    EXPECT_EQ(copy.GetMaterialName(), "stone");
    EXPECT_EQ(copy.GetGroupWord(), 3u);
    ASSERT_EQ(copy.GetRenderGroups().size(), 2u);
    EXPECT_NE(copy.GetRenderGroups()[0].get(), mesh.GetRenderGroups()[0].get());
    EXPECT_EQ(copy.GetCurrentGroup(), copy.GetRenderGroups()[0].get());
    EXPECT_EQ(copy.GetRenderGroups()[1]->entries.size(), 2u);
    EXPECT_EQ(copy.GetVertexData()->GetVertexCount(), 3u);
    ASSERT_NE(copy.GetIndexData()->GetBuffer(), nullptr);
    EXPECT_NE(copy.GetIndexData()->GetBuffer(), mesh.GetIndexData()->GetBuffer());
    EXPECT_TRUE(copy.IsSingleTriangleList());  // the current group has one list entry
    EXPECT_EQ(copy.GetMemorySize(), mesh.GetMemorySize());

    mesh.ReleaseRenderData();
    EXPECT_EQ(mesh.GetVertexData(), nullptr);
    EXPECT_EQ(mesh.GetCurrentGroup(), nullptr);
    EXPECT_EQ(mesh.GetMemorySize(), 500u);
}

}  // namespace
