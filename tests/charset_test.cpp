#include <gtest/gtest.h>

#include <windows.h>

#include <clocale>
#include <random>
#include <string>
#include <utility>

#include "lib/charset.h"

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

std::string toNarrow(const std::wstring& text, unsigned codePage)
{
    LString narrow;
    wideToNarrow(text.data(), int32_t(text.size()), narrow, codePage, kEscapePrefix, kEscapeSuffix);
    return std::string(narrow.data(), size_t(narrow.length()));
}

std::wstring toWide(const std::string& text, unsigned codePage)
{
    LWString wide;
    narrowToWide(text.data(), int32_t(text.size()), wide, codePage, kEscapePrefix, kEscapeSuffix);
    return std::wstring(wide.data(), size_t(wide.length()));
}

std::string systemNarrow(const std::wstring& text, unsigned codePage)
{
    std::string out(text.size() * 4 + 8, '\0');
    const int n = WideCharToMultiByte(codePage, 0, text.data(), int(text.size()), out.data(),
                                      int(out.size()), nullptr, nullptr);
    out.resize(size_t(n));
    return out;
}

std::wstring systemWide(const std::string& text, unsigned codePage)
{
    std::wstring out(text.size() + 8, L'\0');
    const int n = MultiByteToWideChar(codePage, 0, text.data(), int(text.size()), out.data(), int(out.size()));
    out.resize(size_t(n));
    return out;
}

// The narrow conversion as first designed: pieces of 1000 units quartered on
// failure until the failing unit stands alone; pieces never split a surrogate pair.
std::string referenceNarrow(const std::wstring& text, unsigned codePage, const std::string& prefix = "{%u",
                            const std::string& suffix = "}")
{
    const bool utf = codePage == 65000 || codePage == 65001;
    const int32_t length = int32_t(text.size());
    auto keepPair = [&](int32_t p, int32_t k) {
        const int32_t end = p + k;
        if (end < length && IS_HIGH_SURROGATE(text[end - 1]) && IS_LOW_SURROGATE(text[end]))
            return k > 1 ? k - 1 : 2;
        return k;
    };
    std::string out;
    int32_t p = 0, k = 0;
    while (p < length) {
        if (k == 0)
            k = std::min(length - p, 1000);
        k = keepPair(p, k);
        char buffer[2000];
        BOOL used = FALSE;
        const int n = WideCharToMultiByte(codePage, utf ? 0 : WC_NO_BEST_FIT_CHARS, text.data() + p, k, buffer,
                                          sizeof buffer, nullptr, utf ? nullptr : &used);
        if (!used && n >= 1 && n <= 1989) {
            out.append(buffer, size_t(n));
            p += k;
            k = 0;
        } else if (k == 1 || (k == 2 && IS_HIGH_SURROGATE(text[p]) && IS_LOW_SURROGATE(text[p + 1]))) {
            for (int32_t i = 0; i < k; ++i) {
                char digits[8];
                snprintf(digits, sizeof digits, "%04X", unsigned(text[p + i]));
                out += prefix + digits + suffix;
            }
            p += k;
            k = 0;
        } else {
            k = std::max(1, k / 4);
        }
    }
    return out;
}

// Random text; "foreign" characters are outside code page 1252, some outside
// 932 too, including surrogate pairs and, unless excluded, lone surrogates.
std::wstring randomText(std::mt19937& random, size_t length, int foreignPercent, bool loneSurrogates = true)
{
    static const wchar_t plain[] = L"abcXYZ019 .,\n\xE9\xFC\x20AC";
    static const wchar_t* const foreign[] = {L"\x3042", L"\x30A2", L"\x4E9C", L"\x0416", L"\x03B1",
                                             L"\xFF76", L"\xD83D\xDE00", L"\xD800", L"\xDC00"};
    const size_t foreignCount = loneSurrogates ? 9 : 7;
    std::wstring text;
    while (text.size() < length) {
        if (int(random() % 100) < foreignPercent) {
            text += foreign[random() % foreignCount];
        } else {
            text += plain[random() % (sizeof plain / sizeof plain[0] - 1)];
        }
    }
    return text;
}

} // namespace

TEST(WideToNarrow, EscapesWhatTheCodePageCannotHold)
{
    EXPECT_EQ(toNarrow(L"a\x3042" L"b", 1252), "a{%u3042}b");
    EXPECT_EQ(toNarrow(L"\xE9t\xE9", 1252), "\xE9t\xE9");
    EXPECT_EQ(toNarrow(L"\xD83D\xDE00", 1252), "{%uD83D}{%uDE00}");
    EXPECT_EQ(toNarrow(L"\x3042", 932), "\x82\xA0");
    EXPECT_EQ(toNarrow(L"\xE9", 932), "{%u00E9}");
    EXPECT_EQ(toNarrow(L"x\x3042", 99999), "{%u0078}{%u3042}"); // unknown code page
    EXPECT_EQ(toNarrow(L"", 1252), "");
}

TEST(WideToNarrow, DoesNotBestFit)
{
    // U+0100 would best-fit to "A" in 1252; it must stay recoverable.
    EXPECT_EQ(toNarrow(L"\x0100", 1252), "{%u0100}");
}

TEST(WideToNarrow, KeepsNulUnitsOfAnExplicitLength)
{
    LWString source(L"ab\0cd", 5);
    LString narrow = narrowFromWide(source);
    EXPECT_EQ(narrow.length(), 5);
    EXPECT_EQ(std::string(narrow.data(), 5), std::string("ab\0\0\0", 5));
}

TEST(WideToNarrow, NeverSplitsASurrogatePairAtAPieceBoundary)
{
    std::wstring text(999, L'a');
    text += L"\xD83D\xDE00"; // the pair straddles units 999 and 1000
    text += std::wstring(1500, L'b');
    EXPECT_EQ(toNarrow(text, 65001), systemNarrow(text, 65001));
}

TEST(WideToNarrow, GivesTheSameResultAsPieceByPieceConversion)
{
    std::mt19937 random(42);
    for (unsigned codePage : {1252u, 932u, 437u, 65001u}) {
        for (int foreign : {0, 3, 50, 97}) {
            const std::wstring text = randomText(random, 4000, foreign);
            EXPECT_EQ(toNarrow(text, codePage), referenceNarrow(text, codePage))
                << "code page " << codePage << ", " << foreign << "% foreign";
        }
    }
}

TEST(WideToNarrow, CodePagesThatWriteAsciiAsOtherBytes)
{
    // EBCDIC: 'a' is 0x81; the unit table must not take ASCII as its own bytes.
    if (!IsValidCodePage(37))
        GTEST_SKIP() << "code page 37 is not installed";
    EXPECT_EQ(toNarrow(L"a", 37), "\x81");
    std::mt19937 random(7);
    const std::wstring text = randomText(random, 3000, 20);
    EXPECT_EQ(toNarrow(text, 37), referenceNarrow(text, 37));
}

TEST(WideToNarrow, EscapesOfAnyLengthAndLongTexts)
{
    std::mt19937 random(11);
    // Escapes longer than the in-place copy, empty ones, and texts of many chunks
    // whose output outgrows every early estimate.
    const std::pair<std::string, std::string> forms[] = {
        {"<escaped unit number ", " ends here>"}, {"", ""}, {"{%u", "}"}};
    for (const auto& [prefix, suffix] : forms) {
        const std::wstring text =
            randomText(random, 3000, 0) + randomText(random, 20000, 90) + randomText(random, 9000, 1);
        LString narrow;
        wideToNarrow(text.data(), int32_t(text.size()), narrow, 1252, prefix.c_str(), suffix.c_str());
        EXPECT_EQ(std::string(narrow.data(), size_t(narrow.length())), referenceNarrow(text, 1252, prefix, suffix))
            << "prefix '" << prefix << "'";
    }
}

TEST(WideToNarrow, AppendsToWhatTheDestinationHolds)
{
    LString narrow("kept ");
    wideToNarrow(L"\x3042x", -1, narrow, 1252, kEscapePrefix, kEscapeSuffix);
    EXPECT_STREQ(narrow.data(), "kept {%u3042}x");
}

TEST(WideToNarrow, LongDoubleByteTextFillingWholePieces)
{
    // 1000 kana are 2000 bytes in 932: more than a piece's buffer holds.
    const std::wstring text(2500, L'\x3042');
    EXPECT_EQ(toNarrow(text, 932), systemNarrow(text, 932));
}

TEST(NarrowToWide, DecodesEscapesWhateverTheirOrigin)
{
    CaptureStdout();
    EXPECT_EQ(toWide("x{%u0041}y", 1252), L"xAy");
    EXPECT_EQ(toWide("{%u3042}", 1252), L"\x3042");
    EXPECT_EQ(toWide("{%u1F600}", 1252), L"\xF600"); // low 16 bits only
    EXPECT_EQ(toWide("{%u}", 1252), std::wstring(1, L'\0'));
    EXPECT_EQ(toWide("{%u 0x41}", 1252), L"A"); // read as strtol reads base 16
    EXPECT_EQ(toWide("{%u-1}", 1252), L"\xFFFF");
    EXPECT_EQ(toWide("{%u123456789ABC}", 1252), L"\xFFFF"); // saturates like strtol
    EXPECT_EQ(GetCapturedStdout(), "");
}

TEST(NarrowToWide, ReportsIllegalEscapes)
{
    CaptureStdout();
    EXPECT_EQ(toWide("{%u41", 1252), L"A<?>");
    EXPECT_EQ(toWide("{%uZZ}", 1252), std::wstring(L"\0<?>ZZ}", 7));
    EXPECT_EQ(toWide("{%u41;and a long tail that is cut", 1252), L"A<?>;and a long tail that is cut");
    EXPECT_EQ(GetCapturedStdout(),
              "Warning 35009: illegal escape sequence: {%u41\n"
              "Warning 35009: illegal escape sequence: {%uZZ}\n"
              "Warning 35009: illegal escape sequence: {%u41;and a long tai\n");
}

TEST(NarrowToWide, ReportsBytesThatCannotBeConverted)
{
    CaptureStdout();
    EXPECT_EQ(toWide("ab", 99999), L"<?>");
    EXPECT_EQ(toWide("xyz", 99999), L"<?><?><?>");
    EXPECT_EQ(GetCapturedStdout(),
              "Warning 35007: Cannot convert ASCII to Unicode: 61h\n"
              "Warning 35007: Cannot convert ASCII to Unicode: 78h\n"
              "Warning 35007: Cannot convert ASCII to Unicode: 79h\n"
              "Warning 35007: Cannot convert ASCII to Unicode: 7Ah\n");
}

TEST(NarrowToWide, KeepsADoubleByteCharacterWholeAtThePieceBoundary)
{
    // Byte 2000 (index 1999) is a lead byte: the piece takes 2001 bytes.
    std::string text(1999, 'a');
    text += "\x82\xA0"; // U+3042
    text += std::string(500, 'b');
    EXPECT_EQ(toWide(text, 932), systemWide(text, 932));
    // A run of lead-range bytes before the boundary: pairs decide who is lead.
    std::string run(1996, 'a');
    run += "\x81\x81\x81\x81\x82\xA0zz";
    EXPECT_EQ(toWide(run, 932), systemWide(run, 932));
}

TEST(NarrowToWide, KeepsUtf8AndUtf7SequencesWholeAtThePieceBoundary)
{
    for (int shift = 1995; shift <= 2000; ++shift) {
        std::wstring wide(size_t(shift), L'a');
        wide += L"\xE9\x3042\xD83D\xDE00 tail";
        for (unsigned codePage : {65001u, 65000u}) {
            const std::string narrow = systemNarrow(wide, codePage);
            EXPECT_EQ(toWide(narrow, codePage), wide) << codePage << " at " << shift;
        }
    }
    // A UTF-7 run of base64 digits much longer than a piece.
    const std::wstring kana(3000, L'\x3042');
    EXPECT_EQ(toWide(systemNarrow(kana, 65000), 65000), kana);
}

TEST(NarrowToWide, KeepsTheBytesBehindAUtf8SequenceCutOffByAPieceEnd)
{
    // The system swallows the bytes behind a lead byte that the end of its input
    // cuts off; a piece end inside the text (before an escape, at the piece size)
    // must not.
    EXPECT_EQ(toWide("\xF0" "A{%u42}", 65001), L"\xFFFD" L"AB");
    EXPECT_EQ(toWide("\xE3\x81{%u42}", 65001), L"\xFFFD" L"B");
    for (const char* pattern : {")\xF0", "ab\xE3", "\xF4\x90", "\xF0\x9F\x98"}) {
        std::string text;
        while (text.size() < 4500)
            text += pattern;
        EXPECT_TRUE(toWide(text, 65001) == systemWide(text, 65001)) << pattern; // no flood of units on failure
    }
}

TEST(Conversion, RoundTripsEveryTextInBothDirections)
{
    std::mt19937 random(5);
    for (unsigned codePage : {1252u, 932u, 65001u}) {
        for (int foreign : {0, 10, 90}) {
            // UTF-8 has no form for a lone surrogate.
            const std::wstring text = randomText(random, 5000, foreign, codePage != 65001);
            EXPECT_EQ(toWide(toNarrow(text, codePage), codePage), text) << codePage << " " << foreign;
        }
    }
}

TEST(Conversion, ConvenienceFormsUseTheAnsiCodePage)
{
    LString narrow;
    wideToNarrow(L"a\x3042", narrow);
    const std::string expected = GetACP() == 932 ? "a\x82\xA0" : "a{%u3042}";
    EXPECT_EQ(std::string(narrow.data(), size_t(narrow.length())), expected);
    LWString wide;
    narrowToWide(narrow, wide);
    EXPECT_EQ(std::wstring(wide.data(), size_t(wide.length())), L"a\x3042");
    appendNarrow(wide, "!{%u0042}", -1);
    EXPECT_EQ(std::wstring(wide.data(), size_t(wide.length())), L"a\x3042!B");
}

TEST(CodePage, IsTheOneThisRunWasStartedFor)
{
    // The harness runs these tests under 1252 and under 932; without this check a
    // run whose locale did not take would pass the 932 branches untested.
    const char* expected = getenv("VEXA_EXPECT_ACP");
    ASSERT_NE(expected, nullptr) << "run through ./vexa test";
    EXPECT_EQ(GetACP(), UINT(atoi(expected)));
}

TEST(CharacterClasses, LeadBytesFollowTheAnsiCodePage)
{
    if (GetACP() == 932) {
        for (int byte : {0x81, 0x9F, 0xE0, 0xFC})
            EXPECT_TRUE(isLeadByte(uint8_t(byte))) << byte;
        for (int byte : {0x80, 0xA0, 0xA1, 0xDF, 0xFD, 0x41})
            EXPECT_FALSE(isLeadByte(uint8_t(byte))) << byte;
        EXPECT_TRUE(charClass(0xB1) & kClassKatakana);
    } else {
        for (int byte = 0; byte < 256; ++byte)
            EXPECT_FALSE(isLeadByte(uint8_t(byte))) << byte;
        EXPECT_FALSE(charClass(0xB1) & kClassKatakana);
        // "é" and a line break stay two characters.
        EXPECT_EQ(toWide("\xE9\n", 0), L"\xE9\n");
    }
}

TEST(CharacterClasses, ClassifyAsciiBytes)
{
    EXPECT_EQ(charClass('A'), kClassUpper);
    EXPECT_EQ(charClass('z'), kClassLower);
    EXPECT_EQ(charClass('5'), kClassDigit);
    EXPECT_EQ(charClass('_'), kClassUnderscore | kClassPunctuation);
    EXPECT_EQ(charClass('~'), kClassPunctuation);
    EXPECT_EQ(charClass('\t'), kClassSpace);
    EXPECT_EQ(charClass(' '), kClassSpace);
    EXPECT_EQ(charClass(0x7F), 0);
}

TEST(CharacterClasses, IsLeadByteAtCountsPairsInARunOfLeadBytes)
{
    const char text[] = "a\x81\x81\x81\x81z";
    const bool dbcs = GetACP() == 932;
    EXPECT_FALSE(isLeadByteAt(text, 0));
    EXPECT_EQ(isLeadByteAt(text, 1), dbcs);
    EXPECT_FALSE(isLeadByteAt(text, 2));
    EXPECT_EQ(isLeadByteAt(text, 3), dbcs);
    EXPECT_FALSE(isLeadByteAt(text, 4));
}

TEST(Language, SwitchesTheRuntimeLocaleOnlyOnChange)
{
    ASSERT_EQ(currentLanguage(), 'E');
    setlocale(LC_ALL, "C");
    setLanguage('E'); // unchanged: the locale is not touched
    EXPECT_STREQ(setlocale(LC_ALL, nullptr), "C");

    CaptureStdout();
    setLanguage('J');
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(currentLanguage(), 'J');
    EXPECT_STREQ(setlocale(LC_ALL, nullptr), "Japanese_Japan.932");

    setLanguage('E');
    EXPECT_EQ(currentLanguage(), 'E');
    EXPECT_EQ(std::string(setlocale(LC_ALL, nullptr)).rfind("English", 0), 0u);
    setlocale(LC_ALL, "C");
}
