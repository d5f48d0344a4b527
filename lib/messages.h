// Numbered messages: every failure and warning of the library is one line on
// standard output, "<Kind> <number>: <text>", classified by its number.
#pragma once
#include <cstdarg>
#include <cstdint>

#include <oaidl.h>

#include "lib/containers.h"
#include "lib/lock.h"
#include "lib/strings.h"

// Numbers the library uses.
enum : int {
    kMsgGeneralError = 15000,
    kMsgWin32Error = 17000,   // appends the system text of the last Win32 error
    kMsgRuntimeError = 17100, // appends the errno text
    kMsgVariantType = 17200,
    kMsgGeneralWarning = 35000,
    kMsgUnconvertibleByte = 35007,
    kMsgIllegalEscape = 35009,
    kMsgWin32Warning = 37000,
    kMsgRuntimeWarning = 37100,
};

// The reporter. Safe to use from several threads: a message is counted and
// written as a whole under the reporter's lock.
class LMessenger {
public:
    explicit LMessenger(int fatal = 0) : fatal_(fatal) {}
    virtual ~LMessenger() = default;
    LMessenger(const LMessenger&) = delete;
    LMessenger& operator=(const LMessenger&) = delete;

    // Composes and reports a message; returns the length of its text, or 0 when
    // it was suppressed or dropped.
    int post(int number, const char* format, ...) __attribute__((format(gnu_printf, 3, 4)));
    int postV(int number, const char* format, va_list args);

    // Writes one composed line; context may be null.
    virtual void report(int number, const char* context, const char* kind, const char* text);

    int errorCount() const;
    int problemCount() const;
    bool isSuppressed(int number) const;
    // Numbers divisible by 100 name whole groups and cannot be suppressed.
    void suppress(int number);
    // While quiet, warnings 30000 to 39999 are dropped; calls nest.
    void beginQuiet();
    void endQuiet();

private:
    mutable LLock lock_;
    LIntArray suppressed_;
    int fatal_;
    int errors_ = 0;
    int warnings_ = 0;
    int quiet_ = 0;
};

// The process-wide reporter, created on first use.
LMessenger& messenger();

int message(int number, const char* format, ...) __attribute__((format(gnu_printf, 2, 3)));

// The kind word for a message number: "Message", "Error", "Warning" or "Note".
const char* messageKind(int number);

// The system's text for a Win32 error (0: the calling thread's last error), with
// its line breaks removed; "(no message)" when the system has none.
LString win32ErrorText(uint32_t code = 0);
// "errno=<value>: <text>" (0: the current errno).
LString errnoText(int value = 0);
// A short diagnostic text for a VARIANT, for trace points.
LString describeVariant(const VARIANT& value);
