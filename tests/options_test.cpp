#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lib/facilities/dates.h"
#include "tests/harness.h"
#include "lib/facilities/options.h"

namespace {

std::string error(const std::string& text) { return "Error 15000: " + text + "\n"; }

// List contents as text: "1 3 4", "(a,b) (c,c)", "(0,5) (7,7)".
std::string shown(const LIntArray* list)
{
    std::string text;
    for (int32_t i = 0; list && i < list->count(); ++i)
        text.append(i ? " " : "").append(std::to_string((*list)[i]));
    return text;
}

std::string shownPairs(const LPtrArray* list)
{
    std::string text;
    for (int32_t i = 0; list && i < list->count(); ++i) {
        const auto* pair = static_cast<const LStrPair*>((*list)[i]);
        text.append(i ? " (" : "(").append(pair->first.data()).append(",").append(pair->second.data()).append(")");
    }
    return text;
}

std::string shownRanges(const LPtrArray* list)
{
    std::string text;
    for (int32_t i = 0; list && i < list->count(); ++i) {
        const auto* range = static_cast<const LRange*>((*list)[i]);
        text.append(i ? " (" : "(").append(std::to_string(range->lo)).append(",");
        text.append(std::to_string(range->hi)).append(")");
    }
    return text;
}

} // namespace

TEST(Options, RecogniseThePrefixTheNameAndTheColon)
{
    LOptionSet set;
    int32_t first = 0, second = 0;
    set.addSwitch("name", &first, 1);
    set.addSwitch("NAME", &second, 2); // never reached: the first claims every spelling
    for (const char* argument : {"-name", "/NaMe", "-name:"})
        EXPECT_EQ(set.parse(argument), 1) << argument;
    for (const char* argument : {"-namex", "-nam", "name", "--name", "", "-n@me"})
        EXPECT_EQ(set.parse(argument), 0) << argument;
    EXPECT_EQ(set.parse(nullptr), 0);
    EXPECT_EQ(first * 10 + second, 10);
    set.clear();
    EXPECT_EQ(set.count(), 0);
    EXPECT_EQ(set.parse("-name"), 0);
}

TEST(Options, CompareDoubleByteCharactersOfANameWhole)
{
    // 0x83 0x41 and 0x83 0x61 are two characters in code page 932; in 1252 they
    // differ only in the case of a letter.
    LOptionSet set;
    set.addSwitch("\x83\x41", nullptr, 1);
    EXPECT_EQ(set.parse("-\x83\x61"), ansiIs932() ? 0 : 1);
    EXPECT_EQ(set.parse("-\x83\x41"), 1);
}

TEST(Options, NumbersAreCheckedAgainstTheirBoundsAndStoredAnyway)
{
    LOptionSet set;
    int32_t n = 0, any = 0, page = 0;
    set.addNum("n", &n, 0, 10, LNumOption::kValueRequired);
    set.addNum("any", any, -5, -1, 3);
    set.addNum("page", page, 0, 100, 7);
    EXPECT_EQ(outputOf([&] { EXPECT_EQ(set.parse("-n"), 1); }),
              error("value required: -n") + error("too small option number: -n: -10000 < 0"));
    EXPECT_EQ(n, LNumOption::kValueRequired);
    EXPECT_EQ(outputOf([&] { set.parse("-N:2k"); }), error("too big option number: -N:2k: 2048 > 10"));
    EXPECT_EQ(n, 2048);
    outputOf([&] { set.parse("-n:"); });
    EXPECT_EQ(n, LNumOption::kValueRequired) << "an empty value as no value";
    EXPECT_EQ(outputOf([&] { set.parse("-any:2147483647"); }), "");
    EXPECT_EQ(any, INT32_MAX);
    EXPECT_EQ(outputOf([&] { set.parse("-any:-6"); }), error("too small option number: -any:-6: -6 < -5"));
    set.parse("-page");
    EXPECT_EQ(page, 7);
    EXPECT_EQ(outputOf([&] { set.parse("-page:5x"); }), error("cannot analyze '5x' as a number"));
    EXPECT_EQ(page, 5);
}

TEST(Options, MasksSetAndClearBits)
{
    LOptionSet set;
    uint32_t bits = 0x100;
    set.addMask("m", &bits, 0x1, 0x2);
    set.addMask("one", &bits, 0x10);
    const struct {
        const char* argument;
        uint32_t bits;
        const char* output;
    } steps[] = {
        {"-m", 0x101, ""}, {"-m:2", 0x103, ""}, {"-m:0", 0x100, ""}, {"-m:1", 0x101, ""},
        {"-m:3", 0x101, "illegal mask option value: 3"}, {"-one:2", 0x101, "illegal mask option value: 2"},
        {"-one", 0x111, ""}, {"-one:0", 0x101, ""}, {"-m:01", 0x101, "illegal mask option value: 01"},
    };
    for (const auto& step : steps) {
        EXPECT_EQ(outputOf([&] { set.parse(step.argument); }), *step.output ? error(step.output) : "")
            << step.argument;
        EXPECT_EQ(bits, step.bits) << step.argument;
    }
}

TEST(Options, SwitchesAndTextsStoreTheirValues)
{
    LOptionSet set;
    int32_t sw = 0;
    const char *str = "unset", *fallback = nullptr;
    const wchar_t *wide = nullptr, *wideFallback = nullptr;
    LString string("old");
    set.addSwitch("sw", &sw, 9);
    set.addStr("s", &str);
    set.addStr("d", fallback, "fallback");
    set.addWStr("w", &wide);
    set.addWStr("wd", wideFallback, L"wide fallback");
    set.addString("t", string, "default");
    set.addString("e", &string);

    EXPECT_EQ(outputOf([&] { set.parse("-sw:1"); }), error("illegal switch option: -sw:1"));
    EXPECT_EQ(sw, 9);
    const char argument[] = "-s:value";
    set.parse(argument);
    EXPECT_EQ(str, argument + 3) << "a pointer into the argument";
    set.parse("-s");
    EXPECT_STREQ(str, "");
    set.parse("-d");
    EXPECT_STREQ(fallback, "fallback");

    set.parse("-w:a{%u3042}");
    EXPECT_STREQ(wide, L"a\x3042");
    const wchar_t* first = wide;
    set.parse(std::string("-w:a{%u3042}").c_str());
    EXPECT_EQ(wide, first) << "equal texts share one copy";
    set.parse("-w:b");
    EXPECT_NE(wide, first);
    set.parse("-w");
    EXPECT_EQ(wide, internWStr(L""));
    set.parse("-wd");
    EXPECT_STREQ(wideFallback, L"wide fallback");
    EXPECT_EQ(internWStr(nullptr), nullptr);

    set.parse("-t:new");
    EXPECT_STREQ(string.data(), "new");
    set.parse("-t");
    EXPECT_STREQ(string.data(), "default");
    set.parse("-e");
    EXPECT_EQ(string.length(), 0);
}

TEST(Options, ListsAccumulateOverArguments)
{
    LOptionSet set;
    LPtrArray* texts = nullptr;
    LIntArray* numbers = nullptr;
    set.addStrList("i", texts, 4, 5);
    set.addNumList("l", numbers);
    set.parse("-l");
    ASSERT_NE(numbers, nullptr) << "created when first met";
    set.parse("-i:a,b");
    set.parse("-i");
    set.parse("-l:1,3-5,7");
    set.parse("-l:-3,-2--1");
    EXPECT_EQ(shown(numbers), "1 3 4 5 7 -3 -2 -1");
    ASSERT_EQ(texts->count(), 2);
    EXPECT_STREQ(static_cast<const char*>((*texts)[0]), "a,b");
    EXPECT_STREQ(static_cast<const char*>((*texts)[1]), "");
    delete texts;
    delete numbers;
}

TEST(Options, NumberRangesAreBounded)
{
    LOptionSet set;
    LIntArray* list = nullptr;
    set.addNumList("l", &list);
    const struct {
        const char* argument;
        int32_t count, first, last;
        const char* output;
    } cases[] = {
        {"-l:5-3", 1, 5, 5, "invalid numeric range (5 - 3)"},
        {"-l:0-100", 1, 0, 0, "too large numeric range (0 - 100)"},
        {"-l:0-99", 100, 0, 99, nullptr},
        {"-l:2147483600-2147483647", 48, 2147483600, INT32_MAX, nullptr},
        {"-l:-2147483648-2147483647", 1, INT32_MIN, INT32_MIN, "too large numeric range (-2147483648 - 2147483647)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(outputOf([&] { set.parse(c.argument); }), c.output ? error(c.output) : "") << c.argument;
        ASSERT_EQ(list->count(), c.count) << c.argument;
        EXPECT_EQ((*list)[0], c.first);
        EXPECT_EQ((*list)[c.count - 1], c.last);
        delete list;
        list = nullptr;
    }
}

TEST(Options, NumberRangesAreBoundedInJapanese)
{
    LOptionSet set;
    LIntArray* list = nullptr;
    set.addNumList("l", &list);
    JapaneseMessages japanese;
    EXPECT_EQ(fromCodePage932(outputOf([&] { set.parse("-l:5-3,0-100"); })),
              L"Error 15000: \u6570\u5024\u306E\u7BC4\u56F2\u6307\u5B9A\u304C\u6B63\u3057\u304F\u3042\u308A\u307E"
              L"\u305B\u3093 (5\uFF5E" L"3)\n"
              L"Error 15000: \u6570\u5024\u306E\u7BC4\u56F2\u304C\u5927\u304D\u3059\u304E\u307E\u3059 (0\uFF5E" L"100)\n");
    EXPECT_EQ(shown(list), "5 0");
    delete list;
}

TEST(Options, PairListsSplitItemsAtTheDash)
{
    LOptionSet set;
    LPtrArray* list = nullptr;
    set.addPairList("p", &list);
    set.parse("-p:");
    EXPECT_EQ(list, nullptr) << "an empty list is given back";
    set.parse("-p:a-b,c,d-");
    set.parse("-p:,a--b,-e");
    EXPECT_EQ(shownPairs(list), "(a,b) (c,c) (d,) (a-b,a-b) (,e)");
    deletePairList(list);
}

// The wording holds code page 932 characters in every language.
TEST(Options, PairListsReportTooManySeparators)
{
    LOptionSet set;
    LPtrArray* list = nullptr;
    set.addPairList("p", &list);
    EXPECT_EQ(fromCodePage932(outputOf([&] { set.parse("-p:a-b-c"); })),
              L"Error 15000: too many separator\uFF1A'a-b-c'\n");
    EXPECT_EQ(shownPairs(list), "(a,b)");
    deletePairList(list);
    JapaneseMessages japanese;
    EXPECT_EQ(fromCodePage932(outputOf([&] { set.parse("-p:1-2-3"); })),
              L"Error 15000: \u30BB\u30D1\u30EC\u30FC\u30BF '-' \u304C\u591A\u3059\u304E\u307E\u3059\uFF1A'1-2-3'\n");
    deletePairList(list);
}

TEST(Options, RangeListsFillOpenEnds)
{
    LOptionSet set;
    LPtrArray* list = nullptr;
    set.addRangeList("r", &list);
    set.parse("-r:");
    EXPECT_EQ(list, nullptr);
    set.parse("-r:-5,5-,1k-2k,7");
    EXPECT_EQ(shownRanges(list), "(0,5) (5,2147483647) (1024,3071) (7,7)");
    deleteRangeList(list);

    // A lower bound that cannot be read closes the range on itself.
    EXPECT_EQ(outputOf([&] { set.parse("-r:x-5"); }), error("cannot analyze 'x' as a number"));
    EXPECT_EQ(shownRanges(list), "(0,0)");
    deleteRangeList(list);

    // An empty list is given back whoever made it; one with elements stays.
    LPtrArray* provided = new LPtrArray;
    set.clear();
    set.addRangeList("r", &provided);
    set.parse("-r:");
    EXPECT_EQ(provided, nullptr);
    set.parse("-r:1");
    set.parse("-r:");
    EXPECT_EQ(shownRanges(provided), "(1,1)");
    deleteRangeList(provided);
}

// The wording holds code page 932 characters in every language.
TEST(Options, RangeListsReportBackwardRangesAndKeepThem)
{
    LOptionSet set;
    LPtrArray* list = nullptr;
    set.addRangeList("r", &list);
    EXPECT_EQ(fromCodePage932(outputOf([&] { set.parse("-r:9-3"); })),
              L"Error 15000: 9 \u306F 3 \u3088\u308A\u5927\u304D\u306A\u5024\u3067\u3059\n");
    EXPECT_EQ(shownRanges(list), "(9,3)");
    deleteRangeList(list);
}

TEST(Options, DatesAndDateRangesUseTheSlashForm)
{
    LOptionSet set;
    int32_t date = 0;
    LPtrArray* list = nullptr;
    set.addDate("d", &date);
    set.addDateRangeList("dr", &list);
    set.parse("-d:2008/1/2.12:30");
    EXPECT_EQ(date, FTextToTime("2008/1/2.12:30", false));
    EXPECT_FALSE(outputOf([&] { set.parse("-d"); }).empty());
    EXPECT_LE(std::abs(date - FNow()), 2) << "an empty date is the current time";

    set.parse("-dr:2008/1/2-2008/1/3,2008/1/4-");
    ASSERT_EQ(list->count(), 2);
    const auto* closed = static_cast<const LRange*>((*list)[0]);
    const auto* open = static_cast<const LRange*>((*list)[1]);
    EXPECT_EQ(closed->lo, FTextToTime("2008/1/2", false));
    EXPECT_EQ(closed->hi, FTextToTime("2008/1/3", true));
    EXPECT_EQ(open->lo, FTextToTime("2008/1/4", false));
    EXPECT_EQ(open->hi, INT32_MAX);
    deleteRangeList(list);
    // A malformed lower bound is the current time, and closes the range on itself.
    outputOf([&] { set.parse("-dr:bad-2008/1/3"); });
    const auto* range = static_cast<const LRange*>((*list)[0]);
    EXPECT_LE(std::abs(range->lo - FNow()), 2);
    EXPECT_EQ(range->hi, range->lo);
    deleteRangeList(list);
}

TEST(Options, SurviveHugeValues)
{
    LOptionSet set;
    LIntArray* numbers = nullptr;
    LPtrArray* ranges = nullptr;
    set.addNumList("l", &numbers);
    set.addRangeList("r", &ranges);
    std::string argument = "-l:";
    for (int i = 0; i < 1 << 19; ++i)
        argument += "7,";
    set.parse(argument.c_str());
    EXPECT_EQ(numbers->count(), 1 << 19);
    // Doubled dashes: one text of literal dashes, a sign and no number.
    argument = "-r:" + std::string(1 << 20, '-');
    const std::string output = outputOf([&] { set.parse(argument.c_str()); });
    EXPECT_EQ(output.size(), sizeof "Error 15000: cannot analyze '' as a number\n" - 1 + (1 << 19) - 1);
    EXPECT_EQ(shownRanges(ranges), "(0,0)");
    delete numbers;
    deleteRangeList(ranges);
}

TEST(Options, NullTargetsAreParsedWithoutStoring)
{
    LOptionSet set;
    set.addNum("a", static_cast<int32_t*>(nullptr), 0, -1, 0);
    set.addMask("b", nullptr, 1);
    set.addSwitch("c", nullptr, 1);
    set.addStr("d", static_cast<const char**>(nullptr));
    set.addWStr("e", static_cast<const wchar_t**>(nullptr));
    set.addString("f", static_cast<LString*>(nullptr));
    set.addStrList("g", static_cast<LPtrArray**>(nullptr));
    set.addNumList("h", static_cast<LIntArray**>(nullptr));
    set.addPairList("i", nullptr);
    set.addRangeList("j", nullptr);
    set.addDate("k", nullptr);
    LOption* last = set.addDateRangeList("l", nullptr);
    for (const char* argument : {"-a:1", "-b", "-c", "-d:x", "-e:x", "-f:x", "-g:x", "-h:1-3", "-i:a-b", "-j:1-2",
                                 "-k:1/2", "-l:1/2-1/3"})
        EXPECT_EQ(set.parse(argument), 1) << argument;
    EXPECT_EQ(last->parse("-l"), 1);
    EXPECT_EQ(last->parse("-k"), 0);
}
