// Files and directories by narrow path (ANSI code page, backslash separators):
// copy, move, remove, delete trees, make directories, ask what a path names, and
// the current directory, the module's own path and fresh temporary files. A
// double-byte character counts whole, so its trail byte is never a separator.
#pragma once
#include <cstdint>

#include "lib/strings.h"

// Positions in a path of length L, from one pass over it.
struct LPathSplit {
    int32_t separator; // first backslash of the last run of backslashes (0: none)
    int32_t nameStart; // just after that run (0: none)
    int32_t dot;       // the dot before the extension, or nameStart when there is none
    int32_t extension; // just after that dot, or L when there is none
};

// A dot counts when neither a backslash nor another dot follows it; the
// character right after a run of backslashes is never examined, so a name that
// begins with a dot takes no extension from it. A null path splits as "".
LPathSplit splitPath(const char* path);
// True when the name has a non-empty extension.
bool hasExtension(const char* path);

// The text before the separator (keepSeparator: up to the name, separator kept);
// a result ending in a colon gets "." (".\" with keepSeparator), so "C:\x" gives
// "C:." or "C:\". Empty when the path has no directory part.
LString directoryPart(const char* path, bool keepSeparator);

// Appends a backslash unless the path is empty or ends in a backslash or a colon.
void addBackslash(LString& path);

// 0 on success, 1 on failure. The destination is overwritten. With report, a
// failure is a warning (37000, "CopyFile() '%s' to '%s'").
int FCopyFile(const char* source, const char* destination, bool report);
// 0 on success, non-zero on failure. An existing destination is replaced, but
// only by a move or copy that succeeds. Across volumes the file is copied and the
// source removed.
int FMoveFile(const char* source, const char* destination, bool report);
// 0 on success, non-zero on failure; with report the failure is error 17100
// ("remove()"), and with print also the runtime library's perror line.
int FRemoveFile(const char* path, bool print, bool report);
// 0 on success, 1 on failure (error 17000, "RemoveDirectory()").
int FRemoveDirectory(const char* path);
// Deletes the directory with everything in it; returns the number of files
// deleted. Files that cannot be deleted are left silently (the directory's own
// removal then reports). A linked directory inside the tree is unlinked, never
// entered, so nothing outside the tree is deleted.
int32_t FDeleteTree(const char* directory);
// Removes the directories above the path as long as they are empty, up to the
// root or drive (a failure: warning 37000, "cannot delete directory '%s'").
void FRemoveEmptyParents(const char* path);

enum : int { kPathNone = 0, kPathFile = 1, kPathDirectory = 2 };
int FPathKind(const char* path);
// Entries of the directory; directories whose name begins with "." do not count.
int32_t FCountEntries(const char* directory);
// The file's size in bytes, any size; -1 when it cannot be read (no message).
int64_t FFileSize(const char* fileName);

// Creates the directories that a file path needs. True when they exist afterwards.
bool FMakeParentDirs(const char* filePath);
// Creates the directory named by the first prefixLength bytes of the path, and
// its missing parents. True when it is a directory afterwards.
bool FMakeDirs(const char* path, int32_t prefixLength);

// The current directory (failure: error 17000, and an empty text); keepSeparator
// adds the trailing backslash.
LString FCurrentDirectory(bool keepSeparator);
// The system call's (non-zero) result when the current directory changed; on
// failure error 17000 is reported and the result is message's, the length of
// its text (0 when the report was suppressed).
int32_t FSetCurrentDirectory(const char* path);
// The file of the module (program or library) that this code is linked into.
LString FModuleFileName();
LString FModuleDirectory(bool keepSeparator);
// The name of a new, empty temporary file that this call created ("vex" and a
// number, in the temporary directory, else the current one). Empty, with error
// 17000, when no file could be created.
LString FTempFileName();
