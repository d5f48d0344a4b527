#include "lib/strings.h"

#include <cstdio>
#include <memory>

namespace {

// Formatting buffer: most texts fit here, so one final append is all it costs.
constexpr size_t kFormatBuffer = 30000;

template <typename Char, typename Unsigned>
int compareKeys(const Char* first, const Char* second)
{
    if (!first || !second)
        return first == second ? 0 : 1;
    for (size_t i = 0;; ++i) {
        const auto a = static_cast<Unsigned>(first[i]);
        const auto b = static_cast<Unsigned>(second[i]);
        if (a != b)
            return a < b ? -1 : 1;
        if (a == 0)
            return 0;
    }
}

template <typename Char>
int32_t findIn(const Char* needle, const Char* haystack, int32_t haystackLength)
{
    if (!needle || !haystack)
        return -1;
    if (haystackLength == -1)
        haystackLength = LBuffer<Char>::terminatedLength(haystack);
    for (int32_t start = 0; start < haystackLength; ++start) {
        int32_t i = 0;
        while (needle[i] && haystack[start + i] && needle[i] == haystack[start + i])
            ++i;
        if (!needle[i])
            return start;
    }
    return -1;
}

} // namespace

void LString::appendFormat(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    appendFormatV(format, args);
    va_end(args);
}

void LString::appendFormatV(const char* format, va_list args)
{
    char buffer[kFormatBuffer];
    va_list again;
    va_copy(again, args);
    const int needed = vsnprintf(buffer, sizeof buffer, format, args);
    if (needed < 0) {
        va_end(again);
        return;
    }
    // The rendered text is appended up to its first NUL, as a terminated source
    // would be: a %c of 0 ends it.
    if (size_t(needed) < sizeof buffer) {
        append(buffer, -1);
    } else {
        // Longer than the buffer: format once more into a block of the right size.
        const std::unique_ptr<char[]> whole(new char[size_t(needed) + 1]);
        vsnprintf(whole.get(), size_t(needed) + 1, format, again);
        append(whole.get(), -1);
    }
    va_end(again);
}

int keyCompare(const char* first, const char* second) { return compareKeys<char, unsigned char>(first, second); }
int keyCompare(const wchar_t* first, const wchar_t* second) { return compareKeys<wchar_t, uint16_t>(first, second); }

int32_t findText(const char* needle, const char* haystack, int32_t haystackLength)
{
    return findIn(needle, haystack, haystackLength);
}

int32_t findText(const wchar_t* needle, const wchar_t* haystack, int32_t haystackLength)
{
    return findIn(needle, haystack, haystackLength);
}
