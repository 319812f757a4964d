#include "blocks/signal/spectral.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "framework/block_array.h"
#include "platform/safearray.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define TK_SPECTRAL_X86 1
#endif

// Built with -ffp-contract=off: a fused multiply-add would round once where
// the transforms and filters round twice, and the vector and plain roads
// would part ways.

namespace {

#if TK_SPECTRAL_X86
bool HasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}
#else
constexpr bool HasAvx2() {
    return false;
}
#endif

// --- transform plans ---------------------------------------------------------
//
// What a transform of one size and direction needs that does not depend on
// the data: each stage's twiddles and those of the real transform's combining
// step, built by the same recurrences the butterflies would run, so the
// values are the same.

// Bit-reversed reordering in tiles of 8 x 8 complex values from this size on.
constexpr int32_t kTiledReorderPoints = 64;

// Swaps two complex values, each moved as one 8-byte unit.
inline void SwapComplex(float* data, size_t i, size_t j) {
    uint64_t zi, zj;
    std::memcpy(&zi, data + 2 * i, sizeof zi);
    std::memcpy(&zj, data + 2 * j, sizeof zj);
    std::memcpy(data + 2 * i, &zj, sizeof zj);
    std::memcpy(data + 2 * j, &zi, sizeof zi);
}

// The usual swap loop: j counts in bit-reversed order, and values i < j trade places.
void ReorderBySwaps(float* data, int32_t n) {
    for (uint32_t i = 0, j = 0; i + 1 < static_cast<uint32_t>(n); ++i) {
        if (i < j) SwapComplex(data, i, j);
        uint32_t k = static_cast<uint32_t>(n) / 2;
        while (k >= 1 && k <= j) {
            j -= k;
            k /= 2;
        }
        j += k;
    }
}

uint32_t ReverseBits(uint32_t x, int bits) {
    uint32_t r = 0;
    for (int b = 0; b < bits; ++b, x >>= 1)
        r = (r << 1) | (x & 1);
    return r;
}

// The same permutation as the swap loop, for n = 2^m >= 64, visiting the
// values in tiles: with i = (a, b, c) split into its top three bits a, middle
// bits b and low three bits c, the reversed index is (rev c, rev b, rev a),
// so the 64 values of one middle b trade places with those of rev b, and both
// tiles' cache lines stay near while they do.
void ReorderTiled(float* data, int32_t n) {
    const int m = std::countr_zero(static_cast<uint32_t>(n));
    const int mid = m - 6;
    static constexpr uint32_t kRev3[8] = {0, 4, 2, 6, 1, 5, 3, 7};
    for (uint32_t b = 0; b < (1u << mid); ++b) {
        const uint32_t rb = ReverseBits(b, mid);
        if (rb < b) continue;  // that pair of tiles is done
        for (uint32_t a = 0; a < 8; ++a) {
            for (uint32_t c = 0; c < 8; ++c) {
                const size_t i = (size_t{a} << (m - 3)) | (size_t{b} << 3) | c;
                const size_t j = (size_t{kRev3[c]} << (m - 3)) | (size_t{rb} << 3) | kRev3[a];
                if (i < j || rb != b) SwapComplex(data, i, j);
            }
        }
    }
}

// Puts the values into bit-reversed order.
void ReorderBitReversed(float* data, int32_t n) {
    if (n >= kTiledReorderPoints) {
        ReorderTiled(data, n);
    } else {
        ReorderBySwaps(data, n);
    }
}

struct TwiddlePlan {
    int32_t n = 0;
    bool inverse = false;
    std::vector<double> twiddles;  // (re, im) pairs
    // The complex transform's twiddles again, real and imaginary parts apart,
    // for the vector stages.
    std::vector<double> re, im;
};

// Per stage, span n down to 2: span/2 twiddles, from 1 on.
TwiddlePlan BuildComplexPlan(int32_t n, bool inverse) {
    TwiddlePlan plan{n, inverse, {}, {}, {}};
    plan.twiddles.reserve(2 * static_cast<size_t>(n));
    const double theta = static_cast<double>(kTwoPiF) / n;
    double stepRe = std::cos(theta);
    double stepIm = inverse ? -std::sin(theta) : std::sin(theta);
    for (int32_t span = n; span >= 2; span /= 2) {
        double wr = 1.0, wi = 0.0;
        for (int32_t j = 0; j < span / 2; ++j) {
            plan.twiddles.push_back(wr);
            plan.twiddles.push_back(wi);
            const double t = wr;
            wr = t * stepRe - wi * stepIm;
            wi = t * stepIm + wi * stepRe;
        }
        const double c = stepRe, s = stepIm;
        stepRe = c * c - s * s;
        stepIm = 2.0 * s * c;
    }
    for (size_t i = 0; i < plan.twiddles.size(); i += 2) {
        plan.re.push_back(plan.twiddles[i]);
        plan.im.push_back(plan.twiddles[i + 1]);
    }
    return plan;
}

// Twiddles of the real transform's combining step, k = 1 .. n/4:
// w(1) = (cos, sin)(theta), w(k+1) = w(k) * w(1).
TwiddlePlan BuildCombinePlan(int32_t nReal, bool inverse) {
    const double theta = (inverse ? -1.0 : 1.0) * static_cast<double>(kTwoPiF) / nReal;
    const double stepRe = std::cos(theta), stepIm = std::sin(theta);
    TwiddlePlan plan{nReal, inverse, {}, {}, {}};
    plan.twiddles.reserve(static_cast<size_t>(nReal) / 2 + 2);
    double wr = stepRe, wi = stepIm;
    for (int32_t k = 1; k <= nReal / 4; ++k) {
        plan.twiddles.push_back(wr);
        plan.twiddles.push_back(wi);
        const double t = wr;
        wr = t * stepRe - wi * stepIm;
        wi = t * stepIm + wi * stepRe;
    }
    return plan;
}

// Plans of the sizes used last, per thread: blocks run on one thread, but the
// routines may be called from any. Larger sizes are planned per call and
// released after it.
constexpr int32_t kMaxCachedPoints = 1 << 16;
constexpr size_t kCachedPlans = 4;

using PlanCache = std::array<std::shared_ptr<const TwiddlePlan>, kCachedPlans>;

std::shared_ptr<const TwiddlePlan> CachedPlan(PlanCache& cache, int32_t n, bool inverse,
                                              TwiddlePlan (*build)(int32_t, bool)) {
    for (size_t i = 0; i < cache.size(); ++i) {
        if (cache[i] && cache[i]->n == n && cache[i]->inverse == inverse) {
            // Most recently used first.
            std::rotate(cache.begin(), cache.begin() + static_cast<std::ptrdiff_t>(i),
                        cache.begin() + static_cast<std::ptrdiff_t>(i) + 1);
            return cache[0];
        }
    }
    auto plan = std::make_shared<const TwiddlePlan>(build(n, inverse));
    if (n <= kMaxCachedPoints) {
        std::rotate(cache.rbegin(), cache.rbegin() + 1, cache.rend());
        cache[0] = plan;
    }
    return plan;
}

std::shared_ptr<const TwiddlePlan> ComplexPlanFor(int32_t n, bool inverse) {
    thread_local PlanCache cache;
    return CachedPlan(cache, n, inverse, BuildComplexPlan);
}

std::shared_ptr<const TwiddlePlan> CombinePlanFor(int32_t nReal, bool inverse) {
    thread_local PlanCache cache;
    return CachedPlan(cache, nReal, inverse, BuildCombinePlan);
}

// --- butterflies ---------------------------------------------------------------

// One butterfly: a <- a + b, b <- (a - b) * w.
inline void Butterfly(float* a, float* b, double wr, double wi) {
    const double ar = a[0], ai = a[1], br = b[0], bi = b[1];
    a[0] = static_cast<float>(ar + br);
    a[1] = static_cast<float>(ai + bi);
    const double dr = ar - br, di = ai - bi;
    b[0] = static_cast<float>(dr * wr - di * wi);
    b[1] = static_cast<float>(dr * wi + di * wr);
}

void StagePlain(float* data, int32_t n, int32_t half, const double* w) {
    for (int32_t group = 0; group < n; group += 2 * half) {
        float* a = data + 2 * static_cast<size_t>(group);
        for (int32_t j = 0; j < half; ++j)
            Butterfly(a + 2 * j, a + 2 * (j + half), w[2 * j], w[2 * j + 1]);
    }
}

#if TK_SPECTRAL_X86
// The vector stages work on the real and imaginary parts in separate
// arrays, four butterflies per vector; the layout moves values and changes
// no arithmetic.

// Four butterflies: a <- a + b, b <- (a - b) * w, positions a .. a+3 and
// b .. b+3. The sums are taken in float: the sum of two floats rounded once to
// float equals their double sum rounded to float. The difference and the
// product are taken in double, as Butterfly does.
__attribute__((target("avx2"))) inline void Butterflies4(float* re, float* im, size_t a, size_t b,
                                                         const double* wr, const double* wi) {
    const __m128 ar = _mm_loadu_ps(re + a), ai = _mm_loadu_ps(im + a);
    const __m128 br = _mm_loadu_ps(re + b), bi = _mm_loadu_ps(im + b);
    _mm_storeu_ps(re + a, _mm_add_ps(ar, br));
    _mm_storeu_ps(im + a, _mm_add_ps(ai, bi));
    const __m256d dr = _mm256_sub_pd(_mm256_cvtps_pd(ar), _mm256_cvtps_pd(br));
    const __m256d di = _mm256_sub_pd(_mm256_cvtps_pd(ai), _mm256_cvtps_pd(bi));
    const __m256d tr = _mm256_loadu_pd(wr), ti = _mm256_loadu_pd(wi);
    const __m256d pr = _mm256_sub_pd(_mm256_mul_pd(dr, tr), _mm256_mul_pd(di, ti));
    const __m256d pi = _mm256_add_pd(_mm256_mul_pd(dr, ti), _mm256_mul_pd(di, tr));
    _mm_storeu_ps(re + b, _mm256_cvtpd_ps(pr));
    _mm_storeu_ps(im + b, _mm256_cvtpd_ps(pi));
}

// One stage of span 2*half, half >= 4.
__attribute__((target("avx2"))) void StageSplit(float* re, float* im, size_t n, size_t half,
                                                const double* wr, const double* wi) {
    for (size_t group = 0; group < n; group += 2 * half) {
        for (size_t j = 0; j < half; j += 4)
            Butterflies4(re, im, group + j, group + j + half, wr + j, wi + j);
    }
}

// Two stages in one pass, span 2*half then span half (half >= 8): the four
// quarters of a group meet in both while they are at hand.
__attribute__((target("avx2"))) void StagePairSplit(float* re, float* im, size_t n, size_t half,
                                                    const double* w1r, const double* w1i,
                                                    const double* w2r, const double* w2i) {
    const size_t quarter = half / 2;
    for (size_t group = 0; group < n; group += 2 * half) {
        for (size_t j = 0; j < quarter; j += 4) {
            const size_t a = group + j;
            Butterflies4(re, im, a, a + half, w1r + j, w1i + j);
            Butterflies4(re, im, a + quarter, a + quarter + half, w1r + j + quarter,
                         w1i + j + quarter);
            Butterflies4(re, im, a, a + quarter, w2r + j, w2i + j);
            Butterflies4(re, im, a + half, a + half + quarter, w2r + j, w2i + j);
        }
    }
}

// Four butterflies on values already in registers, as Butterflies4.
__attribute__((target("avx2"))) inline void ButterfliesInRegisters(__m128& ar, __m128& ai,
                                                                   __m128& br, __m128& bi,
                                                                   __m256d tr, __m256d ti) {
    const __m256d dr = _mm256_sub_pd(_mm256_cvtps_pd(ar), _mm256_cvtps_pd(br));
    const __m256d di = _mm256_sub_pd(_mm256_cvtps_pd(ai), _mm256_cvtps_pd(bi));
    ar = _mm_add_ps(ar, br);
    ai = _mm_add_ps(ai, bi);
    br = _mm256_cvtpd_ps(_mm256_sub_pd(_mm256_mul_pd(dr, tr), _mm256_mul_pd(di, ti)));
    bi = _mm256_cvtpd_ps(_mm256_add_pd(_mm256_mul_pd(dr, ti), _mm256_mul_pd(di, tr)));
}

// The last two stages (span 4, then span 2) over two groups of four at a
// time (n >= 8), the pairs gathered into lanes by shuffles.
__attribute__((target("avx2"))) void LastStagesSplit(float* re, float* im, size_t n,
                                                     const double* w4r, const double* w4i,
                                                     const double* w2r, const double* w2i) {
    const __m256d t4r = _mm256_setr_pd(w4r[0], w4r[1], w4r[0], w4r[1]);
    const __m256d t4i = _mm256_setr_pd(w4i[0], w4i[1], w4i[0], w4i[1]);
    const __m256d t2r = _mm256_set1_pd(w2r[0]), t2i = _mm256_set1_pd(w2i[0]);
    auto split = [](const float* p, __m128& a, __m128& b) {
        const __m128 x = _mm_loadu_ps(p), y = _mm_loadu_ps(p + 4);  // z0..z3, z4..z7
        a = _mm_shuffle_ps(x, y, _MM_SHUFFLE(1, 0, 1, 0));          // z0 z1 z4 z5
        b = _mm_shuffle_ps(x, y, _MM_SHUFFLE(3, 2, 3, 2));          // z2 z3 z6 z7
    };
    for (size_t group = 0; group < n; group += 8) {
        __m128 ar, br, ai, bi;
        split(re + group, ar, br);
        split(im + group, ai, bi);
        ButterfliesInRegisters(ar, ai, br, bi, t4r, t4i);
        // Span 2 pairs z0'/z1', z4'/z5' (from a) and z2'/z3', z6'/z7' (from b).
        __m128 cr = _mm_shuffle_ps(ar, br, _MM_SHUFFLE(2, 0, 2, 0));  // z0' z4' z2' z6'
        __m128 dr = _mm_shuffle_ps(ar, br, _MM_SHUFFLE(3, 1, 3, 1));  // z1' z5' z3' z7'
        __m128 ci = _mm_shuffle_ps(ai, bi, _MM_SHUFFLE(2, 0, 2, 0));
        __m128 di = _mm_shuffle_ps(ai, bi, _MM_SHUFFLE(3, 1, 3, 1));
        ButterfliesInRegisters(cr, ci, dr, di, t2r, t2i);
        auto join = [](float* p, __m128 c, __m128 d) {
            const __m128 lo = _mm_unpacklo_ps(c, d);  // z0'' z1'' z4'' z5''
            const __m128 hi = _mm_unpackhi_ps(c, d);  // z2'' z3'' z6'' z7''
            _mm_storeu_ps(p, _mm_movelh_ps(lo, hi));
            _mm_storeu_ps(p + 4, _mm_movehl_ps(hi, lo));
        };
        join(re + group, cr, dr);
        join(im + group, ci, di);
    }
}

// Every stage of an n-point transform (n >= 8) on split parts.
__attribute__((target("avx2"))) void StagesSplit(float* re, float* im, size_t n,
                                                 const TwiddlePlan& plan) {
    const double* wr = plan.re.data();
    const double* wi = plan.im.data();
    size_t half = n / 2;
    for (; half >= 8; half /= 4) {
        StagePairSplit(re, im, n, half, wr, wi, wr + half, wi + half);
        wr += half + half / 2;
        wi += half + half / 2;
    }
    if (half == 4) {
        StageSplit(re, im, n, half, wr, wi);
        wr += 4;
        wi += 4;
    }
    LastStagesSplit(re, im, n, wr, wi, wr + 2, wi + 2);
}

// Interleaved complex values to split parts and back, eight at a time (n >= 8).
__attribute__((target("avx2"))) void SplitParts(const float* z, float* re, float* im, size_t n) {
    for (size_t i = 0; i < n; i += 8) {
        const __m256 x = _mm256_loadu_ps(z + 2 * i), y = _mm256_loadu_ps(z + 2 * i + 8);
        const __m256 r =
            _mm256_shuffle_ps(x, y, _MM_SHUFFLE(2, 0, 2, 0));  // lanes 0 1 4 5 | 2 3 6 7
        const __m256 m = _mm256_shuffle_ps(x, y, _MM_SHUFFLE(3, 1, 3, 1));
        _mm256_storeu_ps(re + i,
                         _mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(r), 0xD8)));
        _mm256_storeu_ps(im + i,
                         _mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(m), 0xD8)));
    }
}

__attribute__((target("avx2"))) void JoinParts(const float* re, const float* im, float* z,
                                               size_t n) {
    for (size_t i = 0; i < n; i += 8) {
        const __m256 r = _mm256_loadu_ps(re + i), m = _mm256_loadu_ps(im + i);
        const __m256 lo = _mm256_unpacklo_ps(r, m);  // z0 z1 | z4 z5
        const __m256 hi = _mm256_unpackhi_ps(r, m);  // z2 z3 | z6 z7
        _mm256_storeu_ps(z + 2 * i, _mm256_permute2f128_ps(lo, hi, 0x20));
        _mm256_storeu_ps(z + 2 * i + 8, _mm256_permute2f128_ps(lo, hi, 0x31));
    }
}
#endif

// --- the real transform's combining step ---------------------------------------

// Combines complex positions k and m = n/2 - k of the half-length transform.
inline void CombinePair(float* data, int32_t k, int32_t m, double c2, double wr, double wi) {
    float* z = data + 2 * static_cast<size_t>(k);
    float* p = data + 2 * static_cast<size_t>(m);
    const double zr = z[0], zi = z[1], pr = p[0], pi = p[1];
    const double h1r = 0.5 * (zr + pr), h1i = 0.5 * (zi - pi);
    const double h2r = -c2 * (zi + pi), h2i = c2 * (zr - pr);
    z[0] = static_cast<float>(h1r + wr * h2r - wi * h2i);
    z[1] = static_cast<float>(h1i + wr * h2i + wi * h2r);
    p[0] = static_cast<float>(h1r - wr * h2r + wi * h2i);
    p[1] = static_cast<float>(-h1i + wr * h2i + wi * h2r);
}

// Pairs k = first .. last (inclusive), in order.
void CombinePlain(float* data, int32_t half, int32_t first, int32_t last, double c2,
                  const double* w) {
    for (int32_t k = first; k <= last; ++k)
        CombinePair(data, k, half - k, c2, w[2 * (k - 1)], w[2 * (k - 1) + 1]);
}

#if TK_SPECTRAL_X86
// Pairs k, k+1 with m, m-1 at once while the four positions are distinct;
// returns the first k left for the plain road.
__attribute__((target("avx2"))) int32_t CombineAvx2(float* data, int32_t half, double c2,
                                                    const double* w) {
    const __m256d halfScale = _mm256_set1_pd(0.5);
    const __m256d h2Scale = _mm256_setr_pd(-c2, c2, -c2, c2);
    const __m256d negIm = _mm256_setr_pd(0.0, -0.0, 0.0, -0.0);
    int32_t k = 1;
    for (; 2 * (k + 1) < half; k += 2) {
        float* z = data + 2 * static_cast<size_t>(k);
        float* p = data + 2 * static_cast<size_t>(half - k - 1);
        const __m256d vz = _mm256_cvtps_pd(_mm_loadu_ps(z));
        const __m256d pLoad = _mm256_cvtps_pd(_mm_loadu_ps(p));
        const __m256d vp = _mm256_permute2f128_pd(pLoad, pLoad, 1);  // partners of k, k+1
        const __m256d sum = _mm256_add_pd(vz, vp);
        const __m256d diff = _mm256_sub_pd(vz, vp);
        // (h1r, h1i) = 0.5 * (sum.re, diff.im); (h2r, h2i) = (-c2 * sum.im, c2 * diff.re).
        const __m256d h1 = _mm256_mul_pd(halfScale, _mm256_blend_pd(sum, diff, 0xA));
        const __m256d h2 =
            _mm256_mul_pd(h2Scale, _mm256_permute_pd(_mm256_blend_pd(diff, sum, 0xA), 0x5));
        const __m256d tw = _mm256_loadu_pd(w + 2 * (k - 1));
        const __m256d byRe = _mm256_mul_pd(_mm256_movedup_pd(tw), h2);  // wr*h2r, wr*h2i
        const __m256d byIm = _mm256_mul_pd(_mm256_permute_pd(tw, 0xF),
                                           _mm256_permute_pd(h2, 0x5));  // wi*h2i, wi*h2r
        const __m256d outZ = _mm256_addsub_pd(_mm256_add_pd(h1, byRe), byIm);
        const __m256d h1Mirror = _mm256_xor_pd(h1, negIm);  // (h1r, -h1i)
        const __m256d outP = _mm256_add_pd(_mm256_addsub_pd(h1Mirror, byRe), byIm);
        _mm_storeu_ps(z, _mm256_cvtpd_ps(outZ));
        _mm_storeu_ps(p, _mm256_cvtpd_ps(_mm256_permute2f128_pd(outP, outP, 1)));
    }
    return k;
}
#endif

// --- FIR -----------------------------------------------------------------------
//
// The samples are widened to double once, when they enter the flat delay
// line, and the taps once per design: the same values each product would
// widen on its own.

// out[i] = sum over j of h[j] * x[i - j], where x = line + (taps - 1) and the
// line holds taps - 1 samples before the first input.
void FirPlain(const double* h, size_t taps, const double* line, float* out, size_t begin,
              size_t end) {
    const double* x = line + (taps - 1);
    for (size_t i = begin; i < end; ++i) {
        // Stepping back from x + i keeps the index from wrapping below zero.
        const double* xi = x + i;
        double acc = 0.0;
        for (size_t j = 0; j < taps; ++j)
            acc += h[j] * *(xi - j);
        out[i] = static_cast<float>(acc);
    }
}

#if TK_SPECTRAL_X86
// Thirty-two outputs in flight, four per vector, each lane summed tap by tap
// in the plain order. Returns the count of outputs done. The accumulators are
// spelled out so that they stay in registers.
__attribute__((target("avx2"))) size_t FirAvx2(const double* h, size_t taps, const double* line,
                                               float* out, size_t count) {
    const double* x = line + (taps - 1);
    size_t i = 0;
    for (; i + 32 <= count; i += 32) {
        __m256d a0 = _mm256_setzero_pd(), a1 = a0, a2 = a0, a3 = a0, a4 = a0, a5 = a0, a6 = a0,
                a7 = a0;
        const double* xs = x + i;
        for (size_t j = 0; j < taps; ++j, --xs) {
            const __m256d hj = _mm256_broadcast_sd(h + j);
            a0 = _mm256_add_pd(a0, _mm256_mul_pd(hj, _mm256_loadu_pd(xs)));
            a1 = _mm256_add_pd(a1, _mm256_mul_pd(hj, _mm256_loadu_pd(xs + 4)));
            a2 = _mm256_add_pd(a2, _mm256_mul_pd(hj, _mm256_loadu_pd(xs + 8)));
            a3 = _mm256_add_pd(a3, _mm256_mul_pd(hj, _mm256_loadu_pd(xs + 12)));
            a4 = _mm256_add_pd(a4, _mm256_mul_pd(hj, _mm256_loadu_pd(xs + 16)));
            a5 = _mm256_add_pd(a5, _mm256_mul_pd(hj, _mm256_loadu_pd(xs + 20)));
            a6 = _mm256_add_pd(a6, _mm256_mul_pd(hj, _mm256_loadu_pd(xs + 24)));
            a7 = _mm256_add_pd(a7, _mm256_mul_pd(hj, _mm256_loadu_pd(xs + 28)));
        }
        const __m256d results[] = {a0, a1, a2, a3, a4, a5, a6, a7};
        for (size_t v = 0; v < 8; ++v)
            _mm_storeu_ps(out + i + 4 * v, _mm256_cvtpd_ps(results[v]));
    }
    return i;
}
#endif

}  // namespace

// --- transforms ------------------------------------------------------------------

namespace {

// `vector`: take the vector road where the processor has one.
void ComplexFFT(int32_t nPoints, bool bInverse, float* lpComplex, bool vector) {
    if (nPoints < 2 || lpComplex == nullptr) return;
    const std::shared_ptr<const TwiddlePlan> plan = ComplexPlanFor(nPoints, bInverse);
    const size_t n = static_cast<size_t>(nPoints);
#if TK_SPECTRAL_X86
    if (vector && n >= 8 && HasAvx2()) {
        const std::unique_ptr<float[]> parts = std::make_unique_for_overwrite<float[]>(2 * n);
        SplitParts(lpComplex, parts.get(), parts.get() + n, n);
        StagesSplit(parts.get(), parts.get() + n, n, *plan);
        JoinParts(parts.get(), parts.get() + n, lpComplex, n);
        ReorderBitReversed(lpComplex, nPoints);
        return;
    }
#endif
    const double* w = plan->twiddles.data();
    for (size_t half = n / 2; half >= 1; half /= 2) {
        StagePlain(lpComplex, nPoints, static_cast<int32_t>(half), w);
        w += 2 * half;
    }
    ReorderBitReversed(lpComplex, nPoints);
}

void RealFFT(int32_t nPoints, bool bInverse, float* pfData, bool vector) {
    if (nPoints < 2 || pfData == nullptr) return;
    const int32_t half = nPoints / 2;
    const double c2 = bInverse ? 0.5 : -0.5;
    if (!bInverse) ComplexFFT(half, false, pfData, vector);
    const std::shared_ptr<const TwiddlePlan> combine = CombinePlanFor(nPoints, bInverse);
    const double* w = combine->twiddles.data();
    int32_t first = 1;
#if TK_SPECTRAL_X86
    if (vector && HasAvx2()) first = CombineAvx2(pfData, half, c2, w);
#endif
    CombinePlain(pfData, half, first, nPoints / 4, c2, w);
    const double x0 = pfData[0], x1 = pfData[1];
    if (!bInverse) {
        pfData[0] = static_cast<float>(x0 + x1);
        pfData[1] = static_cast<float>(x0 - x1);
        return;
    }
    pfData[0] = static_cast<float>((x0 + x1) / 2.0);
    pfData[1] = static_cast<float>((x0 - x1) / 2.0);
    ComplexFFT(half, true, pfData, vector);
    const double scale = half;
    for (int32_t i = 0; i < nPoints; ++i)
        pfData[i] = static_cast<float>(pfData[i] / scale);
}

}  // namespace

bool HasVectorRoads() {
    return HasAvx2();
}

void PlainComplexFFT(int32_t nPoints, bool bInverse, float* lpComplex) {
    ComplexFFT(nPoints, bInverse, lpComplex, false);
}

void VectorComplexFFT(int32_t nPoints, bool bInverse, float* lpComplex) {
    ComplexFFT(nPoints, bInverse, lpComplex, true);
}

void ovmComplexFFT(int32_t nPoints, bool bInverse, float* lpComplex) {
    ComplexFFT(nPoints, bInverse, lpComplex, HasVectorRoads());
}

void PlainRealFFT(int32_t nPoints, bool bInverse, float* pfData) {
    RealFFT(nPoints, bInverse, pfData, false);
}

void VectorRealFFT(int32_t nPoints, bool bInverse, float* pfData) {
    RealFFT(nPoints, bInverse, pfData, true);
}

void ovmRealFFT(int32_t nPoints, bool bInverse, float* pfData) {
    RealFFT(nPoints, bInverse, pfData, HasVectorRoads());
}

// --- windows and design ------------------------------------------------------

void ovmWindowData(int32_t nPoints, int16_t windowType, float* data) {
    if (nPoints < 2 || data == nullptr) return;
    const float s = 2.0f / static_cast<float>(nPoints - 1);
    const float theta = s * kPiF;
    float ramp = 0.0f;  // the Bartlett weight, grown by s per step
    for (int32_t i = 0; i < nPoints / 2; ++i) {
        const double angle = static_cast<double>(i) * theta;
        double weight;
        switch (windowType) {
            case DIGITAL_WINDOW_PARZEN:
                weight = static_cast<float>(i) * s;
                break;
            case DIGITAL_WINDOW_BARTLETT:
                weight = ramp;
                ramp += s;
                break;
            case DIGITAL_WINDOW_HANNING:
                weight = 0.5 - 0.5 * std::cos(angle);
                break;
            case DIGITAL_WINDOW_WELCH: {
                const double u = static_cast<double>(i) * s;
                weight = u * (2.0 - u);
                break;
            }
            case DIGITAL_WINDOW_HAMMING:
                weight = static_cast<double>(0.54f) - static_cast<double>(0.46f) * std::cos(angle);
                break;
            case DIGITAL_WINDOW_BLACKMAN:
                weight = static_cast<double>(0.42f) - 0.5 * std::cos(angle) +
                         static_cast<double>(0.08f) * std::cos(2.0 * angle);
                break;
            default:
                return;  // a rectangle, or a type no window has: no change
        }
        data[i] = static_cast<float>(data[i] * weight);
        data[nPoints - 1 - i] = static_cast<float>(data[nPoints - 1 - i] * weight);
    }
}

bool FilterTypeValid(int16_t type) {
    return type >= FIR_FILTER_LOW_PASS && type <= FIR_FILTER_BAND_STOP;
}

bool NumOfCoeffValid(int16_t n) {
    return n >= kMinFirCoeff && n <= kMaxFirCoeff;
}

bool LowCutoffValid(const FirSettings& s, float low) {
    return low >= 0.0f && low <= 0.5f &&
           (s.filterType == FIR_FILTER_HIGH_PASS || low < s.highCutoff);
}

bool HighCutoffValid(const FirSettings& s, float high) {
    return high >= 0.0f && high <= 0.5f &&
           (s.filterType == FIR_FILTER_LOW_PASS || high > s.lowCutoff);
}

bool WindowTypeValid(int16_t type) {
    return type >= DIGITAL_WINDOW_RECTANGLE && type <= DIGITAL_WINDOW_BLACKMAN;
}

std::vector<float> DesignFirCoefficients(const FirSettings& s) {
    const int32_t n = s.numOfCoeff;
    std::vector<float> h(static_cast<size_t>(std::max(n, 0)));
    const float middle = static_cast<float>(n - 1) / 2.0f;
    const double omegaL = static_cast<float>(kTwoPiF * s.lowCutoff);
    const double omegaH = static_cast<float>(kTwoPiF * s.highCutoff);
    const double pi = kPiF;
    for (int32_t k = 0; k < n; ++k) {
        const float t = static_cast<float>(k) - middle;
        double value;
        if (t == 0.0f) {
            switch (s.filterType) {
                case FIR_FILTER_LOW_PASS:
                    value = omegaH / pi;
                    break;
                case FIR_FILTER_HIGH_PASS:
                    value = 1.0 - omegaL / pi;
                    break;
                case FIR_FILTER_BAND_PASS:
                    value = (omegaH - omegaL) / pi;
                    break;
                default:
                    value = (omegaL - omegaH) / pi + 1.0;
                    break;
            }
        } else {
            const double sinL = std::sin(omegaL * t), sinH = std::sin(omegaH * t);
            switch (s.filterType) {
                case FIR_FILTER_LOW_PASS:
                    value = sinH;
                    break;
                case FIR_FILTER_HIGH_PASS:
                    value = -sinL;
                    break;
                case FIR_FILTER_BAND_PASS:
                    value = sinH - sinL;
                    break;
                default:
                    value = sinL - sinH;
                    break;
            }
            value /= pi * t;
        }
        h[static_cast<size_t>(k)] = static_cast<float>(value);
    }
    ovmWindowData(n, s.windowType, h.data());
    return h;
}

// --- streaming FIR -------------------------------------------------------------

FirFilter::FirFilter(std::vector<float> coefficients)
    : h_(std::move(coefficients)), wide_(h_.begin(), h_.end()), line_(h_.size() - 1, 0.0) {}

void FirFilter::Filter(std::span<const float> in, std::span<float> out) {
    FilterOn(in, out, HasVectorRoads());
}

void FirFilter::FilterPlain(std::span<const float> in, std::span<float> out) {
    FilterOn(in, out, false);
}

void FirFilter::FilterVector(std::span<const float> in, std::span<float> out) {
    FilterOn(in, out, true);
}

void FirFilter::FilterOn(std::span<const float> in, std::span<float> out, bool vector) {
    // The delay line laid out flat: the last taps-1 samples, then up to a
    // block of new ones, so that long inputs need no line of their own size.
    constexpr size_t kBlock = 4096;
    const size_t taps = h_.size(), history = taps - 1;
    line_.reserve(history + std::min(kBlock, in.size()));
    for (size_t at = 0; at < in.size(); at += kBlock) {
        const size_t count = std::min(kBlock, in.size() - at);
        line_.resize(history + count);
        std::copy_n(in.begin() + static_cast<std::ptrdiff_t>(at), count,
                    line_.begin() + static_cast<std::ptrdiff_t>(history));
        float* y = out.data() + at;
        size_t done = 0;
#if TK_SPECTRAL_X86
        if (vector && HasAvx2()) done = FirAvx2(wide_.data(), taps, line_.data(), y, count);
#endif
        FirPlain(wide_.data(), taps, line_.data(), y, done, count);
        std::copy(line_.end() - static_cast<std::ptrdiff_t>(history), line_.end(), line_.begin());
        line_.resize(history);
    }
}

// --- sample arrays ---------------------------------------------------------------

SampleArray ReadSamples(const Variant& v, bool (*accepts)(VARTYPE)) {
    SampleArray out;
    const SafeArray* a = ArrayOf(v);
    if (a == nullptr) return out;
    out.isArray = true;
    const uint32_t dims = a->Dims();
    const SAFEARRAYBOUND& last = a->Bound(dims - 1);
    out.lowerBound = last.lLbound;
    // Storage runs the first index fastest: the elements of the last dimension
    // for the first index at its lower bound lie one first-dimension count apart.
    const size_t stride = dims == 1 ? 1 : a->Count() / std::max<size_t>(last.cElements, 1);
    const ElementWalk walk{0, stride, 0};
    const HRESULT read = ReadNumbers(*a, walk, last.cElements, accepts, BadElement::Fail,
                                     &out.values, NumberConversion::Rounding);
    if (read == E_OUTOFMEMORY) throw std::bad_alloc();
    out.readable = read == S_OK;
    if (!out.readable) out.values.assign(last.cElements, 0.0f);
    return out;
}
