// Row 4: the library's pool allocator against the runtime heap (malloc/free)
// under the same random pattern of sizes up to 4 KB, in one and in two threads.
#include <windows.h>

#include <cstdlib>
#include <thread>
#include <vector>

#include "bench/bench_common.h"
#include "lib/pool.h"

using bench::Goal;

namespace {

constexpr int kRuns = 5;
constexpr int kSlots = 1024;
constexpr int kOperations = 400000; // per thread

struct Step {
    uint16_t slot;
    uint16_t size; // 1 to 4096
};

// One fixed pattern for both allocators: free a random slot if occupied, then
// fill it with a block of random size.
std::vector<Step> makePattern(uint32_t seed)
{
    std::vector<Step> steps(kOperations);
    for (Step& step : steps) {
        seed = seed * 1664525u + 1013904223u;
        step.slot = uint16_t((seed >> 8) % kSlots);
        seed = seed * 1664525u + 1013904223u;
        step.size = uint16_t((seed >> 8) % 4096 + 1);
    }
    return steps;
}

struct Pool {
    static void* allocate(size_t n) { return poolAlloc(uint32_t(n)); }
    static void release(void* p) { poolFree(p); }
};
struct Heap {
    static void* allocate(size_t n) { return malloc(n); }
    static void release(void* p) { free(p); }
};

template <typename Allocator>
void replay(const std::vector<Step>& steps)
{
    void* slots[kSlots] = {};
    for (const Step& step : steps) {
        Allocator::release(slots[step.slot]);
        char* block = static_cast<char*>(Allocator::allocate(step.size));
        block[0] = 1; // touch it, as a user would
        slots[step.slot] = block;
    }
    for (void* block : slots)
        Allocator::release(block);
}

template <typename Allocator>
double perOperation(const std::vector<std::vector<Step>>& patterns)
{
    return bench::medianNs(kRuns, double(kOperations), [&patterns] {
        std::vector<std::thread> threads;
        for (const auto& steps : patterns)
            threads.emplace_back([&steps] { replay<Allocator>(steps); });
        for (auto& thread : threads)
            thread.join();
    });
}

} // namespace

int main()
{
    const std::vector<std::vector<Step>> one = {makePattern(1)};
    const std::vector<std::vector<Step>> two = {makePattern(1), makePattern(2)};
    bench::row("4", "pool vs malloc/free, 1 thread, alloc+free pair, sizes 1-4096", perOperation<Pool>(one),
               perOperation<Heap>(one), "ns", Goal::AtMost, 1.0, "<= 1.0");
    bench::row("4", "pool vs malloc/free, 2 threads, wall time per pair of one thread", perOperation<Pool>(two),
               perOperation<Heap>(two), "ns", Goal::AtMost, 2.0, "<= 2.0");
    return 0;
}
