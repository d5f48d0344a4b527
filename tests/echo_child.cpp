// The child process of the process tests: copies its standard input to its
// standard output until the input ends, then exits with the code given as its
// first argument. Further arguments: "stderr" first writes "to stderr" to its
// standard error, "cwd" its current directory and a newline to its output.
// Built as a GUI program: starting it never opens a console window.
#include <windows.h>

#include <cstdlib>
#include <cstring>

namespace {

void writeText(DWORD which, const char* text)
{
    DWORD written = 0;
    WriteFile(GetStdHandle(which), text, DWORD(strlen(text)), &written, nullptr);
}

} // namespace

int main(int argc, char** argv)
{
    for (int i = 2; i < argc; ++i) {
        if (strcmp(argv[i], "stderr") == 0) {
            writeText(STD_ERROR_HANDLE, "to stderr");
        } else if (strcmp(argv[i], "cwd") == 0) {
            char directory[MAX_PATH * 4];
            GetCurrentDirectoryA(sizeof directory, directory);
            writeText(STD_OUTPUT_HANDLE, directory);
            writeText(STD_OUTPUT_HANDLE, "\n");
        }
    }
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &got, nullptr) && got > 0) {
        DWORD written = 0;
        WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), buffer, got, &written, nullptr);
    }
    ExitProcess(argc > 1 ? UINT(strtoul(argv[1], nullptr, 10)) : 0);
}
