// click and dblClick on recording windows in every host, and the pointer and
// cursor methods.
#include <gtest/gtest.h>

#include "tests/desktop/desktop_fixture.h"
#include "tests/desktop/recording_window.h"

namespace {

enum class Naming { Pointer, Zero, Handle }; // how a click names its window

struct ClickCase {
    const char* name;
    Host host;
    bool titleBar;
    bool child; // the target is a child of the hosted window
    Naming naming;
    POINT pointer; // relative to the target's outer top-left corner
    bool twice;    // dblClick
};

const ClickCase kClickCases[] = {
    {"under the pointer, below the title bar", Host::ThisThread, true, false, Naming::Pointer, {15, 40}, false},
    {"dblClick under the pointer", Host::ThisThread, true, false, Naming::Pointer, {15, 40}, true},
    {"0 acts as no argument", Host::ThisThread, false, false, Naming::Zero, {3, 4}, false},
    {"a child under the pointer", Host::ThisThread, false, true, Naming::Pointer, {5, 6}, true},
    {"by handle, pointer left of and above", Host::ThisThread, true, false, Naming::Handle, {-7, -3}, true},
    {"another thread, under the pointer", Host::OtherThread, true, false, Naming::Pointer, {20, 30}, true},
    {"another thread, by handle, pointer right", Host::OtherThread, false, false, Naming::Handle, {310, 5}, false},
    {"another process, under the pointer", Host::OtherProcess, true, false, Naming::Pointer, {20, 30}, true},
    {"another process, by handle, pointer above", Host::OtherProcess, false, false, Naming::Handle, {40, -20}, false},
};

// A click's lParam: both coordinates cut to 16 bits.
LPARAM wordPair(POINT at) { return LPARAM(DWORD(WORD(at.x)) | DWORD(WORD(at.y)) << 16); }

} // namespace

class Click : public DesktopTest {};

TEST_F(Click, SendsButtonMessagesAtThePointerRelativeToTheOuterRectangle)
{
    for (const ClickCase& c : kClickCases) {
        SCOPED_TRACE(c.name);
        const auto window = hostWindow(c.host, {.titleBar = c.titleBar});
        ASSERT_TRUE(IsWindow(window->handle()));
        std::unique_ptr<RecordingWindow> child;
        HostedWindow* target = window.get();
        if (c.child) {
            child = std::make_unique<RecordingWindow>(WindowOptions{
                .x = 40, .y = 30, .width = 100, .height = 80, .parent = window->handle()});
            target = child.get();
        }
        const RECT rect = windowRect(target->handle());
        if (c.titleBar) { // only then do outer and client coordinates differ
            POINT client{0, 0};
            ClientToScreen(target->handle(), &client);
            ASSERT_GT(client.y, rect.top);
        }
        const POINT at{rect.left + c.pointer.x, rect.top + c.pointer.y};
        ASSERT_EQ(placePointer(at), at);
        std::vector<VARIANT> arguments;
        if (c.naming == Naming::Zero)
            arguments.push_back(i4(0));
        if (c.naming == Naming::Handle)
            arguments.push_back(handleArgument(target->handle()));

        call(c.twice ? kDblClick : kClick, arguments);

        const LPARAM pair = wordPair(c.pointer);
        std::vector<RecordedMessage> expected{{WM_LBUTTONDOWN, MK_LBUTTON, pair}, {WM_LBUTTONUP, 0, pair}};
        if (c.twice)
            expected.insert(expected.end(), {{WM_LBUTTONDBLCLK, MK_LBUTTON, pair}, {WM_LBUTTONUP, 0, pair}});
        EXPECT_EQ(buttonMessages(target->messages()), expected);
        if (child)
            EXPECT_EQ(buttonMessages(window->messages()).size(), 0u);
        else
            EXPECT_EQ(waitForForeground(target->handle()), target->handle()) << "brought forward";
        EXPECT_EQ(pointerPosition(), at) << "a click leaves the pointer where it is";
    }
}

TEST_F(Click, GivesUpOnAWindowWhoseThreadDoesNotAnswer)
{
    ThreadHostedWindow window;
    const RECT rect = windowRect(window.handle());
    ASSERT_EQ(placePointer({rect.left + 10, rect.top + 40}), (POINT{rect.left + 10, rect.top + 40}));
    window.blockOn(WM_LBUTTONDOWN);
    const ULONGLONG start = GetTickCount64();
    call(kDblClick, {handleArgument(window.handle())});
    const ULONGLONG elapsed = GetTickCount64() - start;
    window.release();
    DWORD_PTR ignored = 0;
    ASSERT_TRUE(SendMessageTimeoutW(window.handle(), WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored));

    EXPECT_LT(elapsed, 12000u) << "each send waits a few seconds at most";
    // The down message blocked; nothing may have been queued behind it.
    EXPECT_FALSE(window.sentWhileBlocked());
    const std::vector<RecordedMessage> expected{{WM_LBUTTONDOWN, MK_LBUTTON, wordPair({10, 40})}};
    EXPECT_EQ(buttonMessages(window.messages()), expected);
}

class Pointer : public DesktopTest {};

TEST_F(Pointer, IsSetAndMovedInScreenCoordinatesAndReadBack)
{
    const auto expectAt = [this](POINT expected) {
        EXPECT_EQ(pointerPosition(), expected);
        EXPECT_EQ(intResult(kGetMousePosX, {}), expected.x);
        EXPECT_EQ(intResult(kGetMousePosY, {}), expected.y);
    };
    call(kSetMousePos, {i4(100), i4(200)});
    expectAt({100, 200});
    call(kMoveMouse, {i4(-10), i4(5)});
    expectAt({90, 205});
    call(kSetMousePos, {ui1(200), i2(300)});
    expectAt({200, 300});
    call(kMoveMouse, {i2(-2), ui1(200)});
    expectAt({198, 500});

    // A refused type in either argument moves nothing.
    call(kSetMousePos, {text(L"5"), i4(5)});
    call(kSetMousePos, {i4(5), r8(5)});
    call(kMoveMouse, {r8(1), i4(1)});
    call(kMoveMouse, {i4(1), text(L"1")});
    expectAt({198, 500});
}

class Cursor : public DesktopTest {};

TEST_F(Cursor, SystemCursorsAreNamedByTheLow16BitsOfTheIdentifier)
{
    const int32_t arrow = int32_t(reinterpret_cast<intptr_t>(LoadCursorW(nullptr, IDC_ARROW)));
    const int32_t ibeam = int32_t(reinterpret_cast<intptr_t>(LoadCursorW(nullptr, IDC_IBEAM)));
    ASSERT_NE(arrow, ibeam);
    const struct {
        int32_t identifier;
        int32_t expected;
    } cases[] = {{32512, arrow}, {32513, ibeam}, {32512 + 0x10000, arrow}, {32512 - 0x10000, arrow}, {12345, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(intResult(kGetSystemCursor, {i4(c.identifier)}), c.expected) << c.identifier;
    EXPECT_TRUE(keepsResult(kGetSystemCursor, {text(L"32512")}));
}

TEST_F(Cursor, MouseCursorIsTheSharedHandleOfTheCursorShown)
{
    RecordingWindow window;
    // Wine reports the cursor of the foreground thread.
    SetForegroundWindow(window.handle());
    const RECT rect = windowRect(window.handle());
    placePointer({rect.left + 50, rect.top + 50});
    const HCURSOR previous = GetCursor();
    for (const LPCWSTR shape : {IDC_IBEAM, IDC_CROSS, IDC_ARROW}) {
        const HCURSOR cursor = LoadCursorW(nullptr, shape);
        SetCursor(cursor);
        EXPECT_EQ(intResult(kGetMouseCursor, {}), int32_t(reinterpret_cast<intptr_t>(cursor)));
    }
    SetCursor(previous);
}
