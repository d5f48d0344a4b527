// Creating automation objects by programmatic name and calling them by late
// binding, as a script host does.
#pragma once
#include <windows.h>
#include <oaidl.h>

#include <cstdio>

namespace bench {

inline IDispatch* createByName(const wchar_t* progId)
{
    CLSID classId;
    if (FAILED(CLSIDFromProgID(progId, &classId))) {
        std::printf("bench: %ls is not registered\n", progId);
        return nullptr;
    }
    IDispatch* object = nullptr;
    const HRESULT created =
        CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(&object));
    if (FAILED(created))
        std::printf("bench: creating %ls failed: %08lx\n", progId, static_cast<unsigned long>(created));
    return object;
}

inline DISPID idOf(IDispatch* object, const wchar_t* name)
{
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = DISPID_UNKNOWN;
    object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    return id;
}

// Invoke with the given arguments (client order reversed, as rgvarg wants them);
// the result is cleared afterwards, as a client that reads it would.
inline HRESULT call(IDispatch* object, DISPID id, WORD flags, VARIANT* reversedArguments = nullptr,
                    UINT count = 0)
{
    DISPPARAMS parameters{reversedArguments, nullptr, count, 0};
    VARIANT result;
    VariantInit(&result);
    const HRESULT outcome =
        object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &parameters, &result, nullptr, nullptr);
    VariantClear(&result);
    return outcome;
}

} // namespace bench
