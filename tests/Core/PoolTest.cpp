#include <gtest/gtest.h>

#include <vector>

#include "Core/CObjectPool.h"
#include "Core/Factory.h"
#include "Core/RecycledObject.h"

namespace {

struct Item : Zel::RecycledObject {
    int resets = 0;
    void Reset() override { ++resets; }
};

std::vector<void*> g_events;
std::vector<std::uint32_t> g_threads;
void Record(void* object, std::uint32_t threadId) {
    g_events.push_back(object);
    g_threads.push_back(threadId);
}
void Ignore(void*, std::uint32_t) {}

class PoolTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_events.clear();
        g_threads.clear();
    }
};

TEST_F(PoolTest, GrowsByHalfFromFourAndStopsAtItsCap) {
    Zel::CObjectPool<Item> pool;
    EXPECT_EQ(pool.GetCapacity(), 4);
    EXPECT_EQ(pool.GetFreeCount(), 4);
    // capacity after the n-th acquire
    const std::vector<std::pair<int, int>> growth = {{4, 4}, {5, 6}, {7, 9}, {10, 13}, {14, 19}};
    int acquired = 0;
    for (auto [n, capacity] : growth) {
        while (acquired < n) {
            ASSERT_NE(pool.Acquire(), nullptr);
            ++acquired;
        }
        EXPECT_EQ(pool.GetCapacity(), capacity) << "after " << n;
    }
    EXPECT_EQ(pool.GetInUseCount(), 14);
    EXPECT_EQ(Zel::CountListNodes(pool), 14);

    Zel::CObjectPool<Item> capped(4, 1.5f, 5);
    for (int i = 0; i < 5; ++i) ASSERT_NE(capped.Acquire(), nullptr);
    EXPECT_EQ(capped.GetCapacity(), 5);
    EXPECT_EQ(capped.Acquire(), nullptr);
    EXPECT_FALSE(capped.Grow());
}

TEST_F(PoolTest, HandsOutTheLastReturnedAndIgnoresObjectsNotInUse) {
    Zel::CObjectPool<Item> pool;
    pool.AddListener(Zel::POOL_LISTENER_RELEASE, &Record);
    Item* a = pool.Acquire();
    Item* b = pool.Acquire();
    pool.Release(a);
    EXPECT_EQ(pool.Acquire(), a);
    pool.Release(b);
    pool.Release(b);  // second release
    Item stranger;
    pool.Release(&stranger);
    EXPECT_EQ(g_events, (std::vector<void*>{a, b}));  // one call per real return
    EXPECT_EQ(pool.GetInUseCount(), 1);
    EXPECT_TRUE(pool.IsInUse(a));
    EXPECT_FALSE(pool.IsInUse(b));
    EXPECT_EQ(pool.GetFreeCount(), 3);
}

// What a release listener sees of the pool while it runs: the object still linked in use, the
// count already lowered, the object already at the back of the free list.
struct ReleaseView {
    bool inUse;
    std::int32_t inUseCount;
    std::int32_t freeCount;
};
Zel::CObjectPool<Item>* g_watched = nullptr;
std::vector<ReleaseView> g_views;
void Watch(void* object, std::uint32_t) {
    Item* item = static_cast<Item*>(object);
    g_views.push_back(
        {g_watched->IsInUse(item), g_watched->GetInUseCount(), g_watched->GetFreeCount()});
}

TEST_F(PoolTest, ReleaseListenersRunBeforeTheObjectLeavesTheInUseList) {
    Zel::CObjectPool<Item> pool;
    Zel::Factory<Item> factory;
    for (Zel::CObjectPool<Item>* watched : {&pool, &factory.GetPool()}) {
        g_watched = watched;
        g_views.clear();
        watched->AddListener(Zel::POOL_LISTENER_RELEASE, &Watch);
        Item* a = watched == &pool ? pool.Acquire() : factory.Acquire();
        watched == &pool ? pool.Release(a) : factory.Release(a);
        ASSERT_EQ(g_views.size(), 1u);
        EXPECT_TRUE(g_views[0].inUse);
        EXPECT_EQ(g_views[0].inUseCount, 0);
        EXPECT_EQ(g_views[0].freeCount, 4);
        EXPECT_FALSE(watched->IsInUse(a));  // unlinked once the listeners are done
        EXPECT_EQ(watched->GetInUseObjects().size(), 0u);
    }
    g_watched = nullptr;
}

TEST_F(PoolTest, RemovedListenerSlotIsReusedAndSkipped) {
    Zel::CObjectPool<Item> pool;
    EXPECT_EQ(pool.AddListener(Zel::POOL_LISTENER_ACQUIRE, &Ignore), 0u);
    EXPECT_EQ(pool.AddListener(Zel::POOL_LISTENER_ACQUIRE, &Ignore), 1u);
    pool.RemoveListener(Zel::POOL_LISTENER_ACQUIRE, 0);
    pool.RemoveListener(Zel::POOL_LISTENER_ACQUIRE, 7);  // out of range: ignored
    pool.Acquire();
    EXPECT_EQ(pool.AddListener(Zel::POOL_LISTENER_ACQUIRE, &Record), 0u);
    EXPECT_EQ(pool.AddListener(Zel::POOL_LISTENER_ACQUIRE, &Ignore), 2u);
    Item* x = pool.Acquire();
    EXPECT_EQ(g_events, std::vector<void*>{x});
    EXPECT_EQ(g_threads, std::vector<std::uint32_t>{GetCurrentThreadId()});
}

TEST_F(PoolTest, SnapshotsListInOrderAndDestructionDeletesInUseObjectsFirst) {
    std::vector<void*> inUse, freeOnes;
    {
        Zel::CObjectPool<Item> pool;
        pool.AddListener(Zel::POOL_LISTENER_DESTROY, &Record);
        inUse = {pool.Acquire(), pool.Acquire()};
        Zel::IInsList_Impl* list = pool.GetInUseList();
        ASSERT_EQ(list->GetCount(), 2u);
        EXPECT_EQ(list->GetAt(0), inUse[0]);
        EXPECT_EQ(list->GetAt(1), inUse[1]);
        EXPECT_EQ(list->GetAt(2), nullptr);
        Zel::IInsList_Impl* free = pool.GetFreeList();
        for (std::uint32_t i = 0; i < free->GetCount(); ++i) freeOnes.push_back(free->GetAt(i));
        EXPECT_EQ(freeOnes.size(), 2u);
    }
    std::vector<void*> expected = inUse;
    expected.insert(expected.end(), freeOnes.begin(), freeOnes.end());
    EXPECT_EQ(g_events, expected);
}

TEST_F(PoolTest, ClearDeletesEverythingAndThePoolGrowsAgain) {
    Zel::CObjectPool<Item> pool(2, 1.5f, -1);
    pool.AddListener(Zel::POOL_LISTENER_DESTROY, &Record);
    pool.Acquire();
    pool.Clear();
    EXPECT_EQ(g_events.size(), 2u);
    EXPECT_EQ(pool.GetCapacity(), 0);
    EXPECT_EQ(pool.GetInUseCount(), 0);
    EXPECT_NE(pool.Acquire(), nullptr);
    EXPECT_EQ(pool.GetCapacity(), 1);
    pool.Reserve(3);
    EXPECT_EQ(pool.GetCapacity(), 4);
    EXPECT_EQ(pool.GetFreeCount(), 3);
}

TEST_F(PoolTest, FactoryResetsOnceAndIgnoresASecondRelease) {
    Zel::Factory<Item> factory;
    factory.GetPool().AddListener(Zel::POOL_LISTENER_RELEASE, &Record);
    EXPECT_EQ(factory.GetOwnerThreadId(), 0u);
    Item* item = factory.Acquire();
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(factory.GetOwnerThreadId(), GetCurrentThreadId());
    factory.Release(item);
    factory.Release(item);
    factory.Release(nullptr);
    EXPECT_EQ(item->resets, 1);
    EXPECT_EQ(g_events, std::vector<void*>{item});
    EXPECT_EQ(factory.Acquire(), item);
}

}  // namespace
