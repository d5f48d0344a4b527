// Timing and reporting shared by the benchmark programs. Each program prints
// table rows "| row | measure | figure | reference | ratio | target | meets |"
// that the driver collects into one table.
#pragma once
#include <windows.h>

#include <algorithm>
#include <utility>
#include <cstdio>
#include <vector>

namespace bench {

inline double ticksPerSecond()
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return double(frequency.QuadPart);
}

inline double now()
{
    static const double perSecond = ticksPerSecond();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return double(counter.QuadPart) / perSecond;
}

// Median over `runs` runs of the seconds that `work` takes, divided by `perRun`
// operations: the time of one operation in nanoseconds.
template <typename Work>
double medianNs(int runs, double perRun, Work&& work)
{
    work(); // warm caches, first-use allocations and lazy initialisation
    std::vector<double> samples;
    for (int i = 0; i < runs; ++i) {
        const double start = now();
        work();
        samples.push_back((now() - start) * 1e9 / perRun);
    }
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

struct Timing {
    double ns;   // median time of one operation
    long calls;  // operations in each timed run
};

// For operations whose cost ranges from nanoseconds to a wait on the display
// server: as many calls per run as fit the time budget, at most maxCalls.
// work(n) performs n operations.
template <typename Work>
Timing adaptiveNs(int runs, long maxCalls, double budgetSeconds, Work&& work)
{
    long n = 16;
    double perCall = 0;
    for (;;) {
        const double start = now();
        work(n);
        const double seconds = now() - start;
        perCall = seconds / double(n);
        if (seconds > 0.02 || n >= maxCalls)
            break;
        n *= 4;
    }
    long calls = long(budgetSeconds / (runs + 1) / (perCall > 0 ? perCall : 1e-9));
    calls = calls < 16 ? 16 : calls > maxCalls ? maxCalls : calls;
    return {medianNs(runs, double(calls), [&] { work(calls); }), calls};
}

// Two operations timed in alternating runs, so that drift of the machine (or of
// the display server) affects both alike. Returns the medians of a and b.
template <typename WorkA, typename WorkB>
std::pair<Timing, Timing> adaptivePair(int runs, long maxCalls, double budgetSeconds, WorkA&& a, WorkB&& b)
{
    auto callsFor = [&](auto& work) {
        long n = 16;
        for (;;) {
            const double start = now();
            work(n);
            const double seconds = now() - start;
            if (seconds > 0.02 || n >= maxCalls) {
                const double perCall = seconds > 0 ? seconds / double(n) : 1e-9;
                long calls = long(budgetSeconds / 2 / (runs + 1) / perCall);
                return calls < 16 ? 16L : calls > maxCalls ? maxCalls : calls;
            }
            n *= 4;
        }
    };
    const long callsA = callsFor(a);
    const long callsB = callsFor(b);
    std::vector<double> samplesA, samplesB;
    for (int i = 0; i < runs; ++i) {
        double start = now();
        a(callsA);
        samplesA.push_back((now() - start) * 1e9 / double(callsA));
        start = now();
        b(callsB);
        samplesB.push_back((now() - start) * 1e9 / double(callsB));
    }
    std::sort(samplesA.begin(), samplesA.end());
    std::sort(samplesB.begin(), samplesB.end());
    return {{samplesA[samplesA.size() / 2], callsA}, {samplesB[samplesB.size() / 2], callsB}};
}

enum class Goal {
    None,     // reported only
    AtMost,   // ratio figure/reference must not exceed the limit
    AtLeast,  // ratio must reach the limit
};

// One table row. Times are printed with their unit; the ratio is figure/reference.
inline void row(const char* id, const char* measure, double figure, double reference, const char* unit,
                Goal goal, double limit, const char* targetText)
{
    const double ratio = reference > 0 ? figure / reference : 0;
    const char* meets = "-";
    if (goal == Goal::AtMost)
        meets = ratio <= limit ? "yes" : "NO";
    else if (goal == Goal::AtLeast)
        meets = ratio >= limit ? "yes" : "NO";
    std::printf("| %s | %s | %.3g %s | %.3g %s | %.2f | %s | %s |\n", id, measure, figure, unit, reference, unit,
                ratio, targetText, meets);
    std::fflush(stdout);
}

} // namespace bench
