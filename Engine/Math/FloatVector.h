// A dense vector of 32-bit floats for the SIMD processors' linear algebra. The storage holds
// exactly Size() floats and starts on a 16-byte boundary; the processors never read or write
// past the last element, so views of other storage need no padding either.
#pragma once

#include <memory>

namespace Zel {

class FloatVector {
public:
    FloatVector() = default;
    // size floats, all 0; a size of 0 or less holds nothing. Throws std::bad_alloc when the
    // storage cannot be had.
    explicit FloatVector(int size);
    FloatVector(const FloatVector& other);
    FloatVector& operator=(const FloatVector& other);
    FloatVector(FloatVector&&) noexcept = default;
    FloatVector& operator=(FloatVector&&) noexcept = default;
    ~FloatVector() = default;

    // Replaces the storage by size floats, all 0.
    void SetSize(int size);
    int Size() const { return size_; }
    float* Data() { return data_.get(); }
    const float* Data() const { return data_.get(); }
    float& operator[](int i) { return data_[i]; }
    float operator[](int i) const { return data_[i]; }

private:
    struct AlignedDelete {
        void operator()(float* p) const;
    };
    std::unique_ptr<float[], AlignedDelete> data_;
    int size_ = 0;
};

}  // namespace Zel
