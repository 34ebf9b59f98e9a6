#pragma once
// The one complex FFT of the program: in place, single precision, interleaved (re, im).
//
// n is the number of floats (n/2 complex points), a power of two from 4 to kFftMaxFloats.
//   sign <  0: X[k] = sum_j x[j] e^(-2 pi i jk/(n/2))            (forward, unscaled)
//   sign >= 0: X[k] = (2/n) sum_j x[j] e^(+2 pi i jk/(n/2))      (inverse, scaled)
//
// Tables. FftBitReverseTable[0] is the size word nw (0 before the first build), [1] is 1 once built.
// A table built for nw serves every n <= 4 nw; ComplexFft rebuilds it for nw = n/4 when a larger n is first
// asked for, and never shrinks it. A rebuild writes the shared tables, so it must not overlap any other
// transform: callers that transform from several threads call PrepareFftTables for their largest n before
// the threads start. After that the tables are only read, and a transform writes nothing but its own data,
// so any number of threads may transform at once.
#include <cstdint>

// Entries of each table as allocated at start-up.
inline constexpr int32_t kFftTableEntries = 1310720;
// Largest transform whose twiddles fit the table: 2^20 floats (524,288 points).
inline constexpr int32_t kFftMaxFloats = 1 << 20;

// True when n is a power of two with 4 <= n <= kFftMaxFloats.
bool FftSizeSupported(int n);

// The transform. An unsupported n is refused (assertion in debug builds; the data are left untouched).
// Data aligned to 64 bytes transform fastest. On the AVX2 and AVX-512 paths, data of 256 to 8,192 points that
// are not aligned to the vector size (32 or 64 bytes) go through an aligned scratch block of 64 KiB on the
// caller's stack.
void ComplexFft(int n, int sign, float* data, int32_t* FftBitReverseTable, float* FftTwiddleTable);

// Grows the tables, if needed, so that transforms of up to n floats need no rebuild. Not thread-safe.
void PrepareFftTables(int n, int32_t* FftBitReverseTable, float* FftTwiddleTable);

// Builds the tables for size word nw (transforms up to 4 nw floats). Not thread-safe.
void MakeFftTwiddles(int nw, int32_t* FftBitReverseTable, float* FftTwiddleTable);

// Instruction paths of the transform. All give bit-identical results; ComplexFft takes the widest one the
// processor supports. kScalar (one complex point at a time) is the portable fallback and the reference the
// vector paths are tested against.
enum class FftPath { kScalar, kSse2, kAvx2, kAvx512 };

bool FftPathAvailable(FftPath path);
FftPath FftChosenPath();
const char* FftPathName(FftPath path);

// ComplexFft on a given path (which must be available), for tests and benchmarks.
void ComplexFftOnPath(FftPath path, int n, int sign, float* data, int32_t* FftBitReverseTable, float* FftTwiddleTable);
