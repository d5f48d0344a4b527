// The native build's stand-in code-page conversions (native/code_pages.cpp)
// against the system's own, unit by unit and byte by byte, for the code pages
// the stand-in offers. Runs in the Windows build only.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "native/code_pages.h"

namespace {

std::string hexOf(const std::string& bytes)
{
    std::string text;
    char digits[4];
    for (unsigned char byte : bytes) {
        snprintf(digits, sizeof digits, "%02X ", byte);
        text += digits;
    }
    return text;
}

std::u16string systemUnits(unsigned codePage, const std::string& bytes)
{
    wchar_t out[64];
    const int n = MultiByteToWideChar(codePage, 0, bytes.data(), int(bytes.size()), out, 64);
    return std::u16string(out, out + (n > 0 ? n : 0));
}

std::u16string standinUnits(unsigned codePage, const std::string& bytes)
{
    uint16_t out[64];
    const int n = standin::bytesToUnits(codePage, bytes.data(), int(bytes.size()), out, 64);
    return std::u16string(out, out + (n > 0 ? n : 0));
}

struct Narrowed {
    std::string bytes;
    bool usedDefault;
    bool operator==(const Narrowed&) const = default;
};

Narrowed systemBytes(unsigned codePage, const std::u16string& units)
{
    char out[64];
    BOOL usedDefault = FALSE;
    const bool utf8 = codePage == standin::kCodePageUtf8;
    const int n = WideCharToMultiByte(codePage, utf8 ? 0 : WC_NO_BEST_FIT_CHARS,
                                      reinterpret_cast<const wchar_t*>(units.data()), int(units.size()), out, 64,
                                      nullptr, utf8 ? nullptr : &usedDefault);
    return {std::string(out, size_t(n > 0 ? n : 0)), usedDefault != FALSE};
}

Narrowed standinBytes(unsigned codePage, const std::u16string& units)
{
    char out[64];
    bool usedDefault = false;
    const int n = standin::unitsToBytes(codePage, reinterpret_cast<const uint16_t*>(units.data()),
                                        int(units.size()), out, 64, &usedDefault);
    return {std::string(out, size_t(n > 0 ? n : 0)), usedDefault};
}

// Counts mismatches and shows the first few, so one wrong rule does not flood the log.
class Mismatches {
public:
    void check(bool same, const std::string& what)
    {
        if (same)
            return;
        if (++count_ <= 10)
            ADD_FAILURE() << what;
    }
    int count() const { return count_; }

private:
    int count_ = 0;
};

} // namespace

TEST(StandInCodePages, DecodeEveryByteOf1252AsTheSystem)
{
    Mismatches mismatches;
    for (int byte = 0; byte < 256; ++byte) {
        const std::string text(1, char(byte));
        mismatches.check(standinUnits(1252, text) == systemUnits(1252, text), hexOf(text));
    }
    EXPECT_EQ(mismatches.count(), 0);
}

TEST(StandInCodePages, EncodeEveryUnitInto1252AsTheSystem)
{
    Mismatches mismatches;
    for (unsigned unit = 0; unit < 0x10000; ++unit) {
        const std::u16string text(1, char16_t(unit));
        mismatches.check(standinBytes(1252, text) == systemBytes(1252, text), "unit " + std::to_string(unit));
    }
    const std::u16string pair = u"\xD83D\xDE00";
    EXPECT_EQ(standinBytes(1252, pair), systemBytes(1252, pair));
    EXPECT_EQ(mismatches.count(), 0);
}

TEST(StandInCodePages, DecodeUtf8SequencesAsTheSystem)
{
    // Every lead and second byte, with continuation and breaking bytes after
    // them, alone, cut off at the end and followed by more text.
    const unsigned char later[] = {0x41, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0};
    Mismatches mismatches;
    for (int lead = 0; lead < 256; ++lead)
        for (int second = 0; second < 256; ++second)
            for (unsigned char third : later)
                for (unsigned char fourth : later) {
                    const std::string sequence{char(lead), char(second), char(third), char(fourth)};
                    for (size_t length = 1; length <= 4; ++length) {
                        if (length < 4 && fourth != 0x41)
                            continue; // the shorter texts do not reach the fourth byte
                        if (length < 3 && third != 0x41)
                            continue;
                        const std::string cut = sequence.substr(0, length);
                        mismatches.check(standinUnits(65001, cut) == systemUnits(65001, cut), hexOf(cut));
                        const std::string inText = "a" + cut + "z";
                        mismatches.check(standinUnits(65001, inText) == systemUnits(65001, inText), hexOf(inText));
                    }
                }
    EXPECT_EQ(mismatches.count(), 0);
}

TEST(StandInCodePages, EncodeEveryUnitAndSurrogateIntoUtf8AsTheSystem)
{
    Mismatches mismatches;
    for (unsigned unit = 0; unit < 0x10000; ++unit) {
        const std::u16string alone(1, char16_t(unit));
        mismatches.check(standinBytes(65001, alone) == systemBytes(65001, alone), "unit " + std::to_string(unit));
        const std::u16string inText = u"a" + alone + u"z";
        mismatches.check(standinBytes(65001, inText) == systemBytes(65001, inText), "unit " + std::to_string(unit));
    }
    for (unsigned high = 0xD800; high <= 0xDBFF; ++high)
        for (unsigned low : {0xDC00u, 0xDD55u, 0xDFFFu, 0xD800u, 0x41u}) {
            const std::u16string pair{char16_t(high), char16_t(low)};
            mismatches.check(standinBytes(65001, pair) == systemBytes(65001, pair), "pair " + std::to_string(high));
        }
    EXPECT_EQ(mismatches.count(), 0);
}

TEST(StandInCodePages, AnswerLengthQueriesAndRefuseWhatTheyDoNotOffer)
{
    EXPECT_EQ(standin::bytesToUnits(65001, "a\xF0\x9F\x98\x80", 5, nullptr, 0),
              MultiByteToWideChar(65001, 0, "a\xF0\x9F\x98\x80", 5, nullptr, 0));
    EXPECT_EQ(standin::bytesToUnits(1252, "abc", -1, nullptr, 0), MultiByteToWideChar(1252, 0, "abc", -1, nullptr, 0));
    uint16_t small[2];
    EXPECT_EQ(standin::bytesToUnits(1252, "abc", 3, small, 2), 0);
    EXPECT_EQ(standin::bytesToUnits(932, "abc", 3, small, 2), 0);
    EXPECT_FALSE(standin::supportsCodePage(932));
}

TEST(StandInCodePages, KnowTheLeadBytesOf932AsTheSystem)
{
    CPINFO info{};
    ASSERT_TRUE(GetCPInfo(932, &info));
    const unsigned char* ranges = standin::leadByteRanges(932);
    ASSERT_NE(ranges, nullptr);
    for (int i = 0; i < MAX_LEADBYTES; ++i) {
        EXPECT_EQ(ranges[i], info.LeadByte[i]) << i;
        if (!info.LeadByte[i] && !ranges[i] && i % 2 == 0)
            break;
    }
    EXPECT_EQ(standin::leadByteRanges(1252), nullptr);
}
