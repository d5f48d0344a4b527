// Test windows that record every message they receive, hosted in the test's
// thread, in a thread of their own, or in the helper process window_host.exe.
#pragma once
#include <windows.h>

#include <atomic>
#include <functional>
#include <ostream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct RecordedMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const RecordedMessage&) const = default;
};
void PrintTo(const RecordedMessage& message, std::ostream* out);

struct WindowOptions {
    int x = 200, y = 150, width = 300, height = 200;
    // Under Wine without a window manager a title bar costs 2 s when the window
    // goes, and WindowFromPoint does not see the title bar (it leaves it to the
    // window manager): use one only where a test needs it.
    bool titleBar = false;
    bool visible = true;
    HWND parent = nullptr; // set: a child at (x, y) of the parent's client area
    std::wstring title = L"Vexa recording window";
};

// The left-button messages of a log, lParam cut to the 32 bits of a position
// word pair (whether the upper half of a 64-bit lParam is signed is no concern).
std::vector<RecordedMessage> buttonMessages(const std::vector<RecordedMessage>& log);

class HostedWindow {
public:
    virtual ~HostedWindow() = default;
    HWND handle() const { return handle_; }
    // Everything the window has received so far, in order.
    virtual std::vector<RecordedMessage> messages() = 0;

protected:
    HWND handle_ = nullptr;
};

// A window of the calling thread, destroyed with the object; the thread pumps.
class RecordingWindow : public HostedWindow {
public:
    explicit RecordingWindow(const WindowOptions& options = {});
    ~RecordingWindow() override;
    RecordingWindow(const RecordingWindow&) = delete;
    RecordingWindow& operator=(const RecordingWindow&) = delete;
    std::vector<RecordedMessage> messages() override;
    // Called for every message once it is recorded, before it is handled.
    std::function<void(HWND window, UINT message)> onMessage;

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    std::mutex mutex_;
    std::vector<RecordedMessage> log_;
};

// A window in a thread of its own that runs a message loop.
class ThreadHostedWindow : public HostedWindow {
public:
    explicit ThreadHostedWindow(const WindowOptions& options = {});
    ~ThreadHostedWindow() override;
    std::vector<RecordedMessage> messages() override;
    // From the next such message on, the window's thread waits in the window
    // procedure, handling nothing else, until release() or a quarter of a minute.
    void blockOn(UINT message);
    void release();
    // Whether a message was sent to the window while it waited. (Wine withdraws a
    // sent message whose sender stopped waiting, so the log cannot tell.)
    bool sentWhileBlocked() const { return sentWhileBlocked_; }

private:
    std::unique_ptr<RecordingWindow> window_; // made and destroyed on thread_
    std::atomic<UINT> blockOn_{0};
    std::atomic<bool> sentWhileBlocked_{false};
    HANDLE released_;
    DWORD threadId_ = 0;
    std::thread thread_;
};

// A window whose thread, once the window exists, retrieves no message at all
// until the object goes: a program that hangs. Messages sent to it meanwhile
// wait unhandled; what the window received shows after the object is released.
class StalledWindow : public HostedWindow {
public:
    explicit StalledWindow(const WindowOptions& options = {});
    ~StalledWindow() override;
    StalledWindow(const StalledWindow&) = delete;
    StalledWindow& operator=(const StalledWindow&) = delete;
    std::vector<RecordedMessage> messages() override;
    // Lets the thread handle what waits for it, then keeps it pumping.
    void resume();

private:
    std::unique_ptr<RecordingWindow> window_; // made and destroyed on thread_
    HANDLE resumed_;
    DWORD threadId_ = 0;
    std::thread thread_;
};

// A window of window_host.exe, which sits beside the test program.
class ProcessHostedWindow : public HostedWindow {
public:
    explicit ProcessHostedWindow(const WindowOptions& options = {});
    ~ProcessHostedWindow() override;
    std::vector<RecordedMessage> messages() override;

private:
    bool readLine(std::string& line);
    HANDLE process_ = nullptr;
    HANDLE output_ = nullptr;
    std::string pending_;
};

enum class Host { ThisThread, OtherThread, OtherProcess };
const char* hostName(Host host);
std::unique_ptr<HostedWindow> hostWindow(Host host, const WindowOptions& options = {});

// The protocol between ProcessHostedWindow and window_host.exe.
constexpr UINT kReportMessage = WM_APP + 1; // posted: write the log, then "end"
std::wstring hostArguments(const WindowOptions& options);
WindowOptions parseHostArguments(int count, wchar_t** arguments);
void writeLine(HANDLE output, const std::string& line);
std::string formatMessage(const RecordedMessage& message);
