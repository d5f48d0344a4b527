#include "lib/facilities/process.h"

#include "lib/messages.h"

namespace {

// Long enough for the system to tear down a terminated process.
constexpr DWORD kKillWaitMs = 5000;

// Makes the child's pipe ends inheritable for the moment of its start only, so
// that no child started later inherits them too.
class InheritableWhileStarting {
public:
    InheritableWhileStarting(HANDLE input, HANDLE output) : handles_{input, output}
    {
        ready_ = mark(HANDLE_FLAG_INHERIT);
        if (!ready_)
            message(kMsgWin32Error, "SetHandleInformation()");
    }
    ~InheritableWhileStarting()
    {
        const DWORD lastError = GetLastError();
        mark(0);
        SetLastError(lastError);
    }
    InheritableWhileStarting(const InheritableWhileStarting&) = delete;
    InheritableWhileStarting& operator=(const InheritableWhileStarting&) = delete;
    bool ready() const { return ready_; }

private:
    bool mark(DWORD flags)
    {
        bool marked = true;
        for (HANDLE handle : handles_)
            marked = SetHandleInformation(handle, HANDLE_FLAG_INHERIT, flags) && marked;
        return marked;
    }

    HANDLE handles_[2];
    bool ready_;
};

} // namespace

// ------------------------------------------------------------ LAnonymPipe

bool LAnonymPipe::create()
{
    close();
    HANDLE readEnd = INVALID_HANDLE_VALUE, writeEnd = INVALID_HANDLE_VALUE;
    if (!CreatePipe(&readEnd, &writeEnd, nullptr, 0)) {
        message(kMsgWin32Error, "CreatePipe()");
        return false;
    }
    readEnd_.reset(readEnd);
    writeEnd_.reset(writeEnd);
    return true;
}

int32_t LAnonymPipe::available() const
{
    DWORD waiting = 0;
    if (!readEnd_ || !PeekNamedPipe(readEnd_.get(), nullptr, 0, nullptr, &waiting, nullptr))
        return -1;
    return waiting > INT32_MAX ? INT32_MAX : int32_t(waiting);
}

int32_t LAnonymPipe::read(void* buffer, int32_t count)
{
    if (!readEnd_ || !buffer || count <= 0)
        return 0;
    const int32_t waiting = available();
    const int32_t n = waiting < count ? waiting : count;
    if (n <= 0)
        return 0;
    DWORD got = 0;
    if (!ReadFile(readEnd_.get(), buffer, DWORD(n), &got, nullptr)) {
        message(kMsgWin32Error, "LAnonymPipe: ReadFile()");
        return 0;
    }
    return int32_t(got);
}

int32_t LAnonymPipe::write(const void* buffer, int32_t count)
{
    count = streamWriteCount(buffer, count);
    if (!writeEnd_ || count <= 0)
        return 0;
    DWORD written = 0;
    if (!WriteFile(writeEnd_.get(), buffer, DWORD(count), &written, nullptr))
        message(kMsgWin32Error, "LAnonymPipe: WriteFile()");
    return int32_t(written);
}

void LAnonymPipe::closeWriteEnd()
{
    if (!writeEnd_.reset())
        message(kMsgWin32Error, "CloseHandle( writeHandle )");
}

void LAnonymPipe::closeReadEnd()
{
    if (!readEnd_.reset())
        message(kMsgWin32Error, "CloseHandle( readHandle )");
}

void LAnonymPipe::close()
{
    closeWriteEnd();
    closeReadEnd();
}

// ------------------------------------------------------------ LChildProcess

bool LChildProcess::start(const char* commandLine, const char* currentDirectory)
{
    // A previous start gave its child the pipes' other ends: a new child gets new pipes.
    if (!input_.hasBothEnds() || !output_.hasBothEnds()) {
        input_.create();
        output_.create();
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    startup.hStdInput = input_.readHandle();
    startup.hStdOutput = output_.writeHandle();
    startup.hStdError = output_.writeHandle();
    // The system may write into the command line: it gets a copy of its own.
    LString line(commandLine ? commandLine : "");
    PROCESS_INFORMATION info{};
    bool started = false;
    if (input_.hasBothEnds() && output_.hasBothEnds()) {
        InheritableWhileStarting inheritable(input_.readHandle(), output_.writeHandle());
        started = inheritable.ready() && CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE,
                                                        CREATE_NEW_PROCESS_GROUP, nullptr, currentDirectory,
                                                        &startup, &info);
    } else {
        SetLastError(ERROR_INVALID_HANDLE);
    }
    if (!started) {
        message(kMsgWin32Error, "failed to start command '%s'", line.data());
        exitCode_ = kNotStarted;
        return false;
    }
    process_.adopt(info);
    exitCode_ = STILL_ACTIVE;
    // The child holds its ends now; ours would keep the pipes open after it ends.
    input_.closeReadEnd();
    output_.closeWriteEnd();
    return true;
}

bool LChildProcess::isRunning()
{
    if (!process_.process)
        return false;
    // Asked of the process itself: a child may well end with exit code 259.
    const DWORD state = WaitForSingleObject(process_.process.get(), 0);
    if (state == WAIT_TIMEOUT) {
        exitCode_ = STILL_ACTIVE;
        return true;
    }
    DWORD code = 0;
    if (state != WAIT_OBJECT_0 || !GetExitCodeProcess(process_.process.get(), &code)) {
        message(kMsgWin32Error, "GetExitCodeProcess()");
        return false;
    }
    exitCode_ = code;
    return false;
}

ConsoleEventSender& consoleEventSender()
{
    static ConsoleEventSender sender = GenerateConsoleCtrlEvent;
    return sender;
}

bool LChildProcess::sendBreak(bool ctrlC)
{
    if (!isRunning())
        return false;
    SetLastError(0);
    return consoleEventSender()(ctrlC ? CTRL_C_EVENT : CTRL_BREAK_EVENT, process_.processId) != FALSE;
}

bool LChildProcess::kill()
{
    if (!process_.process) {
        SetLastError(ERROR_INVALID_HANDLE);
        message(kMsgWin32Error, "could not kill the child process");
        return false;
    }
    if (!isRunning())
        return true;
    if (!TerminateProcess(process_.process.get(), kKilled)) {
        const DWORD error = GetLastError();
        if (!isRunning())
            return true; // it ended by itself meanwhile
        SetLastError(error);
        message(kMsgWin32Error, "could not kill the child process");
        return false;
    }
    WaitForSingleObject(process_.process.get(), kKillWaitMs);
    isRunning();
    return true;
}

int32_t LChildProcess::read(void* buffer, int32_t count) { return output_.read(buffer, count); }

int32_t LChildProcess::write(const void* buffer, int32_t count) { return input_.write(buffer, count); }
