// Byte classes of the process's ANSI code page, and the code-page facts that
// both conversion directions share.
#pragma once
#include <cstdint>

// Byte classes of the process's ANSI code page.
enum : uint16_t {
    kClassUpper = 0x0001,
    kClassLower = 0x0002,
    kClassDigit = 0x0004,
    kClassPunctuation = 0x0008,
    kClassUnderscore = 0x0010,
    kClassSpace = 0x0020,
    kClassLeadByte = 0x1000,
    kClassKatakana = 0x2000,
};
uint16_t charClass(unsigned char byte);
bool isLeadByte(unsigned char byte);
// True when the byte at position starts a double-byte character.
bool isLeadByteAt(const char* text, int32_t position);

// The value of a hexadecimal digit of either case; -1 for any other byte.
int hexDigitValue(unsigned char byte);

inline constexpr unsigned kCodePageUtf7 = 65000;
inline constexpr unsigned kCodePageUtf8 = 65001;
inline constexpr unsigned kCodePageShiftJis = 932;

// The lead bytes of a double-byte code page; none for other code pages.
struct LeadByteSet {
    bool lead[256] = {};
    bool any = false;
};
LeadByteSet leadBytesOf(unsigned codePage);
// 0 (the ANSI code page) as the code page it stands for.
unsigned resolveCodePage(unsigned codePage);

// True when the byte at position starts a double-byte character, counting the
// lead bytes back to from, where a character is known to start: in a run of
// lead bytes they pair up, so the parity decides.
bool startsDoubleByte(const LeadByteSet& leadBytes, const unsigned char* bytes, int32_t from, int32_t position);
