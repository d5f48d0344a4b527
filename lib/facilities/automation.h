// Automation client helpers: drive other applications' automation objects by
// late binding. Objects are created or attached to by programmatic name, members
// are called and properties read and written by name through IDispatch, and
// results are turned into plain values with type checks. Failures are reported as
// error 17200 with the HRESULT's symbolic name and the neutral value is returned,
// so calls on a null object can be chained.
//
// Every function that hands out an IDispatch pointer hands over one reference.
// Call them on a thread that has initialised the component runtime.
#pragma once
#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <utility>

#include "lib/owners.h"
#include "lib/strings.h"

// ------------------------------------------------------------ setup and reporting

// CoInitialize; a failure is reported. Returns its HRESULT.
HRESULT FCoInitialize();

// Reports error 17200: the formatted text, then ": HRESULT=%Xh (NAME)". The text is
// never read as a format a second time, so a '%' in it stays as it is.
void FReportHResult(HRESULT code, const char* format, ...) __attribute__((format(gnu_printf, 2, 3)));
// The symbolic name of a code from the library's table, "?" when it has none.
const char* FHResultName(HRESULT code);

// The 16 bytes in memory order as hex digits in four groups of eight.
LString FGuidText(const GUID& guid);

// Frees memory that the shell allocated: 0, or 1 after a reported failure.
int FFreeShellMemory(void* memory);

// ------------------------------------------------------------ objects and names

// Mode bits of FCreateObject.
inline constexpr int kAttachRunning = 1; // take a running instance when there is one
inline constexpr int kCreateNew = 2;     // create an instance when none was taken

// The object named by progId (mode: kAttachRunning and/or kCreateNew), or null.
// Failures are reported only when report is true.
IDispatch* FCreateObject(const wchar_t* progId, bool report, int mode);

// 1 when the object knows the member, else 0; never reports.
int FHasMember(IDispatch* object, const wchar_t* name);
// The member's identifier; a failure is reported as "GetIDsOfNames() failed [name]".
HRESULT FGetDispId(IDispatch* object, const wchar_t* name, DISPID* id);

// ------------------------------------------------------------ calls by name

// Calls the member with the flags; parameters null means none, result null means
// no result (a given result is cleared first). A null object gives E_POINTER
// without a report (the failure that gave the null was reported already); an
// unknown name is reported once and the object's Invoke is not called.
HRESULT FInvoke(IDispatch* object, const wchar_t* name, WORD flags, DISPPARAMS* parameters, VARIANT* result);
HRESULT FGetProperty(IDispatch* object, const wchar_t* name, DISPPARAMS* parameters, VARIANT* result);
HRESULT FCallMethod(IDispatch* object, const wchar_t* name, DISPPARAMS* parameters, VARIANT* result);
HRESULT FPutProperty(IDispatch* object, const wchar_t* name, VARIANT* value);
HRESULT FPutIntProperty(IDispatch* object, const wchar_t* name, int32_t value);
HRESULT FPutBoolProperty(IDispatch* object, const wchar_t* name, VARIANT_BOOL value);
HRESULT FCallMethodInt(IDispatch* object, const wchar_t* name, int32_t value, VARIANT* result);
// Passes first then second, in the order a script would write them.
HRESULT FCallMethodInt2(IDispatch* object, const wchar_t* name, int32_t first, int32_t second, VARIANT* result);
HRESULT FCallMethodStr(IDispatch* object, const wchar_t* name, const wchar_t* text, VARIANT* result);

// ------------------------------------------------------------ typed results

// VT_I4, or VT_I2 and VT_BOOL sign-extended (true is -1); else 0 after error 17200.
int32_t FGetIntProperty(IDispatch* object, const wchar_t* name);
// VT_BSTR as text; else empty after error 17200.
LWString FGetStrProperty(IDispatch* object, const wchar_t* name);
// VT_DISPATCH (one reference for the caller); else null after error 17200.
IDispatch* FGetDispProperty(IDispatch* object, const wchar_t* name, DISPPARAMS* parameters);
IDispatch* FCallMethodIntDisp(IDispatch* object, const wchar_t* name, int32_t value);
IDispatch* FCallMethodInt2Disp(IDispatch* object, const wchar_t* name, int32_t first, int32_t second);
