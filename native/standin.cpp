// The native stand-in system layer behind include/windows.h: errors, code pages
// (through code_pages.cpp), time conversions on the C library, and files that
// never open.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "lib/facilities/civil_days.h"
#include "native/code_pages.h"

namespace {

thread_local DWORD lastError = 0;

constexpr uint64_t kUnitsPerSecond = 10000000;
constexpr int64_t kSecondsPerDay = 86400;
constexpr int64_t kDaysFrom1601To1970 = 134774;
constexpr WORD kLastYear = 30827;

uint64_t unitsOf(const FILETIME& f) { return uint64_t(f.dwHighDateTime) << 32 | f.dwLowDateTime; }
FILETIME fileTimeOf(uint64_t units) { return {DWORD(units), DWORD(units >> 32)}; }

bool isLeapYear(int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysInMonth(int64_t year, int month)
{
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : days[month - 1];
}

// The C library's current offset of local time from UTC, in file-time units.
int64_t localOffsetUnits()
{
    const time_t now = time(nullptr);
    tm fields{};
    localtime_r(&now, &fields);
    return int64_t(fields.tm_gmtoff) * int64_t(kUnitsPerSecond);
}

BOOL shiftFileTime(const FILETIME* from, FILETIME* to, int64_t offset)
{
    const int64_t units = int64_t(unitsOf(*from));
    if (units < 0 || (offset < 0 && units < -offset)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *to = fileTimeOf(uint64_t(units + offset));
    return TRUE;
}

} // namespace

DWORD GetLastError() { return lastError; }
void SetLastError(DWORD code) { lastError = code; }

DWORD FormatMessageA(DWORD, const void*, DWORD, DWORD, LPSTR, DWORD, void*)
{
    SetLastError(ERROR_FILE_NOT_FOUND);
    return 0;
}

HLOCAL LocalFree(HLOCAL memory)
{
    free(memory);
    return nullptr;
}

// ------------------------------------------------------------ code pages

// 1252, or 932 (byte classes only) when VEXA_STANDIN_ACP says so, so that the
// double-byte rules of the library can be exercised too.
UINT GetACP()
{
    static const UINT codePage = [] {
        const char* chosen = getenv("VEXA_STANDIN_ACP");
        return chosen && strcmp(chosen, "932") == 0 ? standin::kCodePage932 : standin::kCodePage1252;
    }();
    return codePage;
}

BOOL IsValidCodePage(UINT codePage) { return standin::supportsCodePage(codePage); }

BOOL GetCPInfo(UINT codePage, CPINFO* info)
{
    if (codePage == CP_ACP)
        codePage = GetACP();
    const unsigned char* leadBytes = standin::leadByteRanges(codePage);
    if ((!standin::supportsCodePage(codePage) && !leadBytes) || !info) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *info = CPINFO{};
    info->MaxCharSize = codePage == standin::kCodePageUtf8 ? 4 : leadBytes ? 2 : 1;
    info->DefaultChar[0] = '?';
    for (int i = 0; leadBytes && (leadBytes[i] || leadBytes[i + 1]); ++i)
        info->LeadByte[i] = leadBytes[i];
    return TRUE;
}

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR bytes, int count, LPWSTR units, int capacity)
{
    if (codePage == CP_ACP)
        codePage = GetACP();
    if (flags != 0) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    // Sized by a first pass: callers hand over roomy buffers, and zeroing those
    // for every piece made the stand-in the bulk of a fuzzer's time.
    const int n = standin::bytesToUnits(codePage, bytes, count, nullptr, 0);
    if (n == 0 || (capacity > 0 && n > capacity)) {
        SetLastError(n == 0 ? ERROR_INVALID_PARAMETER : ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (capacity == 0)
        return n;
    std::vector<uint16_t> converted(static_cast<size_t>(n));
    standin::bytesToUnits(codePage, bytes, count, converted.data(), n);
    for (int i = 0; i < n; ++i)
        units[i] = wchar_t(converted[size_t(i)]);
    return n;
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR units, int count, LPSTR bytes, int capacity,
                        LPCSTR defaultChar, LPBOOL usedDefault)
{
    if (codePage == CP_ACP)
        codePage = GetACP();
    const bool utf8 = codePage == standin::kCodePageUtf8;
    // As the system: UTF-8 takes no flags and no default character; another
    // default character than '?' is not offered here.
    if ((utf8 && (flags != 0 || usedDefault)) || (flags & ~DWORD(WC_NO_BEST_FIT_CHARS)) || defaultChar || !units) {
        SetLastError(utf8 && flags != 0 ? ERROR_INVALID_FLAGS : ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (count < 0) {
        count = 0;
        while (units[count])
            ++count;
        ++count;
    }
    std::vector<uint16_t> narrowed(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        narrowed[size_t(i)] = uint16_t(units[i]);
    bool defaulted = false;
    const int n = standin::unitsToBytes(codePage, narrowed.data(), count, bytes, capacity, &defaulted);
    if (n == 0) {
        SetLastError(standin::supportsCodePage(codePage) && count > 0 ? ERROR_INSUFFICIENT_BUFFER
                                                                       : ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (usedDefault)
        *usedDefault = defaulted;
    return n;
}

// ------------------------------------------------------------ time

BOOL FileTimeToSystemTime(const FILETIME* fileTime, SYSTEMTIME* systemTime)
{
    const uint64_t units = unitsOf(*fileTime);
    if (units >= 0x8000000000000000ull) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const uint64_t seconds = units / kUnitsPerSecond;
    const int64_t days = int64_t(seconds / kSecondsPerDay);
    const int64_t rest = int64_t(seconds % kSecondsPerDay);
    int64_t year;
    unsigned month, day;
    civilFromDays(days - kDaysFrom1601To1970, year, month, day);
    systemTime->wYear = WORD(year);
    systemTime->wMonth = WORD(month);
    systemTime->wDay = WORD(day);
    systemTime->wDayOfWeek = WORD((days + 1) % 7); // 1601-01-01 was a Monday
    systemTime->wHour = WORD(rest / 3600);
    systemTime->wMinute = WORD(rest / 60 % 60);
    systemTime->wSecond = WORD(rest % 60);
    systemTime->wMilliseconds = WORD(units % kUnitsPerSecond / 10000);
    return TRUE;
}

BOOL SystemTimeToFileTime(const SYSTEMTIME* t, FILETIME* fileTime)
{
    if (t->wYear < 1601 || t->wYear > kLastYear || t->wMonth < 1 || t->wMonth > 12 || t->wDay < 1 ||
        t->wDay > daysInMonth(t->wYear, t->wMonth) || t->wHour > 23 || t->wMinute > 59 || t->wSecond > 59 ||
        t->wMilliseconds > 999) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const int64_t days = daysFromCivil(t->wYear, t->wMonth, t->wDay) + kDaysFrom1601To1970;
    const int64_t seconds = days * kSecondsPerDay + t->wHour * 3600 + t->wMinute * 60 + t->wSecond;
    *fileTime = fileTimeOf(uint64_t(seconds) * kUnitsPerSecond + uint64_t(t->wMilliseconds) * 10000);
    return TRUE;
}

BOOL FileTimeToLocalFileTime(const FILETIME* fileTime, FILETIME* localFileTime)
{
    return shiftFileTime(fileTime, localFileTime, localOffsetUnits());
}

BOOL LocalFileTimeToFileTime(const FILETIME* localFileTime, FILETIME* fileTime)
{
    return shiftFileTime(localFileTime, fileTime, -localOffsetUnits());
}

BOOL DosDateTimeToFileTime(WORD dosDate, WORD dosTime, FILETIME* fileTime)
{
    SYSTEMTIME fields{};
    fields.wYear = WORD(1980 + (dosDate >> 9));
    fields.wMonth = WORD(dosDate >> 5 & 15);
    fields.wDay = WORD(dosDate & 31);
    fields.wHour = WORD(dosTime >> 11);
    fields.wMinute = WORD(dosTime >> 5 & 63);
    fields.wSecond = WORD((dosTime & 31) * 2);
    return SystemTimeToFileTime(&fields, fileTime);
}

void GetLocalTime(SYSTEMTIME* systemTime)
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm fields{};
    localtime_r(&now.tv_sec, &fields);
    systemTime->wYear = WORD(fields.tm_year + 1900);
    systemTime->wMonth = WORD(fields.tm_mon + 1);
    systemTime->wDayOfWeek = WORD(fields.tm_wday);
    systemTime->wDay = WORD(fields.tm_mday);
    systemTime->wHour = WORD(fields.tm_hour);
    systemTime->wMinute = WORD(fields.tm_min);
    systemTime->wSecond = WORD(fields.tm_sec);
    systemTime->wMilliseconds = WORD(now.tv_nsec / 1000000);
}

// ------------------------------------------------------------ files

HANDLE CreateFileA(LPCSTR, DWORD, DWORD, void*, DWORD, DWORD, HANDLE)
{
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
}

BOOL GetFileTime(HANDLE, FILETIME*, FILETIME*, FILETIME*)
{
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}

BOOL CloseHandle(HANDLE) { return TRUE; }
