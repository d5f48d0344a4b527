// Loads Vexa.dll from beside the test program, as the component runtime would,
// and gives the tests its entry points.
#pragma once
#include <gtest/gtest.h>

#include <windows.h>
#include <oaidl.h>

class ModuleFixture : public testing::Test {
public:
    static void SetUpTestSuite();
    static HMODULE module();
    static HRESULT getClassObject(REFCLSID classId, REFIID riid, void** object);
    static HRESULT canUnloadNow();
    // The factory, with one reference for the caller.
    static IClassFactory* classFactory();
    // A new server object as IDispatch, or null.
    static IDispatch* createServer();
};

// Methods whose slots this build of the module has.
bool methodIsBuilt(DISPID id);
