#include "lib/facilities/escapes.h"

#include "lib/charset.h"
#include "lib/messages.h"

namespace {

constexpr uint16_t kWordClasses = kClassUpper | kClassLower | kClassDigit | kClassUnderscore;

bool isWordByte(uint8_t byte) { return (charClass(byte) & kWordClasses) != 0; }

bool isTrailByte(uint8_t byte) { return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFC); }

// True when bytes[i] and bytes[i + 1] form a double-byte character within n bytes.
bool isDoubleByteAt(const uint8_t* bytes, int32_t i, int32_t n)
{
    return isLeadByte(bytes[i]) && i + 1 < n && isTrailByte(bytes[i + 1]);
}

void appendHexEscape(LString& text, uint8_t byte) { text.appendFormat("\\x%02X", byte); }

bool isHexDigit(uint8_t c) { return hexDigitValue(c) >= 0; }


bool hexDigitsAt(const uint8_t* bytes, int32_t i, int32_t digits, int32_t n)
{
    if (i + digits > n)
        return false;
    for (int32_t k = 0; k < digits; ++k)
        if (!isHexDigit(bytes[i + k]))
            return false;
    return true;
}

uint8_t hexByte(const uint8_t* digits) { return uint8_t(hexDigitValue(digits[0]) * 16 + hexDigitValue(digits[1])); }

// Decodes the escape whose backslash is at i; returns the bytes consumed after the
// backslash, or 0 (reported) when it is malformed.
int32_t decodeEscape(const uint8_t* bytes, int32_t i, int32_t n, LString& out)
{
    const uint8_t next = i + 1 < n ? bytes[i + 1] : 0;
    const char* simple = nullptr;
    switch (next) {
    case '\\': simple = "\\"; break;
    case 'n': simple = "\r\n"; break;
    case 'r': simple = "\r"; break;
    case 't': simple = "\t"; break;
    case 'a': simple = "\x07"; break;
    case 'e': simple = "\x1B"; break;
    case 'f': simple = "\x0E"; break;
    case 'v': simple = "\x0B"; break;
    case 'x':
        if (hexDigitsAt(bytes, i + 2, 2, n)) {
            out.appendChar(char(hexByte(bytes + i + 2)));
            return 3;
        }
        message(kMsgGeneralWarning, "illegal escape: '\\x'+%02X+%02X", i + 2 < n ? bytes[i + 2] : 0,
                i + 3 < n ? bytes[i + 3] : 0);
        return 0;
    case 'X':
        if (hexDigitsAt(bytes, i + 2, 4, n)) {
            out.appendChar(char(hexByte(bytes + i + 2)));
            out.appendChar(char(hexByte(bytes + i + 4)));
            return 5;
        }
        {
            const int32_t shown = n - (i + 1) < 5 ? n - (i + 1) : 5;
            const LString rest(reinterpret_cast<const char*>(bytes + i + 1), shown);
            message(kMsgGeneralWarning, "illegal escape: '%s'", rest.data());
        }
        return 0;
    default:
        message(kMsgGeneralWarning, "illegal escape: '\\'+%02X", next);
        return 0;
    }
    out.append(simple);
    return 1;
}

} // namespace

int32_t escapeText(LString& text)
{
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const int32_t n = text.length();
    LString out;
    int32_t escapes = 0;
    for (int32_t i = 0; i < n; ++i) {
        const uint8_t byte = bytes[i];
        if (isWordByte(byte)) {
            out.appendChar(char(byte));
        } else if (isDoubleByteAt(bytes, i, n)) {
            out.append(text.data() + i, 2);
            ++i;
        } else if (isLeadByte(byte)) {
            // Alone, it would take the backslash of the next escape as its trail byte.
            appendHexEscape(out, byte);
            ++escapes;
        } else if (byte == '\\') {
            out.append("\\\\");
            ++escapes;
        } else if (byte == '\t') {
            out.append("\\t");
            ++escapes;
        } else if (byte == '\r' && i + 1 < n && bytes[i + 1] == '\n') {
            out.append("\\n");
            ++escapes;
            ++i;
        } else if (byte < 32) {
            appendHexEscape(out, byte);
            ++escapes;
        } else {
            out.appendChar(char(byte));
        }
    }
    if (escapes > 0)
        text.assign(out.data(), out.length());
    return escapes;
}

int32_t unescapeText(LString& text)
{
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const int32_t n = text.length();
    LString out;
    int32_t escapes = 0;
    for (int32_t i = 0; i < n; ++i) {
        if (isDoubleByteAt(bytes, i, n)) {
            out.append(text.data() + i, 2);
            ++i;
        } else if (bytes[i] != '\\') {
            out.appendChar(char(bytes[i]));
        } else if (const int32_t consumed = decodeEscape(bytes, i, n, out)) {
            i += consumed;
            ++escapes;
        } else {
            out.appendChar('\\'); // malformed: kept, and what follows is plain text
        }
    }
    if (escapes > 0)
        text.assign(out.data(), out.length());
    return escapes;
}

void printableText(LString& destination, const char* text, int32_t count)
{
    if (!text)
        return;
    const int32_t n = count < 0 ? LString::terminatedLength(text) : count;
    const auto* bytes = reinterpret_cast<const uint8_t*>(text);
    for (int32_t i = 0; i < n; ++i) {
        const uint8_t byte = bytes[i];
        if (isWordByte(byte)) {
            destination.appendChar(char(byte));
        } else if (isDoubleByteAt(bytes, i, n)) {
            destination.append(text + i, 2);
            ++i;
        } else if (byte == '\r') {
            destination.append("\\r");
        } else if (byte == '\n') {
            destination.append("\\n");
        } else if (byte == '\t') {
            destination.append("\\t");
        } else if (byte < 32 || byte > 253 || byte == 0x60 || byte == 0x7F || byte == 0x80 || byte == 0xA0 ||
                   isLeadByte(byte)) {
            appendHexEscape(destination, byte);
        } else {
            destination.appendChar(char(byte));
        }
    }
}

void printableText(LString& destination, const LString& source)
{
    printableText(destination, source.data(), source.length());
}
