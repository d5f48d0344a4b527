// The dispatch identifiers of the server's methods, grouped by family: 100
// sound, 2xx mouse, 290 keystrokes, 3xx clipboard, 4xx windows, 900 version.
// Clients learn them from GetIDsOfNames; the server's table and the tests
// name them from here.
#pragma once
#include <windows.h>
#include <oaidl.h>

enum DispatchId : DISPID {
    kBeep = 100,
    kClick = 200,
    kDblClick = 201,
    kSetMousePos = 210,
    kMoveMouse = 211,
    kGetMousePosX = 220,
    kGetMousePosY = 221,
    kGetMouseCursor = 222,
    kGetSystemCursor = 223,
    kSendKeys = 290,
    kGetClipboard = 300,
    kSetClipboard = 301,
    kGetActiveWindow = 400,
    kGetForegroundWindow = 401,
    kSetActiveWindow = 410,
    kSetForegroundWindow = 411,
    kGetWindowPosX = 420,
    kGetWindowPosY = 421,
    kSetWindowPos = 422,
    kGetWindowSizeX = 430,
    kGetWindowSizeY = 431,
    kSetWindowSize = 432,
    kGetWindowText = 440,
    kFindWindow = 450,
    kTopWindowFromPoint = 451,
    kWindowFromPoint = 452,
    kVersion = 900,
};
