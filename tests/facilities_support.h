// Helpers shared by the tests of lib/facilities: captured message lines, the
// Japanese message language for the length of a test, and code page 932 bytes read
// back as UTF-16 so that Japanese messages compare with their characters.
#pragma once
#include <gtest/gtest.h>

#include <windows.h>

#include <clocale>
#include <string>

#include "lib/charset.h"

// Runs the call with standard output captured and returns what it wrote.
template <typename Call>
std::string outputOf(Call call)
{
    testing::internal::CaptureStdout();
    call();
    return testing::internal::GetCapturedStdout();
}

class JapaneseMessages {
public:
    JapaneseMessages() { setLanguage('J'); }
    ~JapaneseMessages()
    {
        setLanguage('E');
        setlocale(LC_ALL, "C");
    }
    JapaneseMessages(const JapaneseMessages&) = delete;
    JapaneseMessages& operator=(const JapaneseMessages&) = delete;
};

inline std::wstring fromCodePage932(const std::string& bytes)
{
    std::wstring wide(bytes.size() + 1, L'\0');
    const int n = MultiByteToWideChar(932, 0, bytes.data(), int(bytes.size()), wide.data(), int(wide.size()));
    wide.resize(size_t(n > 0 ? n : 0));
    return wide;
}

inline bool ansiIs932() { return GetACP() == 932; }
