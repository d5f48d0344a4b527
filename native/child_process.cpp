// The native form of tests/child_process.cpp: a scenario runs in a fresh copy of
// this executable started through the shell, its standard output read back.
#include "tests/harness.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

ChildResult runChildScenario(const char* name)
{
    ChildResult result{DWORD(-1), {}};
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return result;
    self[length] = '\0';
    const std::string command = std::string("'") + self + "' --child=" + name;
    FILE* child = popen(command.c_str(), "r");
    if (!child)
        return result;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, child)) > 0)
        result.output.append(buffer, got);
    const int status = pclose(child);
    if (status != -1 && WIFEXITED(status))
        result.exitCode = DWORD(WEXITSTATUS(status));
    return result;
}
