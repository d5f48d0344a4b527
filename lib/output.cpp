#include "lib/output.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

void writeOut(const char* text)
{
    fputs(text, stdout);
    fflush(stdout);
}

void internalError(const char* format, ...)
{
    // A stack buffer rather than an LString: the pool allocator stops through here
    // when the heap refuses memory.
    char line[4096] = "Internal Error: ";
    const size_t prefixLength = sizeof("Internal Error: ") - 1;
    va_list args;
    va_start(args, format);
    vsnprintf(line + prefixLength, sizeof line - prefixLength, format, args);
    va_end(args);
    writeOut(line);
    writeOut("\n");
    exit(2);
}

void internalErrorNumber(int number)
{
    internalError("%d", number);
}
