// sendKeys into recording windows: the exact keyboard messages, which of them are
// sent and which posted, and where the walk over the key text stops.
#include <gtest/gtest.h>

#include "tests/desktop/desktop_fixture.h"
#include "tests/desktop/recording_window.h"

namespace {

constexpr LPARAM kPress = 0x00000001, kRelease = 0x40000001, kAltPress = 0x20000001, kAltRelease = 0x60000001;

struct Key {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool posted = false;
    bool operator==(const Key&) const = default;
};

void PrintTo(const Key& key, std::ostream* out)
{
    *out << std::hex << "{" << key.message << ", " << key.wParam << ", " << key.lParam << (key.posted ? ", posted}" : "}");
}

std::vector<Key> keyboardOnly(const std::vector<RecordedMessage>& log, bool posted)
{
    std::vector<Key> keys;
    for (const RecordedMessage& m : log)
        if (m.message >= WM_KEYFIRST && m.message <= WM_KEYLAST)
            keys.push_back({m.message, m.wParam, LPARAM(DWORD(m.lParam)), posted});
    return keys;
}

// The three messages of a letter or digit.
std::vector<Key> character(WPARAM keyCode, WPARAM characterCode)
{
    return {{WM_KEYDOWN, keyCode, kPress}, {WM_CHAR, characterCode, kPress}, {WM_KEYUP, keyCode, kRelease}};
}

std::vector<Key> operator+(std::vector<Key> a, const std::vector<Key>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::vector<Key> kControlDown{{WM_KEYDOWN, VK_CONTROL, kPress}};
const std::vector<Key> kControlUp{{WM_KEYUP, VK_CONTROL, kRelease}};
const std::vector<Key> kShiftDown{{WM_KEYDOWN, VK_SHIFT, kPress}};
const std::vector<Key> kShiftUp{{WM_KEYUP, VK_SHIFT, kRelease}};

struct KeyCase {
    const wchar_t* keys;
    std::vector<Key> expected; // in arrival order: what is sent, then what was posted
};

const KeyCase kKeyCases[] = {
    {L"", {}},
    {L"^c", kControlDown + character('C', 'c') + kControlUp},
    {L"^C", kControlDown + character('C', 0x03) + kControlUp},
    {L"%f",
     {{WM_SYSKEYDOWN, VK_CONTROL, kAltPress},
      {WM_SYSKEYDOWN, 'F', kAltPress},
      {WM_SYSCHAR, 'f', kAltPress, true},
      {WM_SYSKEYUP, 'F', kAltRelease, true},
      {WM_SYSKEYUP, VK_CONTROL, kRelease, true}}},
    {L"{F5}", {{WM_KEYDOWN, VK_F5, kPress}, {WM_KEYUP, VK_F5, kRelease}}},
    {L"{F20}", {{WM_KEYDOWN, 0x83, kPress}, {WM_KEYUP, 0x83, kRelease}}},
    {L"{LEFT}", {{WM_KEYDOWN, VK_LEFT, kPress}, {WM_KEYUP, VK_LEFT, kRelease}}},
    {L"{%}", character('%', '%')},
    {L"{^}{+}", character('^', '^') + character('+', '+')},
    {L"{ENTER}{TAB}", character(VK_RETURN, '\r') + character(VK_TAB, '\t')},
    {L"{CTRL}", {{WM_KEYDOWN, VK_CONTROL, kPress}, {WM_KEYUP, VK_CONTROL, kRelease}}},
    {L"ab1", character('A', 'a') + character('B', 'b') + character('1', '1')},
    {L"a b", character('A', 'a')},
    {L"{enter}a", {}},
    {L"x{}y", character('X', 'x')},
    {L"a{F1", character('A', 'a')},
    {L"^+a", kControlDown},
    {L"ab^", character('A', 'a') + character('B', 'b') + kControlDown},
    {L"{ALT}", {{WM_SYSKEYDOWN, VK_MENU, kAltPress}, {WM_SYSKEYUP, VK_MENU, kRelease, true}}},
    {L"^{ALT}", kControlDown + std::vector<Key>{{WM_SYSKEYDOWN, VK_MENU, kAltPress}} + kControlUp +
                    std::vector<Key>{{WM_SYSKEYUP, VK_MENU, kRelease, true}}},
    {L"+a+B", kShiftDown + character('A', 'A') + kShiftUp + kShiftDown + character('B', 'B') + kShiftUp},
    {L"+{LEFT}", kShiftDown + std::vector<Key>{{WM_KEYDOWN, VK_LEFT, kPress}, {WM_KEYUP, VK_LEFT, kRelease}} +
                     kShiftUp},
    // A character outside the code page, or one that is double-byte there, ends the walk.
    {L"a\x3042" L"b", character('A', 'a')},
};

} // namespace

class SendKeys : public DesktopTest {
protected:
    // Types into a window of this thread: what arrives during the call was sent,
    // what arrives when the thread next handles its queue was posted.
    std::vector<Key> typeInto(RecordingWindow& window, std::vector<VARIANT> arguments)
    {
        call(kSendKeys, std::move(arguments));
        std::vector<Key> keys = keyboardOnly(window.messages(), false);
        pumpMessages();
        const std::vector<RecordedMessage> all = window.messages();
        const std::vector<Key> later = keyboardOnly(all, true);
        keys.insert(keys.end(), later.begin() + long(keys.size()), later.end());
        return keys;
    }
};

TEST_F(SendKeys, SendsTheExactMessagesOfEachKey)
{
    for (const KeyCase& keyCase : kKeyCases) {
        RecordingWindow window;
        EXPECT_EQ(typeInto(window, {text(keyCase.keys), handleArgument(window.handle())}), keyCase.expected)
            << "keys \"" << testing::PrintToString(std::wstring(keyCase.keys)) << "\"";
    }
}

TEST_F(SendKeys, ShiftTypesWhatTheKeyboardLayoutGivesForADigit)
{
    BYTE shiftHeld[256] = {};
    shiftHeld[VK_SHIFT] = 0x80;
    for (char digit = '0'; digit <= '9'; ++digit) {
        // The layout's answer through the older translation call, asked here
        // before the server is: the server must not leave anything behind.
        WORD shifted = 0;
        ASSERT_EQ(ToAscii(UINT(digit), MapVirtualKeyA(UINT(digit), MAPVK_VK_TO_VSC), shiftHeld, &shifted, 0), 1);
        EXPECT_NE(shifted, digit);
        BYTE stateBefore[256], stateAfter[256];
        ASSERT_TRUE(GetKeyboardState(stateBefore));
        RecordingWindow window;
        const std::wstring keys{L'+', wchar_t(digit)};
        EXPECT_EQ(typeInto(window, {text(keys.c_str()), handleArgument(window.handle())}),
                  kShiftDown + character(WPARAM(digit), shifted) + kShiftUp)
            << digit;
        ASSERT_TRUE(GetKeyboardState(stateAfter));
        EXPECT_EQ(memcmp(stateBefore, stateAfter, sizeof stateBefore), 0) << "the caller's keyboard state is untouched";
    }
}

TEST_F(SendKeys, GoesToTheFocusWindowWithoutAWindowOrWithZero)
{
    RecordingWindow window;
    SetForegroundWindow(window.handle());
    SetFocus(window.handle());
    pumpMessages();
    ASSERT_EQ(GetFocus(), window.handle());
    window.messages(); // what activation brought is not of interest
    const size_t before = keyboardOnly(window.messages(), false).size();
    typeInto(window, {text(L"a")});
    typeInto(window, {text(L"b"), i4(0)});
    const std::vector<Key> keys = keyboardOnly(window.messages(), false);
    const std::vector<Key> typed(keys.begin() + long(before), keys.end());
    EXPECT_EQ(typed, character('A', 'a') + character('B', 'b'));
}

TEST_F(SendKeys, RefusedArgumentsSendNothing)
{
    RecordingWindow window;
    EXPECT_TRUE(typeInto(window, {i4(5), handleArgument(window.handle())}).empty());
    EXPECT_TRUE(typeInto(window, {text(L"abc"), text(L"not a handle")}).empty());
}

TEST_F(SendKeys, SentMessagesArriveInOrderAndPostedOnesAfterInAnotherThread)
{
    ThreadHostedWindow window;
    call(kSendKeys, {text(L"%f"), handleArgument(window.handle())});
    std::vector<Key> keys;
    const ULONGLONG deadline = GetTickCount64() + 5000;
    while ((keys = keyboardOnly(window.messages(), false)).size() < 5 && GetTickCount64() < deadline)
        Sleep(20);
    const std::vector<Key> expected{{WM_SYSKEYDOWN, VK_CONTROL, kAltPress}, {WM_SYSKEYDOWN, 'F', kAltPress},
                                    {WM_SYSCHAR, 'f', kAltPress}, {WM_SYSKEYUP, 'F', kAltRelease},
                                    {WM_SYSKEYUP, VK_CONTROL, kRelease}};
    EXPECT_EQ(keys, expected);
}

TEST_F(SendKeys, GivesUpOnAWindowWhoseThreadDoesNotAnswer)
{
    ThreadHostedWindow window;
    window.blockOn(WM_KEYDOWN);
    const ULONGLONG start = GetTickCount64();
    call(kSendKeys, {text(L"abc"), handleArgument(window.handle())});
    const ULONGLONG elapsed = GetTickCount64() - start;
    window.release();
    DWORD_PTR ignored = 0;
    ASSERT_TRUE(SendMessageTimeoutW(window.handle(), WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored));
    EXPECT_LT(elapsed, 12000u) << "each send waits a few seconds at most";
    EXPECT_FALSE(window.sentWhileBlocked()) << "nothing more is sent after a send times out";
    const std::vector<Key> keys = keyboardOnly(window.messages(), false);
    EXPECT_LE(keys.size(), 1u);
}

TEST_F(SendKeys, EveryCharacterValueIsAKeyAPrefixAnEscapeNameOrTheEndOfTheWalk)
{
    // Counted independently of the walk: a letter or digit is three messages, a
    // prefix before "a" five, an escape name in braces three; anything else (a
    // character above 127, which the code page makes a byte the walk does not
    // take or an escape text, an unclosed or unknown brace, a NUL) ends the walk.
    const auto isKey = [](wchar_t c) {
        return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9');
    };
    const auto isPrefix = [](wchar_t c) { return c == L'^' || c == L'+' || c == L'%'; };
    RecordingWindow window;
    // The messages that typing the keys adds to the window's log.
    const auto typed = [&](const std::wstring& keys) {
        const size_t before = keyboardOnly(window.messages(), false).size();
        return typeInto(window, {text(keys), handleArgument(window.handle())}).size() - before;
    };
    for (int value = 0; value <= 0xFF; ++value) {
        const wchar_t c = wchar_t(value);
        SCOPED_TRACE(testing::Message() << "character " << value);
        EXPECT_EQ(typed(std::wstring(L"a") + c + L"a"), isKey(c) ? 9u : isPrefix(c) ? 8u : 3u);
        EXPECT_EQ(typed(std::wstring(L"{") + c + L"}"), isPrefix(c) ? 3u : 0u);
    }
}
