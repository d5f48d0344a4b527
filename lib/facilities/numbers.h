// Number texts and list splitting, shared by the option parser and the date-time
// parsers: integers with unit suffixes, signs, base prefixes and digit grouping,
// and texts cut into fields at a separator.
#pragma once
#include <cstddef>
#include <cstdint>

#include "lib/containers.h"

// Reads an integer: an optional unit suffix k, m or g (either case: 1024, 1048576,
// 1073741824), a leading "-", a base prefix "0x" (hexadecimal), "0j" (decimal) or
// "0n" (binary) in either case, then digits in which "," is ignored ("1,000").
// As an upper bound the value covers its whole unit: "2k" is 3071 (2048 as a lower
// bound). Characters left over after the digits are reported (error 15000, "cannot
// analyze '%s' as a number" naming the text after the sign, the prefix and the
// leading zeros, without the unit letter and the commas) and the value read
// before them is used.
// A value beyond the signed 32-bit range, whether from too many digits or from the
// unit, is reported with the same message and saturates: INT32_MAX for a positive
// value, INT32_MIN for a negative one. A null or empty text is 0.
int32_t textToNum(const char* text, bool upperBound = false);

// A number text taken apart by textToNum's rules, without any report: for callers
// that must know whether a text is a number before they read it as one.
struct LNumberText {
    bool negative = false;
    unsigned base = 10;
    int64_t unit = 1;
    uint64_t magnitude = 0; // the digits' value, just above 0xFFFFFFFF when tooLarge
    bool anyDigit = false;
    bool tooLarge = false;
    bool leftover = false;  // characters after the digits
    const char* shown = nullptr; // the text after sign, prefix and leading zeros
    const char* shownEnd = nullptr; // its end, before the unit letter
    int64_t value() const;  // the signed magnitude times the unit
};
LNumberText parseNumberText(const char* text);

// The same reading without unit suffix and without the upper-bound adjustment: the
// numbers inside date-time texts.
int32_t textToPlainNum(const char* text);

// How splitText treats separators.
enum SplitMode {
    kSplitEach = 0,      // every separator cuts
    kSplitRuns = 1,      // a run of separators cuts once
    kSplitDoubling = 2,  // every separator cuts; a doubled one is a literal separator
};

// Cuts text at the separator and appends each field to fields as a new text
// (new char[]) that the caller owns (deleteTexts frees them). An empty field before
// a separator counts, an empty field at the end does not: "a," gives one field,
// ",a" two and "" none. A double-byte character is kept whole, so its trail byte
// never cuts. With trim, spaces around each field are removed (after cutting, so a
// final field of spaces still counts). Returns the number of cuts. A mode other
// than the three behaves as kSplitEach; a null text gives no field.
int32_t splitText(const char* text, LPtrArray& fields, char separator, int mode, bool trim = false);

// A new text (new char[]) holding the length bytes and a NUL, for lists whose
// texts deleteTexts frees.
char* newText(const char* text, size_t length);

// Frees the texts that splitText appended and empties the array.
void deleteTexts(LPtrArray& texts);

// An array that owns the fields splitText appends to it.
class LFieldList : public LPtrArray {
public:
    LFieldList() = default;
    ~LFieldList() { deleteTexts(*this); }
    LFieldList(const LFieldList&) = delete;
    LFieldList& operator=(const LFieldList&) = delete;
    const char* field(int32_t i) const { return static_cast<const char*>((*this)[i]); }
};
