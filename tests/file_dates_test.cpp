// File dates read from a real file: kept apart from dates_test.cpp, whose cases
// also run in the native build, which has no files.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "lib/facilities/dates.h"
#include "tests/harness.h"

TEST(FileDates, ReadTheLastWriteTimeInLocalTime)
{
    char base[MAX_PATH];
    ASSERT_GT(GetTempPathA(sizeof base, base), 0u);
    const std::string directory = std::string(base) + "vexa-dates-" + std::to_string(GetCurrentProcessId());
    const std::string name = directory + "\\dated.txt";
    ASSERT_TRUE(CreateDirectoryA(directory.c_str(), nullptr));
    // Held open for writing by another handle: the readers share it.
    HANDLE file = CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, FDateTimeToFileTime(20080102, 30405, false).get()));

    int32_t time = -5;
    LString text("at ");
    EXPECT_EQ(FFileDateTime(name.c_str(), &time, &text), 20080102);
    EXPECT_EQ(time, 30405);
    EXPECT_STREQ(text.data(), "at 08/01/02 03:04:05");
    EXPECT_EQ(FFileDate(name.c_str()) + FFileTime(name.c_str()), 20080102 + 30405);
    EXPECT_EQ(FFileDateAndTime(name.c_str(), time), 20080102);
    EXPECT_EQ(FFileDateTime64(name.c_str()), uint64_t(30405) << 32 | 20080102);
    EXPECT_STREQ(FFileDateText(name.c_str()).data(), "08/01/02 03:04:05");
    CloseHandle(file);

    EXPECT_EQ(outputOf([&] {
                  EXPECT_EQ(FFileDateTime((directory + "\\missing").c_str(), &time, &text), 0);
                  EXPECT_EQ(FFileDateText(directory.c_str()).length(), 0);
              }),
              "");
    EXPECT_EQ(time, 0);
    EXPECT_STREQ(text.data(), "at 08/01/02 03:04:05");
    EXPECT_TRUE(DeleteFileA(name.c_str()));
    EXPECT_TRUE(RemoveDirectoryA(directory.c_str()));
}
