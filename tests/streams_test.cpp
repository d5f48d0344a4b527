#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <string>

#include "tests/harness.h"
#include "lib/facilities/files.h"
#include "lib/messages.h"
#include "lib/facilities/streams.h"
#include "tests/temp_folder.h"

namespace {

std::string str(const LString& text) { return std::string(text.data(), size_t(text.length())); }

using SignalHandler = void (*)(int);

SignalHandler interruptHandler()
{
    const SignalHandler handler = signal(SIGINT, SIG_DFL);
    signal(SIGINT, handler);
    return handler;
}

void onInterrupt(int) {}

} // namespace

TEST(FileStream, OpensInEachModeAtTheRightPlace)
{
    TempFolder folder;
    const std::string path = folder / "file.txt";
    const struct {
        char mode;
        const char* before; // null: no file
        int64_t openedAt;
        const char *written, *after;
    } cases[] = {
        {'r', "12345", 0, "", "12345"}, {'w', "12345", 0, "ab", "ab"}, {'w', nullptr, 0, "ab", "ab"},
        {'a', "12345", 5, "67", "1234567"}, {'a', nullptr, 0, "67", "67"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.mode << " " << (c.before ? c.before : "(none)"));
        DeleteFileA(path.c_str());
        if (c.before)
            writeFile(path, c.before);
        LFileStream stream(std::string(path).c_str(), c.mode); // the name must outlive its text
        ASSERT_TRUE(stream.isOpen());
        EXPECT_EQ(stream.name(), path);
        EXPECT_EQ(stream.position(), c.openedAt);
        EXPECT_EQ(stream.write(c.written, -1), int32_t(strlen(c.written)));
        EXPECT_EQ(stream.seek(-1), int64_t(strlen(c.after)));
        stream.close();
        EXPECT_EQ(readFile(path), c.after);
    }
    LFileStream stream(path.c_str(), 'a');
    EXPECT_EQ(stream.seek(1), 1);
    EXPECT_TRUE(stream.truncate(-1));
    EXPECT_TRUE(stream.truncate(4)); // beyond the end: the file grows
    stream.close();
    EXPECT_EQ(readFile(path), std::string("6\0\0\0", 4));
}

TEST(FileStream, ReportsAMissingFileOnlyWhenAsked)
{
    TempFolder folder;
    const std::string path = folder / "missing.txt", reason = str(win32ErrorText(ERROR_FILE_NOT_FOUND));
    LFileStream stream;
    EXPECT_EQ(outputOf([&] { EXPECT_EQ(stream.open(path.c_str(), 'r'), 1); }), "");
    EXPECT_EQ(outputOf([&] { EXPECT_EQ(stream.open(path.c_str(), 'r', true), 1); }),
              "Error 17000: cannot open " + path + ": " + reason + "\n");
    char buffer[4];
    EXPECT_EQ(stream.read(buffer, 4) + stream.write("x", 1), 0);
    EXPECT_EQ(stream.seek(5), 0);
    EXPECT_EQ(stream.position(), 0);
    EXPECT_EQ(outputOf([&] { EXPECT_FALSE(stream.truncate(0)); }).rfind("Error 17000: SetEndOfFile(): ", 0), 0u);
}

TEST(FileStream, IgnoresCtrlCWhileAProtectedFileIsWritten)
{
    TempFolder folder;
    writeFile(folder / "r", "x");
    signal(SIGINT, onInterrupt);
    {
        LFileStream reader((folder / "r").c_str(), 'r', false, true);
        EXPECT_EQ(interruptHandler(), onInterrupt); // reading needs no protection
        LFileStream first((folder / "a").c_str(), 'w', false, true), second((folder / "b").c_str(), 'a', false, true);
        EXPECT_EQ(interruptHandler(), SIG_IGN);
        first.close();
        EXPECT_EQ(interruptHandler(), SIG_IGN); // the second file is still being written
        LFileStream failed((folder / "none\\c").c_str(), 'w', false, true);
        EXPECT_EQ(failed.protection(), 1); // nothing being written, nothing protected
    }
    EXPECT_EQ(interruptHandler(), onInterrupt); // the program's own handler, not the default
    signal(SIGINT, SIG_DFL);
}

TEST(FileStream, AddressesFilesBeyondFourGigabytes)
{
    TempFolder folder;
    const int64_t distant = (int64_t(5) << 30) + 3; // 3 in 32 bits
    LFileStream stream((folder / "big").c_str(), 'w');
    EXPECT_EQ(stream.seek(distant), distant); // the gap stays sparse
    EXPECT_EQ(stream.write("far", 3), 3);
    EXPECT_EQ(stream.position(), distant + 3);
    stream.close();
    EXPECT_EQ(FFileSize((folder / "big").c_str()), distant + 3);
    stream.open((folder / "big").c_str(), 'r');
    char buffer[4] = {};
    EXPECT_EQ(stream.seek(distant), distant);
    EXPECT_EQ(stream.read(buffer, 3), 3);
    EXPECT_STREQ(buffer, "far");
}

TEST(MemoryAndStringStreams, ReadAStringAndWriteOne)
{
    const LString source("hello");
    LMemoryStream reader(source);
    char buffer[4] = {};
    for (int32_t expected : {3, 2, 0})
        EXPECT_EQ(reader.read(buffer, 3), expected);
    EXPECT_EQ(reader.seek(6), 5); // beyond the end: unchanged
    EXPECT_EQ(reader.seek(1), 1);
    EXPECT_EQ(reader.read(buffer, 3), 3);
    EXPECT_STREQ(buffer, "ell");

    LString target("x");
    LStringStream writer(target);
    EXPECT_EQ(writer.write("abc", -1) + writer.write("defg", 2) + writer.write(nullptr, -1), 5);
    EXPECT_EQ(writer.seek(9), 6);
    EXPECT_EQ(writer.seek(2), 2);
    EXPECT_EQ(str(target), "xa");
}

TEST(MailslotStream, DeliversToTheServerAndGivesUpOnAFullOne)
{
    const std::string name = "vexa-test-" + std::to_string(GetCurrentProcessId());
    LMailslotStream missing(name.c_str());
    EXPECT_TRUE(missing.isOpen()) << "a mailslot stream always counts as open";
    EXPECT_EQ(outputOf([&] { EXPECT_EQ(missing.write("hello", -1), 0); }), "");

    // Messages of at most 16 bytes that nobody reads: bigger ones are refused, or
    // fill the mailslot up.
    LFileHandle server(CreateMailslotA(("\\\\.\\mailslot\\" + name).c_str(), 16, 0, nullptr));
    LMailslotStream stream(name.c_str());
    ASSERT_TRUE(stream.isOpen());
    EXPECT_EQ(stream.write("hello", -1), 5);
    char received[16];
    DWORD got = 0;
    ASSERT_TRUE(ReadFile(server.get(), received, sizeof received, &got, nullptr));
    EXPECT_EQ(std::string(received, got), "hello");
    stream.close(); // the handle stays until the stream goes
    EXPECT_EQ(stream.write("again", -1), 5);
    ASSERT_TRUE(ReadFile(server.get(), received, sizeof received, &got, nullptr));

    const std::string big(60000, 'x');
    int32_t written = int32_t(big.size());
    DWORD took = 0;
    for (int i = 0; i < 20 && written == int32_t(big.size()); ++i) {
        const DWORD start = GetTickCount();
        written = stream.write(big.data(), written);
        took = GetTickCount() - start;
    }
    EXPECT_LT(written, int32_t(big.size()));
    EXPECT_LT(took, 3000u); // ten short attempts, not a wait for a reader
}
