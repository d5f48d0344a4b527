// Date and time: file modification times, conversions between the platform's time
// representations, formatting, the two date-time text forms that users type, and
// weekdays.
//
// Representations: calendar seconds (signed 32-bit seconds since 1970-01-01 UTC),
// FILETIME (100 ns since 1601, UTC unless said otherwise), SYSTEMTIME, date numbers
// (yyyymmdd) and time numbers (hhmmss). The end-of-period flag fills the parts a
// caller left out with their last value (23:59:59, 99 ms) instead of 0.
#pragma once
#include <windows.h>

#include <cstdint>
#include <ctime>
#include <memory>

#include "lib/strings.h"

// ------------------------------------------------------------ file dates
// A file that cannot be opened gives 0 (and a time number of 0) without a message;
// so does one whose time cannot be read or converted, after the error is reported.

// Date number of the file's last write in local time; time receives hhmmss; text
// gets "yy/mm/dd hh:mm:ss" appended.
int32_t FFileDateTime(const char* fileName, int32_t* time = nullptr, LString* text = nullptr);
int32_t FFileDate(const char* fileName);
int32_t FFileTime(const char* fileName);
int32_t FFileDateAndTime(const char* fileName, int32_t& time);
// High 32 bits the time number, low 32 bits the date number.
uint64_t FFileDateTime64(const char* fileName);
LString FFileDateText(const char* fileName);

// ------------------------------------------------------------ conversions
// The platform conversions report their failure (error 17000 naming the call),
// return false and leave their output as it was.

// The local date and time given (time < 0: the start or, with the flag, the end of
// the day) as a file time in UTC; milliseconds 99 with the flag. A date or time
// that does not exist is reported and gives the allocation all the same.
std::unique_ptr<FILETIME> FDateTimeToFileTime(int32_t date, int32_t time, bool endOfPeriod);

// Seconds since 1970, rounded down; saturates at the limits of 32 bits.
int32_t FFileTimeToTime(const FILETIME& fileTime);
// UTC broken down, day of week and milliseconds 0. Negative seconds, which the
// runtime library cannot break down, give their true date (back to 1901-12-13).
void FTimeToSystemTime(int32_t seconds, SYSTEMTIME& systemTime);
bool FTimeToFileTime(int32_t seconds, FILETIME& fileTime);
// The fields taken as standard local time (the runtime library's mktime with the
// daylight-saving flag 0). -1 when the result does not fit calendar seconds (before
// 1970 or from 2038-01-19 on) or the runtime library cannot convert it.
int32_t FSystemTimeToTime(const SYSTEMTIME& systemTime);
bool FFileTimeToSystemTime(const FILETIME& fileTime, SYSTEMTIME& systemTime);
bool FSystemTimeToFileTime(const SYSTEMTIME& systemTime, FILETIME& fileTime);
bool FFileTimeToLocal(FILETIME& fileTime);
bool FLocalToFileTime(FILETIME& fileTime);
bool FSystemTimeToLocal(SYSTEMTIME& systemTime);
// Drops milliseconds and smaller parts.
bool FTruncFileTime(FILETIME& fileTime);
int32_t FNow();
void FLocalNow(SYSTEMTIME& systemTime);
// 100 <= year <= 10000, a month, a day from 1 to 31, hour, minute and second in range.
bool FValidSystemTime(const SYSTEMTIME& systemTime);

// ------------------------------------------------------------ formatting
// "yyyy/mm/dd hh:mm:ss mmm" and "hh:mm:ss". File times are shown in local time,
// calendar seconds through localtime; "(time-error)" for a value that cannot be
// shown (negative seconds, a file time beyond the system's range).
LString FFileTimeText(const FILETIME& fileTime);
LString FSystemTimeText(const SYSTEMTIME& systemTime);
LString FTimeText(int32_t seconds);
LString FFileTimeClock(const FILETIME& fileTime);
LString FSystemTimeClock(const SYSTEMTIME& systemTime);
LString FTimeClock(int32_t seconds);

// ------------------------------------------------------------ parsing

// The compact form [[yy]mmdd][.hhmm[ss]]: yy below 50 is 20yy, else 19yy; mmdd
// alone is in the current year; no date is today; no time is the start of the day
// (or its end with the flag); hhmm is the start (or end) of that minute. Badly
// formed parts are reported and their digits used as they stand.
// The broken-down form, for callers that need years beyond calendar seconds; false
// (reported) when the text has more than two parts.
bool FParseDateTimeFields(const char* text, bool endOfPeriod, tm& fields);
// Calendar seconds of the fields (mktime, standard local time), or -1 for too many
// parts and for a date outside calendar seconds.
int32_t FParseDateTime(const char* text, bool endOfPeriod);

// The slash form yyyy/mm/dd.hh:mm:ss: "y/m/d", "m/d", "h:m", "h:m:s", or a date and
// a time joined by "."; a two-digit year below 50 is 20yy, else 19yy; parts left out
// keep the current local date, and the time is the start (or end) of its period.
// A malformed text or an invalid date is reported (error 15000); the fields set up
// to the problem stand, the rest keep the current local time.
// The system-time form: false after a reported problem.
bool FTextToSystemTime(const char* text, bool endOfPeriod, SYSTEMTIME& systemTime);
// Calendar seconds of FTextToSystemTime's result, problem or not (see FSystemTimeToTime).
int32_t FTextToTime(const char* text, bool endOfPeriod);

// Day of the week of a date number, 0 Sunday to 6 Saturday; -1 after a reported
// failure (a date that does not exist). Years before 1980 are reported but still
// answered.
int FDateToDay(int32_t date);
