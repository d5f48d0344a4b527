// Owners for Win32 handles: one move-only template, one alias per kind of handle.
// Kernel objects whose failure value is null (processes, threads) and those whose
// failure value is INVALID_HANDLE_VALUE (files, pipes, mailslots, searches) are
// different types, so a handle can never be tested against the wrong sentinel.
// Closing keeps the thread's last error, so cleanup on a failure path does not
// change the error that is about to be reported.
#pragma once
#include <windows.h>

#include <utility>

template <typename Traits>
class LUniqueHandle {
public:
    LUniqueHandle() noexcept = default;
    explicit LUniqueHandle(HANDLE handle) noexcept : handle_(handle) {}
    ~LUniqueHandle() { reset(); }
    LUniqueHandle(LUniqueHandle&& other) noexcept : handle_(other.release()) {}
    LUniqueHandle& operator=(LUniqueHandle&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    LUniqueHandle(const LUniqueHandle&) = delete;
    LUniqueHandle& operator=(const LUniqueHandle&) = delete;

    HANDLE get() const noexcept { return handle_; }
    bool valid() const noexcept { return handle_ != Traits::invalid(); }
    explicit operator bool() const noexcept { return valid(); }

    HANDLE release() noexcept { return std::exchange(handle_, Traits::invalid()); }

    // Closes the handle held, if any, and takes the new one. Returns false when the
    // system refused to close it (the thread's last error then tells why).
    bool reset(HANDLE handle = Traits::invalid()) noexcept
    {
        bool closed = true;
        if (valid()) {
            const DWORD lastError = GetLastError();
            closed = Traits::close(handle_);
            if (closed)
                SetLastError(lastError);
        }
        handle_ = handle;
        return closed;
    }

    // For out-parameters: closes what is held and hands the slot to the system.
    HANDLE* put() noexcept
    {
        reset();
        return &handle_;
    }

private:
    HANDLE handle_ = Traits::invalid();
};

struct LNullHandleTraits {
    static HANDLE invalid() noexcept { return nullptr; }
    static bool close(HANDLE handle) noexcept { return CloseHandle(handle) != FALSE; }
};

struct LFileHandleTraits {
    static HANDLE invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool close(HANDLE handle) noexcept { return CloseHandle(handle) != FALSE; }
};

struct LFindHandleTraits {
    static HANDLE invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool close(HANDLE handle) noexcept { return FindClose(handle) != FALSE; }
};

struct LModuleTraits {
    static HANDLE invalid() noexcept { return nullptr; }
    static bool close(HANDLE module) noexcept { return FreeLibrary(static_cast<HMODULE>(module)) != FALSE; }
};

// Processes, threads, events: null when absent.
using LKernelHandle = LUniqueHandle<LNullHandleTraits>;
// Files, pipe ends, mailslots: INVALID_HANDLE_VALUE when absent.
using LFileHandle = LUniqueHandle<LFileHandleTraits>;
// FindFirstFile searches.
using LFindHandle = LUniqueHandle<LFindHandleTraits>;
// One counted reference to a loaded module (LoadLibrary, GetModuleHandleEx).
using LModuleReference = LUniqueHandle<LModuleTraits>;

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
