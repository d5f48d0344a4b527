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
    virtual HRESULT click(VARIANT* arguments);
    virtual HRESULT dblClick(VARIANT* arguments);
    virtual HRESULT setMousePos(VARIANT* arguments);
    virtual HRESULT moveMouse(VARIANT* arguments);
    virtual HRESULT getMousePosX(VARIANT* result);
    virtual HRESULT getMousePosY(VARIANT* result);
    virtual HRESULT getMouseCursor(VARIANT* result);
    virtual HRESULT getSystemCursor(VARIANT* arguments, VARIANT* result);
    virtual HRESULT sendKeys(UINT argumentCount, VARIANT* arguments);
    virtual HRESULT getClipboard(VARIANT* result);
    virtual HRESULT setClipboard(VARIANT* arguments);
    virtual HRESULT getActiveWindow(VARIANT* result);
    virtual HRESULT getForegroundWindow(VARIANT* result);
    virtual HRESULT setActiveWindow(VARIANT* arguments, VARIANT* result);
    virtual HRESULT setForegroundWindow(VARIANT* arguments, VARIANT* result);
    virtual HRESULT getWindowPosX(VARIANT* arguments, VARIANT* result);
    virtual HRESULT getWindowPosY(VARIANT* arguments, VARIANT* result);
    virtual HRESULT setWindowPos(VARIANT* arguments);
    virtual HRESULT getWindowSizeX(VARIANT* arguments, VARIANT* result);
    virtual HRESULT getWindowSizeY(VARIANT* arguments, VARIANT* result);
    virtual HRESULT setWindowSize(VARIANT* arguments);
    virtual HRESULT getWindowText(VARIANT* arguments, VARIANT* result);
    virtual HRESULT findWindow(VARIANT* arguments, VARIANT* result);
    // Mode 0: topmost visible top-level window at the point; 1: as WindowFromPoint.
    virtual HRESULT windowFromPoint(int mode, VARIANT* arguments, VARIANT* result);
    virtual HRESULT version(VARIANT* result);

private:
    bool dispatch(DISPID id, UINT argumentCount, VARIANT* arguments, VARIANT* result);
    HRESULT doClick(bool isDouble, VARIANT* arguments);
    // One of the four rectangle readers: which value of the rectangle it answers.
    HRESULT readWindowRect(VARIANT* arguments, VARIANT* result, LONG (*pick)(const RECT&));

    LONG refCount_ = 0;
};

// TServer objects alive in this process; the module is busy while any is.
LONG liveServerCount();
