// The library's two string types, narrow (ANSI code page, multibyte allowed) and
// UTF-16, and the text helpers that go with them.
#pragma once
#include <cstdarg>
#include <cstdint>

#include "lib/buffer.h"

class LString : public LBuffer<char> {
public:
    LString() = default;
    explicit LString(const char* text, int32_t n = -1) { append(text, n); }

    void appendChar(char c) { appendUnit(c); }
    // printf-style formatting appended whole, however long the result.
    void appendFormat(const char* format, ...) __attribute__((format(gnu_printf, 2, 3)));
    void appendFormatV(const char* format, va_list args);
};

class LWString : public LBuffer<wchar_t> {
public:
    LWString() = default;
    explicit LWString(const wchar_t* text, int32_t n = -1) { append(text, n); }

    void appendChar(wchar_t c) { appendUnit(c); }
};

// Exact ordering by unsigned unit values: 0 equal, -1 first sorts before, 1 after.
// Two null texts are equal; a null text and any other text are unequal (1).
int keyCompare(const char* first, const char* second);
int keyCompare(const wchar_t* first, const wchar_t* second);

// Index of the first place in the haystack where the whole needle matches, or -1.
// haystackLength -1 reads the haystack up to its terminator; the match never runs
// past the haystack's terminator.
int32_t findText(const char* needle, const char* haystack, int32_t haystackLength);
int32_t findText(const wchar_t* needle, const wchar_t* haystack, int32_t haystackLength);
