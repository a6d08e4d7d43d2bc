// The host's debug drawing: what each call queues, how Flush cuts the queues into 16-bit batches
// and expands the shapes, and the rim basis of circles and cones. A recorder in place of the
// device draw sees every batch.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "Render/AuxRenderImpl.h"
#include "Render/RenderCodes.h"

namespace {

using Zel::AuxBatch;
using Zel::AuxVertex;

struct Drawn {
    std::uint32_t primitiveType;
    std::vector<AuxVertex> vertices;
    std::vector<std::uint16_t> indices;
    float world[16];
    bool screenSpace;
};

class RecordingAuxRender : public Zel::AuxRenderImpl {
public:
    std::vector<Drawn> drawn;

protected:
    void DrawBatch(const AuxBatch& batch, const float* world, bool screenSpace) override {
        Drawn d{batch.primitiveType,
                {batch.vertices, batch.vertices + batch.vertexCount},
                {batch.indices, batch.indices + batch.indexCount},
                {},
                screenSpace};
        std::copy_n(world, 16, d.world);
        drawn.push_back(std::move(d));
    }
};

constexpr float kRed[4] = {1.0f, 0.0f, 0.0f, 1.0f};
constexpr float kOrigin[3] = {0.0f, 0.0f, 0.0f};
constexpr float kUp[3] = {0.0f, 0.0f, 1.0f};
const float kMoved[16] = {2, 0, 0, 5, 0, 2, 0, 6, 0, 0, 2, 7, 0, 0, 0, 1};

TEST(AuxRenderTest, EachShapeIsOneDrawOfItsSize) {
    struct Case {
        const char* name;
        void (*queue)(Zel::AuxRenderImpl&);
        std::uint32_t vertices, indices, primitive;
    };
    const Case cases[] = {
        {"wire circle", [](Zel::AuxRenderImpl& r) { r.DrawWireCircle(kOrigin, 1.0f, kUp, kRed); },
         360, 361, Zel::PT_LINE_STRIP},
        {"solid circle", [](Zel::AuxRenderImpl& r) { r.DrawSolidCircle(kOrigin, 1.0f, kUp, kRed); },
         361, 1080, Zel::PT_TRIANGLE_LIST},
        {"wire cone", [](Zel::AuxRenderImpl& r) { r.DrawWireCone(kOrigin, kUp, 1.0f, 2.0f, kRed); },
         361, 433, Zel::PT_LINE_STRIP},
        {"solid cone",
         [](Zel::AuxRenderImpl& r) { r.DrawSolidCone(kOrigin, kUp, 1.0f, 2.0f, kRed); }, 362, 2160,
         Zel::PT_TRIANGLE_LIST},
        {"wire cylinder",
         [](Zel::AuxRenderImpl& r) { r.DrawWireCylinder(kOrigin, 1.0f, 2.0f, kRed); }, 74, 360,
         Zel::PT_LINE_LIST},
        {"solid cylinder",
         [](Zel::AuxRenderImpl& r) { r.DrawSolidCylinder(kOrigin, 1.0f, 2.0f, kRed); }, 74, 432,
         Zel::PT_TRIANGLE_LIST},
        {"wire sphere", [](Zel::AuxRenderImpl& r) { r.DrawWireSphere(kOrigin, 1.0f, kRed); }, 614,
         2520, Zel::PT_LINE_LIST},
        {"solid sphere", [](Zel::AuxRenderImpl& r) { r.DrawSolidSphere(kOrigin, 1.0f, kRed); }, 614,
         3672, Zel::PT_TRIANGLE_LIST},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingAuxRender aux;
        c.queue(aux);
        aux.Flush();
        ASSERT_EQ(aux.drawn.size(), 1u);
        const Drawn& d = aux.drawn[0];
        EXPECT_EQ(d.vertices.size(), c.vertices);
        EXPECT_EQ(d.indices.size(), c.indices);
        EXPECT_EQ(d.primitiveType, c.primitive);
        for (std::uint16_t index : d.indices) ASSERT_LT(index, c.vertices);
        for (const AuxVertex& v : d.vertices) ASSERT_EQ(v.r, 1.0f);
        EXPECT_EQ(aux.GetShapeCount(), 0u);
    }
}

TEST(AuxRenderTest, MatrixFormDrawsTheUnitShapePlacedByTheMatrix) {
    RecordingAuxRender aux;
    aux.DrawWireCircle(kMoved, kRed);
    const float centre[3] = {1, 2, 3};
    aux.DrawWireSphere(centre, 4.0f, kRed);
    aux.Flush();
    ASSERT_EQ(aux.drawn.size(), 2u);
    // Unit circle about +Z: the first rim point is (0, 1, 0), the rim runs on towards -X.
    const Drawn& circle = aux.drawn[0];
    EXPECT_FLOAT_EQ(circle.vertices[0].y, 1.0f);
    EXPECT_NEAR(circle.vertices[0].x, 0.0f, 1e-6f);
    EXPECT_LT(circle.vertices[1].x, 0.0f);
    EXPECT_EQ(std::vector<float>(circle.world, circle.world + 16),
              std::vector<float>(kMoved, kMoved + 16));
    // The position form draws in place with the identity.
    const Drawn& sphere = aux.drawn[1];
    EXPECT_EQ(sphere.world[3], 0.0f);
    EXPECT_FLOAT_EQ(sphere.vertices[612].z, 7.0f);
    EXPECT_FLOAT_EQ(sphere.vertices[613].z, -1.0f);
}

TEST(AuxRenderTest, LinesTrianglesAndScreenQueuesAreOneDrawEach) {
    RecordingAuxRender aux;
    const float box[6] = {0, 0, 0, 1, 2, 3};
    aux.DrawAABB(box, kRed);
    EXPECT_EQ(aux.GetLineVertexCount(), 8u);
    EXPECT_EQ(aux.GetLineIndexCount(), 24u);
    const float triangle[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    aux.DrawTriangle(triangle, kRed);
    const std::int32_t rect[4] = {10, 20, 30, 40};
    aux.DrawRect2D(rect, kRed);
    EXPECT_EQ(aux.GetScreenVertexCount(), 10u);
    aux.Flush();
    ASSERT_EQ(aux.drawn.size(), 3u);
    EXPECT_EQ(aux.drawn[0].primitiveType, Zel::PT_LINE_LIST);
    // Corner 7 is the maximum; the edges pair corners that differ in one coordinate.
    EXPECT_EQ(aux.drawn[0].vertices[7].y, 2.0f);
    for (std::size_t i = 0; i < 24; i += 2) {
        const int diff = aux.drawn[0].indices[i] ^ aux.drawn[0].indices[i + 1];
        EXPECT_TRUE(diff == 1 || diff == 2 || diff == 4) << i;
    }
    EXPECT_EQ(aux.drawn[1].primitiveType, Zel::PT_TRIANGLE_LIST);
    EXPECT_TRUE(aux.drawn[2].screenSpace);
    // The last segment fills the bottom-right corner pixel.
    EXPECT_EQ(aux.drawn[2].vertices[9].x, 31.0f);
    EXPECT_EQ(aux.drawn[2].vertices[9].y, 41.0f);

    // Everything was emptied: a second flush draws nothing.
    aux.drawn.clear();
    aux.Flush();
    EXPECT_TRUE(aux.drawn.empty());
}

TEST(AuxRenderTest, NothingQueuedDrawsNothingAndMakesNoBatch) {
    RecordingAuxRender aux;
    const float colour[4] = {1, 1, 1, 1};
    const float points[18] = {};
    aux.DrawLines(points, 0, colour);
    aux.DrawLines(points, -3, colour);
    aux.DrawTriangles(points, -1, colour);
    aux.DrawAABBs(points, 0, colour);
    aux.Flush();
    EXPECT_TRUE(aux.drawn.empty());
    EXPECT_EQ(aux.GetBatchAllocations(), 0u);
}

TEST(AuxRenderTest, GridQueuesTwoLinesPerDivisionBoundary) {
    struct Case {
        std::int32_t divisions;
        std::size_t vertices;
    };
    // Zero or fewer divisions would divide the size by zero: nothing is queued.
    const Case cases[] = {{1, 8}, {4, 20}, {0, 0}, {-1, 0}, {-5, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.divisions);
        RecordingAuxRender aux;
        aux.DrawGrid(kOrigin, kRed, 2.0f, c.divisions);
        EXPECT_EQ(aux.GetLineVertexCount(), c.vertices);
        aux.Flush();
        for (const Drawn& d : aux.drawn)
            for (const AuxVertex& v : d.vertices) {
                EXPECT_TRUE(std::isfinite(v.x) && std::isfinite(v.y));
                EXPECT_LE(std::fabs(v.x), 1.0f);
            }
    }
}

// 16-bit indices cannot name more than 65,536 vertices: a larger queue is drawn in batches of
// whole lines, each naming the same points the caller gave.
TEST(AuxRenderTest, QueueAboveSixteenBitIndicesIsSplitIntoBatches) {
    RecordingAuxRender aux;
    constexpr int kLines = 40000;  // 80,000 vertices
    for (int i = 0; i < kLines; ++i) {
        const float line[6] = {float(i), 0, 0, float(i), 1, 0};
        aux.DrawLine(line, kRed);
    }
    aux.Flush();
    ASSERT_GE(aux.drawn.size(), 2u);
    std::size_t lines = 0;
    for (const Drawn& d : aux.drawn) {
        EXPECT_LE(d.vertices.size(), Zel::AuxRenderImpl::kMaxBatchVertices);
        ASSERT_EQ(d.indices.size() % 2, 0u);
        for (std::size_t k = 0; k < d.indices.size(); k += 2) {
            const AuxVertex& from = d.vertices.at(d.indices[k]);
            const AuxVertex& to = d.vertices.at(d.indices[k + 1]);
            ASSERT_EQ(from.x, float(lines));
            ASSERT_EQ(to.x, float(lines));
            ASSERT_EQ(from.y, 0.0f);
            ASSERT_EQ(to.y, 1.0f);
            ++lines;
        }
    }
    EXPECT_EQ(lines, std::size_t(kLines));
}

TEST(AuxRenderTest, BatchMemoryGrowsOnlyWhenAShapeNeedsMore) {
    RecordingAuxRender aux;
    aux.DrawWireCircle(kOrigin, 1.0f, kUp, kRed);
    aux.Flush();
    const std::uint32_t afterCircle = aux.GetBatchAllocations();
    aux.DrawSolidSphere(kOrigin, 1.0f, kRed);
    aux.Flush();
    EXPECT_GT(aux.GetBatchAllocations(), afterCircle);
    const std::uint32_t afterSphere = aux.GetBatchAllocations();
    aux.DrawSolidCylinder(kOrigin, 1.0f, 1.0f, kRed);
    aux.Flush();
    EXPECT_EQ(aux.GetBatchAllocations(), afterSphere);
    EXPECT_EQ(aux.GetVertexCapacity(), 614u * 28u);
    EXPECT_EQ(aux.GetIndexCapacity(), 3672u);
}

TEST(AuxRenderTest, RimBasisIsOrthonormalForEveryAxis) {
    struct Case {
        const char* name;
        float axis[3];
        float expectedAxis[3];
    };
    const Case cases[] = {
        {"+Z", {0, 0, 1}, {0, 0, 1}},
        {"+X", {1, 0, 0}, {1, 0, 0}},
        {"-X", {-3, 0, 0}, {-1, 0, 0}},
        // Normalised x just below 1 with y and z nearly zero: the second branch would divide by
        // almost nothing.
        {"almost +X", {1.0f, 1e-8f, 0.0f}, {1, 0, 0}},
        {"almost -X", {-1.0f, 0.0f, -1e-9f}, {-1, 0, 0}},
        {"zero", {0, 0, 0}, {0, 0, 1}},
        {"slanted", {1, 2, 2}, {1.0f / 3, 2.0f / 3, 2.0f / 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Zel::AuxRimBasis b = Zel::MakeAuxRimBasis(c.axis);
        auto dot = [](const float* p, const float* q) {
            return p[0] * q[0] + p[1] * q[1] + p[2] * q[2];
        };
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(std::isfinite(b.u[i]) && std::isfinite(b.v[i]));
            EXPECT_NEAR(b.axis[i], c.expectedAxis[i], 1e-6f);
        }
        EXPECT_NEAR(dot(b.u, b.u), 1.0f, 1e-5f);
        EXPECT_NEAR(dot(b.v, b.v), 1.0f, 1e-5f);
        EXPECT_NEAR(dot(b.u, b.v), 0.0f, 1e-5f);
        EXPECT_NEAR(dot(b.u, b.axis), 0.0f, 1e-5f);
    }
    // +Z gives u = +Y, v = -X.
    const float z[3] = {0, 0, 1};
    const Zel::AuxRimBasis b = Zel::MakeAuxRimBasis(z);
    EXPECT_FLOAT_EQ(b.u[1], 1.0f);
    EXPECT_FLOAT_EQ(b.v[0], -1.0f);
}

TEST(AuxRenderTest, WireConeSpokesEndAtEveryTenthRimPoint) {
    RecordingAuxRender aux;
    aux.DrawWireCone(kOrigin, kUp, 1.0f, 3.0f, kRed);
    aux.Flush();
    ASSERT_EQ(aux.drawn.size(), 1u);
    const Drawn& d = aux.drawn[0];
    EXPECT_FLOAT_EQ(d.vertices[360].z, 3.0f);
    for (std::uint32_t k = 0; k < 36; ++k) {
        EXPECT_EQ(d.indices[361 + 2 * k], 360);
        EXPECT_EQ(d.indices[362 + 2 * k], 10 * k);
    }
}

}  // namespace
