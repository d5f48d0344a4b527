// The code-page conversions of the native stand-in system layer: code page 1252
// and UTF-8, as the system converts them. Free of system headers, so that the
// Windows build can check them against the system's own conversion.
#pragma once
#include <cstdint>

namespace standin {

inline constexpr unsigned kCodePage1252 = 1252;
inline constexpr unsigned kCodePageUtf8 = 65001;

inline constexpr unsigned kCodePage932 = 932;

bool supportsCodePage(unsigned codePage);

// The lead-byte ranges of a double-byte code page, as pairs of first and last
// byte ending in 0, 0; code page 932 is offered for byte classes only, with no
// conversion. Null for other code pages.
const unsigned char* leadByteRanges(unsigned codePage);

// MultiByteToWideChar with flags 0: count -1 converts up to and including the
// NUL; capacity 0 asks for the number of units. 0 for an unsupported code page,
// an empty source or a result that does not fit.
int bytesToUnits(unsigned codePage, const char* bytes, int count, uint16_t* units, int capacity);

// WideCharToMultiByte with the default character '?': code page 1252 never
// fits best (as with WC_NO_BEST_FIT_CHARS) and sets *usedDefault (when given)
// when a unit has no byte; UTF-8 writes a lone surrogate as U+FFFD. Counts and
// capacity as above.
int unitsToBytes(unsigned codePage, const uint16_t* units, int count, char* bytes, int capacity,
                 bool* usedDefault);

} // namespace standin
