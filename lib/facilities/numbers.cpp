#include "lib/facilities/numbers.h"

#include <cstring>

#include "lib/charset.h"
#include "lib/messages.h"
#include "lib/strings.h"
#include "lib/facilities/wording.h"

namespace {

// "cannot analyze '%s' as a number"; Japanese: "cannot interpret <<%s>> as a number".
constexpr const char* kCannotAnalyzeJ =
    "\x81u%s\x81v\x82\xF0\x90\x94\x92l\x82\xC6\x82\xB5\x82\xC4\x89\xF0\x8E\xDF\x82\xC5\x82\xAB\x82\xDC\x82\xB9"
    "\x82\xF1";

// Digits beyond this are an overflow; keeping the magnitude there leaves room in 64
// bits for the largest unit.
constexpr uint64_t kMaxMagnitude = 0xFFFFFFFFull;

// Names the digits as they were read: without the unit letter and the commas.
void reportUnreadable(const char* text, const char* end)
{
    LString shown;
    for (const char* p = text; p < end; ++p)
        if (*p != ',')
            shown.appendChar(*p);
    message(kMsgGeneralError, localized("cannot analyze '%s' as a number", kCannotAnalyzeJ), shown.data());
}

int digitValue(char c, unsigned base)
{
    const int value = hexDigitValue(static_cast<unsigned char>(c));
    return value < int(base) ? value : -1;
}

// Sign, base prefix, leading zeros, grouping and digits of [text, end).
LNumberText parseDigits(const char* text, const char* end, int64_t unit)
{
    LNumberText number;
    number.unit = unit;
    const char* p = text;
    number.negative = p < end && *p == '-';
    if (number.negative)
        ++p;
    if (end - p >= 2 && p[0] == '0') {
        const char letter = char(p[1] | 0x20);
        number.base = letter == 'x' ? 16 : letter == 'n' ? 2 : 10;
        if (letter == 'x' || letter == 'j' || letter == 'n')
            p += 2;
    }
    while (end - p >= 2 && *p == '0')
        ++p; // a lone "0" stays
    number.shown = p;
    number.shownEnd = end;
    for (; p < end; ++p) {
        if (*p == ',')
            continue;
        const int digit = digitValue(*p, number.base);
        if (digit < 0)
            break;
        number.anyDigit = true;
        number.magnitude = number.magnitude * number.base + unsigned(digit);
        if (number.magnitude > kMaxMagnitude) {
            number.magnitude = kMaxMagnitude + 1;
            number.tooLarge = true;
        }
    }
    number.leftover = p < end;
    return number;
}

// The unit letter at the end of a text, when it is not the trail byte of a
// double-byte character; *end moves before it.
int64_t unitSuffix(const char* text, const char** end)
{
    if (*end > text && !(*end - text >= 2 && isLeadByteAt(text, int32_t(*end - text - 2)))) {
        int64_t unit = 1;
        switch ((*end)[-1] | 0x20) {
        case 'k': unit = 1024; break;
        case 'm': unit = 1048576; break;
        case 'g': unit = 1073741824; break;
        default: break;
        }
        if (unit > 1)
            --*end;
        return unit;
    }
    return 1;
}

// The reading's value with the upper-bound adjustment, reported and saturated when
// out of range.
int32_t convert(const LNumberText& number, bool upperBound)
{
    if (number.leftover)
        reportUnreadable(number.shown, number.shownEnd);
    int64_t value = number.value();
    if (upperBound)
        value += number.unit - 1;
    if (number.tooLarge || value > INT32_MAX || value < INT32_MIN) {
        if (!number.leftover)
            reportUnreadable(number.shown, number.shownEnd);
        return number.negative ? INT32_MIN : INT32_MAX;
    }
    return int32_t(value);
}

} // namespace

int64_t LNumberText::value() const
{
    return (negative ? -int64_t(magnitude) : int64_t(magnitude)) * unit;
}

LNumberText parseNumberText(const char* text)
{
    if (!text)
        return {};
    const char* end = text + strlen(text);
    const int64_t unit = unitSuffix(text, &end);
    return parseDigits(text, end, unit);
}

int32_t textToNum(const char* text, bool upperBound)
{
    if (!text)
        return 0;
    return convert(parseNumberText(text), upperBound);
}

int32_t textToPlainNum(const char* text)
{
    if (!text)
        return 0;
    return convert(parseDigits(text, text + strlen(text), 1), false);
}

namespace {

void storeField(const LString& field, LPtrArray& fields, bool trim)
{
    const char* begin = field.data();
    const char* end = begin + field.length();
    if (trim) {
        while (begin < end && *begin == ' ')
            ++begin;
        while (end > begin && end[-1] == ' ')
            --end;
    }
    fields.add(newText(begin, size_t(end - begin)));
}

} // namespace

int32_t splitText(const char* text, LPtrArray& fields, char separator, int mode, bool trim)
{
    if (!text)
        return 0;
    LString field;
    int32_t cuts = 0;
    int32_t i = 0;
    while (text[i]) {
        if (isLeadByte(uint8_t(text[i])) && text[i + 1]) {
            field.append(text + i, 2);
            i += 2;
        } else if (text[i] != separator) {
            field.appendChar(text[i++]);
        } else if (mode == kSplitDoubling && text[i + 1] == separator) {
            field.appendChar(separator);
            i += 2;
        } else {
            storeField(field, fields, trim);
            field.clear();
            ++cuts;
            ++i;
            if (mode == kSplitRuns)
                while (text[i] == separator)
                    ++i;
        }
    }
    if (field.length() > 0)
        storeField(field, fields, trim);
    return cuts;
}

char* newText(const char* text, size_t length)
{
    char* copy = new char[length + 1];
    memcpy(copy, text, length);
    copy[length] = '\0';
    return copy;
}

void deleteTexts(LPtrArray& texts)
{
    for (int32_t i = 0; i < texts.count(); ++i)
        delete[] static_cast<char*>(texts[i]);
    texts.clear();
}
