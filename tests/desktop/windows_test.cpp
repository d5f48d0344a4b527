// The window methods on recording windows in every host, and what every method
// with a window argument does with a handle that names no window.
#include <gtest/gtest.h>

#include <functional>

#include "tests/desktop/desktop_fixture.h"
#include "tests/desktop/recording_window.h"

class Windows : public DesktopTest {
protected:
    // The rectangle as the four readers give it.
    RECT readRect(HWND window)
    {
        const int32_t left = intResult(kGetWindowPosX, {handleArgument(window)}).value_or(kSentinel);
        const int32_t top = intResult(kGetWindowPosY, {handleArgument(window)}).value_or(kSentinel);
        return {left, top, left + intResult(kGetWindowSizeX, {handleArgument(window)}).value_or(kSentinel),
                top + intResult(kGetWindowSizeY, {handleArgument(window)}).value_or(kSentinel)};
    }
    HWND topAt(POINT point) { return handleResult(kTopWindowFromPoint, {i4(point.x), i4(point.y)}); }
};

TEST_F(Windows, ReadersGiveTheOuterRectangleOnTheScreen)
{
    const struct {
        const char* name;
        Host host;
        WindowOptions options;
    } cases[] = {
        {"title bar", Host::ThisThread, {.x = 120, .y = 90, .width = 310, .height = 220, .titleBar = true}},
        {"hidden", Host::ThisThread, {.x = 130, .y = 100, .visible = false}},
        {"partly off the screen", Host::ThisThread, {.x = -40, .y = -30, .width = 200, .height = 150}},
        {"another thread", Host::OtherThread, {.x = 300, .y = 320}},
        {"another process", Host::OtherProcess, {.x = 310, .y = 330, .width = 250, .height = 170}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto window = hostWindow(c.host, c.options);
        const WindowOptions& o = c.options;
        EXPECT_EQ(readRect(window->handle()), (RECT{o.x, o.y, o.x + o.width, o.y + o.height}));
    }
    RecordingWindow parent;
    RecordingWindow child({.x = 20, .y = 10, .width = 60, .height = 40, .parent = parent.handle()});
    POINT origin{20, 10};
    ClientToScreen(parent.handle(), &origin);
    EXPECT_EQ(readRect(child.handle()), (RECT{origin.x, origin.y, origin.x + 60, origin.y + 40}));
}

TEST_F(Windows, SettersKeepTheOtherPairAndRaiseTheWindow)
{
    const POINT overlap{300, 250};
    const struct {
        DISPID method;
        int32_t first, second;
        RECT expected;
    } setters[] = {{kSetWindowPos, 60, 140, {60, 140, 360, 340}}, {kSetWindowSize, 250, 180, {100, 100, 350, 280}}};
    for (Host host : {Host::ThisThread, Host::OtherThread, Host::OtherProcess}) {
        for (const auto& setter : setters) {
            SCOPED_TRACE(testing::Message() << "method " << setter.method << ", " << hostName(host));
            const auto lower = hostWindow(host, {.x = 100, .y = 100, .width = 300, .height = 200});
            RecordingWindow upper({.x = 250, .y = 200, .width = 300, .height = 200});
            ASSERT_EQ(topAt(overlap), upper.handle());
            call(setter.method, {handleArgument(lower->handle()), i4(setter.first), i4(setter.second)});
            EXPECT_EQ(windowRect(lower->handle()), setter.expected);
            EXPECT_EQ(topAt(overlap), lower->handle());
        }
    }
    // Negative coordinates, and a child, whose place is read and kept on the screen.
    RecordingWindow parent({.x = 100, .y = 100, .width = 400, .height = 300});
    RecordingWindow child({.x = 20, .y = 10, .width = 60, .height = 40, .parent = parent.handle()});
    for (HWND window : {parent.handle(), child.handle()}) {
        call(kSetWindowPos, {handleArgument(window), i4(-30), i4(-20)});
        EXPECT_EQ(readRect(window).left, -30);
        EXPECT_EQ(readRect(window).top, -20);
        const RECT before = windowRect(window);
        call(kSetWindowSize, {handleArgument(window), i4(90), i4(70)});
        EXPECT_EQ(windowRect(window), (RECT{before.left, before.top, before.left + 90, before.top + 70}));
    }
}

TEST_F(Windows, TitleIsReadUpTo4095BytesAndAnEmptyOneLeavesTheResult)
{
    std::wstring longTitle;
    while (longTitle.size() < 5000)
        longTitle += std::to_wstring(longTitle.size() % 10);
    struct TitleCase {
        Host host;
        std::wstring title;
        std::optional<std::wstring> expected; // none: the result stays VT_EMPTY
    };
    std::vector<TitleCase> cases{
        {Host::ThisThread, L"Plain title", L"Plain title"},
        {Host::OtherThread, L"Title in another thread", L"Title in another thread"},
        {Host::OtherProcess, L"Title in another process", L"Title in another process"},
        {Host::ThisThread, L"", std::nullopt},
        {Host::OtherProcess, L"", std::nullopt},
        {Host::ThisThread, longTitle, longTitle.substr(0, 4095)},
        {Host::OtherProcess, longTitle, longTitle.substr(0, 4095)},
    };
    if (GetACP() == 1252)
        cases.push_back({Host::ThisThread, L"Caf\u00e9 \u20ac5", L"Caf\u00e9 \u20ac5"});
    for (const TitleCase& c : cases) {
        SCOPED_TRACE(testing::Message() << hostName(c.host) << ", title of " << c.title.size());
        const auto window = hostWindow(c.host, {.title = c.title});
        VARIANT result;
        VariantInit(&result);
        call(kGetWindowText, {handleArgument(window->handle())}, &result);
        if (c.expected) {
            ASSERT_EQ(V_VT(&result), VT_BSTR);
            EXPECT_EQ(std::wstring(V_BSTR(&result)), *c.expected);
        } else {
            EXPECT_EQ(V_VT(&result), VT_EMPTY);
        }
        VariantClear(&result);
    }
}

TEST_F(Windows, FindWindowLooksForTopLevelTitlesInTheCodePage)
{
    RecordingWindow shown({.title = L"Vexa find shown"});
    RecordingWindow hidden({.visible = false, .title = L"Vexa find hidden"});
    RecordingWindow child({.x = 5, .y = 5, .width = 50, .height = 30, .parent = shown.handle(), .title = L"Vexa find child"});
    ProcessHostedWindow other({.title = L"Vexa find in another process"});
    // A title the code page cannot hold, beside what a lossy conversion makes of it.
    RecordingWindow outside({.title = L"Vexa find \x0E01"});
    RecordingWindow lossy({.title = L"Vexa find ?"});
    const struct {
        const wchar_t* title;
        HWND expected;
    } cases[] = {
        {L"Vexa find shown", shown.handle()},
        {L"Vexa find hidden", hidden.handle()},
        {L"Vexa find in another process", other.handle()},
        {L"Vexa find child", nullptr},
        {L"Vexa find \x0E01", nullptr},
        {L"Vexa find nothing", nullptr},
    };
    for (const auto& c : cases)
        EXPECT_EQ(handleResult(kFindWindow, {text(c.title)}), c.expected) << testing::PrintToString(c.title);
    EXPECT_TRUE(keepsResult(kFindWindow, {handleArgument(shown.handle())}));
}

TEST_F(Windows, TopLevelSearchIsInclusiveAndSkipsHiddenWindowsWhileWindowFromPointMayGiveAChild)
{
    RecordingWindow lower({.x = 100, .y = 100, .width = 300, .height = 200});
    RecordingWindow upper({.x = 300, .y = 200, .width = 300, .height = 200});
    RecordingWindow child(
        {.x = 150, .y = 100, .width = 80, .height = 60, .parent = upper.handle()});
    RecordingWindow hidden({.x = 50, .y = 50, .width = 200, .height = 150, .visible = false}); // topmost
    ProcessHostedWindow other({.x = 700, .y = 500, .width = 200, .height = 150});
    const RECT inChild = windowRect(child.handle());
    const HWND unchecked = asHandle(-2);
    const struct {
        const char* name;
        POINT point;
        HWND top;
        HWND window; // unchecked: WindowFromPoint leaves right and bottom edges out
    } cases[] = {
        {"lower only, under the hidden window", {110, 110}, lower.handle(), lower.handle()},
        {"where both overlap", {350, 250}, upper.handle(), upper.handle()},
        {"upper's right and bottom edges", {600, 400}, upper.handle(), unchecked},
        {"just beyond them", {601, 401}, nullptr, unchecked},
        {"a child", {inChild.left + 5, inChild.top + 5}, upper.handle(), child.handle()},
        {"another process", {750, 550}, other.handle(), other.handle()},
        {"off every screen", {-20000, -20000}, nullptr, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(topAt(c.point), c.top);
        if (c.window != unchecked) {
            EXPECT_EQ(handleResult(kWindowFromPoint, {i4(c.point.x), i4(c.point.y)}), c.window);
        }
    }
    EXPECT_TRUE(keepsResult(kTopWindowFromPoint, {i4(350), text(L"250")}));
    EXPECT_TRUE(keepsResult(kWindowFromPoint, {r8(350), i4(250)}));
}

TEST_F(Windows, ForegroundAnyWhereAndActivationWithinTheThread)
{
    RecordingWindow first, second({.x = 50});
    const auto thread = hostWindow(Host::OtherThread, {.x = 400});
    const auto process = hostWindow(Host::OtherProcess, {.x = 600, .y = 500});
    for (HWND window : {first.handle(), thread->handle(), process->handle(), second.handle()}) {
        EXPECT_NE(intResult(kSetForegroundWindow, {handleArgument(window)}).value_or(0), 0);
        EXPECT_EQ(waitForForeground(window), window);
        EXPECT_EQ(handleResult(kGetForegroundWindow, {}), window);
    }
    EXPECT_EQ(handleResult(kGetActiveWindow, {}), second.handle());
    EXPECT_EQ(handleResult(kSetActiveWindow, {handleArgument(first.handle())}), second.handle());
    EXPECT_EQ(handleResult(kGetActiveWindow, {}), first.handle());
    EXPECT_EQ(handleResult(kSetActiveWindow, {handleArgument(thread->handle())}), nullptr) << "another thread's";
    EXPECT_EQ(GetActiveWindow(), first.handle());
    EXPECT_EQ(handleResult(kSetActiveWindow, {i4(0)}), first.handle()) << "0 deactivates";
    EXPECT_EQ(GetActiveWindow(), nullptr);

    waitForForeground(first.handle());
    SetForegroundWindow(thread->handle());
    ASSERT_EQ(waitForForeground(thread->handle()), thread->handle());
    EXPECT_EQ(handleResult(kGetActiveWindow, {}), nullptr) << "this thread has no active window now";
}

TEST_F(Windows, MethodsWithAWindowArgumentIgnoreOneThatNamesNoWindow)
{
    RecordingWindow front({.x = 600, .y = 100});
    RecordingWindow under({.x = 100, .y = 100});
    HWND destroyed = nullptr;
    {
        RecordingWindow gone;
        destroyed = gone.handle();
    }
    const RECT frontRect = windowRect(front.handle());
    const RECT underRect = windowRect(under.handle());
    placePointer({underRect.left + 20, underRect.top + 40});
    // A server that read strings or doubles as numbers would act on under.
    const intptr_t handle = reinterpret_cast<intptr_t>(under.handle());
    const std::function<VARIANT()> windows[] = {
        [=] { return text(std::to_wstring(handle)); },
        [=] { return r8(double(handle)); },
        [=] { return handleArgument(destroyed); },
        [] { return i4(0x7FFF1234); },
        [] { return i4(-1); },
        [] { return i4(-3); },
        [] { return i4(INT32_MIN); },
        [] { return i4(0); },
    };
    const struct {
        DISPID method;
        std::vector<int32_t> more;
    } methods[] = {
        {kClick, {}},         {kDblClick, {}},      {kSetActiveWindow, {}},    {kSetForegroundWindow, {}},
        {kGetWindowPosX, {}}, {kGetWindowPosY, {}}, {kGetWindowSizeX, {}},     {kGetWindowSizeY, {}},
        {kGetWindowText, {}}, {kSetWindowPos, {10, 20}}, {kSetWindowSize, {300, 200}},
    };
    for (const auto& m : methods) {
        // 0 is last: it names the window under the pointer to a click and
        // deactivates for setActiveWindow.
        const bool zeroMeansSomething = m.method == kClick || m.method == kDblClick || m.method == kSetActiveWindow;
        for (size_t i = 0; i < std::size(windows) - (zeroMeansSomething ? 1 : 0); ++i) {
            SCOPED_TRACE(testing::Message() << "method " << m.method << ", window argument " << i);
            SetForegroundWindow(front.handle());
            ASSERT_EQ(GetActiveWindow(), front.handle());
            std::vector<VARIANT> arguments{windows[i]()};
            for (int32_t value : m.more)
                arguments.push_back(i4(value));
            // The activation setters answer their failure value, 0, for a number
            // that names no window; refused types leave every result as passed.
            const bool answersFailure =
                (m.method == kSetActiveWindow || m.method == kSetForegroundWindow) && i >= 2;
            if (answersFailure)
                EXPECT_EQ(intResult(m.method, std::move(arguments)), 0);
            else
                EXPECT_TRUE(keepsResult(m.method, std::move(arguments)));
            pumpMessages();
            EXPECT_EQ(GetForegroundWindow(), front.handle());
            EXPECT_EQ(GetActiveWindow(), front.handle());
            EXPECT_EQ(windowRect(front.handle()), frontRect);
            EXPECT_EQ(windowRect(under.handle()), underRect);
            EXPECT_EQ(buttonMessages(front.messages()).size() + buttonMessages(under.messages()).size(), 0u);
        }
    }
    // The setters convert every argument before they move anything.
    call(kSetWindowPos, {handleArgument(under.handle()), i4(10), text(L"20")});
    call(kSetWindowSize, {handleArgument(under.handle()), r8(300), i4(200)});
    EXPECT_EQ(windowRect(under.handle()), underRect);
}

TEST_F(Windows, MethodsTolerateAWindowThatIsBeingDestroyed)
{
    HWND dying = nullptr;
    {
        RecordingWindow window;
        dying = window.handle();
        window.onMessage = [this](HWND handle, UINT message) {
            if (message != WM_DESTROY)
                return;
            for (DISPID method : {kClick, kSetForegroundWindow, kSetActiveWindow, kGetWindowPosX, kGetWindowText,
                                  kSetWindowPos, kSetWindowSize}) {
                std::vector<VARIANT> arguments{handleArgument(handle)};
                if (method == kSetWindowPos || method == kSetWindowSize)
                    arguments.insert(arguments.end(), {i4(150), i4(120)});
                VARIANT result;
                VariantInit(&result);
                call(method, arguments, &result);
                VariantClear(&result);
            }
        };
    }
    EXPECT_FALSE(IsWindow(dying));
}
