#include "Entity/Scene/MatrixStack.h"

#include <algorithm>
#include <cstring>

namespace Zel {

MatrixStack::MatrixStack(std::int32_t capacity)
    : capacity_(std::max(capacity, 2)), storage_(16 * static_cast<std::size_t>(capacity_), 0.0f) {}

void MatrixStack::Set(const float* m) {
    std::memcpy(Top(), m, 16 * sizeof(float));
}

void MatrixStack::Push() {
    if (top_ == capacity_ - 1) {
        capacity_ += capacity_ / 2;
        storage_.resize(16 * static_cast<std::size_t>(capacity_), 0.0f);
    }
    std::memcpy(&storage_[16 * static_cast<std::size_t>(top_ + 1)], Top(), 16 * sizeof(float));
    ++top_;
}

void MatrixStack::Pop() {
    if (top_ > 0)
        --top_;
}

}  // namespace Zel
