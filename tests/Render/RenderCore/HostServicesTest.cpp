// The small host services IRender hands out: the resource monitor by category, the frame
// profiler's snapshot and host counters, the render-state switches and the system-memory vertex
// and index block.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "Core/FrameStats.h"
#include "Entity/Geometry/Geometry.h"
#include "Entity/Geometry/GeometryManager.h"
#include "Render/RenderCore/IEngineMonitorImplRC.h"
#include "Render/RenderCore/IFrameProfilerImpl.h"
#include "Render/RenderCore/IRenderImpl.h"
#include "Render/RenderCore/IRenderStateManagerImplRC.h"
#include "Render/RenderCore/IVBImplRC.h"
#include "tests/Core/CoreRootFixture.h"
#include "tests/Render/d3d9/RenderTargetFixture.h"

namespace ZelTest {
namespace {

// Geometries that count as level (static) geometry and as body parts by their class.
class LevelPiece final : public Zel::Geometry {
public:
    LevelPiece(Zel::GeometryManager& manager, const char* name)
        : Geometry(&manager, name, "Geometry", manager.NextHandle()) {}
    ZEL_CLASS_ID(StaticGeometry)
};
class BodyPiece final : public Zel::Geometry {
public:
    BodyPiece(Zel::GeometryManager& manager, const char* name)
        : Geometry(&manager, name, "Geometry", manager.NextHandle()) {}
    ZEL_CLASS_ID(GeometryBodyPart)
};

using HostServicesTest = CoreRootTest;

TEST_F(HostServicesTest, TheMonitorCountsGeometriesByCategory) {
    Zel::GeometryManager& geometries = *G()->GetGeometryManager();
    geometries.Add(new LevelPiece(geometries, "level.dml"));
    geometries.Add(new BodyPiece(geometries, "head.bp3"));
    geometries.Add(new BodyPiece(geometries, "hand.bp3"));
    geometries.Add(new Zel::Geometry(&geometries, "box.dm3", "Geometry", geometries.NextHandle()));

    ZelI::IEngineMonitor& monitor = *G()->GetRenderInterface()->GetEngineMonitor();
    struct Case {
        std::int32_t category;
        std::uint32_t count;
    };
    const Case cases[] = {{2, 1}, {5, 4}, {6, 2}, {7, 0}, {-1, 0}};
    for (const Case& c : cases) {
        EXPECT_EQ(monitor.GetResourceCount(c.category), c.count) << c.category;
        EXPECT_EQ(monitor.GetUnreferencedCount(c.category), 0u) << c.category;
        EXPECT_EQ(monitor.GetUnreferencedBytes(c.category), 0u) << c.category;
    }
    EXPECT_EQ(monitor.GetResourceBytes(7), 0u);
    EXPECT_EQ(monitor.GetResourceCount(4), 0u);  // no live actor

    // Only categories with a report write one.
    monitor.DumpResources(7, "seven.txt");
    monitor.DumpResources(2, "two.txt");
    monitor.DumpResources(6, "six.txt");
    EXPECT_FALSE(std::filesystem::exists("seven.txt"));
    EXPECT_FALSE(std::filesystem::exists("two.txt"));
    EXPECT_TRUE(std::filesystem::exists("six.txt"));
}

TEST_F(HostServicesTest, HostCountersRiseByOneAndTheSnapshotCarriesTheSums) {
    Zel::FrameStats& stats = *G()->GetFrameStats();
    stats[Zel::FRAME_DRAW_INDEXED] = 1;
    stats[Zel::FRAME_DRAW_INDEXED_USER] = 2;
    stats[Zel::FRAME_DRAW_NON_INDEXED] = 4;
    stats[Zel::FRAME_STREAM_BINDINGS] = 10;
    stats[Zel::FRAME_DYNAMIC_STREAM_BINDINGS] = 20;
    stats[Zel::FRAME_INDEX_BUFFER_BINDINGS] = 40;
    stats[Zel::FRAME_DYNAMIC_INDEX_BUFFER_BINDINGS] = 80;  // not part of the sum

    ZelI::IFrameProfiler* profiler = G()->GetRenderInterface()->GetFrameProfiler();
    EXPECT_EQ(profiler, G()->GetFrameProfiler());
    const std::uint32_t before = stats[Zel::FRAME_HOST_COUNTER_0];
    profiler->AddCounter0();
    std::uint32_t* word = profiler->AddCounter0();
    EXPECT_EQ(word, &stats.words[Zel::FRAME_HOST_COUNTER_0]);
    EXPECT_EQ(*word, before + 2);
    EXPECT_EQ(*profiler->AddCounter2(), 1u);
    EXPECT_EQ(stats[Zel::FRAME_HOST_COUNTER_1], 0u);

    const ZelI::FrameStatistics snapshot = profiler->GetFrameStatistics();
    EXPECT_EQ(snapshot.words[16], before + 2);
    EXPECT_EQ(snapshot.words[18], 1u);
    EXPECT_EQ(snapshot.words[1], 7u);
    EXPECT_EQ(snapshot.words[9], 70u);
}

class RenderStateManagerTest : public RenderTargetTest {};

TEST_F(RenderStateManagerTest, EachIndexSwitchesItsStateAndOthersChangeNothing) {
    const D3DRENDERSTATETYPE states[] = {
        D3DRS_ZENABLE,       D3DRS_ZWRITEENABLE,    D3DRS_ALPHATESTENABLE,  D3DRS_ALPHABLENDENABLE,
        D3DRS_STENCILENABLE, D3DRS_CLIPPLANEENABLE, D3DRS_COLORWRITEENABLE, D3DRS_SCISSORTESTENABLE,
    };
    auto snapshot = [&] {
        std::vector<DWORD> values;
        for (D3DRENDERSTATETYPE state : states) values.push_back(DeviceRenderState(state));
        return values;
    };
    ZelI::IRenderStateManager& manager = *G()->GetRenderInterface()->GetRenderStateManager();
    for (std::int32_t index = 0; index < 8; ++index) {
        manager.SetState(index, 5);  // any non-zero value switches on
        // Colour writes open all four channels; clip planes open all six planes.
        const DWORD on = index == 6 ? 0xFu : index == 5 ? 0x3Fu : 1u;
        EXPECT_EQ(DeviceRenderState(states[index]), on) << index;
        manager.SetState(index, 0);
        EXPECT_EQ(DeviceRenderState(states[index]), 0u) << index;  // colour: all four channels
    }
    const std::vector<DWORD> before = snapshot();
    manager.SetState(9, 1);
    manager.SetState(-1, 1);
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(manager.Reserved(3), 0);
}

TEST_F(HostServicesTest, TheVertexBlockRefusesRequestsBeyondWhatItHolds) {
    Zel::IVBImplRC block(false);
    EXPECT_EQ(block.GetVertexFormat(), 0x15u);
    EXPECT_EQ(block.GetStride(), 36u);
    EXPECT_FALSE(block.IsValid());
    EXPECT_EQ(block.Lock(1, 0, 0), nullptr);
    EXPECT_EQ(block.GetImpl(), nullptr);

    ASSERT_TRUE(block.Allocate(360, 30, 0, 0, 0, 0));
    EXPECT_TRUE(block.IsValid());
    void* vertices = block.GetVertexData();
    ASSERT_NE(vertices, nullptr);
    EXPECT_EQ(block.Lock(0, 0, 24), vertices);
    EXPECT_EQ(block.GetStride(), 24u);
    EXPECT_EQ(block.Lock(1, 0, 0), block.GetIndexData());
    EXPECT_EQ(block.Lock(2, 0, 0), nullptr);

    struct Case {
        std::uint32_t vertexBytes;
        std::uint32_t indexCount;
        bool fits;
    };
    const Case cases[] = {{360, 30, true}, {100, 5, true}, {361, 30, false}, {360, 31, false}};
    for (const Case& c : cases) {
        EXPECT_EQ(block.Allocate(c.vertexBytes, c.indexCount, 0, 0, 0, 0), c.fits)
            << c.vertexBytes << " " << c.indexCount;
        EXPECT_EQ(block.GetVertexData(), vertices);  // the first block stays
        EXPECT_EQ(block.GetVertexBytes(), 360u);
        EXPECT_EQ(block.GetIndexCount(), 30u);
    }

    block.Release();
    EXPECT_FALSE(block.IsValid());
    EXPECT_FALSE(block.Allocate(8, 8, 0, 0, 0, 0));
    EXPECT_EQ(block.GetVertexData(), nullptr);
    EXPECT_EQ(block.GetIndexData(), nullptr);
    EXPECT_EQ(block.Lock(0, 0, 24), nullptr);
    EXPECT_EQ(block.Lock(1, 0, 0), nullptr);

    Zel::IVBImplRC fixed(true);
    EXPECT_EQ(fixed.GetVertexFormat(), 0x10011u);
    EXPECT_EQ(fixed.GetStride(), 24u);
}

}  // namespace
}  // namespace ZelTest
