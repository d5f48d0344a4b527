// The module as the component runtime uses it: loaded from its file, the factory
// taken from DllGetClassObject, objects called through IDispatch.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <atomic>
#include <climits>
#include <clocale>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "server/identity.h"
#include "tests/module_fixture.h"
#include "tests/harness_windows.h"

namespace {

void* const kSentinel = reinterpret_cast<void*>(uintptr_t(0xdeadbeef));

const GUID kOtherClassId = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};

struct Expected {
    const wchar_t* name;
    DISPID id;
    std::vector<UINT> counts;
};

const Expected kDispatchTable[] = {
    {L"beep", 100, {0, 2}},          {L"click", 200, {0, 1}},
    {L"dblClick", 201, {0, 1}},      {L"setMousePos", 210, {2}},
    {L"moveMouse", 211, {2}},        {L"getMousePosX", 220, {0}},
    {L"getMousePosY", 221, {0}},     {L"getMouseCursor", 222, {0}},
    {L"getSystemCursor", 223, {1}},  {L"sendKeys", 290, {1, 2}},
    {L"getClipboard", 300, {0}},     {L"setClipboard", 301, {1}},
    {L"getActiveWindow", 400, {0}},  {L"getForegroundWindow", 401, {0}},
    {L"setActiveWindow", 410, {1}},  {L"setForegroundWindow", 411, {1}},
    {L"getWindowPosX", 420, {1}},    {L"getWindowPosY", 421, {1}},
    {L"setWindowPos", 422, {3}},     {L"getWindowSizeX", 430, {1}},
    {L"getWindowSizeY", 431, {1}},   {L"setWindowSize", 432, {3}},
    {L"getWindowText", 440, {1}},    {L"findWindow", 450, {1}},
    {L"topWindowFromPoint", 451, {2}}, {L"windowFromPoint", 452, {2}},
    {L"version", 900, {0}},
};

HRESULT invoke(IDispatch* object, DISPID id, std::vector<VARIANT> arguments, VARIANT* result,
               WORD flags = DISPATCH_METHOD, UINT named = 0)
{
    DISPID namedIds[1] = {DISPID_PROPERTYPUT};
    DISPPARAMS parameters{arguments.empty() ? nullptr : arguments.data(), named ? namedIds : nullptr,
                          UINT(arguments.size()), named};
    return object->Invoke(id, IID_NULL, 0, flags, &parameters, result, nullptr, nullptr);
}

VARIANT integer(int32_t value)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    return v;
}

} // namespace

class ServerModule : public ModuleFixture {};

TEST_F(ServerModule, ExportsItsEntryPointsByOrdinal)
{
    EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(module(), MAKEINTRESOURCEA(2))),
              reinterpret_cast<void*>(GetProcAddress(module(), "DllGetClassObject")));
    EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(module(), MAKEINTRESOURCEA(3))),
              reinterpret_cast<void*>(GetProcAddress(module(), "DllCanUnloadNow")));
    // Ordinal 1 passes straight through to the sockets library's WEP.
    HMODULE sockets = LoadLibraryA("wsock32.dll");
    ASSERT_NE(sockets, nullptr);
    EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(module(), MAKEINTRESOURCEA(1))),
              reinterpret_cast<void*>(GetProcAddress(sockets, "WEP")));
    FreeLibrary(sockets);
}

TEST_F(ServerModule, SelectsJapaneseOnlyUnderCodePage932)
{
    // The module switches the runtime's locale when it picks the language.
    const std::string locale = setlocale(LC_ALL, nullptr);
    if (GetACP() == 932)
        EXPECT_EQ(locale, "Japanese_Japan.932");
    else
        EXPECT_EQ(locale, "C");
}

TEST_F(ServerModule, HandsOutTheFactoryOnlyForItsClassAsIUnknownOrIClassFactory)
{
    EXPECT_EQ(canUnloadNow(), S_OK);
    void* object = kSentinel;
    EXPECT_EQ(getClassObject(kOtherClassId, IID_IClassFactory, &object), E_FAIL);
    EXPECT_EQ(object, nullptr);
    object = kSentinel;
    EXPECT_EQ(getClassObject(kServerClassId, IID_IDispatch, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);

    IUnknown* unknown = nullptr;
    ASSERT_EQ(getClassObject(kServerClassId, IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
    EXPECT_EQ(canUnloadNow(), S_FALSE);
    void* other = kSentinel;
    EXPECT_EQ(unknown->QueryInterface(IID_IDispatch, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(unknown->QueryInterface(kServerClassId, &other), E_NOINTERFACE);
    IClassFactory* factory = nullptr;
    ASSERT_EQ(unknown->QueryInterface(IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    EXPECT_EQ(static_cast<void*>(factory), static_cast<void*>(unknown));
    factory->Release();
    unknown->Release();
    EXPECT_EQ(canUnloadNow(), S_OK);
}

TEST_F(ServerModule, LockServerKeepsTheModuleBusyWithoutALowerBound)
{
    IClassFactory* factory = classFactory();
    factory->LockServer(TRUE);
    factory->LockServer(TRUE);
    factory->LockServer(FALSE);
    factory->Release();
    EXPECT_EQ(canUnloadNow(), S_FALSE);
    factory = classFactory();
    factory->LockServer(FALSE);
    factory->Release();
    EXPECT_EQ(canUnloadNow(), S_OK);

    factory = classFactory();
    factory->LockServer(FALSE); // below zero
    factory->Release();
    EXPECT_EQ(canUnloadNow(), S_FALSE);
    factory = classFactory();
    factory->LockServer(TRUE);
    factory->Release();
    EXPECT_EQ(canUnloadNow(), S_OK);
}

TEST_F(ServerModule, CreateInstanceRefusesAggregationAndUnknownInterfaces)
{
    IClassFactory* factory = classFactory();
    void* object = kSentinel;
    EXPECT_EQ(factory->CreateInstance(reinterpret_cast<IUnknown*>(factory), IID_IDispatch, &object),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(object, kSentinel);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    factory->Release();
    EXPECT_EQ(canUnloadNow(), S_OK) << "the refused object must not stay alive";
}

TEST_F(ServerModule, ObjectsCountReferencesAndKeepTheModuleBusy)
{
    IClassFactory* factory = classFactory();
    IUnknown* object = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, kServerClassId, reinterpret_cast<void**>(&object)), S_OK);
    factory->Release();
    EXPECT_EQ(canUnloadNow(), S_FALSE) << "a live object keeps the module";

    IDispatch* dispatch = nullptr;
    ASSERT_EQ(object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)), S_OK);
    EXPECT_EQ(static_cast<void*>(dispatch), static_cast<void*>(object));
    EXPECT_EQ(object->AddRef(), 3u);
    EXPECT_EQ(object->Release(), 2u);
    void* other = kSentinel;
    EXPECT_EQ(object->QueryInterface(IID_IClassFactory, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(dispatch->Release(), 1u);
    EXPECT_EQ(object->Release(), 0u);
    EXPECT_EQ(canUnloadNow(), S_OK);
}

class ServerObject : public ModuleFixture {
protected:
    void SetUp() override { server_ = createServer(); }
    void TearDown() override
    {
        if (server_)
            server_->Release();
        EXPECT_EQ(canUnloadNow(), S_OK);
    }
    IDispatch* server_ = nullptr;
};

TEST_F(ServerObject, HasNoTypeInformation)
{
    UINT count = 7;
    EXPECT_EQ(server_->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 0u);
    ITypeInfo* info = reinterpret_cast<ITypeInfo*>(kSentinel);
    EXPECT_EQ(server_->GetTypeInfo(0, 0, &info), DISP_E_BADINDEX);
    EXPECT_EQ(info, nullptr);
}

TEST_F(ServerObject, ResolvesEveryMethodNameExactly)
{
    for (const Expected& method : kDispatchTable) {
        LPOLESTR name = const_cast<LPOLESTR>(method.name);
        DISPID id = 0;
        EXPECT_EQ(server_->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK) << method.name;
        EXPECT_EQ(id, method.id) << method.name;
    }
    LPOLESTR wrongCase = const_cast<LPOLESTR>(L"Version");
    DISPID id = 0;
    EXPECT_EQ(server_->GetIDsOfNames(IID_NULL, &wrongCase, 1, 0, &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(id, DISPID_UNKNOWN);
}

TEST_F(ServerObject, KeepsFoundIdentifiersWhenAParameterNameIsUnknown)
{
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"click"), const_cast<LPOLESTR>(L"window")};
    DISPID ids[2] = {0, 0};
    EXPECT_EQ(server_->GetIDsOfNames(IID_NULL, names, 2, 0, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], 200);
    EXPECT_EQ(ids[1], DISPID_UNKNOWN);
    DISPID untouched = 12345;
    EXPECT_EQ(server_->GetIDsOfNames(IID_NULL, names, 0, 0, &untouched), S_OK);
    EXPECT_EQ(untouched, 12345);
}

TEST_F(ServerObject, ResolvesAnyListOfNamesAsTheTableSays)
{
    // Names a client may ask for: every method name, near misses, null, empty,
    // a megabyte, embedded NULs; seeded, so a failing list can be made again.
    std::vector<std::wstring> pool = {L"", L"Version", L"versio", L"versionX", L"click ", L"WINDOWFROMPOINT",
                                      std::wstring(1 << 19, L'v'), std::wstring(L"beep\0x", 6), L"\xD800"};
    for (const Expected& method : kDispatchTable)
        pool.push_back(method.name);
    const auto expectedId = [](const wchar_t* name) -> DISPID {
        for (const Expected& method : kDispatchTable)
            if (name && wcscmp(name, method.name) == 0)
                return method.id;
        return DISPID_UNKNOWN;
    };
    std::mt19937 random(20261206);
    for (int round = 0; round < 300; ++round) {
        const UINT count = 1 + random() % 5;
        std::vector<LPOLESTR> names(count);
        for (LPOLESTR& name : names)
            name = random() % 10 == 0 ? nullptr : const_cast<LPOLESTR>(pool[random() % pool.size()].c_str());
        std::vector<DISPID> ids(count, 12345);
        HRESULT expected = S_OK;
        for (UINT i = 0; i < count; ++i)
            if (expectedId(names[i]) == DISPID_UNKNOWN)
                expected = DISP_E_UNKNOWNNAME;
        SCOPED_TRACE(testing::Message() << "round " << round);
        EXPECT_EQ(server_->GetIDsOfNames(IID_NULL, names.data(), count, 0, ids.data()), expected);
        for (UINT i = 0; i < count; ++i)
            EXPECT_EQ(ids[i], expectedId(names[i])) << "name " << i;
    }
}

TEST_F(ServerObject, InvokeChecksNamedArgumentsThenIdentifierThenCount)
{
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(invoke(server_, 12345, {integer(1)}, &result, DISPATCH_PROPERTYPUT, 1), DISP_E_NONAMEDARGS);
    EXPECT_EQ(invoke(server_, 900, {integer(1)}, &result, DISPATCH_PROPERTYPUT, 1), DISP_E_NONAMEDARGS);
    for (DISPID missing : {0, 101, 453, -1, 901, INT_MAX, INT_MIN}) // beside and outside the used range
        EXPECT_EQ(invoke(server_, missing, {integer(1), integer(2), integer(3)}, &result), DISP_E_MEMBERNOTFOUND)
            << missing;
    EXPECT_EQ(invoke(server_, 100, {integer(1)}, &result), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(V_VT(&result), VT_EMPTY);
    // A block that claims arguments without an array is refused before the method runs.
    for (const Expected& method : kDispatchTable) {
        for (UINT count : method.counts) {
            if (count == 0)
                continue;
            DISPPARAMS malformed{nullptr, nullptr, count, 0};
            EXPECT_EQ(server_->Invoke(method.id, IID_NULL, 0, DISPATCH_METHOD, &malformed, &result, nullptr, nullptr),
                      E_INVALIDARG)
                << method.id << " with " << count;
            EXPECT_EQ(V_VT(&result), VT_EMPTY);
        }
    }
}

TEST_F(ServerObject, RefusesEveryArgumentCountItsMethodDoesNotTake)
{
    for (const Expected& method : kDispatchTable) {
        for (UINT count = 0; count <= 4; ++count) {
            if (std::find(method.counts.begin(), method.counts.end(), count) != method.counts.end())
                continue;
            std::vector<VARIANT> arguments(count, integer(0));
            VARIANT result;
            VariantInit(&result);
            const HRESULT answer = invoke(server_, method.id, arguments, &result);
            if (answer == DISP_E_MEMBERNOTFOUND && !methodIsBuilt(method.id))
                continue;
            EXPECT_EQ(answer, DISP_E_BADPARAMCOUNT) << method.id << " with " << count;
        }
    }
}

TEST_F(ServerObject, VersionIsAStringResultReadAsMethodOrProperty)
{
    for (WORD flags : {WORD(DISPATCH_METHOD), WORD(DISPATCH_PROPERTYGET)}) {
        VARIANT result;
        VariantInit(&result);
        EXPECT_EQ(invoke(server_, 900, {}, &result, flags), S_OK);
        ASSERT_EQ(V_VT(&result), VT_BSTR);
        EXPECT_STREQ(V_BSTR(&result), L"1.04");
        VariantClear(&result);
    }
    VARIANT number = integer(42); // converted in place to the string type first
    EXPECT_EQ(invoke(server_, 900, {}, &number), S_OK);
    ASSERT_EQ(V_VT(&number), VT_BSTR);
    EXPECT_STREQ(V_BSTR(&number), L"1.04");
    VariantClear(&number);
}

TEST_F(ServerObject, LeavesAResultThatCannotTakeAStringAsPassed)
{
    SAFEARRAY* array = SafeArrayCreateVector(VT_I4, 0, 2);
    VARIANT result;
    VariantInit(&result);
    V_VT(&result) = VT_ARRAY | VT_I4;
    V_ARRAY(&result) = array;
    EXPECT_EQ(invoke(server_, 900, {}, &result), S_OK);
    EXPECT_EQ(V_VT(&result), VT_ARRAY | VT_I4);
    EXPECT_EQ(V_ARRAY(&result), array);
    VariantClear(&result);
}

TEST_F(ServerObject, SurvivesCallsWithoutResultOrParameters)
{
    EXPECT_EQ(invoke(server_, 900, {}, nullptr), S_OK);
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(server_->Invoke(900, IID_NULL, 0, DISPATCH_METHOD, nullptr, &result, nullptr, nullptr), S_OK);
    EXPECT_EQ(V_VT(&result), VT_BSTR);
    VariantClear(&result);
    EXPECT_EQ(server_->Invoke(100, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr), S_OK);
}

TEST_F(ServerObject, BeepTakesNoArgumentsOrTwoIntegers)
{
    VARIANT ignored;
    VariantInit(&ignored);
    EXPECT_EQ(invoke(server_, 100, {}, &ignored), S_OK);
    EXPECT_EQ(invoke(server_, 100, {integer(1), integer(440)}, &ignored), S_OK);
    VARIANT real;
    VariantInit(&real);
    V_VT(&real) = VT_R8;
    V_R8(&real) = 440.0;
    EXPECT_EQ(invoke(server_, 100, {real, real}, &ignored), S_OK);
    EXPECT_EQ(V_VT(&ignored), VT_EMPTY) << "beep has no result";
}

TEST(ServerThreads, ObjectsInSeparateApartmentsWorkAtOnce)
{
    ModuleFixture::SetUpTestSuite();
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&failures] {
            CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
            for (int i = 0; i < 300; ++i) {
                IDispatch* server = ModuleFixture::createServer();
                VARIANT result;
                VariantInit(&result);
                if (!server || invoke(server, 900, {}, &result) != S_OK || V_VT(&result) != VT_BSTR ||
                    wcscmp(V_BSTR(&result), L"1.04") != 0)
                    ++failures;
                VariantClear(&result);
                if (server) {
                    server->AddRef();
                    server->Release();
                    server->Release();
                }
            }
            CoUninitialize();
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(ModuleFixture::canUnloadNow(), S_OK);
}

namespace {

VARIANT bstrArgument(const std::wstring& text)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocStringLen(text.data(), UINT(text.size()));
    return v;
}

// One apartment's share of the concurrent run: it holds an object of its own
// throughout, calls methods on it against a hidden window of its own thread, and
// keeps creating, calling and releasing further objects and taking and
// dropping module locks. Returns the number of wrong answers.
int workInApartment(int index, int rounds, std::atomic<int>& holding, std::atomic<int>& done, HANDLE finish)
{
    int wrong = 0;
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 1;
    const std::wstring title = L"Vexa apartment " + std::to_wstring(index);
    HWND window = CreateWindowExW(0, L"STATIC", title.c_str(), WS_POPUP, 10 * index, 20 * index, 100, 50, nullptr,
                                  nullptr, nullptr, nullptr);
    IDispatch* held = ModuleFixture::createServer();
    ++holding;
    if (!held || !window)
        ++wrong;
    const int32_t handle = int32_t(reinterpret_cast<intptr_t>(window));
    for (int round = 0; held && window && round < rounds; ++round) {
        // Methods on the held object, with answers this thread can check.
        VARIANT result;
        VariantInit(&result);
        if (invoke(held, 440, {integer(handle)}, &result) != S_OK || V_VT(&result) != VT_BSTR ||
            title != V_BSTR(&result))
            ++wrong;
        VariantClear(&result);
        VARIANT argument = bstrArgument(title);
        if (invoke(held, 450, {argument}, &result) != S_OK || V_VT(&result) != VT_I4 || V_I4(&result) != handle)
            ++wrong;
        VariantClear(&argument);
        VariantClear(&result);
        const int32_t x = index * 10 + round % 50;
        // Arguments in rgvarg order: the client's last one first.
        if (invoke(held, 422, {integer(7), integer(x), integer(handle)}, nullptr) != S_OK ||
            invoke(held, 420, {integer(handle)}, &result) != S_OK || V_VT(&result) != VT_I4 || V_I4(&result) != x)
            ++wrong;
        VariantClear(&result);

        // A short-lived object, and a lock that outlives it for a moment.
        IClassFactory* factory = ModuleFixture::classFactory();
        IDispatch* brief = nullptr;
        if (!factory || FAILED(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&brief)))) {
            ++wrong;
        } else {
            factory->LockServer(TRUE);
            if (invoke(brief, 900, {}, &result) != S_OK || V_VT(&result) != VT_BSTR)
                ++wrong;
            VariantClear(&result);
            LPOLESTR name = const_cast<LPOLESTR>(L"getWindowSizeX");
            DISPID id = 0;
            if (brief->GetIDsOfNames(IID_NULL, &name, 1, 0, &id) != S_OK || id != 430)
                ++wrong;
            brief->Release();
            factory->LockServer(FALSE);
        }
        if (factory)
            factory->Release();
    }
    // The held object lives until every apartment is done.
    ++done;
    WaitForSingleObject(finish, INFINITE);
    if (held)
        held->Release();
    if (window)
        DestroyWindow(window);
    CoUninitialize();
    return wrong;
}

} // namespace

TEST(ServerThreads, UnloadAnswerStaysRightWhileApartmentsCallAndChurn)
{
    ModuleFixture::SetUpTestSuite();
    ASSERT_EQ(ModuleFixture::canUnloadNow(), S_OK);
    constexpr int kApartments = 6;
    constexpr int kRounds = 150;
    std::atomic<int> holding{0};
    std::atomic<int> done{0};
    std::atomic<int> wrong{0};
    HANDLE finish = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(finish, nullptr);
    std::vector<std::thread> threads;
    for (int t = 0; t < kApartments; ++t)
        threads.emplace_back(
            [t, &holding, &done, &wrong, finish] { wrong += workInApartment(t, kRounds, holding, done, finish); });

    // While any object lives the module must not be reported unloadable.
    while (holding.load() < kApartments)
        Sleep(1);
    int asked = 0, unloadable = 0;
    const ULONGLONG start = GetTickCount64();
    while (done.load() < kApartments && GetTickCount64() - start < 60000) {
        ++asked;
        if (ModuleFixture::canUnloadNow() != S_FALSE)
            ++unloadable;
    }
    SetEvent(finish);
    for (auto& thread : threads)
        thread.join();
    CloseHandle(finish);
    printf("%d apartments, %d rounds each; the unload answer asked %d times meanwhile\n", kApartments, kRounds,
           asked);
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(unloadable, 0) << "reported unloadable while objects were alive";
    EXPECT_EQ(ModuleFixture::canUnloadNow(), S_OK) << "every object and lock is gone";
}

namespace {

// Registers the module beside this program for the test's duration.
class Installed {
public:
    Installed() : setup_(besideThisProgram(L"vexa-setup.exe"))
    {
        result = runProgram(setup_, L"install --machine");
    }
    ~Installed() { runProgram(setup_, L"uninstall --machine"); }
    ProgramResult result;

private:
    std::wstring setup_;
};

} // namespace

TEST(ServerRegistered, IsCreatedByNameThroughTheComponentRuntime)
{
    ModuleFixture::SetUpTestSuite();
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    {
        Installed installed;
        ASSERT_EQ(installed.result.exitCode, 0u) << installed.result.errors;
        CLSID classId{};
        ASSERT_EQ(CLSIDFromProgID(kServerProgId, &classId), S_OK);
        EXPECT_TRUE(IsEqualCLSID(classId, kServerClassId));
        IDispatch* server = nullptr;
        ASSERT_EQ(CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                   reinterpret_cast<void**>(&server)),
                  S_OK);
        LPOLESTR name = const_cast<LPOLESTR>(L"version");
        DISPID id = 0;
        EXPECT_EQ(server->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
        VARIANT result;
        VariantInit(&result);
        EXPECT_EQ(invoke(server, id, {}, &result), S_OK);
        ASSERT_EQ(V_VT(&result), VT_BSTR);
        EXPECT_STREQ(V_BSTR(&result), L"1.04");
        VariantClear(&result);
        server->Release();
    }
    CoUninitialize();
    EXPECT_EQ(ModuleFixture::canUnloadNow(), S_OK);
}
