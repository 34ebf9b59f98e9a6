#include "design/complex_matrix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace {

using Cd = std::complex<double>;

std::unique_ptr<ComplexMatrix> NewMatrix() {
    auto m = std::make_unique<ComplexMatrix>();
    ClearComplexMatrix(m.get());
    return m;
}

void FillRandom(ComplexMatrix* m, int n, unsigned seed, double diagonal_boost) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> d(-1.0f, 1.0f);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) m->a[i][j] = {d(rng), d(rng)};
    for (int i = 0; i < n; ++i) m->a[i][i].re += static_cast<float>(diagonal_boost);
}

// Reference: solve A X = I by LU with partial pivoting in double precision, column by column.
std::vector<Cd> ReferenceInverse(const ComplexMatrix& m, int n) {
    std::vector<Cd> lu(n * n), inv(n * n);
    std::vector<int> perm(n);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) lu[i * n + j] = Cd(m.a[i][j].re, m.a[i][j].im);
    for (int i = 0; i < n; ++i) perm[i] = i;
    for (int k = 0; k < n; ++k) {
        int p = k;
        for (int i = k + 1; i < n; ++i)
            if (std::abs(lu[i * n + k]) > std::abs(lu[p * n + k])) p = i;
        if (p != k) {
            for (int j = 0; j < n; ++j) std::swap(lu[k * n + j], lu[p * n + j]);
            std::swap(perm[k], perm[p]);
        }
        for (int i = k + 1; i < n; ++i) {
            lu[i * n + k] /= lu[k * n + k];
            for (int j = k + 1; j < n; ++j) lu[i * n + j] -= lu[i * n + k] * lu[k * n + j];
        }
    }
    for (int c = 0; c < n; ++c) {
        std::vector<Cd> y(n);
        for (int i = 0; i < n; ++i) {
            Cd s = perm[i] == c ? 1.0 : 0.0;
            for (int j = 0; j < i; ++j) s -= lu[i * n + j] * y[j];
            y[i] = s;
        }
        for (int i = n - 1; i >= 0; --i) {
            Cd s = y[i];
            for (int j = i + 1; j < n; ++j) s -= lu[i * n + j] * inv[j * n + c];
            inv[i * n + c] = s / lu[i * n + i];
        }
    }
    return inv;
}

Cd At(const ComplexMatrix& m, int i, int j) { return Cd(m.a[i][j].re, m.a[i][j].im); }

TEST(ComplexMatrixTest, SizeOneIsReciprocal) {
    auto m = NewMatrix();
    m->a[0][0] = {3.0f, -4.0f};
    ASSERT_EQ(InvertComplexMatrix(m.get(), 1), 0);
    const Cd expect = 1.0 / Cd(3.0, -4.0);
    EXPECT_NEAR(m->a[0][0].re, expect.real(), 1e-7);
    EXPECT_NEAR(m->a[0][0].im, expect.imag(), 1e-7);
}

TEST(ComplexMatrixTest, DiagonalEntriesBecomeReciprocals) {
    auto m = NewMatrix();
    const Cd diag[4] = {{2, 0}, {0, 1}, {1e6, 0}, {0.001, 0.002}};
    for (int i = 0; i < 4; ++i) m->a[i][i] = {float(diag[i].real()), float(diag[i].imag())};
    ASSERT_EQ(InvertComplexMatrix(m.get(), 4), 0);
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            if (i == j) {
                const Cd e = 1.0 / Cd(float(diag[i].real()), float(diag[i].imag()));
                EXPECT_NEAR(std::abs(At(*m, i, i) - e) / std::abs(e), 0.0, 1e-6);
            } else {
                EXPECT_EQ(m->a[i][j].re, 0.0f);
                EXPECT_EQ(m->a[i][j].im, 0.0f);
            }
        }
    }
}

TEST(ComplexMatrixTest, ExchangeMatrixIsInvertible) {
    // Without row exchanges this reports a zero pivot; it is its own inverse.
    auto m = NewMatrix();
    m->a[0][1] = {1.0f, 0.0f};
    m->a[1][0] = {1.0f, 0.0f};
    ASSERT_EQ(InvertComplexMatrix(m.get(), 2), 0);
    EXPECT_EQ(m->a[0][0].re, 0.0f);
    EXPECT_EQ(m->a[1][1].re, 0.0f);
    EXPECT_EQ(m->a[0][1].re, 1.0f);
    EXPECT_EQ(m->a[1][0].re, 1.0f);
}

TEST(ComplexMatrixTest, SizeBeyondStorageIsRefused) {
    auto m = NewMatrix();
    m->a[0][0] = {2.0f, 0.0f};
    EXPECT_EQ(InvertComplexMatrix(m.get(), kMatrixCapacity + 1), 1);
    EXPECT_EQ(InvertComplexMatrix(m.get(), -1), 1);
    EXPECT_EQ(m->a[0][0].re, 2.0f);
}

TEST(ComplexMatrixTest, SizeZeroChangesNothing) {
    auto m = NewMatrix();
    m->a[0][0] = {5.0f, 1.0f};
    EXPECT_EQ(InvertComplexMatrix(m.get(), 0), 0);
    EXPECT_EQ(m->a[0][0].re, 5.0f);
    EXPECT_EQ(m->a[0][0].im, 1.0f);
}

TEST(ComplexMatrixTest, RandomMatricesAgreeWithDoubleLu) {
    for (int n : {2, 3, 5, 8, 17, 32, 64}) {
        auto m = NewMatrix();
        // Some matrices with a zero leading diagonal, which need row exchanges.
        FillRandom(m.get(), n, 100 + n, n % 2 ? 0.0 : 2.0);
        m->a[0][0] = {0.0f, 0.0f};
        const auto original = *m;
        const auto expect = ReferenceInverse(original, n);
        ASSERT_EQ(InvertComplexMatrix(m.get(), n), 0) << "n=" << n;
        double max_ref = 0.0, max_err = 0.0;
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) {
                max_ref = std::max(max_ref, std::abs(expect[i * n + j]));
                max_err = std::max(max_err, std::abs(At(*m, i, j) - expect[i * n + j]));
            }
        EXPECT_LT(max_err / max_ref, 1e-5) << "n=" << n;
        // A * A^-1 = I, with the product formed in double precision.
        double max_off = 0.0;
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) {
                Cd s = 0.0;
                for (int x = 0; x < n; ++x) s += At(original, i, x) * At(*m, x, j);
                max_off = std::max(max_off, std::abs(s - (i == j ? 1.0 : 0.0)));
            }
        EXPECT_LT(max_off, 1e-4 * n) << "n=" << n;
    }
}

TEST(ComplexMatrixTest, EntriesOutsideTheBlockAreUntouched) {
    auto m = NewMatrix();
    FillRandom(m.get(), 6, 7, 3.0);
    const auto before = *m;
    ASSERT_EQ(InvertComplexMatrix(m.get(), 4), 0);
    for (int i = 0; i < 6; ++i)
        for (int j = 0; j < 6; ++j)
            if (i >= 4 || j >= 4) {
                EXPECT_EQ(m->a[i][j].re, before.a[i][j].re);
                EXPECT_EQ(m->a[i][j].im, before.a[i][j].im);
            }
}

TEST(ComplexMatrixTest, SingularMatricesReportOneAndStayUnchanged) {
    // Dependent rows.
    auto m = NewMatrix();
    m->a[0][0] = {1.0f, 1.0f};
    m->a[0][1] = {2.0f, 0.0f};
    m->a[1][0] = {2.0f, 2.0f};
    m->a[1][1] = {4.0f, 0.0f};
    auto before = *m;
    EXPECT_EQ(InvertComplexMatrix(m.get(), 2), 1);
    EXPECT_EQ(std::memcmp(m.get(), &before, sizeof(before)), 0);

    // An empty row and column, as a node that touches no branch leaves in the nodal matrix.
    auto e = NewMatrix();
    FillRandom(e.get(), 5, 9, 2.0);
    for (int k = 0; k < 5; ++k) e->a[2][k] = e->a[k][2] = {0.0f, 0.0f};
    before = *e;
    EXPECT_EQ(InvertComplexMatrix(e.get(), 5), 1);
    EXPECT_EQ(std::memcmp(e.get(), &before, sizeof(before)), 0);

    // A zero diagonal entry of a diagonal impedance matrix.
    auto z = NewMatrix();
    z->a[0][0] = {1e6f, 0.0f};
    z->a[1][1] = {0.0f, 0.0f};
    EXPECT_EQ(InvertComplexMatrix(z.get(), 2), 1);
}

TEST(ComplexMatrixTest, NonFiniteInverseIsAFailure) {
    auto m = NewMatrix();
    m->a[0][0] = {1e-39f, 0.0f};  // a denormal pivot: the inverse does not fit a float
    m->a[1][1] = {1.0f, 0.0f};
    auto before = *m;
    EXPECT_EQ(InvertComplexMatrix(m.get(), 2), 1);
    EXPECT_EQ(std::memcmp(m.get(), &before, sizeof(before)), 0);

    m->a[0][0] = {std::nanf(""), 0.0f};
    EXPECT_EQ(InvertComplexMatrix(m.get(), 2), 1);
}

TEST(ComplexMatrixTest, ProductsAgreeWithDoubleSums) {
    auto x = NewMatrix();
    auto w = NewMatrix();
    auto c = NewMatrix();
    FillRandom(x.get(), 7, 1, 0.0);
    FillRandom(w.get(), 7, 2, 0.0);
    auto t = std::make_unique<IntegerMatrix>();
    ClearIntegerMatrix(t.get());
    std::mt19937 rng(3);
    for (int i = 0; i < 7; ++i)
        for (int j = 0; j < 7; ++j) t->a[i][j] = int(rng() % 3) - 1;

    const int r = 5, in = 7, cols = 6;
    MultiplyComplexComplex(*x, *w, c.get(), r, in, cols);
    for (int i = 0; i < r; ++i)
        for (int j = 0; j < cols; ++j) {
            Cd s = 0.0;
            for (int k = 0; k < in; ++k) s += At(*x, i, k) * At(*w, k, j);
            EXPECT_NEAR(std::abs(At(*c, i, j) - s), 0.0, 1e-5);
        }

    MultiplyIntegerComplex(*t, *w, c.get(), r, in, cols);
    for (int i = 0; i < r; ++i)
        for (int j = 0; j < cols; ++j) {
            Cd s = 0.0;
            for (int k = 0; k < in; ++k) s += double(t->a[i][k]) * At(*w, k, j);
            EXPECT_NEAR(std::abs(At(*c, i, j) - s), 0.0, 1e-5);
        }

    MultiplyComplexInteger(*x, *t, c.get(), r, in, cols);
    for (int i = 0; i < r; ++i)
        for (int j = 0; j < cols; ++j) {
            Cd s = 0.0;
            for (int k = 0; k < in; ++k) s += At(*x, i, k) * double(t->a[k][j]);
            EXPECT_NEAR(std::abs(At(*c, i, j) - s), 0.0, 1e-5);
        }

    float v[kMatrixCapacity] = {};
    ComplexF cv[kMatrixCapacity] = {};
    for (int k = 0; k < in; ++k) {
        v[k] = 0.5f * k - 1.0f;
        cv[k] = {v[k], 1.0f - v[k]};
    }
    ComplexF y[kMatrixCapacity];
    MultiplyRealPartByVector(*x, v, y, r, in);
    for (int i = 0; i < r; ++i) {
        double s = 0.0;
        for (int k = 0; k < in; ++k) s += double(x->a[i][k].re) * v[k];
        EXPECT_NEAR(y[i].re, s, 1e-5);
        EXPECT_EQ(y[i].im, 0.0f);
    }
    NegatedProductWithVector(*x, cv, y, r, in);
    for (int i = 0; i < r; ++i) {
        Cd s = 0.0;
        for (int k = 0; k < in; ++k) s += At(*x, i, k) * Cd(cv[k].re, cv[k].im);
        EXPECT_NEAR(y[i].re, -s.real(), 1e-5);
        EXPECT_NEAR(y[i].im, -s.imag(), 1e-5);
    }

    auto d = std::make_unique<ComplexMatrix>(*w);
    SubtractFromMatrix(*x, d.get(), r, cols);
    for (int i = 0; i < r; ++i)
        for (int j = 0; j < cols; ++j) {
            EXPECT_EQ(d->a[i][j].re, x->a[i][j].re - w->a[i][j].re);
            EXPECT_EQ(d->a[i][j].im, x->a[i][j].im - w->a[i][j].im);
        }
    EXPECT_EQ(d->a[r][0].re, w->a[r][0].re);  // outside the rows named: untouched
}

TEST(ComplexMatrixTest, SplitAndTransposeIncidence) {
    auto inc = std::make_unique<IntegerMatrix>();
    auto branch = std::make_unique<IntegerMatrix>();
    auto tr = std::make_unique<IntegerMatrix>();
    ClearIntegerMatrix(inc.get());
    ClearIntegerMatrix(branch.get());
    ClearIntegerMatrix(tr.get());
    // 3 nodes, 2 outputs then 3 block/input branches.
    const int rows = 3, m = 2, b = 5;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < b; ++c) inc->a[r][c] = (r * 7 + c * 3) % 3 - 1;
    const auto before = *inc;
    SplitIncidenceColumns(inc.get(), branch.get(), m, b, rows);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < m; ++c) EXPECT_EQ(inc->a[r][c], before.a[r][c]);
        for (int c = m; c < b; ++c) {
            EXPECT_EQ(inc->a[r][c], 0);
            EXPECT_EQ(branch->a[r][c - m], before.a[r][c]);
        }
    }
    TransposeIntegerMatrix(*branch, tr.get(), rows, b - m);
    for (int r = 0; r < rows; ++r)
        for (int j = 0; j < b - m; ++j) EXPECT_EQ(tr->a[j][r], branch->a[r][j]);
}

TEST(ComplexMatrixTest, ClearNetworkMatricesZeroesEverything) {
    auto all = std::make_unique<NetworkMatrices>();
    std::memset(all.get(), 0x5a, sizeof(*all));
    ClearNetworkMatrices(all.get());
    const auto* bytes = reinterpret_cast<const unsigned char*>(all.get());
    for (size_t i = 0; i < sizeof(*all); ++i) ASSERT_EQ(bytes[i], 0) << i;
}

}  // namespace
