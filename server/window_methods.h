// Window lookups shared by the window and mouse methods.
#pragma once
#include <windows.h>

#include <cstdint>

// Mode 0: the topmost visible top-level window whose rectangle, edges included,
// holds the point; otherwise what WindowFromPoint gives. Null when none.
HWND windowAtPoint(int mode, int32_t x, int32_t y);
// True when the window's style has at least one bit of the mask.
bool hasWindowStyle(HWND window, DWORD mask);
// A handle argument that names an existing window; null for 0 and non-windows.
HWND existingWindow(int32_t handle);
