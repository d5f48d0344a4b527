// Conversion between UTF-16 and narrow code-page text without losing characters:
// a unit the code page cannot hold becomes an escape ("{%u3042}") in the narrow
// text, and escapes turn back into units in the wide direction. Also the
// library's language setting; the byte classes are in byte_classes.h.
#pragma once
#include <cstdint>

#include "lib/byte_classes.h"
#include "lib/strings.h"

inline constexpr const char* kEscapePrefix = "{%u";
inline constexpr const char* kEscapeSuffix = "}";

// Appends source (count -1: up to its NUL; null: nothing) converted to the code
// page (0: the process's ANSI code page) to destination.
void wideToNarrow(const wchar_t* source, int32_t count, LString& destination, unsigned codePage,
                  const char* prefix, const char* suffix);
void narrowToWide(const char* source, int32_t count, LWString& destination, unsigned codePage,
                  const char* prefix, const char* suffix);

// Convenience forms: ANSI code page, the standard escapes.
void wideToNarrow(const wchar_t* source, LString& destination);
void wideToNarrow(const LWString& source, LString& destination);
void narrowToWide(const char* source, LWString& destination);
void narrowToWide(const LString& source, LWString& destination);

// The narrow form of a wide string, NUL units behind its first NUL kept as NUL bytes.
LString narrowFromWide(const LWString& source);
// Appends narrow text (count -1: up to its NUL) to a wide string.
void appendNarrow(LWString& destination, const char* text, int32_t count = -1);

// The library's language: 'E' (English, the start) or 'J' (Japanese). Switching
// also sets the runtime library's locale ("jpn" or "eng").
void setLanguage(char language);
char currentLanguage();
