// The software device's pool of rendering threads. Run hands out job numbers to the calling
// thread and the pool's threads until all are done; each job runs exactly once, on one thread,
// and knows which worker slot it runs on (0 is the calling thread), so that per-worker buffers
// need no locks. Whatever the number of threads, the same jobs run with the same inputs: a draw
// split into screen tiles gives the same pixels on one thread as on many.
//
// Threads start on the first Run that can use them and stop when the renderer is destroyed.
// Run is called from one thread at a time (the device's host thread).
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class SoftTileRenderer {
public:
    // threads: how many run jobs, the caller's included (0: one per processor).
    explicit SoftTileRenderer(unsigned threads = 0);
    ~SoftTileRenderer();
    SoftTileRenderer(const SoftTileRenderer&) = delete;
    SoftTileRenderer& operator=(const SoftTileRenderer&) = delete;

    // Changes the number of threads (0: one per processor); the pool restarts on the next Run.
    void SetThreads(unsigned threads);
    unsigned Threads() const { return threads_; }

    // Runs job(index, worker) for every index in [0, count); returns when all have finished.
    void Run(unsigned count, const std::function<void(unsigned index, unsigned worker)>& job);

private:
    void Start();
    void Stop();
    // A pool thread's loop; seen is the generation it has already taken part in.
    void Work(unsigned worker, unsigned long long seen);
    // Takes job numbers until none are left.
    void Drain(unsigned worker);

    unsigned threads_;
    std::vector<std::thread> pool_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    unsigned long long generation_ = 0;
    bool stopping_ = false;
    const std::function<void(unsigned, unsigned)>* job_ = nullptr;
    unsigned count_ = 0;
    std::atomic<unsigned> next_{0};
    unsigned busy_ = 0;  // pool threads still working on the current generation
};
