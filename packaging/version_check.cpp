// Reads a file's version resource back through the system's version API, as
// the file's properties show it: version_check FILE
// Prints "fixed MAJOR.MINOR.BUILD.REVISION" (file version), "fixed-product ..."
// and one "NAME=VALUE" line per string; exits 1 when there is no resource.
#include <windows.h>

#include <cstdio>
#include <vector>

namespace {

void printString(const std::vector<BYTE>& data, const wchar_t* block, const wchar_t* name)
{
    wchar_t path[128];
    swprintf(path, 128, L"\\StringFileInfo\\%ls\\%ls", block, name);
    void* value = nullptr;
    UINT length = 0;
    if (VerQueryValueW(data.data(), path, &value, &length) && value && length)
        wprintf(L"%ls=%ls\n", name, static_cast<const wchar_t*>(value));
    else
        wprintf(L"%ls is missing\n", name);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) {
        fwprintf(stderr, L"usage: version_check FILE\n");
        return 2;
    }
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(argv[1], &ignored);
    if (size == 0) {
        wprintf(L"no version resource (error %lu)\n", GetLastError());
        return 1;
    }
    std::vector<BYTE> data(size);
    if (!GetFileVersionInfoW(argv[1], 0, size, data.data())) {
        wprintf(L"GetFileVersionInfoW failed (error %lu)\n", GetLastError());
        return 1;
    }

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || !fixed ||
        fixed->dwSignature != VS_FFI_SIGNATURE) {
        wprintf(L"no fixed version information\n");
        return 1;
    }
    wprintf(L"fixed %lu.%lu.%lu.%lu\n", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
            HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS));
    wprintf(L"fixed-product %lu.%lu.%lu.%lu\n", HIWORD(fixed->dwProductVersionMS), LOWORD(fixed->dwProductVersionMS),
            HIWORD(fixed->dwProductVersionLS), LOWORD(fixed->dwProductVersionLS));

    // The strings sit in the block of the first language the resource lists.
    struct Translation {
        WORD language;
        WORD codePage;
    };
    Translation* translations = nullptr;
    if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations),
                        &length) ||
        length < sizeof(Translation)) {
        wprintf(L"no translation table\n");
        return 1;
    }
    wchar_t block[16];
    swprintf(block, 16, L"%04x%04x", translations[0].language, translations[0].codePage);
    for (const wchar_t* name : {L"FileVersion", L"ProductVersion", L"FileDescription", L"ProductName",
                                L"OriginalFilename"})
        printString(data, block, name);
    return 0;
}
