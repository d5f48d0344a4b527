#include "child_process.h"

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

constexpr DWORD kEndingTimeoutMs = 10000;

// This executable's command line for the scenario; empty when its path is unknown.
std::string scenarioCommandLine(const char* name, char (&self)[MAX_PATH])
{
    if (!GetModuleFileNameA(nullptr, self, sizeof self))
        return {};
    return std::string("\"") + self + "\" --child=" + name;
}

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
    std::string commandLine = scenarioCommandLine(name, self);
    if (commandLine.empty())
        return result;

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

RunningScenario::RunningScenario(const char* name)
{
    char self[MAX_PATH];
    std::string commandLine = scenarioCommandLine(name, self);
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    OwnedHandle childInput, childOutput;
    if (commandLine.empty() || !CreatePipe(&childInput.handle, &input_, &inheritable, 0) ||
        !CreatePipe(&output_, &childOutput.handle, &inheritable, 0))
        return;
    // Only the child's ends cross: a copy of ours elsewhere would keep its input open.
    SetHandleInformation(input_, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(output_, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childInput.handle;
    startup.hStdOutput = childOutput.handle;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(self, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &process))
        return;
    CloseHandle(process.hThread);
    process_ = process.hProcess;
}

RunningScenario::~RunningScenario()
{
    if (input_)
        CloseHandle(input_);
    if (process_) {
        if (WaitForSingleObject(process_, kEndingTimeoutMs) != WAIT_OBJECT_0)
            TerminateProcess(process_, 1);
        CloseHandle(process_);
    }
    if (output_)
        CloseHandle(output_);
}

bool RunningScenario::readLine(std::string& line, DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        const size_t end = pending_.find('\n');
        if (end != std::string::npos) {
            line = pending_.substr(0, end && pending_[end - 1] == '\r' ? end - 1 : end);
            pending_.erase(0, end + 1);
            return true;
        }
        DWORD available = 0;
        if (!output_ || !PeekNamedPipe(output_, nullptr, 0, nullptr, &available, nullptr))
            return false;
        if (available == 0) {
            if (GetTickCount64() > deadline)
                return false;
            Sleep(5);
            continue;
        }
        char buffer[4096];
        DWORD got = 0;
        if (!ReadFile(output_, buffer, available < sizeof buffer ? available : sizeof buffer, &got, nullptr))
            return false;
        pending_.append(buffer, got);
    }
}

bool RunningScenario::writeLine(const std::string& line)
{
    const std::string text = line + "\n";
    DWORD written = 0;
    return input_ && WriteFile(input_, text.data(), DWORD(text.size()), &written, nullptr) && written == text.size();
}
