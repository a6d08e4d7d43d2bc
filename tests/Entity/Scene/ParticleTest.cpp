// Particle batches: the store's layout and index pattern, its limits and rebuilds, the drawn run
// of an instance held inside the store, and the frame list that hands instances back.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "Core/DeviceCaps.h"
#include "Core/Factory.h"
#include "Entity/Geometry/IndexData.h"
#include "Entity/Geometry/VertexBufferByFormat.h"
#include "Entity/Material/Pass.h"
#include "Entity/Scene/ParticleInstance.h"
#include "Entity/Scene/ParticleVB.h"
#include "Render/HardwareBufferManager.h"
#include "Render/HardwareIndexBuffer.h"
#include "Render/RenderCodes.h"
#include "support/LogCapture.h"
#include "tests/Entity/Scene/DrawSceneFixture.h"

namespace {

using namespace Zel;

class ParticleTest : public ZelTest::DrawSceneTest {
protected:
    void TearDown() override {
        ReleaseFrameParticleInstances();
        ZelTest::DrawSceneTest::TearDown();
    }
    void SetWideIndices(bool wide) {
        std::uint32_t& flags = G()->GetDeviceCaps()->featureFlags;
        flags = wide ? (flags | DEVICE_INDEX_32) : (flags & ~std::uint32_t(DEVICE_INDEX_32));
    }
};

TEST_F(ParticleTest, TheLayoutFollowsTheDrawingPathAndQuadsShareTheIndexPattern) {
    struct Case {
        bool fixedFunction;
        std::uint32_t vertexSize;
        std::uint32_t key;
    };
    for (const Case& c : {Case{false, 36, 21}, Case{true, 24, 65553}}) {
        SCOPED_TRACE(c.fixedFunction);
        Scene().SetDX7Mode(c.fixedFunction);
        SetWideIndices(false);
        ParticleVB store;
        ASSERT_TRUE(store.BuildVertexStream(3));
        EXPECT_EQ(store.GetCapacity(), 3u);
        EXPECT_EQ(store.GetVertexSize(), c.vertexSize);
        EXPECT_EQ(store.GetLayoutKey(), c.key);
        ASSERT_NE(store.GetIndexData(), nullptr);
        EXPECT_EQ(store.GetIndexData()->GetIndexCount(), 18u);
        const std::uint32_t* indices = store.GetIndexData()->GetIndices();
        EXPECT_EQ(std::vector<std::uint32_t>(indices + 6, indices + 12),
                  (std::vector<std::uint32_t>{4, 5, 6, 4, 6, 7}));
        // Without the device's 32-bit indices the buffer is 16-bit.
        EXPECT_EQ(store.GetIndexData()->GetBuffer()->GetIndexSize(), 2u);
    }
    Scene().SetDX7Mode(false);
    SetWideIndices(true);
}

TEST_F(ParticleTest, SixteenBitIndicesHoldTheCapacityToWhatTheyAddress) {
    struct Case {
        bool wide;
        std::uint32_t asked;
        std::uint32_t capacity;
        int logged;
    };
    for (const Case& c : {Case{false, 16384, 16384, 0}, Case{false, 16385, 16384, 1},
                          Case{true, 16385, 16385, 0}}) {
        SCOPED_TRACE(c.asked);
        SetWideIndices(c.wide);
        ZelTest::LogCapture log;
        ParticleVB store;
        ASSERT_TRUE(store.BuildVertexStream(c.asked));
        EXPECT_EQ(store.GetCapacity(), c.capacity);
        EXPECT_EQ(log.Count("need 32-bit indices"), c.logged);
        EXPECT_EQ(store.GetIndexData()->GetBuffer()->GetIndexSize(), c.wide ? 4u : 2u);
    }
    SetWideIndices(false);
}

TEST_F(ParticleTest, RebuildingReplacesTheBuffersAndLocksStayInside) {
    HardwareBufferManager& buffers = *G()->GetHardwareBufferManager();
    const std::size_t before = buffers.GetVertexBuffers().size();
    ParticleVB store;
    ASSERT_TRUE(store.BuildVertexStream(4));
    ASSERT_TRUE(store.BuildVertexStream(8));
    EXPECT_EQ(buffers.GetVertexBuffers().size(), before + 1);  // the first one went
    // A lock asks for no more than the store holds.
    void* vertices = store.Lock(1000);
    ASSERT_NE(vertices, nullptr);
    std::memset(vertices, 0, 32 * store.GetVertexSize());
    store.Unlock();
    store.Recreate();
    EXPECT_EQ(store.GetCapacity(), 8u);
    EXPECT_EQ(buffers.GetVertexBuffers().size(), before + 1);
    // Empty stores hold nothing to draw.
    ASSERT_TRUE(store.BuildVertexStream(0));
    EXPECT_EQ(store.Lock(4), nullptr);
    store.Reset();
    EXPECT_EQ(store.GetCapacity(), 0u);
    EXPECT_EQ(store.GetVertexBinding(), nullptr);
}

TEST_F(ParticleTest, ADeviceResetRebuildsTheStoreWithItsCapacity) {
    ParticleVB store;
    ASSERT_TRUE(store.BuildVertexStream(5));
    EXPECT_EQ(store.GetVertexSize(), 36u);
    // The layout changes with the drawing path only when the buffers are built again.
    Scene().SetDX7Mode(true);
    EXPECT_EQ(store.GetVertexSize(), 36u);
    system_.OnLostDevice();
    system_.OnResetDevice();
    EXPECT_EQ(store.GetCapacity(), 5u);
    EXPECT_EQ(store.GetVertexSize(), 24u);
    EXPECT_NE(store.Lock(20), nullptr);
    store.Unlock();
    // A recycled store leaves the re-creation list.
    store.Reset();
    system_.OnLostDevice();
    system_.OnResetDevice();
    EXPECT_EQ(store.GetVertexBinding(), nullptr);
    Scene().SetDX7Mode(false);
}

TEST_F(ParticleTest, AnInstanceDrawsItsRunHeldInsideTheStore) {
    ParticleVB store;
    ASSERT_TRUE(store.BuildVertexStream(4));
    ParticleInstance instance;
    EXPECT_EQ(instance.GetSortKey(), 100);
    EXPECT_EQ(instance.GetRenderKind(), 1u);
    instance.SetParticleVB(&store);
    Pass pass(nullptr, 0);
    struct Case {
        std::uint32_t first, count;
        std::int32_t baseVertex;
        std::uint32_t drawn;
    };
    for (const Case& c :
         {Case{1, 2, 4, 2}, Case{3, 5, 12, 1}, Case{9, 2, 16, 0}, Case{0, 0, 0, 0}}) {
        SCOPED_TRACE(testing::Message() << c.first << " + " << c.count);
        instance.SetFirstParticle(c.first);
        instance.SetParticleCount(c.count);
        EXPECT_EQ(instance.FillRenderOperation(&pass, 0), c.drawn ? 1u : 0u);
        const RenderOperation& record = *instance.GetRenderOperationRecord();
        EXPECT_EQ(record.baseVertex, c.baseVertex);
        EXPECT_EQ(record.vertexCount, 4 * c.drawn);
        EXPECT_EQ(record.indexCount, 6 * c.drawn);
        EXPECT_EQ(record.startIndex, 0u);
    }
    instance.SetParticleVB(nullptr);
    EXPECT_EQ(instance.FillRenderOperation(&pass, 0), 0u);
}

TEST_F(ParticleTest, TheFrameListHandsEveryInstanceBack) {
    Factory<ParticleInstance>& factory = *G()->GetParticleInstanceFactory();
    ParticleVB store;
    ASSERT_TRUE(store.BuildVertexStream(2));
    for (int i = 0; i < 3; ++i) {
        ParticleInstance* instance = factory.Acquire();
        instance->SetParticleVB(&store);
        instance->SetParticleCount(2);
        QueueParticleInstance(instance);
    }
    EXPECT_EQ(GetQueuedParticleInstanceCount(), 3u);
    EXPECT_EQ(factory.GetPool().GetInUseCount(), 3);
    ReleaseFrameParticleInstances();
    EXPECT_EQ(GetQueuedParticleInstanceCount(), 0u);
    EXPECT_EQ(factory.GetPool().GetInUseCount(), 0);
    ParticleInstance* again = factory.Acquire();
    EXPECT_EQ(again->GetParticleVB(), nullptr);
    EXPECT_EQ(again->GetParticleCount(), 0u);
    factory.Release(again);
}

}  // namespace
