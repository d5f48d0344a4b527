// Calls aimed at a window whose thread never retrieves a message (a program
// that hangs): a click or keys wait out one message's bound and send nothing
// more; the title and placement give up after as long; the call returns to the
// script.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "tests/desktop/desktop_fixture.h"
#include "tests/desktop/recording_window.h"

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
