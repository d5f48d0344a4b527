#include "tests/desktop/recording_window.h"
#include "tests/harness_windows.h"

#include <cstdio>

namespace {

const wchar_t kClassName[] = L"VexaRecordingWindow";
constexpr DWORD kHostTimeoutMs = 10000;
// Lets a test whose server never gives up end anyway.
constexpr DWORD kLongestBlockMs = 15000;

} // namespace

void PrintTo(const RecordedMessage& message, std::ostream* out) { *out << formatMessage(message); }

std::vector<RecordedMessage> buttonMessages(const std::vector<RecordedMessage>& log)
{
    std::vector<RecordedMessage> buttons;
    for (const RecordedMessage& entry : log)
        if (entry.message >= WM_LBUTTONDOWN && entry.message <= WM_LBUTTONDBLCLK)
            buttons.push_back({entry.message, entry.wParam, LPARAM(DWORD(entry.lParam))});
    return buttons;
}

RecordingWindow::RecordingWindow(const WindowOptions& options)
{
    static std::once_flag registered;
    std::call_once(registered, [] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = procedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        windowClass.lpszClassName = kClassName;
        RegisterClassExW(&windowClass);
    });
    DWORD style = (options.parent ? WS_CHILD : WS_POPUP) | WS_CLIPSIBLINGS;
    style |= options.titleBar ? WS_CAPTION | WS_SYSMENU : WS_BORDER;
    if (options.parent && options.visible)
        style |= WS_VISIBLE;
    handle_ = CreateWindowExW(0, kClassName, options.title.c_str(), style, options.x, options.y, options.width,
                              options.height, options.parent, nullptr, GetModuleHandleW(nullptr), this);
    // Shown without activation: a test decides itself what is in the foreground.
    if (handle_ && options.visible && !options.parent)
        ShowWindow(handle_, SW_SHOWNOACTIVATE);
}

RecordingWindow::~RecordingWindow()
{
    if (handle_ && GetWindowLongPtrW(handle_, GWLP_USERDATA) == reinterpret_cast<LONG_PTR>(this))
        DestroyWindow(handle_);
}

std::vector<RecordedMessage> RecordingWindow::messages()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return log_;
}

LRESULT CALLBACK RecordingWindow::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE)
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    auto* self = reinterpret_cast<RecordingWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self) {
        {
            std::lock_guard<std::mutex> lock(self->mutex_);
            self->log_.push_back({message, wParam, lParam});
        }
        if (self->onMessage)
            self->onMessage(window, message);
        if (message == WM_NCDESTROY)
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

ThreadHostedWindow::ThreadHostedWindow(const WindowOptions& options)
    : released_(CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread_ = std::thread([this, options, ready] {
        window_ = std::make_unique<RecordingWindow>(options);
        window_->onMessage = [this](HWND, UINT message) {
            if (message == 0 || message != blockOn_.load())
                return;
            // Messages sent meanwhile wait too: nothing here lets them in.
            const ULONGLONG end = GetTickCount64() + kLongestBlockMs;
            while (WaitForSingleObject(released_, 10) == WAIT_TIMEOUT && GetTickCount64() < end)
                if (HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE)
                    sentWhileBlocked_ = true;
        };
        handle_ = window_->handle();
        threadId_ = GetCurrentThreadId();
        SetEvent(ready);
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        window_.reset();
    });
    WaitForSingleObject(ready, INFINITE);
    CloseHandle(ready);
}

ThreadHostedWindow::~ThreadHostedWindow()
{
    release();
    PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    thread_.join();
    CloseHandle(released_);
}

std::vector<RecordedMessage> ThreadHostedWindow::messages() { return window_->messages(); }

void ThreadHostedWindow::blockOn(UINT message)
{
    ResetEvent(released_);
    blockOn_ = message;
}

void ThreadHostedWindow::release()
{
    blockOn_ = 0;
    SetEvent(released_);
}

StalledWindow::StalledWindow(const WindowOptions& options) : resumed_(CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread_ = std::thread([this, options, ready] {
        window_ = std::make_unique<RecordingWindow>(options);
        handle_ = window_->handle();
        threadId_ = GetCurrentThreadId();
        // Creating the window left messages in the queue; they stay there too.
        SetEvent(ready);
        // A plain wait: it lets no sent message in.
        WaitForSingleObject(resumed_, INFINITE);
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        window_.reset();
    });
    WaitForSingleObject(ready, INFINITE);
    CloseHandle(ready);
}

StalledWindow::~StalledWindow()
{
    resume();
    PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    thread_.join();
    CloseHandle(resumed_);
}

std::vector<RecordedMessage> StalledWindow::messages() { return window_->messages(); }

void StalledWindow::resume() { SetEvent(resumed_); }

ProcessHostedWindow::ProcessHostedWindow(const WindowOptions& options)
{
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE childEnd = nullptr;
    if (!CreatePipe(&output_, &childEnd, &inheritable, 0))
        return;
    SetHandleInformation(output_, HANDLE_FLAG_INHERIT, 0);
    const std::wstring program = besideThisProgram(L"window_host.exe");
    std::wstring commandLine = L"\"" + program + L"\" " + hostArguments(options);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = childEnd;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    const bool started = CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &process);
    CloseHandle(childEnd);
    if (!started)
        return;
    CloseHandle(process.hThread);
    process_ = process.hProcess;
    std::string line;
    long long handle = 0;
    if (readLine(line) && sscanf(line.c_str(), "window %lld", &handle) == 1)
        handle_ = reinterpret_cast<HWND>(static_cast<intptr_t>(handle));
}

ProcessHostedWindow::~ProcessHostedWindow()
{
    if (process_) {
        if (!handle_ || !PostMessageW(handle_, WM_CLOSE, 0, 0) ||
            WaitForSingleObject(process_, kHostTimeoutMs) != WAIT_OBJECT_0)
            TerminateProcess(process_, 1);
        CloseHandle(process_);
    }
    if (output_)
        CloseHandle(output_);
}

std::vector<RecordedMessage> ProcessHostedWindow::messages()
{
    std::vector<RecordedMessage> log;
    // Posted, so the host answers after every message sent before it.
    if (!PostMessageW(handle_, kReportMessage, 0, 0))
        return log;
    std::string line;
    while (readLine(line) && line != "end") {
        unsigned message = 0;
        unsigned long long wParam = 0, lParam = 0;
        if (sscanf(line.c_str(), "%x %llx %llx", &message, &wParam, &lParam) == 3)
            log.push_back({message, WPARAM(wParam), LPARAM(lParam)});
    }
    return log;
}

// One line of the host's output; false when it has none within the time limit.
bool ProcessHostedWindow::readLine(std::string& line)
{
    const ULONGLONG deadline = GetTickCount64() + kHostTimeoutMs;
    for (;;) {
        const size_t end = pending_.find('\n');
        if (end != std::string::npos) {
            line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            return true;
        }
        DWORD available = 0;
        if (!PeekNamedPipe(output_, nullptr, 0, nullptr, &available, nullptr))
            return false;
        if (available == 0) {
            if (GetTickCount64() > deadline)
                return false;
            Sleep(5);
            continue;
        }
        char buffer[4096];
        DWORD got = 0;
        if (!ReadFile(output_, buffer, available < sizeof buffer ? available : sizeof buffer, &got, nullptr))
            return false;
        pending_.append(buffer, got);
    }
}

const char* hostName(Host host)
{
    switch (host) {
    case Host::ThisThread: return "this thread";
    case Host::OtherThread: return "another thread";
    case Host::OtherProcess: return "another process";
    }
    return "?";
}

std::unique_ptr<HostedWindow> hostWindow(Host host, const WindowOptions& options)
{
    switch (host) {
    case Host::ThisThread: return std::make_unique<RecordingWindow>(options);
    case Host::OtherThread: return std::make_unique<ThreadHostedWindow>(options);
    case Host::OtherProcess: return std::make_unique<ProcessHostedWindow>(options);
    }
    return nullptr;
}

// X Y WIDTH HEIGHT FLAGS "TITLE", FLAGS holding t (title bar) and v (visible) or
// "-"; a title with a double quote cannot cross.
std::wstring hostArguments(const WindowOptions& options)
{
    std::wstring flags = std::wstring(options.titleBar ? L"t" : L"") + (options.visible ? L"v" : L"");
    return std::to_wstring(options.x) + L" " + std::to_wstring(options.y) + L" " + std::to_wstring(options.width) +
           L" " + std::to_wstring(options.height) + L" " + (flags.empty() ? L"-" : flags) + L" \"" +
           options.title + L"\"";
}

WindowOptions parseHostArguments(int count, wchar_t** arguments)
{
    WindowOptions options;
    if (count < 7)
        return options;
    options.x = _wtoi(arguments[1]);
    options.y = _wtoi(arguments[2]);
    options.width = _wtoi(arguments[3]);
    options.height = _wtoi(arguments[4]);
    const std::wstring flags = arguments[5];
    options.titleBar = flags.find(L't') != std::wstring::npos;
    options.visible = flags.find(L'v') != std::wstring::npos;
    options.title = arguments[6];
    return options;
}

void writeLine(HANDLE output, const std::string& line)
{
    const std::string text = line + "\n";
    DWORD written = 0;
    WriteFile(output, text.data(), DWORD(text.size()), &written, nullptr);
}

std::string formatMessage(const RecordedMessage& message)
{
    char text[64];
    snprintf(text, sizeof text, "%x %llx %llx", message.message, static_cast<unsigned long long>(message.wParam),
             static_cast<unsigned long long>(message.lParam));
    return text;
}
