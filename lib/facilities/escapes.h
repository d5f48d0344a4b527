// Backslash escapes: texts that may hold line breaks and other control characters
// are written into line-oriented files and messages in an escaped form and read
// back. Double-byte characters (a lead byte of the ANSI code page with a trail byte,
// 0x40-0x7E or 0x80-0xFC) stay whole in all three functions.
#pragma once
#include <cstdint>

#include "lib/strings.h"

// Rewrites text so that it holds no control characters: "\\" for a backslash, "\n"
// for CR LF, "\t" for TAB, "\xHH" for any other byte below 32 (a lone CR or LF too)
// and for a lead byte without its trail byte. Returns the number of escapes
// written; the text is replaced only when there was one. unescapeText reads the
// result back to the original bytes.
int32_t escapeText(LString& text);

// Decodes \\ \n (CR LF) \r \t \a \e \f (0x0E) \v \xHH \XHHHH (two bytes). A
// malformed escape is reported (warning 35000) and kept as it stands. Returns the
// number of escapes decoded; the text is replaced only when there was one.
int32_t unescapeText(LString& text);

// Appends a display form of the source to destination: word characters and
// double-byte characters as they are, "\r", "\n", "\t", "\xHH" for control bytes,
// bytes above 253, 0x60, 0x7F, 0x80, 0xA0 and lone lead bytes; anything else
// as it is. Count -1 reads up to the NUL; a null text appends nothing.
void printableText(LString& destination, const char* text, int32_t count = -1);
void printableText(LString& destination, const LString& source);
