// Row 3: the library's code-page conversions of 1 MB of text against one bare
// system call over the same buffer.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "bench/bench_common.h"
#include "lib/charset.h"

using bench::Goal;

namespace {

constexpr int kRuns = 9;
constexpr int32_t kLength = 1 << 20; // characters

// Text of the given alphabet, cut into words so that it looks like text.
std::vector<wchar_t> makeText(const wchar_t* alphabet)
{
    const int32_t letters = int32_t(wcslen(alphabet));
    std::vector<wchar_t> text(kLength + 1);
    uint32_t seed = 12345;
    for (int32_t i = 0; i < kLength; ++i) {
        seed = seed * 1103515245u + 12345u;
        text[i] = (seed >> 16) % 7 == 0 ? L' ' : alphabet[(seed >> 8) % letters];
    }
    text[kLength] = 0;
    return text;
}

// Both sides write into storage they already touched, as the bare call's buffer
// is: a megabyte's first touch costs several times the conversion under Wine.
double narrowLibrary(const std::vector<wchar_t>& text)
{
    LString narrow;
    return bench::medianNs(kRuns, 1, [&] {
        narrow.remove(0, -1); // keeps the storage
        wideToNarrow(text.data(), kLength, narrow, CP_ACP, kEscapePrefix, kEscapeSuffix);
    });
}

// The same into fresh storage each time, on both sides.
double narrowLibraryFresh(const std::vector<wchar_t>& text)
{
    return bench::medianNs(kRuns, 1, [&text] {
        LString narrow;
        wideToNarrow(text.data(), kLength, narrow, CP_ACP, kEscapePrefix, kEscapeSuffix);
    });
}

double narrowBareFresh(const std::vector<wchar_t>& text)
{
    return bench::medianNs(kRuns, 1, [&text] {
        std::vector<char> buffer(size_t(kLength) * 4 + 16);
        WideCharToMultiByte(CP_ACP, 0, text.data(), kLength, buffer.data(), int(buffer.size()), nullptr, nullptr);
    });
}

double narrowBare(const std::vector<wchar_t>& text)
{
    std::vector<char> buffer(size_t(kLength) * 4 + 16);
    return bench::medianNs(kRuns, 1, [&] {
        WideCharToMultiByte(CP_ACP, 0, text.data(), kLength, buffer.data(), int(buffer.size()), nullptr, nullptr);
    });
}

// The bare call as the library must make it: asking whether a default character
// was used is how units outside the code page are found.
double narrowBareFlagged(const std::vector<wchar_t>& text)
{
    std::vector<char> buffer(size_t(kLength) * 4 + 16);
    return bench::medianNs(kRuns, 1, [&] {
        BOOL usedDefault = FALSE;
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), kLength, buffer.data(),
                            int(buffer.size()), nullptr, &usedDefault);
    });
}

double wideLibrary(const LString& narrow)
{
    LWString wide;
    return bench::medianNs(kRuns, 1, [&] {
        wide.remove(0, -1);
        narrowToWide(narrow.data(), narrow.length(), wide, CP_ACP, kEscapePrefix, kEscapeSuffix);
    });
}

double wideBare(const LString& narrow)
{
    std::vector<wchar_t> buffer(size_t(narrow.length()) + 16);
    return bench::medianNs(kRuns, 1, [&] {
        MultiByteToWideChar(CP_ACP, 0, narrow.data(), narrow.length(), buffer.data(), int(buffer.size()));
    });
}

// The least any conversion producing this many bytes must do: write them once.
double fillBytes(int32_t count)
{
    std::vector<char> buffer(size_t(count) + 16);
    return bench::medianNs(kRuns, 1, [&] {
        memset(buffer.data(), 'x', size_t(count));
        asm volatile("" : : "r"(buffer.data()) : "memory"); // the stores must happen
    });
}

} // namespace

int main()
{
    const unsigned codePage = GetACP();
    const auto ascii = makeText(L"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.,");
    // Letters of Western languages; all in code page 1252.
    const auto western = makeText(L"abcdeilnorstu\u00e9\u00e8\u00e0\u00fc\u00f6\u00e4\u00df\u00e7\u00f1\u00e2");
    // Mostly kana and ideographs, a few ASCII letters: mostly outside code page 1252.
    const auto foreign = makeText(L"\u3042\u3044\u3046\u3048\u304a\u304b\u304d\u65e5\u672c\u8a9eab");

    char label[160];
    const double asciiLibrary = narrowLibrary(ascii);
    std::snprintf(label, sizeof label, "narrow 1M chars ASCII vs WideCharToMultiByte (cp %u)", codePage);
    bench::row("3", label, asciiLibrary / 1e6, narrowBare(ascii) / 1e6, "ms", Goal::AtMost, 1.2, "<= 1.2");
    std::snprintf(label, sizeof label, "narrow 1M chars Western text vs WideCharToMultiByte (cp %u)", codePage);
    bench::row("3", label, narrowLibrary(western) / 1e6, narrowBare(western) / 1e6, "ms", Goal::AtMost, 1.2,
               "<= 1.2");
    bench::row("3", "  narrow 1M chars ASCII, fresh storage each time on both sides", narrowLibraryFresh(ascii) / 1e6,
               narrowBareFresh(ascii) / 1e6, "ms", Goal::None, 0, "-");
    bench::row("3", "  WideCharToMultiByte 1M chars ASCII: with the library's flags vs without",
               narrowBareFlagged(ascii) / 1e6, narrowBare(ascii) / 1e6, "ms", Goal::None, 0, "-");
    const double foreignLibrary = narrowLibrary(foreign);
    bench::row("3", "narrow 1M chars mostly outside the code page (escapes) vs ASCII text", foreignLibrary / 1e6,
               asciiLibrary / 1e6, "ms", Goal::AtMost, 3.0, "<= 3");
    LString escaped;
    wideToNarrow(foreign.data(), kLength, escaped, CP_ACP, kEscapePrefix, kEscapeSuffix);
    bench::row("3", "  filling as many bytes as the escaped text has (memset) vs narrow ASCII text",
               fillBytes(escaped.length()) / 1e6, asciiLibrary / 1e6, "ms", Goal::None, 0, "-");
    bench::row("3", "narrow 1M chars mostly outside the code page vs WideCharToMultiByte (lossy)",
               foreignLibrary / 1e6, narrowBare(foreign) / 1e6, "ms", Goal::None, 0, "-");

    LString asciiNarrow, escapedNarrow;
    wideToNarrow(ascii.data(), kLength, asciiNarrow, CP_ACP, kEscapePrefix, kEscapeSuffix);
    wideToNarrow(foreign.data(), kLength, escapedNarrow, CP_ACP, kEscapePrefix, kEscapeSuffix);
    bench::row("3", "wide 1 MB ASCII without escapes vs MultiByteToWideChar", wideLibrary(asciiNarrow) / 1e6,
               wideBare(asciiNarrow) / 1e6, "ms", Goal::None, 0, "-");
    // The escapes' bytes, read bare, are just ASCII: the reference does less work.
    std::snprintf(label, sizeof label, "wide %.1f MB mostly escapes vs MultiByteToWideChar (escapes kept as text)",
                  escapedNarrow.length() / 1048576.0);
    bench::row("3", label, wideLibrary(escapedNarrow) / 1e6, wideBare(escapedNarrow) / 1e6, "ms", Goal::None, 0,
               "-");
    return 0;
}
