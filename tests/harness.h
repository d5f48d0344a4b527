// What every test program shares, on Windows and in the native build: captured
// standard output, scenarios that end the process run in a child copy of the
// test program, and the Japanese message language for the length of a test.
#pragma once
#include <gtest/gtest.h>

#include <windows.h>

#include <clocale>
#include <string>

#include "lib/charset.h"

// Runs the call with standard output captured and returns what it wrote.
template <typename Call>
std::string outputOf(Call call)
{
    testing::internal::CaptureStdout();
    call();
    return testing::internal::GetCapturedStdout();
}

struct ChildResult {
    DWORD exitCode;     // -1 when the child could not be started
    std::string output; // everything the child wrote to standard output, CR LF as LF
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

class JapaneseMessages {
public:
    JapaneseMessages() { setLanguage('J'); }
    ~JapaneseMessages()
    {
        setLanguage('E');
        setlocale(LC_ALL, "C");
    }
    JapaneseMessages(const JapaneseMessages&) = delete;
    JapaneseMessages& operator=(const JapaneseMessages&) = delete;
};

// Code page 932 bytes read back as UTF-16, so that Japanese messages compare
// with their characters.
inline std::wstring fromCodePage932(const std::string& bytes)
{
    std::wstring wide(bytes.size() + 1, L'\0');
    const int n = MultiByteToWideChar(932, 0, bytes.data(), int(bytes.size()), wide.data(), int(wide.size()));
    wide.resize(size_t(n > 0 ? n : 0));
    return wide;
}

inline bool ansiIs932() { return GetACP() == 932; }
