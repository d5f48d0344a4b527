#include "charset.h"

#include <array>
#include <atomic>
#include <clocale>
#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <windows.h>

#include "lock.h"
#include "messages.h"

namespace {

// ------------------------------------------------------------ byte classes

constexpr UINT kCodePageUtf7 = 65000;
constexpr UINT kCodePageUtf8 = 65001;
constexpr UINT kCodePageShiftJis = 932;

struct LeadByteSet {
    bool lead[256] = {};
    bool any = false;
};

LeadByteSet systemLeadBytes(UINT codePage)
{
    LeadByteSet set;
    CPINFO info;
    if (!GetCPInfo(codePage, &info) || info.MaxCharSize != 2)
        return set;
    for (int i = 0; i + 1 < MAX_LEADBYTES && (info.LeadByte[i] || info.LeadByte[i + 1]); i += 2)
        for (int byte = info.LeadByte[i]; byte <= info.LeadByte[i + 1]; ++byte)
            set.lead[byte] = set.any = true;
    return set;
}

struct ClassTable {
    uint16_t flags[256];
    LeadByteSet leadBytes;
};

ClassTable buildClassTable(UINT codePage)
{
    ClassTable table{};
    for (int byte = 0; byte < 256; ++byte) {
        uint16_t flags = 0;
        if (byte >= 'A' && byte <= 'Z')
            flags |= kClassUpper;
        if (byte >= 'a' && byte <= 'z')
            flags |= kClassLower;
        if (byte >= '0' && byte <= '9')
            flags |= kClassDigit;
        if ((byte >= 0x21 && byte <= 0x2F) || (byte >= 0x3A && byte <= 0x40) ||
            (byte >= 0x5B && byte <= 0x60) || (byte >= 0x7B && byte <= 0x7E))
            flags |= kClassPunctuation;
        if (byte == '_')
            flags |= kClassUnderscore;
        if ((byte >= 0x09 && byte <= 0x0D) || byte == 0x20)
            flags |= kClassSpace;
        if (codePage == kCodePageShiftJis && byte >= 0xA1 && byte <= 0xDF)
            flags |= kClassKatakana;
        table.flags[byte] = flags;
    }
    // Lead bytes are the system's for the ANSI code page: none for single-byte
    // code pages, where a byte like 0xE9 is a whole character.
    table.leadBytes = systemLeadBytes(codePage);
    for (int byte = 0; byte < 256; ++byte)
        if (table.leadBytes.lead[byte])
            table.flags[byte] |= kClassLeadByte;
    return table;
}

const ClassTable& classTable()
{
    static const ClassTable table = buildClassTable(GetACP());
    return table;
}

UINT resolveCodePage(unsigned codePage) { return codePage == CP_ACP ? GetACP() : codePage; }

LeadByteSet leadBytesOf(UINT codePage)
{
    return codePage == GetACP() ? classTable().leadBytes : systemLeadBytes(codePage);
}

// ------------------------------------------------------------ narrow direction

constexpr int32_t kWidePiece = 1000;      // code units per conversion
constexpr int kNarrowBuffer = 2000;       // bytes of the conversion buffer
constexpr int kNarrowBufferSlack = 11;    // results this close to full count as failures

bool isHighSurrogate(wchar_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool isLowSurrogate(wchar_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Code units of the character at position: 2 for a surrogate pair, else 1.
int32_t characterWidth(const wchar_t* source, int32_t position, int32_t length)
{
    return isHighSurrogate(source[position]) && position + 1 < length &&
                   isLowSurrogate(source[position + 1])
               ? 2
               : 1;
}

// Shortens a piece that would end between the halves of a surrogate pair.
int32_t keepPairsWhole(const wchar_t* source, int32_t position, int32_t k, int32_t length)
{
    const int32_t end = position + k;
    if (end < length && isLowSurrogate(source[end]) && isHighSurrogate(source[end - 1]))
        return k > 1 ? k - 1 : 2;
    return k;
}

// The used-default indicator; the UTF code pages refuse both it and the flags.
bool checksDefaultChar(UINT codePage) { return codePage != kCodePageUtf7 && codePage != kCodePageUtf8; }

// Converts k units; true and appended when the whole piece converted faithfully.
bool convertWidePiece(const wchar_t* units, int32_t k, LString& destination, UINT codePage)
{
    char buffer[kNarrowBuffer];
    BOOL usedDefault = FALSE;
    const bool checked = checksDefaultChar(codePage);
    const int n = WideCharToMultiByte(codePage, checked ? WC_NO_BEST_FIT_CHARS : 0, units, k, buffer,
                                      sizeof buffer, nullptr, checked ? &usedDefault : nullptr);
    if (usedDefault || n < 1 || n > kNarrowBuffer - kNarrowBufferSlack)
        return false;
    destination.append(buffer, n);
    return true;
}

// Two hexadecimal digits of each byte value, for writing escapes without printf.
constexpr auto kHexPairs = [] {
    std::array<std::array<char, 2>, 256> pairs{};
    constexpr char digits[] = "0123456789ABCDEF";
    for (int byte = 0; byte < 256; ++byte)
        pairs[byte] = {digits[byte >> 4], digits[byte & 15]};
    return pairs;
}();

// An escape's text with blanks for its four digits, copied whole: one fixed-size
// copy and four digits per escape instead of a formatted append.
class EscapeTemplate {
public:
    static constexpr size_t kCopied = 16; // bytes each write touches

    EscapeTemplate(const char* prefix, const char* suffix)
        : prefix_(prefix), suffix_(suffix), prefixLength_(strlen(prefix)),
          length_(prefixLength_ + 4 + strlen(suffix))
    {
        if (copyable()) {
            memcpy(text_, prefix, prefixLength_);
            memcpy(text_ + prefixLength_ + 4, suffix, length_ - prefixLength_ - 4);
        }
    }

    // Longer escapes (a long prefix or suffix) are appended by appendSlowly.
    bool copyable() const { return length_ <= kCopied; }
    size_t length() const { return length_; }

    // Needs kCopied bytes of room at out, whatever the escape's length.
    char* write(char* out, wchar_t unit) const
    {
        memcpy(out, text_, kCopied);
        memcpy(out + prefixLength_, kHexPairs[(unit >> 8) & 0xFF].data(), 2);
        memcpy(out + prefixLength_ + 2, kHexPairs[unit & 0xFF].data(), 2);
        return out + length_;
    }

    void appendSlowly(LString& destination, wchar_t unit) const
    {
        destination.appendFormat("%s%04X%s", prefix_, unsigned(unit), suffix_);
    }

private:
    const char* prefix_;
    const char* suffix_;
    size_t prefixLength_;
    size_t length_;
    char text_[kCopied] = {};
};

// Writes escapes through a local buffer, so that a text made mostly of escapes
// costs one append per few hundred of them.
class EscapeWriter {
public:
    EscapeWriter(LString& destination, const char* prefix, const char* suffix)
        : destination_(destination), escape_(prefix, suffix)
    {
    }
    ~EscapeWriter() { flush(); }
    EscapeWriter(const EscapeWriter&) = delete;
    EscapeWriter& operator=(const EscapeWriter&) = delete;

    void write(wchar_t unit)
    {
        if (!escape_.copyable()) {
            flush();
            escape_.appendSlowly(destination_, unit);
            return;
        }
        if (used_ + EscapeTemplate::kCopied > sizeof buffer_)
            flush();
        used_ = size_t(escape_.write(buffer_ + used_, unit) - buffer_);
    }

    // Everything written so far reaches the destination (before other text is appended).
    void flush()
    {
        if (used_ > 0)
            destination_.append(buffer_, int32_t(used_));
        used_ = 0;
    }

private:
    LString& destination_;
    EscapeTemplate escape_;
    char buffer_[2048];
    size_t used_ = 0;
};

// What each BMP unit becomes in a code page, learnt one unit at a time and kept
// for the process, so that text full of foreign characters is not converted over
// and over. Valid for code pages without state, where a text converts to the
// concatenation of its characters' conversions.
class UnitTable {
public:
    // How a unit converts: not at all, to 1 or 2 bytes (kept), or to a longer
    // sequence (not kept: converted by the system each time).
    enum Kind : uint8_t { kUnknown, kUnconvertible, kShort, kLong };
    struct Entry {
        Kind kind;
        uint8_t length;
        char bytes[2];
    };

    explicit UnitTable(UINT codePage) : codePage_(codePage), keepsAscii_(asciiConvertsToItself(codePage)) {}

    UINT codePage() const { return codePage_; }
    // Most code pages write ASCII as its own bytes; not all do (EBCDIC ones).
    bool keepsAscii() const { return keepsAscii_; }

    Entry lookup(wchar_t unit)
    {
        std::atomic<uint32_t>& slot = known_[uint16_t(unit)];
        uint32_t packed = slot.load(std::memory_order_relaxed);
        if (packed == 0) {
            packed = pack(learn(unit));
            slot.store(packed, std::memory_order_relaxed);
        }
        return unpack(packed);
    }

    bool holdsPair(const wchar_t* pair) const
    {
        char buffer[8];
        BOOL usedDefault = FALSE;
        return WideCharToMultiByte(codePage_, WC_NO_BEST_FIT_CHARS, pair, 2, buffer, sizeof buffer, nullptr,
                                   &usedDefault) > 0 &&
               !usedDefault;
    }

private:
    static bool asciiConvertsToItself(UINT codePage)
    {
        wchar_t ascii[128];
        for (int i = 0; i < 128; ++i)
            ascii[i] = wchar_t(i);
        char bytes[256];
        BOOL usedDefault = FALSE;
        if (WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, ascii, 128, bytes, sizeof bytes, nullptr,
                                &usedDefault) != 128 ||
            usedDefault)
            return false;
        for (int i = 0; i < 128; ++i)
            if (bytes[i] != char(i))
                return false;
        return true;
    }

    Entry learn(wchar_t unit) const
    {
        char buffer[8];
        BOOL usedDefault = FALSE;
        const int n = WideCharToMultiByte(codePage_, WC_NO_BEST_FIT_CHARS, &unit, 1, buffer, sizeof buffer,
                                          nullptr, &usedDefault);
        if (n < 1 || usedDefault)
            return {kUnconvertible, 0, {}};
        if (n > 2)
            return {kLong, 0, {}};
        return {kShort, uint8_t(n), {buffer[0], n == 2 ? buffer[1] : char(0)}};
    }

    static uint32_t pack(Entry e)
    {
        return uint32_t(e.kind) << 24 | uint32_t(e.length) << 16 | uint32_t(uint8_t(e.bytes[0])) << 8 |
               uint8_t(e.bytes[1]);
    }

    static Entry unpack(uint32_t packed)
    {
        return {Kind(packed >> 24), uint8_t(packed >> 16), {char(packed >> 8), char(packed)}};
    }

    UINT codePage_;
    bool keepsAscii_;
    std::atomic<uint32_t> known_[65536] = {};
};

UnitTable* unitTableOf(UINT codePage)
{
    constexpr int kCached = 8;
    static constinit LLock lock;
    static UnitTable* cache[kCached] = {};
    LLockGuard guard(lock);
    for (UnitTable*& slot : cache) {
        if (!slot)
            slot = new UnitTable(codePage);
        if (slot->codePage() == codePage)
            return slot;
    }
    return nullptr; // more code pages than slots: the caller falls back to the plain rule
}

// The plain rule: pieces of 1000 units, quartered on failure until the failing
// unit stands alone and becomes an escape. Used where the code page gives no
// used-default indicator (the UTF forms, which only fail on size).
void narrowByPieces(const wchar_t* source, int32_t length, LString& destination, UINT codePage,
                    const char* prefix, const char* suffix)
{
    EscapeWriter escapes(destination, prefix, suffix);
    int32_t p = 0;
    int32_t k = 0;
    while (p < length) {
        if (k == 0)
            k = length - p < kWidePiece ? length - p : kWidePiece;
        k = keepPairsWhole(source, p, k, length);
        escapes.flush();
        if (convertWidePiece(source + p, k, destination, codePage)) {
            p += k;
            k = 0;
        } else if (k <= characterWidth(source, p, length)) {
            for (int32_t i = 0; i < k; ++i)
                escapes.write(source[p + i]);
            p += k;
            k = 0;
        } else {
            k = k / 4 > 0 ? k / 4 : 1;
        }
    }
}

// Room for the next chunk of output. When the storage has to grow, it grows for
// the whole rest at the rate written so far: text with escapes ends up several
// times its length and must not be copied over and over while it grows.
char* roomForChunk(LString& destination, int32_t need, int64_t written, int32_t done, int32_t rest)
{
    if (destination.capacity() - destination.length() < need && done > 0) {
        const int64_t estimate = destination.length() + written * rest / done + need;
        constexpr int64_t kLargestReserve = 1 << 30;
        destination.reserve(int32_t(estimate < kLargestReserve ? estimate : kLargestReserve));
    }
    return destination.prepareAppend(need);
}

// A character the unit loop leaves to the system or to a formatted append: a
// surrogate, a unit of more than two bytes, an escape too long to copy whole.
// Returns the units it took.
int32_t narrowOneCharacter(const wchar_t* source, int32_t p, int32_t length, LString& destination,
                           UnitTable& units, const EscapeTemplate& escape)
{
    if (characterWidth(source, p, length) == 2 && units.holdsPair(source + p)) {
        convertWidePiece(source + p, 2, destination, units.codePage());
        return 2;
    }
    // The other half of a pair the code page cannot hold is looked at on its own.
    const UnitTable::Entry entry = units.lookup(source[p]);
    if (entry.kind == UnitTable::kShort)
        destination.append(entry.bytes, entry.length);
    else if (entry.kind == UnitTable::kLong)
        convertWidePiece(source + p, 1, destination, units.codePage());
    else
        escape.appendSlowly(destination, source[p]);
    return 1;
}

// Copies the units from p on as bytes while blocks of them are all ASCII: plain
// text is mostly such runs.
void copyAsciiBlocks(const wchar_t* source, int32_t& p, int32_t end, char*& out)
{
    if constexpr (sizeof(wchar_t) == 2) { // the blocks are read as 16-bit units
#ifdef __SSE2__
        const __m128i highBits = _mm_set1_epi16(int16_t(0xFF80));
        while (end - p >= 16) {
            const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + p));
            const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + p + 8));
            if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(_mm_or_si128(first, second), highBits),
                                                  _mm_setzero_si128())) != 0xFFFF)
                break;
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(first, second));
            out += 16;
            p += 16;
        }
#endif
        constexpr uint64_t kHighBits = 0xFF80FF80FF80FF80ull;
        while (end - p >= 8) {
            uint64_t first, second;
            memcpy(&first, source + p, 8);
            memcpy(&second, source + p + 4, 8);
            if ((first | second) & kHighBits)
                return;
            for (int i = 0; i < 4; ++i) {
                out[i] = char(first >> (16 * i));
                out[4 + i] = char(second >> (16 * i));
            }
            out += 8;
            p += 8;
        }
    }
}

// Converts the units from p up to end in place through the unit table; returns
// early at a character it leaves to narrowOneCharacter. True when it wrote an
// escape.
bool narrowRun(const wchar_t* source, int32_t& p, int32_t end, char*& out, UnitTable& units,
               const EscapeTemplate& escape)
{
    const bool asciiAsIs = units.keepsAscii();
    const bool copyable = escape.copyable();
    bool escaped = false;
    while (p < end) {
        if (asciiAsIs)
            copyAsciiBlocks(source, p, end, out);
        const int32_t stop = end - p < 8 ? end : p + 8;
        for (; p < stop; ++p) {
            const wchar_t unit = source[p];
            if (isHighSurrogate(unit) || isLowSurrogate(unit))
                return escaped;
            const UnitTable::Entry entry = units.lookup(unit);
            if (entry.kind == UnitTable::kShort) {
                out[0] = entry.bytes[0];
                out[1] = entry.bytes[1];
                out += entry.length;
            } else if (entry.kind == UnitTable::kUnconvertible && copyable) {
                out = escape.write(out, unit);
                escaped = true;
            } else {
                return escaped;
            }
        }
    }
    return escaped;
}

// The system converts a run it can hold faster than the table does; true and
// written at out when every unit from p up to end converted.
bool narrowBySystem(const wchar_t* source, int32_t& p, int32_t end, int32_t length, char*& out, int32_t room,
                    UINT codePage)
{
    const int32_t k = keepPairsWhole(source, p, end - p, length);
    BOOL usedDefault = FALSE;
    const int n = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, source + p, k, out, room, nullptr,
                                      &usedDefault);
    if (n < 1 || usedDefault)
        return false;
    out += n;
    p += k;
    return true;
}

// Same output as the plain rule for code pages that flag unconvertible units and
// keep no state, where a text converts to the concatenation of its characters'
// conversions. Written in place a chunk at a time: ASCII blocks copied, other
// runs converted by the system while they hold no foreign unit, else character by
// character from the code page's unit table.
void narrowByLookup(const wchar_t* source, int32_t length, LString& destination, UnitTable& units,
                    const char* prefix, const char* suffix)
{
    constexpr int32_t kChunk = 4096; // units per run of the unit loop
    const EscapeTemplate escape(prefix, suffix);
    const int32_t mostPerUnit = escape.copyable() && escape.length() > 2 ? int32_t(escape.length()) : 2;
    const int32_t startLength = destination.length();
    destination.reserve(startLength + length); // one byte a unit is the common case
    bool systemFirst = true; // until a chunk turns out to hold foreign units
    int32_t p = 0;
    while (p < length) {
        const int32_t end = p + (length - p < kChunk ? length - p : kChunk);
        const int32_t room = (end - p) * mostPerUnit + int32_t(EscapeTemplate::kCopied);
        char* const start = roomForChunk(destination, room, destination.length() - startLength, p, length - p);
        char* out = start;
        if (units.keepsAscii())
            copyAsciiBlocks(source, p, end, out);
        if (p < end && !(systemFirst && narrowBySystem(source, p, end, length, out, room - int32_t(out - start),
                                                       units.codePage())))
            systemFirst = !narrowRun(source, p, end, out, units, escape);
        destination.commitAppend(int32_t(out - start));
        if (p < end)
            p += narrowOneCharacter(source, p, length, destination, units, escape);
    }
}

// ------------------------------------------------------------ wide direction

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
    explicit PieceBoundary(UINT codePage) : codePage_(codePage), leadBytes_(leadBytesOf(codePage)) {}

    int32_t adjust(const unsigned char* source, int32_t p, int32_t k, int32_t length) const
    {
        if (p + k >= length)
            return length - p;
        if (leadBytes_.any)
            return endsOnLeadByte(source, p, p + k - 1) ? k + 1 : k;
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
    // True when the byte at i starts a double-byte character; p is known to start one.
    bool endsOnLeadByte(const unsigned char* source, int32_t p, int32_t i) const
    {
        if (!leadBytes_.lead[source[i]])
            return false;
        int32_t j = i;
        while (j > p && leadBytes_.lead[source[j - 1]])
            --j;
        return (i - j) % 2 == 0;
    }

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

    UINT codePage_;
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

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

int hexValue(char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; }

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
        magnitude = magnitude * 16 + hexValue(*s);
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
    wchar_t* buffer = capacity > kWideBuffer ? new wchar_t[size_t(capacity)] : local;
    int n = MultiByteToWideChar(codePage, 0, bytes, k, buffer, capacity);
    if (sealed)
        n -= kUtf8SealLength;
    const bool converted = n >= 1 && n <= capacity - kWideBufferSlack;
    if (converted)
        destination.append(buffer, n);
    if (buffer != local)
        delete[] buffer;
    return converted;
}

} // namespace

void wideToNarrow(const wchar_t* source, int32_t count, LString& destination, unsigned codePage,
                  const char* prefix, const char* suffix)
{
    if (!source)
        return;
    const int32_t length = count < 0 ? LWString::terminatedLength(source) : count;
    const UINT resolved = resolveCodePage(codePage);
    UnitTable* units = checksDefaultChar(resolved) && IsValidCodePage(resolved) ? unitTableOf(resolved) : nullptr;
    if (units)
        narrowByLookup(source, length, destination, *units, prefix, suffix);
    else
        narrowByPieces(source, length, destination, resolved, prefix, suffix);
}

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

void wideToNarrow(const wchar_t* source, LString& destination)
{
    wideToNarrow(source, -1, destination, CP_ACP, kEscapePrefix, kEscapeSuffix);
}

void wideToNarrow(const LWString& source, LString& destination)
{
    wideToNarrow(source.data(), source.length(), destination, CP_ACP, kEscapePrefix, kEscapeSuffix);
}

void narrowToWide(const char* source, LWString& destination)
{
    narrowToWide(source, -1, destination, CP_ACP, kEscapePrefix, kEscapeSuffix);
}

void narrowToWide(const LString& source, LWString& destination)
{
    narrowToWide(source.data(), source.length(), destination, CP_ACP, kEscapePrefix, kEscapeSuffix);
}

LString narrowFromWide(const LWString& source)
{
    LString narrow;
    const int32_t textLength = LWString::terminatedLength(source.data());
    wideToNarrow(source.data(), textLength, narrow, CP_ACP, kEscapePrefix, kEscapeSuffix);
    for (int32_t i = textLength; i < source.length(); ++i)
        narrow.appendChar('\0');
    return narrow;
}

void appendNarrow(LWString& destination, const char* text, int32_t count)
{
    narrowToWide(text, count, destination, CP_ACP, kEscapePrefix, kEscapeSuffix);
}

uint16_t charClass(unsigned char byte) { return classTable().flags[byte]; }

bool isLeadByte(unsigned char byte) { return (charClass(byte) & kClassLeadByte) != 0; }

bool isLeadByteAt(const char* text, int32_t position)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    if (!isLeadByte(bytes[position]))
        return false;
    int32_t start = position;
    while (start > 0 && isLeadByte(bytes[start - 1]))
        --start;
    return (position - start) % 2 == 0;
}

// ------------------------------------------------------------ language

namespace {
std::atomic<char> language{'E'};
constinit LLock languageLock;
} // namespace

void setLanguage(char newLanguage)
{
    LLockGuard guard(languageLock);
    if (newLanguage == language.load())
        return;
    const char* localeName = newLanguage == 'J' ? "jpn" : "eng";
    if (!setlocale(LC_ALL, localeName))
        message(kMsgGeneralWarning, "failed to set locale to %s", localeName);
    language.store(newLanguage);
}

char currentLanguage() { return language.load(); }
