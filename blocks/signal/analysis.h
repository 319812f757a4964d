#pragma once
// The module's analysis routines on arrays of 4-byte floats.
#include <cstddef>
#include <cstdint>

// The most elements a signal block allocates for one output. Bigger requests
// (an ArraySize or a bin count of a billion) are refused as out of memory
// instead of taking the machine's memory.
constexpr size_t kMaxSignalElements = size_t{1} << 24;

// The moments of n values (n >= 1) of pfVal:
//   mean  m = (sum of x, accumulated in long double) / n, stored as a float;
//   with d = x - m: e = sum of d (long double), AD = sum of |d| and
//   Q = sum of d*d, each kept in a float and rounded after every addition;
//   average deviation = AD / n (the mean absolute deviation about the mean);
//   variance = (Q - e*e/n) / (n - 1), the sample variance with the two-pass
//   correction term e*e/n; standard deviation = the square root of the
//   unrounded variance, rounded to a float.
// n is taken as a float where it divides. With n = 1 the variance and the
// standard deviation are NaN (0/0). n <= 0 or a null pointer writes nothing.
void ovmStatistics(int32_t lNumOfPoint, const float* pfVal, float* pfMean, float* pfVar,
                   float* pfSD, float* pfAD);
