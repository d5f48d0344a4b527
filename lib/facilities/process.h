// Child processes talked to through anonymous pipes: the owner writes the child's
// standard input and polls its standard output and standard error, never blocking
// on a read.
#pragma once
#include <cstdint>

#include "lib/owners.h"
#include "lib/facilities/streams.h"

// Neither end is inheritable: a child process is handed its end only while it is
// being started (LChildProcess), so no other child can keep the pipe open.
class LAnonymPipe : public LStream {
public:
    // Creates the pipe; a failure is reported (17000, "CreatePipe()") and leaves
    // both ends closed.
    LAnonymPipe() { create(); }
    ~LAnonymPipe() override { LAnonymPipe::close(); }

    // Closes both ends and makes a new pipe; true when it could be made.
    bool create();

    // Bytes waiting in the pipe, -1 when the peek fails (also once the writer
    // has gone and the pipe is empty).
    int32_t available() const;
    // Reads what is waiting, at most count bytes, without waiting for more.
    int32_t read(void* buffer, int32_t count) override;
    // One write of count bytes (-1: up to the NUL); returns the bytes written.
    int32_t write(const void* buffer, int32_t count) override;
    // True while the read end is open.
    bool isOpen() const override { return readEnd_.valid(); }
    void close() override;
    void closeReadEnd();
    void closeWriteEnd();
    bool hasBothEnds() const { return readEnd_.valid() && writeEnd_.valid(); }

    HANDLE readHandle() const { return readEnd_.get(); }
    HANDLE writeHandle() const { return writeEnd_.get(); }

private:
    LFileHandle readEnd_;
    LFileHandle writeEnd_;
};

// A command line run as a hidden child process in a process group of its own,
// its standard input fed from one pipe, its standard output and standard error
// collected in another. Destroying the object closes the pipes and the handles but
// neither waits for nor ends the child.
class LChildProcess : public LStream {
public:
    // The exit code before a start succeeds.
    static constexpr uint32_t kNotStarted = 10000;
    // The exit code that kill gives the child, so a killed child never looks
    // like one that succeeded.
    static constexpr uint32_t kKilled = 1;

    LChildProcess() = default;

    // Starts the command line (current directory null: the caller's). A failure is
    // reported (17000, "failed to start command '%s'") and sets the exit code to
    // kNotStarted. Starting again replaces the previous child's handles and
    // pipes; what that child wrote and was not read is dropped.
    bool start(const char* commandLine, const char* currentDirectory = nullptr);
    // True while the child runs; reads its exit code once it has ended.
    bool isRunning();
    // Sends Ctrl-C (with the flag) or Ctrl-Break to the child's process group
    // while the child runs; true when the system accepted it.
    bool sendBreak(bool ctrlC);
    // Ends the child with exit code kKilled and waits briefly until it has ended.
    // A child that has already ended keeps its own exit code. A failure is
    // reported (17000, "could not kill the child process").
    bool kill();

    // What the child wrote, at most count bytes, without waiting.
    int32_t read(void* buffer, int32_t count) override;
    int32_t available() const { return output_.available(); }
    // Writes to the child's standard input (this may wait while the pipe is full).
    int32_t write(const void* buffer, int32_t count) override;
    // Ends the child's standard input, so a child that reads it to the end can go on.
    void closeInput() { input_.closeWriteEnd(); }

    // kNotStarted, STILL_ACTIVE (259) while running, else the child's exit code.
    uint32_t exitCode() const { return exitCode_; }
    DWORD processId() const { return process_.processId; }
    DWORD threadId() const { return process_.threadId; }

private:
    LProcessInformation process_;
    uint32_t exitCode_ = kNotStarted;
    LAnonymPipe input_;
    LAnonymPipe output_;
};

// Sends console control events to a process group; tests replace it to see
// what is sent.
using ConsoleEventSender = BOOL(WINAPI*)(DWORD event, DWORD processGroup);
ConsoleEventSender& consoleEventSender();
