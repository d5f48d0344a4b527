// vexa-setup: registers the Vexa.dll beside it (the module carries no
// registration code) for the current user or for all users, removes that
// registration again, and shows what is registered where. Each architecture's
// copy handles the module of its own architecture in its own registry view.
#include <windows.h>

#include <string>

#include "server/identity.h"
#include "lib/charset.h"
#include "lib/messages.h"
#include "lib/facilities/options.h"
#include "tools/module_image.h"
#include "tools/registration.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

constexpr const wchar_t* kUsage[] = {
    L"usage: vexa-setup install [--machine]",
    L"       vexa-setup uninstall [--machine]",
    L"       vexa-setup status",
    L"  install    registers the Vexa.dll in this program's directory for the current user;",
    L"             with --machine for all users (needs administrator rights)",
    L"  uninstall  removes that registration again",
    L"  status     shows the registrations of the current user and of all users in both",
    L"             registry views",
    L"This copy handles the module of its own architecture: the 32-bit vexa-setup.exe a",
    L"32-bit Vexa.dll for 32-bit hosts, the 64-bit one a 64-bit Vexa.dll for 64-bit hosts.",
};

// A console gets UTF-16 as it is; redirected output is in the ANSI code page,
// with escapes for what that cannot hold.
void writeLine(DWORD stream, const std::wstring& text)
{
    const HANDLE handle = GetStdHandle(stream);
    const std::wstring line = text + L"\r\n";
    DWORD mode = 0, written = 0;
    if (GetConsoleMode(handle, &mode)) {
        WriteConsoleW(handle, line.c_str(), DWORD(line.size()), &written, nullptr);
        return;
    }
    LString narrow;
    wideToNarrow(line.c_str(), narrow);
    WriteFile(handle, narrow.data(), DWORD(narrow.length()), &written, nullptr);
}

void say(const std::wstring& text)
{
    writeLine(STD_OUTPUT_HANDLE, text);
}

int fail(const std::wstring& text)
{
    writeLine(STD_ERROR_HANDLE, L"vexa-setup: " + text);
    return kExitFailure;
}

int usage(DWORD stream, int exitCode)
{
    for (const wchar_t* line : kUsage)
        writeLine(stream, line);
    return exitCode;
}

int usageError(const std::wstring& text)
{
    writeLine(STD_ERROR_HANDLE, L"vexa-setup: " + text);
    return usage(STD_ERROR_HANDLE, kExitUsage);
}

std::wstring modulePathBesideProgram()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (length == 0)
            throw SetupError{L"cannot find this program's own path: " + systemErrorText(GetLastError())};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2); // truncated: a long path
    }
    path.resize(path.find_last_of(L"\\/") + 1);
    return path + kServerModuleName;
}

bool fileExists(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int install(Scope scope)
{
    const std::wstring module = modulePathBesideProgram();
    if (!fileExists(module))
        return fail(std::wstring(kServerModuleName) + L" not found beside vexa-setup.exe: looked for " + module);
    const WORD machine = moduleMachine(module);
    if (machine != ownMachine())
        return fail(module + L" is a " + describeMachine(machine) + L" module, but this vexa-setup.exe is " +
                    describeMachine(ownMachine()) + L": use the vexa-setup.exe built with that module");
    registerServer(scope, kOwnView, module);
    say(L"registered " + module + L" as " + kServerProgId + L" for " + describeTarget(scope, kOwnView));
    return 0;
}

int uninstall(Scope scope)
{
    const std::wstring target = describeTarget(scope, kOwnView);
    switch (unregisterServer(scope, kOwnView)) {
    case Removal::Removed:
        say(L"removed the registration of " + std::wstring(kServerProgId) + L" for " + target);
        break;
    case Removal::KeptSharedName:
        say(L"removed the registration of " + std::wstring(kServerProgId) + L" for " + target +
            L"; the name stays for the registration in the other view");
        break;
    case Removal::NothingRegistered:
        say(std::wstring(kServerProgId) + L" was not registered for " + target + L"; nothing to remove");
        break;
    }
    return 0;
}

int status()
{
    int result = 0;
    for (const Scope scope : {Scope::CurrentUser, Scope::AllUsers}) {
        for (const View view : {View::Bits32, View::Bits64}) {
            std::wstring line = scope == Scope::AllUsers ? L"all users, " : L"current user, ";
            line += view == View::Bits64 ? L"64-bit view: " : L"32-bit view: ";
            if (view == View::Bits64 && !hasBits64View()) {
                say(line + L"none on 32-bit Windows");
                continue;
            }
            try {
                const Registration registration = queryRegistration(scope, view);
                if (!registration.registered)
                    line += L"not registered";
                else if (registration.modulePath.empty())
                    line += L"registered without a module path";
                else
                    line += L"registered, " + registration.modulePath +
                            (fileExists(registration.modulePath) ? L" (file present)" : L" (file missing)");
                say(line);
            } catch (const SetupError& error) {
                say(line + L"unreadable");
                result = fail(error.text);
            }
        }
    }
    return result;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2)
        return usage(STD_ERROR_HANDLE, kExitUsage);
    const std::wstring command = argv[1];
    if (command == L"--help" || command == L"-h" || command == L"/?")
        return usage(STD_OUTPUT_HANDLE, 0);
    if (command != L"install" && command != L"uninstall" && command != L"status")
        return usageError(L"unknown command '" + command + L"'");
    // The library's option set reads "-name"; "--machine" is its switch "-machine".
    // Only the "-" form is taken, and a value ("--machine:x") is a usage mistake.
    int32_t machine = 0;
    LOptionSet options;
    if (command != L"status")
        options.addSwitch("-machine", &machine, 1);
    for (int i = 2; i < argc; ++i) {
        LString argument;
        wideToNarrow(argv[i], argument);
        const int errorsBefore = messenger().errorCount();
        if (argument[0] != '-' || !options.parse(argument.data()) || messenger().errorCount() != errorsBefore)
            return usageError(L"unknown option '" + std::wstring(argv[i]) + L"' for " + command);
    }
    const Scope scope = machine ? Scope::AllUsers : Scope::CurrentUser;
    try {
        if (command == L"install")
            return install(scope);
        if (command == L"uninstall")
            return uninstall(scope);
        return status();
    } catch (const SetupError& error) {
        return fail(error.text);
    }
}
