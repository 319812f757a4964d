#include "blocks/signal/spectral.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <memory>
#include <utility>

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

struct TwiddlePlan {
    int32_t n = 0;
    bool inverse = false;
    std::vector<double> twiddles;  // (re, im) pairs
};

// Per stage, span n down to 2: span/2 twiddles, from 1 on.
TwiddlePlan BuildComplexPlan(int32_t n, bool inverse) {
    TwiddlePlan plan{n, inverse, {}};
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
    return plan;
}

// Twiddles of the real transform's combining step, k = 1 .. n/4:
// w(1) = (cos, sin)(theta), w(k+1) = w(k) * w(1).
TwiddlePlan BuildCombinePlan(int32_t nReal, bool inverse) {
    const double theta = (inverse ? -1.0 : 1.0) * static_cast<double>(kTwoPiF) / nReal;
    const double stepRe = std::cos(theta), stepIm = std::sin(theta);
    TwiddlePlan plan{nReal, inverse, {}};
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
// (a - b) * w for two complex lanes, as Butterfly computes it.
__attribute__((target("avx2"))) inline __m256d TwiddleProduct(__m256d d, __m256d tw) {
    const __m256d byRe = _mm256_mul_pd(d, _mm256_movedup_pd(tw));
    const __m256d byIm = _mm256_mul_pd(_mm256_permute_pd(d, 0x5), _mm256_permute_pd(tw, 0xF));
    return _mm256_addsub_pd(byRe, byIm);
}

// (a - b) * w for four complex lanes held as floats, as Butterfly computes
// it: the difference and the product in double, the result rounded to float.
__attribute__((target("avx2"))) inline __m256 DiffTimesTwiddle(__m256 a, __m256 b,
                                                               const double* w) {
    const __m256d lo = TwiddleProduct(_mm256_sub_pd(_mm256_cvtps_pd(_mm256_castps256_ps128(a)),
                                                    _mm256_cvtps_pd(_mm256_castps256_ps128(b))),
                                      _mm256_loadu_pd(w));
    const __m256d hi = TwiddleProduct(_mm256_sub_pd(_mm256_cvtps_pd(_mm256_extractf128_ps(a, 1)),
                                                    _mm256_cvtps_pd(_mm256_extractf128_ps(b, 1))),
                                      _mm256_loadu_pd(w + 4));
    return _mm256_set_m128(_mm256_cvtpd_ps(hi), _mm256_cvtpd_ps(lo));
}

// Four butterflies per pass of the loop. The sums are taken in float: the sum
// of two floats rounded once to float equals their double sum rounded to float.
__attribute__((target("avx2"))) void StageAvx2(float* data, int32_t n, int32_t half,
                                               const double* w) {
    for (int32_t group = 0; group < n; group += 2 * half) {
        float* a = data + 2 * static_cast<size_t>(group);
        float* b = a + 2 * static_cast<size_t>(half);
        for (int32_t j = 0; j < half; j += 4) {
            const __m256 va = _mm256_loadu_ps(a + 2 * j), vb = _mm256_loadu_ps(b + 2 * j);
            _mm256_storeu_ps(a + 2 * j, _mm256_add_ps(va, vb));
            _mm256_storeu_ps(b + 2 * j, DiffTimesTwiddle(va, vb, w + 2 * j));
        }
    }
}

// Two stages in one pass: span 2*half with twiddles w1, then span half with
// w2, each element read and written once. Within a group the four elements
// j, j + half/2, j + half, j + 3*half/2 meet in both stages. half >= 8.
__attribute__((target("avx2"))) void StagePairAvx2(float* data, int32_t n, int32_t half,
                                                   const double* w1, const double* w2) {
    const size_t quarter = static_cast<size_t>(half) / 2;
    for (int32_t group = 0; group < n; group += 2 * half) {
        float* a = data + 2 * static_cast<size_t>(group);
        float* b = a + 2 * quarter;
        float* c = b + 2 * quarter;
        float* d = c + 2 * quarter;
        for (size_t j = 0; j < quarter; j += 4) {
            const __m256 va = _mm256_loadu_ps(a + 2 * j), vb = _mm256_loadu_ps(b + 2 * j);
            const __m256 vc = _mm256_loadu_ps(c + 2 * j), vd = _mm256_loadu_ps(d + 2 * j);
            const __m256 a1 = _mm256_add_ps(va, vc);
            const __m256 c1 = DiffTimesTwiddle(va, vc, w1 + 2 * j);
            const __m256 b1 = _mm256_add_ps(vb, vd);
            const __m256 d1 = DiffTimesTwiddle(vb, vd, w1 + 2 * (j + quarter));
            _mm256_storeu_ps(a + 2 * j, _mm256_add_ps(a1, b1));
            _mm256_storeu_ps(b + 2 * j, DiffTimesTwiddle(a1, b1, w2 + 2 * j));
            _mm256_storeu_ps(c + 2 * j, _mm256_add_ps(c1, d1));
            _mm256_storeu_ps(d + 2 * j, DiffTimesTwiddle(c1, d1, w2 + 2 * j));
        }
    }
}

// The last two stages (span 4, then span 2) in one pass over two groups of
// four at a time (n >= 8), complex values moved as 64-bit units.
__attribute__((target("avx2"))) void LastStagesAvx2(float* data, int32_t n, const double* w4,
                                                    const double* w2) {
    const double tw4[8] = {w4[0], w4[1], w4[2], w4[3], w4[0], w4[1], w4[2], w4[3]};
    const double tw2[8] = {w2[0], w2[1], w2[0], w2[1], w2[0], w2[1], w2[0], w2[1]};
    for (int32_t group = 0; group < n; group += 8) {
        float* z = data + 2 * static_cast<size_t>(group);
        const __m256d x = _mm256_castps_pd(_mm256_loadu_ps(z));                 // z0 z1 z2 z3
        const __m256d y = _mm256_castps_pd(_mm256_loadu_ps(z + 8));             // z4 z5 z6 z7
        const __m256 p = _mm256_castpd_ps(_mm256_permute2f128_pd(x, y, 0x20));  // z0 z1 z4 z5
        const __m256 q = _mm256_castpd_ps(_mm256_permute2f128_pd(x, y, 0x31));  // z2 z3 z6 z7
        const __m256d sum = _mm256_castps_pd(_mm256_add_ps(p, q));
        const __m256d prod = _mm256_castps_pd(DiffTimesTwiddle(p, q, tw4));
        const __m256 p2 = _mm256_castpd_ps(_mm256_unpacklo_pd(sum, prod));  // z0' z2' z4' z6'
        const __m256 q2 = _mm256_castpd_ps(_mm256_unpackhi_pd(sum, prod));  // z1' z3' z5' z7'
        const __m256d sum2 = _mm256_castps_pd(_mm256_add_ps(p2, q2));
        const __m256d prod2 = _mm256_castps_pd(DiffTimesTwiddle(p2, q2, tw2));
        const __m256d lo = _mm256_unpacklo_pd(sum2, prod2);  // z0'' z1'' z4'' z5''
        const __m256d hi = _mm256_unpackhi_pd(sum2, prod2);  // z2'' z3'' z6'' z7''
        _mm256_storeu_ps(z, _mm256_castpd_ps(_mm256_permute2f128_pd(lo, hi, 0x20)));
        _mm256_storeu_ps(z + 8, _mm256_castpd_ps(_mm256_permute2f128_pd(lo, hi, 0x31)));
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
        double acc = 0.0;
        for (size_t j = 0; j < taps; ++j)
            acc += h[j] * x[i - j];
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

void ovmComplexFFT(int32_t nPoints, bool bInverse, float* lpComplex) {
    if (nPoints < 2 || lpComplex == nullptr) return;
    const std::shared_ptr<const TwiddlePlan> plan = ComplexPlanFor(nPoints, bInverse);
    const double* w = plan->twiddles.data();
    for (int32_t half = nPoints / 2; half >= 1; half /= 2) {
#if TK_SPECTRAL_X86
        if (half >= 8 && HasAvx2()) {
            const double* next = w + 2 * static_cast<size_t>(half);
            StagePairAvx2(lpComplex, nPoints, half, w, next);
            w = next + static_cast<size_t>(half);
            half /= 2;
            continue;
        }
        if (half == 2 && nPoints >= 8 && HasAvx2()) {
            LastStagesAvx2(lpComplex, nPoints, w, w + 4);
            break;
        }
        if (half == 4 && HasAvx2()) {
            StageAvx2(lpComplex, nPoints, half, w);
            w += 2 * static_cast<size_t>(half);
            continue;
        }
#endif
        StagePlain(lpComplex, nPoints, half, w);
        w += 2 * static_cast<size_t>(half);
    }
    if (nPoints >= kTiledReorderPoints) {
        ReorderTiled(lpComplex, nPoints);
    } else {
        ReorderBySwaps(lpComplex, nPoints);
    }
}

void ovmRealFFT(int32_t nPoints, bool bInverse, float* pfData) {
    if (nPoints < 2 || pfData == nullptr) return;
    const int32_t half = nPoints / 2;
    const double c2 = bInverse ? 0.5 : -0.5;
    if (!bInverse) ovmComplexFFT(half, false, pfData);
    const std::shared_ptr<const TwiddlePlan> combine = CombinePlanFor(nPoints, bInverse);
    const double* w = combine->twiddles.data();
    int32_t first = 1;
#if TK_SPECTRAL_X86
    if (HasAvx2()) first = CombineAvx2(pfData, half, c2, w);
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
    ovmComplexFFT(half, true, pfData);
    const double scale = half;
    for (int32_t i = 0; i < nPoints; ++i)
        pfData[i] = static_cast<float>(pfData[i] / scale);
}

// --- windows and design ------------------------------------------------------

namespace {

constexpr EnumValue kFirFilterTypeValues[] = {
    {"FIR_FILTER_LOW_PASS", FIR_FILTER_LOW_PASS},
    {"FIR_FILTER_HIGH_PASS", FIR_FILTER_HIGH_PASS},
    {"FIR_FILTER_BAND_PASS", FIR_FILTER_BAND_PASS},
    {"FIR_FILTER_BAND_STOP", FIR_FILTER_BAND_STOP},
};
constexpr EnumValue kFilterTypeValues[] = {
    {"ovLowPass", FIR_FILTER_LOW_PASS},
    {"ovHighPass", FIR_FILTER_HIGH_PASS},
    {"ovBandPass", FIR_FILTER_BAND_PASS},
    {"ovBandStop", FIR_FILTER_BAND_STOP},
};
constexpr EnumValue kDigitalWindowValues[] = {
    {"DIGITAL_WINDOW_RECTANGLE", DIGITAL_WINDOW_RECTANGLE},
    {"DIGITAL_WINDOW_PARZEN", DIGITAL_WINDOW_PARZEN},
    {"DIGITAL_WINDOW_BARTLETT", DIGITAL_WINDOW_BARTLETT},
    {"DIGITAL_WINDOW_HANNING", DIGITAL_WINDOW_HANNING},
    {"DIGITAL_WINDOW_WELCH", DIGITAL_WINDOW_WELCH},
    {"DIGITAL_WINDOW_HAMMING", DIGITAL_WINDOW_HAMMING},
    {"DIGITAL_WINDOW_BLACKMAN", DIGITAL_WINDOW_BLACKMAN},
};
constexpr EnumValue kWindowTypeValues[] = {
    {"ovRectangle", DIGITAL_WINDOW_RECTANGLE}, {"ovParzen", DIGITAL_WINDOW_PARZEN},
    {"ovBartlett", DIGITAL_WINDOW_BARTLETT},   {"ovHanning", DIGITAL_WINDOW_HANNING},
    {"ovWelch", DIGITAL_WINDOW_WELCH},         {"ovHamming", DIGITAL_WINDOW_HAMMING},
    {"ovBlackman", DIGITAL_WINDOW_BLACKMAN},
};

}  // namespace

const EnumDesc kFirFilterTypeEnum{"FIR_FILTER_TYPE", kFirFilterTypeValues};
const EnumDesc kDigitalWindowEnum{"DIGITAL_WINDOW", kDigitalWindowValues};
const EnumDesc kFilterTypeEnum{"FILTER_TYPE", kFilterTypeValues};
const EnumDesc kWindowTypeEnum{"WINDOW_TYPE", kWindowTypeValues};

std::span<const EnumDesc* const> SpectralEnumerations() {
    static const EnumDesc* const all[] = {&kFilterTypeEnum, &kWindowTypeEnum, &kDigitalWindowEnum,
                                          &kFirFilterTypeEnum};
    return all;
}

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
    const size_t taps = h_.size(), history = taps - 1;
    // The delay line laid out flat: the last taps-1 samples, then this call's.
    line_.resize(history + in.size());
    std::copy(in.begin(), in.end(), line_.begin() + static_cast<std::ptrdiff_t>(history));
    size_t done = 0;
#if TK_SPECTRAL_X86
    if (HasAvx2()) done = FirAvx2(wide_.data(), taps, line_.data(), out.data(), in.size());
#endif
    FirPlain(wide_.data(), taps, line_.data(), out.data(), done, in.size());
    std::copy(line_.end() - static_cast<std::ptrdiff_t>(history), line_.end(), line_.begin());
    line_.resize(history);
}

// --- sample arrays ---------------------------------------------------------------

namespace {

template <class T>
void CopyStrided(std::span<const T> from, size_t stride, std::vector<float>& to) {
    for (size_t i = 0; i < to.size(); ++i)
        to[i] = static_cast<float>(from[i * stride]);
}

}  // namespace

SampleArray ReadSamples(const Variant& v, std::span<const VARTYPE> kinds) {
    SampleArray out;
    const SafeArray* a = v.IsArray() ? v.parray() : nullptr;
    const uint32_t dims = SafeArrayGetDim(a);
    if (dims == 0) return out;
    out.isArray = true;
    const VARTYPE kind = a->ElementType();
    if (std::find(kinds.begin(), kinds.end(), kind) == kinds.end()) return out;
    out.readable = true;
    const SAFEARRAYBOUND& last = a->Bound(dims - 1);
    out.lowerBound = last.lLbound;
    // Storage runs the first index fastest: the elements of the last dimension
    // for the first index at its lower bound lie one first-dimension count apart.
    const size_t stride = dims == 1 ? 1 : a->Count() / std::max<size_t>(last.cElements, 1);
    out.values.resize(last.cElements);
    switch (kind) {
        case VT_I2:
            CopyStrided(a->Data<int16_t>(), stride, out.values);
            break;
        case VT_I4:
            CopyStrided(a->Data<int32_t>(), stride, out.values);
            break;
        case VT_R4:
            CopyStrided(a->Data<float>(), stride, out.values);
            break;
        case VT_R8:
            CopyStrided(a->Data<double>(), stride, out.values);
            break;
        default:
            out.readable = false;
            out.values.clear();
            break;
    }
    return out;
}

HRESULT PutFloatArray(std::span<const float> values, int32_t lowerBound, Variant& target) noexcept {
    SafeArrayPtr a = SafeArrayCreateVector(VT_R4, lowerBound, static_cast<uint32_t>(values.size()));
    if (!a) return E_OUTOFMEMORY;
    std::copy(values.begin(), values.end(), a->Data<float>().begin());
    target = Variant::Array(std::move(a));
    return S_OK;
}

bool AllFinite(std::span<const float> values) {
    return std::all_of(values.begin(), values.end(), [](float x) { return std::isfinite(x); });
}
