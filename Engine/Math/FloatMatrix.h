// A dense row-major matrix of 32-bit floats for the SIMD processors' linear algebra: element
// (i, j) lies at index i * Cols() + j, so the column count is the row stride. The storage holds
// exactly Rows() * Cols() floats and starts on a 16-byte boundary.
#pragma once

#include "Math/FloatVector.h"

namespace Zel {

class FloatMatrix {
public:
    FloatMatrix() = default;
    // rows x cols floats, all 0. A count of 0 or less is kept as given (the processors then
    // write nothing along it) and holds no storage.
    FloatMatrix(int rows, int cols);

    // Replaces the storage by rows x cols floats, all 0.
    void SetSize(int rows, int cols);
    int Rows() const { return rows_; }
    int Cols() const { return cols_; }
    float* Data() { return storage_.Data(); }
    const float* Data() const { return storage_.Data(); }
    float& operator()(int i, int j) { return storage_[i * cols_ + j]; }
    float operator()(int i, int j) const { return storage_[i * cols_ + j]; }

private:
    int rows_ = 0;
    int cols_ = 0;
    FloatVector storage_;
};

}  // namespace Zel
