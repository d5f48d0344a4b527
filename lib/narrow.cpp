// The narrow direction: UTF-16 to code-page text, a unit the code page cannot
// hold written as its escape.
#include "lib/charset.h"

#include <array>
#include <atomic>
#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <windows.h>

#include "lib/byte_classes.h"
#include "lib/lock.h"

namespace {

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

void wideToNarrow(const wchar_t* source, LString& destination)
{
    wideToNarrow(source, -1, destination, CP_ACP, kEscapePrefix, kEscapeSuffix);
}

void wideToNarrow(const LWString& source, LString& destination)
{
    wideToNarrow(source.data(), source.length(), destination, CP_ACP, kEscapePrefix, kEscapeSuffix);
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

