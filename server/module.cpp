// The module's entry points and its one class factory.
#include <windows.h>
#include <ole2.h>

#include "lib/charset.h"
#include "server/identity.h"
#include "server/server.h"
#include "server/tables.h"

class TClassFactory : public IClassFactory {
public:
    constexpr TClassFactory() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *object = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }

    ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(InterlockedIncrement(&refCount)); }

    // The factory is static: it is never freed, whatever the count.
    ULONG STDMETHODCALLTYPE Release() override { return ULONG(InterlockedDecrement(&refCount)); }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override
    {
        if (outer)
            return CLASS_E_NOAGGREGATION;
        if (!object)
            return E_POINTER;
        TServer* server = new TServer;
        const HRESULT answered = server->QueryInterface(riid, object);
        if (FAILED(answered))
            delete server;
        return answered;
    }

    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override
    {
        if (lock)
            InterlockedIncrement(&fvLockNumber);
        else
            InterlockedDecrement(&fvLockNumber);
        return S_OK;
    }

    LONG refCount = 0;
    static inline LONG fvLockNumber = 0;
};

namespace {
constinit TClassFactory classFacory;
} // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        if (GetACP() == 932)
            setLanguage('J');
        buildTables();
        break;
    case DLL_PROCESS_DETACH:
        destroyTables();
        break;
    default:
        break;
    }
    return TRUE;
}

HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID classId, REFIID riid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (!IsEqualCLSID(classId, kServerClassId))
        return E_FAIL;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory))
        return E_NOINTERFACE;
    InterlockedIncrement(&classFacory.refCount);
    *object = static_cast<IClassFactory*>(&classFacory);
    return S_OK;
}

HRESULT STDAPICALLTYPE DllCanUnloadNow()
{
    // Live objects keep the module too: their code is in it.
    const bool busy = InterlockedCompareExchange(&TClassFactory::fvLockNumber, 0, 0) != 0 ||
                      InterlockedCompareExchange(&classFacory.refCount, 0, 0) != 0 || liveServerCount() != 0;
    return busy ? S_FALSE : S_OK;
}

} // extern "C"
