// Calls aimed at a window whose thread never retrieves a message (a program
// that hangs): a click or keys wait out one message's bound and send nothing
// more; the title and placement give up after as long, and so does the clipboard
// for text that its owner promised; the call returns to the script.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "lib/charset.h"
#include "lib/clipboard.h"
#include "lib/messages.h"
#include "tests/desktop/desktop_fixture.h"
#include "tests/desktop/recording_window.h"
#include "tests/harness_windows.h"

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

// How long one message may wait for its target.
constexpr ULONGLONG kMessageBoundMs = 5000;
// Scheduling under Wine, and the round trips of bringing the window forward.
constexpr ULONGLONG kSlackMs = 2000;

struct HungCase {
    const char* name;
    DISPID method;
    bool underPointer; // no window argument: the window under the pointer
    const wchar_t* keys;
    UINT firstMessage; // the one message that may have reached the window
};

const HungCase kHungCases[] = {
    {"click by handle", kClick, false, nullptr, WM_LBUTTONDOWN},
    {"dblClick under the pointer", kDblClick, true, nullptr, WM_LBUTTONDOWN},
    {"sendKeys by handle", kSendKeys, false, L"abc{ENTER}", WM_KEYDOWN},
};

bool isInputMessage(UINT message)
{
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
           (message >= WM_LBUTTONDOWN && message <= WM_LBUTTONDBLCLK);
}

} // namespace

class HungTarget : public DesktopTest {};

TEST_F(HungTarget, ClickDoubleClickAndSendKeysReturnWithinTheirBound)
{
    for (const HungCase& c : kHungCases) {
        SCOPED_TRACE(c.name);
        StalledWindow window({.x = 240, .y = 180, .width = 320, .height = 240});
        ASSERT_TRUE(IsWindow(window.handle()));
        const POINT inside{300, 250};
        if (c.underPointer) {
            ASSERT_EQ(placePointer(inside), inside);
            ASSERT_EQ(WindowFromPoint(inside), window.handle());
        }
        std::vector<VARIANT> arguments;
        if (c.keys)
            arguments.push_back(text(c.keys));
        if (!c.underPointer)
            arguments.push_back(handleArgument(window.handle()));

        const ULONGLONG start = GetTickCount64();
        call(c.method, std::move(arguments));
        const ULONGLONG elapsed = GetTickCount64() - start;
        printf("%s into a hung window returned after %llu ms\n", c.name, static_cast<unsigned long long>(elapsed));

        EXPECT_GE(elapsed, kMessageBoundMs - 100) << "the window did not hang: the call proves nothing";
        EXPECT_LT(elapsed, kMessageBoundMs + kSlackMs) << "one message waits out its bound, then the call ends";
        window.resume();
        DWORD_PTR ignored = 0;
        ASSERT_TRUE(SendMessageTimeoutW(window.handle(), WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored));
        std::vector<UINT> received;
        for (const RecordedMessage& m : window.messages())
            if (isInputMessage(m.message))
                received.push_back(m.message);
        // The message that timed out may still be delivered; nothing behind it.
        EXPECT_LE(received.size(), 1u);
        if (!received.empty()) {
            EXPECT_EQ(received.front(), c.firstMessage);
        }
    }
}

namespace {

// One call, with an object of its own on a thread of its own, so that a call
// that never returns fails the test instead of hanging it. The destructor waits
// for the call: let the window go before.
class WatchedCall {
public:
    WatchedCall(DISPID method, std::vector<VARIANT> arguments, VARIANT* result)
        : arguments_(std::move(arguments)), done_(CreateEventW(nullptr, TRUE, FALSE, nullptr))
    {
        std::reverse(arguments_.begin(), arguments_.end()); // the client's last argument comes first
        thread_ = std::thread([this, method, result] {
            if (SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
                if (IDispatch* server = ModuleFixture::createServer()) {
                    DISPPARAMS parameters{arguments_.data(), nullptr, UINT(arguments_.size()), 0};
                    server->Invoke(method, IID_NULL, 0, DISPATCH_METHOD, &parameters, result, nullptr, nullptr);
                    server->Release();
                }
                CoUninitialize();
            }
            SetEvent(done_);
        });
    }
    ~WatchedCall()
    {
        thread_.join();
        CloseHandle(done_);
        for (VARIANT& argument : arguments_)
            VariantClear(&argument);
    }
    WatchedCall(const WatchedCall&) = delete;
    WatchedCall& operator=(const WatchedCall&) = delete;
    // True when the call returned within the bound.
    bool returnsWithin(ULONGLONG bound) { return WaitForSingleObject(done_, DWORD(bound)) == WAIT_OBJECT_0; }

private:
    std::vector<VARIANT> arguments_;
    HANDLE done_;
    std::thread thread_;
};

} // namespace

TEST_F(HungTarget, WindowTitleAndPlacementDoNotWaitForIt)
{
    const struct {
        const char* name;
        DISPID method;
        bool placement;
    } cases[] = {{"getWindowText", kGetWindowText, false},
                 {"setWindowPos", kSetWindowPos, true},
                 {"setWindowSize", kSetWindowSize, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StalledWindow window({.x = 240, .y = 180, .width = 320, .height = 240});
        const RECT before = windowRect(window.handle());
        std::vector<VARIANT> arguments{handleArgument(window.handle())};
        if (c.placement)
            arguments.insert(arguments.end(), {i4(50), i4(60)});
        VARIANT result = i4(kSentinel);
        bool returned = false;
        ULONGLONG elapsed = 0;
        {
            const ULONGLONG start = GetTickCount64();
            WatchedCall call(c.method, std::move(arguments), &result);
            returned = call.returnsWithin(kMessageBoundMs + kSlackMs);
            elapsed = GetTickCount64() - start;
            window.resume(); // a call still waiting ends now
        }
        printf("%s of a hung window returned after %llu ms\n", c.name, static_cast<unsigned long long>(elapsed));
        EXPECT_TRUE(returned) << "waited for the hung window without a bound";
        if (returned) {
            EXPECT_EQ(V_VT(&result), VT_I4);
            EXPECT_EQ(V_I4(&result), kSentinel) << "nothing read from a window that does not answer";
            EXPECT_EQ(windowRect(window.handle()), before) << "nothing placed";
        }
        VariantClear(&result);
    }
}

namespace {

// The longest the clipboard owner hangs when the test does not let it go on.
constexpr DWORD kOwnerHangMs = 15000;
// Ends the owner should its input never close.
constexpr ULONGLONG kOwnerLifetimeMs = 60000;

const char kRenderedAtOnce[] = "rendered at once";
const wchar_t kPromised[] = L"promised, rendered late";

HGLOBAL globalCopy(const void* bytes, size_t count)
{
    const HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, count);
    if (void* memory = block ? GlobalLock(block) : nullptr) {
        memcpy(memory, bytes, count);
        GlobalUnlock(block);
    }
    return block;
}

void giveToClipboard(UINT format, HGLOBAL block)
{
    if (!SetClipboardData(format, block))
        GlobalFree(block);
}

LRESULT CALLBACK promisingOwner(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_RENDERFORMAT && wParam == CF_UNICODETEXT) {
        giveToClipboard(CF_UNICODETEXT, globalCopy(kPromised, sizeof kPromised));
        printf("rendered\n");
        fflush(stdout);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// Puts the clipboard's text back as the object goes.
class KeptClipboardText {
public:
    KeptClipboardText() { FGetClipboardWText(nullptr, text_); }
    ~KeptClipboardText() { FPutClipboardText(narrowFromWide(text_).data(), nullptr, text_.data()); }
    KeptClipboardText(const KeptClipboardText&) = delete;
    KeptClipboardText& operator=(const KeptClipboardText&) = delete;

private:
    LWString text_;
};

} // namespace

// Handles messages until the event (if any) is set, WM_QUIT comes or the time is
// up; false when the owner is to end.
bool pumpUntil(HANDLE event, ULONGLONG end)
{
    while (GetTickCount64() < end) {
        if (MsgWaitForMultipleObjects(event ? 1 : 0, &event, FALSE, 100, QS_ALLINPUT) == WAIT_OBJECT_0 && event)
            return true;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT)
                return false;
            DispatchMessageW(&message);
        }
    }
    return false;
}

// The clipboard owner of the test below: a program that puts CF_TEXT on the
// clipboard and promises CF_UNICODETEXT. The first line on its input makes it
// hang (it says "hanging"), the second, or a time limit, lets it go on; the end
// of its input ends it.
CHILD_SCENARIO(PromiseClipboardTextAndHang)
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = promisingOwner;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"VexaPromisingOwner";
    RegisterClassW(&windowClass);
    const HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                        windowClass.hInstance, nullptr);
    if (!window || !OpenClipboard(window))
        return;
    EmptyClipboard();
    giveToClipboard(CF_TEXT, globalCopy(kRenderedAtOnce, sizeof kRenderedAtOnce));
    SetClipboardData(CF_UNICODETEXT, nullptr);
    CloseClipboard();
    const HANDLE hang = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const HANDLE goOn = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const DWORD thread = GetCurrentThreadId();
    std::thread([thread, hang, goOn] {
        char c = 0;
        DWORD got = 0;
        while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), &c, 1, &got, nullptr) && got == 1)
            if (c == '\n')
                SetEvent(WaitForSingleObject(hang, 0) == WAIT_OBJECT_0 ? goOn : hang);
        SetEvent(hang);
        SetEvent(goOn);
        PostThreadMessageW(thread, WM_QUIT, 0, 0);
    }).detach();
    printf("ready\n");
    fflush(stdout);
    const ULONGLONG end = GetTickCount64() + kOwnerLifetimeMs;
    if (pumpUntil(hang, end)) {
        printf("hanging\n");
        fflush(stdout);
        WaitForSingleObject(goOn, kOwnerHangMs); // a plain wait: messages sent meanwhile wait unhandled
        pumpUntil(nullptr, end);
    }
    DestroyWindow(window);
}

TEST_F(HungTarget, ClipboardGivesUpTextThatItsOwnerDoesNotRender)
{
    const KeptClipboardText kept;
    RunningScenario owner("PromiseClipboardTextAndHang");
    std::string line;
    ASSERT_TRUE(owner.readLine(line, 10000));
    ASSERT_EQ(line, "ready");
    const HWND ownerWindow = GetClipboardOwner();
    // Wine's OpenClipboard first asks the owner whether the content changed, at
    // most every 2 seconds and waiting up to 5 for an owner that hangs. Asked now,
    // while the owner answers, it does not ask again during the reads below.
    ASSERT_TRUE(OpenClipboard(nullptr));
    CloseClipboard();
    owner.writeLine("hang");
    ASSERT_TRUE(owner.readLine(line, 10000));
    ASSERT_EQ(line, "hanging");

    // What the owner put there at once is read at once, hung owner or not.
    LString rendered;
    ULONGLONG start = GetTickCount64();
    EXPECT_TRUE(FGetClipboardText(nullptr, rendered));
    EXPECT_LT(GetTickCount64() - start, kSlackMs) << "waited for the owner although its text was there";
    EXPECT_STREQ(rendered.data(), kRenderedAtOnce);

    // What it promised is given up at the bound. The reader left waiting keeps
    // the next call within its bound too, even for text that has no owner to
    // wait for: under Wine a GetClipboardData of this process would wait for the
    // reader's without a limit.
    struct Read {
        VARIANT result = i4(kSentinel);
        bool returned = false;
        ULONGLONG elapsedMs = 0;
    } promised, ownerless;
    const auto readWatched = [&owner](Read& read, bool thenLetTheOwnerGoOn) {
        const ULONGLONG started = GetTickCount64();
        WatchedCall call(kGetClipboard, {}, &read.result);
        read.returned = call.returnsWithin(kMessageBoundMs + kSlackMs);
        read.elapsedMs = GetTickCount64() - started;
        if (thenLetTheOwnerGoOn)
            owner.writeLine("go on"); // a call still waiting ends now
    };
    CaptureStdout();
    readWatched(promised, false);
    const HWND ownerAfterwards = GetClipboardOwner();
    // Wine lets this opener in, naming no window as the reader that gave up does.
    const bool replaced = OpenClipboard(nullptr);
    if (replaced) {
        EmptyClipboard();
        const wchar_t replacement[] = L"no owner";
        giveToClipboard(CF_UNICODETEXT, globalCopy(replacement, sizeof replacement));
        CloseClipboard();
    }
    readWatched(ownerless, true);
    const std::string output = GetCapturedStdout();
    printf("with the clipboard owner hung, getClipboard returned after %llu ms, the next after %llu ms\n",
           static_cast<unsigned long long>(promised.elapsedMs), static_cast<unsigned long long>(ownerless.elapsedMs));
    for (Read* read : {&promised, &ownerless}) {
        SCOPED_TRACE(read == &promised ? "promised text" : "text without an owner");
        EXPECT_TRUE(read->returned) << "waited without a bound";
        EXPECT_GE(read->elapsedMs, kMessageBoundMs - 100) << "nothing to wait for: the call proves nothing";
        EXPECT_EQ(V_VT(&read->result), VT_I4);
        EXPECT_EQ(V_I4(&read->result), kSentinel) << "something read although the call gave up";
        VariantClear(&read->result);
    }
    EXPECT_EQ(ownerAfterwards, ownerWindow) << "the call that gave up changed the clipboard";
    EXPECT_TRUE(replaced) << "the second call did not read text without an owner";
    const std::string timeout = win32ErrorText(ERROR_TIMEOUT).data();
    EXPECT_NE(output.find("Error 17000: GetClipboardData() failed: " + timeout), std::string::npos) << output;
    EXPECT_NE(output.find("Error 17000: OpenClipboard() failed: " + timeout), std::string::npos) << output;

    // Once the owner answers, the reader that gave up lets the clipboard go and
    // the clipboard serves as before.
    ASSERT_TRUE(owner.readLine(line, kOwnerHangMs)) << "the owner never rendered";
    EXPECT_EQ(line, "rendered");
    CaptureStdout();
    VARIANT ours{};
    call(kSetClipboard, {text(L"after the owner recovered")});
    call(kGetClipboard, {}, &ours);
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(V_VT(&ours), VT_BSTR);
    if (V_VT(&ours) == VT_BSTR) {
        EXPECT_STREQ(V_BSTR(&ours), L"after the owner recovered");
    }
    VariantClear(&ours);
}
