#include "lib/facilities/wildcards.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "lib/charset.h"
#include "lib/facilities/directory_search.h"
#include "lib/facilities/files.h"
#include "lib/messages.h"
#include "lib/facilities/options.h"

namespace {

bool isAsciiLetter(uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

void sortTexts(LPtrArray& texts)
{
    void** begin = texts.data();
    std::sort(begin, begin + texts.count(), [](const void* a, const void* b) {
        return compareNoCase(static_cast<const char*>(a), static_cast<const char*>(b)) < 0;
    });
}

bool takes(const WIN32_FIND_DATAA& entry, uint32_t mask, bool patternHasExtension, bool directoriesOnly)
{
    if (directoriesOnly)
        return isDirectory(entry) && entry.cFileName[0] != '.';
    uint32_t entryClass = isDirectory(entry) ? kClassDirectory : attributeClass(entry.dwFileAttributes);
    if (!patternHasExtension && hasExtension(entry.cFileName))
        entryClass = kClassDirectory; // a pattern without an extension takes only names without one
    return (entryClass & mask) == entryClass;
}

} // namespace

uint32_t attributeClass(uint32_t attributes)
{
    return (attributes & FILE_ATTRIBUTE_HIDDEN ? kClassHidden : kClassNotHidden) |
           (attributes & FILE_ATTRIBUTE_READONLY ? kClassReadOnly : kClassWritable) |
           (attributes & FILE_ATTRIBUTE_SYSTEM ? kClassSystem : kClassNotSystem);
}

bool hasWildcard(const char* argument)
{
    return argument && argument[0] != '/' && argument[0] != '-' && strpbrk(argument, "*?") != nullptr;
}

int compareNoCase(const char* a, const char* b)
{
    if (!a || !b)
        return a == b ? 0 : a ? 1 : -1;
    bool trailByte = false;
    for (size_t i = 0;; ++i) {
        uint8_t x = uint8_t(a[i]), y = uint8_t(b[i]);
        // Folding both sides (never a trail byte, never a non-letter) keeps the
        // order consistent, which a sort relies on.
        if (!trailByte) {
            if (isAsciiLetter(x))
                x |= 0x20;
            if (isAsciiLetter(y))
                y |= 0x20;
        }
        if (x != y)
            return int(x) - int(y);
        if (x == 0)
            return 0;
        trailByte = !trailByte && isLeadByte(uint8_t(a[i]));
    }
}

void findFiles(const char* pattern, uint32_t mask, int32_t maxDepth, int32_t depth, bool sort, bool directoriesOnly,
               LPtrArray& output)
{
    if (!pattern)
        return;
    const LString directory = directoryPart(pattern, true);
    const char* namePattern = pattern + splitPath(pattern).nameStart;
    const bool patternHasExtension = hasExtension(pattern);

    LPtrArray found;
    forEachEntry(pattern, [&](const WIN32_FIND_DATAA& entry) {
        if (!takes(entry, mask, patternHasExtension, directoriesOnly))
            return;
        LString path(directory.data(), directory.length());
        path.append(entry.cFileName);
        found.add(newText(path.data(), size_t(path.length())));
    });
    if (sort)
        sortTexts(found);
    output.append(found.data(), found.count());

    if (depth >= maxDepth)
        return;
    LString everything(directory.data(), directory.length());
    everything.append("*.*");
    std::vector<LString> subdirectories;
    forEachEntry(everything.data(), [&](const WIN32_FIND_DATAA& entry) {
        if (isDirectory(entry) && !isDirectoryLink(entry) && entry.cFileName[0] != '.')
            subdirectories.emplace_back(entry.cFileName);
    });
    if (sort)
        std::sort(subdirectories.begin(), subdirectories.end(),
                  [](const LString& a, const LString& b) { return compareNoCase(a.data(), b.data()) < 0; });
    for (const LString& subdirectory : subdirectories) {
        LString subpattern(directory.data(), directory.length());
        subpattern.append(subdirectory.data(), subdirectory.length());
        subpattern.appendChar('\\');
        subpattern.append(namePattern);
        findFiles(subpattern.data(), mask, maxDepth, depth + 1, sort, directoriesOnly, output);
    }
}

void expandArgs(LPtrArray& arguments, bool directoriesOnly)
{
    uint32_t mask = kDefaultAttributeMask;
    int32_t maxDepth = 0;
    int32_t noWarning = 0;
    LOptionSet options;
    options.addNum("sub", maxDepth, 0, INT32_MAX, INT32_MAX);
    options.addMask("hidden", &mask, kClassHidden | kClassNotHidden);
    options.addMask("system", &mask, kClassSystem | kClassNotSystem);
    options.addNum("nwfne", noWarning, 0, 1, 1);

    // The options first, wherever they stand, so that they apply to every pattern.
    std::vector<bool> claimed(size_t(arguments.count()));
    for (int32_t i = 0; i < arguments.count(); ++i)
        claimed[size_t(i)] = options.parse(static_cast<const char*>(arguments[i])) != 0;

    // Every text of the new list is a copy of its own, so the list owns them all.
    LPtrArray expanded;
    for (int32_t i = 0; i < arguments.count(); ++i) {
        const char* argument = static_cast<const char*>(arguments[i]);
        if (claimed[size_t(i)])
            continue;
        if (!hasWildcard(argument)) {
            expanded.add(newText(argument, strlen(argument)));
            continue;
        }
        LPtrArray found;
        findFiles(argument, mask, maxDepth, 0, true, directoriesOnly, found);
        if (found.count() == 0 && !noWarning)
            message(kMsgGeneralWarning, "no file hit in %s", argument);
        expanded.append(found.data(), found.count());
    }
    arguments.assign(expanded.data(), expanded.count());
}
