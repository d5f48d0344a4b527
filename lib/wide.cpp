// The wide direction: code-page text to UTF-16, escapes decoded into the units
// they name.
#include "lib/charset.h"

#include <cstring>

#include <windows.h>

#include "lib/byte_classes.h"
#include "lib/messages.h"
#include "lib/owner.h"

namespace {

constexpr int32_t kNarrowPiece = 2000;   // bytes per conversion
constexpr int32_t kWideBuffer = 4000;    // code units of the conversion buffer
constexpr int32_t kWideBufferSlack = 11;
constexpr int32_t kEscapeReportLength = 20;

bool isUtf8Continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

bool isBase64(unsigned char byte)
{
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
           byte == '+' || byte == '/';
}

// Grows a piece [p, p + k) so that it does not end inside a character.
class PieceBoundary {
public:
    explicit PieceBoundary(unsigned codePage) : codePage_(codePage), leadBytes_(leadBytesOf(codePage)) {}

    int32_t adjust(const unsigned char* source, int32_t p, int32_t k, int32_t length) const
    {
        if (p + k >= length)
            return length - p;
        if (leadBytes_.any)
            return startsDoubleByte(leadBytes_, source, p, p + k - 1) ? k + 1 : k;
        if (codePage_ == kCodePageUtf8) {
            int32_t end = p + k;
            for (int i = 0; i < 3 && end < length && isUtf8Continuation(source[end]); ++i)
                ++end;
            return end - p;
        }
        if (codePage_ == kCodePageUtf7)
            return endOfShiftedRun(source, p, p + k, length) - p;
        return k;
    }

private:
    // A UTF-7 piece must not end inside a "+...-" run of base64 digits.
    static int32_t endOfShiftedRun(const unsigned char* source, int32_t p, int32_t end, int32_t length)
    {
        bool shifted = false;
        for (int32_t i = p; i < end; ++i) {
            if (shifted)
                shifted = isBase64(source[i]);
            else if (source[i] == '+')
                shifted = true;
        }
        if (!shifted)
            return end;
        while (end < length && isBase64(source[end]))
            ++end;
        if (end < length && source[end] == '-')
            ++end;
        return end;
    }

    unsigned codePage_;
    LeadByteSet leadBytes_;
};

int32_t findBytes(const char* needle, int32_t needleLength, const char* source, int32_t from, int32_t k,
                  int32_t length)
{
    if (needleLength == 0)
        return -1;
    // Candidates are found by their first byte, which most text never holds.
    const int32_t last = (from + k < length - needleLength + 1 ? from + k : length - needleLength + 1) - 1;
    for (int32_t q = from; q <= last;) {
        const void* first = memchr(source + q, needle[0], size_t(last - q + 1));
        if (!first)
            return -1;
        q = int32_t(static_cast<const char*>(first) - source);
        if (memcmp(source + q, needle, size_t(needleLength)) == 0)
            return q;
        ++q;
    }
    return -1;
}

bool isHexDigit(char c) { return hexDigitValue(static_cast<unsigned char>(c)) >= 0; }

// Reads a hexadecimal number the way strtol with base 16 does (white space, sign,
// "0x" prefix, saturation at the limits of a 32-bit long), but never past end.
// Returns the value; *stop is where reading stopped, or start when no digits.
long readHex(const char* start, const char* end, const char** stop)
{
    const char* s = start;
    while (s < end && (*s == ' ' || (*s >= '\t' && *s <= '\r')))
        ++s;
    bool negative = false;
    if (s < end && (*s == '+' || *s == '-'))
        negative = *s++ == '-';
    if (end - s >= 3 && s[0] == '0' && (s[1] | 0x20) == 'x' && isHexDigit(s[2]))
        s += 2;
    if (s >= end || !isHexDigit(*s)) {
        *stop = start;
        return 0;
    }
    int64_t magnitude = 0;
    bool overflow = false;
    for (; s < end && isHexDigit(*s); ++s) {
        magnitude = magnitude * 16 + hexDigitValue(static_cast<unsigned char>(*s));
        if (magnitude > 0x80000000LL) {
            overflow = true;
            magnitude = 0x80000000LL;
        }
    }
    *stop = s;
    if (negative)
        return overflow ? long(-0x7FFFFFFFL - 1) : long(-magnitude);
    return overflow || magnitude > 0x7FFFFFFFLL ? 0x7FFFFFFFL : long(magnitude);
}

void appendReplacement(LWString& destination) { destination.append(L"<?>", 3); }

// Decodes the escape at source[p] (the prefix is there); returns the new position.
int32_t decodeEscape(const char* source, int32_t p, int32_t length, LWString& destination,
                     const char* prefix, const char* suffix)
{
    const int32_t prefixLength = int32_t(strlen(prefix));
    const int32_t suffixLength = int32_t(strlen(suffix));
    const char* stop = nullptr;
    const long value = readHex(source + p + prefixLength, source + length, &stop);
    destination.appendChar(wchar_t(value & 0xFFFF));
    int32_t next = int32_t(stop - source);
    if (next + suffixLength <= length && memcmp(source + next, suffix, size_t(suffixLength)) == 0)
        return next + suffixLength;
    // The reported text runs from the escape up to the source's end, 20 characters at most.
    int32_t shown = 0;
    while (shown < kEscapeReportLength && p + shown < length && source[p + shown])
        ++shown;
    LString text(source + p, shown);
    message(kMsgIllegalEscape, "illegal escape sequence: %s", text.data());
    appendReplacement(destination);
    return next;
}

// The system converts a UTF-8 sequence cut off by the end of its input as one
// U+FFFD that swallows every byte behind the lead byte, while inside the text
// those bytes may be characters of their own. A piece that ends before the text
// does is therefore converted with a seal of ASCII bytes behind it, which ends
// any sequence where the next piece's first byte would (the pieces never end
// inside a well-formed sequence); the seal's units are dropped again. Three
// bytes, so that no sequence reaches past them.
constexpr char kUtf8Seal[] = "AAA";
constexpr int32_t kUtf8SealLength = 3;

// Converts k bytes, sealed (see above) or not; true and appended when the system
// produced a result.
bool convertNarrowPiece(const char* bytes, int32_t k, LWString& destination, UINT codePage, bool sealed)
{
    LString sealedBytes;
    if (sealed) {
        sealedBytes.reserve(k + kUtf8SealLength);
        sealedBytes.append(bytes, k);
        sealedBytes.append(kUtf8Seal, kUtf8SealLength);
        bytes = sealedBytes.data();
        k += kUtf8SealLength;
    }
    wchar_t local[kWideBuffer];
    // A UTF-7 piece may have grown past the usual size to keep a run whole.
    const int32_t capacity = k + kWideBufferSlack > kWideBuffer ? k + kWideBufferSlack : kWideBuffer;
    const LNewArray<wchar_t> grown(capacity > kWideBuffer ? new wchar_t[size_t(capacity)] : nullptr);
    wchar_t* buffer = grown ? grown.get() : local;
    int n = MultiByteToWideChar(codePage, 0, bytes, k, buffer, capacity);
    if (sealed)
        n -= kUtf8SealLength;
    const bool converted = n >= 1 && n <= capacity - kWideBufferSlack;
    if (converted)
        destination.append(buffer, n);
    return converted;
}

} // namespace

void narrowToWide(const char* source, int32_t count, LWString& destination, unsigned codePage,
                  const char* prefix, const char* suffix)
{
    if (!source)
        return;
    const int32_t length = count < 0 ? LString::terminatedLength(source) : count;
    const UINT resolved = resolveCodePage(codePage);
    const PieceBoundary boundary(resolved);
    const auto* bytes = reinterpret_cast<const unsigned char*>(source);
    const int32_t prefixLength = int32_t(strlen(prefix));
    // A byte never gives more than one unit, so this is mostly all the room needed:
    // growing 2000 units at a time would copy a long text over and over.
    destination.reserve(destination.length() + length);
    int32_t p = 0;
    int32_t k = 0;
    int32_t failedK = 0; // size of the last failed piece, to make sure retries shrink
    while (p < length) {
        if (k == 0) {
            k = length - p < kNarrowPiece ? length - p : kNarrowPiece;
            failedK = 0;
        }
        const int32_t adjusted = boundary.adjust(bytes, p, k, length);
        if (failedK == 0 || adjusted < failedK)
            k = adjusted;
        const int32_t q = findBytes(prefix, prefixLength, source, p, k, length);
        if (q == p) {
            p = decodeEscape(source, p, length, destination, prefix, suffix);
            k = 0;
            continue;
        }
        if (q > p)
            k = q - p;
        const bool sealed = resolved == kCodePageUtf8 && p + k < length;
        if (convertNarrowPiece(source + p, k, destination, resolved, sealed)) {
            p += k;
            k = 0;
        } else if (k <= 2) {
            message(kMsgUnconvertibleByte, "Cannot convert ASCII to Unicode: %02Xh", unsigned(bytes[p]));
            appendReplacement(destination);
            p += k;
            failedK = 0;
        } else {
            failedK = k;
            k = k / 4 > 0 ? k / 4 : 1;
        }
    }
}

void narrowToWide(const char* source, LWString& destination)
{
    narrowToWide(source, -1, destination, CP_ACP, kEscapePrefix, kEscapeSuffix);
}

void narrowToWide(const LString& source, LWString& destination)
{
    narrowToWide(source.data(), source.length(), destination, CP_ACP, kEscapePrefix, kEscapeSuffix);
}

void appendNarrow(LWString& destination, const char* text, int32_t count)
{
    narrowToWide(text, count, destination, CP_ACP, kEscapePrefix, kEscapeSuffix);
}

