// Owners of the system's other resources (registry keys, memory blocks,
// modules, windows, strings, COM references, the open clipboard), started
// processes and VARIANTs, on the template of lib/owner.h.
#pragma once
#include <windows.h>
#include <oaidl.h>
#include <oleauto.h>

#include <cstdint>

#include "lib/owner.h"

namespace owners {
inline bool findClose(HANDLE handle) noexcept { return FindClose(handle) != FALSE; }
inline bool regCloseKey(HKEY key) noexcept { return RegCloseKey(key) == ERROR_SUCCESS; }
inline bool globalFree(HGLOBAL block) noexcept { return GlobalFree(block) == nullptr; }
inline bool freeLibrary(HMODULE module) noexcept { return FreeLibrary(module) != FALSE; }
inline bool destroyWindow(HWND window) noexcept { return DestroyWindow(window) != FALSE; }
inline bool sysFreeString(BSTR text) noexcept
{
    SysFreeString(text);
    return true;
}
inline bool closeClipboard(bool) noexcept { return CloseClipboard() != FALSE; }
template <typename T>
bool release(T* object) noexcept
{
    object->Release();
    return true;
}
} // namespace owners

// FindFirstFile searches.
struct LFindHandleTraits : LFileHandleTraits {
    static bool close(HANDLE handle) noexcept { return owners::findClose(handle); }
};
using LFindHandle = LOwner<LFindHandleTraits>;
using LRegistryKey = LOwner<LOwnerTraits<HKEY, nullptr, owners::regCloseKey>>;
// Movable global memory, as the clipboard takes it.
using LGlobalBlock = LOwner<LOwnerTraits<HGLOBAL, nullptr, owners::globalFree>>;
using LModule = LOwner<LOwnerTraits<HMODULE, nullptr, owners::freeLibrary>>;
using LWindow = LOwner<LOwnerTraits<HWND, nullptr, owners::destroyWindow>>;
using LBstr = LOwner<LOwnerTraits<BSTR, nullptr, owners::sysFreeString>>;
// The clipboard, open while the owner holds true (from OpenClipboard).
using LOpenClipboard = LOwner<LOwnerTraits<bool, false, owners::closeClipboard>>;
// One reference to an interface.
template <typename T>
using LComPtr = LOwner<LOwnerTraits<T*, nullptr, owners::release<T>>>;

// A started process: owns both the process and the thread handle.
struct LProcessInformation {
    LKernelHandle process;
    LKernelHandle thread;
    DWORD processId = 0;
    DWORD threadId = 0;

    // Takes over what CreateProcess filled in.
    void adopt(const PROCESS_INFORMATION& info) noexcept
    {
        process.reset(info.hProcess);
        thread.reset(info.hThread);
        processId = info.dwProcessId;
        threadId = info.dwThreadId;
    }
};

// A VARIANT, empty on construction and cleared on destruction; it owns the BSTR
// or interface reference it holds.
class LVariant {
public:
    LVariant() noexcept { VariantInit(&value_); }
    // Takes over the value (the source's owner gives it up).
    explicit LVariant(const VARIANT& adopted) noexcept : value_(adopted) {}
    ~LVariant() { clear(); }
    LVariant(const LVariant&) = delete;
    LVariant& operator=(const LVariant&) = delete;

    VARIANT* get() noexcept { return &value_; }
    const VARIANT* get() const noexcept { return &value_; }
    VARTYPE type() const noexcept { return V_VT(&value_); }
    void clear() noexcept
    {
        const DWORD lastError = GetLastError();
        VariantClear(&value_);
        SetLastError(lastError);
    }
    // Stores a 32-bit integer; a string (copied; false when out of memory).
    void setInt(int32_t value) noexcept
    {
        clear();
        V_VT(&value_) = VT_I4;
        V_I4(&value_) = value;
    }
    bool setString(const wchar_t* text, int32_t length = -1) noexcept
    {
        clear();
        if (!text)
            text = L"";
        const BSTR copy = length < 0 ? SysAllocString(text) : SysAllocStringLen(text, UINT(length));
        if (!copy)
            return false;
        V_VT(&value_) = VT_BSTR;
        V_BSTR(&value_) = copy;
        return true;
    }

private:
    VARIANT value_;
};
