#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/harness.h"
#include "tests/temp_folder.h"
#include "lib/facilities/wildcards.h"

namespace {

// A folder with files of every kind, two levels of subdirectories and a dot directory.
class Wildcards : public testing::Test {
protected:
    Wildcards() : here_(folder_.path())
    {
        for (const char* directory : {"sub1", "sub1\\deep", "Sub2", ".dot"})
            CreateDirectoryA((folder_ / directory).c_str(), nullptr);
        for (const char* file : {"r.txt", "B.txt", "a.txt", "c.log", "noext", "sub1\\d.txt", "sub1\\deep\\e.txt",
                                 "Sub2\\f.txt", ".dot\\g.txt"})
            writeFile(folder_ / file, "");
        writeFile(folder_ / "h.txt", "", FILE_ATTRIBUTE_HIDDEN);
        writeFile(folder_ / "s.txt", "", FILE_ATTRIBUTE_SYSTEM);
        writeFile(folder_ / "o.txt", "", FILE_ATTRIBUTE_READONLY);
    }

    // The expanded list, blank-separated, then " | " and what was written.
    std::string expanded(std::vector<const char*> arguments, bool directoriesOnly = false)
    {
        LPtrArray list;
        for (const char* argument : arguments)
            list.add(const_cast<char*>(argument));
        const std::string output = outputOf([&] { expandArgs(list, directoriesOnly); });
        std::string text;
        for (int32_t i = 0; i < list.count(); ++i)
            text.append(i ? " " : "").append(static_cast<const char*>(list[i]));
        deleteTexts(list); // the list owns every text it holds now
        return text + " | " + output;
    }

    TempFolder folder_;
    CurrentDirectory here_;
};

} // namespace

TEST_F(Wildcards, ExpandPatternsInPlaceSortedWithoutRegardToCase)
{
    const struct {
        std::vector<const char*> arguments;
        std::string result;
    } cases[] = {
        {{"a.c", "*.txt", "-x"}, "a.c a.txt B.txt o.txt r.txt -x | "},
        {{"*.txt", "-hidden"}, "a.txt B.txt h.txt o.txt r.txt | "},
        {{"-system", "?.txt"}, "a.txt B.txt o.txt r.txt s.txt | "},
        {{"-hidden:0", "*.txt"}, " | Warning 35000: no file hit in *.txt\n"},
        {{"*"}, "noext | "},
        {{"*.*"}, "a.txt B.txt c.log noext o.txt r.txt | "},
        {{"*.txt", "-sub"}, "a.txt B.txt o.txt r.txt sub1\\d.txt sub1\\deep\\e.txt Sub2\\f.txt | "},
        {{"-sub:1", "*.txt"}, "a.txt B.txt o.txt r.txt sub1\\d.txt Sub2\\f.txt | "},
        {{"sub1\\*.txt", "x*.none", "-nwfne"}, "sub1\\d.txt | "},
        {{"x*.none", "b*"}, " | Warning 35000: no file hit in x*.none\nWarning 35000: no file hit in b*\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(expanded(c.arguments), c.result) << c.arguments[0];
    EXPECT_EQ(expanded({"*", "-sub"}, true), "sub1 Sub2 sub1\\deep | ");
}

TEST(Wildcard, ArgumentsNeedAStarOrAQuestionMarkAndNoOptionPrefix)
{
    for (const auto& [argument, expected] : {std::pair{"*.txt", true}, {"a?c", true}, {"dir\\*", true},
                                             {"-x*", false}, {"/a?", false}, {"abc", false}, {"", false}})
        EXPECT_EQ(hasWildcard(argument), expected) << argument;
    EXPECT_FALSE(hasWildcard(nullptr));
}

TEST(CompareNoCase, OrdersConsistentlyWithoutRegardToCase)
{
    EXPECT_EQ(compareNoCase("abc", "ABC"), 0);
    EXPECT_LT(compareNoCase("ab", "ABC"), 0);
    EXPECT_GT(compareNoCase("b", "A"), 0);
    // 0x83 0x41 and 0x83 0x61 are two characters in code page 932: trail bytes keep their case.
    EXPECT_EQ(compareNoCase("\x83\x41", "\x83\x61") == 0, !ansiIs932());
    // A sort needs a consistent order, also between letters and the bytes around them.
    const char* texts[] = {"a", "B", "_", "[", "`", "@", "z", "Z", "1", "\xE9"};
    for (const char* x : texts)
        for (const char* y : texts)
            for (const char* z : texts) {
                if (compareNoCase(x, y) < 0 && compareNoCase(y, z) <= 0) {
                    ASSERT_TRUE(compareNoCase(x, z) < 0 && compareNoCase(y, x) > 0) << x << y << z;
                }
            }
}
