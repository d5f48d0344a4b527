#include "tests/run_program.h"

#include <thread>

namespace {

struct OwnedHandle {
    HANDLE handle = nullptr;
    ~OwnedHandle() { close(); }
    void close()
    {
        if (handle)
            CloseHandle(handle);
        handle = nullptr;
    }
};

// Reads the pipe to its end and turns CR LF into LF.
std::string readAll(HANDLE pipe)
{
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0)
        text.append(buffer, got);
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at))
        text.erase(at, 1);
    return text;
}

// A pipe whose write end the child inherits; the read end stays ours alone.
bool makePipe(OwnedHandle& readEnd, OwnedHandle& writeEnd)
{
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    return CreatePipe(&readEnd.handle, &writeEnd.handle, &inheritable, 0) &&
           SetHandleInformation(readEnd.handle, HANDLE_FLAG_INHERIT, 0);
}

} // namespace

ProgramResult runProgram(const std::wstring& program, const std::wstring& arguments)
{
    ProgramResult result{DWORD(-1), {}, {}};
    OwnedHandle outRead, outWrite, errRead, errWrite;
    if (!makePipe(outRead, outWrite) || !makePipe(errRead, errWrite))
        return result;
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = outWrite.handle;
    startup.hStdError = errWrite.handle;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &process))
        return result;
    OwnedHandle processHandle{process.hProcess}, threadHandle{process.hThread};
    outWrite.close();
    errWrite.close();

    // Both pipes at once: a child blocked on a full one would never finish.
    std::thread errorReader([&] { result.errors = readAll(errRead.handle); });
    result.output = readAll(outRead.handle);
    errorReader.join();
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &result.exitCode);
    return result;
}
