// The library's unbuffered streams: the abstract base with its ten operations,
// and streams over a file handle, a named file, the bytes of a string, a string
// being written, and a local mailslot. Positions and sizes are 64-bit, so files
// beyond 4 GiB are addressed exactly; -1 is the failure value of seek and position.
// Counts are signed 32-bit; a write count of -1 means up to the buffer's NUL.
#pragma once
#include <cstdint>

#include "lib/owners.h"
#include "lib/strings.h"

// Operations a stream does not provide end the process with an internal error
// (1000 to 1070 in slot order): calling one is a broken invariant of the caller.
class LStream {
public:
    LStream() = default;
    virtual ~LStream() = default;
    LStream(const LStream&) = delete;
    LStream& operator=(const LStream&) = delete;

    virtual int32_t read(void* buffer, int32_t count);
    virtual int32_t write(const void* buffer, int32_t count);
    virtual int64_t seek(int64_t position);
    virtual int64_t position();
    virtual bool flush();
    virtual bool isOpen() const;
    virtual void close();
    // Ends the stream's data at the position (negative: where it stands now).
    virtual bool truncate(int64_t position);
    virtual const char* name() const;
};

// The byte count of a write: count, or with -1 the length up to the buffer's NUL;
// 0 for a null buffer.
int32_t streamWriteCount(const void* buffer, int32_t count);

inline constexpr int kErrorStreamRead = 1000;
inline constexpr int kErrorStreamWrite = 1010;
inline constexpr int kErrorStreamSeek = 1020;
inline constexpr int kErrorStreamPosition = 1030;
inline constexpr int kErrorStreamFlush = 1040;
inline constexpr int kErrorStreamIsOpen = 1050;
inline constexpr int kErrorStreamClose = 1060;
inline constexpr int kErrorStreamTruncate = 1070;
inline constexpr int kErrorFileMode = 1130;

// A stream over a Windows file handle, which it owns. Every operation but close
// does nothing (and returns 0) on a closed stream.
// System failures are reported as message 17000 with the call's name.
class LHandleStream : public LStream {
public:
    LHandleStream() = default;
    // Takes ownership of an open handle (null or INVALID_HANDLE_VALUE: a closed stream).
    explicit LHandleStream(HANDLE handle) : handle_(handle ? handle : INVALID_HANDLE_VALUE) {}
    ~LHandleStream() override { LHandleStream::close(); }

    int32_t read(void* buffer, int32_t count) override;
    int32_t write(const void* buffer, int32_t count) override;
    // A negative position moves to the end; returns the new position.
    int64_t seek(int64_t position) override;
    int64_t position() override;
    bool flush() override;
    bool isOpen() const override { return handle_.valid(); }
    void close() override;
    bool truncate(int64_t position) override;
    const char* name() const override { return "Windows HANDLE"; }

    HANDLE handle() const { return handle_.get(); }

protected:
    LFileHandle handle_;
};

// A file opened by name with a mode letter:
//   'r' read an existing file (others may read and write it meanwhile);
//   'w' create or empty it for writing (others may only read);
//   'a' open or create it for writing, positioned at its end.
// With the report flag a file that cannot be opened is reported (17000, "cannot
// open %s"); the stream then stays closed. With the protection flag, Ctrl-C is
// ignored while a 'w' or 'a' stream is open, so that it cannot end the process
// halfway through the file; the handler in place before is restored afterwards.
// Any other mode letter is a broken invariant (internal error 1130).
class LFileStream : public LHandleStream {
public:
    LFileStream() = default;
    // A null name leaves the stream closed.
    LFileStream(const char* fileName, char mode, bool report = false, bool protect = false);
    ~LFileStream() override { LFileStream::close(); }

    // Closes what is open, then opens the file. Returns 0 when the stream is open
    // afterwards, 1 when it is not.
    int open(const char* fileName, char mode, bool report = false, bool protect = false);
    void close() override;
    // The file name as given (a copy).
    const char* name() const override { return name_.data(); }

    // Protection state: 0 not requested, 1 requested (not active), 2 active.
    int protection() const { return protection_; }

private:
    DWORD access_ = 0;
    DWORD shareMode_ = 0;
    DWORD disposition_ = 0;
    DWORD attributes_ = FILE_ATTRIBUTE_NORMAL;
    int protection_ = 0;
    LString name_;
};

// Reads the bytes of a string, which must stay unchanged while the stream is used.
class LMemoryStream : public LStream {
public:
    explicit LMemoryStream(const LString& source)
        : buffer_(source.data()), size_(source.length())
    {
    }
    // Copies up to count bytes from the position on (a negative count reads nothing).
    int32_t read(void* buffer, int32_t count) override;
    // Moves to a position from 0 to the size; any other leaves it. Returns the position.
    int64_t seek(int64_t position) override;
    int64_t position() override { return position_; }
    bool flush() override { return true; }
    void close() override {}

private:
    const char* buffer_;
    int32_t size_;
    int32_t position_ = 0;
};

// Appends what is written to a string, which must outlive the stream.
class LStringStream : public LStream {
public:
    explicit LStringStream(LString& target) : target_(target) {}
    // Returns the number of bytes appended; a null buffer appends nothing.
    int32_t write(const void* buffer, int32_t count) override;
    // Cuts the string to position characters when that is shorter; returns its length.
    int64_t seek(int64_t position) override;
    int64_t position() override { return target_.length(); }
    bool flush() override { return true; }
    bool isOpen() const override { return true; }
    void close() override {}

private:
    LString& target_;
};

// Writes messages to a mailslot on this machine ("\\.\mailslot\" + name). A
// mailslot that no server has created gives a stream whose writes write nothing,
// without a message. It counts as open throughout; its handle goes with it.
class LMailslotStream : public LStream {
public:
    explicit LMailslotStream(const char* name);
    // Up to 10 attempts of up to 100 ms each: a write into a full mailslot is
    // given up rather than waited for. Returns the bytes written, short of count
    // when the attempts did not suffice (0 when the stream is closed).
    int32_t write(const void* buffer, int32_t count) override;
    bool flush() override { return true; }
    bool isOpen() const override { return true; }
    void close() override {}
    const char* name() const override { return "mailslot stream"; }

    static constexpr int kAttempts = 10;
    static constexpr DWORD kRetryDelayMs = 100;

private:
    // One attempt: false when the system refused the write or it did not finish in time.
    bool writeOnce(const char* bytes, DWORD count, DWORD& written);

    LKernelHandle done_; // signalled when a write has finished
    LFileHandle handle_;
};
