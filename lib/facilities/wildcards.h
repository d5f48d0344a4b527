// Wildcard arguments of command-line programs: an argument holding "*" or "?"
// becomes the sorted list of the files it names, optionally from subdirectories
// too, steered by four options that may stand anywhere in the list:
//   -sub[:N]      search N levels of subdirectories (alone: all levels);
//   -hidden[:0]   admit hidden files (":0" admits neither hidden nor other files);
//   -system[:0]   admit system files;
//   -nwfne        no warning for a pattern that finds nothing.
#pragma once
#include <cstdint>

#include "lib/containers.h"
#include "lib/facilities/numbers.h"

// Attribute classes: an entry is taken when every bit of its class lies in the mask.
enum : uint32_t {
    kClassHidden = 1,
    kClassNotHidden = 2,
    kClassSystem = 4,
    kClassNotSystem = 8,
    kClassReadOnly = 16,
    kClassWritable = 32,
    kClassDirectory = 0xFFFFFFFF,
    // Not hidden, not system, read-only or not.
    kDefaultAttributeMask = kClassNotHidden | kClassNotSystem | kClassReadOnly | kClassWritable,
};

// The class of an entry with the given file attributes.
uint32_t attributeClass(uint32_t attributes);

// True when the text does not begin with "/" or "-" and holds "*" or "?".
bool hasWildcard(const char* argument);

// Rewrites the argument list: the four options are taken out, a wildcard argument
// is replaced by the paths it finds (or dropped, with warning 35000 "no file hit
// in %s" unless -nwfne stands in the list), any other argument stays as it is.
// Afterwards the list holds only new texts (new char[], a copy of each argument
// kept) that it owns: free them with deleteTexts, or pass an LFieldList. The
// caller's own texts stay the caller's. With directoriesOnly the wildcards name
// directories instead of files.
void expandArgs(LPtrArray& arguments, bool directoriesOnly = false);

// Appends the paths that the pattern finds (new char[] texts, which the caller
// frees, for example by passing an LFieldList) to output: first the entries of the
// pattern's directory, then, while depth < maxDepth, those of each subdirectory in
// turn. A pattern without an extension finds only names without one; "*.*" finds
// all. Linked directories are not entered.
void findFiles(const char* pattern, uint32_t mask, int32_t maxDepth, int32_t depth, bool sort, bool directoriesOnly,
               LPtrArray& output);

// Byte order in which the case of A-Z does not count (letters compare as lower
// case); a double-byte character's trail byte always compares as it is.
int compareNoCase(const char* a, const char* b);
