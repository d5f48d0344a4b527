#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "tests/harness.h"
#include "lib/messages.h"
#include "lib/facilities/process.h"
#include "tests/temp_folder.h"

namespace {

// The echo child beside this executable, quoted, with its arguments.
std::string echoChild(const std::string& arguments)
{
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string command(1, '"');
    command.append(self, size_t(strrchr(self, '\\') + 1 - self)).append("echo_child.exe\" ").append(arguments);
    return command;
}

// Polls until the condition holds or 10 s have passed.
template <typename Condition>
bool eventually(Condition condition)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < 10000; Sleep(5))
        if (condition())
            return true;
    return false;
}

// Everything the child writes until it ends; a child that does not end is killed,
// so that no test leaves a process behind.
std::string outputToTheEnd(LChildProcess& child)
{
    std::string output;
    char buffer[256];
    const bool ended = eventually([&] {
        const bool running = child.isRunning(); // asked first: what it wrote before ending is read below
        for (int32_t got; (got = child.read(buffer, sizeof buffer)) > 0;)
            output.append(buffer, size_t(got));
        return !running;
    });
    if (!ended) {
        child.kill();
        ADD_FAILURE() << "the child did not end";
    }
    return output;
}

} // namespace

TEST(ChildProcess, EchoesWithoutBlockingAndEndsWithItsExitCode)
{
    // 259 is STILL_ACTIVE: such a child must still be seen to end.
    for (uint32_t code : {7u, 259u}) {
        LChildProcess child;
        EXPECT_FALSE(child.isRunning());
        EXPECT_EQ(child.exitCode(), LChildProcess::kNotStarted);
        ASSERT_TRUE(child.start(echoChild(std::to_string(code)).c_str()));
        EXPECT_TRUE(child.isRunning());
        char buffer[8] = {};
        EXPECT_EQ(child.read(buffer, sizeof buffer), 0); // the child says nothing until it is told
        EXPECT_EQ(child.write("abcd", -1), 4);
        EXPECT_TRUE(eventually([&] { return child.available() == 4; }));
        EXPECT_EQ(child.read(buffer, 2), 2);
        EXPECT_EQ(child.read(buffer + 2, sizeof buffer - 2), 2);
        EXPECT_STREQ(buffer, "abcd");
        // A child that reads its input to the end finishes only once the input is closed.
        child.closeInput();
        EXPECT_EQ(outputToTheEnd(child), "");
        EXPECT_EQ(child.exitCode(), code);
    }
}

TEST(ChildProcess, GivesEachChildPipesOfItsOwnAndLetsGoOfIt)
{
    DWORD threads[2] = {};
    {
        LChildProcess bystander, child; // both pipes exist before either child starts
        ASSERT_TRUE(bystander.start(echoChild("0").c_str()));
        for (uint32_t round : {1u, 2u}) { // the second round starts the same object again
            ASSERT_TRUE(child.start(echoChild(std::to_string(round)).c_str()));
            threads[round - 1] = child.threadId();
            EXPECT_EQ(child.write("ping", 4), 4);
            child.closeInput();
            EXPECT_EQ(outputToTheEnd(child), "ping");
            EXPECT_EQ(child.exitCode(), round);
            EXPECT_EQ(child.available(), -1); // drained, and no other child holds the pipe open
        }
        bystander.closeInput();
        outputToTheEnd(bystander);
        // An ended thread lives on only while a handle to it is open.
        EXPECT_FALSE(LKernelHandle(OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, threads[0])).valid());
    }
    EXPECT_FALSE(LKernelHandle(OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, threads[1])).valid());
}

TEST(ChildProcess, RunsInTheGivenDirectoryWithStandardErrorInItsOutput)
{
    TempFolder folder;
    LChildProcess child;
    ASSERT_TRUE(child.start(echoChild("0 stderr cwd").c_str(), folder.path().c_str()));
    child.closeInput();
    EXPECT_EQ(outputToTheEnd(child), "to stderr" + folder.path() + "\n");
}

TEST(ChildProcess, ReportsACommandThatCannotStart)
{
    TempFolder folder;
    const std::string missing = folder / "missing";
    for (const auto& [command, directory, error] :
         {std::tuple{std::string("no-such-program-vexa.exe"), static_cast<const char*>(nullptr), DWORD(ERROR_FILE_NOT_FOUND)},
          {echoChild("0"), missing.c_str(), DWORD(ERROR_DIRECTORY)}}) {
        LChildProcess child;
        EXPECT_EQ(outputOf([&] { EXPECT_FALSE(child.start(command.c_str(), directory)); }),
                  "Error 17000: failed to start command '" + command + "': " + win32ErrorText(error).data() + "\n");
        EXPECT_EQ(child.exitCode(), LChildProcess::kNotStarted);
        EXPECT_FALSE(child.isRunning());
    }
}

TEST(ChildProcess, KillsARunningChildAndLeavesAnEndedOneAlone)
{
    LChildProcess child;
    EXPECT_EQ(outputOf([&] { EXPECT_FALSE(child.kill()); }).rfind("Error 17000: could not kill the child process: ", 0), 0u);
    ASSERT_TRUE(child.start(echoChild("5").c_str()));
    EXPECT_TRUE(child.kill());
    EXPECT_FALSE(child.isRunning());
    EXPECT_EQ(child.exitCode(), LChildProcess::kKilled);
    EXPECT_FALSE(child.sendBreak(false)); // nothing to send it to

    ASSERT_TRUE(child.start(echoChild("5").c_str()));
    child.closeInput();
    outputToTheEnd(child);
    EXPECT_TRUE(child.kill());
    EXPECT_EQ(child.exitCode(), 5u);
}

TEST(AnonymousPipe, IsOpenWhileItsReadEndIs)
{
    LAnonymPipe pipe;
    ASSERT_TRUE(pipe.isOpen());
    EXPECT_EQ(pipe.write("ab", 2), 2);
    pipe.closeWriteEnd();
    EXPECT_TRUE(pipe.isOpen()) << "what was written can still be read";
    char buffer[4];
    EXPECT_EQ(pipe.read(buffer, sizeof buffer), 2);
    LAnonymPipe writeOnly;
    writeOnly.closeReadEnd();
    EXPECT_FALSE(writeOnly.isOpen());
}

namespace {
std::vector<std::pair<DWORD, DWORD>> sentEvents;
BOOL WINAPI recordEvent(DWORD event, DWORD group)
{
    sentEvents.emplace_back(event, group);
    return TRUE;
}
} // namespace

TEST(ChildProcess, SendsCtrlCOrCtrlBreakAsAskedToItsGroup)
{
    LChildProcess child;
    ASSERT_TRUE(child.start(echoChild("0").c_str()));
    const ConsoleEventSender real = consoleEventSender();
    consoleEventSender() = recordEvent;
    sentEvents.clear();
    EXPECT_TRUE(child.sendBreak(true));
    EXPECT_TRUE(child.sendBreak(false));
    consoleEventSender() = real;
    const std::vector<std::pair<DWORD, DWORD>> expected{{CTRL_C_EVENT, child.processId()},
                                                        {CTRL_BREAK_EVENT, child.processId()}};
    EXPECT_EQ(sentEvents, expected);
    child.closeInput();
    outputToTheEnd(child);
}
