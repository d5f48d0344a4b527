#include "server.h"

#include "identity.h"
#include "tables.h"
#include "variants.h"
#include "vexa_version.h"

namespace {

LONG liveServers = 0;

} // namespace

LONG liveServerCount() { return InterlockedCompareExchange(&liveServers, 0, 0); }

TServer::TServer() { InterlockedIncrement(&liveServers); }

TServer::~TServer() { InterlockedDecrement(&liveServers); }

HRESULT STDMETHODCALLTYPE TServer::QueryInterface(REFIID riid, void** object)
{
    if (!object)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, kServerClassId) || IsEqualIID(riid, IID_IDispatch)) {
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE TServer::AddRef() { return ULONG(InterlockedIncrement(&refCount_)); }

ULONG STDMETHODCALLTYPE TServer::Release()
{
    const LONG count = InterlockedDecrement(&refCount_);
    if (count == 0)
        delete this;
    return ULONG(count);
}

HRESULT STDMETHODCALLTYPE TServer::GetTypeInfoCount(UINT* count)
{
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TServer::GetTypeInfo(UINT, LCID, ITypeInfo** info)
{
    if (info)
        *info = nullptr;
    return DISP_E_BADINDEX;
}

HRESULT STDMETHODCALLTYPE TServer::GetIDsOfNames(REFIID, LPOLESTR* names, UINT nameCount, LCID, DISPID* ids)
{
    if (nameCount == 0)
        return S_OK;
    if (!names || !ids)
        return E_POINTER;
    HRESULT outcome = S_OK;
    for (UINT i = 0; i < nameCount; ++i) {
        const LHashEntry* entry = names[i] && methodTable() ? methodTable()->find(names[i]) : nullptr;
        ids[i] = entry ? entry->value : DISPID_UNKNOWN;
        if (!entry)
            outcome = DISP_E_UNKNOWNNAME;
    }
    return outcome;
}

HRESULT STDMETHODCALLTYPE TServer::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* parameters,
                                          VARIANT* result, EXCEPINFO*, UINT*)
{
    // A missing parameter block is a call without arguments.
    const UINT namedCount = parameters ? parameters->cNamedArgs : 0;
    const UINT argumentCount = parameters ? parameters->cArgs : 0;
    VARIANT* arguments = parameters ? parameters->rgvarg : nullptr;

    if (namedCount != 0)
        return DISP_E_NONAMEDARGS;
    const MethodInfo* method = findMethod(id);
    if (!method)
        return DISP_E_MEMBERNOTFOUND;
    if (argumentCount >= 32 || !(method->argumentCounts & (1u << argumentCount)))
        return DISP_E_BADPARAMCOUNT;
    // A block that claims arguments but holds none is malformed: running the
    // method without them would beep or click where nobody asked.
    if (argumentCount != 0 && !arguments)
        return E_INVALIDARG;
    // A method's own failure never reaches the client: it left the result as passed.
    return dispatch(id, argumentCount, arguments, result) ? S_OK : DISP_E_MEMBERNOTFOUND;
}

// Calls the method slot for an identifier whose argument count is already checked;
// false when the module has no slot for it.
bool TServer::dispatch(DISPID id, UINT argumentCount, VARIANT* arguments, VARIANT* result)
{
    // Methods that take no argument, or an optional one, get a null array without.
    VARIANT* given = argumentCount ? arguments : nullptr;
    switch (id) {
    case 100: beep(given); return true;
    case 200: click(given); return true;
    case 201: dblClick(given); return true;
    case 210: setMousePos(arguments); return true;
    case 211: moveMouse(arguments); return true;
    case 220: getMousePosX(result); return true;
    case 221: getMousePosY(result); return true;
    case 222: getMouseCursor(result); return true;
    case 223: getSystemCursor(arguments, result); return true;
    case 290: sendKeys(argumentCount, arguments); return true;
    case 300: getClipboard(result); return true;
    case 301: setClipboard(arguments); return true;
    case 400: getActiveWindow(result); return true;
    case 401: getForegroundWindow(result); return true;
    case 410: setActiveWindow(arguments, result); return true;
    case 411: setForegroundWindow(arguments, result); return true;
    case 420: getWindowPosX(arguments, result); return true;
    case 421: getWindowPosY(arguments, result); return true;
    case 422: setWindowPos(arguments); return true;
    case 430: getWindowSizeX(arguments, result); return true;
    case 431: getWindowSizeY(arguments, result); return true;
    case 432: setWindowSize(arguments); return true;
    case 440: getWindowText(arguments, result); return true;
    case 450: findWindow(arguments, result); return true;
    case 451: windowFromPoint(0, arguments, result); return true;
    case 452: windowFromPoint(1, arguments, result); return true;
    case 900: version(result); return true;
    default: return false;
    }
}

HRESULT TServer::beep(VARIANT* arguments)
{
    if (!arguments) {
        MessageBeep(0xFFFFFFFF);
        return S_OK;
    }
    // The duration is converted first.
    int32_t frequency = 0;
    int32_t duration = 0;
    HRESULT converted = varToInt(argumentAt(arguments, 2, 1), &duration);
    if (SUCCEEDED(converted))
        converted = varToInt(argumentAt(arguments, 2, 0), &frequency);
    if (FAILED(converted))
        return converted;
    Beep(DWORD(frequency), DWORD(duration));
    return S_OK;
}

HRESULT TServer::version(VARIANT* result)
{
    return setStrResult(result, VEXA_VERSION_WIDE);
}
