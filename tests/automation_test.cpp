// The automation client helpers against real objects (the system's dictionary and
// Vexa.Server registered through the installer) and a recording object, and
// vexa-call run as a program.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "lib/facilities/automation.h"
#include "tests/harness.h"
#include "server/identity.h"
#include "tests/harness_windows.h"

namespace {

// The component runtime and the server's all-users registration, for one suite.
class Registered : public testing::Test {
public:
    static void SetUpTestSuite()
    {
        CoInitialize(nullptr);
        installed = runProgram(besideThisProgram(L"vexa-setup.exe"), L"install --machine");
    }
    static void TearDownTestSuite()
    {
        runProgram(besideThisProgram(L"vexa-setup.exe"), L"uninstall --machine");
        CoUninitialize();
    }
    void SetUp() override { ASSERT_EQ(installed.exitCode, 0u) << installed.errors; }

    static ProgramResult installed;
};
ProgramResult Registered::installed{DWORD(-1), {}, {}};

// A top-level window with a title of our choosing, on a thread that pumps its
// messages, so that another process can move it while the test waits.
class TitledWindow {
public:
    explicit TitledWindow(const wchar_t* title)
    {
        HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        thread_ = std::thread([this, title, ready] {
            window = CreateWindowExW(0, L"STATIC", title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 300, 200,
                                     nullptr, nullptr, nullptr, nullptr);
            threadId_ = GetCurrentThreadId();
            SetEvent(ready);
            MSG message;
            while (GetMessageW(&message, nullptr, 0, 0) > 0)
                DispatchMessageW(&message);
            DestroyWindow(window);
        });
        WaitForSingleObject(ready, INFINITE);
        CloseHandle(ready);
    }
    ~TitledWindow()
    {
        PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
        thread_.join();
    }
    RECT rect() const
    {
        RECT r{};
        GetWindowRect(window, &r);
        return r;
    }
    // The handle as the server gives it: a 32-bit integer.
    int32_t number() const { return int32_t(reinterpret_cast<intptr_t>(window)); }

    HWND window = nullptr;

private:
    std::thread thread_;
    DWORD threadId_ = 0;
};

} // namespace

// ------------------------------------------------------------ reporting

TEST(FReportHResult, AppendsTheCodeAndItsNameToOneErrorLine)
{
    EXPECT_EQ(outputOf([] { FReportHResult(E_FAIL, "x"); }), "Error 17200: x: HRESULT=80004005h (E_FAIL)\n");
    EXPECT_EQ(outputOf([] { FReportHResult(HRESULT(0x80070002), "open [%S]", L"a.txt"); }),
              "Error 17200: open [a.txt]: HRESULT=80070002h (?)\n");
    EXPECT_STREQ(FHResultName(HRESULT(0x80020006)), "DISP_E_UNKNOWNNAME");
    EXPECT_STREQ(FHResultName(HRESULT(0x800401F0)), "CO_E_NOTINITIALIZED");
}

TEST(FReportHResult, PrintsPercentSignsOfTheTextAsTheyAre)
{
    EXPECT_EQ(outputOf([] { FReportHResult(E_FAIL, "%s", "100% %s %n"); }),
              "Error 17200: 100% %s %n: HRESULT=80004005h (E_FAIL)\n");
}

TEST(FGuidText, WritesTheBytesInMemoryOrder)
{
    EXPECT_STREQ(FGuidText(IID_IDispatch).data(), "00040200-00000000-C0000000-00000046");
    EXPECT_STREQ(FGuidText(kServerClassId).data(), "00714C8F-8F3CD646-878E3F70-A0BFBC7B");
}

// ------------------------------------------------------------ a recording object

TEST(FInvoke, AnUnknownNameIsReportedOnceAndNeverInvoked)
{
    DispatchStub object;
    VARIANT result;
    V_VT(&result) = VT_I4;
    V_I4(&result) = 0x0BAD;
    HRESULT outcome = S_OK;
    const std::string output =
        outputOf([&] { outcome = FInvoke(&object, L"nothing", DISPATCH_METHOD, nullptr, &result); });
    EXPECT_EQ(outcome, DISP_E_UNKNOWNNAME);
    EXPECT_EQ(output, "Error 17200: GetIDsOfNames() failed [nothing]: HRESULT=80020006h (DISP_E_UNKNOWNNAME)\n");
    EXPECT_EQ(object.invokes, 0);
    EXPECT_EQ(V_VT(&result), VT_I4); // untouched
    EXPECT_EQ(FHasMember(&object, L"nothing"), 0);
    EXPECT_EQ(FHasMember(&object, L"value"), 1);
}

TEST(FInvoke, AFailedCallIsReportedWithTheMemberName)
{
    DispatchStub object;
    object.failWith = DISP_E_TYPEMISMATCH;
    const std::string output = outputOf([&] { EXPECT_EQ(FCallMethodInt(&object, L"value", 1, nullptr), DISP_E_TYPEMISMATCH); });
    EXPECT_EQ(output, "Error 17200: Invoke() failed [value]: HRESULT=80020005h (?)\n");
    // A failed call is one report: the typed reader adds no type complaint.
    EXPECT_EQ(outputOf([&] { EXPECT_EQ(FGetIntProperty(&object, L"value"), 0); }),
              "Error 17200: Invoke() failed [value]: HRESULT=80020005h (?)\n");
}

TEST(FInvoke, NullObjectsDoNothingAndSayNothing)
{
    const std::string output = outputOf([] {
        EXPECT_EQ(FInvoke(nullptr, L"value", DISPATCH_METHOD, nullptr, nullptr), E_POINTER);
        EXPECT_EQ(FPutIntProperty(nullptr, L"value", 1), E_POINTER);
        EXPECT_EQ(FPutBoolProperty(nullptr, L"value", VARIANT_TRUE), E_POINTER);
        EXPECT_EQ(FGetIntProperty(nullptr, L"value"), 0);
        EXPECT_EQ(FGetStrProperty(nullptr, L"value").length(), 0);
        EXPECT_EQ(FGetDispProperty(nullptr, L"value", nullptr), nullptr);
        EXPECT_EQ(FCallMethodIntDisp(nullptr, L"value", 1), nullptr);
        EXPECT_EQ(FHasMember(nullptr, L"value"), 0);
    });
    EXPECT_EQ(output, "");
}

TEST(FCallMethodInt2, PassesTheSecondIntegerAsElementZero)
{
    DispatchStub object;
    EXPECT_EQ(FCallMethodInt2(&object, L"value", 1, 2, nullptr), S_OK);
    EXPECT_EQ(object.arguments, (std::vector<int32_t>{2, 1}));
    EXPECT_EQ(object.lastFlags, DISPATCH_METHOD);
    EXPECT_TRUE(object.named.empty());
}

TEST(FPutProperty, PassesOneValueNamedAsThePropertyPut)
{
    DispatchStub object;
    EXPECT_EQ(FPutIntProperty(&object, L"value", 42), S_OK);
    EXPECT_EQ(object.lastFlags, DISPATCH_PROPERTYPUT);
    EXPECT_EQ(object.arguments, (std::vector<int32_t>{42}));
    EXPECT_EQ(object.named, (std::vector<DISPID>{DISPID_PROPERTYPUT}));
    EXPECT_EQ(FPutBoolProperty(&object, L"value", VARIANT_TRUE), S_OK);
    EXPECT_EQ(object.arguments, (std::vector<int32_t>{-999})); // not VT_I4: a VT_BOOL
}

TEST(FGetIntProperty, AcceptsTheIntegerTypesAndBooleanTrueIsMinusOne)
{
    DispatchStub object;
    V_VT(object.answer.get()) = VT_BOOL;
    V_BOOL(object.answer.get()) = VARIANT_TRUE;
    EXPECT_EQ(FGetIntProperty(&object, L"value"), -1);
    EXPECT_EQ(object.lastFlags, DISPATCH_PROPERTYGET);
    V_VT(object.answer.get()) = VT_I2;
    V_I2(object.answer.get()) = -300;
    EXPECT_EQ(FGetIntProperty(&object, L"value"), -300);
    V_VT(object.answer.get()) = VT_I4;
    V_I4(object.answer.get()) = 70000;
    EXPECT_EQ(FGetIntProperty(&object, L"value"), 70000);
}

TEST(TypedResults, AWrongTypeIsReportedAndItsValueReleased)
{
    DispatchStub object;
    DispatchStub inner;
    V_VT(object.answer.get()) = VT_DISPATCH;
    V_DISPATCH(object.answer.get()) = &inner;
    inner.AddRef(); // the answer's reference
    const long before = inner.references;

    EXPECT_EQ(outputOf([&] { EXPECT_EQ(FGetIntProperty(&object, L"value"), 0); }),
              "Error 17200: value is not number type (type=9)\n");
    EXPECT_EQ(outputOf([&] { EXPECT_EQ(FGetStrProperty(&object, L"value").length(), 0); }),
              "Error 17200: value is not string type (type=9)\n");
    EXPECT_EQ(inner.references, before);

    // The right type hands its reference to the caller.
    IDispatch* taken = FGetDispProperty(&object, L"value", nullptr);
    EXPECT_EQ(taken, &inner);
    EXPECT_EQ(inner.references, before + 1);
    LComPtr<IDispatch> owned(taken);
    owned.reset();
    EXPECT_EQ(inner.references, before);

    object.answer.clear();
    V_VT(object.answer.get()) = VT_BSTR;
    V_BSTR(object.answer.get()) = SysAllocString(L"text");
    EXPECT_EQ(outputOf([&] { EXPECT_EQ(FCallMethodIntDisp(&object, L"value", 3), nullptr); }),
              "Error 17200: value is not IDispatch (type=8)\n");
    EXPECT_EQ(outputOf([&] { EXPECT_EQ(FCallMethodInt2Disp(&object, L"value", 3, 4), nullptr); }),
              "Error 17200: value is not IDispatch (type=8)\n");
    EXPECT_EQ(outputOf([&] { EXPECT_EQ(FGetDispProperty(&object, L"value", nullptr), nullptr); }),
              "Error 17200: value is not IDispatch property (type=8)\n");
    EXPECT_EQ(object.references, 1);
}

// ------------------------------------------------------------ the system's dictionary

class Dictionary : public testing::Test {
protected:
    static void SetUpTestSuite() { CoInitialize(nullptr); }
    static void TearDownTestSuite() { CoUninitialize(); }
};

TEST_F(Dictionary, CreationModesAttachCreateOrNeither)
{
    std::string output = outputOf([] {
        EXPECT_EQ(FCreateObject(L"Scripting.Dictionary", true, 0), nullptr);
        EXPECT_EQ(FCreateObject(L"Scripting.Dictionary", true, kAttachRunning), nullptr); // none running
    });
    EXPECT_EQ(output, "");
    for (int mode : {kCreateNew, kAttachRunning | kCreateNew}) {
        LComPtr<IDispatch> object(FCreateObject(L"Scripting.Dictionary", true, mode));
        EXPECT_TRUE(object) << "mode " << mode;
        EXPECT_EQ(FHasMember(object.get(), L"Exists"), 1);
    }
}

TEST_F(Dictionary, AnUnregisteredNameIsReportedOnlyWhenAsked)
{
    EXPECT_EQ(outputOf([] { EXPECT_EQ(FCreateObject(L"No.Such.Thing", false, 3), nullptr); }), "");
    EXPECT_EQ(outputOf([] { EXPECT_EQ(FCreateObject(L"No.Such.Thing", true, 3), nullptr); }),
              "Error 17200: CLSIDFromProgID() failed [No.Such.Thing]: HRESULT=800401F3h (CO_E_CLASSSTRING)\n");
}

TEST_F(Dictionary, KeysAndValuesArriveInTheirOrder)
{
    LComPtr<IDispatch> dictionary(FCreateObject(L"Scripting.Dictionary", true, kCreateNew));
    ASSERT_TRUE(dictionary);
    EXPECT_EQ(FCallMethodInt2(dictionary.get(), L"Add", 1, 2, nullptr), S_OK); // key 1, item 2
    EXPECT_EQ(FGetIntProperty(dictionary.get(), L"Count"), 1);

    LVariant result;
    EXPECT_EQ(FCallMethodInt(dictionary.get(), L"Exists", 1, result.get()), S_OK);
    ASSERT_EQ(result.type(), VT_BOOL);
    EXPECT_EQ(V_BOOL(result.get()), VARIANT_TRUE);
    EXPECT_EQ(FCallMethodInt(dictionary.get(), L"Exists", 2, result.get()), S_OK);
    EXPECT_EQ(V_BOOL(result.get()), VARIANT_FALSE);

    LVariant key;
    key.setInt(1);
    DISPPARAMS index{key.get(), nullptr, 1, 0};
    EXPECT_EQ(FGetProperty(dictionary.get(), L"Item", &index, result.get()), S_OK);
    ASSERT_EQ(result.type(), VT_I4);
    EXPECT_EQ(V_I4(result.get()), 2);
}

TEST_F(Dictionary, APropertyPutChangesTheObject)
{
    LComPtr<IDispatch> dictionary(FCreateObject(L"Scripting.Dictionary", true, kCreateNew));
    ASSERT_TRUE(dictionary);
    EXPECT_EQ(FPutIntProperty(dictionary.get(), L"CompareMode", 1), S_OK); // text: case does not count
    EXPECT_EQ(FGetIntProperty(dictionary.get(), L"CompareMode"), 1);
    LVariant key, item;
    key.setString(L"Key");
    item.setInt(5);
    VARIANT both[2] = {*item.get(), *key.get()}; // shallow: key and item keep ownership
    DISPPARAMS parameters{both, nullptr, 2, 0};
    EXPECT_EQ(FCallMethod(dictionary.get(), L"Add", &parameters, nullptr), S_OK);
    LVariant result;
    EXPECT_EQ(FCallMethodStr(dictionary.get(), L"Exists", L"KEY", result.get()), S_OK);
    EXPECT_EQ(V_BOOL(result.get()), VARIANT_TRUE);
}

// ------------------------------------------------------------ Vexa.Server by name

using VexaServer = Registered;

TEST_F(VexaServer, ReadsTheVersionAndRefusesTheWrongTypes)
{
    LComPtr<IDispatch> vexa(FCreateObject(kServerProgId, true, kCreateNew));
    ASSERT_TRUE(vexa);
    LWString version = FGetStrProperty(vexa.get(), L"version");
    EXPECT_STREQ(version.data(), L"1.04");
    EXPECT_EQ(outputOf([&] { EXPECT_EQ(FGetIntProperty(vexa.get(), L"version"), 0); }),
              "Error 17200: version is not number type (type=8)\n");
    EXPECT_EQ(outputOf([&] { EXPECT_EQ(FCallMethodIntDisp(vexa.get(), L"getSystemCursor", 32512), nullptr); }),
              "Error 17200: getSystemCursor is not IDispatch (type=3)\n");
    EXPECT_EQ(outputOf([&] { EXPECT_EQ(FCallMethodInt2(vexa.get(), L"setWindowPos", 1, 2, nullptr), DISP_E_BADPARAMCOUNT); }),
              "Error 17200: Invoke() failed [setWindowPos]: HRESULT=8002000Eh (?)\n");
    EXPECT_EQ(FHasMember(vexa.get(), L"findWindow"), 1);
    EXPECT_EQ(FHasMember(vexa.get(), L"FindWindow"), 0); // names are case-sensitive
}

TEST_F(VexaServer, FindsAWindowByTitleAndMovesThePointerInArgumentOrder)
{
    LComPtr<IDispatch> vexa(FCreateObject(kServerProgId, true, kAttachRunning | kCreateNew));
    ASSERT_TRUE(vexa);
    TitledWindow window(L"automation helpers 7311");
    LVariant result;
    EXPECT_EQ(FCallMethodStr(vexa.get(), L"findWindow", L"automation helpers 7311", result.get()), S_OK);
    ASSERT_EQ(result.type(), VT_I4);
    EXPECT_EQ(V_I4(result.get()), window.number());

    EXPECT_EQ(FCallMethodInt2(vexa.get(), L"setMousePos", 30, 60, nullptr), S_OK);
    EXPECT_EQ(FGetIntProperty(vexa.get(), L"getMousePosX"), 30);
    EXPECT_EQ(FGetIntProperty(vexa.get(), L"getMousePosY"), 60);
}

// ------------------------------------------------------------ vexa-call

namespace {

ProgramResult call(const std::wstring& arguments)
{
    return runProgram(besideThisProgram(L"vexa-call.exe"), arguments);
}

} // namespace

using VexaCall = Registered;

TEST_F(VexaCall, PrintsTheVersion)
{
    ProgramResult result = call(L"version");
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_EQ(result.output, "1.04\n");
    result = call(L"-get version");
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_EQ(result.output, "1.04\n");
}

TEST_F(VexaCall, FindsAWindowByTitleAndMovesIt)
{
    TitledWindow window(L"vexa-call target 5521");
    ProgramResult found = call(L"findWindow \"vexa-call target 5521\"");
    ASSERT_EQ(found.exitCode, 0u) << found.output;
    EXPECT_EQ(found.output, std::to_string(window.number()) + "\n");

    const std::string handle = found.output.substr(0, found.output.size() - 1);
    ProgramResult moved = call(L"setWindowPos " + std::wstring(handle.begin(), handle.end()) + L" 123 77");
    EXPECT_EQ(moved.exitCode, 0u) << moved.output;
    EXPECT_EQ(moved.output, "");
    EXPECT_EQ(window.rect().left, 123);
    EXPECT_EQ(window.rect().top, 77);

    // -hex prints the handle so that it reads back as an argument.
    ProgramResult hex = call(L"-hex findWindow \"vexa-call target 5521\"");
    char expected[16];
    snprintf(expected, sizeof expected, "0x%X\n", unsigned(window.number()));
    EXPECT_EQ(hex.output, expected);
    const std::string hexHandle = hex.output.substr(0, hex.output.size() - 1);
    ProgramResult x = call(L"getWindowPosX " + std::wstring(hexHandle.begin(), hexHandle.end()));
    EXPECT_EQ(x.output, "123\n");
}

TEST_F(VexaCall, ReadsIntegersAsTheLibraryDoesAndStringsOtherwise)
{
    ProgramResult set = call(L"setMousePos 0x40 0n1010");
    EXPECT_EQ(set.exitCode, 0u) << set.output;
    EXPECT_EQ(call(L"getMousePosX").output, "64\n");
    EXPECT_EQ(call(L"getMousePosY").output, "10\n");
    call(L"setMousePos 1k 1,000");
    EXPECT_EQ(call(L"getMousePosX").output, "1024\n");
    EXPECT_EQ(call(L"getMousePosY").output, "1000\n");

    // A title that looks like a number is found only as a forced string; escapes
    // are decoded only under -e.
    TitledWindow numeric(L"4096");
    EXPECT_EQ(call(L"findWindow -s:4096").output, std::to_string(numeric.number()) + "\n");
    TitledWindow tabbed(L"tab\there");
    EXPECT_EQ(call(L"-e findWindow \"tab\\there\"").output, std::to_string(tabbed.number()) + "\n");
    EXPECT_EQ(call(L"findWindow \"tab\\there\"").output, "0\n");
}

TEST_F(VexaCall, FailuresGiveTheLibrarysMessageAndANonZeroExit)
{
    ProgramResult result = call(L"noSuchMethod");
    EXPECT_EQ(result.exitCode, 1u);
    EXPECT_EQ(result.output,
              "Error 17200: GetIDsOfNames() failed [noSuchMethod]: HRESULT=80020006h (DISP_E_UNKNOWNNAME)\n");

    result = call(L"setWindowPos 1");
    EXPECT_EQ(result.exitCode, 1u);
    EXPECT_EQ(result.output, "Error 17200: Invoke() failed [setWindowPos]: HRESULT=8002000Eh (?)\n");

    result = call(L"-progid:No.Such.Class version");
    EXPECT_EQ(result.exitCode, 1u);
    EXPECT_EQ(result.output,
              "Error 17200: CLSIDFromProgID() failed [No.Such.Class]: HRESULT=800401F3h (CO_E_CLASSSTRING)\n");

    // User text never becomes a format.
    result = call(L"50%s%n%d");
    EXPECT_EQ(result.exitCode, 1u);
    EXPECT_EQ(result.output,
              "Error 17200: GetIDsOfNames() failed [50%s%n%d]: HRESULT=80020006h (DISP_E_UNKNOWNNAME)\n");
}

TEST_F(VexaCall, CallsOtherObjectsAndWritesProperties)
{
    ProgramResult result = call(L"-progid:Scripting.Dictionary Count");
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_EQ(result.output, "0\n");
    result = call(L"-progid:Scripting.Dictionary -put:1 CompareMode");
    EXPECT_EQ(result.exitCode, 0u) << result.output;
    EXPECT_EQ(result.output, "");
    // The dictionary refuses a mode it does not know: the put reached it.
    result = call(L"-progid:Scripting.Dictionary -put:-s:text CompareMode");
    EXPECT_EQ(result.exitCode, 1u);
    EXPECT_EQ(result.output.rfind("Error 17200: Invoke() failed [CompareMode]: HRESULT=", 0), 0u) << result.output;
}

TEST_F(VexaCall, ExplainsItsUsage)
{
    ProgramResult help = call(L"--help");
    EXPECT_EQ(help.exitCode, 0u);
    EXPECT_EQ(help.output.rfind("usage: vexa-call [options] METHOD [ARG...]\n", 0), 0u) << help.output;

    ProgramResult bare = call(L"");
    EXPECT_EQ(bare.exitCode, 2u);
    EXPECT_EQ(bare.output, "");
    EXPECT_EQ(bare.errors.rfind("usage: vexa-call", 0), 0u);

    ProgramResult unknown = call(L"-bogus version");
    EXPECT_EQ(unknown.exitCode, 2u);
    EXPECT_EQ(unknown.errors.rfind("vexa-call: unknown option -bogus\n", 0), 0u) << unknown.errors;
    EXPECT_EQ(call(L"-get -put:1 version").exitCode, 2u);
}
