// Run under ThreadSanitizer: a factory shared by two threads.
#include <gtest/gtest.h>

#include <atomic>
#include <barrier>
#include <thread>
#include <vector>

#include "Core/Factory.h"
#include "Core/RecycledObject.h"

namespace {

struct Item : Zel::RecycledObject {
    std::atomic<int> holders{0};
    int resets = 0;  // plain on purpose: two resets at once would be a race
    void Reset() override { ++resets; }
};

TEST(FactoryThreads, TwoThreadsNeverHoldTheSameObject) {
    Zel::Factory<Item> factory;
    std::atomic<int> doubleHandOuts{0};
    auto work = [&] {
        for (int round = 0; round < 2000; ++round) {
            Item* held[3];
            for (Item*& item : held) {
                item = factory.Acquire();
                if (item->holders.fetch_add(1) != 0)
                    ++doubleHandOuts;
            }
            for (Item* item : held) {
                item->holders.fetch_sub(1);
                factory.Release(item);
            }
        }
    };
    std::thread a(work), b(work);
    a.join();
    b.join();
    EXPECT_EQ(doubleHandOuts.load(), 0);
    EXPECT_EQ(factory.GetPool().GetInUseCount(), 0);
    EXPECT_LE(factory.GetPool().GetCapacity(), 9);
}

TEST(FactoryThreads, RacingReleasesOfOneObjectResetItOnce) {
    Zel::Factory<Item> factory;
    for (int round = 0; round < 200; ++round) {
        Item* item = factory.Acquire();
        const int before = item->resets;
        std::barrier start(2);
        auto release = [&] {
            start.arrive_and_wait();
            factory.Release(item);
        };
        std::thread a(release), b(release);
        a.join();
        b.join();
        EXPECT_EQ(item->resets, before + 1);
        EXPECT_EQ(factory.GetPool().GetInUseCount(), 0);
    }
}

}  // namespace
