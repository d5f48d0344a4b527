// Window methods: thin layers over the window manager's queries and placement.
#include "server/window_methods.h"

#include "lib/charset.h"
#include "server/server.h"
#include "server/variants.h"

namespace {

// Bounds the top-level search should the Z order keep changing under it.
constexpr int kMostTopLevelWindows = 100000;
constexpr int kTitleBufferBytes = 4096;
// How long a window of another thread may take to show that its thread handles
// messages, as for the sends of clicks and keys.
constexpr UINT kAnswerTimeoutMs = 5000;

// False when the window belongs to another thread that does not handle a message
// within the bound. Placement and the title of a window of this process wait for
// its thread without a time limit: a hung window would hang the script with it.
bool answersInTime(HWND window)
{
    if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId())
        return true;
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, kAnswerTimeoutMs, &ignored) != 0;
}

// GetWindowTextA asks a window of this process for its title with a message;
// another process's title it reads without one.
bool titleReadable(HWND window)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process != GetCurrentProcessId() || answersInTime(window);
}

// The rectangle as SetWindowPos takes it: a child window is placed in its
// parent's client coordinates, a top-level window on the screen.
POINT placementOrigin(HWND window, const RECT& screenRect)
{
    POINT origin{screenRect.left, screenRect.top};
    if (hasWindowStyle(window, WS_CHILD))
        ScreenToClient(GetAncestor(window, GA_PARENT), &origin);
    return origin;
}

POINT toPlacement(HWND window, int32_t screenX, int32_t screenY)
{
    POINT point{screenX, screenY};
    if (hasWindowStyle(window, WS_CHILD))
        ScreenToClient(GetAncestor(window, GA_PARENT), &point);
    return point;
}

LONG rectLeft(const RECT& rect) { return rect.left; }
LONG rectTop(const RECT& rect) { return rect.top; }
LONG rectWidth(const RECT& rect) { return rect.right - rect.left; }
LONG rectHeight(const RECT& rect) { return rect.bottom - rect.top; }

// Reads a window argument; null and S_OK when it names no window.
HRESULT windowArgument(VARIANT* argument, HWND* window)
{
    int32_t handle = 0;
    const HRESULT converted = varToInt(argument, &handle);
    *window = SUCCEEDED(converted) ? existingWindow(handle) : nullptr;
    return converted;
}

// setWindowPos (a new position) and setWindowSize (a new size): one SetWindowPos
// with the new pair and the window's current other pair.
HRESULT placeWindow(UINT count, VARIANT* arguments, bool resize)
{
    int32_t handle = 0, first = 0, second = 0;
    const HRESULT converted = varsToInts(arguments, count, {&handle, &first, &second});
    if (FAILED(converted))
        return converted;
    const HWND window = existingWindow(handle);
    RECT rect;
    if (!window || !GetWindowRect(window, &rect) || !answersInTime(window))
        return S_OK;
    const POINT origin = resize ? placementOrigin(window, rect) : toPlacement(window, first, second);
    SetWindowPos(window, nullptr, origin.x, origin.y, resize ? first : rectWidth(rect),
                 resize ? second : rectHeight(rect), 0);
    return S_OK;
}

} // namespace

bool hasWindowStyle(HWND window, DWORD mask)
{
    WINDOWINFO info{};
    info.cbSize = sizeof info;
    return GetWindowInfo(window, &info) && (info.dwStyle & mask) != 0;
}

HWND existingWindow(int32_t handle)
{
    // 0 would name the desktop to some calls (and a title to GetWindowTextA under Wine).
    const HWND window = intToWindow(handle);
    return handle != 0 && IsWindow(window) ? window : nullptr;
}

HWND windowAtPoint(int mode, int32_t x, int32_t y)
{
    if (mode != 0)
        return WindowFromPoint(POINT{x, y});
    const HWND first = FindWindowExA(nullptr, nullptr, nullptr, nullptr);
    HWND current = first;
    for (int i = 0; current && i < kMostTopLevelWindows; ++i) {
        RECT rect;
        if (GetWindowRect(current, &rect) && rect.left <= x && x <= rect.right && rect.top <= y &&
            y <= rect.bottom && hasWindowStyle(current, WS_VISIBLE))
            return current;
        current = FindWindowExA(nullptr, current, nullptr, nullptr);
        if (current == first)
            break;
    }
    return nullptr;
}

HRESULT TServer::getActiveWindow(UINT, VARIANT*, VARIANT* result)
{
    return setIntResult(result, handleToInt(GetActiveWindow()));
}

HRESULT TServer::getForegroundWindow(UINT, VARIANT*, VARIANT* result)
{
    return setIntResult(result, handleToInt(GetForegroundWindow()));
}

// The activation setters hand any handle to the system and answer what it
// says: 0 for one that names no window, while 0 itself deactivates the
// caller's active window.
HRESULT TServer::setActiveWindow(UINT count, VARIANT* arguments, VARIANT* result)
{
    int32_t handle = 0;
    const HRESULT converted = varToInt(argumentAt(arguments, count, 0), &handle);
    if (FAILED(converted))
        return converted;
    return setIntResult(result, handleToInt(SetActiveWindow(intToWindow(handle))));
}

HRESULT TServer::setForegroundWindow(UINT count, VARIANT* arguments, VARIANT* result)
{
    int32_t handle = 0;
    const HRESULT converted = varToInt(argumentAt(arguments, count, 0), &handle);
    if (FAILED(converted))
        return converted;
    return setIntResult(result, SetForegroundWindow(intToWindow(handle)) ? 1 : 0);
}

// GetWindowRect itself refuses a handle that names no window, so the readers
// skip the separate check (a call as costly as the read); only 0 is excluded.
HRESULT TServer::readWindowRect(UINT count, VARIANT* arguments, VARIANT* result, LONG (*pick)(const RECT&))
{
    int32_t handle = 0;
    const HRESULT converted = varToInt(argumentAt(arguments, count, 0), &handle);
    if (FAILED(converted))
        return converted;
    RECT rect;
    if (handle == 0 || !GetWindowRect(intToWindow(handle), &rect))
        return S_OK;
    return setIntResult(result, pick(rect));
}

HRESULT TServer::getWindowPosX(UINT count, VARIANT* arguments, VARIANT* result)
{
    return readWindowRect(count, arguments, result, rectLeft);
}

HRESULT TServer::getWindowPosY(UINT count, VARIANT* arguments, VARIANT* result)
{
    return readWindowRect(count, arguments, result, rectTop);
}

HRESULT TServer::getWindowSizeX(UINT count, VARIANT* arguments, VARIANT* result)
{
    return readWindowRect(count, arguments, result, rectWidth);
}

HRESULT TServer::getWindowSizeY(UINT count, VARIANT* arguments, VARIANT* result)
{
    return readWindowRect(count, arguments, result, rectHeight);
}

HRESULT TServer::setWindowPos(UINT count, VARIANT* arguments, VARIANT*) { return placeWindow(count, arguments, false); }

HRESULT TServer::setWindowSize(UINT count, VARIANT* arguments, VARIANT*) { return placeWindow(count, arguments, true); }

HRESULT TServer::getWindowText(UINT count, VARIANT* arguments, VARIANT* result)
{
    HWND window = nullptr;
    const HRESULT converted = windowArgument(argumentAt(arguments, count, 0), &window);
    if (FAILED(converted))
        return converted;
    char title[kTitleBufferBytes];
    const int length = window && titleReadable(window) ? GetWindowTextA(window, title, sizeof title) : 0;
    if (length <= 0)
        return S_OK;
    LWString wide;
    appendNarrow(wide, title, length);
    return setStrResult(result, wide.data());
}

HRESULT TServer::findWindow(UINT count, VARIANT* arguments, VARIANT* result)
{
    LWString title;
    const HRESULT converted = varToStr(argumentAt(arguments, count, 0), title);
    if (FAILED(converted))
        return converted;
    const LString narrowTitle = narrowFromWide(title);
    return setIntResult(result, handleToInt(FindWindowA(nullptr, narrowTitle.data())));
}

HRESULT TServer::topWindowFromPoint(UINT count, VARIANT* arguments, VARIANT* result)
{
    return windowAtPointResult(0, count, arguments, result);
}

HRESULT TServer::windowFromPoint(UINT count, VARIANT* arguments, VARIANT* result)
{
    return windowAtPointResult(1, count, arguments, result);
}

HRESULT TServer::windowAtPointResult(int mode, UINT count, VARIANT* arguments, VARIANT* result)
{
    int32_t x = 0, y = 0;
    const HRESULT converted = varsToInts(arguments, count, {&x, &y});
    if (FAILED(converted))
        return converted;
    return setIntResult(result, handleToInt(windowAtPoint(mode, x, y)));
}
