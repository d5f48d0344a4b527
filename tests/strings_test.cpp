#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/harness.h"
#include "lib/pool.h"
#include "lib/strings.h"

namespace {

const bool kX64 = kPoolAlignment == 16;

template <typename S, typename Ch>
std::vector<int32_t> capacitiesGrowingOneAtATime(int count, Ch unit)
{
    S text;
    std::vector<int32_t> capacities;
    for (int i = 0; i < count; ++i) {
        text.appendChar(unit);
        if (capacities.empty() || capacities.back() != text.capacity())
            capacities.push_back(text.capacity());
    }
    return capacities;
}

std::string str(const LString& s) { return std::string(s.data(), size_t(s.length())); }

} // namespace

TEST(LString, StartsEmptyWithCapacityZero)
{
    LString text;
    EXPECT_EQ(text.length(), 0);
    EXPECT_EQ(text.capacity(), 0);
    EXPECT_STREQ(text.data(), "");
}

TEST(LString, GrowsToFiveQuartersOfTheNeed)
{
    LString text;
    text.append("abc");
    EXPECT_EQ(text.capacity(), kX64 ? 11 : 3);
    text.appendChar('d');
    EXPECT_EQ(text.capacity(), kX64 ? 11 : 7);

    const std::vector<int32_t> x86 = {3, 7, 11, 15, 23, 31, 43, 55, 75, 107, 139, 187, 235};
    const std::vector<int32_t> x64 = {11, 27, 43, 59, 75, 107, 139, 187, 235};
    EXPECT_EQ((capacitiesGrowingOneAtATime<LString, char>(200, 'x')), kX64 ? x64 : x86);
}

TEST(LWString, GrowsToFiveQuartersOfTheNeed)
{
    const std::vector<int32_t> x86 = {1, 3, 5, 7, 11, 15, 21, 27, 37, 53, 69, 93, 117, 157, 221};
    const std::vector<int32_t> x64 = {5, 13, 21, 29, 37, 53, 69, 93, 117, 157, 221};
    EXPECT_EQ((capacitiesGrowingOneAtATime<LWString, wchar_t>(200, L'x')), kX64 ? x64 : x86);
}

TEST(LString, InsertsAtPositionAndAtTheEnd)
{
    LString text("held");
    text.insert("wor", 0, -1);
    text.insert("XYZ", text.length(), 2);
    text.insert(nullptr, 0, 5);
    EXPECT_EQ(str(text), "worheldXY");
    text.insert("-", 3, 1);
    EXPECT_EQ(str(text), "wor-heldXY");
}

CHILD_SCENARIO(StringInsertBeyondLength)
{
    LString text("abc");
    text.insert("x", 4, 1);
}

CHILD_SCENARIO(WideStringRemoveBeyondLength)
{
    LWString text(L"abc");
    text.remove(2, 2);
}

CHILD_SCENARIO(StringCommitBeyondTheStorage)
{
    LString text("abc");
    text.prepareAppend(4);
    text.commitAppend(text.capacity());
}

TEST(LString, PositionsBeyondTheLengthAreInternalError161)
{
    for (const char* scenario :
         {"StringInsertBeyondLength", "WideStringRemoveBeyondLength", "StringCommitBeyondTheStorage"}) {
        const ChildResult child = runChildScenario(scenario);
        EXPECT_EQ(child.exitCode, 2u) << scenario;
        EXPECT_EQ(child.output, "Internal Error: 161\n") << scenario;
    }
}

TEST(LString, TextWrittenInPlaceIsCountedAndTerminated)
{
    LString text("ab");
    char* room = text.prepareAppend(100);
    ASSERT_GE(text.capacity() - text.length(), 100);
    memcpy(room, "cdef", 4);
    text.commitAppend(3); // only what was meant to be kept
    EXPECT_EQ(str(text), "abcde");
    EXPECT_EQ(text.data()[5], '\0');
}

TEST(LString, RemoveTruncatesOrClosesTheGap)
{
    LString text("abcde");
    EXPECT_EQ(text.remove(2, -1), 'c');
    EXPECT_EQ(str(text), "ab");
    LString other("abcdef");
    EXPECT_EQ(other.remove(1, 2), 'b');
    EXPECT_EQ(str(other), "adef");
    EXPECT_EQ(other.data()[4], '\0');
}

TEST(LString, KeepsEmbeddedNulBytes)
{
    LString text("ab\0cd", 5);
    EXPECT_EQ(text.length(), 5);
    EXPECT_EQ(str(text), std::string("ab\0cd", 5));
    text.append("xy\0z", -1); // -1 stops at the first NUL
    EXPECT_EQ(text.length(), 7);
}

TEST(LString, AppendsAndAssignsItsOwnText)
{
    LString text("abcdefgh");
    text.append(text.data(), text.length()); // the storage moves while it is read
    EXPECT_EQ(str(text), "abcdefghabcdefgh");
    text.assign(text.data() + 4, 6);
    EXPECT_EQ(str(text), "efghab");
}

TEST(LString, CopiesDoNotShareStorage)
{
    LString original("text");
    LString copy = original;
    copy.appendChar('!');
    EXPECT_EQ(str(original), "text");
    EXPECT_EQ(str(copy), "text!");
}

TEST(LString, ClearAndSetCapacityShrinkTheStorage)
{
    LString text;
    text.append(std::string(100, 'x').c_str());
    text.clear();
    EXPECT_EQ(text.length(), 0);
    EXPECT_EQ(text.capacity(), kX64 ? 11 : 3);
    text.append("abc");
    text.setCapacity(20);
    EXPECT_EQ(text.capacity(), kX64 ? 27 : 23);
    EXPECT_STREQ(text.data(), "abc");
}

TEST(LStringAppendFormat, FormatsLikePrintf)
{
    LString text("x=");
    text.appendFormat("%d %04X %02Xh %s %S", -5, 0x3042u, 0x81u, "narrow", L"wide");
    EXPECT_EQ(str(text), "x=-5 3042 81h narrow wide");
    // Appended like a terminated text: a formatted NUL ends it.
    text.appendFormat("a%cb", 0);
    EXPECT_EQ(str(text), "x=-5 3042 81h narrow widea");
    const std::string big(40000, 'q');
    text.assign("");
    text.appendFormat("%s%c!", big.c_str(), 0);
    EXPECT_EQ(text.length(), 40000);
}

TEST(LStringAppendFormat, AppendsLongTextsWholeWithoutOverflow)
{
    const std::string big(70000, 'q');
    LString text("<");
    text.appendFormat("%s|%s>", big.c_str(), "end");
    ASSERT_EQ(text.length(), 70006);
    EXPECT_EQ(str(text), "<" + big + "|end>");
}

TEST(KeyCompare, OrdersByUnsignedUnits)
{
    EXPECT_EQ(keyCompare("abc", "abd"), -1);
    EXPECT_EQ(keyCompare("abd", "abc"), 1);
    EXPECT_EQ(keyCompare("abc", "ab"), 1);
    EXPECT_EQ(keyCompare("ab", "abc"), -1);
    EXPECT_EQ(keyCompare("", ""), 0);
    EXPECT_EQ(keyCompare("abc", "abc"), 0);
    EXPECT_EQ(keyCompare(static_cast<const char*>(nullptr), nullptr), 0);
    EXPECT_EQ(keyCompare(nullptr, ""), 1);
    EXPECT_EQ(keyCompare("", nullptr), 1);
    EXPECT_EQ(keyCompare("\x80", "a"), 1);
    EXPECT_EQ(keyCompare("A", "a"), -1);
    EXPECT_EQ(keyCompare(L"\xFF01", L"a"), 1);
    EXPECT_EQ(keyCompare(L"ab", L"ab"), 0);
    EXPECT_EQ(keyCompare(static_cast<const wchar_t*>(nullptr), L"x"), 1);
}

TEST(FindText, FindsTheFirstWholeMatch)
{
    const struct {
        const char* needle;
        const char* haystack;
        int32_t length;
        int32_t expected;
    } cases[] = {
        {"lo", "hello lo", -1, 3},
        {"xyz", "hello", -1, -1},
        {"lo", "hello", 4, 3}, // a match may start at the last position
        {"lo", "hello", 3, -1},
        {"h", "hello", 0, -1},
        {"h", "hello", -5, -1}, // only -1 means up to the NUL
        {"lox", "hello", 6, -1}, // a match stops at the haystack's NUL
        {"cd", "ab\0cd", 5, 3},  // and the search goes on behind it
        {"ab", "a\0ab", 4, 2},
    };
    for (const auto& c : cases)
        EXPECT_EQ(findText(c.needle, c.haystack, c.length), c.expected) << c.needle << " " << c.length;
    EXPECT_EQ(findText(L"{%u", L"a{%u3042}", -1), 1);
    EXPECT_EQ(findText(L"d", L"ab\0cd", 5), 4);
}
