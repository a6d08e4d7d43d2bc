#include "Math/FloatVector.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace Zel {

namespace {
constexpr std::align_val_t kAlignment{16};
}

void FloatVector::AlignedDelete::operator()(float* p) const {
    ::operator delete[](p, kAlignment);
}

FloatVector::FloatVector(int size) {
    SetSize(size);
}

FloatVector::FloatVector(const FloatVector& other) {
    *this = other;
}

FloatVector& FloatVector::operator=(const FloatVector& other) {
    if (this != &other) {
        SetSize(other.size_);
        if (size_ > 0)
            std::memcpy(data_.get(), other.data_.get(), sizeof(float) * size_);
    }
    return *this;
}

void FloatVector::SetSize(int size) {
    data_.reset();
    size_ = std::max(size, 0);
    if (size_ == 0)
        return;
    auto* p = static_cast<float*>(::operator new[](sizeof(float) * size_, kAlignment));
    std::fill(p, p + size_, 0.0f);
    data_.reset(p);
}

}  // namespace Zel
