#include "lib/facilities/dates.h"

#include <cstring>

#include "lib/charset.h"
#include "lib/facilities/civil_days.h"
#include "lib/messages.h"
#include "lib/owner.h"
#include "lib/facilities/numbers.h"
#include "lib/facilities/wording.h"

namespace {

constexpr uint64_t kEpochIntervals = 116444736000000000ull; // 1601 to 1970 in file-time units
constexpr uint64_t kIntervalsPerSecond = 10000000;
constexpr WORD kInvalidField = 0xFFFF; // rejected by every system-time check

// "Date-time string '%s' is not correct. The format should be [[yy]mmdd][.hhmm[ss]]."
// Japanese: "The date-time string '%s' is not in the right form. Give it in the form
// [[yy]mmdd][.hhmm[ss]]".
constexpr const char* kCompactFormJ =
    "\x93\xFA\x8E\x9E\x95\xB6\x8E\x9A\x97\xF1 '%s' \x82\xCC\x8C`\x8E\xAE\x82\xAA\x90\xB3\x82\xB5\x82\xAD\x82\xA0"
    "\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x81" "B[[yy]mmdd][.hhmm[ss]] \x8C`\x8E\xAE\x82\xC5\x8Ew\x92\xE8\x82\xB5\x82"
    "\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2";
// The slash form's error, the same in every language: "The date-time string (%s) is
// not in the right form.\nGive it in the form <<yyyy/mm/dd.hh:mm:ss>>."
constexpr const char* kSlashFormError =
    "\x93\xFA\x8E\x9E\x95\xB6\x8E\x9A\x97\xF1\x81i%s\x81j\x82\xCC\x8C`\x8E\xAE\x82\xAA\x90\xB3\x82\xB5\x82\xAD"
    "\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x81" "B\n\x81uyyyy/mm/dd.hh:mm:ss\x81v\x8C`\x8E\xAE\x82\xC5\x8Ew"
    "\x92\xE8\x82\xB5\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2\x81" "B";

uint64_t unitsOf(const FILETIME& fileTime)
{
    return uint64_t(fileTime.dwHighDateTime) << 32 | fileTime.dwLowDateTime;
}

WORD wordOrInvalid(int64_t value) { return value < 0 || value > 0xFFFF ? kInvalidField : WORD(value); }

int32_t dateNumber(const SYSTEMTIME& t) { return t.wYear * 10000 + t.wMonth * 100 + t.wDay; }
int32_t timeNumber(const SYSTEMTIME& t) { return t.wHour * 10000 + t.wMinute * 100 + t.wSecond; }

// Calendar seconds of broken-down local standard time, -1 outside 32 bits.
int32_t secondsOfFields(tm fields)
{
    fields.tm_isdst = 0;
    const time_t seconds = mktime(&fields);
    return seconds < 0 || seconds > INT32_MAX ? -1 : int32_t(seconds);
}

// Characters, a double-byte character counting once.
int32_t characterCount(const char* text)
{
    int32_t count = 0;
    for (int32_t i = 0; text[i]; ++count)
        i += isLeadByte(uint8_t(text[i])) && text[i + 1] ? 2 : 1;
    return count;
}

LString dateTimeText(const SYSTEMTIME& t, bool milliseconds)
{
    LString text;
    text.appendFormat("%04d/%02d/%02d %02d:%02d:%02d", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
    if (milliseconds)
        text.appendFormat(" %03d", t.wMilliseconds);
    return text;
}

LString clockText(int hour, int minute, int second)
{
    LString text;
    text.appendFormat("%02d:%02d:%02d", hour, minute, second);
    return text;
}

LString timeError() { return LString("(time-error)"); }

bool localFields(int32_t seconds, tm& fields)
{
    const time_t value = seconds;
    return localtime_s(&fields, &value) == 0;
}

} // namespace

// ------------------------------------------------------------ file dates

int32_t FFileDateTime(const char* fileName, int32_t* time, LString* text)
{
    if (time)
        *time = 0;
    if (!fileName)
        return 0;
    FILETIME written, local;
    {
        const LFileHandle file(CreateFileA(fileName, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.get() == INVALID_HANDLE_VALUE)
            return 0;
        if (!GetFileTime(file.get(), nullptr, nullptr, &written)) {
            message(kMsgWin32Error, "GetFileTime()");
            return 0;
        }
    }
    if (!FileTimeToLocalFileTime(&written, &local)) {
        message(kMsgWin32Error, "FileTimeToLocalFileTime()");
        return 0;
    }
    SYSTEMTIME fields;
    if (!FFileTimeToSystemTime(local, fields))
        return 0;
    if (time)
        *time = timeNumber(fields);
    if (text)
        text->appendFormat("%02d/%02d/%02d %02d:%02d:%02d", fields.wYear % 100, fields.wMonth, fields.wDay,
                           fields.wHour, fields.wMinute, fields.wSecond);
    return dateNumber(fields);
}

int32_t FFileDate(const char* fileName) { return FFileDateTime(fileName); }

int32_t FFileTime(const char* fileName)
{
    int32_t time = 0;
    FFileDateTime(fileName, &time);
    return time;
}

int32_t FFileDateAndTime(const char* fileName, int32_t& time) { return FFileDateTime(fileName, &time); }

uint64_t FFileDateTime64(const char* fileName)
{
    int32_t time = 0;
    const int32_t date = FFileDateTime(fileName, &time);
    return uint64_t(uint32_t(time)) << 32 | uint32_t(date);
}

LString FFileDateText(const char* fileName)
{
    LString text;
    FFileDateTime(fileName, nullptr, &text);
    return text;
}

// ------------------------------------------------------------ conversions

std::unique_ptr<FILETIME> FDateTimeToFileTime(int32_t date, int32_t time, bool endOfPeriod)
{
    SYSTEMTIME fields{};
    fields.wYear = wordOrInvalid(date / 10000);
    fields.wMonth = wordOrInvalid(date / 100 % 100);
    fields.wDay = wordOrInvalid(date % 100);
    if (time < 0) {
        fields.wHour = endOfPeriod ? 23 : 0;
        fields.wMinute = fields.wSecond = endOfPeriod ? 59 : 0;
    } else {
        fields.wHour = wordOrInvalid(time / 10000);
        fields.wMinute = WORD(time / 100 % 100);
        fields.wSecond = WORD(time % 100);
    }
    fields.wMilliseconds = endOfPeriod ? 99 : 0;
    // A failure is reported; the caller gets its (zeroed) allocation all the same.
    auto fileTime = std::make_unique<FILETIME>();
    if (FSystemTimeToFileTime(fields, *fileTime))
        FLocalToFileTime(*fileTime);
    return fileTime;
}

int32_t FFileTimeToTime(const FILETIME& fileTime)
{
    const uint64_t units = unitsOf(fileTime);
    if (units >= kEpochIntervals) {
        const uint64_t seconds = (units - kEpochIntervals) / kIntervalsPerSecond;
        return seconds > uint64_t(INT32_MAX) ? INT32_MAX : int32_t(seconds);
    }
    // Before 1970: rounded down like the times after it, to the earlier second.
    const uint64_t seconds = (kEpochIntervals - units + kIntervalsPerSecond - 1) / kIntervalsPerSecond;
    return seconds > uint64_t(INT32_MAX) + 1 ? INT32_MIN : int32_t(-int64_t(seconds));
}

void FTimeToSystemTime(int32_t seconds, SYSTEMTIME& systemTime)
{
    // Worked out here rather than by gmtime, which has no answer for negative values.
    int64_t days = seconds / 86400;
    int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    int64_t year;
    unsigned month, day;
    civilFromDays(days, year, month, day);
    systemTime = SYSTEMTIME{};
    systemTime.wYear = WORD(year);
    systemTime.wMonth = WORD(month);
    systemTime.wDay = WORD(day);
    systemTime.wHour = WORD(rest / 3600);
    systemTime.wMinute = WORD(rest / 60 % 60);
    systemTime.wSecond = WORD(rest % 60);
}

bool FTimeToFileTime(int32_t seconds, FILETIME& fileTime)
{
    SYSTEMTIME fields;
    FTimeToSystemTime(seconds, fields);
    return FSystemTimeToFileTime(fields, fileTime);
}

int32_t FSystemTimeToTime(const SYSTEMTIME& systemTime)
{
    tm fields{};
    fields.tm_year = systemTime.wYear - 1900;
    fields.tm_mon = systemTime.wMonth - 1;
    fields.tm_mday = systemTime.wDay;
    fields.tm_hour = systemTime.wHour;
    fields.tm_min = systemTime.wMinute;
    fields.tm_sec = systemTime.wSecond;
    return secondsOfFields(fields);
}

bool FFileTimeToSystemTime(const FILETIME& fileTime, SYSTEMTIME& systemTime)
{
    SYSTEMTIME result;
    if (!FileTimeToSystemTime(&fileTime, &result)) {
        message(kMsgWin32Error, "FileTimeToSystemTime() failed");
        return false;
    }
    systemTime = result;
    return true;
}

bool FSystemTimeToFileTime(const SYSTEMTIME& systemTime, FILETIME& fileTime)
{
    FILETIME result;
    if (!SystemTimeToFileTime(&systemTime, &result)) {
        message(kMsgWin32Error, "SystemTimeToFileTime() failed");
        return false;
    }
    fileTime = result;
    return true;
}

bool FFileTimeToLocal(FILETIME& fileTime)
{
    FILETIME result;
    if (!FileTimeToLocalFileTime(&fileTime, &result)) {
        message(kMsgWin32Error, "FileTimeToLocalFileTime() failed");
        return false;
    }
    fileTime = result;
    return true;
}

bool FLocalToFileTime(FILETIME& fileTime)
{
    FILETIME result;
    if (!LocalFileTimeToFileTime(&fileTime, &result)) {
        message(kMsgWin32Error, "LocalFileTimeToFileTime() failed");
        return false;
    }
    fileTime = result;
    return true;
}

bool FSystemTimeToLocal(SYSTEMTIME& systemTime)
{
    FILETIME fileTime;
    SYSTEMTIME result;
    if (!FSystemTimeToFileTime(systemTime, fileTime) || !FFileTimeToLocal(fileTime) ||
        !FFileTimeToSystemTime(fileTime, result))
        return false;
    systemTime = result;
    return true;
}

bool FTruncFileTime(FILETIME& fileTime)
{
    SYSTEMTIME fields;
    if (!FFileTimeToSystemTime(fileTime, fields))
        return false;
    fields.wMilliseconds = 0;
    return FSystemTimeToFileTime(fields, fileTime);
}

int32_t FNow() { return int32_t(time(nullptr)); }

void FLocalNow(SYSTEMTIME& systemTime) { GetLocalTime(&systemTime); }

bool FValidSystemTime(const SYSTEMTIME& t)
{
    return t.wYear >= 100 && t.wYear <= 10000 && t.wMonth >= 1 && t.wMonth <= 12 && t.wDay >= 1 &&
           t.wDay <= 31 && t.wHour <= 23 && t.wMinute <= 59 && t.wSecond <= 59;
}

// ------------------------------------------------------------ formatting

LString FFileTimeText(const FILETIME& fileTime)
{
    FILETIME local = fileTime;
    SYSTEMTIME fields;
    if (!FFileTimeToLocal(local) || !FFileTimeToSystemTime(local, fields))
        return timeError();
    return dateTimeText(fields, true);
}

LString FSystemTimeText(const SYSTEMTIME& systemTime) { return dateTimeText(systemTime, true); }

LString FTimeText(int32_t seconds)
{
    tm fields;
    if (!localFields(seconds, fields))
        return timeError();
    SYSTEMTIME shown{};
    shown.wYear = WORD(fields.tm_year + 1900);
    shown.wMonth = WORD(fields.tm_mon + 1);
    shown.wDay = WORD(fields.tm_mday);
    shown.wHour = WORD(fields.tm_hour);
    shown.wMinute = WORD(fields.tm_min);
    shown.wSecond = WORD(fields.tm_sec);
    return dateTimeText(shown, false);
}

LString FFileTimeClock(const FILETIME& fileTime)
{
    FILETIME local = fileTime;
    SYSTEMTIME fields;
    if (!FFileTimeToLocal(local) || !FFileTimeToSystemTime(local, fields))
        return timeError();
    return FSystemTimeClock(fields);
}

LString FSystemTimeClock(const SYSTEMTIME& t) { return clockText(t.wHour, t.wMinute, t.wSecond); }

LString FTimeClock(int32_t seconds)
{
    tm fields;
    if (!localFields(seconds, fields))
        return timeError();
    return clockText(fields.tm_hour, fields.tm_min, fields.tm_sec);
}

// ------------------------------------------------------------ parsing

bool FParseDateTimeFields(const char* text, bool endOfPeriod, tm& fields)
{
    if (!text)
        text = "";
    LFieldList parts;
    splitText(text, parts, '.', kSplitEach);
    if (parts.count() >= 3) {
        message(kMsgGeneralError, "too many separator '.' in '%s'", text);
        return false;
    }
    tm today{};
    localFields(FNow(), today);
    fields = tm{};

    const char* date = parts.count() >= 1 ? parts.field(0) : "";
    if (!*date) {
        fields.tm_year = today.tm_year;
        fields.tm_mon = today.tm_mon;
        fields.tm_mday = today.tm_mday;
    } else {
        const int32_t n = textToPlainNum(date);
        fields.tm_year = n / 10000 < 50 ? n / 10000 + 100 : n / 10000;
        fields.tm_mon = n % 10000 / 100 - 1;
        fields.tm_mday = n % 100;
        const int32_t length = characterCount(date);
        if (length == 4)
            fields.tm_year = today.tm_year;
        else if (length != 6)
            message(kMsgGeneralError,
                    localized("Date-time string '%s' is not correct. The format should be [[yy]mmdd][.hhmm[ss]].",
                              kCompactFormJ),
                    date);
    }

    const char* time = parts.count() >= 2 ? parts.field(1) : "";
    int32_t t = endOfPeriod ? 235959 : 0;
    if (*time) {
        t = textToPlainNum(time);
        const int32_t length = characterCount(time);
        if (length == 4)
            t = t * 100 + (endOfPeriod ? 59 : 0);
        else if (length != 6)
            message(kMsgGeneralError, "time string must be 'hhmmss' or 'hhmm' format");
    }
    fields.tm_hour = t / 10000;
    fields.tm_min = t % 10000 / 100;
    fields.tm_sec = t % 100;
    return true;
}

int32_t FParseDateTime(const char* text, bool endOfPeriod)
{
    tm fields;
    if (!FParseDateTimeFields(text, endOfPeriod, fields))
        return -1;
    return secondsOfFields(fields);
}

bool FTextToSystemTime(const char* text, bool endOfPeriod, SYSTEMTIME& systemTime)
{
    FLocalNow(systemTime);
    if (!text)
        text = "";
    const auto malformed = [text] {
        message(kMsgGeneralError, kSlashFormError, text);
        return false;
    };

    LFieldList parts;
    splitText(text, parts, '.', kSplitEach);
    if (parts.count() >= 3)
        return malformed();
    const char* dateText = "";
    const char* timeText = "";
    if (parts.count() == 2) {
        dateText = parts.field(0);
        timeText = parts.field(1);
    } else if (strchr(text, '/')) {
        dateText = text;
    } else if (strchr(text, ':')) {
        timeText = text;
    } else {
        return malformed();
    }

    if (*dateText) {
        LFieldList date;
        splitText(dateText, date, '/', kSplitEach);
        if (date.count() != 2 && date.count() != 3)
            return malformed();
        int32_t next = 0;
        if (date.count() == 3) {
            int32_t year = textToPlainNum(date.field(next++));
            if (year >= 0 && year < 100)
                year += year < 50 ? 2000 : 1900;
            systemTime.wYear = wordOrInvalid(year);
        }
        systemTime.wMonth = wordOrInvalid(textToPlainNum(date.field(next++)));
        systemTime.wDay = wordOrInvalid(textToPlainNum(date.field(next)));
    }

    // The time of day changes only once its text is known to be well formed.
    const WORD lastSecond = endOfPeriod ? 59 : 0;
    if (*timeText) {
        LFieldList clock;
        splitText(timeText, clock, ':', kSplitEach);
        if (clock.count() != 2 && clock.count() != 3)
            return malformed();
        systemTime.wHour = wordOrInvalid(textToPlainNum(clock.field(0)));
        systemTime.wMinute = wordOrInvalid(textToPlainNum(clock.field(1)));
        systemTime.wSecond = clock.count() == 3 ? wordOrInvalid(textToPlainNum(clock.field(2))) : lastSecond;
    } else {
        systemTime.wHour = endOfPeriod ? 23 : 0;
        systemTime.wMinute = systemTime.wSecond = lastSecond;
    }
    systemTime.wMilliseconds = endOfPeriod ? 99 : 0;
    if (!FValidSystemTime(systemTime))
        return malformed();
    return true;
}

int32_t FTextToTime(const char* text, bool endOfPeriod)
{
    SYSTEMTIME fields;
    FTextToSystemTime(text, endOfPeriod, fields);
    return FSystemTimeToTime(fields);
}

int FDateToDay(int32_t date)
{
    const int32_t year = date / 10000;
    const int32_t month = date / 100 % 100;
    const int32_t day = date % 100;
    if (year < 1980)
        message(kMsgGeneralError, "too small year in FDateToDay(): %d", year);
    FILETIME fileTime;
    if (year >= 1980 && year <= 2107) {
        // An MS-DOS date at 12:00:00. A month or day too wide for its bits becomes 0,
        // which the system refuses, instead of spilling into the next field.
        const int32_t dosMonth = month >= 1 && month <= 15 ? month : 0;
        const int32_t dosDay = day >= 1 && day <= 31 ? day : 0;
        const WORD dosDate = WORD((year - 1980) * 512 + dosMonth * 32 + dosDay);
        if (!DosDateTimeToFileTime(dosDate, 0x6000, &fileTime)) {
            message(kMsgGeneralError, "DosDateTimeToFileTime() failed");
            return -1;
        }
    } else {
        // The MS-DOS date holds 1980 to 2107 only; a system time holds 1601 to 30827.
        SYSTEMTIME noon{};
        noon.wYear = wordOrInvalid(year);
        noon.wMonth = wordOrInvalid(month);
        noon.wDay = wordOrInvalid(day);
        noon.wHour = 12;
        if (!SystemTimeToFileTime(&noon, &fileTime)) {
            message(kMsgGeneralError, "SystemTimeToFileTime() failed");
            return -1;
        }
    }
    SYSTEMTIME fields;
    if (!FileTimeToSystemTime(&fileTime, &fields)) {
        message(kMsgGeneralError, "FileTimeToSystemTime() failed");
        return -1;
    }
    return fields.wDayOfWeek;
}
