// Runs another program with a command line and collects what it writes.
#pragma once
#include <windows.h>

#include <string>

struct ProgramResult {
    DWORD exitCode;     // -1 when the program could not be started
    std::string output; // standard output, CR LF turned into LF
    std::string errors; // standard error, likewise
};

// Runs the program (a full path) with the arguments and waits for it.
ProgramResult runProgram(const std::wstring& program, const std::wstring& arguments);
