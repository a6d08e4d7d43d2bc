// A stack of 4x4 matrices (16 floats each, element (r, c) at 4r + c) for the view and projection
// of a frame, so that a pass can push its own and restore the camera's. The storage starts zero
// filled and grows by half its capacity (16, 24, 36, ...) when a push reaches its end. Host
// thread.
#pragma once

#include <cstdint>
#include <vector>

namespace Zel {

class MatrixStack {
public:
    explicit MatrixStack(std::int32_t capacity = 16);

    // The current matrix (16 floats); valid until the next push.
    float* Top() { return &storage_[16 * static_cast<std::size_t>(top_)]; }
    const float* Top() const { return &storage_[16 * static_cast<std::size_t>(top_)]; }
    void Set(const float* m);
    // Pushes a copy of the current matrix.
    void Push();
    // Pops; at the first matrix nothing happens.
    void Pop();

    std::int32_t GetTop() const { return top_; }
    std::int32_t GetCapacity() const { return capacity_; }
    // Matrix i of the storage (i below the capacity).
    const float* At(std::int32_t i) const { return &storage_[16 * static_cast<std::size_t>(i)]; }

private:
    std::int32_t top_ = 0;
    std::int32_t capacity_;
    std::vector<float> storage_;
};

}  // namespace Zel
