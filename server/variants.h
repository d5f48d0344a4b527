// How the server reads its arguments from and writes its results into the
// client's VARIANTs.
#pragma once
#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <initializer_list>

#include "lib/strings.h"

// The client's arguments arrive in reverse order: its first argument is the last
// element of the array.
inline VARIANT* argumentAt(VARIANT* arguments, UINT count, UINT clientIndex)
{
    return &arguments[count - 1 - clientIndex];
}

// Window and cursor handles cross the automation boundary as signed 32-bit
// integers; on x64 they are sign-extended on the way back, as the system does.
inline int32_t handleToInt(const void* handle) { return int32_t(reinterpret_cast<intptr_t>(handle)); }
inline HWND intToWindow(int32_t value) { return reinterpret_cast<HWND>(intptr_t(value)); }

// Reads a VT_I4, VT_I2 or VT_UI1 value, also through a reference (VT_BYREF, or a
// VT_BYREF|VT_VARIANT holding one); anything else is DISP_E_BADVARTYPE with
// nothing written.
HRESULT varToInt(const VARIANT* argument, int32_t* value);
// Converts the client's first arguments, in its order, into the targets with
// varToInt; stops at the first refusal and returns it.
HRESULT varsToInts(VARIANT* arguments, UINT count, std::initializer_list<int32_t*> targets);

// Appends a VT_BSTR's text up to its first NUL, also through a reference; a null
// BSTR appends nothing. Anything else is DISP_E_BADVARTYPE.
HRESULT varToStr(const VARIANT* argument, LWString& text);

// The result rule: the client's VARIANT is converted in place to the result's type
// and then receives the value. A failed conversion leaves it untouched; a client
// that passed no VARIANT gets nothing written.
HRESULT setIntResult(VARIANT* result, int32_t value);
HRESULT setStrResult(VARIANT* result, const wchar_t* text);
