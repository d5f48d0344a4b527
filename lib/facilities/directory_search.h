// Private to the facilities: the entries a search pattern finds, one owner for
// the search handle whatever the visitor does.
#pragma once
#include <windows.h>

#include <cstring>

#include "lib/owners.h"

// Calls visit(const WIN32_FIND_DATAA&) for every entry; false when the search
// could not start (a missing directory, nothing matching).
template <typename Visit>
bool forEachEntry(const char* pattern, Visit visit)
{
    WIN32_FIND_DATAA entry;
    LFindHandle search(FindFirstFileA(pattern, &entry));
    if (!search)
        return false;
    do
        visit(entry);
    while (FindNextFileA(search.get(), &entry));
    return true;
}

inline bool isDirectory(const WIN32_FIND_DATAA& entry) { return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

// A directory that is a link (junction or symbolic link) to somewhere else: walking
// into it would reach outside the tree, or loop.
inline bool isDirectoryLink(const WIN32_FIND_DATAA& entry)
{
    return isDirectory(entry) && (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

inline bool isDotEntry(const WIN32_FIND_DATAA& entry)
{
    return strcmp(entry.cFileName, ".") == 0 || strcmp(entry.cFileName, "..") == 0;
}
