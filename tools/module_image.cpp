#include "tools/module_image.h"

#include "lib/owners.h"
#include "tools/registration.h"

namespace {

// Reads exactly size bytes at offset; false at the end of the file.
bool readAt(HANDLE file, DWORD offset, void* buffer, DWORD size, const std::wstring& path)
{
    OVERLAPPED at{};
    at.Offset = offset;
    DWORD got = 0;
    if (!ReadFile(file, buffer, size, &got, &at)) {
        const DWORD error = GetLastError();
        if (error == ERROR_HANDLE_EOF)
            return false;
        throw SetupError{L"cannot read " + path + L": " + systemErrorText(error)};
    }
    return got == size;
}

} // namespace

WORD ownMachine()
{
#if defined(__x86_64__)
    return IMAGE_FILE_MACHINE_AMD64;
#elif defined(__i386__)
    return IMAGE_FILE_MACHINE_I386;
#elif defined(__aarch64__)
    return IMAGE_FILE_MACHINE_ARM64;
#else
#error "unknown target processor"
#endif
}

std::wstring describeMachine(WORD machine)
{
    switch (machine) {
    case IMAGE_FILE_MACHINE_I386:
        return L"32-bit (x86)";
    case IMAGE_FILE_MACHINE_AMD64:
        return L"64-bit (x64)";
    case IMAGE_FILE_MACHINE_ARM64:
        return L"64-bit (ARM64)";
    default:
        wchar_t text[32];
        swprintf(text, sizeof text / sizeof *text, L"machine type 0x%04X", unsigned(machine));
        return text;
    }
}

WORD moduleMachine(const std::wstring& path)
{
    const LFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        throw SetupError{L"cannot open " + path + L": " + systemErrorText(GetLastError())};
    IMAGE_DOS_HEADER dos;
    DWORD signature = 0;
    IMAGE_FILE_HEADER coff;
    if (!readAt(file.get(), 0, &dos, sizeof dos, path) || dos.e_magic != IMAGE_DOS_SIGNATURE ||
        dos.e_lfanew <= 0 || !readAt(file.get(), DWORD(dos.e_lfanew), &signature, sizeof signature, path) ||
        signature != IMAGE_NT_SIGNATURE ||
        !readAt(file.get(), DWORD(dos.e_lfanew) + sizeof signature, &coff, sizeof coff, path))
        throw SetupError{path + L" is not a Windows module (no PE header)"};
    return coff.Machine;
}
