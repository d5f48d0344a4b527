// Conversions between Gregorian dates and day counts from 1970-01-01, shared by
// the date facilities and the native build's stand-in for the system's calendar.
#pragma once
#include <cstdint>

// Days from 1970-01-01 of a Gregorian date (any date from year 1 on).
inline int64_t daysFromCivil(int64_t year, unsigned month, unsigned day)
{
    year -= month <= 2;
    const int64_t era = year / 400;
    const unsigned yearOfEra = unsigned(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + int64_t(dayOfEra) - 719468;
}

// Gregorian date of a day count from 1970-01-01, valid for any 32-bit day count.
inline void civilFromDays(int64_t days, int64_t& year, unsigned& month, unsigned& day)
{
    days += 719468; // from 0000-03-01
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned dayOfEra = unsigned(days - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned shiftedMonth = (5 * dayOfYear + 2) / 153;
    day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
    month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
    year = int64_t(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0);
}
