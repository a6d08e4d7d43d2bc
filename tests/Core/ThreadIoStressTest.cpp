// The worker thread under load, for ThreadSanitizer: ten thousand tasks of random kinds and
// priorities, random cancellations and collections while the worker runs, then Stop under a
// watchdog. Every task must end exactly once, in the way its cancellation answer promised.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "Core/threadio.h"
#include "RecordingTasks.h"

namespace {

using Zel::itask;
using Zel::threadio;

// Aborts the process when the guarded call does not return in time.
class Watchdog {
public:
    explicit Watchdog(std::chrono::seconds limit)
        : thread_([this, limit] {
              std::unique_lock<std::mutex> lock(mutex_);
              if (!cv_.wait_for(lock, limit, [this] { return done_; })) {
                  std::fprintf(stderr, "watchdog: the worker did not stop\n");
                  std::abort();
              }
          }) {}
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool done_ = false;
    std::thread thread_;
};

struct Counts {
    int begin = 0, steps = 0, complete = 0, cancel = 0;
    bool beganOnWorker = true, completedOnHost = true;
};

TEST(threadioStress, TenThousandTasksEachEndExactlyOnce) {
    constexpr int kTasks = 10000;
    ZelTest::RecordingFactoryScope factory;
    threadio worker(Zel::WorkerDriver::Thread);
    ASSERT_EQ(worker.Start(nullptr), 0);
    const DWORD host = GetCurrentThreadId();

    std::mt19937 random(20240611);
    const std::int32_t kinds[] = {ZelTest::kOneStepTask, ZelTest::kFourStepTask,
                                  ZelTest::kReleaseTask};
    std::vector<std::uint32_t> ids;
    std::map<std::uint32_t, std::int32_t> kindOf;
    std::map<std::uint32_t, std::int32_t> firstCancel;  // the first cancellation's answer
    for (int i = 0; i < kTasks; ++i) {
        ZelTest::TaskParameter parameter;
        parameter.tag = i;
        const std::int32_t kind = kinds[random() % 3];
        const std::uint32_t id = worker.CreateTask(kind, &parameter, random() % 3);
        ASSERT_NE(id, 0u);
        ids.push_back(id);
        kindOf[id] = kind;
        if (random() % 6 == 0) {
            const std::uint32_t victim = ids[random() % ids.size()];
            const std::int32_t answer = worker.CancelTask(victim);
            firstCancel.emplace(victim, answer);
        }
        if (random() % 10 == 0)
            worker.GetTaskState(ids[random() % ids.size()]);
        for (int pumps = 0; pumps < 2;)
            if (worker.Pump() == 0)
                ++pumps;
    }
    {
        Watchdog watchdog(std::chrono::seconds(240));
        EXPECT_EQ(worker.Stop(), 0);
    }
    const threadio::QueueSizes left = worker.GetQueueSizes();
    EXPECT_EQ(left.submitted + left.active + left.cancelled, 0u);

    std::map<std::uint32_t, Counts> counts;
    for (const ZelTest::TaskEvent& e : ZelTest::Journal().Events()) {
        Counts& c = counts[e.id];
        if (e.what == "begin") {
            ++c.begin;
            c.beganOnWorker = c.beganOnWorker && e.thread != host;
        } else if (e.what == "complete") {
            ++c.complete;
            c.completedOnHost = c.completedOnHost && e.thread == host;
        } else if (e.what == "cancel") {
            ++c.cancel;
        } else if (e.what[0] != '@') {  // main-thread marks are not steps
            ++c.steps;
        }
    }
    int dropped = 0, completed = 0, cancelled = 0;
    for (std::uint32_t id : ids) {
        const Counts c = counts[id];
        const std::int32_t kind = kindOf[id];
        const bool ranThrough = c.begin == 1 && c.steps == (kind == ZelTest::kFourStepTask ? 3 : 0);
        const bool completes = kind != ZelTest::kReleaseTask;
        ASSERT_TRUE(c.beganOnWorker && c.completedOnHost) << id;
        ASSERT_LE(c.begin, 1) << id;
        ASSERT_LE(c.complete, 1) << id;
        ASSERT_LE(c.cancel, 1) << id;
        auto it = firstCancel.find(id);
        const std::int32_t answer = it == firstCancel.end() ? 0 : it->second;
        if (answer == 1 || (answer == -1 && c.begin == 0)) {
            // Dropped before it began.
            ASSERT_EQ(c.begin + c.steps + c.complete + c.cancel, 0) << id;
            ++dropped;
        } else if (answer == 2) {
            ASSERT_TRUE(ranThrough && c.complete == 0 && c.cancel == 1) << id;
            ++cancelled;
        } else if (answer == 3) {
            ASSERT_TRUE(ranThrough && c.complete == 1 && c.cancel == 1) << id;
            ++cancelled;
        } else {
            // Never cancelled, or asked after it had ended (-1).
            ASSERT_TRUE(ranThrough && c.complete == (completes ? 1 : 0) && c.cancel == 0) << id;
            ++completed;
        }
    }
    EXPECT_EQ(dropped + completed + cancelled, kTasks);
    EXPECT_GT(dropped, 0);
    EXPECT_GT(cancelled, 0);
}

}  // namespace
