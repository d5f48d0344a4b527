// Shared by the fuzz harnesses: a broken invariant ends the run as a finding,
// and the library's messages, expected for most inputs, go nowhere.
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#define FUZZ_CHECK(condition)                                                                        \
    do {                                                                                             \
        if (!(condition)) {                                                                          \
            fprintf(stderr, "broken invariant: %s (%s:%d)\n", #condition, __FILE__, __LINE__);       \
            abort();                                                                                 \
        }                                                                                            \
    } while (0)

inline void silenceMessages()
{
    if (!freopen("/dev/null", "w", stdout))
        abort();
    // Without TZ the C library reads the zone file again at every local-time
    // call, which slows the date parsers tenfold; the zone changes no invariant.
    setenv("TZ", "UTC", 0);
#if defined(VEXA_FUZZ_ANSI_CODE_PAGE)
    // The variant built for double-byte text: the stand-in's ANSI code page.
    setenv("VEXA_STANDIN_ACP", VEXA_FUZZ_ANSI_CODE_PAGE, 1);
#endif
}

// The input as a text up to its first NUL, as the library's callers pass it.
inline std::string textOf(const uint8_t* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    return text.substr(0, text.find('\0'));
}

#define FUZZ_SILENT_INIT                                               \
    extern "C" int LLVMFuzzerInitialize(int*, char***)                \
    {                                                                  \
        silenceMessages();                                             \
        return 0;                                                      \
    }
