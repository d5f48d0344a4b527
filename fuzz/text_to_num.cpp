// textToNum against a reading of its documented rules, for both bounds: the
// value, the saturation and exactly one report for a leftover or an overflow.
#include "fuzz/harness.h"
#include "lib/messages.h"
#include "lib/facilities/numbers.h"

namespace {

struct Expected {
    int32_t value;
    int reports;
};

int digitOf(unsigned char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 99;
}

// The ANSI code page here has no double-byte characters, so the last byte is
// always a candidate unit letter.
Expected expected(const std::string& text, bool upperBound)
{
    size_t end = text.size();
    int64_t unit = 1;
    if (end > 0) {
        const char letter = char(text[end - 1] | 0x20);
        unit = letter == 'k' ? 1024 : letter == 'm' ? 1048576 : letter == 'g' ? 1073741824 : 1;
        if (unit > 1)
            --end;
    }
    size_t i = 0;
    const bool negative = i < end && text[i] == '-';
    i += negative;
    unsigned base = 10;
    if (end - i >= 2 && text[i] == '0') {
        const char letter = char(text[i + 1] | 0x20);
        if (letter == 'x' || letter == 'j' || letter == 'n') {
            base = letter == 'x' ? 16 : letter == 'n' ? 2 : 10;
            i += 2;
        }
    }
    uint64_t magnitude = 0;
    bool tooLarge = false;
    for (; i < end; ++i) {
        if (text[i] == ',')
            continue;
        const int digit = digitOf(uint8_t(text[i]));
        if (digit >= int(base))
            break;
        magnitude = magnitude * base + unsigned(digit);
        if (magnitude > 0xFFFFFFFFull) {
            magnitude = 0x100000000ull;
            tooLarge = true;
        }
    }
    const bool leftover = i < end;
    int64_t value = (negative ? -int64_t(magnitude) : int64_t(magnitude)) * unit;
    if (upperBound)
        value += unit - 1;
    const bool outOfRange = tooLarge || value > INT32_MAX || value < INT32_MIN;
    const int32_t result = outOfRange ? (negative ? INT32_MIN : INT32_MAX) : int32_t(value);
    return {result, leftover || outOfRange ? 1 : 0};
}

} // namespace

FUZZ_SILENT_INIT

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text = textOf(data, size);
    for (bool upperBound : {false, true}) {
        const int before = messenger().errorCount();
        const int32_t value = textToNum(text.c_str(), upperBound);
        const Expected wanted = expected(text, upperBound);
        FUZZ_CHECK(value == wanted.value);
        FUZZ_CHECK(messenger().errorCount() - before == wanted.reports);
    }
    FUZZ_CHECK(textToNum(text.c_str(), true) >= textToNum(text.c_str(), false));
    return 0;
}
