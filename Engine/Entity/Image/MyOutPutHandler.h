// The NVIDIA Texture Tools output handler that copies compressed bytes into a caller's buffer.
#pragma once

#include <nvtt/nvtt.h>

#include <cstddef>
#include <cstdint>

namespace Zel {

// Not thread-safe; one compression at a time per handler.
class MyOutPutHandler : public nvtt::OutputHandler {
public:
    MyOutPutHandler() = default;
    MyOutPutHandler(const MyOutPutHandler&) = delete;
    MyOutPutHandler& operator=(const MyOutPutHandler&) = delete;

    // Forgets the destination and the bytes written.
    void Reset();
    // Writes go to destination (not owned; it must outlive the compression), at most capacity
    // bytes in all.
    void SetDestination(std::uint8_t* destination, std::size_t capacity);
    std::size_t BytesWritten() const { return written_; }

    void beginImage(int size, int width, int height, int depth, int face, int miplevel) override;
    // Appends the bytes after those already written; false (which fails the compression) when no
    // destination is set or the bytes would pass the capacity.
    bool writeData(const void* data, int size) override;

private:
    std::uint8_t* destination_ = nullptr;
    std::size_t capacity_ = 0;
    std::size_t written_ = 0;
};

}  // namespace Zel
