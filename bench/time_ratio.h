#pragma once
// Measures a candidate against its reference in the same run: both run in
// alternating rounds of equal length, and each keeps its fastest round, so that
// a noisy neighbour on the machine slows both or neither.
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <limits>

// The CPU time of the calling thread (page faults included), for runs long
// enough that on a crowded machine hardly any round escapes preemption, which
// wall-clock rounds would count.
struct ThreadCpuClock {
    using duration = std::chrono::nanoseconds;
    using rep = duration::rep;
    using period = duration::period;
    using time_point = std::chrono::time_point<ThreadCpuClock>;
    static constexpr bool is_steady = true;
    static time_point now() {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return time_point(std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec));
    }
};

template <class Clock = std::chrono::steady_clock, class Candidate, class Reference>
double TimeRatio(Candidate&& candidate, Reference&& reference, int64_t callsPerRound = 200000,
                 int rounds = 7) {
    auto seconds = [callsPerRound](auto& call) {
        const auto start = Clock::now();
        for (int64_t i = 0; i < callsPerRound; ++i)
            call();
        return std::chrono::duration<double>(Clock::now() - start).count();
    };
    double best = std::numeric_limits<double>::infinity();
    double bestReference = best;
    for (int round = 0; round < rounds; ++round) {
        best = std::min(best, seconds(candidate));
        bestReference = std::min(bestReference, seconds(reference));
    }
    return best / bestReference;
}
