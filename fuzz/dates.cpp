// The date-time text parsers: results are calendar seconds or -1, a system time
// accepted is valid, and well-formed texts give exactly the date and time they
// spell.
#include <cstring>
#include <ctime>

#include "lib/facilities/dates.h"
#include "fuzz/harness.h"

namespace {

int32_t standardLocalSeconds(int year, int month, int day, int hour, int minute, int second)
{
    tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    fields.tm_isdst = 0;
    const time_t seconds = mktime(&fields);
    return seconds < 0 || seconds > INT32_MAX ? -1 : int32_t(seconds);
}

bool allDigits(const std::string& text, size_t from, size_t count)
{
    if (from + count > text.size())
        return false;
    for (size_t i = from; i < from + count; ++i)
        if (text[i] < '0' || text[i] > '9')
            return false;
    return true;
}

int number(const std::string& text, size_t from, size_t count) { return std::stoi(text.substr(from, count)); }

void checkCompactForm(const std::string& text, bool endOfPeriod)
{
    const int32_t seconds = FParseDateTime(text.c_str(), endOfPeriod);
    FUZZ_CHECK(seconds >= -1);
    // yymmdd.hhmmss spelled out in full
    if (text.size() == 13 && allDigits(text, 0, 6) && text[6] == '.' && allDigits(text, 7, 6)) {
        const int yy = number(text, 0, 2);
        FUZZ_CHECK(seconds == standardLocalSeconds(yy < 50 ? 2000 + yy : 1900 + yy, number(text, 2, 2),
                                                   number(text, 4, 2), number(text, 7, 2), number(text, 9, 2),
                                                   number(text, 11, 2)));
    }
}

void checkSlashForm(const std::string& text, bool endOfPeriod)
{
    SYSTEMTIME fields{};
    const bool accepted = FTextToSystemTime(text.c_str(), endOfPeriod, fields);
    if (accepted) {
        FUZZ_CHECK(FValidSystemTime(fields));
        FUZZ_CHECK(fields.wMilliseconds == (endOfPeriod ? 99 : 0));
    }
    FUZZ_CHECK(FTextToTime(text.c_str(), endOfPeriod) >= -1);
    // yyyy/mm/dd.hh:mm:ss spelled out in full, from year 100 on (below, two digits are a year of 19xx or 20xx)
    const bool spelled = text.size() == 19 && allDigits(text, 0, 4) && text[4] == '/' && allDigits(text, 5, 2) &&
                         text[7] == '/' && allDigits(text, 8, 2) && text[10] == '.' && allDigits(text, 11, 2) &&
                         text[13] == ':' && allDigits(text, 14, 2) && text[16] == ':' && allDigits(text, 17, 2);
    if (!spelled || number(text, 0, 4) < 100)
        return;
    const int year = number(text, 0, 4), month = number(text, 5, 2), day = number(text, 8, 2);
    const int hour = number(text, 11, 2), minute = number(text, 14, 2), second = number(text, 17, 2);
    const bool valid = month >= 1 && month <= 12 && day >= 1 && day <= 31 && hour <= 23 && minute <= 59 && second <= 59;
    FUZZ_CHECK(accepted == valid);
    if (valid)
        FUZZ_CHECK(fields.wYear == year && fields.wMonth == month && fields.wDay == day && fields.wHour == hour &&
                   fields.wMinute == minute && fields.wSecond == second);
}

} // namespace

FUZZ_SILENT_INIT

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const bool endOfPeriod = data[0] & 1;
    const std::string text = textOf(data + 1, size - 1);
    checkCompactForm(text, endOfPeriod);
    checkSlashForm(text, endOfPeriod);
    return 0;
}
