// Stand-in for the system header in the native (Linux, sanitizer) build of the
// library's system-independent parts. It declares only what those parts and
// their tests use; standin.cpp implements it on the C library. Code pages: 1252
// (the ANSI code page here) and UTF-8; 932 for its lead bytes only.
#pragma once
#include <pthread.h>

#include <cstdint>
#include <ctime>

#define WINAPI

typedef int BOOL;
typedef unsigned char BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef unsigned int UINT;
typedef char CHAR;
typedef wchar_t WCHAR;
typedef const char* LPCSTR;
typedef char* LPSTR;
typedef const wchar_t* LPCWSTR;
typedef wchar_t* LPWSTR;
typedef BOOL* LPBOOL;
typedef void* HANDLE;
typedef void* HLOCAL;
typedef void* LPVOID;

#define TRUE 1
#define FALSE 0
#define MAX_PATH 260

// ------------------------------------------------------------ errors
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_INVALID_FLAGS 1004L
DWORD GetLastError();
void SetLastError(DWORD code);

#define FORMAT_MESSAGE_ALLOCATE_BUFFER 0x00000100
#define FORMAT_MESSAGE_FROM_SYSTEM 0x00001000
#define LANG_NEUTRAL 0x00
#define SUBLANG_DEFAULT 0x01
#define MAKELANGID(primary, sub) ((DWORD(WORD(sub)) << 10) | DWORD(WORD(primary)))
// There are no system texts here: always 0, so callers show their fallback text.
DWORD FormatMessageA(DWORD flags, const void* source, DWORD id, DWORD language, LPSTR buffer, DWORD size,
                     void* arguments);
HLOCAL LocalFree(HLOCAL memory);

// ------------------------------------------------------------ locks
// A slim lock as a process-private mutex: statically initialisable as the real one.
typedef struct {
    pthread_mutex_t mutex;
} SRWLOCK;
#define SRWLOCK_INIT {PTHREAD_MUTEX_INITIALIZER}
inline void AcquireSRWLockExclusive(SRWLOCK* lock) { pthread_mutex_lock(&lock->mutex); }
inline void ReleaseSRWLockExclusive(SRWLOCK* lock) { pthread_mutex_unlock(&lock->mutex); }

// ------------------------------------------------------------ code pages
#define CP_ACP 0
#define CP_UTF8 65001
#define MAX_LEADBYTES 12
#define MAX_DEFAULTCHAR 2
#define WC_NO_BEST_FIT_CHARS 0x00000400
#define IS_HIGH_SURROGATE(unit) ((unit) >= 0xD800 && (unit) <= 0xDBFF)
#define IS_LOW_SURROGATE(unit) ((unit) >= 0xDC00 && (unit) <= 0xDFFF)
typedef struct {
    UINT MaxCharSize;
    BYTE DefaultChar[MAX_DEFAULTCHAR];
    BYTE LeadByte[MAX_LEADBYTES];
} CPINFO;
UINT GetACP();
BOOL IsValidCodePage(UINT codePage);
BOOL GetCPInfo(UINT codePage, CPINFO* info);
// Wide texts are UTF-16 units here too, held in the platform's wider wchar_t.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR bytes, int count, LPWSTR units, int capacity);
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR units, int count, LPSTR bytes, int capacity,
                        LPCSTR defaultChar, LPBOOL usedDefault);

// ------------------------------------------------------------ time
typedef struct {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
} FILETIME;
typedef struct {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
} SYSTEMTIME;
BOOL FileTimeToSystemTime(const FILETIME* fileTime, SYSTEMTIME* systemTime);
BOOL SystemTimeToFileTime(const SYSTEMTIME* systemTime, FILETIME* fileTime);
// Local time is the C library's time zone, with its current offset as the system uses.
BOOL FileTimeToLocalFileTime(const FILETIME* fileTime, FILETIME* localFileTime);
BOOL LocalFileTimeToFileTime(const FILETIME* localFileTime, FILETIME* fileTime);
BOOL DosDateTimeToFileTime(WORD dosDate, WORD dosTime, FILETIME* fileTime);
void GetLocalTime(SYSTEMTIME* systemTime);

// The Windows C runtime's forms (declared by its time.h there), which refuse
// times before 1970 with EINVAL.
inline int localtime_s(tm* fields, const time_t* value) { return *value >= 0 && localtime_r(value, fields) ? 0 : 22; }
inline int gmtime_s(tm* fields, const time_t* value) { return *value >= 0 && gmtime_r(value, fields) ? 0 : 22; }

// ------------------------------------------------------------ files
// Files are not part of the native build: nothing opens.
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(intptr_t(-1)))
#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 0x00000001
#define FILE_SHARE_WRITE 0x00000002
#define OPEN_EXISTING 3
#define CREATE_NEW 1
#define FILE_ATTRIBUTE_NORMAL 0x00000080
HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, void* security, DWORD disposition, DWORD attributes,
                   HANDLE templateFile);
BOOL GetFileTime(HANDLE file, FILETIME* created, FILETIME* accessed, FILETIME* written);
BOOL CloseHandle(HANDLE handle);
