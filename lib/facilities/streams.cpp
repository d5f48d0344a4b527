#include "lib/facilities/streams.h"

#include <csignal>
#include <cstring>

#include "lib/lock.h"
#include "lib/messages.h"
#include "lib/output.h"
#include "lib/facilities/wording.h"

namespace {

// Japanese for "cannot open %s", in code page 932.
constexpr const char* kCannotOpenJ = "%s \x82\xF0\x8A" "J\x82\xAF\x82\xDC\x82\xB9\x82\xF1";

using SignalHandler = void (*)(int);

// Ctrl-C protection is process-wide, while streams come and go one by one: the
// first protected stream saves the handler in place, the last one restores it.
class InterruptProtection {
public:
    void begin()
    {
        LLockGuard guard(lock_);
        if (active_++ == 0)
            saved_ = signal(SIGINT, SIG_IGN);
    }
    void end()
    {
        LLockGuard guard(lock_);
        if (active_ > 0 && --active_ == 0)
            signal(SIGINT, saved_ == SIG_ERR ? SIG_DFL : saved_);
    }

private:
    LLock lock_;
    int active_ = 0;
    SignalHandler saved_ = SIG_DFL;
};

InterruptProtection& interruptProtection()
{
    static InterruptProtection protection;
    return protection;
}

} // namespace

int32_t streamWriteCount(const void* buffer, int32_t count)
{
    if (!buffer)
        return 0;
    return count == -1 ? int32_t(strlen(static_cast<const char*>(buffer))) : count;
}

// ------------------------------------------------------------ LStream

int32_t LStream::read(void*, int32_t) { internalErrorNumber(kErrorStreamRead); }
int32_t LStream::write(const void*, int32_t) { internalErrorNumber(kErrorStreamWrite); }
int64_t LStream::seek(int64_t) { internalErrorNumber(kErrorStreamSeek); }
int64_t LStream::position() { internalErrorNumber(kErrorStreamPosition); }
bool LStream::flush() { internalErrorNumber(kErrorStreamFlush); }
bool LStream::isOpen() const { internalErrorNumber(kErrorStreamIsOpen); }
void LStream::close() { internalErrorNumber(kErrorStreamClose); }
bool LStream::truncate(int64_t) { internalErrorNumber(kErrorStreamTruncate); }
const char* LStream::name() const { return "(unknown stream)"; }

// ------------------------------------------------------------ LHandleStream

int32_t LHandleStream::read(void* buffer, int32_t count)
{
    if (!isOpen() || !buffer || count <= 0)
        return 0;
    DWORD got = 0;
    if (!ReadFile(handle_.get(), buffer, DWORD(count), &got, nullptr)) {
        message(kMsgWin32Error, "ReadFile()");
        return 0;
    }
    return int32_t(got);
}

int32_t LHandleStream::write(const void* buffer, int32_t count)
{
    count = streamWriteCount(buffer, count);
    if (!isOpen() || count <= 0)
        return 0;
    DWORD written = 0;
    if (!WriteFile(handle_.get(), buffer, DWORD(count), &written, nullptr))
        message(kMsgWin32Error, "WriteFile()");
    return int32_t(written);
}

int64_t LHandleStream::seek(int64_t position)
{
    if (!isOpen())
        return 0;
    LARGE_INTEGER distance, moved;
    distance.QuadPart = position < 0 ? 0 : position;
    if (!SetFilePointerEx(handle_.get(), distance, &moved, position < 0 ? FILE_END : FILE_BEGIN)) {
        message(kMsgWin32Error, "SetFilePointer()");
        return -1;
    }
    return moved.QuadPart;
}

int64_t LHandleStream::position()
{
    if (!isOpen())
        return 0;
    LARGE_INTEGER distance, moved;
    distance.QuadPart = 0;
    if (!SetFilePointerEx(handle_.get(), distance, &moved, FILE_CURRENT)) {
        message(kMsgWin32Error, "SetFilePointer()");
        return -1;
    }
    return moved.QuadPart;
}

bool LHandleStream::flush() { return isOpen() && FlushFileBuffers(handle_.get()); }

void LHandleStream::close()
{
    if (isOpen() && !handle_.reset())
        message(kMsgWin32Error, "CloseHandle()");
}

bool LHandleStream::truncate(int64_t position)
{
    if (!isOpen()) {
        SetLastError(ERROR_INVALID_HANDLE);
        message(kMsgWin32Error, "SetEndOfFile()");
        return false;
    }
    // A failed seek must not cut the file wherever the pointer happens to stand.
    if (position >= 0 && seek(position) != position)
        return false;
    if (!SetEndOfFile(handle_.get())) {
        message(kMsgWin32Error, "SetEndOfFile()");
        return false;
    }
    return true;
}

// ------------------------------------------------------------ LFileStream

LFileStream::LFileStream(const char* fileName, char mode, bool report, bool protect)
{
    protection_ = protect ? 1 : 0;
    if (fileName)
        open(fileName, mode, report, protect);
}

int LFileStream::open(const char* fileName, char mode, bool report, bool protect)
{
    close();
    name_.assign(fileName);
    protection_ = protect ? 1 : 0;
    switch (mode) {
    case 'r':
        access_ = GENERIC_READ;
        shareMode_ = FILE_SHARE_READ | FILE_SHARE_WRITE;
        disposition_ = OPEN_EXISTING;
        break;
    case 'w':
        access_ = GENERIC_WRITE;
        shareMode_ = FILE_SHARE_READ;
        disposition_ = CREATE_ALWAYS;
        break;
    case 'a':
        access_ = GENERIC_WRITE;
        shareMode_ = FILE_SHARE_READ;
        disposition_ = OPEN_ALWAYS;
        break;
    default:
        internalErrorNumber(kErrorFileMode);
    }
    if (mode != 'r' && protect) {
        interruptProtection().begin();
        protection_ = 2;
    }
    if (fileName)
        handle_.reset(CreateFileA(fileName, access_, shareMode_, nullptr, disposition_, attributes_, nullptr));
    if (isOpen() && mode == 'a' && seek(-1) < 0)
        LHandleStream::close(); // appending anywhere but at the end would overwrite data
    if (isOpen())
        return 0;
    if (report)
        message(kMsgWin32Error, localized("cannot open %s", kCannotOpenJ), name_.data());
    close(); // no file being written, so nothing to protect
    return 1;
}

void LFileStream::close()
{
    LHandleStream::close();
    if (protection_ == 2) {
        interruptProtection().end();
        protection_ = 1;
    }
}

// ------------------------------------------------------------ LMemoryStream

int32_t LMemoryStream::read(void* buffer, int32_t count)
{
    if (!buffer || count <= 0)
        return 0;
    const int32_t n = count < size_ - position_ ? count : size_ - position_;
    memcpy(buffer, buffer_ + position_, size_t(n));
    position_ += n;
    return n;
}

int64_t LMemoryStream::seek(int64_t position)
{
    if (position >= 0 && position <= size_)
        position_ = int32_t(position);
    return position_;
}

// ------------------------------------------------------------ LStringStream

int32_t LStringStream::write(const void* buffer, int32_t count)
{
    count = streamWriteCount(buffer, count);
    if (count <= 0)
        return 0;
    target_.append(static_cast<const char*>(buffer), count);
    return count;
}

int64_t LStringStream::seek(int64_t position)
{
    if (position >= 0 && position < target_.length())
        target_.remove(int32_t(position), -1);
    return target_.length();
}

// ------------------------------------------------------------ LMailslotStream

LMailslotStream::LMailslotStream(const char* name) : done_(CreateEventA(nullptr, TRUE, FALSE, nullptr))
{
    if (!done_) {
        message(kMsgWin32Error, "CreateEvent()");
        return;
    }
    LString path("\\\\.\\mailslot\\");
    path.append(name);
    // Overlapped, so that a write into a full mailslot can be given up instead of
    // waiting for a reader that may never come.
    handle_.reset(CreateFileA(path.data(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr));
}

bool LMailslotStream::writeOnce(const char* bytes, DWORD count, DWORD& written)
{
    OVERLAPPED pending{};
    pending.hEvent = done_.get();
    ResetEvent(done_.get());
    if (!WriteFile(handle_.get(), bytes, count, nullptr, &pending)) {
        if (GetLastError() != ERROR_IO_PENDING) {
            Sleep(kRetryDelayMs);
            return false;
        }
        if (WaitForSingleObject(done_.get(), kRetryDelayMs) != WAIT_OBJECT_0)
            CancelIoEx(handle_.get(), &pending);
    }
    return GetOverlappedResult(handle_.get(), &pending, &written, TRUE) != FALSE;
}

int32_t LMailslotStream::write(const void* buffer, int32_t count)
{
    count = streamWriteCount(buffer, count);
    if (!isOpen() || count <= 0)
        return 0;
    const char* bytes = static_cast<const char*>(buffer);
    int32_t done = 0;
    for (int attempt = 0; attempt < kAttempts && done < count; ++attempt) {
        DWORD written = 0;
        if (writeOnce(bytes + done, DWORD(count - done), written))
            done += int32_t(written);
    }
    return done;
}
