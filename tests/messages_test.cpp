#include <gtest/gtest.h>

#include <windows.h>

#include <cerrno>
#include <string>

#include "tests/harness.h"
#include "lib/messages.h"

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

// Posts one message through a fresh reporter and returns what it wrote.
std::string written(LMessenger& reporter, int number, const char* text)
{
    CaptureStdout();
    reporter.post(number, "%s", text);
    return GetCapturedStdout();
}

} // namespace

TEST(MessageLine, CarriesKindAndNumber)
{
    LMessenger reporter;
    EXPECT_EQ(written(reporter, 35000, "failed to set locale to jpn"),
              "Warning 35000: failed to set locale to jpn\n");
    EXPECT_EQ(written(reporter, 0, "plain"), "Message 0: plain");
    EXPECT_EQ(written(reporter, -5, "negative"), "Error -5: negative");
    EXPECT_EQ(written(reporter, 1, "low"), "Error 1: low\n");
    EXPECT_EQ(written(reporter, 15000, "bad"), "Error 15000: bad\n");
    EXPECT_EQ(written(reporter, 20000, "w"), "Warning 20000: w\n");
    EXPECT_EQ(written(reporter, 39998, "w"), "Warning 39998: w\n");
    EXPECT_EQ(written(reporter, 39999, "n"), "Note 39999: n\n");
    EXPECT_EQ(written(reporter, 40000, "n"), "Note 40000: n\n");
}

TEST(MessageCounts, FollowTheNumberRanges)
{
    LMessenger reporter;
    CaptureStdout();
    reporter.post(1, "not counted");
    reporter.post(9999, "not counted");
    reporter.post(20000, "not counted");
    reporter.post(40000, "not counted");
    EXPECT_EQ(reporter.problemCount(), 0);
    reporter.post(10000, "error");
    reporter.post(19999, "error");
    EXPECT_EQ(reporter.errorCount(), 2);
    reporter.post(30000, "warning");
    reporter.post(39999, "note counted as a warning");
    EXPECT_EQ(reporter.errorCount(), 2);
    EXPECT_EQ(reporter.problemCount(), 4);
    GetCapturedStdout();
}

TEST(MessageResult, IsTheLengthOfTheText)
{
    LMessenger reporter;
    CaptureStdout();
    EXPECT_EQ(reporter.post(35000, "abc %d", 42), 6);
    GetCapturedStdout();
}

TEST(MessageSuppression, DropsSuppressedNumbersSilently)
{
    LMessenger reporter;
    reporter.suppress(35001);
    EXPECT_TRUE(reporter.isSuppressed(35001));
    CaptureStdout();
    EXPECT_EQ(reporter.post(35001, "hidden"), 0);
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(reporter.problemCount(), 0);
    EXPECT_FALSE(reporter.isSuppressed(0));
    EXPECT_FALSE(reporter.isSuppressed(35002));
}

TEST(MessageSuppression, RefusesGroupNumbers)
{
    LMessenger reporter;
    CaptureStdout();
    reporter.suppress(15000);
    EXPECT_EQ(GetCapturedStdout(), "Error 15000: cannot supress message 15000\n");
    EXPECT_FALSE(reporter.isSuppressed(15000));
    reporter.suppress(15001);
    EXPECT_TRUE(reporter.isSuppressed(15001));
}

TEST(MessageQuiet, DropsWarningsWhileQuiet)
{
    LMessenger reporter;
    reporter.beginQuiet();
    CaptureStdout();
    EXPECT_EQ(reporter.post(35000, "dropped"), 0);
    EXPECT_EQ(reporter.post(39999, "dropped"), 0);
    reporter.post(20000, "kept");
    reporter.post(15000, "kept");
    EXPECT_EQ(GetCapturedStdout(), "Warning 20000: kept\nError 15000: kept\n");
    EXPECT_EQ(reporter.problemCount(), 1);
    reporter.endQuiet();
    CaptureStdout();
    reporter.post(35000, "again");
    EXPECT_EQ(GetCapturedStdout(), "Warning 35000: again\n");
}

TEST(MessageExplanation, AppendsTheSystemTextOfTheLastError)
{
    LMessenger reporter;
    CaptureStdout();
    SetLastError(ERROR_FILE_NOT_FOUND);
    reporter.post(17000, "OpenClipboard() failed");
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND)) << "reporting keeps the last error";
    const std::string line = GetCapturedStdout();
    const std::string start = "Error 17000: OpenClipboard() failed: ";
    ASSERT_EQ(line.rfind(start, 0), 0u) << line;
    EXPECT_GT(line.size(), start.size() + 1);
    EXPECT_EQ(line.find('\r'), std::string::npos);
    EXPECT_EQ(line.find('\n'), line.size() - 1) << "the system's line breaks are removed";

    CaptureStdout();
    SetLastError(0x2000FFFF); // a code the system has no text for
    reporter.post(37000, "call");
    EXPECT_EQ(GetCapturedStdout(), "Warning 37000: call: (no message)\n");
}

TEST(MessageExplanation, AppendsTheErrnoText)
{
    LMessenger reporter;
    errno = ENOENT;
    const std::string expected = std::string("Error 17100: rename(): errno=2: ") + strerror(ENOENT) + "\n";
    errno = ENOENT;
    EXPECT_EQ(written(reporter, 17100, "rename()"), expected);
}

TEST(Win32ErrorText, RemovesLineBreaks)
{
    const LString text = win32ErrorText(ERROR_ACCESS_DENIED);
    EXPECT_GT(text.length(), 0);
    EXPECT_EQ(std::string(text.data()).find("\r\n"), std::string::npos);
    EXPECT_STREQ(win32ErrorText(0x2000FFFF).data(), "(no message)");
}

TEST(DescribeVariant, NamesTypeAndValue)
{
    VARIANT value;
    VariantInit(&value);
    EXPECT_STREQ(describeVariant(value).data(), "EMPTY");
    V_VT(&value) = VT_NULL;
    EXPECT_STREQ(describeVariant(value).data(), "NULL");
    V_VT(&value) = VT_I2;
    V_I2(&value) = -3;
    EXPECT_STREQ(describeVariant(value).data(), "I2:-3");
    V_VT(&value) = VT_I4;
    V_I4(&value) = 70000;
    EXPECT_STREQ(describeVariant(value).data(), "I4:70000");
    V_VT(&value) = VT_BSTR;
    V_BSTR(&value) = const_cast<BSTR>(L"text");
    EXPECT_STREQ(describeVariant(value).data(), "BSTR:text");
    V_VT(&value) = VT_DISPATCH;
    EXPECT_STREQ(describeVariant(value).data(), "DISPATCH");
    V_VT(&value) = VT_VARIANT;
    EXPECT_STREQ(describeVariant(value).data(), "VARIANT");
    V_VT(&value) = VT_BYREF | VT_I4;
    EXPECT_STREQ(describeVariant(value).data(), "(vt=16387/4003h)");
}

TEST(ProcessWideReporter, IsCreatedOnFirstUseAndCounts)
{
    LMessenger& reporter = messenger();
    EXPECT_EQ(&reporter, &messenger());
    const int before = reporter.problemCount();
    CaptureStdout();
    EXPECT_EQ(message(35000, "hello %s", "world"), 11);
    EXPECT_EQ(GetCapturedStdout(), "Warning 35000: hello world\n");
    EXPECT_EQ(reporter.problemCount(), before + 1);
}

CHILD_SCENARIO(FatalReporterEndsOnError)
{
    LMessenger reporter(1);
    reporter.post(19999, "never fatal");
    reporter.post(15000, "fatal");
    reporter.post(15000, "not reached");
}

TEST(MessageFatal, ErrorsEndTheProcessWhenTheFlagIsSet)
{
    const ChildResult child = runChildScenario("FatalReporterEndsOnError");
    EXPECT_EQ(child.exitCode, 2u);
    EXPECT_EQ(child.output, "Error 19999: never fatal\nError 15000: fatal\n");
}
