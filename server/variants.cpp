#include "server/variants.h"

#include <oleauto.h>

namespace {

// Script hosts pass variables by reference (VBScript always does): a
// VT_BYREF|VT_VARIANT is looked through once, to the VARIANT it points to.
const VARIANT* lookThrough(const VARIANT* argument)
{
    if (argument && V_VT(argument) == (VT_BYREF | VT_VARIANT))
        return V_VARIANTREF(argument);
    return argument;
}

} // namespace

HRESULT varToInt(const VARIANT* argument, int32_t* value)
{
    const VARIANT* v = lookThrough(argument);
    if (!v)
        return DISP_E_BADVARTYPE;
    switch (V_VT(v)) {
    case VT_I4: *value = V_I4(v); return S_OK;
    case VT_I2: *value = V_I2(v); return S_OK;
    case VT_UI1: *value = V_UI1(v); return S_OK;
    case VT_BYREF | VT_I4:
        if (!V_I4REF(v))
            return DISP_E_BADVARTYPE;
        *value = *V_I4REF(v);
        return S_OK;
    case VT_BYREF | VT_I2:
        if (!V_I2REF(v))
            return DISP_E_BADVARTYPE;
        *value = *V_I2REF(v);
        return S_OK;
    case VT_BYREF | VT_UI1:
        if (!V_UI1REF(v))
            return DISP_E_BADVARTYPE;
        *value = *V_UI1REF(v);
        return S_OK;
    default: return DISP_E_BADVARTYPE;
    }
}

HRESULT varsToInts(VARIANT* arguments, UINT count, std::initializer_list<int32_t*> targets)
{
    UINT clientIndex = 0;
    for (int32_t* target : targets) {
        const HRESULT converted = varToInt(argumentAt(arguments, count, clientIndex++), target);
        if (FAILED(converted))
            return converted;
    }
    return S_OK;
}

HRESULT varToStr(const VARIANT* argument, LWString& text)
{
    const VARIANT* v = lookThrough(argument);
    if (!v)
        return DISP_E_BADVARTYPE;
    BSTR string;
    if (V_VT(v) == VT_BSTR) {
        string = V_BSTR(v);
    } else if (V_VT(v) == (VT_BYREF | VT_BSTR)) {
        if (!V_BSTRREF(v))
            return DISP_E_BADVARTYPE;
        string = *V_BSTRREF(v);
    } else {
        return DISP_E_BADVARTYPE;
    }
    if (string)
        text.append(string, -1);
    return S_OK;
}

HRESULT setIntResult(VARIANT* result, int32_t value)
{
    if (!result)
        return S_OK;
    // What script hosts pass: the conversion would only give what is set here.
    if (V_VT(result) == VT_EMPTY || V_VT(result) == VT_I4) {
        V_VT(result) = VT_I4;
        V_I4(result) = value;
        return S_OK;
    }
    const HRESULT changed = VariantChangeType(result, result, 0, VT_I4);
    if (FAILED(changed))
        return changed;
    V_I4(result) = value;
    return S_OK;
}

HRESULT setStrResult(VARIANT* result, const wchar_t* text)
{
    if (!result)
        return S_OK;
    if (V_VT(result) == VT_EMPTY) { // the conversion would allocate an empty string to free at once
        V_VT(result) = VT_BSTR;
        V_BSTR(result) = SysAllocString(text);
        return S_OK;
    }
    const HRESULT changed = VariantChangeType(result, result, 0, VT_BSTR);
    if (FAILED(changed))
        return changed;
    SysFreeString(V_BSTR(result));
    V_BSTR(result) = SysAllocString(text);
    return S_OK;
}
