#include "tests/module_fixture.h"
#include "tests/harness_windows.h"

#include <string>

#include "server/identity.h"

namespace {

HMODULE loaded = nullptr;

template <typename Function>
Function entryPoint(const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(ModuleFixture::module(), name)));
}

} // namespace

void ModuleFixture::SetUpTestSuite()
{
    if (!loaded)
        loaded = LoadLibraryW(besideThisProgram(kServerModuleName).c_str());
    ASSERT_NE(loaded, nullptr) << "Vexa.dll must sit beside the test program";
}

HMODULE ModuleFixture::module() { return loaded; }

HRESULT ModuleFixture::getClassObject(REFCLSID classId, REFIID riid, void** object)
{
    using Function = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    return entryPoint<Function>("DllGetClassObject")(classId, riid, object);
}

HRESULT ModuleFixture::canUnloadNow()
{
    using Function = HRESULT(STDAPICALLTYPE*)();
    return entryPoint<Function>("DllCanUnloadNow")();
}

IClassFactory* ModuleFixture::classFactory()
{
    IClassFactory* factory = nullptr;
    getClassObject(kServerClassId, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    return factory;
}

IDispatch* ModuleFixture::createServer()
{
    IClassFactory* factory = classFactory();
    if (!factory)
        return nullptr;
    IDispatch* server = nullptr;
    factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&server));
    factory->Release();
    return server;
}

bool methodIsBuilt(DISPID)
{
    return true;
}
