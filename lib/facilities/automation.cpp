#include "lib/facilities/automation.h"

#include <shlobj.h>

#include "lib/messages.h"

namespace {

// Name lookups and invocations use different locales on purpose: names are
// matched the system's way, values are converted the user's way.
constexpr LCID kLookupLocale = LOCALE_SYSTEM_DEFAULT;
constexpr LCID kInvokeLocale = LOCALE_USER_DEFAULT;

struct HResultName {
    uint32_t code;
    const char* name;
};

constexpr HResultName kNames[] = {
    {0x8000FFFF, "E_UNEXPECTED"},      {0x80004001, "E_NOTIMPL"},
    {0x8007000E, "E_OUTOFMEMORY"},     {0x80070057, "E_INVALIDARG"},
    {0x80004002, "E_NOINTERFACE"},     {0x80004003, "E_POINTER"},
    {0x80070006, "E_HANDLE"},          {0x80004004, "E_ABORT"},
    {0x80004005, "E_FAIL"},            {0x80070005, "E_ACCESSDENIED"},
    {0x800401F3, "CO_E_CLASSSTRING"},  {0x800401F0, "CO_E_NOTINITIALIZED"},
    {0x80040151, "REGDB_E_WRITEREGDB"}, {0x80040154, "REGDB_E_CLASSNOTREG"},
    {0x80040110, "CLASS_E_NOAGGREGATION"}, {0x80020006, "DISP_E_UNKNOWNNAME"},
};

HRESULT lookUp(IDispatch* object, const wchar_t* name, DISPID* id)
{
    *id = DISPID_UNKNOWN;
    if (!object)
        return E_POINTER;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name ? name : L"")};
    return object->GetIDsOfNames(IID_NULL, names, 1, kLookupLocale, id);
}

// The object reached through a temporary result, or null after one report.
IDispatch* takeDispatch(HRESULT called, LVariant& result, const wchar_t* name, const char* what)
{
    if (FAILED(called))
        return nullptr;
    if (result.type() != VT_DISPATCH) {
        message(kMsgVariantType, "%S %s (type=%d)", name, what, int(result.type()));
        return nullptr;
    }
    // The result gives its reference to the caller instead of releasing it.
    IDispatch* object = V_DISPATCH(result.get());
    V_VT(result.get()) = VT_EMPTY;
    return object;
}

} // namespace

// ------------------------------------------------------------ owners

// ------------------------------------------------------------ setup and reporting

HRESULT FCoInitialize()
{
    const HRESULT result = CoInitialize(nullptr);
    if (FAILED(result))
        FReportHResult(result, "CoInitialize() failed");
    return result;
}

const char* FHResultName(HRESULT code)
{
    for (const HResultName& row : kNames)
        if (row.code == uint32_t(code))
            return row.name;
    return "?";
}

void FReportHResult(HRESULT code, const char* format, ...)
{
    LString text;
    va_list args;
    va_start(args, format);
    text.appendFormatV(format, args);
    va_end(args);
    text.appendFormat(": HRESULT=%Xh (%s)", unsigned(code), FHResultName(code));
    message(kMsgVariantType, "%s", text.data());
}

LString FGuidText(const GUID& guid)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(&guid);
    LString text;
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 8 || i == 12)
            text.appendChar('-');
        text.appendFormat("%02X", bytes[i]);
    }
    return text;
}

int FFreeShellMemory(void* memory)
{
    LComPtr<IMalloc> allocator;
    const HRESULT result = SHGetMalloc(allocator.put());
    if (FAILED(result) || !allocator) {
        FReportHResult(FAILED(result) ? result : E_POINTER, "SHGetMalloc() failed");
        return 1;
    }
    allocator->Free(memory);
    return 0;
}

// ------------------------------------------------------------ objects and names

IDispatch* FCreateObject(const wchar_t* progId, bool report, int mode)
{
    CLSID classId{};
    HRESULT result = CLSIDFromProgID(progId ? progId : L"", &classId);
    if (FAILED(result)) {
        if (report)
            FReportHResult(result, "CLSIDFromProgID() failed [%S]", progId ? progId : L"");
        return nullptr;
    }
    LComPtr<IUnknown> unknown;
    if (mode & kAttachRunning) {
        // Failure here only means no instance is running.
        if (FAILED(GetActiveObject(classId, nullptr, unknown.put())))
            unknown.reset();
    }
    if (!unknown) {
        if (!(mode & kCreateNew))
            return nullptr;
        result = CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IUnknown,
                                  reinterpret_cast<void**>(unknown.put()));
        if (FAILED(result)) {
            unknown.reset();
            if (report)
                FReportHResult(result, "CoCreateInstance() for '%S' failed", progId);
            return nullptr;
        }
        if (!unknown)
            return nullptr;
    }
    IDispatch* object = nullptr;
    result = unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&object));
    if (FAILED(result) || !object) {
        if (report)
            FReportHResult(FAILED(result) ? result : E_POINTER, "QueryInterface() failed");
        return nullptr;
    }
    return object;
}

int FHasMember(IDispatch* object, const wchar_t* name)
{
    DISPID id;
    return SUCCEEDED(lookUp(object, name, &id)) ? 1 : 0;
}

HRESULT FGetDispId(IDispatch* object, const wchar_t* name, DISPID* id)
{
    DISPID ignored;
    const HRESULT result = lookUp(object, name, id ? id : &ignored);
    if (FAILED(result))
        FReportHResult(result, "GetIDsOfNames() failed [%S]", name ? name : L"");
    return result;
}

// ------------------------------------------------------------ calls by name

HRESULT FInvoke(IDispatch* object, const wchar_t* name, WORD flags, DISPPARAMS* parameters, VARIANT* result)
{
    if (!object)
        return E_POINTER;
    DISPID id;
    HRESULT outcome = FGetDispId(object, name, &id);
    if (FAILED(outcome))
        return outcome;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    if (!parameters)
        parameters = &none;
    if (result)
        VariantClear(result);
    outcome = object->Invoke(id, IID_NULL, kInvokeLocale, flags, parameters, result, nullptr, nullptr);
    if (FAILED(outcome))
        FReportHResult(outcome, "Invoke() failed [%S]", name ? name : L"");
    return outcome;
}

HRESULT FGetProperty(IDispatch* object, const wchar_t* name, DISPPARAMS* parameters, VARIANT* result)
{
    return FInvoke(object, name, DISPATCH_PROPERTYGET, parameters, result);
}

HRESULT FCallMethod(IDispatch* object, const wchar_t* name, DISPPARAMS* parameters, VARIANT* result)
{
    return FInvoke(object, name, DISPATCH_METHOD, parameters, result);
}

HRESULT FPutProperty(IDispatch* object, const wchar_t* name, VARIANT* value)
{
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS parameters{value, &named, 1, 1};
    return FInvoke(object, name, DISPATCH_PROPERTYPUT, &parameters, nullptr);
}

HRESULT FPutIntProperty(IDispatch* object, const wchar_t* name, int32_t value)
{
    if (!object)
        return E_POINTER;
    LVariant argument;
    argument.setInt(value);
    return FPutProperty(object, name, argument.get());
}

HRESULT FPutBoolProperty(IDispatch* object, const wchar_t* name, VARIANT_BOOL value)
{
    if (!object)
        return E_POINTER;
    LVariant argument;
    V_VT(argument.get()) = VT_BOOL;
    V_BOOL(argument.get()) = value;
    return FPutProperty(object, name, argument.get());
}

HRESULT FCallMethodInt(IDispatch* object, const wchar_t* name, int32_t value, VARIANT* result)
{
    LVariant argument;
    argument.setInt(value);
    DISPPARAMS parameters{argument.get(), nullptr, 1, 0};
    return FCallMethod(object, name, &parameters, result);
}

HRESULT FCallMethodInt2(IDispatch* object, const wchar_t* name, int32_t first, int32_t second, VARIANT* result)
{
    // Invoke takes positional arguments last first.
    LVariant arguments[2];
    arguments[0].setInt(second);
    arguments[1].setInt(first);
    DISPPARAMS parameters{arguments[0].get(), nullptr, 2, 0};
    static_assert(sizeof(LVariant) == sizeof(VARIANT), "the arguments must lie as a VARIANT array");
    return FCallMethod(object, name, &parameters, result);
}

HRESULT FCallMethodStr(IDispatch* object, const wchar_t* name, const wchar_t* text, VARIANT* result)
{
    LVariant argument;
    if (!argument.setString(text)) {
        FReportHResult(E_OUTOFMEMORY, "SysAllocString() failed [%S]", name ? name : L"");
        return E_OUTOFMEMORY;
    }
    DISPPARAMS parameters{argument.get(), nullptr, 1, 0};
    return FCallMethod(object, name, &parameters, result);
}

// ------------------------------------------------------------ typed results

int32_t FGetIntProperty(IDispatch* object, const wchar_t* name)
{
    if (!object)
        return 0;
    LVariant result;
    if (FAILED(FGetProperty(object, name, nullptr, result.get())))
        return 0;
    switch (result.type()) {
    case VT_I4: return V_I4(result.get());
    case VT_I2: return V_I2(result.get());
    case VT_BOOL: return V_BOOL(result.get());
    default:
        message(kMsgVariantType, "%S is not number type (type=%d)", name, int(result.type()));
        return 0;
    }
}

LWString FGetStrProperty(IDispatch* object, const wchar_t* name)
{
    LWString text;
    if (!object)
        return text;
    LVariant result;
    if (FAILED(FGetProperty(object, name, nullptr, result.get())))
        return text;
    if (result.type() != VT_BSTR) {
        message(kMsgVariantType, "%S is not string type (type=%d)", name, int(result.type()));
        return text;
    }
    const BSTR value = V_BSTR(result.get());
    if (value)
        text.append(value, int32_t(SysStringLen(value)));
    return text;
}

IDispatch* FGetDispProperty(IDispatch* object, const wchar_t* name, DISPPARAMS* parameters)
{
    if (!object)
        return nullptr;
    LVariant result;
    const HRESULT called = FGetProperty(object, name, parameters, result.get());
    return takeDispatch(called, result, name, "is not IDispatch property");
}

IDispatch* FCallMethodIntDisp(IDispatch* object, const wchar_t* name, int32_t value)
{
    if (!object)
        return nullptr;
    LVariant result;
    const HRESULT called = FCallMethodInt(object, name, value, result.get());
    return takeDispatch(called, result, name, "is not IDispatch");
}

IDispatch* FCallMethodInt2Disp(IDispatch* object, const wchar_t* name, int32_t first, int32_t second)
{
    if (!object)
        return nullptr;
    LVariant result;
    const HRESULT called = FCallMethodInt2(object, name, first, second, result.get());
    return takeDispatch(called, result, name, "is not IDispatch");
}
