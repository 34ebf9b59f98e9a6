#include "design/complex_matrix.h"

#include <cassert>
#include <cmath>
#include <complex>
#include <cstring>
#include <utility>

namespace {

bool SizeOk(int n) { return n >= 0 && n <= kMatrixCapacity; }

}  // namespace

void ClearIntegerMatrix(IntegerMatrix* t) { std::memset(t, 0, sizeof(*t)); }
void ClearComplexMatrix(ComplexMatrix* x) { std::memset(x, 0, sizeof(*x)); }

void ClearNetworkMatrices(NetworkMatrices* m) { std::memset(m, 0, sizeof(*m)); }

void SplitIncidenceColumns(IntegerMatrix* incidence, IntegerMatrix* branch, int first_column, int end_column,
                           int rows) {
    if (!(SizeOk(rows) && first_column >= 0 && SizeOk(end_column))) {
        assert(!"matrix size outside the 64 x 64 storage");
        return;
    }
    for (int c = first_column; c < end_column; ++c) {
        for (int r = 0; r < rows; ++r) {
            branch->a[r][c - first_column] = incidence->a[r][c];
            incidence->a[r][c] = 0;
        }
    }
}

void TransposeIntegerMatrix(const IntegerMatrix& t, IntegerMatrix* out, int rows, int cols) {
    if (!(SizeOk(rows) && SizeOk(cols))) {
        assert(!"matrix size outside the 64 x 64 storage");
        return;
    }
    for (int r = 0; r < rows; ++r)
        for (int j = 0; j < cols; ++j) out->a[j][r] = t.a[r][j];
}

void MultiplyIntegerComplex(const IntegerMatrix& t, const ComplexMatrix& w, ComplexMatrix* c, int rows, int inner,
                            int cols) {
    if (!(SizeOk(rows) && SizeOk(inner) && SizeOk(cols))) {
        assert(!"matrix size outside the 64 x 64 storage");
        return;
    }
    for (int r = 0; r < rows; ++r) {
        for (int j = 0; j < cols; ++j) {
            float re = 0.0f, im = 0.0f;
            for (int x = 0; x < inner; ++x) {
                const float k = static_cast<float>(t.a[r][x]);
                re += k * w.a[x][j].re;
                im += k * w.a[x][j].im;
            }
            c->a[r][j] = {re, im};
        }
    }
}

void MultiplyComplexInteger(const ComplexMatrix& w, const IntegerMatrix& t, ComplexMatrix* c, int rows, int inner,
                            int cols) {
    if (!(SizeOk(rows) && SizeOk(inner) && SizeOk(cols))) {
        assert(!"matrix size outside the 64 x 64 storage");
        return;
    }
    for (int r = 0; r < rows; ++r) {
        for (int j = 0; j < cols; ++j) {
            float re = 0.0f, im = 0.0f;
            for (int x = 0; x < inner; ++x) {
                const float k = static_cast<float>(t.a[x][j]);
                re += w.a[r][x].re * k;
                im += w.a[r][x].im * k;
            }
            c->a[r][j] = {re, im};
        }
    }
}

void MultiplyComplexComplex(const ComplexMatrix& a, const ComplexMatrix& b, ComplexMatrix* c, int rows, int inner,
                            int cols) {
    if (!(SizeOk(rows) && SizeOk(inner) && SizeOk(cols))) {
        assert(!"matrix size outside the 64 x 64 storage");
        return;
    }
    assert(&a != c && &b != c);  // the product is written while it is formed
    for (int r = 0; r < rows; ++r) {
        for (int j = 0; j < cols; ++j) {
            float re = 0.0f, im = 0.0f;
            for (int x = 0; x < inner; ++x) {
                const ComplexF p = a.a[r][x];
                const ComplexF q = b.a[x][j];
                re += p.re * q.re - p.im * q.im;
                im += p.re * q.im + p.im * q.re;
            }
            c->a[r][j] = {re, im};
        }
    }
}

void MultiplyRealPartByVector(const ComplexMatrix& a, const float* v, ComplexF* y, int rows, int inner) {
    if (!(SizeOk(rows) && SizeOk(inner))) {
        assert(!"matrix size outside the 64 x 64 storage");
        return;
    }
    for (int r = 0; r < rows; ++r) {
        float re = 0.0f;
        for (int x = 0; x < inner; ++x) re += a.a[r][x].re * v[x];
        y[r] = {re, 0.0f};
    }
}

void SubtractFromMatrix(const ComplexMatrix& a, ComplexMatrix* c, int rows, int cols) {
    if (!(SizeOk(rows) && SizeOk(cols))) {
        assert(!"matrix size outside the 64 x 64 storage");
        return;
    }
    for (int r = 0; r < rows; ++r) {
        for (int j = 0; j < cols; ++j) {
            c->a[r][j].re = a.a[r][j].re - c->a[r][j].re;
            c->a[r][j].im = a.a[r][j].im - c->a[r][j].im;
        }
    }
}

void NegatedProductWithVector(const ComplexMatrix& a, const ComplexF* v, ComplexF* y, int rows, int inner) {
    if (!(SizeOk(rows) && SizeOk(inner))) {
        assert(!"matrix size outside the 64 x 64 storage");
        return;
    }
    for (int r = 0; r < rows; ++r) {
        float re = 0.0f, im = 0.0f;
        for (int x = 0; x < inner; ++x) {
            const ComplexF p = a.a[r][x];
            re += p.re * v[x].re - p.im * v[x].im;
            im += p.re * v[x].im + p.im * v[x].re;
        }
        y[r] = {-re, -im};
    }
}

int InvertComplexMatrix(ComplexMatrix* a, int size) {
    if (!SizeOk(size)) return 1;
    using Cd = std::complex<double>;
    // Worked on a double copy so that a failure leaves the caller's matrix untouched. Static-size scratch
    // of 64 KiB; the solver calls this twice per bin, so it stays off the heap.
    Cd w[kMatrixCapacity][kMatrixCapacity];
    int row_of_pivot[kMatrixCapacity];
    for (int i = 0; i < size; ++i)
        for (int j = 0; j < size; ++j) w[i][j] = Cd(a->a[i][j].re, a->a[i][j].im);

    for (int k = 0; k < size; ++k) {
        // Partial pivoting: the largest entry of column k at or below the diagonal. Without the row exchange a
        // matrix such as [[0,1],[1,0]] would be reported singular although it is invertible.
        int p = k;
        double best = std::norm(w[k][k]);
        for (int i = k + 1; i < size; ++i) {
            const double m = std::norm(w[i][k]);
            if (m > best) {
                best = m;
                p = i;
            }
        }
        if (best == 0.0 || !std::isfinite(best)) return 1;
        row_of_pivot[k] = p;
        if (p != k)
            for (int j = 0; j < size; ++j) std::swap(w[k][j], w[p][j]);

        const Cd inv = 1.0 / w[k][k];
        w[k][k] = 1.0;
        for (int j = 0; j < size; ++j) w[k][j] *= inv;
        for (int i = 0; i < size; ++i) {
            if (i == k) continue;
            const Cd f = w[i][k];
            if (f == 0.0) continue;
            w[i][k] = 0.0;
            for (int j = 0; j < size; ++j) w[i][j] -= f * w[k][j];
        }
    }
    // Row exchanges of the input become column exchanges of the inverse, undone in reverse order.
    for (int k = size - 1; k >= 0; --k) {
        const int p = row_of_pivot[k];
        if (p != k)
            for (int i = 0; i < size; ++i) std::swap(w[i][k], w[i][p]);
    }
    for (int i = 0; i < size; ++i) {
        for (int j = 0; j < size; ++j) {
            const float re = static_cast<float>(w[i][j].real());
            const float im = static_cast<float>(w[i][j].imag());
            if (!std::isfinite(re) || !std::isfinite(im)) return 1;
        }
    }
    for (int i = 0; i < size; ++i)
        for (int j = 0; j < size; ++j)
            a->a[i][j] = {static_cast<float>(w[i][j].real()), static_cast<float>(w[i][j].imag())};
    return 0;
}
