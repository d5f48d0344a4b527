#include "server/server.h"

#include "server/identity.h"
#include "server/tables.h"
#include "server/variants.h"
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
    const UINT count = parameters ? parameters->cArgs : 0;
    VARIANT* arguments = count ? parameters->rgvarg : nullptr;

    if (namedCount != 0)
        return DISP_E_NONAMEDARGS;
    const MethodInfo* method = findMethod(id);
    if (!method)
        return DISP_E_MEMBERNOTFOUND;
    if (!method->admits(count))
        return DISP_E_BADPARAMCOUNT;
    // A block that claims arguments but holds none is malformed: running the
    // method without them would beep or click where nobody asked.
    if (count != 0 && !arguments)
        return E_INVALIDARG;
    // A method's own failure never reaches the client: it left the result as passed.
    (this->*method->handler)(count, arguments, result);
    return S_OK;
}

HRESULT TServer::beep(UINT count, VARIANT* arguments, VARIANT*)
{
    if (count == 0) {
        MessageBeep(0xFFFFFFFF);
        return S_OK;
    }
    // The duration is converted first.
    int32_t frequency = 0;
    int32_t duration = 0;
    HRESULT converted = varToInt(argumentAt(arguments, count, 1), &duration);
    if (SUCCEEDED(converted))
        converted = varToInt(argumentAt(arguments, count, 0), &frequency);
    if (FAILED(converted))
        return converted;
    Beep(DWORD(frequency), DWORD(duration));
    return S_OK;
}

HRESULT TServer::version(UINT, VARIANT*, VARIANT* result)
{
    return setStrResult(result, VEXA_VERSION_WIDE);
}
