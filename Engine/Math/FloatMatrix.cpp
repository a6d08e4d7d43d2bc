#include "Math/FloatMatrix.h"

#include <climits>
#include <new>

namespace Zel {

FloatMatrix::FloatMatrix(int rows, int cols) {
    SetSize(rows, cols);
}

void FloatMatrix::SetSize(int rows, int cols) {
    const long long count = (rows > 0 && cols > 0) ? static_cast<long long>(rows) * cols : 0;
    if (count > INT_MAX)
        throw std::bad_alloc();
    rows_ = rows;
    cols_ = cols;
    storage_.SetSize(static_cast<int>(count));
}

}  // namespace Zel
