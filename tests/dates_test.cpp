#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "lib/facilities/dates.h"
#include "tests/harness.h"

namespace {

// Calendar seconds in local time as the runtime library shows them.
std::string local(int32_t seconds)
{
    const time_t value = seconds;
    tm t{};
    if (localtime_s(&t, &value) != 0)
        return "(none)";
    char text[32];
    snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
             t.tm_hour, t.tm_min, t.tm_sec);
    return text;
}

// "Y" and "T" in an expected text stand for this year and for today.
std::string expand(std::string expected)
{
    const std::string now = local(int32_t(time(nullptr)));
    if (expected[0] == 'T')
        expected.replace(0, 1, now.substr(0, 10));
    else if (expected[0] == 'Y')
        expected.replace(0, 1, now.substr(0, 4));
    return expected;
}

std::string shown(const SYSTEMTIME& t)
{
    char text[40];
    snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
             t.wSecond, t.wMilliseconds);
    return text;
}

uint64_t units(const FILETIME& f) { return uint64_t(f.dwHighDateTime) << 32 | f.dwLowDateTime; }
FILETIME fileTime(uint64_t value) { return {DWORD(value), DWORD(value >> 32)}; }

// A file time (UTC) shown in local time by the system.
std::string shownLocal(const FILETIME& utc)
{
    FILETIME local;
    SYSTEMTIME t{};
    FileTimeToLocalFileTime(&utc, &local);
    FileTimeToSystemTime(&local, &t);
    return shown(t);
}

SYSTEMTIME systemTime(WORD year, WORD month, WORD day, WORD hour = 0, WORD minute = 0, WORD second = 0, WORD ms = 0)
{
    return SYSTEMTIME{year, month, 0, day, hour, minute, second, ms};
}

bool startsWith(const std::string& text, const std::string& start) { return text.rfind(start, 0) == 0; }

// The slash form's error, the same in every language.
std::wstring slashFormError(const char* text)
{
    return L"Error 15000: \u65E5\u6642\u6587\u5B57\u5217\uFF08" + std::wstring(text, text + strlen(text)) +
           L"\uFF09\u306E\u5F62\u5F0F\u304C\u6B63\u3057\u304F\u3042\u308A\u307E\u305B\u3093\u3002\n\u300C"
           L"yyyy/mm/dd.hh:mm:ss\u300D\u5F62\u5F0F\u3067\u6307\u5B9A\u3057\u3066\u304F\u3060\u3055\u3044\u3002\n";
}

} // namespace

TEST(ParseDateTime, FillsLeftOutPartsFromTodayAndThePeriod)
{
    const struct {
        const char* text;
        bool end;
        const char* expected;
    } cases[] = {
        {"0102.1230", false, "Y-01-02 12:30:00"}, {"0102.1230", true, "Y-01-02 12:30:59"},
        {"0102.123045", true, "Y-01-02 12:30:45"}, {"080102", false, "2008-01-02 00:00:00"},
        {"080102", true, "2008-01-02 23:59:59"}, {"", false, "T 00:00:00"}, {nullptr, true, "T 23:59:59"},
        {".0930", false, "T 09:30:00"}, {"370102", false, "2037-01-02 00:00:00"},
        {"700102", false, "1970-01-02 00:00:00"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(local(FParseDateTime(c.text, c.end)), expand(c.expected)) << (c.text ? c.text : "(null)");
}

TEST(ParseDateTime, TwoDigitYearsBelow50AreThisCentury)
{
    tm parts;
    ASSERT_TRUE(FParseDateTimeFields("490102", false, parts));
    EXPECT_EQ(parts.tm_year + 1900, 2049);
    EXPECT_EQ(parts.tm_mon * 100 + parts.tm_mday, 2);
    ASSERT_TRUE(FParseDateTimeFields("500102", false, parts));
    EXPECT_EQ(parts.tm_year + 1900, 1950);
    // Neither fits calendar seconds.
    EXPECT_EQ(FParseDateTime("490102", false), -1);
    EXPECT_EQ(FParseDateTime("500102", false), -1);
}

TEST(ParseDateTime, ReportsMalformedPartsAndUsesTheirDigits)
{
    int32_t seconds = 0;
    EXPECT_EQ(outputOf([&] { seconds = FParseDateTime("1.2.3", false); }),
              "Error 15000: too many separator '.' in '1.2.3'\n");
    EXPECT_EQ(seconds, -1);
    EXPECT_EQ(outputOf([&] { seconds = FParseDateTime("080102.12", false); }),
              "Error 15000: time string must be 'hhmmss' or 'hhmm' format\n");
    EXPECT_EQ(local(seconds), "2008-01-02 00:00:12");
    EXPECT_EQ(outputOf([&] { seconds = FParseDateTime("80102", false); }),
              "Error 15000: Date-time string '80102' is not correct. The format should be [[yy]mmdd][.hhmm[ss]].\n");
    EXPECT_EQ(local(seconds), "2008-01-02 00:00:00");
}

TEST(ParseDateTime, ReportsMalformedPartsInJapanese)
{
    JapaneseMessages japanese;
    EXPECT_EQ(fromCodePage932(outputOf([] { FParseDateTime("80102", false); })),
              L"Error 15000: \u65E5\u6642\u6587\u5B57\u5217 '80102' \u306E\u5F62\u5F0F\u304C\u6B63\u3057\u304F\u3042"
              L"\u308A\u307E\u305B\u3093\u3002[[yy]mmdd][.hhmm[ss]] \u5F62\u5F0F\u3067\u6307\u5B9A\u3057\u3066\u304F"
              L"\u3060\u3055\u3044\n");
}

TEST(TextToTime, ReadsDatesTimesAndBoth)
{
    const struct {
        const char* text;
        bool end;
        const char* expected;
    } cases[] = {
        {"2008/1/2", true, "2008-01-02 23:59:59"}, {"2008/1/2", false, "2008-01-02 00:00:00"},
        {"12:30", false, "T 12:30:00"}, {"12:30", true, "T 12:30:59"}, {"1/2", false, "Y-01-02 00:00:00"},
        {"08/01/02.12:30:15", false, "2008-01-02 12:30:15"}, {".7:05", false, "T 07:05:00"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(local(FTextToTime(c.text, c.end)), expand(c.expected)) << c.text;
    SYSTEMTIME t;
    EXPECT_TRUE(FTextToSystemTime("70/1/2", true, t));
    EXPECT_EQ(shown(t), "1970-01-02 23:59:59.099");
    EXPECT_TRUE(FTextToSystemTime("49/12/31", false, t));
    EXPECT_EQ(shown(t), "2049-12-31 00:00:00.000");
    EXPECT_TRUE(FTextToSystemTime("50/1/1", false, t));
    EXPECT_EQ(t.wYear, 1950);
}

TEST(TextToTime, ReportsInOneWordingAndConvertsTheFieldsSetSoFar)
{
    int32_t seconds = 0;
    const std::string output = outputOf([&] { seconds = FTextToTime("2008-01-02", false); });
    EXPECT_EQ(fromCodePage932(output), slashFormError("2008-01-02"));
    EXPECT_LE(std::abs(seconds - FNow()), 2) << "the current time";
    {
        JapaneseMessages japanese;
        EXPECT_EQ(outputOf([] { FTextToTime("2008-01-02", false); }), output);
    }
    // Month 13 is reported, and the fields are converted as they stand.
    EXPECT_EQ(fromCodePage932(outputOf([&] { seconds = FTextToTime("13/01", false); })), slashFormError("13/01"));
    EXPECT_EQ(local(seconds), std::to_string(std::stoi(expand("Y")) + 1) + "-01-01 00:00:00");

    // A malformed time leaves the time of day as it was: the current one.
    SYSTEMTIME t, now;
    GetLocalTime(&now);
    outputOf([&] { EXPECT_FALSE(FTextToSystemTime("2008/1/2.1230", false, t)); });
    EXPECT_EQ(t.wYear * 10000 + t.wMonth * 100 + t.wDay, 20080102);
    const auto secondOfDay = [](const SYSTEMTIME& s) { return s.wHour * 3600 + s.wMinute * 60 + s.wSecond; };
    EXPECT_LE((secondOfDay(t) - secondOfDay(now) + 86400) % 86400, 2) << shown(t);

    for (const char* text : {"", "1.2.3", "2008/1/2/3", "12:", "2008/1/2.25:00", "99999/1/1", "2008/65537/1"})
        EXPECT_EQ(fromCodePage932(outputOf([&] { FTextToTime(text, false); })), slashFormError(text)) << text;
    for (char filler : {'/', '.', '7'}) {
        const std::string huge(1 << 20, filler);
        EXPECT_FALSE(outputOf([&] { FTextToTime(huge.c_str(), false); }).empty()) << filler;
        EXPECT_FALSE(outputOf([&] { FParseDateTime(huge.c_str(), false); }).empty()) << filler;
    }
}

TEST(DateToDay, CountsWeekdaysBeyondTheMsDosYears)
{
    // Day by day with the system's calendar, from Tuesday 1975-01-07 to 2111.
    SYSTEMTIME day = systemTime(1975, 1, 7, 12);
    FILETIME at;
    ASSERT_TRUE(SystemTimeToFileTime(&day, &at));
    int expected = 2;
    size_t before1980 = 0;
    const std::string output = outputOf([&] {
        for (; day.wYear < 2112; expected = (expected + 1) % 7) {
            const int32_t date = day.wYear * 10000 + day.wMonth * 100 + day.wDay;
            before1980 += day.wYear < 1980;
            if (FDateToDay(date) != expected)
                ADD_FAILURE() << date << " is not weekday " << expected;
            at = fileTime(units(at) + 86400ull * 10000000);
            FileTimeToSystemTime(&at, &day);
        }
    });
    const std::string line = "Error 15000: too small year in FDateToDay(): 1975\n";
    EXPECT_TRUE(startsWith(output, line));
    EXPECT_EQ(output.size(), before1980 * line.size()) << "one line for each day before 1980";
}

TEST(DateToDay, RefusesDatesThatDoNotExist)
{
    // Month 17 would spill into the year of the MS-DOS date word.
    for (int32_t date : {20080230, 20081301, 20081701, 20080100, 20080132})
        EXPECT_EQ(outputOf([&] { EXPECT_EQ(FDateToDay(date), -1); }), "Error 15000: DosDateTimeToFileTime() failed\n");
    EXPECT_EQ(outputOf([] { EXPECT_EQ(FDateToDay(21080230), -1); }), "Error 15000: SystemTimeToFileTime() failed\n");
}

TEST(TimeConversions, BreakDownNegativeSecondsToTheirTrueDate)
{
    for (int32_t seconds : {0, 951782400, INT32_MAX}) {
        const time_t value = seconds;
        tm expected{};
        ASSERT_EQ(gmtime_s(&expected, &value), 0);
        SYSTEMTIME t;
        FTimeToSystemTime(seconds, t);
        EXPECT_EQ(shown(t), shown(systemTime(WORD(expected.tm_year + 1900), WORD(expected.tm_mon + 1),
                                             WORD(expected.tm_mday), WORD(expected.tm_hour), WORD(expected.tm_min),
                                             WORD(expected.tm_sec))));
    }
    SYSTEMTIME t;
    FTimeToSystemTime(-1, t);
    EXPECT_EQ(shown(t), "1969-12-31 23:59:59.000");
    FTimeToSystemTime(INT32_MIN, t);
    EXPECT_EQ(shown(t), "1901-12-13 20:45:52.000");
    // Through file times and back, rounding down before 1970 as after it.
    for (int32_t seconds : {INT32_MIN, -86401, -1, 0, 1234567890, INT32_MAX}) {
        FILETIME f;
        ASSERT_TRUE(FTimeToFileTime(seconds, f));
        EXPECT_EQ(units(f), uint64_t(116444736000000000ll + int64_t(seconds) * 10000000)) << seconds;
        EXPECT_EQ(FFileTimeToTime(f), seconds);
    }
    EXPECT_EQ(FFileTimeToTime(fileTime(116444736000000000ull - 5000000)), -1);
    EXPECT_EQ(FFileTimeToTime(fileTime(0)), INT32_MIN);
    EXPECT_EQ(FFileTimeToTime(fileTime(~0ull)), INT32_MAX);
}

TEST(TimeConversions, LocalDatesAndTimesToFileTimes)
{
    EXPECT_EQ(shownLocal(*FDateTimeToFileTime(20080102, -1, true)), "2008-01-02 23:59:59.099");
    EXPECT_EQ(shownLocal(*FDateTimeToFileTime(20080102, -1, false)), "2008-01-02 00:00:00.000");
    EXPECT_EQ(shownLocal(*FDateTimeToFileTime(20080102, 123045, false)), "2008-01-02 12:30:45.000");
    for (int32_t date : {20081301, 20080230, -20080101, 655370101}) {
        std::unique_ptr<FILETIME> f;
        const std::string output = outputOf([&] { f = FDateTimeToFileTime(date, 0, false); });
        ASSERT_TRUE(f) << date; // a caller may use the allocation without a test
        EXPECT_EQ(units(*f), 0u) << date;
        EXPECT_TRUE(startsWith(output, "Error 17000: SystemTimeToFileTime() failed: ")) << output;
    }
    EXPECT_EQ(local(FSystemTimeToTime(systemTime(2008, 1, 2, 3, 4, 5))), "2008-01-02 03:04:05");
    EXPECT_EQ(FSystemTimeToTime(systemTime(1950, 1, 2)), -1);
    EXPECT_EQ(FSystemTimeToTime(systemTime(2100, 1, 2)), -1);
    EXPECT_TRUE(FValidSystemTime(systemTime(100, 12, 31, 23, 59, 59)));
    EXPECT_FALSE(FValidSystemTime(systemTime(10001, 1, 1)));
}

TEST(TimeConversions, TruncateAndLeaveOutputsAloneOnFailure)
{
    FILETIME f = fileTime(123456789012345678ull);
    EXPECT_TRUE(FTruncFileTime(f));
    EXPECT_EQ(units(f), 123456789010000000ull);

    const FILETIME beyond = fileTime(0x8000000000000000ull);
    SYSTEMTIME t = systemTime(1234, 5, 6);
    std::string output = outputOf([&] { EXPECT_FALSE(FFileTimeToSystemTime(beyond, t)); });
    EXPECT_TRUE(startsWith(output, "Error 17000: FileTimeToSystemTime() failed: ")) << output;
    EXPECT_EQ(t.wYear, 1234);
    f = fileTime(0xDEADBEEF);
    output = outputOf([&] { EXPECT_FALSE(FSystemTimeToFileTime(systemTime(2008, 2, 30), f)); });
    EXPECT_TRUE(startsWith(output, "Error 17000: SystemTimeToFileTime() failed: ")) << output;
    EXPECT_EQ(units(f), 0xDEADBEEFull);
    f = beyond;
    outputOf([&] { EXPECT_FALSE(FTruncFileTime(f)); });
    EXPECT_EQ(units(f), units(beyond));
    outputOf([&] { EXPECT_STREQ(FFileTimeText(beyond).data(), "(time-error)"); });
}

TEST(TimeFormatting, ShowsEveryForm)
{
    const SYSTEMTIME t = systemTime(2008, 1, 2, 3, 4, 5, 6);
    EXPECT_STREQ(FSystemTimeText(t).data(), "2008/01/02 03:04:05 006");
    EXPECT_STREQ(FSystemTimeClock(t).data(), "03:04:05");
    EXPECT_STREQ(FTimeText(FSystemTimeToTime(t)).data(), "2008/01/02 03:04:05");
    EXPECT_STREQ(FTimeClock(FSystemTimeToTime(t)).data(), "03:04:05");
    EXPECT_STREQ(FTimeText(-1).data(), "(time-error)");
    EXPECT_STREQ(FTimeClock(-1).data(), "(time-error)");
    const std::unique_ptr<FILETIME> f = FDateTimeToFileTime(20080102, 30405, false);
    EXPECT_STREQ(FFileTimeText(*f).data(), "2008/01/02 03:04:05 000");
    EXPECT_STREQ(FFileTimeClock(*f).data(), "03:04:05");
}
