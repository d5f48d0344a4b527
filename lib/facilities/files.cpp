#include "lib/facilities/files.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "lib/charset.h"
#include "lib/facilities/directory_search.h"
#include "lib/messages.h"
#include "lib/facilities/streams.h"

// The image of whatever module (program or library) the library is linked into.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

// Paths beyond this are refused by the system anyway.
constexpr DWORD kLongestPath = 32768;

int32_t characterWidth(const char* text, int32_t i, int32_t length)
{
    return isLeadByte(uint8_t(text[i])) && i + 1 < length ? 2 : 1;
}

// Start of the last character of the text, -1 when it is empty.
int32_t lastCharacter(const char* text, int32_t length)
{
    int32_t last = -1;
    for (int32_t i = 0; i < length; i += characterWidth(text, i, length))
        last = i;
    return last;
}

// Fills text from a system query that answers like GetCurrentDirectoryA: the
// length written, a length at least the buffer's size when it is too small, 0 on
// failure.
template <typename Query>
bool querySystemText(LString& text, Query query)
{
    std::vector<char> buffer(MAX_PATH + 1);
    for (;;) {
        const DWORD n = query(buffer.data(), DWORD(buffer.size()));
        if (n == 0)
            return false;
        if (n < buffer.size()) {
            text.append(buffer.data(), int32_t(n));
            return true;
        }
        if (buffer.size() > kLongestPath)
            return false;
        buffer.resize(n + 1 > buffer.size() * 2 ? n + 1 : buffer.size() * 2);
    }
}

LString childPath(const char* directory, const char* name)
{
    LString path(directory);
    addBackslash(path);
    path.append(name);
    return path;
}

// "X:" or "X:\", and "X:." that the directory part makes of "X:\name".
bool isDriveOrRoot(const LString& directory)
{
    const char* d = directory.data();
    const int32_t n = directory.length();
    if (n == 0 || strcmp(d, "\\") == 0)
        return true;
    return n >= 2 && d[1] == ':' && (n == 2 || (n == 3 && (d[2] == '\\' || d[2] == '.')));
}

} // namespace

// ------------------------------------------------------------ paths

LPathSplit splitPath(const char* path)
{
    LPathSplit split{0, 0, 0, 0};
    if (!path)
        return split;
    const int32_t length = int32_t(strlen(path));
    split.extension = length;
    for (int32_t i = 0; i < length;) {
        if (path[i] == '\\') {
            split.separator = i;
            while (i < length && path[i] == '\\')
                ++i;
            split.nameStart = split.dot = i;
            split.extension = length;
            if (i < length)
                i += characterWidth(path, i, length);
            continue;
        }
        if (path[i] == '.' && path[i + 1] != '\\' && path[i + 1] != '.') {
            split.dot = i;
            split.extension = i + 1;
        }
        i += characterWidth(path, i, length);
    }
    return split;
}

bool hasExtension(const char* path)
{
    return path && splitPath(path).extension < int32_t(strlen(path));
}

LString directoryPart(const char* path, bool keepSeparator)
{
    const LPathSplit split = splitPath(path);
    LString directory(path, keepSeparator ? split.nameStart : split.separator);
    if (directory.length() > 0 && directory[directory.length() - 1] == ':')
        directory.append(keepSeparator ? ".\\" : ".");
    return directory;
}

void addBackslash(LString& path)
{
    const int32_t last = lastCharacter(path.data(), path.length());
    if (last < 0 || (last == path.length() - 1 && (path[last] == '\\' || path[last] == ':')))
        return;
    path.appendChar('\\');
}

// ------------------------------------------------------------ files

int FCopyFile(const char* source, const char* destination, bool report)
{
    if (source && destination && CopyFileA(source, destination, FALSE))
        return 0;
    if (report)
        message(kMsgWin32Warning, "CopyFile() '%s' to '%s'", source ? source : "", destination ? destination : "");
    return 1;
}

int FMoveFile(const char* source, const char* destination, bool report)
{
    // Replaces the destination only once the move is sure to happen, so a failed
    // move never costs the file that was there.
    if (source && destination && MoveFileExA(source, destination, MOVEFILE_REPLACE_EXISTING))
        return 0;
    if (FCopyFile(source, destination, true) != 0) {
        if (report)
            message(kMsgGeneralError, "cannot rename %s to %s\n", source ? source : "", destination ? destination : "");
        return 1;
    }
    const int removed = remove(source);
    if (removed != 0 && report) {
        message(kMsgRuntimeError, "rename()");
        message(kMsgGeneralError, "cannot rename %s to %s\n", source, destination);
    }
    return removed;
}

int FRemoveFile(const char* path, bool print, bool report)
{
    const int removed = path ? remove(path) : -1;
    if (removed != 0 && report) {
        if (print)
            perror(path ? path : "");
        message(kMsgRuntimeError, "remove()");
    }
    return removed;
}

int FRemoveDirectory(const char* path)
{
    if (path && RemoveDirectoryA(path))
        return 0;
    message(kMsgWin32Error, "RemoveDirectory()");
    return 1;
}

int32_t FDeleteTree(const char* directory)
{
    if (!directory)
        return 0;
    // The names first, then the deleting, so the search never sees its directory change.
    struct Child {
        LString path;
        bool isDirectory;
        bool isLink;
    };
    std::vector<Child> children;
    const LString pattern = childPath(directory, "*.*");
    if (!forEachEntry(pattern.data(), [&](const WIN32_FIND_DATAA& entry) {
            if (!isDotEntry(entry))
                children.push_back({childPath(directory, entry.cFileName), isDirectory(entry), isDirectoryLink(entry)});
        }))
        return 0;
    int32_t deleted = 0;
    for (const Child& child : children) {
        if (child.isLink)
            RemoveDirectoryA(child.path.data()); // the link, not what it points to
        else if (child.isDirectory)
            deleted += FDeleteTree(child.path.data());
        else if (DeleteFileA(child.path.data()))
            ++deleted;
    }
    FRemoveDirectory(directory);
    return deleted;
}

void FRemoveEmptyParents(const char* path)
{
    for (LString directory = directoryPart(path, false); !isDriveOrRoot(directory);
         directory = directoryPart(directory.data(), false)) {
        if (FCountEntries(directory.data()) > 0)
            return;
        if (!RemoveDirectoryA(directory.data())) {
            message(kMsgWin32Warning, "cannot delete directory '%s'", directory.data());
            return;
        }
    }
}

int FPathKind(const char* path)
{
    const DWORD attributes = path ? GetFileAttributesA(path) : INVALID_FILE_ATTRIBUTES;
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return kPathNone;
    return attributes & FILE_ATTRIBUTE_DIRECTORY ? kPathDirectory : kPathFile;
}

int32_t FCountEntries(const char* directory)
{
    if (!directory)
        return 0;
    int32_t count = 0;
    forEachEntry(childPath(directory, "*.*").data(), [&](const WIN32_FIND_DATAA& entry) {
        if (!(isDirectory(entry) && entry.cFileName[0] == '.'))
            ++count;
    });
    return count;
}

int64_t FFileSize(const char* fileName)
{
    if (!fileName)
        return -1;
    LFileStream file(fileName, 'r');
    LARGE_INTEGER size;
    if (!file.isOpen() || !GetFileSizeEx(file.handle(), &size))
        return -1;
    return size.QuadPart;
}

// ------------------------------------------------------------ directories

bool FMakeParentDirs(const char* filePath)
{
    const int32_t separator = splitPath(filePath).separator;
    return separator > 0 ? FMakeDirs(filePath, separator) : true;
}

bool FMakeDirs(const char* path, int32_t prefixLength)
{
    if (!path || prefixLength <= 0)
        return false;
    const int32_t length = int32_t(strlen(path));
    const int32_t n = prefixLength < length ? prefixLength : length;
    const LString directory(path, n);
    if (GetFileAttributesA(directory.data()) == INVALID_FILE_ATTRIBUTES) {
        // The parent is what stands before the last real backslash (not at 0: the root).
        int32_t parent = 0;
        for (int32_t i = 0; i < n; i += characterWidth(path, i, n))
            if (path[i] == '\\' && i >= 1)
                parent = i;
        if (parent > 0)
            FMakeDirs(path, parent);
        CreateDirectoryA(directory.data(), nullptr);
    }
    return FPathKind(directory.data()) == kPathDirectory;
}

// ------------------------------------------------------------ the process's places

LString FCurrentDirectory(bool keepSeparator)
{
    LString directory;
    if (!querySystemText(directory, [](char* buffer, DWORD size) { return GetCurrentDirectoryA(size, buffer); }))
        message(kMsgWin32Error, "GetCurrentDirectory() failed");
    if (keepSeparator)
        addBackslash(directory);
    return directory;
}

int32_t FSetCurrentDirectory(const char* path)
{
    if (const BOOL changed = path ? SetCurrentDirectoryA(path) : FALSE)
        return changed;
    return message(kMsgWin32Error, "SetCurrentDirectory( %s ) failed", path ? path : "");
}

LString FModuleFileName()
{
    LString name;
    const auto module = reinterpret_cast<HMODULE>(&__ImageBase);
    if (!querySystemText(name, [&](char* buffer, DWORD size) { return GetModuleFileNameA(module, buffer, size); }))
        message(kMsgGeneralError, "GetModuleFileName() failed");
    return name;
}

LString FModuleDirectory(bool keepSeparator)
{
    const LString name = FModuleFileName();
    return directoryPart(name.data(), keepSeparator);
}

LString FTempFileName()
{
    LString directory;
    if (!querySystemText(directory, [](char* buffer, DWORD size) { return GetTempPathA(size, buffer); }) ||
        directory.length() == 0)
        directory.assign(".\\");
    char name[MAX_PATH]; // the size GetTempFileNameA writes into
    LString result;
    if (GetTempFileNameA(directory.data(), "vexa", 0, name))
        result.assign(name);
    else
        message(kMsgWin32Error, "GetTempFileName() in %s", directory.data());
    return result;
}
