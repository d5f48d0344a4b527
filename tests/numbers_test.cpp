#include <gtest/gtest.h>

#include <string>

#include "tests/harness.h"
#include "lib/facilities/numbers.h"

namespace {

struct Reading {
    int32_t value;
    std::string output;
};

Reading read(const std::string& text, bool upperBound = false)
{
    int32_t value = 0;
    const std::string output = outputOf([&] { value = textToNum(text.c_str(), upperBound); });
    return {value, output};
}

std::string cannotAnalyze(const std::string& text) { return "Error 15000: cannot analyze '" + text + "' as a number\n"; }

// The fields in brackets, then the number of cuts: "[a][] 1".
std::string split(const char* text, char separator, int mode, bool trim = false)
{
    LPtrArray fields;
    const int32_t cuts = splitText(text, fields, separator, mode, trim);
    std::string shown;
    for (int32_t i = 0; i < fields.count(); ++i)
        shown.append("[").append(static_cast<const char*>(fields[i])).append("]");
    deleteTexts(fields);
    EXPECT_EQ(fields.count(), 0);
    return shown + " " + std::to_string(cuts);
}

} // namespace

TEST(TextToNum, ReadsUnitsSignsBasesAndGrouping)
{
    const struct {
        const char* text;
        bool upperBound;
        int32_t value;
    } cases[] = {
        {"2k", false, 2048}, {"2K", true, 3071}, {"1m", false, 1048576}, {"1m", true, 2097151},
        {"1G", false, 1073741824}, {"1g", true, INT32_MAX}, {"-1k", true, -1}, {"5", true, 5}, {"-0x10", false, -16},
        {"0X1f", false, 31}, {"0n101", false, 5}, {"0j0012", false, 12}, {"1,000", false, 1000},
        {"1,0,24k", false, 1048576}, {"0", false, 0}, {"", false, 0}, {"-", false, 0}, {"0x", false, 0},
        {"2147483647", false, INT32_MAX}, {"-0x80000000", false, INT32_MIN}, {"-2g", false, INT32_MIN},
    };
    for (const auto& c : cases) {
        const Reading r = read(c.text, c.upperBound);
        EXPECT_EQ(r.value, c.value) << c.text;
        EXPECT_EQ(r.output, "") << c.text;
    }
    EXPECT_EQ(textToNum(nullptr), 0);
    EXPECT_EQ(outputOf([] { EXPECT_EQ(textToPlainNum("12k"), 12); }), cannotAnalyze("12k")) << "no unit letters";
}

TEST(TextToNum, ReportsLeftoversAndOverflowNamingTheDigitsAsRead)
{
    const struct {
        const char* text;
        bool upperBound;
        int32_t value;
        const char* shown;
    } cases[] = {
        {"12abc", false, 12, "12abc"}, {"-0x001fz", false, -31, "1fz"}, {"0n0012", false, 1, "12"},
        {"1,2x", false, 12, "12x"}, {"12xk", false, 12288, "12x"}, {"12x4k", false, 12288, "12x4"}, {" 5", false, 0, " 5"},
        // Beyond 32 bits, from the digits or from the unit: saturated.
        {"2147483648", false, INT32_MAX, "2147483648"}, {"-2147483649", false, INT32_MIN, "2147483649"},
        {"0xFFFFFFFF", false, INT32_MAX, "FFFFFFFF"}, {"99999999999999999999", false, INT32_MAX, "99999999999999999999"},
        {"2g", false, INT32_MAX, "2"}, {"2g", true, INT32_MAX, "2"}, {"-3g", false, INT32_MIN, "3"},
        {"99999999999x", false, INT32_MAX, "99999999999x"},
    };
    for (const auto& c : cases) {
        const Reading r = read(c.text, c.upperBound);
        EXPECT_EQ(r.value, c.value) << c.text;
        EXPECT_EQ(r.output, cannotAnalyze(c.shown)) << c.text;
    }
}

TEST(TextToNum, ReportsLeftoversInJapanese)
{
    JapaneseMessages japanese;
    EXPECT_EQ(fromCodePage932(read("12x").output), L"Error 15000: \u300C" L"12x\u300D\u3092\u6570\u5024\u3068"
                                                   L"\u3057\u3066\u89E3\u91C8\u3067\u304D\u307E\u305B\u3093\n");
}

TEST(TextToNum, TakesNoUnitFromTheTrailByteOfADoubleByteCharacter)
{
    // 0x83 0x6B is one character in code page 932; elsewhere "k" stands alone.
    const Reading r = read("5\x83k");
    EXPECT_EQ(r.value, ansiIs932() ? 5 : 5120);
    EXPECT_EQ(r.output, cannotAnalyze(ansiIs932() ? "5\x83k" : "5\x83"));
    // Two lead-range bytes pair up, leaving the "k" a unit in both code pages.
    EXPECT_EQ(read("5\x81\x81k").value, 5120);
}

TEST(TextToNum, SurvivesHugeTexts)
{
    const std::string digits(1 << 20, '7');
    EXPECT_EQ(read(digits).value, INT32_MAX);
    EXPECT_EQ(read(digits).output, cannotAnalyze(digits));
    EXPECT_EQ(read(std::string(1 << 20, ',')).output, "");
    EXPECT_EQ(read("-" + std::string(1 << 20, '0') + "12").value, -12);
}

TEST(SplitText, CutsInEachMode)
{
    const struct {
        const char* text;
        int mode;
        const char* fields;
    } cases[] = {
        {"a,b,,c", kSplitEach, "[a][b][][c] 3"}, {"a,", kSplitEach, "[a] 1"}, {",a", kSplitEach, "[][a] 1"},
        {",,", kSplitEach, "[][] 2"}, {"", kSplitEach, " 0"}, {nullptr, kSplitEach, " 0"}, {"a,b", 7, "[a][b] 1"},
        {"a,,,b", kSplitRuns, "[a][b] 1"}, {",,a", kSplitRuns, "[][a] 1"}, {"a,,", kSplitRuns, "[a] 1"},
        {"a,,b", kSplitDoubling, "[a,b] 0"}, {"a,,,b", kSplitDoubling, "[a,][b] 1"}, {"a,", kSplitDoubling, "[a] 1"},
        {",a", kSplitDoubling, "[][a] 1"}, {",,,,", kSplitDoubling, "[,,] 0"}, {"", kSplitDoubling, " 0"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(split(c.text, ',', c.mode), c.fields) << (c.text ? c.text : "(null)") << " mode " << c.mode;
    EXPECT_EQ(split(" a , b c ,  ", ',', kSplitEach, true), "[a][b c][] 2");
    EXPECT_EQ(split(" a , b c ,  ", ',', kSplitEach, false), "[ a ][ b c ][  ] 2");
}

TEST(SplitText, KeepsDoubleByteCharactersWhole)
{
    // 0x83 0x5C and 0x81 0x40 are characters in code page 932 whose trail bytes are
    // "\" and "@"; in 1252 they are two characters each.
    const bool dbcs = ansiIs932();
    for (int mode : {kSplitEach, kSplitRuns, kSplitDoubling})
        EXPECT_EQ(split("\x83\\a\\b", '\\', mode), dbcs ? "[\x83\\a][b] 1" : "[\x83][a][b] 2") << mode;
    EXPECT_EQ(split("x\x81@y@z", '@', kSplitEach), dbcs ? "[x\x81@y][z] 1" : "[x\x81][y][z] 2");
    // A pair, then a doubled separator, then one that cuts only where the pair is not one.
    EXPECT_EQ(split("\x83\\\\\\b", '\\', kSplitDoubling), dbcs ? "[\x83\\\\b] 0" : "[\x83\\][b] 1");
    EXPECT_EQ(split("a\x83", ',', kSplitEach), "[a\x83] 0") << "a lead byte at the end";
}

TEST(SplitText, HandlesHugeTexts)
{
    const std::string half(1 << 19, 'a');
    EXPECT_EQ(split((half + "," + half).c_str(), ',', kSplitEach), "[" + half + "][" + half + "] 1");
    const std::string commas(1 << 20, ',');
    EXPECT_EQ(split(commas.c_str(), ',', kSplitDoubling), "[" + std::string(1 << 19, ',') + "] 0");
    EXPECT_EQ(split(commas.c_str(), ',', kSplitRuns), "[] 1");
}
