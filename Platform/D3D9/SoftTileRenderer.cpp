#include "Platform/D3D9/SoftTileRenderer.h"

#include <algorithm>

namespace {

unsigned Resolve(unsigned threads) {
    if (threads == 0)
        threads = std::max(1u, std::thread::hardware_concurrency());
    return std::min(threads, 64u);
}

}  // namespace

SoftTileRenderer::SoftTileRenderer(unsigned threads) : threads_(Resolve(threads)) {}

SoftTileRenderer::~SoftTileRenderer() {
    Stop();
}

void SoftTileRenderer::SetThreads(unsigned threads) {
    Stop();
    threads_ = Resolve(threads);
}

void SoftTileRenderer::Start() {
    stopping_ = false;
    // A new thread waits for the next generation, not for one a former pool already ran.
    unsigned long long current = generation_;
    for (unsigned w = 1; w < threads_; ++w)
        pool_.emplace_back([this, w, current] { Work(w, current); });
}

void SoftTileRenderer::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : pool_) t.join();
    pool_.clear();
}

void SoftTileRenderer::Drain(unsigned worker) {
    for (;;) {
        unsigned index = next_.fetch_add(1, std::memory_order_relaxed);
        if (index >= count_)
            return;
        (*job_)(index, worker);
    }
}

void SoftTileRenderer::Work(unsigned worker, unsigned long long seen) {
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [&] { return stopping_ || generation_ != seen; });
            if (stopping_)
                return;
            seen = generation_;
        }
        Drain(worker);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (--busy_ == 0)
                done_.notify_one();
        }
    }
}

void SoftTileRenderer::Run(unsigned count,
                           const std::function<void(unsigned index, unsigned worker)>& job) {
    if (count == 0)
        return;
    if (threads_ == 1 || count == 1) {
        for (unsigned i = 0; i < count; ++i) job(i, 0);
        return;
    }
    if (pool_.empty())
        Start();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        job_ = &job;
        count_ = count;
        next_.store(0, std::memory_order_relaxed);
        busy_ = static_cast<unsigned>(pool_.size());
        ++generation_;
    }
    wake_.notify_all();
    Drain(0);
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [&] { return busy_ == 0; });
    job_ = nullptr;
}
