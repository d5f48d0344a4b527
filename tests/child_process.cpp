#include "tests/child_process.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct OwnedHandle {
    HANDLE handle = nullptr;
    ~OwnedHandle()
    {
        if (handle && handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    }
};

std::string readAll(HANDLE pipe)
{
    std::string output;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0)
        output.append(buffer, got);
    return output;
}

} // namespace

ChildResult runChildScenario(const char* name)
{
    ChildResult result{DWORD(-1), {}};
    char self[MAX_PATH];
    if (!GetModuleFileNameA(nullptr, self, sizeof self))
        return result;
    std::string commandLine = std::string("\"") + self + "\" --child=" + name;

    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    OwnedHandle readEnd, writeEnd;
    if (!CreatePipe(&readEnd.handle, &writeEnd.handle, &inheritable, 0))
        return result;
    SetHandleInformation(readEnd.handle, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd.handle;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(self, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &process))
        return result;
    OwnedHandle processHandle{process.hProcess}, threadHandle{process.hThread};
    CloseHandle(writeEnd.handle);
    writeEnd.handle = nullptr;

    // The child's standard output is in text mode: lines end in CR LF there.
    result.output = readAll(readEnd.handle);
    for (size_t at = result.output.find("\r\n"); at != std::string::npos; at = result.output.find("\r\n", at))
        result.output.erase(at, 1);
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &result.exitCode);
    return result;
}
