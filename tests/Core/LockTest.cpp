#include <gtest/gtest.h>

#include <set>

#include "Core/ScopedLock.h"
#include "Core/threadmng.h"

namespace {

TEST(threadmng, EightLocksAndNoWorkersYet) {
    Zel::threadmng* tm = Zel::threadmng::GetInstance();
    EXPECT_EQ(tm, Zel::threadmng::GetInstance());
    std::set<Zel::locksection*> locks;
    for (int i = 0; i < 8; ++i) locks.insert(tm->GetLock(i));
    EXPECT_EQ(locks.size(), 8u);
    EXPECT_EQ(locks.count(nullptr), 0u);
    EXPECT_EQ(tm->GetLock(-1), nullptr);
    EXPECT_EQ(tm->GetLock(8), nullptr);
    EXPECT_EQ(tm->GetThread(0), nullptr);
    EXPECT_EQ(tm->GetOrCreateThread(3), nullptr);
    EXPECT_EQ(tm->BeginDeviceAccess(), 1);
    EXPECT_EQ(tm->EndDeviceAccess(), 1);
}

TEST(threadmng, CountersAnswerTheNewValue) {
    Zel::threadmng* tm = Zel::threadmng::GetInstance();
    EXPECT_EQ(tm->IncrementCounter(5), 1);
    EXPECT_EQ(tm->IncrementCounter(5), 2);
    EXPECT_EQ(tm->DecrementCounter(5), 1);
    EXPECT_EQ(tm->IncrementCounter(64), 0);
}

TEST(threadmng, TaskIdsSkipZeroAndTheLargestValue) {
    const struct {
        std::uint32_t last, next;
    } cases[] = {{0, 1}, {41, 42}, {0xFFFFFFFDu, 0xFFFFFFFEu}, {0xFFFFFFFEu, 1}, {0xFFFFFFFFu, 1}};
    for (const auto& c : cases) EXPECT_EQ(Zel::threadmng::NextTaskId(c.last), c.next) << c.last;
    std::uint32_t a = Zel::threadmng::GetInstance()->NewTaskId();
    EXPECT_EQ(Zel::threadmng::GetInstance()->NewTaskId(), Zel::threadmng::NextTaskId(a));
}

TEST(ScopedLock, CountsNestingPerLockAndIgnoresIndicesWithoutALock) {
    {
        Zel::ScopedLock outer(Zel::threadmng::kMainLock);
        Zel::ScopedLock inner(Zel::threadmng::kMainLock);  // re-entrant on this thread
        EXPECT_TRUE(inner.HoldsLock());
        EXPECT_EQ(Zel::ScopedLock::GetNestingCount(3), 2);
        EXPECT_EQ(Zel::ScopedLock::GetNestingCount(2), 0);
        Zel::ScopedLock none(9);
        EXPECT_FALSE(none.HoldsLock());
    }
    EXPECT_EQ(Zel::ScopedLock::GetNestingCount(3), 0);
    EXPECT_EQ(Zel::ScopedLock::GetNestingCount(9), 0);
}

}  // namespace
