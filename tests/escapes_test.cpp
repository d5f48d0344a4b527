#include <gtest/gtest.h>

#include <random>
#include <string>

#include "lib/facilities/escapes.h"
#include "tests/harness.h"

namespace {

std::string str(const LString& text) { return std::string(text.data(), size_t(text.length())); }

// The rewritten text, then the count: "a\nb 1".
std::string escaped(const std::string& text, int32_t (*rewrite)(LString&) = escapeText)
{
    LString s(text.data(), int32_t(text.size()));
    const int32_t count = rewrite(s);
    return str(s) + " " + std::to_string(count);
}

std::string unescaped(const std::string& text) { return escaped(text, unescapeText); }

std::string printable(const std::string& text)
{
    LString shown;
    printableText(shown, LString(text.data(), int32_t(text.size())));
    return str(shown);
}

} // namespace

TEST(EscapeText, WritesControlCharactersAndBackslashesAsEscapes)
{
    EXPECT_EQ(escaped("a\r\nb"), "a\\nb 1");
    EXPECT_EQ(escaped("\t\x01\\"), "\\t\\x01\\\\ 3");
    EXPECT_EQ(escaped("\n\r"), "\\x0A\\x0D 2");
    EXPECT_EQ(escaped(std::string(1, '\0')), "\\x00 1");
    EXPECT_EQ(escaped("plain text, with ~ \x7F\xA9!"), "plain text, with ~ \x7F\xA9! 0");
    EXPECT_EQ(escaped(""), " 0");
}

TEST(UnescapeText, DecodesEverySequence)
{
    EXPECT_EQ(unescaped("ab\\x41c"), "abAc 1");
    EXPECT_EQ(unescaped("\\X41424"), "AB4 1");
    EXPECT_EQ(unescaped("\\f"), "\x0E 1");
    EXPECT_EQ(unescaped("\\\\\\n\\r\\t\\a\\e\\v"), "\\\r\n\r\t\x07\x1B\x0B 7");
    EXPECT_EQ(unescaped("\\x00\\xff"), std::string("\0\xFF 2", 4));
    EXPECT_EQ(unescaped("no escapes"), "no escapes 0");
}

TEST(UnescapeText, KeepsAndReportsMalformedEscapes)
{
    const struct {
        std::string text, decoded, warning;
    } cases[] = {
        {"\\q", "\\q 0", "'\\'+71"}, {"a\\", "a\\ 0", "'\\'+00"}, {"\\x4", "\\x4 0", "'\\x'+34+00"},
        {"\\x", "\\x 0", "'\\x'+00+00"}, {"\\xZZ1", "\\xZZ1 0", "'\\x'+5A+5A"}, {"\\X12G4", "\\X12G4 0", "'X12G4'"},
        {"\\X12", "\\X12 0", "'X12'"}, {"\\q\\t", "\\q\t 1", "'\\'+71"},
    };
    for (const auto& c : cases) {
        std::string decoded;
        EXPECT_EQ(outputOf([&] { decoded = unescaped(c.text); }), "Warning 35000: illegal escape: " + c.warning + "\n")
            << c.text;
        EXPECT_EQ(decoded, c.decoded);
    }
}

TEST(Escapes, RoundTripEveryByteAndEveryPairOfBytes)
{
    const auto roundTrip = [](const std::string& text) {
        LString s(text.data(), int32_t(text.size()));
        escapeText(s);
        for (int32_t i = 0; i < s.length(); ++i)
            if (uint8_t(s[i]) < 32)
                return std::string("control byte in the escaped text");
        unescapeText(s);
        return str(s);
    };
    std::string all;
    for (int byte = 0; byte < 256; ++byte)
        all += char(byte);
    for (int first = 0; first < 256; ++first) {
        for (int second = 0; second < 256; ++second) {
            const std::string pair{char(first), char(second)};
            ASSERT_EQ(roundTrip(pair), pair) << first << " " << second;
        }
        EXPECT_EQ(roundTrip(all.substr(size_t(first))), all.substr(size_t(first)));
    }
    std::mt19937 random(7);
    std::string noise(1 << 20, '\0');
    for (char& c : noise)
        c = char(random());
    EXPECT_EQ(roundTrip(noise), noise);
}

TEST(Escapes, KeepDoubleByteCharactersWhole)
{
    // 0x83 0x5C is one character in code page 932 whose trail byte is a backslash.
    const bool dbcs = ansiIs932();
    EXPECT_EQ(escaped("\x83\\"), dbcs ? "\x83\\ 0" : "\x83\\\\ 1");
    EXPECT_EQ(unescaped("\x83\\n"), dbcs ? "\x83\\n 0" : "\x83\r\n 1");
    // A lead byte without its trail byte is written as an escape in 932.
    EXPECT_EQ(escaped("\x83\n"), dbcs ? "\\x83\\x0A 2" : "\x83\\x0A 1");
    EXPECT_EQ(escaped("\x83"), dbcs ? "\\x83 1" : "\x83 0");
    EXPECT_EQ(printable("\x83\x60"), dbcs ? "\x83\x60" : "\x83\\x60");
    EXPECT_EQ(printable("\x83\n"), dbcs ? "\\x83\\n" : "\x83\\n");
}

TEST(PrintableText, ShowsControlAndAmbiguousBytesInHex)
{
    EXPECT_EQ(printable("`\xA0\\"), "\\x60\\xA0\\");
    EXPECT_EQ(printable("\r\n\t\x01\x7F\x80\xFE\xFF"), "\\r\\n\\t\\x01\\x7F\\x80\\xFE\\xFF");
    EXPECT_EQ(printable(std::string("a\0b", 3)), "a\\x00b");
    EXPECT_EQ(printable("Word_1 (x) + y!"), "Word_1 (x) + y!");
    LString shown("> ");
    printableText(shown, "abc\n", 2);
    printableText(shown, nullptr);
    printableText(shown, "\x83\x40", 1);
    EXPECT_EQ(str(shown), ansiIs932() ? "> ab\\x83" : "> ab\x83");
}
