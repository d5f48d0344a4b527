// TServer: the module's one automation object. Clients reach it only by late
// binding through IDispatch; the script methods are virtual members that only
// Invoke calls.
#pragma once
#include <windows.h>
#include <oaidl.h>

class TServer : public IDispatch {
public:
    TServer();
    virtual ~TServer();
    TServer(const TServer&) = delete;
    TServer& operator=(const TServer&) = delete;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT nameCount, LCID locale,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID locale, WORD flags, DISPPARAMS* parameters,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override;

    // Script methods. Arguments arrive as the client's rgvarg array: in reverse
    // order, element 0 holding the last argument.
    virtual HRESULT beep(VARIANT* arguments);
    virtual HRESULT version(VARIANT* result);

private:
    bool dispatch(DISPID id, UINT argumentCount, VARIANT* arguments, VARIANT* result);

    LONG refCount_ = 0;
};

// TServer objects alive in this process; the module is busy while any is.
LONG liveServerCount();
