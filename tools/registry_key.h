// An owned registry key handle: closed exactly once, movable, never copied.
#pragma once
#include <windows.h>

class RegKey {
public:
    RegKey() noexcept = default;
    explicit RegKey(HKEY key) noexcept : key_(key) {}
    RegKey(RegKey&& other) noexcept : key_(other.release()) {}
    RegKey& operator=(RegKey&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    ~RegKey() { reset(); }

    HKEY get() const noexcept { return key_; }
    explicit operator bool() const noexcept { return key_ != nullptr; }

    // For the out-parameter of RegOpenKeyExW and RegCreateKeyExW.
    HKEY* put() noexcept
    {
        reset();
        return &key_;
    }

    HKEY release() noexcept
    {
        HKEY key = key_;
        key_ = nullptr;
        return key;
    }

    // Closing can only fail for a handle that was never valid, and a cleanup has
    // nothing to report then; the caller's last error survives it.
    void reset(HKEY key = nullptr) noexcept
    {
        if (key_) {
            const DWORD lastError = GetLastError();
            RegCloseKey(key_);
            SetLastError(lastError);
        }
        key_ = key;
    }

private:
    HKEY key_ = nullptr;
};
