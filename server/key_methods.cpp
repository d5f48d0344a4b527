// sendKeys: types a key notation into one window with keyboard messages sent and
// posted straight to it; no system-wide input is produced.
//
// Notation: letters and digits stand for themselves, {NAME} is a named key, and
// one prefix may stand before a key: ^ Control, + Shift, % Alt. Anything else
// where a key is expected ends the text.
#include "lib/charset.h"
#include "server/server.h"
#include "server/tables.h"
#include "server/variants.h"

namespace {

// As for clicks: a target whose thread hangs must not hang the script.
constexpr UINT kSendTimeoutMs = 5000;

// Keyboard-message lParam values: repeat count 1, with the Alt context bit and
// the previous-key-state bit where the message needs them.
constexpr LPARAM kPress = 0x00000001;
constexpr LPARAM kRelease = 0x40000001;
constexpr LPARAM kAltPress = 0x20000001;
constexpr LPARAM kAltRelease = 0x60000001;

enum class Prefix { None, Control, Shift, Alt };

// The window that has the keyboard focus in the foreground thread, or null.
HWND focusWindow()
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(0, &info) ? info.hwndFocus : nullptr;
}

// The character a named key types: the escape names ("^", "+", "%") their own
// character, and Enter and Tab the characters the system's key translation gives
// them, without which {ENTER} would not start a new line in a text field. Other
// keys type none. Decided by name: "%" and LEFT share the code 37.
WPARAM namedKeyCharacter(const char* name, int32_t code)
{
    if (name[0] && !name[1] && (name[0] == '^' || name[0] == '+' || name[0] == '%'))
        return WPARAM(code);
    switch (code) {
    case VK_RETURN: return '\r';
    case VK_TAB: return '\t';
    default: return 0;
    }
}

// What a character key becomes with the Shift key held, by the keyboard layout;
// the character itself when the layout has nothing else for it, or a dead key
// there. Asked without touching the thread's keyboard state: a translation that
// left a dead key pending would change the caller's next key.
char shiftedCharacter(char key, WORD virtualKey)
{
    if (key >= 'a' && key <= 'z')
        return char(key - 32);
    if (key >= 'A' && key <= 'Z')
        return key;
    constexpr UINT kKeepKeyboardState = 0x4;
    BYTE state[256] = {};
    state[VK_SHIFT] = 0x80;
    const HKL layout = GetKeyboardLayout(0);
    wchar_t translated[4] = {};
    const UINT scanCode = MapVirtualKeyExW(virtualKey, MAPVK_VK_TO_VSC, layout);
    if (ToUnicodeEx(virtualKey, scanCode, state, translated, 4, kKeepKeyboardState, layout) != 1)
        return key;
    char narrow = 0;
    BOOL lossy = FALSE;
    const int bytes = WideCharToMultiByte(CP_ACP, 0, translated, 1, &narrow, 1, nullptr, &lossy);
    return bytes == 1 && !lossy ? narrow : key;
}

class KeySender {
public:
    explicit KeySender(HWND target)
        : target_(target), targetInThisThread_(GetWindowThreadProcessId(target, nullptr) == GetCurrentThreadId())
    {
    }

    // Sends the keys of the narrow text; stops at the first thing that is not a
    // key, or when the target does not handle a message in time.
    void type(const char* text)
    {
        read_ = text;
        while (*read_ && typeOneKey()) {
        }
    }

private:
    bool typeOneKey()
    {
        const Prefix prefix = readPrefix();
        if (!pressPrefix(prefix))
            return false;
        const char key = *read_;
        if (key == '{') {
            const int32_t code = readKeyName();
            if (code == 0 || !sendNamedKey(code))
                return false;
        } else if (isKeyCharacter(key)) {
            ++read_;
            if (!sendCharacterKey(key, prefix))
                return false;
        } else {
            return false;
        }
        return releasePrefix(prefix);
    }

    static bool isKeyCharacter(char c)
    {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    }

    Prefix readPrefix()
    {
        switch (*read_) {
        case '^': ++read_; return Prefix::Control;
        case '+': ++read_; return Prefix::Shift;
        case '%': ++read_; return Prefix::Alt;
        default: return Prefix::None;
        }
    }

    // The name between braces, as a key code; 0 (and the position kept) when the
    // name is unknown or the brace is never closed.
    int32_t readKeyName()
    {
        const char* close = read_ + 1;
        while (*close && *close != '}')
            ++close;
        if (!*close)
            return 0;
        name_.assign(read_ + 1, int32_t(close - read_ - 1));
        read_ = close + 1;
        const LHashEntry* entry = keyNameTable() ? keyNameTable()->find(name_.data()) : nullptr;
        return entry ? entry->value : 0;
    }

    bool pressPrefix(Prefix prefix)
    {
        switch (prefix) {
        case Prefix::Control: return send(WM_KEYDOWN, VK_CONTROL, kPress);
        case Prefix::Shift: return send(WM_KEYDOWN, VK_SHIFT, kPress);
        // The Alt prefix goes out as the Control key in its system-key form.
        case Prefix::Alt: return send(WM_SYSKEYDOWN, VK_CONTROL, kAltPress);
        default: return true;
        }
    }

    bool releasePrefix(Prefix prefix)
    {
        switch (prefix) {
        case Prefix::Control: return send(WM_KEYUP, VK_CONTROL, kRelease);
        case Prefix::Shift: return send(WM_KEYUP, VK_SHIFT, kRelease);
        case Prefix::Alt:
            postAndYield(WM_SYSKEYUP, VK_CONTROL, kRelease);
            return true;
        default: return true;
        }
    }

    // Named keys go out the same way under every prefix.
    bool sendNamedKey(int32_t code)
    {
        if (code == VK_MENU) {
            if (!send(WM_SYSKEYDOWN, VK_MENU, kAltPress))
                return false;
            postAndYield(WM_SYSKEYUP, VK_MENU, kRelease);
            return true;
        }
        if (!send(WM_KEYDOWN, WPARAM(code), kPress))
            return false;
        const WPARAM character = namedKeyCharacter(name_.data(), code);
        if (character && !send(WM_CHAR, character, kPress))
            return false;
        return send(WM_KEYUP, WPARAM(code), kRelease);
    }

    bool sendCharacterKey(char key, Prefix prefix)
    {
        const WORD keyCode = key >= 'a' && key <= 'z' ? WORD(key - 32) : WORD(key);
        char character = key;
        if (prefix == Prefix::Control && key >= 'A' && key <= 'Z')
            character = char(key - 64);
        else if (prefix == Prefix::Shift)
            character = shiftedCharacter(key, keyCode);
        const WPARAM charCode = WPARAM(static_cast<unsigned char>(character));
        if (prefix == Prefix::Alt) {
            if (!send(WM_SYSKEYDOWN, keyCode, kAltPress))
                return false;
            postAndYield(WM_SYSCHAR, charCode, kAltPress);
            postAndYield(WM_SYSKEYUP, keyCode, kAltRelease);
            return true;
        }
        return send(WM_KEYDOWN, keyCode, kPress) && send(WM_CHAR, charCode, kPress) &&
               send(WM_KEYUP, keyCode, kRelease);
    }

    // False when the target did not handle the message in time: the rest of the
    // text is not sent. A window that is gone fails at once, as a plain send would.
    bool send(UINT message, WPARAM wParam, LPARAM lParam)
    {
        // A window of this thread is called directly and the timeout would be
        // ignored anyway; the plain send costs half as much under Wine.
        if (targetInThisThread_) {
            SendMessageA(target_, message, wParam, lParam);
            return true;
        }
        DWORD_PTR answer = 0;
        if (SendMessageTimeoutA(target_, message, wParam, lParam, SMTO_NORMAL, kSendTimeoutMs, &answer))
            return true;
        return GetLastError() != ERROR_TIMEOUT;
    }

    void postAndYield(UINT message, WPARAM wParam, LPARAM lParam)
    {
        PostMessageA(target_, message, wParam, lParam);
        Sleep(0);
    }

    HWND target_;
    bool targetInThisThread_;
    const char* read_ = nullptr;
    LString name_; // the last key name read
};

} // namespace

HRESULT TServer::sendKeys(UINT count, VARIANT* arguments, VARIANT*)
{
    int32_t handle = 0;
    if (count == 2) {
        const HRESULT converted = varToInt(argumentAt(arguments, count, 1), &handle);
        if (FAILED(converted))
            return converted;
    }
    const HWND target = handle ? intToWindow(handle) : focusWindow();
    if (!target)
        return S_OK;
    LWString keys;
    const HRESULT converted = varToStr(argumentAt(arguments, count, 0), keys);
    if (FAILED(converted))
        return converted;
    // Characters outside the code page become escape texts, which end the walk.
    const LString narrowKeys = narrowFromWide(keys);
    KeySender(target).type(narrowKeys.data());
    return S_OK;
}
