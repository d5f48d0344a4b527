// Registering the server's class in the registry, outside the module: the
// class key in one registry view, the programmatic name shared by both views.
#pragma once
#include <windows.h>

#include <string>

// Where a registration lives: per user (HKCU\Software\Classes) or for all users
// (HKLM\Software\Classes), and in which registry view. On 64-bit Windows the
// class keys are kept apart per view, so each host finds the module of its own
// architecture; the programmatic name is one key for both views.
enum class Scope { CurrentUser, AllUsers };
enum class View { Bits32, Bits64 };

// The view this program belongs in: hosts of its architecture read it.
inline constexpr View kOwnView = sizeof(void*) == 8 ? View::Bits64 : View::Bits32;

// A failure with its one-line text for the user.
struct SetupError {
    std::wstring text;
};

// "the current user (64-bit view)".
std::wstring describeTarget(Scope scope, View view);

// The system's text for a Win32 error code, on one line.
std::wstring systemErrorText(DWORD code);

// Writes the class key and the programmatic name for the module. A failure
// throws SetupError after undoing everything this call wrote.
void registerServer(Scope scope, View view, const std::wstring& modulePath);

enum class Removal {
    Removed,          // class key and programmatic name
    KeptSharedName,   // class key; the name still serves the other view
    NothingRegistered,
};
// Removes the class key in the view, and the programmatic name when it names
// this class and no other view still holds the class. Throws SetupError.
Removal unregisterServer(Scope scope, View view);

struct Registration {
    bool registered = false;
    std::wstring modulePath; // as stored, environment strings expanded
};
// Throws SetupError for anything but an absent registration.
Registration queryRegistration(Scope scope, View view);

// Whether the process can see a 64-bit view at all (false on 32-bit Windows).
bool hasBits64View();

// The calls that write the registry. Tests replace them to make one step fail.
struct RegistryWriter {
    LSTATUS (*createKey)(HKEY root, const wchar_t* path, REGSAM access, HKEY* key, DWORD* disposition);
    LSTATUS (*setValue)(HKEY key, const wchar_t* name, DWORD type, const BYTE* data, DWORD size);
};
RegistryWriter& registryWriter();
