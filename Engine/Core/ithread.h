// The interface of a worker thread (threadio): its life, the host's pump and the task queue.
#pragma once

#include <cstdint>

namespace Zel {

class itask;

class ithread {
public:
    virtual ~ithread() = default;

    virtual std::int32_t Start(void* argument) = 0;
    virtual std::int32_t WorkerLoop() = 0;
    virtual std::int32_t Stop() = 0;
    virtual std::int32_t Pump() = 0;
    virtual std::int32_t SyncTask(std::uint32_t id) = 0;
    virtual std::int32_t DoSync(itask* task) = 0;
    virtual itask* FindTask(std::uint32_t id) = 0;
    virtual std::int32_t Reserved0() = 0;
    virtual std::uint32_t GetActiveCount() = 0;
    virtual std::uint32_t GetReservedWord() = 0;
    virtual std::uint32_t CreateTask(std::int32_t type, const void* parameter,
                                     std::uint32_t priority) = 0;
    virtual std::int32_t GetTaskState(std::uint32_t id) = 0;
    virtual void SetReserved(std::int32_t value) = 0;
    virtual std::int32_t Reserved1() = 0;
    virtual std::int32_t CancelTask(std::uint32_t id) = 0;
    virtual std::uint32_t PushFront(std::int32_t type, const void* parameter,
                                    std::uint32_t priority) = 0;
};

}  // namespace Zel
