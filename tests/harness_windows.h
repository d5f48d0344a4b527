// What the Windows test programs share besides tests/harness.h: the one way to
// start another program and read what it writes, files beside this program,
// and an IDispatch stub that records the calls it gets.
#pragma once
#include <windows.h>
#include <oaidl.h>

#include <string>
#include <vector>

#include "lib/owners.h"
#include "tests/harness.h"

// A file in the directory of this test program, where the build puts the
// server, the tools and the helper programs.
std::wstring besideThisProgram(const wchar_t* file);

struct ProgramResult {
    DWORD exitCode;     // -1 when the program could not be started
    std::string output; // standard output, CR LF turned into LF
    std::string errors; // standard error, likewise
};

// Runs the program (a full path) with the arguments and waits for it.
ProgramResult runProgram(const std::wstring& program, const std::wstring& arguments);

// A child scenario (CHILD_SCENARIO) running beside the test, with its standard
// input and output piped to the test. The scenario learns that it should end
// when its input closes (as it also does when the test dies); the object closes
// it on going, and ends the child should it not follow within a few seconds.
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
    LKernelHandle process_;
    LKernelHandle input_;  // the write end of the child's standard input
    LKernelHandle output_; // the read end of its standard output
    std::string pending_;
};

// An automation object that knows one member, "value" (identifier 7), records
// how it is called and answers with a VARIANT of the test's choosing. It lives
// on the stack: Release never frees it.
class DispatchStub final : public IDispatch {
public:
    static constexpr DISPID kValue = 7;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(++references); }
    ULONG STDMETHODCALLTYPE Release() override { return ULONG(--references); }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* parameters, VARIANT* result,
                                     EXCEPINFO*, UINT*) override;

    LVariant answer;
    HRESULT failWith = S_OK;
    long references = 1;
    int lookups = 0;
    int invokes = 0;
    WORD lastFlags = 0;
    std::vector<int32_t> arguments; // VT_I4 arguments as Invoke received them (-999 for others), element 0 first
    std::vector<DISPID> named;
};
