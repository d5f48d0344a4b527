// Runs a scenario of this test executable in a child process: for behaviour that
// ends the process (internal errors, fatal messages), or another program the test
// needs beside it.
#pragma once
#include <windows.h>

#include <string>

struct ChildResult {
    DWORD exitCode;
    std::string output; // everything the child wrote to standard output
};

using ChildScenario = void (*)();

// Runs the named scenario in a fresh copy of this executable and waits for it.
ChildResult runChildScenario(const char* name);

// A scenario running beside the test, with its standard input and output piped
// to the test. The scenario learns that it should end when its input closes (as
// it also does when the test dies); the object closes it on going, and ends the
// child should it not follow within a few seconds.
class RunningScenario {
public:
    explicit RunningScenario(const char* name);
    ~RunningScenario();
    RunningScenario(const RunningScenario&) = delete;
    RunningScenario& operator=(const RunningScenario&) = delete;
    // The child's next line of output without its line end; false when none
    // comes within the time.
    bool readLine(std::string& line, DWORD timeoutMs);
    // Writes a line to the child's standard input.
    bool writeLine(const std::string& line);

private:
    HANDLE process_ = nullptr;
    HANDLE input_ = nullptr;  // the write end of the child's standard input
    HANDLE output_ = nullptr; // the read end of its standard output
    std::string pending_;
};

// Called from main: runs the scenario named by "--child=NAME" and returns true.
bool runScenarioFromCommandLine(int argc, char** argv);

struct ChildScenarioRegistration {
    ChildScenarioRegistration(const char* name, ChildScenario scenario);
};

// Defines a scenario: CHILD_SCENARIO(Name) { ...code that ends the process... }
#define CHILD_SCENARIO(name)                                                        \
    static void name##Scenario();                                                   \
    static const ChildScenarioRegistration name##Registration(#name, name##Scenario); \
    static void name##Scenario()
