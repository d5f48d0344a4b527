#include "lib/facilities/system_queries.h"

#include <windows.h>

#include <atomic>
#include <conio.h>
#include <cstdio>

#include "lib/messages.h"

namespace {

// "Is that all right? (Y/N) : " in code page 932.
constexpr const char* kConfirmPrompt =
    "\x82\xE6\x82\xEB\x82\xB5\x82\xA2\x82\xC5\x82\xB7\x82\xA9? (Y/N) : ";

// Names are short; the buffer only has to be larger than any the system gives.
constexpr DWORD kNameBuffer = 10000;

std::atomic<LKeyReader> keyReader{nullptr};

template <typename Query>
LString systemName(Query query, const char* failure)
{
    char buffer[kNameBuffer];
    DWORD size = sizeof buffer;
    LString name;
    if (query(buffer, &size))
        name.append(buffer);
    else
        message(kMsgWin32Error, "%s", failure);
    return name;
}

} // namespace

LString FUserName() { return systemName(GetUserNameA, "GetUserName() failed"); }

LString FComputerName() { return systemName(GetComputerNameA, "GetComputerName() failed"); }

uint32_t FMegabytes(uint64_t bytes)
{
    const uint64_t megabytes = bytes >> 20;
    return megabytes > UINT32_MAX ? UINT32_MAX : uint32_t(megabytes);
}

uint32_t FFreeMemoryMB()
{
    // The extended status: the plain one stops at 4 GiB (2 GiB for many programs).
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status)) {
        message(kMsgWin32Error, "GlobalMemoryStatusEx()");
        return 0;
    }
    return FMegabytes(status.ullAvailPhys);
}

LKeyReader setConfirmKeyReader(LKeyReader reader) { return keyReader.exchange(reader); }

bool FConfirm()
{
    fputs(kConfirmPrompt, stderr);
    fflush(stderr);
    const LKeyReader reader = keyReader.load();
    const int key = reader ? reader() : _getch();
    fputs("\n", stderr);
    fflush(stderr);
    return key != EOF && (key | 0x20) == 'y';
}

int comparePairs(const void* a, const void* b)
{
    const auto* first = static_cast<const uint32_t*>(a);
    const auto* second = static_cast<const uint32_t*>(b);
    // Compared, not subtracted: a difference beyond 31 bits would flip its sign.
    for (int i = 0; i < 2; ++i)
        if (first[i] != second[i])
            return first[i] < second[i] ? -1 : 1;
    return 0;
}
