// The library's output primitive and its final stop for broken invariants.
#pragma once

// Writes the text to standard output and flushes it; failures are ignored.
void writeOut(const char* text);

// Prints "Internal Error: " with the formatted text and a newline, then ends the
// process with exit code 2. Allocates nothing, so the allocator itself may use it.
[[noreturn]] void internalError(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));
[[noreturn]] void internalErrorNumber(int number);

// Insert position beyond a string's or array's length, or a corrupted count.
inline constexpr int kErrorBadPosition = 161;
