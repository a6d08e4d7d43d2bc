#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "Math/FloatMatrix.h"
#include "Math/FloatVector.h"
#include "Math/ZelSIMDProcessor.h"
#include "SimdTestSupport.h"

namespace {

using Zel::FloatMatrix;
using Zel::FloatVector;
using Zel::ZelSIMDProcessor;
using ZelTest::AllSimdVariants;

constexpr float kSentinel = -777.0f;

float Value(int i, int seed) {
    return std::sin(1.3f * i + 0.7f * seed) * 2.0f + 0.1f * seed;
}

FloatMatrix MakeMatrix(int rows, int cols, int seed) {
    FloatMatrix m(rows, cols);
    for (int i = 0; i < rows * cols && rows > 0 && cols > 0; ++i) m.Data()[i] = Value(i, seed);
    return m;
}

FloatVector MakeVector(int n, int seed) {
    FloatVector v(n);
    for (int i = 0; i < n; ++i) v[i] = Value(i, seed);
    return v;
}

// A sum of single-precision products agrees with the exact sum to a few units in the last place
// of the sum of magnitudes.
::testing::AssertionResult Near(float got, double exact, double magnitude) {
    if (std::fabs(got - exact) <= 8 * std::numeric_limits<float>::epsilon() * magnitude + 1e-30)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got " << got << " exact " << exact;
}

// The shapes with their own paths (inner dimension 1 to 6, six rows, squares up to 6) and a few
// beyond them.
const std::vector<int> kCounts = {0, 1, 2, 3, 4, 5, 6, 7, 9, 13};
const std::vector<int> kInner = {1, 2, 3, 4, 5, 6, 7, 9, 13};

TEST(SimdLinearAlgebra, MatrixVectorProductsInAllThreeFormsMatchTheNaiveSum) {
    for (const auto& v : AllSimdVariants()) {
        const ZelSIMDProcessor& p = *v.processor;
        for (int transposed = 0; transposed < 2; ++transposed) {
            for (int outputs : kCounts) {
                for (int inner : kInner) {
                    const FloatMatrix m =
                        transposed ? MakeMatrix(inner, outputs, 1) : MakeMatrix(outputs, inner, 1);
                    const FloatVector x = MakeVector(inner, 2);
                    for (int form = 0; form < 3; ++form) {
                        // One extra element past the outputs must stay untouched.
                        FloatVector dst = MakeVector(outputs + 1, 3);
                        dst[outputs] = kSentinel;
                        const FloatVector before = dst;
                        if (!transposed) {
                            if (form == 0)
                                p.MatrixVectorMul(dst, m, x);
                            if (form == 1)
                                p.MatrixVectorMulAdd(dst, m, x);
                            if (form == 2)
                                p.MatrixVectorMulSub(dst, m, x);
                        } else {
                            if (form == 0)
                                p.MatrixTransposedVectorMul(dst, m, x);
                            if (form == 1)
                                p.MatrixTransposedVectorMulAdd(dst, m, x);
                            if (form == 2)
                                p.MatrixTransposedVectorMulSub(dst, m, x);
                        }
                        for (int i = 0; i < outputs; ++i) {
                            double sum = 0, magnitude = 0;
                            for (int j = 0; j < inner; ++j) {
                                const double term = double(transposed ? m(j, i) : m(i, j)) * x[j];
                                sum += term;
                                magnitude += std::fabs(term);
                            }
                            const double exact = form == 0   ? sum
                                                 : form == 1 ? before[i] + sum
                                                             : before[i] - sum;
                            ASSERT_TRUE(Near(dst[i], exact, magnitude + std::fabs(before[i])))
                                << v.name << (transposed ? " transposed" : "") << " form " << form
                                << " outputs " << outputs << " inner " << inner << " element " << i;
                        }
                        ASSERT_EQ(dst[outputs], kSentinel) << v.name;
                    }
                }
            }
        }
    }
}

TEST(SimdLinearAlgebra, MatrixProductsMatchTheNaiveSumForEveryShape) {
    for (const auto& v : AllSimdVariants()) {
        const ZelSIMDProcessor& p = *v.processor;
        for (int transposed = 0; transposed < 2; ++transposed) {
            for (int rows : kCounts) {
                for (int inner : kInner) {
                    for (int cols : kCounts) {
                        const FloatMatrix a =
                            transposed ? MakeMatrix(inner, rows, 4) : MakeMatrix(rows, inner, 4);
                        const FloatMatrix b = MakeMatrix(inner, cols, 5);
                        // Storage for exactly the outputs: any write beyond them is caught.
                        FloatMatrix dst(rows, cols);
                        if (transposed)
                            p.MatrixTransposedMatrixMul(dst, a, b);
                        else
                            p.MatrixMatrixMul(dst, a, b);
                        for (int i = 0; i < rows; ++i) {
                            for (int j = 0; j < cols; ++j) {
                                double sum = 0, magnitude = 0;
                                for (int k = 0; k < inner; ++k) {
                                    const double term =
                                        double(transposed ? a(k, i) : a(i, k)) * b(k, j);
                                    sum += term;
                                    magnitude += std::fabs(term);
                                }
                                ASSERT_TRUE(Near(dst.Data()[i * cols + j], sum, magnitude))
                                    << v.name << (transposed ? " transposed" : "") << " " << rows
                                    << "x" << inner << " * " << inner << "x" << cols;
                            }
                        }
                    }
                }
            }
        }
    }
}

TEST(SimdLinearAlgebra, OneBySixTimesSixVectorIsOneSumAndEmptyShapesWriteNothing) {
    FloatMatrix m(1, 6);
    for (int j = 0; j < 6; ++j) m(0, j) = float(j + 1);
    FloatVector x(6);
    for (int j = 0; j < 6; ++j) x[j] = float(6 - j);
    for (const auto& v : AllSimdVariants()) {
        FloatVector dst(2);
        dst[0] = 1.0f;
        dst[1] = kSentinel;
        v.processor->MatrixVectorMul(dst, m, x);
        EXPECT_EQ(dst[0], 56.0f) << v.name;
        v.processor->MatrixVectorMulAdd(dst, m, x);
        EXPECT_EQ(dst[0], 112.0f) << v.name;
        v.processor->MatrixVectorMulSub(dst, m, x);
        EXPECT_EQ(dst[0], 56.0f) << v.name;
        EXPECT_EQ(dst[1], kSentinel) << v.name;

        const FloatMatrix noRows(-2, 6);
        v.processor->MatrixVectorMul(dst, noRows, x);
        const FloatMatrix noCols(6, -1);
        v.processor->MatrixTransposedVectorMul(dst, noCols, x);
        EXPECT_EQ(dst[0], 56.0f) << v.name;
    }
}

// Forward substitution in double, from row skip on.
std::vector<double> ForwardReference(const FloatMatrix& l, const std::vector<float>& start,
                                     const std::vector<float>& b, int n, int skip) {
    std::vector<double> x(start.begin(), start.end());
    for (int i = skip; i < n; ++i) {
        double sum = b[i];
        for (int j = 0; j < i; ++j) sum -= double(l(i, j)) * x[j];
        x[i] = sum;
    }
    return x;
}

// Unit lower-triangular with small entries below the diagonal, junk on and above it (never read).
FloatMatrix UnitLower(int n, int seed) {
    FloatMatrix l(n, n);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) l(i, j) = j < i ? 0.3f * Value(i * n + j, seed) : 1e6f;
    return l;
}

TEST(SimdLinearAlgebra, TriangularSolvesMatchTheReferenceInPlaceOrNot) {
    for (const auto& v : AllSimdVariants()) {
        const ZelSIMDProcessor& p = *v.processor;
        for (int n = 1; n <= 20; ++n) {
            const FloatMatrix l = UnitLower(n, n);
            std::vector<float> b(static_cast<size_t>(n) + 1);
            for (int i = 0; i <= n; ++i) b[i] = Value(i, 7);
            for (int skip : {0, 1, 3, n / 2, n - 1}) {
                if (skip < 0 || skip >= n)
                    continue;
                std::vector<float> x(static_cast<size_t>(n) + 1, kSentinel);
                for (int i = 0; i < skip; ++i) x[i] = Value(i, 9);
                const auto expected = ForwardReference(l, x, b, n, skip);
                std::vector<float> inPlace = b;
                for (int i = 0; i < skip; ++i) inPlace[i] = x[i];
                p.SolveLowerTriangular(l, x.data(), b.data(), n, skip);
                p.SolveLowerTriangular(l, inPlace.data(), inPlace.data(), n, skip);
                for (int i = 0; i < n; ++i) {
                    ASSERT_NEAR(x[i], expected[i], 1e-4 * (1 + std::fabs(expected[i])))
                        << v.name << " n " << n << " skip " << skip << " x" << i;
                    ASSERT_EQ(inPlace[i], x[i]) << v.name << " in place, n " << n;
                }
                ASSERT_EQ(x[n], kSentinel);
            }

            // Backward with the transpose: check L^T x = b by multiplying back.
            std::vector<float> x(static_cast<size_t>(n) + 1, kSentinel);
            std::vector<float> inPlace = b;
            p.SolveLowerTriangularTransposed(l, x.data(), b.data(), n);
            p.SolveLowerTriangularTransposed(l, inPlace.data(), inPlace.data(), n);
            for (int i = 0; i < n; ++i) {
                double lhs = x[i];
                for (int j = i + 1; j < n; ++j) lhs += double(l(j, i)) * x[j];
                ASSERT_NEAR(lhs, b[i], 1e-4 * (1 + std::fabs(b[i])))
                    << v.name << " n " << n << " row " << i;
                ASSERT_EQ(inPlace[i], x[i]) << v.name << " in place, n " << n;
            }
            ASSERT_EQ(x[n], kSentinel);
        }
    }
}

TEST(SimdLinearAlgebra, ForwardSolveSkipsTheSolvedHead) {
    const FloatMatrix l = UnitLower(5, 1);
    const float b[5] = {1, 2, 3, 4, 5};
    for (const auto& v : AllSimdVariants()) {
        float x[6] = {10, 20, 30, kSentinel, kSentinel, kSentinel};
        v.processor->SolveLowerTriangular(l, x, b, 5, 5);
        v.processor->SolveLowerTriangular(l, x, b, 0, 0);
        EXPECT_EQ(x[3], kSentinel) << v.name;
        v.processor->SolveLowerTriangular(l, x, b, 5, 3);
        EXPECT_EQ(x[0], 10);
        EXPECT_EQ(x[2], 30);
        const float x3 =
            float(4 - (double(l(3, 0)) * 10 + double(l(3, 1)) * 20 + double(l(3, 2)) * 30));
        EXPECT_NEAR(x[3], x3, 1e-4) << v.name;
        EXPECT_EQ(x[5], kSentinel);
    }
}

TEST(SimdLinearAlgebra, FactorLdltSmallExamples) {
    for (const auto& v : AllSimdVariants()) {
        FloatMatrix one(1, 1);
        one(0, 0) = 4;
        FloatVector inv(1);
        EXPECT_TRUE(v.processor->FactorLDLT(one, inv, 1));
        EXPECT_EQ(one(0, 0), 4.0f);
        EXPECT_EQ(inv[0], 0.25f);

        FloatMatrix two(2, 2);
        two(0, 0) = 4;
        two(0, 1) = 99;  // above the diagonal: neither read nor written
        two(1, 0) = 2;
        two(1, 1) = 5;
        FloatVector inv2(2);
        EXPECT_TRUE(v.processor->FactorLDLT(two, inv2, 2));
        EXPECT_EQ(two(1, 0), 0.5f);
        EXPECT_EQ(two(1, 1), 4.0f);
        EXPECT_EQ(two(0, 1), 99.0f);
        EXPECT_EQ(inv2[0], 0.25f);
        EXPECT_EQ(inv2[1], 0.25f);

        FloatVector untouched(1);
        untouched[0] = kSentinel;
        EXPECT_TRUE(v.processor->FactorLDLT(one, untouched, 0));
        EXPECT_EQ(untouched[0], kSentinel);
    }
}

// Identity but for a(pivot, 0) = a(0, 0) = a(pivot, pivot) = 1, which makes pivot number
// `pivot` exactly zero.
FloatMatrix ZeroPivotAt(int n, int pivot) {
    FloatMatrix m(n, n);
    for (int i = 0; i < n; ++i) m(i, i) = 2.0f;
    m(0, 0) = 1.0f;
    m(pivot, 0) = 1.0f;
    m(pivot, pivot) = 1.0f;
    for (int k = pivot + 1; k < n; ++k) m(k, pivot) = 0.5f;
    return m;
}

TEST(SimdLinearAlgebra, FactorLdltStopsAtAnExactlyZeroPivotInEveryVariant) {
    struct Row {
        int n;
        int pivot;
    };
    for (const Row row : {Row{4, 2}, Row{8, 4}, Row{12, 9}}) {
        for (const auto& v : AllSimdVariants()) {
            FloatMatrix m = ZeroPivotAt(row.n, row.pivot);
            const FloatMatrix before = m;
            FloatVector inv(row.n);
            for (int i = 0; i < row.n; ++i) inv[i] = kSentinel;
            EXPECT_FALSE(v.processor->FactorLDLT(m, inv, row.n)) << v.name << " n " << row.n;
            for (int i = 0; i < row.pivot; ++i) EXPECT_NE(inv[i], kSentinel) << v.name;
            for (int i = row.pivot; i < row.n; ++i) EXPECT_EQ(inv[i], kSentinel) << v.name;
            EXPECT_EQ(m(1, 1), row.pivot > 1 ? 2.0f : before(1, 1));
            EXPECT_EQ(m(row.pivot, 0), 1.0f);  // column 0 final: 1 / 1
            for (int k = row.pivot; k < row.n; ++k)
                for (int c = row.pivot; c <= k; ++c)
                    EXPECT_EQ(m(k, c), before(k, c)) << v.name << " (" << k << "," << c << ")";
        }
    }
}

TEST(SimdLinearAlgebra, FactorLdltGoesOnThroughANaNPivot) {
    for (const auto& v : AllSimdVariants()) {
        FloatMatrix m(2, 2);
        m(0, 0) = std::numeric_limits<float>::quiet_NaN();
        m(1, 0) = 1;
        m(1, 1) = 2;
        FloatVector inv(2);
        EXPECT_TRUE(v.processor->FactorLDLT(m, inv, 2)) << v.name;
        EXPECT_TRUE(std::isnan(inv[0]));
    }
}

TEST(SimdLinearAlgebra, FactoriseThenSolveRecoversTheSolution) {
    for (const auto& v : AllSimdVariants()) {
        const ZelSIMDProcessor& p = *v.processor;
        for (int n = 1; n <= 20; ++n) {
            // Symmetric and diagonally dominant, so well conditioned.
            FloatMatrix a(n, n);
            for (int i = 0; i < n; ++i) {
                for (int j = 0; j <= i; ++j) a(i, j) = a(j, i) = 0.5f * Value(i * 31 + j, 3);
                a(i, i) = float(n) + 1.0f + std::fabs(Value(i, 4));
            }
            std::vector<float> solution(static_cast<size_t>(n)), b(static_cast<size_t>(n));
            for (int i = 0; i < n; ++i) solution[i] = Value(i, 6);
            for (int i = 0; i < n; ++i) {
                double sum = 0;
                for (int j = 0; j < n; ++j) sum += double(a(i, j)) * solution[j];
                b[i] = float(sum);
            }
            FloatMatrix factors = a;
            FloatVector inv(n);
            ASSERT_TRUE(p.FactorLDLT(factors, inv, n)) << v.name << " n " << n;
            std::vector<float> x(static_cast<size_t>(n));
            p.SolveLowerTriangular(factors, x.data(), b.data(), n, 0);
            for (int i = 0; i < n; ++i) x[i] *= inv[i];
            p.SolveLowerTriangularTransposed(factors, x.data(), x.data(), n);
            for (int i = 0; i < n; ++i)
                ASSERT_NEAR(x[i], solution[i], 1e-5 * (1 + std::fabs(solution[i])))
                    << v.name << " n " << n << " x" << i;
        }
    }
}

}  // namespace
