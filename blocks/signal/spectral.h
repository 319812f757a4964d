#pragma once
// The module's spectral analysis routines on arrays of 4-byte floats: the
// radix-2 transforms behind the FFT block, the window weights and the
// window-method design behind the FIR filter, and streaming FIR filtering.
//
// Every routine keeps its samples in single precision and does its arithmetic
// in double precision, rounding to float each time a value is stored. 2*pi
// and pi are taken in single precision. The fast paths (vector code chosen at
// run time, per-size tables) give results bit-identical to the plain loops
// described beside each routine.
#include <cstdint>
#include <span>
#include <vector>

#include "platform/dispatch.h"

// 2*pi and pi as the routines use them: rounded to single precision.
inline constexpr float kTwoPiF = 6.2831855f;
inline constexpr float kPiF = 3.1415927f;

// --- transforms --------------------------------------------------------------

// In-place transform of `nPoints` complex values held as interleaved (real,
// imaginary) floats in `lpComplex` (2 * nPoints floats); nPoints must be a
// power of two (values below 2 leave the data unchanged). Forward:
// F(k) = sum over j of z(j) * e^(+2*pi*i*j*k/n), no scaling; `bInverse` uses
// the negative exponent, also without scaling.
//
// Radix-2 decimation in frequency: for each stage, span n down to 2, every
// group and every j < span/2: a <- a + b, b <- (a_old - b) * w, where w starts
// at 1 for each group and is multiplied by the stage's step after each j; the
// step starts at (cos, +-sin)(2*pi/n) and is squared after each stage. The
// results then go to bit-reversed order. Throws std::bad_alloc.
void ovmComplexFFT(int32_t nPoints, bool bInverse, float* lpComplex);

// In-place transform of `nPoints` real floats (a power of two, at least 2;
// smaller counts leave the data unchanged). Forward gives the packed half
// spectrum of the positive-exponent transform F: position 0 F(0), position 1
// F(n/2) (both real), positions 2k and 2k+1 the real and imaginary part of
// F(k) for k = 1 .. n/2 - 1. The inverse takes that packing back to the
// samples, scaled so that forward then inverse returns the input. Throws
// std::bad_alloc.
void ovmRealFFT(int32_t nPoints, bool bInverse, float* pfData);

// Each transform also comes on its two roads, with the same contract and
// bit-identical results: the plain loops, and the vector code (AVX2), which
// falls back to the plain loops where the processor has no vector units. The
// ovm routines take the vector road when HasVectorRoads().
bool HasVectorRoads();
void PlainComplexFFT(int32_t nPoints, bool bInverse, float* lpComplex);
void VectorComplexFFT(int32_t nPoints, bool bInverse, float* lpComplex);
void PlainRealFFT(int32_t nPoints, bool bInverse, float* pfData);
void VectorRealFFT(int32_t nPoints, bool bInverse, float* pfData);

// --- windows and FIR design -----------------------------------------------

enum DigitalWindow : int16_t {
    DIGITAL_WINDOW_RECTANGLE = 0,
    DIGITAL_WINDOW_PARZEN = 1,
    DIGITAL_WINDOW_BARTLETT = 2,
    DIGITAL_WINDOW_HANNING = 3,
    DIGITAL_WINDOW_WELCH = 4,
    DIGITAL_WINDOW_HAMMING = 5,
    DIGITAL_WINDOW_BLACKMAN = 6,
};

enum FirFilterType : int16_t {
    FIR_FILTER_LOW_PASS = 0,
    FIR_FILTER_HIGH_PASS = 1,
    FIR_FILTER_BAND_PASS = 2,
    FIR_FILTER_BAND_STOP = 3,
};

// Multiplies data[i] and data[nPoints - 1 - i] by the weight w(i) for
// i = 0 .. nPoints/2 - 1, with s = 2/(nPoints - 1) and theta = s*pi (floats):
// Parzen i*s, Bartlett the same ramp accumulated by adding s, Hanning
// 0.5 - 0.5cos(i*theta), Welch u(2 - u) with u = i*s, Hamming
// 0.54 - 0.46cos(i*theta), Blackman 0.42 - 0.5cos(i*theta) + 0.08cos(2i*theta).
// The middle element of an odd count keeps its value; a rectangle, any other
// type and counts below 2 change nothing.
void ovmWindowData(int32_t nPoints, int16_t windowType, float* data);

struct FirSettings {
    int16_t filterType = FIR_FILTER_LOW_PASS;
    int16_t numOfCoeff = 5;
    float lowCutoff = 0.2f;   // cycles per sample
    float highCutoff = 0.3f;  // cycles per sample
    int16_t windowType = DIGITAL_WINDOW_RECTANGLE;
};

constexpr int16_t kMinFirCoeff = 2;
constexpr int16_t kMaxFirCoeff = 64;

// Whether a setting lies in its range, the others as stored in `s`: a known
// filter type; 2 .. 64 taps; cutoffs in 0 .. 0.5, a low cutoff below the high
// one except for a high pass, a high cutoff above the low one except for a low
// pass; a known window.
bool FilterTypeValid(int16_t type);
bool NumOfCoeffValid(int16_t n);
bool LowCutoffValid(const FirSettings& s, float low);
bool HighCutoffValid(const FirSettings& s, float high);
bool WindowTypeValid(int16_t type);

// The windowed coefficients h[0 .. N-1] of valid settings: with
// M = (N - 1)/2 and t = k - M (floats) and omega = 2*pi*f (float),
// low pass sin(wH t)/(pi t), high pass -sin(wL t)/(pi t), band pass
// (sin(wH t) - sin(wL t))/(pi t), band stop (sin(wL t) - sin(wH t))/(pi t);
// the centre tap of an odd N is wH/pi, 1 - wL/pi, (wH - wL)/pi and
// (wL - wH)/pi + 1. Then ovmWindowData. Throws std::bad_alloc.
std::vector<float> DesignFirCoefficients(const FirSettings& s);

// A designed filter and its delay line. Filtering treats consecutive calls as
// one signal: y(n) = sum over j = 0 .. N-1 of h[j] * x(n - j), summed in that
// order in double precision and rounded to float, with the samples before the
// first one (since the design) taken as 0.
class FirFilter {
  public:
    // `coefficients` must hold at least one tap.
    explicit FirFilter(std::vector<float> coefficients);
    std::span<const float> Coefficients() const { return h_; }
    // Filters in.size() samples into out (same size; they may not overlap).
    // Throws std::bad_alloc (the delay line is then unchanged).
    void Filter(std::span<const float> in, std::span<float> out);
    // Filter on each road (see the transforms): same contract, same results.
    void FilterPlain(std::span<const float> in, std::span<float> out);
    void FilterVector(std::span<const float> in, std::span<float> out);

  private:
    void FilterOn(std::span<const float> in, std::span<float> out, bool vector);

    std::vector<float> h_;
    std::vector<double> wide_;  // h_ widened, as every product uses it
    std::vector<double> line_;  // the last N-1 samples, oldest first, then a call's input
};

// --- sample arrays ------------------------------------------------------------

// The samples a block reads from an array value: the last dimension's elements
// (for two dimensions, those of the first index at its lower bound), as floats.
struct SampleArray {
    bool isArray = false;       // the value held an array with a dimension
    bool readable = false;      // and its element kind was one of those asked for
    int32_t lowerBound = 0;     // of the last dimension
    std::vector<float> values;  // as many as the last dimension counts; zeros if not readable
};

// Reads `v` when its element kind passes `accepts` (numeric kinds only;
// doubles are rounded to float). Throws std::bad_alloc.
SampleArray ReadSamples(const Variant& v, bool (*accepts)(VARTYPE));
