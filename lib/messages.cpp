#include "lib/messages.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

#include "lib/output.h"
#include "lib/owner.h"

namespace {

bool isCountedError(int number) { return number >= 10000 && number <= 19999; }
bool isCountedWarning(int number) { return number >= 30000 && number <= 39999; }

void appendExplanation(LString& text, int number, DWORD lastError, int lastErrno)
{
    if (number == kMsgWin32Error || number == kMsgWin32Warning) {
        LString explanation = win32ErrorText(lastError);
        text.append(": ");
        text.append(explanation.data(), explanation.length());
    } else if (number == kMsgRuntimeError || number == kMsgRuntimeWarning) {
        LString explanation = errnoText(lastErrno);
        text.append(": ");
        text.append(explanation.data(), explanation.length());
    }
}

} // namespace

const char* messageKind(int number)
{
    if (number == 0)
        return "Message";
    if (number < 20000)
        return "Error";
    if (number < 39999)
        return "Warning";
    return "Note";
}

int LMessenger::post(int number, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const int length = postV(number, format, args);
    va_end(args);
    return length;
}

int LMessenger::postV(int number, const char* format, va_list args)
{
    // Taken first: composing the text may change both.
    const DWORD lastError = GetLastError();
    const int lastErrno = errno;
    if (isSuppressed(number))
        return 0;
    LString text;
    text.appendFormatV(format, args);
    appendExplanation(text, number, lastError, lastErrno);

    bool stop = false;
    {
        LLockGuard guard(lock_);
        if (isCountedWarning(number)) {
            if (quiet_ > 0)
                return 0;
            ++warnings_;
        }
        report(number, nullptr, messageKind(number), text.data());
        if (isCountedError(number)) {
            ++errors_;
            stop = fatal_ && number < 19999;
        }
    }
    if (stop)
        exit(2);
    SetLastError(lastError);
    return text.length();
}

void LMessenger::report(int number, const char* context, const char* kind, const char* text)
{
    LString line;
    if (context)
        line.appendFormat("%s: ", context);
    line.appendFormat("%s %d: ", kind, number);
    writeOut(line.data());
    writeOut(text);
    if (number > 0)
        writeOut("\n");
}

int LMessenger::errorCount() const
{
    LLockGuard guard(lock_);
    return errors_;
}

int LMessenger::problemCount() const
{
    LLockGuard guard(lock_);
    return errors_ + warnings_;
}

bool LMessenger::isSuppressed(int number) const
{
    if (number <= 0)
        return false;
    LLockGuard guard(lock_);
    return suppressed_.contains(number);
}

void LMessenger::suppress(int number)
{
    if (number % 100 == 0) {
        post(kMsgGeneralError, "cannot supress message %d", number);
        return;
    }
    LLockGuard guard(lock_);
    if (!suppressed_.contains(number))
        suppressed_.add(number);
}

void LMessenger::beginQuiet()
{
    LLockGuard guard(lock_);
    ++quiet_;
}

void LMessenger::endQuiet()
{
    LLockGuard guard(lock_);
    if (quiet_ > 0)
        --quiet_;
}

LMessenger& messenger()
{
    // Never destroyed: messages may still be posted while the process exits.
    static LMessenger* const instance = new LMessenger(0);
    return *instance;
}

int message(int number, const char* format, ...)
{
    // Read before the reporter is first made: making it (the first static of the
    // module that needs a guard) has been seen to clear the last error.
    const DWORD lastError = GetLastError();
    const int lastErrno = errno;
    LMessenger& reporter = messenger();
    SetLastError(lastError);
    errno = lastErrno;
    va_list args;
    va_start(args, format);
    const int length = reporter.postV(number, format, args);
    va_end(args);
    return length;
}

LString win32ErrorText(uint32_t code)
{
    if (code == 0)
        code = GetLastError();
    char* buffer = nullptr;
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM,
                                        nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                        reinterpret_cast<char*>(&buffer), 0, nullptr);
    const LLocalBlock owned(buffer);
    LString text;
    if (length == 0 || !buffer) {
        text.append("(no message)");
    } else {
        // The system's line breaks go; the lines run together.
        for (DWORD i = 0; i < length; ++i) {
            if (buffer[i] == '\r' && i + 1 < length && buffer[i + 1] == '\n')
                ++i;
            else
                text.appendChar(buffer[i]);
        }
    }
    return text;
}

LString errnoText(int value)
{
    if (value == 0)
        value = errno;
    LString text;
    text.appendFormat("errno=%d: %s", value, strerror(value));
    return text;
}

LString describeVariant(const VARIANT& value)
{
    LString text;
    switch (V_VT(&value)) {
    case VT_EMPTY: text.append("EMPTY"); break;
    case VT_NULL: text.append("NULL"); break;
    case VT_I2: text.appendFormat("I2:%d", V_I2(&value)); break;
    case VT_I4: text.appendFormat("I4:%d", int(V_I4(&value))); break;
    case VT_BSTR: text.appendFormat("BSTR:%S", V_BSTR(&value) ? V_BSTR(&value) : L""); break;
    case VT_DISPATCH: text.append("DISPATCH"); break;
    case VT_VARIANT: text.append("VARIANT"); break;
    default: text.appendFormat("(vt=%d/%Xh)", V_VT(&value), V_VT(&value)); break;
    }
    return text;
}
