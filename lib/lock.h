// A slim process-wide lock for the library's shared state: constant-initialised,
// so it is usable from static initialisers and from the module's entry routine.
#pragma once
#include <windows.h>

class LLock {
public:
    constexpr LLock() noexcept = default;
    LLock(const LLock&) = delete;
    LLock& operator=(const LLock&) = delete;
    void acquire() noexcept { AcquireSRWLockExclusive(&lock_); }
    void release() noexcept { ReleaseSRWLockExclusive(&lock_); }

private:
    SRWLOCK lock_ = SRWLOCK_INIT;
};

class LLockGuard {
public:
    explicit LLockGuard(LLock& lock) noexcept : lock_(lock) { lock_.acquire(); }
    ~LLockGuard() { lock_.release(); }
    LLockGuard(const LLockGuard&) = delete;
    LLockGuard& operator=(const LLockGuard&) = delete;

private:
    LLock& lock_;
};
