#include "blocks/signal/analysis.h"

#include <cmath>

void ovmStatistics(int32_t lNumOfPoint, const float* pfVal, float* pfMean, float* pfVar,
                   float* pfSD, float* pfAD) {
    if (lNumOfPoint <= 0 || !pfVal || !pfMean || !pfVar || !pfSD || !pfAD) return;
    const int32_t n = lNumOfPoint;
    const float nf = static_cast<float>(n);

    long double sum = 0;
    for (int32_t i = 0; i < n; ++i)
        sum += pfVal[i];
    const float mean = static_cast<float>(sum / nf);

    // The deviations' own sum e corrects the rounding of the mean; the two
    // float sums round after every addition, as a float accumulator does.
    long double e = 0;
    float ad = 0, q = 0;
    for (int32_t i = 0; i < n; ++i) {
        const long double d = static_cast<long double>(pfVal[i]) - mean;
        e += d;
        ad = static_cast<float>(ad + std::fabs(d));
        q = static_cast<float>(q + d * d);
    }
    const long double variance = (q - e * e / nf) / (n - 1);
    *pfMean = mean;
    *pfAD = ad / nf;
    *pfVar = static_cast<float>(variance);
    *pfSD = static_cast<float>(std::sqrt(variance));
}
