#include "tests/harness_windows.h"

#include <cstring>
#include <map>
#include <thread>

namespace {

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
bool makePipe(LKernelHandle& readEnd, LKernelHandle& writeEnd)
{
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    return CreatePipe(readEnd.put(), writeEnd.put(), &inheritable, 0) &&
           SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);
}

constexpr DWORD kEndingTimeoutMs = 10000;

std::wstring thisProgram()
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::wstring(path, length);
}

} // namespace

std::wstring besideThisProgram(const wchar_t* file)
{
    std::wstring directory = thisProgram();
    directory.erase(directory.find_last_of(L"\\/") + 1);
    return directory + file;
}

ProgramResult runProgram(const std::wstring& program, const std::wstring& arguments)
{
    ProgramResult result{DWORD(-1), {}, {}};
    LKernelHandle outRead, outWrite, errRead, errWrite;
    if (!makePipe(outRead, outWrite) || !makePipe(errRead, errWrite))
        return result;
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = outWrite.get();
    startup.hStdError = errWrite.get();
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &started))
        return result;
    LProcessInformation process;
    process.adopt(started);
    outWrite.reset();
    errWrite.reset();

    // Both pipes at once: a child blocked on a full one would never finish.
    std::thread errorReader([&] { result.errors = readAll(errRead.get()); });
    result.output = readAll(outRead.get());
    errorReader.join();
    WaitForSingleObject(process.process.get(), INFINITE);
    GetExitCodeProcess(process.process.get(), &result.exitCode);
    return result;
}

std::wstring scenarioArgument(const char* name) { return L"--child=" + std::wstring(name, name + strlen(name)); }

ChildResult runChildScenario(const char* name)
{
    ProgramResult child = runProgram(thisProgram(), scenarioArgument(name));
    return {child.exitCode, std::move(child.output)};
}

RunningScenario::RunningScenario(const char* name)
{
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    LKernelHandle childInput, childOutput;
    if (!CreatePipe(childInput.put(), input_.put(), &inheritable, 0) ||
        !CreatePipe(output_.put(), childOutput.put(), &inheritable, 0))
        return;
    // Only the child's ends cross: a copy of ours elsewhere would keep its input open.
    SetHandleInformation(input_.get(), HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(output_.get(), HANDLE_FLAG_INHERIT, 0);
    const std::wstring program = thisProgram();
    std::wstring commandLine = L"\"" + program + L"\" " + scenarioArgument(name);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childInput.get();
    startup.hStdOutput = childOutput.get();
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &started))
        return;
    CloseHandle(started.hThread);
    process_.reset(started.hProcess);
}

RunningScenario::~RunningScenario()
{
    input_.reset();
    if (process_ && WaitForSingleObject(process_.get(), kEndingTimeoutMs) != WAIT_OBJECT_0)
        TerminateProcess(process_.get(), 1);
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
        if (!output_ || !PeekNamedPipe(output_.get(), nullptr, 0, nullptr, &available, nullptr))
            return false;
        if (available == 0) {
            if (GetTickCount64() > deadline)
                return false;
            Sleep(5);
            continue;
        }
        char buffer[4096];
        DWORD got = 0;
        if (!ReadFile(output_.get(), buffer, available < sizeof buffer ? available : sizeof buffer, &got, nullptr))
            return false;
        pending_.append(buffer, got);
    }
}

bool RunningScenario::writeLine(const std::string& line)
{
    const std::string text = line + "\n";
    DWORD written = 0;
    return input_ && WriteFile(input_.get(), text.data(), DWORD(text.size()), &written, nullptr) &&
           written == text.size();
}

HRESULT STDMETHODCALLTYPE DispatchStub::QueryInterface(REFIID iid, void** object)
{
    *object = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDispatch))
        return E_NOINTERFACE;
    *object = this;
    AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE DispatchStub::GetTypeInfoCount(UINT* count)
{
    *count = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE DispatchStub::GetTypeInfo(UINT, LCID, ITypeInfo** info)
{
    if (info)
        *info = nullptr;
    return DISP_E_BADINDEX;
}

HRESULT STDMETHODCALLTYPE DispatchStub::GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids)
{
    ++lookups;
    *ids = wcscmp(names[0], L"value") == 0 ? kValue : DISPID_UNKNOWN;
    return *ids == kValue ? S_OK : DISP_E_UNKNOWNNAME;
}

HRESULT STDMETHODCALLTYPE DispatchStub::Invoke(DISPID, REFIID, LCID, WORD flags, DISPPARAMS* parameters,
                                               VARIANT* result, EXCEPINFO*, UINT*)
{
    ++invokes;
    lastFlags = flags;
    arguments.clear();
    for (UINT i = 0; parameters && i < parameters->cArgs; ++i)
        arguments.push_back(V_VT(&parameters->rgvarg[i]) == VT_I4 ? V_I4(&parameters->rgvarg[i]) : -999);
    if (parameters)
        named.assign(parameters->rgdispidNamedArgs, parameters->rgdispidNamedArgs + parameters->cNamedArgs);
    if (failWith != S_OK)
        return failWith;
    return result ? VariantCopy(result, answer.get()) : S_OK;
}
