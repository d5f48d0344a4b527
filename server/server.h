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

    // Script methods, one signature for all: the argument count the table
    // admitted, the client's rgvarg array (null when the count is 0; in reverse
    // order, element 0 holding the last argument) and the client's result
    // VARIANT (may be null; methods without a result leave it alone).
    virtual HRESULT beep(UINT count, VARIANT* arguments, VARIANT* result);
    virtual HRESULT click(UINT count, VARIANT* arguments, VARIANT* result);
    virtual HRESULT dblClick(UINT count, VARIANT* arguments, VARIANT* result);
    virtual HRESULT setMousePos(UINT count, VARIANT* arguments, VARIANT* result);
    virtual HRESULT moveMouse(UINT count, VARIANT* arguments, VARIANT* result);
    virtual HRESULT getMousePosX(UINT count, VARIANT* arguments, VARIANT* result);
    virtual HRESULT getMousePosY(UINT count, VARIANT* arguments, VARIANT* result);
    virtual HRESULT getMouseCursor(UINT count, VARIANT* arguments, VARIANT* result);
    virtual HRESULT getSystemCursor(UINT count, VARIANT* arguments, VARIANT* result);
    virtual HRESULT sendKeys(UINT count, VARIANT* arguments, VARIANT* result);
    virtual HRESULT getClipboard(UINT count, VARIANT* arguments, VARIANT* result);
    virtual HRESULT setClipboard(UINT count, VARIANT* arguments, VARIANT* result);
    virtual HRESULT getActiveWindow(UINT count, VARIANT* arguments, VARIANT* result);
    virtual HRESULT getForegroundWindow(UINT count, VARIANT* arguments, VARIANT* result);
    virtual HRESULT setActiveWindow(UINT count, VARIANT* arguments, VARIANT* result);
    virtual HRESULT setForegroundWindow(UINT count, VARIANT* arguments, VARIANT* result);
    virtual HRESULT getWindowPosX(UINT count, VARIANT* arguments, VARIANT* result);
    virtual HRESULT getWindowPosY(UINT count, VARIANT* arguments, VARIANT* result);
    virtual HRESULT setWindowPos(UINT count, VARIANT* arguments, VARIANT* result);
    virtual HRESULT getWindowSizeX(UINT count, VARIANT* arguments, VARIANT* result);
    virtual HRESULT getWindowSizeY(UINT count, VARIANT* arguments, VARIANT* result);
    virtual HRESULT setWindowSize(UINT count, VARIANT* arguments, VARIANT* result);
    virtual HRESULT getWindowText(UINT count, VARIANT* arguments, VARIANT* result);
    virtual HRESULT findWindow(UINT count, VARIANT* arguments, VARIANT* result);
    // The topmost visible top-level window at the point, and WindowFromPoint's answer.
    virtual HRESULT topWindowFromPoint(UINT count, VARIANT* arguments, VARIANT* result);
    virtual HRESULT windowFromPoint(UINT count, VARIANT* arguments, VARIANT* result);
    virtual HRESULT version(UINT count, VARIANT* arguments, VARIANT* result);

private:
    HRESULT doClick(bool isDouble, UINT count, VARIANT* arguments);
    // One of the four rectangle readers: which value of the rectangle it answers.
    HRESULT readWindowRect(UINT count, VARIANT* arguments, VARIANT* result, LONG (*pick)(const RECT&));
    // Mode 0: topmost visible top-level window at the point; 1: as WindowFromPoint.
    HRESULT windowAtPointResult(int mode, UINT count, VARIANT* arguments, VARIANT* result);

    LONG refCount_ = 0;
};

// TServer objects alive in this process; the module is busy while any is.
LONG liveServerCount();
