// The installer: end to end (vexa-setup.exe run from a scratch directory, the
// registry checked through the API), and its registry writes in process, with
// the writer seam failing one step at a time.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstddef>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "server/identity.h"
#include "lib/charset.h"
#include "tools/module_image.h"
#include "tools/registration.h"
#include "lib/owners.h"
#include "tests/harness_windows.h"

namespace fs = std::filesystem;

namespace {

const std::wstring kClassPath = std::wstring(L"Software\\Classes\\CLSID\\") + kServerClassIdText;
const std::wstring kServerPath = kClassPath + L"\\InprocServer32";
const std::wstring kNamePath = std::wstring(L"Software\\Classes\\") + kServerProgId;
// Another class and name, which the installer must leave as they are.
const wchar_t kOtherClassId[] = L"{0D3E5A52-5C1B-4A57-9E0B-6F1D2C3B4A59}";
const std::wstring kOtherClassPath = std::wstring(L"Software\\Classes\\CLSID\\") + kOtherClassId;
const std::wstring kOtherNamePath = L"Software\\Classes\\VexaSetupTest.Other";
// Marks paths as these tests'. Scratch directories stay ASCII: Wine maps other
// file names only when the Unix locale exists.
const wchar_t kScratchPrefix[] = L"vexa-setup-test-";

HKEY rootOf(Scope scope)
{
    return scope == Scope::AllUsers ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

LSTATUS openKey(Scope scope, View view, const std::wstring& path, LRegistryKey& key)
{
    const REGSAM flag = view == View::Bits64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
    return RegOpenKeyExW(rootOf(scope), path.c_str(), 0, KEY_QUERY_VALUE | flag, key.put());
}

bool keyPresent(Scope scope, View view, const std::wstring& path)
{
    LRegistryKey key;
    return openKey(scope, view, path, key) == ERROR_SUCCESS;
}

// A REG_SZ value, or a text saying why there is none.
std::wstring readValue(Scope scope, View view, const std::wstring& path, const wchar_t* name = nullptr)
{
    LRegistryKey key;
    LSTATUS status = openKey(scope, view, path, key);
    wchar_t value[1024];
    DWORD size = sizeof value;
    if (status == ERROR_SUCCESS)
        status = RegGetValueW(key.get(), nullptr, name, RRF_RT_REG_SZ | RRF_NOEXPAND, nullptr, value, &size);
    return status == ERROR_SUCCESS ? value : L"<error " + std::to_wstring(status) + L">";
}

void writeValue(Scope scope, const std::wstring& path, const std::wstring& text)
{
    EXPECT_EQ(RegSetKeyValueW(rootOf(scope), path.c_str(), nullptr, REG_SZ, text.c_str(),
                              DWORD((text.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
}

// Every place where a piece of the registration could be, that holds one.
std::vector<std::wstring> traces()
{
    std::vector<std::wstring> found;
    for (const Scope scope : {Scope::CurrentUser, Scope::AllUsers}) {
        for (const View view : {View::Bits32, View::Bits64})
            if (keyPresent(scope, view, kClassPath))
                found.push_back(describeTarget(scope, view) + L": class key");
        if (keyPresent(scope, kOwnView, kNamePath))
            found.push_back(describeTarget(scope, kOwnView) + L": name key");
    }
    return found;
}
const std::vector<std::wstring> kNone;

void expectRegistered(Scope scope, View view, const std::wstring& module)
{
    EXPECT_EQ(readValue(scope, view, kClassPath), kServerDescription);
    EXPECT_EQ(readValue(scope, view, kServerPath), module);
    EXPECT_EQ(readValue(scope, view, kServerPath, L"ThreadingModel"), kServerThreadingModel);
    EXPECT_EQ(readValue(scope, view, kClassPath + L"\\ProgID"), kServerProgId);
    EXPECT_EQ(readValue(scope, view, kNamePath), kServerDescription);
    EXPECT_EQ(readValue(scope, view, kNamePath + L"\\CLSID"), kServerClassIdText);
}
#define EXPECT_REGISTERED(scope, view, module) \
    do {                                       \
        SCOPED_TRACE("registration");          \
        expectRegistered(scope, view, module); \
    } while (0)

// A module path for registrations made in process; not ASCII, so the path must
// stay UTF-16 all the way into the registry and back.
std::wstring fakeModule(const wchar_t* directory)
{
    return std::wstring(L"C:\\") + kScratchPrefix + L"\u00E9\u3042\\" + directory + L"\\Vexa.dll";
}

std::string narrow(const std::wstring& text)
{
    LString converted;
    wideToNarrow(text.c_str(), converted);
    return std::string(converted.data(), size_t(converted.length()));
}

fs::path besideTests(const wchar_t* name)
{
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    return fs::path(self).replace_filename(name);
}

// The bytes of the module the build made for these tests.
std::string testModule()
{
    std::ifstream in(besideTests(L"setup_test_module.dll"), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The installer alone in a directory of its own under %TEMP%, removed afterwards.
class ScratchDir {
public:
    ScratchDir()
    {
        static int count = 0;
        wchar_t temp[MAX_PATH];
        GetLongPathNameW(fs::temp_directory_path().c_str(), temp, MAX_PATH); // as the installer sees it
        path_ = fs::path(temp) / (kScratchPrefix + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                  std::to_wstring(++count));
        fs::create_directory(path_);
        fs::copy_file(besideTests(L"vexa-setup.exe"), path_ / L"vexa-setup.exe");
    }
    ~ScratchDir()
    {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    std::wstring module() const { return (path_ / kServerModuleName).wstring(); }
    void putModule(const std::string& bytes) const { std::ofstream(path_ / kServerModuleName, std::ios::binary) << bytes; }
    ProgramResult run(const wchar_t* arguments) const
    {
        return runProgram((path_ / L"vexa-setup.exe").wstring(), arguments);
    }

private:
    fs::path path_;
};

int callCount = 0;
int failingCall = 0;
LSTATUS injectedFailure = ERROR_WRITE_FAULT;
RegistryWriter realWriter = registryWriter();

LSTATUS createKeyFailingOnce(HKEY root, const wchar_t* path, REGSAM access, HKEY* key, DWORD* disposition)
{
    return ++callCount == failingCall ? injectedFailure : realWriter.createKey(root, path, access, key, disposition);
}

LSTATUS setValueFailingOnce(HKEY key, const wchar_t* name, DWORD type, const BYTE* data, DWORD size)
{
    return ++callCount == failingCall ? injectedFailure : realWriter.setValue(key, name, type, data, size);
}

// Installs with call 1, 2, ... of the seam failing, checking after each failed
// run, until a run gets through; returns the number of runs that failed.
template <typename Check>
int failEachStep(bool failKeys, Scope scope, const std::wstring& module, Check check)
{
    if (failKeys)
        registryWriter().createKey = createKeyFailingOnce;
    else
        registryWriter().setValue = setValueFailingOnce;
    for (failingCall = 1;; ++failingCall) {
        callCount = 0;
        try {
            registerServer(scope, kOwnView, module);
        } catch (const SetupError&) {
            SCOPED_TRACE(testing::Message() << (failKeys ? "key " : "value ") << failingCall);
            check();
            continue;
        }
        registryWriter() = realWriter;
        return failingCall - 1;
    }
}

// Owns the class's registration for the length of a test: a prefix holding a
// registration that is not one of ours is left alone and the test skipped.
class SetupTest : public testing::Test {
protected:
    void SetUp() override
    {
        for (const Scope scope : {Scope::CurrentUser, Scope::AllUsers})
            for (const View view : {View::Bits32, View::Bits64}) {
                const Registration found = queryRegistration(scope, view);
                if (found.registered && found.modulePath.find(kScratchPrefix) == std::wstring::npos)
                    GTEST_SKIP() << "this Wine prefix holds a registration of the server: "
                                 << narrow(found.modulePath);
            }
        owned_ = true;
        removeAll(); // what an interrupted run left
        writeValue(Scope::CurrentUser, kOtherClassPath + L"\\InprocServer32", L"C:\\other.dll");
        writeValue(Scope::CurrentUser, kOtherNamePath + L"\\CLSID", kOtherClassId);
    }

    void TearDown() override
    {
        if (!owned_)
            return;
        registryWriter() = realWriter;
        injectedFailure = ERROR_WRITE_FAULT;
        removeAll();
        for (const auto& path : {kOtherClassPath, kOtherNamePath})
            RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str());
    }

    void removeAll()
    {
        for (const Scope scope : {Scope::CurrentUser, Scope::AllUsers}) {
            if (readValue(scope, kOwnView, kNamePath + L"\\CLSID") == kOtherClassId)
                RegDeleteTreeW(rootOf(scope), kNamePath.c_str());
            for (const View view : {View::Bits32, View::Bits64})
                unregisterServer(scope, view);
        }
    }

    void expectOthersUntouched()
    {
        EXPECT_EQ(readValue(Scope::CurrentUser, kOwnView, kOtherClassPath + L"\\InprocServer32"), L"C:\\other.dll");
        EXPECT_EQ(readValue(Scope::CurrentUser, kOwnView, kOtherNamePath + L"\\CLSID"), kOtherClassId);
    }

    bool owned_ = false;
};

using SetupCommand = SetupTest;

TEST_F(SetupCommand, InstallsAgainAndUninstallsExactlyItsOwnEntries)
{
    ScratchDir first, second;
    first.putModule(testModule());
    second.putModule(testModule());
    const ProgramResult installed = first.run(L"install");
    EXPECT_EQ(installed.exitCode, 0u) << installed.errors;
    EXPECT_EQ(installed.output, "registered " + narrow(first.module()) + " as Vexa.Server for " +
                                    narrow(describeTarget(Scope::CurrentUser, kOwnView)) + "\n");
    EXPECT_REGISTERED(Scope::CurrentUser, kOwnView, first.module());
    EXPECT_FALSE(keyPresent(Scope::AllUsers, kOwnView, kClassPath));
    // Again, and then from where the module moved to.
    EXPECT_EQ(first.run(L"install").exitCode, 0u);
    EXPECT_EQ(second.run(L"install").exitCode, 0u);
    EXPECT_REGISTERED(Scope::CurrentUser, kOwnView, second.module());

    const ProgramResult removed = first.run(L"uninstall");
    EXPECT_EQ(removed.exitCode, 0u) << removed.errors;
    EXPECT_EQ(traces(), kNone);
    expectOthersUntouched();
    for (const wchar_t* arguments : {L"uninstall", L"uninstall --machine"}) {
        const ProgramResult again = first.run(arguments);
        EXPECT_EQ(again.exitCode, 0u) << again.errors;
        EXPECT_NE(again.output.find("nothing to remove"), std::string::npos) << again.output;
    }
}

TEST_F(SetupCommand, StatusShowsThePathAndWhetherTheFileIsThere)
{
    ScratchDir dir;
    dir.putModule(testModule());
    ASSERT_EQ(dir.run(L"install").exitCode, 0u);
    const std::string line = std::string(kOwnView == View::Bits64 ? "current user, 64-bit" : "current user, 32-bit") +
                             " view: registered, " + narrow(dir.module());
    std::string shown = dir.run(L"status").output;
    EXPECT_NE(shown.find(line + " (file present)\n"), std::string::npos) << shown;
    EXPECT_NE(shown.find("all users, 64-bit view: not registered\n"), std::string::npos) << shown;
    fs::remove(dir.module());
    shown = dir.run(L"status").output;
    EXPECT_NE(shown.find(line + " (file missing)\n"), std::string::npos) << shown;
}

TEST_F(SetupCommand, AllUsersGetTheMachineKeysOfTheOwnViewOnly)
{
    ScratchDir dir;
    dir.putModule(testModule());
    EXPECT_EQ(dir.run(L"install --machine").exitCode, 0u);
    EXPECT_REGISTERED(Scope::AllUsers, kOwnView, dir.module());
    EXPECT_FALSE(keyPresent(Scope::CurrentUser, kOwnView, kClassPath));
    // Windows and Wine alike keep the machine's class keys apart per view.
    if (hasBits64View()) {
        EXPECT_FALSE(keyPresent(Scope::AllUsers, kOwnView == View::Bits64 ? View::Bits32 : View::Bits64, kClassPath));
    }
    EXPECT_EQ(dir.run(L"uninstall --machine").exitCode, 0u);
    EXPECT_EQ(traces(), kNone);
}

TEST_F(SetupCommand, RefusesWhatItCannotRegisterAndWritesNothing)
{
    ScratchDir dir;
    ProgramResult result = dir.run(L"install");
    EXPECT_EQ(result.exitCode, 1u);
    EXPECT_EQ(result.errors, "vexa-setup: Vexa.dll not found beside vexa-setup.exe: looked for " +
                                 narrow(dir.module()) + "\n");

    // The module with the other processor in its COFF header's Machine field.
    const WORD other = ownMachine() == IMAGE_FILE_MACHINE_AMD64 ? IMAGE_FILE_MACHINE_I386 : IMAGE_FILE_MACHINE_AMD64;
    std::string bytes = testModule();
    int32_t peOffset = 0;
    memcpy(&peOffset, bytes.data() + offsetof(IMAGE_DOS_HEADER, e_lfanew), sizeof peOffset);
    memcpy(bytes.data() + peOffset + 4, &other, sizeof other);
    dir.putModule(bytes);
    result = dir.run(L"install");
    EXPECT_EQ(result.exitCode, 1u);
    const std::string refusal = "vexa-setup: " + narrow(dir.module()) + " is a " + narrow(describeMachine(other));
    EXPECT_EQ(result.errors.rfind(refusal, 0), 0u) << result.errors;

    dir.putModule("not a module");
    result = dir.run(L"install");
    EXPECT_EQ(result.exitCode, 1u);
    EXPECT_EQ(result.errors, "vexa-setup: " + narrow(dir.module()) + " is not a Windows module (no PE header)\n");
    EXPECT_EQ(traces(), kNone);
}

TEST_F(SetupCommand, UsageAndUnknownArguments)
{
    ScratchDir dir;
    const ProgramResult help = dir.run(L"--help");
    EXPECT_EQ(help.exitCode, 0u);
    EXPECT_EQ(help.output.rfind("usage: vexa-setup install", 0), 0u) << help.output;
    for (const wchar_t* arguments : {L"", L"frob", L"install --all", L"status --machine"})
        EXPECT_EQ(dir.run(arguments).exitCode, 2u) << narrow(arguments);
}

// ---------------------------------------------------------------- in process

using RegistryWrites = SetupTest;

TEST_F(RegistryWrites, FailedInstallLeavesNothingBehind)
{
    const auto nothing = [] { EXPECT_EQ(traces(), kNone); };
    EXPECT_GE(failEachStep(true, Scope::CurrentUser, fakeModule(L"a"), nothing), 5); // five keys
    unregisterServer(Scope::CurrentUser, kOwnView);
    EXPECT_GE(failEachStep(false, Scope::CurrentUser, fakeModule(L"a"), nothing), 6); // six values
    expectOthersUntouched();
}

TEST_F(RegistryWrites, FailedReinstallKeepsTheEarlierRegistration)
{
    registerServer(Scope::CurrentUser, kOwnView, fakeModule(L"old"));
    // Half of an earlier registration: the name key is gone.
    ASSERT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, kNamePath.c_str()), ERROR_SUCCESS);
    const auto unchanged = [] {
        EXPECT_EQ(readValue(Scope::CurrentUser, kOwnView, kServerPath), fakeModule(L"old"));
        EXPECT_EQ(readValue(Scope::CurrentUser, kOwnView, kServerPath, L"ThreadingModel"), kServerThreadingModel);
        EXPECT_FALSE(keyPresent(Scope::CurrentUser, kOwnView, kNamePath));
    };
    EXPECT_GE(failEachStep(false, Scope::CurrentUser, fakeModule(L"new"), unchanged), 6);
    EXPECT_REGISTERED(Scope::CurrentUser, kOwnView, fakeModule(L"new"));
}

TEST_F(RegistryWrites, AccessDeniedForAllUsersAsksForAdministratorRights)
{
    registryWriter().createKey = createKeyFailingOnce;
    injectedFailure = ERROR_ACCESS_DENIED;
    for (const Scope scope : {Scope::AllUsers, Scope::CurrentUser}) {
        callCount = 0;
        failingCall = 1;
        std::wstring text;
        try {
            registerServer(scope, kOwnView, fakeModule(L"a"));
        } catch (const SetupError& error) {
            text = error.text;
        }
        EXPECT_EQ(text.find(L"needs administrator rights") != std::wstring::npos, scope == Scope::AllUsers)
            << narrow(text);
        EXPECT_NE(text.find(L"\\Software\\Classes\\CLSID"), std::wstring::npos) << narrow(text);
    }
    EXPECT_EQ(traces(), kNone);
}

// The machine's class keys are apart per view on Windows and on Wine alike
// (Wine keeps one per-user class key for both views).
TEST_F(RegistryWrites, SharedNameStaysWhileTheOtherViewHoldsTheClass)
{
    if (!hasBits64View())
        GTEST_SKIP() << "32-bit Windows has one registry view";
    registerServer(Scope::AllUsers, View::Bits32, fakeModule(L"x86"));
    registerServer(Scope::AllUsers, View::Bits64, fakeModule(L"x64"));
    EXPECT_REGISTERED(Scope::AllUsers, View::Bits32, fakeModule(L"x86"));
    EXPECT_REGISTERED(Scope::AllUsers, View::Bits64, fakeModule(L"x64"));

    EXPECT_EQ(unregisterServer(Scope::AllUsers, View::Bits32), Removal::KeptSharedName);
    EXPECT_FALSE(keyPresent(Scope::AllUsers, View::Bits32, kClassPath));
    EXPECT_REGISTERED(Scope::AllUsers, View::Bits64, fakeModule(L"x64"));
    EXPECT_EQ(unregisterServer(Scope::AllUsers, View::Bits64), Removal::Removed);
    EXPECT_EQ(traces(), kNone);
    EXPECT_EQ(unregisterServer(Scope::AllUsers, View::Bits64), Removal::NothingRegistered);
}

TEST_F(RegistryWrites, NameOfAnotherClassIsLeftAlone)
{
    registerServer(Scope::CurrentUser, kOwnView, fakeModule(L"a"));
    writeValue(Scope::CurrentUser, kNamePath + L"\\CLSID", kOtherClassId);
    EXPECT_EQ(unregisterServer(Scope::CurrentUser, kOwnView), Removal::Removed);
    EXPECT_FALSE(keyPresent(Scope::CurrentUser, kOwnView, kClassPath));
    EXPECT_EQ(readValue(Scope::CurrentUser, kOwnView, kNamePath + L"\\CLSID"), kOtherClassId);
}

} // namespace
