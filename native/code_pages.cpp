#include "native/code_pages.h"

#include <cstring>

namespace standin {
namespace {

// Bytes 0x80-0x9F of code page 1252; the five the code page leaves undefined map
// to the control character of the same value, as the system maps them.
constexpr uint16_t k1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

uint16_t unitOf1252(unsigned char byte) { return byte >= 0x80 && byte <= 0x9F ? k1252High[byte - 0x80] : byte; }

// The byte of a unit in code page 1252, or -1.
int byteOf1252(uint16_t unit)
{
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF))
        return unit;
    for (int i = 0; i < 32; ++i)
        if (k1252High[i] == unit)
            return 0x80 + i;
    return -1;
}

constexpr uint32_t kInvalid = 0xFFFFFFFF;

// Decodes the sequence whose first byte (at least 0x80) was just read; *next
// moves past what the sequence consumed. The system's rule: a malformed sequence
// becomes one U+FFFD for the bytes read up to the point where it broke, and a
// sequence cut off by the end of the text swallows the rest.
uint32_t decodeUtf8(unsigned char first, const unsigned char** next, const unsigned char* end)
{
    const int trail = first >= 0xF0 && first <= 0xF4 ? 3 : first >= 0xE0 ? (first <= 0xEF ? 2 : 0)
                                                     : first >= 0xC2 ? 1 : 0;
    static const unsigned char masks[4] = {0x7F, 0x1F, 0x0F, 0x07};
    uint32_t value = first & masks[trail];
    if (trail == 0)
        return kInvalid;
    if (end - *next < trail) {
        *next = end;
        return kInvalid;
    }
    const unsigned char* p = *next;
    for (int i = 0; i < trail; ++i) {
        const unsigned bits = p[i] ^ 0x80u;
        if (bits >= 0x40)
            return kInvalid;
        value = value << 6 | bits;
        const int left = trail - 1 - i;
        // Overlong forms, surrogates and values beyond U+10FFFF break the sequence
        // as soon as the bits read so far show them.
        if (left == 2 && value < 0x10)
            return ++*next, kInvalid;
        if (left == 1 && (value >= (0x110000 >> 6) || value < 0x20 ||
                          (value >= (0xD800 >> 6) && value <= (0xDFFF >> 6)))) {
            if (value < (0x110000 >> 6))
                ++*next;
            return kInvalid;
        }
        ++*next;
    }
    return value < 0x80 ? kInvalid : value;
}

// Appends a unit when it fits; counts it either way.
struct UnitSink {
    uint16_t* units;
    int capacity;
    int count = 0;
    bool overflow = false;
    void put(uint16_t unit)
    {
        if (capacity > 0) {
            if (count < capacity)
                units[count] = unit;
            else
                overflow = true;
        }
        ++count;
    }
};

struct ByteSink {
    char* bytes;
    int capacity;
    int count = 0;
    bool overflow = false;
    void put(unsigned value)
    {
        if (capacity > 0) {
            if (count < capacity)
                bytes[count] = char(value);
            else
                overflow = true;
        }
        ++count;
    }
};

void utf8ToUnits(const unsigned char* p, const unsigned char* end, UnitSink& out)
{
    while (p < end) {
        const unsigned char byte = *p++;
        if (byte < 0x80) {
            out.put(byte);
            continue;
        }
        const uint32_t value = decodeUtf8(byte, &p, end);
        if (value == kInvalid) {
            out.put(0xFFFD);
        } else if (value > 0xFFFF) {
            out.put(uint16_t(0xD800 | ((value - 0x10000) >> 10)));
            out.put(uint16_t(0xDC00 | ((value - 0x10000) & 0x3FF)));
        } else {
            out.put(uint16_t(value));
        }
    }
}

void unitsToUtf8(const uint16_t* units, int count, ByteSink& out)
{
    for (int i = 0; i < count; ++i) {
        uint32_t value = units[i];
        if (value >= 0xD800 && value <= 0xDBFF && i + 1 < count && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF)
            value = 0x10000 + ((value - 0xD800) << 10) + (units[++i] - 0xDC00);
        else if (value >= 0xD800 && value <= 0xDFFF)
            value = 0xFFFD;
        if (value < 0x80) {
            out.put(value);
        } else if (value < 0x800) {
            out.put(0xC0 | value >> 6);
            out.put(0x80 | (value & 0x3F));
        } else if (value < 0x10000) {
            out.put(0xE0 | value >> 12);
            out.put(0x80 | (value >> 6 & 0x3F));
            out.put(0x80 | (value & 0x3F));
        } else {
            out.put(0xF0 | value >> 18);
            out.put(0x80 | (value >> 12 & 0x3F));
            out.put(0x80 | (value >> 6 & 0x3F));
            out.put(0x80 | (value & 0x3F));
        }
    }
}

} // namespace

bool supportsCodePage(unsigned codePage) { return codePage == kCodePage1252 || codePage == kCodePageUtf8; }

const unsigned char* leadByteRanges(unsigned codePage)
{
    static const unsigned char ranges932[] = {0x81, 0x9F, 0xE0, 0xFC, 0, 0};
    return codePage == kCodePage932 ? ranges932 : nullptr;
}

int bytesToUnits(unsigned codePage, const char* bytes, int count, uint16_t* units, int capacity)
{
    if (!supportsCodePage(codePage) || !bytes || count == 0 || capacity < 0)
        return 0;
    if (count < 0)
        count = int(strlen(bytes)) + 1;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    UnitSink out{units, capacity};
    if (codePage == kCodePage1252) {
        for (int i = 0; i < count; ++i)
            out.put(unitOf1252(p[i]));
    } else {
        utf8ToUnits(p, p + count, out);
    }
    return out.overflow ? 0 : out.count;
}

int unitsToBytes(unsigned codePage, const uint16_t* units, int count, char* bytes, int capacity,
                 bool* usedDefault)
{
    if (usedDefault)
        *usedDefault = false;
    if (!supportsCodePage(codePage) || !units || count == 0 || capacity < 0)
        return 0;
    if (count < 0) {
        count = 0;
        while (units[count])
            ++count;
        ++count;
    }
    ByteSink out{bytes, capacity};
    if (codePage == kCodePage1252) {
        for (int i = 0; i < count; ++i) {
            const int byte = byteOf1252(units[i]);
            if (byte < 0 && usedDefault)
                *usedDefault = true;
            out.put(byte < 0 ? '?' : unsigned(byte));
        }
    } else {
        unitsToUtf8(units, count, out);
    }
    return out.overflow ? 0 : out.count;
}

} // namespace standin
