#pragma once
// Small fixed-capacity matrices for the per-bin network solve: integer incidence matrices and complex
// single-precision matrices of at most 64 x 64. Nothing here allocates; callers pass the sizes in use.
#include <cstdint>

inline constexpr int kMatrixCapacity = 64;
inline constexpr int kSourceCapacity = 256;

struct ComplexF {
    float re;
    float im;
};

struct IntegerMatrix {
    int32_t a[kMatrixCapacity][kMatrixCapacity];
};

struct ComplexMatrix {
    ComplexF a[kMatrixCapacity][kMatrixCapacity];
};

struct ComplexVector {
    ComplexF v[kMatrixCapacity];
};

// Every instance the network solver works with, allocated once by the owner of the global records.
struct NetworkMatrices {
    IntegerMatrix IncidenceMatrix;
    IntegerMatrix OutputIncidenceTransposed;
    IntegerMatrix BranchIncidence;
    IntegerMatrix BranchIncidenceTransposed;
    ComplexMatrix BranchImpedance;
    ComplexMatrix BranchCoupling;
    ComplexMatrix ProductWork;
    ComplexMatrix NodalMatrix;
    ComplexMatrix OutputAdmittance;
    ComplexVector NodeVoltages;
    ComplexF SourceCurrents[kSourceCapacity];
    float SourceVector[kSourceCapacity];
};

// Every entry of every matrix and vector := 0.
void ClearNetworkMatrices(NetworkMatrices* m);
void ClearIntegerMatrix(IntegerMatrix* t);
void ClearComplexMatrix(ComplexMatrix* x);

// Columns first_column .. end_column-1 of rows 0 .. rows-1 move from `incidence` into columns 0.. of
// `branch` and are cleared in `incidence`.
void SplitIncidenceColumns(IntegerMatrix* incidence, IntegerMatrix* branch, int first_column, int end_column,
                           int rows);

// out[j][r] := t[r][j] for r < rows, j < cols.
void TransposeIntegerMatrix(const IntegerMatrix& t, IntegerMatrix* out, int rows, int cols);

// c[r][j] := sum over x < inner of t[r][x] * w[x][j]   (r < rows, j < cols)
void MultiplyIntegerComplex(const IntegerMatrix& t, const ComplexMatrix& w, ComplexMatrix* c, int rows, int inner,
                            int cols);
// c[r][j] := sum over x < inner of w[r][x] * t[x][j]
void MultiplyComplexInteger(const ComplexMatrix& w, const IntegerMatrix& t, ComplexMatrix* c, int rows, int inner,
                            int cols);
// c[r][j] := sum over x < inner of a[r][x] * b[x][j]
void MultiplyComplexComplex(const ComplexMatrix& a, const ComplexMatrix& b, ComplexMatrix* c, int rows, int inner,
                            int cols);
// y[r] := sum over x < inner of Re(a[r][x]) * v[x]; Im y[r] := 0
void MultiplyRealPartByVector(const ComplexMatrix& a, const float* v, ComplexF* y, int rows, int inner);
// c[r][j] := a[r][j] - c[r][j]
void SubtractFromMatrix(const ComplexMatrix& a, ComplexMatrix* c, int rows, int cols);
// y[r] := -(sum over x < inner of a[r][x] * v[x])
void NegatedProductWithVector(const ComplexMatrix& a, const ComplexF* v, ComplexF* y, int rows, int inner);

// Inverts the leading size x size block of `a` in place (Gauss-Jordan with partial pivoting, worked in double
// precision). Returns 0 on success; 1 when the matrix is singular (a column without a non-zero pivot) or the
// inverse is not finite, in which case `a` is left as it was.
int InvertComplexMatrix(ComplexMatrix* a, int size);

