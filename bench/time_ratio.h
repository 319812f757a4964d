#pragma once
// Measures a candidate against its reference in the same run: both run in
// alternating rounds of equal length, and each keeps its fastest round, so that
// a noisy neighbour on the machine slows both or neither.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <limits>

template <class Candidate, class Reference>
double TimeRatio(Candidate&& candidate, Reference&& reference, int64_t callsPerRound = 200000,
                 int rounds = 7) {
    auto seconds = [callsPerRound](auto& call) {
        const auto start = std::chrono::steady_clock::now();
        for (int64_t i = 0; i < callsPerRound; ++i)
            call();
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    double best = std::numeric_limits<double>::infinity();
    double bestReference = best;
    for (int round = 0; round < rounds; ++round) {
        best = std::min(best, seconds(candidate));
        bestReference = std::min(bestReference, seconds(reference));
    }
    return best / bestReference;
}
