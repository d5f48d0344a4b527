// Hosts call the module from several threads at once (an apartment each): the
// allocator and the reporter must stay consistent under that.
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <sstream>
#include <thread>
#include <vector>

#include "lib/charset.h"
#include "lib/messages.h"
#include "lib/pool.h"

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

constexpr int kThreads = 4;

// Allocates, fills, checks and frees blocks of random sizes; false on corruption.
bool churnThePool(unsigned seed, int rounds)
{
    std::mt19937 random(seed);
    std::vector<std::pair<unsigned char*, uint32_t>> live;
    const auto pattern = static_cast<unsigned char>(seed);
    for (int i = 0; i < rounds; ++i) {
        if (!live.empty() && random() % 2) {
            const size_t victim = random() % live.size();
            auto [block, size] = live[victim];
            for (uint32_t b = 0; b < size; ++b)
                if (block[b] != pattern)
                    return false;
            poolFree(block);
            live[victim] = live.back();
            live.pop_back();
        } else {
            const uint32_t size = random() % 8 == 0 ? 4093 + random() % 6000 : random() % 600;
            auto* block = static_cast<unsigned char*>(poolAlloc(size));
            memset(block, pattern, size);
            live.emplace_back(block, size);
        }
    }
    for (auto [block, size] : live)
        poolFree(block);
    return true;
}

// Counts each line that a reporter writes, and checks that lines stay whole.
class CountingReporter : public LMessenger {
public:
    void report(int number, const char*, const char* kind, const char* text) override
    {
        ++lines;
        if (number != 35000 || strcmp(kind, "Warning") != 0 || strncmp(text, "thread ", 7) != 0)
            ++malformed;
    }
    int lines = 0;       // written under the reporter's lock
    int malformed = 0;
};

} // namespace

TEST(Concurrency, PoolStaysConsistentAcrossThreads)
{
    std::atomic<int> corrupted{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t, &corrupted] {
            if (!churnThePool(unsigned(t + 1), 200000))
                ++corrupted;
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(corrupted.load(), 0);
}

TEST(Concurrency, ReporterCountsEveryMessageOnce)
{
    CountingReporter reporter;
    constexpr int kEach = 20000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t, &reporter] {
            for (int i = 0; i < kEach; ++i)
                reporter.post(35000, "thread %d message %d", t, i);
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(reporter.lines, kThreads * kEach);
    EXPECT_EQ(reporter.problemCount(), kThreads * kEach);
    EXPECT_EQ(reporter.malformed, 0);
}

TEST(Concurrency, ProcessWideLinesStayWholeWhileThreadsAllocateAndConvert)
{
    constexpr int kEach = 500;
    const int before = messenger().problemCount();
    CaptureStdout();
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < kEach; ++i) {
                LWString wide;
                // Each conversion reports one illegal escape through the shared reporter.
                narrowToWide("x{%uZ", -1, wide, 1252, kEscapePrefix, kEscapeSuffix);
                LString narrow;
                wideToNarrow(L"\x3042 thread text", -1, narrow, 1252, kEscapePrefix, kEscapeSuffix);
                if (strcmp(narrow.data(), "{%u3042} thread text") != 0)
                    message(15000, "thread %d: bad conversion", t);
            }
        });
    for (auto& thread : threads)
        thread.join();
    const std::string output = GetCapturedStdout();
    std::istringstream lines(output);
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
        EXPECT_EQ(line, "Warning 35009: illegal escape sequence: {%uZ") << "line " << count;
        if (line != "Warning 35009: illegal escape sequence: {%uZ")
            break;
        ++count;
    }
    EXPECT_EQ(count, kThreads * kEach);
    EXPECT_EQ(messenger().problemCount(), before + kThreads * kEach);
}
