#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/harness.h"
#include "lib/facilities/files.h"
#include "lib/messages.h"
#include "tests/temp_folder.h"

namespace {

std::string str(const LString& text) { return std::string(text.data(), size_t(text.length())); }

std::string shown(const LPathSplit& s)
{
    return std::to_string(s.separator) + " " + std::to_string(s.nameStart) + " " + std::to_string(s.dot) + " " +
           std::to_string(s.extension);
}

std::string notFound() { return str(win32ErrorText(ERROR_FILE_NOT_FOUND)); }

} // namespace

TEST(Paths, SplitDirectoryNameAndExtension)
{
    // 0x95 0x5C is one character in code page 932 whose trail byte is a backslash.
    const bool dbcs = ansiIs932();
    const struct {
        const char *path, *split, *directory, *directoryKept;
    } cases[] = {
        {"a\\b\\c.txt", "3 4 5 6", "a\\b", "a\\b\\"},
        {"c.txt", "0 0 1 2", "", ""},
        {"a\\\\b", "1 3 3 4", "a", "a\\\\"},
        {"C:\\x", "2 3 3 4", "C:.", "C:\\"},
        {"a\\.txt", "1 2 2 6", "a", "a\\"},       // a leading dot makes no extension
        {"a.d\\x..y", "3 4 6 7", "a.d", "a.d\\"}, // nor a dot before another dot
        {"\\x", "0 1 1 2", "", "\\"},
        {"\x95\x5C.txt", dbcs ? "0 0 2 3" : "1 2 2 6", dbcs ? "" : "\x95", dbcs ? "" : "\x95\\"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(shown(splitPath(c.path)), c.split) << c.path;
        EXPECT_EQ(str(directoryPart(c.path, false)), c.directory) << c.path;
        EXPECT_EQ(str(directoryPart(c.path, true)), c.directoryKept) << c.path;
    }
    for (const auto& [path, expected] : {std::pair{"", ""}, {"a", "a\\"}, {"a\\", "a\\"}, {"C:", "C:"},
                                         {"\x95\x5C", dbcs ? "\x95\x5C\\" : "\x95\x5C"}}) {
        LString text(path);
        addBackslash(text);
        EXPECT_EQ(str(text), expected) << path;
    }
}

TEST(Files, CopyAndMoveReplaceTheDestinationOnlyWhenTheyCan)
{
    TempFolder folder;
    const std::string a = folder / "a", b = folder / "b", missing = folder / "missing";
    writeFile(a, "one");
    writeFile(b, "two");
    EXPECT_EQ(FCopyFile(a.c_str(), b.c_str(), true), 0);
    EXPECT_EQ(readFile(b), "one");
    writeFile(a, "three");
    EXPECT_EQ(FMoveFile(a.c_str(), b.c_str(), true), 0);
    EXPECT_EQ(readFile(b) + readFile(a), "three(missing)");

    EXPECT_EQ(outputOf([&] { EXPECT_EQ(FCopyFile(missing.c_str(), b.c_str(), false), 1); }), "");
    EXPECT_EQ(outputOf([&] { EXPECT_EQ(FMoveFile(missing.c_str(), b.c_str(), true), 1); }),
              "Warning 37000: CopyFile() '" + missing + "' to '" + b + "': " + notFound() + "\n" +
                  "Error 15000: cannot rename " + missing + " to " + b + "\n\n");
    EXPECT_EQ(FMoveFile(b.c_str(), b.c_str(), true), 0);
    EXPECT_EQ(readFile(b), "three"); // neither failure nor a move onto itself cost the file
}

TEST(Files, RemoveFilesAndTreesWithTheirMessages)
{
    TempFolder folder;
    const std::string tree = folder / "tree";
    for (const char* directory : {"tree", "tree\\sub", "outside"})
        CreateDirectoryA((folder / directory).c_str(), nullptr);
    writeFile(tree + "\\a", "");
    writeFile(tree + "\\b", "", FILE_ATTRIBUTE_HIDDEN);
    writeFile(tree + "\\sub\\c", "");
    writeFile(folder / "outside\\keep", "4");
    // Where the system has links, one inside the tree leads out of it.
    CreateSymbolicLinkA((tree + "\\link").c_str(), (folder / "outside").c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY);
    EXPECT_EQ(FDeleteTree(tree.c_str()), 3);
    EXPECT_FALSE(exists(tree));
    EXPECT_EQ(readFile(folder / "outside\\keep"), "4");
    EXPECT_EQ(FDeleteTree(tree.c_str()), 0);

    // A file that cannot go keeps its directory, which is reported.
    CreateDirectoryA(tree.c_str(), nullptr);
    writeFile(tree + "\\locked", "", FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(outputOf([&] { EXPECT_EQ(FDeleteTree(tree.c_str()), 0); }).rfind("Error 17000: RemoveDirectory(): ", 0), 0u);
    const std::string locked = tree + "\\locked";
    SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(FRemoveFile(locked.c_str(), true, true) + FRemoveFile(locked.c_str(), true, false), -1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(outputOf([&] { EXPECT_EQ(FRemoveFile(locked.c_str(), true, true), -1); }),
              "Error 17100: remove(): errno=2: No such file or directory\n");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), locked + ": No such file or directory\n");
    EXPECT_EQ(FRemoveDirectory(tree.c_str()), 0);
    EXPECT_EQ(outputOf([&] { EXPECT_EQ(FRemoveDirectory(tree.c_str()), 1); }),
              "Error 17000: RemoveDirectory(): " + notFound() + "\n");
}

TEST(Files, MakeAndRemoveDirectoriesAlongAPath)
{
    TempFolder folder;
    const std::string file = folder / "a\\b\\c\\file.txt";
    EXPECT_TRUE(FMakeParentDirs(file.c_str()));
    EXPECT_EQ(FPathKind((folder / "a\\b\\c").c_str()), kPathDirectory);
    EXPECT_EQ(FPathKind(file.c_str()), kPathNone);
    EXPECT_TRUE(FMakeDirs(file.c_str(), int32_t(file.size()) - 9)); // "...\c", which exists
    writeFile(folder / "a\\in-the-way", "");
    EXPECT_FALSE(FMakeParentDirs((folder / "a\\in-the-way\\x\\f").c_str()));

    // Empty parents go, up to the first directory that still holds something.
    writeFile(folder / "a\\b\\keep", "");
    FRemoveEmptyParents(file.c_str());
    EXPECT_EQ(std::to_string(exists(folder / "a\\b\\c")) + std::to_string(exists(folder / "a\\b")), "01");
    DeleteFileA((folder / "a\\b\\keep").c_str());
    DeleteFileA((folder / "a\\in-the-way").c_str());
    writeFile(folder / "keep", "");
    FRemoveEmptyParents((folder / "a\\b\\whatever").c_str());
    EXPECT_EQ(std::to_string(exists(folder / "a")) + std::to_string(exists(folder.path())), "01");
}

TEST(Files, TellKindsCountsAndSizes)
{
    TempFolder folder;
    writeFile(folder / "five", "12345");
    writeFile(folder / ".dotfile", "");
    for (const char* directory : {"dir", ".dotdir"})
        CreateDirectoryA((folder / directory).c_str(), nullptr);
    for (const auto& [path, kind] : {std::pair{folder / "five", kPathFile}, {folder / "dir", kPathDirectory},
                                     {folder / "none", kPathNone}})
        EXPECT_EQ(FPathKind(path.c_str()), kind) << path;
    EXPECT_EQ(FCountEntries(folder.path().c_str()), 3); // five, .dotfile, dir
    EXPECT_EQ(FCountEntries((folder / "none").c_str()), 0);
    EXPECT_EQ(FFileSize((folder / "five").c_str()), 5);
    EXPECT_EQ(outputOf([&] { EXPECT_EQ(FFileSize((folder / "none").c_str()), -1); }), "");
}

TEST(Files, KnowTheCurrentDirectoryTheModuleAndTemporaryNames)
{
    TempFolder folder;
    CurrentDirectory restore("C:\\");
    EXPECT_EQ(str(FCurrentDirectory(true)), "C:\\");
    ASSERT_EQ(FSetCurrentDirectory(folder.path().c_str()), TRUE);
    EXPECT_EQ(str(FCurrentDirectory(false)) + "|" + str(FCurrentDirectory(true)), folder.path() + "|" + folder / "");
    int32_t failed = 0;
    const std::string reported = "SetCurrentDirectory( " + folder / "none" + " ) failed: " + notFound();
    EXPECT_EQ(outputOf([&] { failed = FSetCurrentDirectory((folder / "none").c_str()); }),
              "Error 17000: " + reported + "\n");
    EXPECT_EQ(failed, int32_t(reported.size())) << "the report's result";

    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self); // the library is linked into this program
    EXPECT_EQ(str(FModuleFileName()), self);
    EXPECT_EQ(str(FModuleDirectory(true)) + (strrchr(self, '\\') + 1), self);

    const std::string first = str(FTempFileName()), second = str(FTempFileName());
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    for (const std::string& name : {first, second}) {
        EXPECT_EQ(name.rfind(std::string(temp) + "vex", 0), 0u) << name;
        EXPECT_EQ(readFile(name), ""); // created, empty
        DeleteFileA(name.c_str());
    }
    EXPECT_NE(first, second);
}
