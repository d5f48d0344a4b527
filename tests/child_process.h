// Runs a scenario of this test executable in a child process, for behaviour that
// ends the process (internal errors, fatal messages).
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
