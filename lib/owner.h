// The owner of a system resource: one move-only template, one alias per kind
// of resource (those the portable library needs here, the others in
// lib/owners.h). Kernel objects whose failure value is null (processes, threads,
// events) and those whose failure value is INVALID_HANDLE_VALUE (files, pipes,
// mailslots, searches) are different types, so a handle can never be tested
// against the wrong sentinel. Releasing keeps the thread's last error, so a
// cleanup on a failure path does not change the error about to be reported.
#pragma once
#include <windows.h>

#include <type_traits>
#include <utility>

// Traits name the owned value's type, its empty value and how it is released
// (true when the system accepted the release).
template <typename Traits>
class LOwner {
public:
    using Value = typename Traits::Value;

    LOwner() noexcept = default;
    explicit LOwner(Value value) noexcept : value_(value) {}
    ~LOwner() { reset(); }
    LOwner(LOwner&& other) noexcept : value_(other.release()) {}
    LOwner& operator=(LOwner&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    LOwner(const LOwner&) = delete;
    LOwner& operator=(const LOwner&) = delete;

    Value get() const noexcept { return value_; }
    bool valid() const noexcept { return value_ != Traits::invalid(); }
    explicit operator bool() const noexcept { return valid(); }
    auto operator->() const noexcept
        requires std::is_pointer_v<Value>
    {
        return value_;
    }

    Value release() noexcept { return std::exchange(value_, Traits::invalid()); }

    // Releases what is held, if anything, and takes the new value. False when
    // the system refused the release (the thread's last error then tells why).
    bool reset(Value value = Traits::invalid()) noexcept
    {
        bool released = true;
        if (valid()) {
            const DWORD lastError = GetLastError();
            released = Traits::close(value_);
            if (released)
                SetLastError(lastError);
        }
        value_ = value;
        return released;
    }

    // For out-parameters: releases what is held and hands the slot to the system.
    Value* put() noexcept
    {
        reset();
        return &value_;
    }

private:
    Value value_ = Traits::invalid();
};

template <typename T, T kInvalid, auto kClose>
struct LOwnerTraits {
    using Value = T;
    static T invalid() noexcept { return kInvalid; }
    static bool close(T value) noexcept { return kClose(value); }
};

namespace owners {
inline bool closeHandle(HANDLE handle) noexcept { return CloseHandle(handle) != FALSE; }
inline bool localFree(HLOCAL block) noexcept { return LocalFree(block) == nullptr; }
template <typename T>
bool deleteArray(T* array) noexcept
{
    delete[] array;
    return true;
}
} // namespace owners

// Processes, threads, events: null when absent.
using LKernelHandle = LOwner<LOwnerTraits<HANDLE, nullptr, owners::closeHandle>>;
// Files, pipe ends, mailslots: INVALID_HANDLE_VALUE when absent.
struct LFileHandleTraits {
    using Value = HANDLE;
    static HANDLE invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool close(HANDLE handle) noexcept { return owners::closeHandle(handle); }
};
using LFileHandle = LOwner<LFileHandleTraits>;
// Blocks the system allocated for the caller (FormatMessage, CommandLineToArgvW).
using LLocalBlock = LOwner<LOwnerTraits<HLOCAL, nullptr, owners::localFree>>;
// A new[] array.
template <typename T>
using LNewArray = LOwner<LOwnerTraits<T*, nullptr, owners::deleteArray<T>>>;
