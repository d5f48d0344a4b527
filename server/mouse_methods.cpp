// Mouse methods. A click is not synthesised input: it is left-button messages
// sent to one window at the pointer's position, and the pointer does not move.
#include "server/server.h"
#include "server/variants.h"
#include "server/window_methods.h"

namespace {

// How long one message of a click may wait for its target: a window whose thread
// hangs must not hang the script with it.
constexpr UINT kSendTimeoutMs = 5000;

// The position word pair of mouse messages: each coordinate cut to 16 bits.
LPARAM positionPair(LONG x, LONG y)
{
    return LPARAM(DWORD(uint16_t(x)) | DWORD(uint16_t(y)) << 16);
}

// False when the target did not handle the message in time (or is gone).
bool sendBounded(HWND target, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR answer = 0;
    return SendMessageTimeoutA(target, message, wParam, lParam, SMTO_NORMAL, kSendTimeoutMs, &answer) != 0;
}

} // namespace

HRESULT TServer::click(UINT count, VARIANT* arguments, VARIANT*) { return doClick(false, count, arguments); }

HRESULT TServer::dblClick(UINT count, VARIANT* arguments, VARIANT*) { return doClick(true, count, arguments); }

HRESULT TServer::doClick(bool isDouble, UINT count, VARIANT* arguments)
{
    POINT pointer;
    if (!GetCursorPos(&pointer))
        return S_OK;
    int32_t handle = 0;
    if (count != 0) {
        const HRESULT converted = varToInt(argumentAt(arguments, count, 0), &handle);
        if (FAILED(converted))
            return converted;
    }
    const HWND target = handle ? intToWindow(handle) : windowAtPoint(1, pointer.x, pointer.y);
    RECT rect;
    if (!target || !GetWindowRect(target, &rect))
        return S_OK;
    SetForegroundWindow(target);
    // Relative to the outer rectangle, title bar and frame included.
    const LPARAM pair = positionPair(pointer.x - rect.left, pointer.y - rect.top);
    // A message that times out ends the click: nothing more queues up behind it.
    if (sendBounded(target, WM_LBUTTONDOWN, MK_LBUTTON, pair) && sendBounded(target, WM_LBUTTONUP, 0, pair) &&
        isDouble && sendBounded(target, WM_LBUTTONDBLCLK, MK_LBUTTON, pair))
        sendBounded(target, WM_LBUTTONUP, 0, pair);
    return S_OK;
}

HRESULT TServer::setMousePos(UINT count, VARIANT* arguments, VARIANT*)
{
    int32_t x = 0, y = 0;
    const HRESULT converted = varsToInts(arguments, count, {&x, &y});
    if (FAILED(converted))
        return converted;
    SetCursorPos(x, y);
    return S_OK;
}

HRESULT TServer::moveMouse(UINT count, VARIANT* arguments, VARIANT*)
{
    POINT pointer;
    if (!GetCursorPos(&pointer))
        return S_OK;
    int32_t dx = 0, dy = 0;
    const HRESULT converted = varsToInts(arguments, count, {&dx, &dy});
    if (FAILED(converted))
        return converted;
    SetCursorPos(pointer.x + dx, pointer.y + dy);
    return S_OK;
}

HRESULT TServer::getMousePosX(UINT, VARIANT*, VARIANT* result)
{
    POINT pointer;
    return GetCursorPos(&pointer) ? setIntResult(result, pointer.x) : S_OK;
}

HRESULT TServer::getMousePosY(UINT, VARIANT*, VARIANT* result)
{
    POINT pointer;
    return GetCursorPos(&pointer) ? setIntResult(result, pointer.y) : S_OK;
}

HRESULT TServer::getMouseCursor(UINT, VARIANT*, VARIANT* result)
{
    CURSORINFO info{};
    info.cbSize = sizeof info;
    return GetCursorInfo(&info) ? setIntResult(result, handleToInt(info.hCursor)) : S_OK;
}

HRESULT TServer::getSystemCursor(UINT count, VARIANT* arguments, VARIANT* result)
{
    int32_t identifier = 0;
    const HRESULT converted = varToInt(argumentAt(arguments, count, 0), &identifier);
    if (FAILED(converted))
        return converted;
    const HCURSOR cursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(identifier & 0xFFFF));
    return setIntResult(result, handleToInt(cursor));
}
