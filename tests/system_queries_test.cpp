#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>

#include "lib/facilities/system_queries.h"

namespace {

std::string str(const LString& text) { return std::string(text.data(), size_t(text.length())); }

// The key FConfirm reads next.
int scriptedKey = 0;
int nextKey() { return scriptedKey; }

} // namespace

TEST(SystemQueries, NameTheUserAndTheComputer)
{
    // The system's environment says the same in other words.
    EXPECT_EQ(str(FUserName()), std::string(getenv("USERNAME") ? getenv("USERNAME") : "(unset)"));
    EXPECT_EQ(str(FComputerName()), std::string(getenv("COMPUTERNAME") ? getenv("COMPUTERNAME") : "(unset)"));
}

TEST(SystemQueries, CountMemoryInWholeMegabytesBeyondFourGigabytes)
{
    const uint64_t megabyte = 1 << 20;
    for (const auto& [bytes, expected] : {std::pair{megabyte * 1536, 1536u}, {megabyte * 6144 + 5, 6144u},
                                          {megabyte - 1, 0u}, {~uint64_t(0), 0xFFFFFFFFu}})
        EXPECT_EQ(FMegabytes(bytes), expected) << bytes;
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    ASSERT_TRUE(GlobalMemoryStatusEx(&status));
    const double now = double(status.ullAvailPhys >> 20);
    EXPECT_NEAR(FFreeMemoryMB(), now, now / 4 + 64); // memory comes and goes meanwhile
}

TEST(SystemQueries, ConfirmOnlyWithY)
{
    const LKeyReader previous = setConfirmKeyReader(nextKey);
    for (const auto& [key, expected] : {std::pair{int('Y'), true}, {'y', true}, {'N', false}, {'n', false},
                                        {'\r', false}, {'\x1B', false}, {'Y' + 0x80, false}, {EOF, false}}) {
        scriptedKey = key;
        testing::internal::CaptureStderr();
        EXPECT_EQ(FConfirm(), expected) << key;
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "\x82\xE6\x82\xEB\x82\xB5\x82\xA2\x82\xC5\x82\xB7\x82\xA9? (Y/N) : \n");
    }
    EXPECT_EQ(setConfirmKeyReader(previous), nextKey);
}

TEST(SystemQueries, ComparePairsByTheFirstElementsThenTheSecond)
{
    const uint32_t a[2] = {1, 5}, b[2] = {1, 7}, c[2] = {2, 0}, low[2] = {0, 9}, high[2] = {0x80000001, 0};
    EXPECT_LT(comparePairs(a, b), 0);
    EXPECT_GT(comparePairs(c, b), 0);
    EXPECT_EQ(comparePairs(a, a), 0);
    // A difference beyond 31 bits must not flip the order.
    EXPECT_LT(comparePairs(low, high), 0);
    EXPECT_GT(comparePairs(high, low), 0);
}
