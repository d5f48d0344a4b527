// vexa-call: calls one member of an automation object from the command line, so
// that a batch file or a shell can drive Vexa.Server (or any object with a
// programmatic name) and use the result. Built on the library's automation
// helpers, option set, number reading and escapes.
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "lib/facilities/automation.h"
#include "lib/charset.h"
#include "lib/facilities/escapes.h"
#include "lib/messages.h"
#include "lib/facilities/numbers.h"
#include "lib/facilities/options.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

constexpr const char* kUsage[] = {
    "usage: vexa-call [options] METHOD [ARG...]",
    "Calls METHOD on Vexa.Server (or on the object named by -progid) and prints the result:",
    "strings as they are, integers in decimal. Exit status 0, or non-zero after a message.",
    "options (before METHOD):",
    "  -progid:NAME  the object's programmatic name (default Vexa.Server)",
    "  -get          read METHOD as a property (with ARGs as its index)",
    "  -put:VALUE    write VALUE to the property METHOD (with ARGs as its index)",
    "  -hex          print integer results as 32-bit hexadecimal (0x...)",
    "  -e            decode backslash escapes in strings (\\n \\t \\\\ \\xHH ...)",
    "  --help        this text",
    "arguments: an integer when it reads whole as one (-5, 0x1F, 1,000, 2k), a string",
    "otherwise; -s:TEXT is always the string TEXT. -put's VALUE follows the same rule.",
    "example: vexa-call setWindowPos 65612 100 50",
};

// Standard error, for usage problems: the library's messages go to standard output.
void writeError(const char* text)
{
    DWORD written = 0;
    const HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
    WriteFile(handle, text, DWORD(strlen(text)), &written, nullptr);
    WriteFile(handle, "\r\n", 2, &written, nullptr);
}

int usage(bool requested)
{
    for (const char* line : kUsage) {
        if (requested) {
            writeOut(line);
            writeOut("\n");
        } else {
            writeError(line);
        }
    }
    return requested ? 0 : kExitUsage;
}

int usageError(const char* what, const char* argument)
{
    LString text("vexa-call: ");
    text.append(what);
    text.append(argument);
    writeError(text.data());
    return usage(false);
}

// A console takes UTF-16 as it is; redirected output gets the ANSI code page, with
// escapes for what that cannot hold.
void printLine(const wchar_t* text, int32_t length)
{
    const HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0, written = 0;
    LWString line(text, length);
    line.append(L"\r\n");
    if (GetConsoleMode(handle, &mode)) {
        WriteConsoleW(handle, line.data(), DWORD(line.length()), &written, nullptr);
        return;
    }
    LString narrow;
    wideToNarrow(line, narrow);
    WriteFile(handle, narrow.data(), DWORD(narrow.length()), &written, nullptr);
}

void printNarrow(const char* text)
{
    LWString wide;
    narrowToWide(text, wide);
    printLine(wide.data(), wide.length());
}

// True when textToNum reads the whole text as a number without a complaint: at
// least one digit, nothing left over, a value within 32 bits. A hexadecimal text up
// to 0xFFFFFFFF is taken as the 32-bit pattern, so that handles printed with -hex
// read back.
bool readInteger(const char* text, int32_t& value)
{
    const LNumberText number = parseNumberText(text);
    if (!number.anyDigit || number.leftover || number.tooLarge)
        return false;
    const int64_t signedValue = number.value();
    if (signedValue >= INT32_MIN && signedValue <= INT32_MAX) {
        value = int32_t(signedValue);
        return true;
    }
    if (number.base == 16 && !number.negative && number.unit == 1) {
        value = int32_t(uint32_t(number.magnitude));
        return true;
    }
    return false;
}

// One argument as a VARIANT: "-s:TEXT" a string, an integer text an integer,
// anything else a string (escapes decoded with -e).
bool makeArgument(const char* text, bool escapes, LVariant& argument)
{
    const bool forcedString = strncmp(text, "-s:", 3) == 0;
    int32_t number = 0;
    if (!forcedString && readInteger(text, number)) {
        argument.setInt(number);
        return true;
    }
    LString narrow(forcedString ? text + 3 : text);
    if (escapes)
        unescapeText(narrow);
    LWString wide;
    narrowToWide(narrow, wide);
    if (argument.setString(wide.data(), wide.length()))
        return true;
    message(kMsgGeneralError, "out of memory for the argument '%s'", text);
    return false;
}

int printResult(const VARIANT* result, const wchar_t* name, bool hex)
{
    LVariant shown;
    switch (V_VT(result)) {
    case VT_EMPTY:
    case VT_NULL:
        return 0;
    case VT_BSTR: {
        const BSTR text = V_BSTR(result);
        printLine(text ? text : L"", text ? int32_t(SysStringLen(text)) : 0);
        return 0;
    }
    case VT_I1: case VT_I2: case VT_I4: case VT_INT: case VT_BOOL:
    case VT_UI1: case VT_UI2: case VT_UI4: case VT_UINT: {
        if (FAILED(VariantChangeType(shown.get(), const_cast<VARIANT*>(result), 0, VT_I4)))
            VariantChangeType(shown.get(), const_cast<VARIANT*>(result), 0, VT_UI4);
        LString text;
        const int32_t value = V_I4(shown.get()); // VT_I4 and VT_UI4 share their storage
        if (hex)
            text.appendFormat("0x%X", unsigned(value));
        else if (shown.type() == VT_UI4)
            text.appendFormat("%u", unsigned(value));
        else
            text.appendFormat("%d", int(value));
        printNarrow(text.data());
        return 0;
    }
    default:
        break;
    }
    // Anything else the system can turn into text (floating point, dates, ...).
    if (SUCCEEDED(VariantChangeType(shown.get(), const_cast<VARIANT*>(result), 0, VT_BSTR))) {
        const BSTR text = V_BSTR(shown.get());
        printLine(text ? text : L"", text ? int32_t(SysStringLen(text)) : 0);
        return 0;
    }
    message(kMsgVariantType, "%S returned a value that cannot be shown (type=%d)", name, int(V_VT(result)));
    return kExitFailure;
}

// Owns the runtime's initialisation for the program's life.
class LCoInit {
public:
    LCoInit() : result_(FCoInitialize()) {}
    ~LCoInit()
    {
        if (SUCCEEDED(result_))
            CoUninitialize();
    }
    LCoInit(const LCoInit&) = delete;
    LCoInit& operator=(const LCoInit&) = delete;
    bool ok() const { return SUCCEEDED(result_); }

private:
    HRESULT result_;
};

int run(std::vector<LString>& arguments)
{
    const char* progIdText = nullptr;
    const char* putValue = nullptr;
    int32_t escapes = 0, hex = 0, get = 0;
    LOptionSet options;
    options.addStr("progid", progIdText);
    options.addStr("put", putValue);
    options.addSwitch("get", &get, 1);
    options.addSwitch("hex", &hex, 1);
    options.addSwitch("e", &escapes, 1);

    size_t at = 0;
    const char* method = nullptr;
    for (; at < arguments.size() && !method; ++at) {
        const char* argument = arguments[at].data();
        if (!strcmp(argument, "--help") || !strcmp(argument, "-h") || !strcmp(argument, "/?"))
            return usage(true);
        const int errorsBefore = messenger().errorCount();
        if (options.parse(argument)) {
            if (messenger().errorCount() != errorsBefore)
                return usage(false);
            continue;
        }
        if (argument[0] == '-' || argument[0] == '/')
            return usageError("unknown option ", argument);
        method = argument;
    }
    if (!method)
        return usageError("no METHOD given", "");
    if (progIdText && !*progIdText)
        return usageError("-progid needs a name", "");
    if (get && putValue)
        return usageError("-get and -put exclude each other", "");

    LWString progId;
    narrowToWide(progIdText ? progIdText : "Vexa.Server", progId);
    LWString name;
    narrowToWide(method, name);

    // Positional arguments lie last first; a put's value comes first of all.
    const size_t given = arguments.size() - at;
    std::vector<LVariant> values(given + (putValue ? 1 : 0));
    size_t slot = 0;
    if (putValue && !makeArgument(putValue, escapes, values[slot++]))
        return kExitFailure;
    for (size_t i = arguments.size(); i > at; --i)
        if (!makeArgument(arguments[i - 1].data(), escapes, values[slot++]))
            return kExitFailure;
    std::vector<VARIANT> passed(values.size());
    for (size_t i = 0; i < values.size(); ++i)
        passed[i] = *values[i].get(); // shallow: the LVariants keep ownership
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS parameters{passed.data(), putValue ? &named : nullptr, UINT(passed.size()), putValue ? 1u : 0u};

    LCoInit runtime;
    if (!runtime.ok())
        return kExitFailure;
    const int errorsBefore = messenger().errorCount();
    LComPtr<IDispatch> object(FCreateObject(progId.data(), true, kAttachRunning | kCreateNew));
    if (!object) {
        if (messenger().errorCount() == errorsBefore)
            message(kMsgGeneralError, "no object for '%S'", progId.data());
        return kExitFailure;
    }
    const WORD flags = putValue ? DISPATCH_PROPERTYPUT
                       : get    ? DISPATCH_PROPERTYGET
                                : WORD(DISPATCH_METHOD | DISPATCH_PROPERTYGET);
    LVariant result;
    if (FAILED(FInvoke(object.get(), name.data(), flags, &parameters, putValue ? nullptr : result.get())))
        return kExitFailure;
    return printResult(result.get(), name.data(), hex != 0);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2)
        return usage(false);
    // The library's option set reads narrow text; characters the code page lacks
    // travel as escapes and come back whole in narrowToWide.
    std::vector<LString> arguments(size_t(argc - 1));
    for (int i = 1; i < argc; ++i)
        wideToNarrow(argv[i], arguments[size_t(i - 1)]);
    return run(arguments);
}
