// Stand-in for the automation types in the native build: the few VARIANT types
// that the library's diagnostics name.
#pragma once
#include <windows.h>

typedef wchar_t* BSTR;
typedef unsigned short VARTYPE;

enum VARENUM : VARTYPE {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_VARIANT = 12,
    VT_BYREF = 0x4000,
};

typedef struct {
    VARTYPE vt;
    WORD wReserved1, wReserved2, wReserved3;
    union {
        short iVal;
        LONG lVal;
        BSTR bstrVal;
        void* pdispVal;
    };
} VARIANT;

#define V_VT(v) ((v)->vt)
#define V_I2(v) ((v)->iVal)
#define V_I4(v) ((v)->lVal)
#define V_BSTR(v) ((v)->bstrVal)
inline void VariantInit(VARIANT* v) { v->vt = VT_EMPTY; }
