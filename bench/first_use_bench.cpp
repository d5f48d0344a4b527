// Row 7: what a script waits for the first time it uses Vexa. A fresh script
// host process runs a two-line VBScript that creates Vexa.Server and calls
// version(), against one that creates the system's Scripting.Dictionary and
// reads Count; a host whose script only quits shows the host's own share.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_common.h"
#include "lib/owners.h"

using bench::Goal;

namespace {

// A process start varies by more than the difference of interest: many rounds.
constexpr int kRounds = 21;
// The scripts' exit code when their object answered: anything else is a failed run.
constexpr DWORD kAnswered = 7;

struct Script {
    const wchar_t* file;
    const char* text;
};

const Script kVexa{L"vexa_first_use.vbs", "Set server = CreateObject(\"Vexa.Server\")\r\n"
                                          "If Len(server.version()) > 0 Then WScript.Quit 7\r\n"};
const Script kDictionary{L"dictionary_first_use.vbs", "Set dictionary = CreateObject(\"Scripting.Dictionary\")\r\n"
                                                      "If dictionary.Count = 0 Then WScript.Quit 7\r\n"};
const Script kQuitOnly{L"host_only.vbs", "WScript.Quit 7\r\n"};

std::wstring tempPath(const wchar_t* file)
{
    wchar_t directory[MAX_PATH];
    const DWORD length = GetTempPathW(MAX_PATH, directory);
    return std::wstring(directory, length) + file;
}

bool writeScript(const Script& script)
{
    LFileHandle file(CreateFileW(tempPath(script.file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    const DWORD size = DWORD(std::char_traits<char>::length(script.text));
    return file && WriteFile(file.get(), script.text, size, &written, nullptr) && written == size;
}

// Milliseconds from starting the host (of this program's architecture) to its
// exit; negative when the script did not get its answer.
double hostRunMs(const Script& script)
{
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    std::wstring command =
        L"\"" + std::wstring(system) + L"\\cscript.exe\" //nologo \"" + tempPath(script.file) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    const double start = bench::now();
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &started))
        return -1;
    LProcessInformation process;
    process.adopt(started);
    WaitForSingleObject(process.process.get(), INFINITE);
    const double ms = (bench::now() - start) * 1e3;
    DWORD exitCode = 0;
    GetExitCodeProcess(process.process.get(), &exitCode);
    return exitCode == kAnswered ? ms : -1;
}

double median(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

} // namespace

int main()
{
    const Script* scripts[] = {&kVexa, &kDictionary, &kQuitOnly};
    for (const Script* script : scripts)
        if (!writeScript(*script)) {
            std::printf("bench: cannot write %ls\n", tempPath(script->file).c_str());
            return 1;
        }
    // The three in turn, so that drift of the machine affects them alike; the
    // first round only brings the host's files into memory.
    std::vector<double> samples[3];
    bool failed = false;
    for (int round = 0; round <= kRounds && !failed; ++round)
        for (int i = 0; i < 3; ++i) {
            const double ms = hostRunMs(*scripts[i]);
            if (ms < 0) {
                std::printf("bench: the script host did not run %ls to its answer\n", scripts[i]->file);
                failed = true;
                break;
            }
            if (round > 0)
                samples[i].push_back(ms);
        }
    for (const Script* script : scripts)
        DeleteFileW(tempPath(script->file).c_str());
    if (failed)
        return 1;

    const double vexa = median(samples[0]);
    const double dictionary = median(samples[1]);
    const double hostOnly = median(samples[2]);
    // Within one round, so that drift between rounds cancels out.
    std::vector<double> vexaBeyond, dictionaryBeyond;
    for (int round = 0; round < kRounds; ++round) {
        vexaBeyond.push_back(samples[0][round] - samples[2][round]);
        dictionaryBeyond.push_back(samples[1][round] - samples[2][round]);
    }
    bench::row("7", "fresh cscript: CreateObject Vexa.Server + version() vs Scripting.Dictionary + Count", vexa,
               dictionary, "ms", Goal::None, 0, "-");
    bench::row("7", "  fresh cscript whose script only quits vs Scripting.Dictionary + Count", hostOnly, dictionary,
               "ms", Goal::None, 0, "-");
    bench::row("7", "  beyond the host's own run (the same round's quitting script taken off)", median(vexaBeyond),
               median(dictionaryBeyond), "ms", Goal::None, 0, "-");
    return 0;
}
