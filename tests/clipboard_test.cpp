// The clipboard methods and the library functions under them, on the real
// clipboard of the test display. Each test puts the clipboard's text back.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <string>

#include "lib/clipboard.h"
#include "server/dispatch_ids.h"
#include "tests/harness_windows.h"
#include "tests/module_fixture.h"

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {


// The clipboard's raw content in one format, up to the block's size.
std::string rawText(UINT format)
{
    std::string bytes;
    if (!OpenClipboard(nullptr))
        return "<cannot open>";
    if (HANDLE data = GetClipboardData(format)) {
        if (const char* memory = static_cast<const char*>(GlobalLock(data))) {
            bytes.assign(memory, GlobalSize(data));
            GlobalUnlock(data);
        }
    } else {
        bytes = "<none>";
    }
    CloseClipboard();
    return bytes;
}

std::string narrowOnClipboard()
{
    const std::string raw = rawText(CF_TEXT);
    return raw.substr(0, raw.find('\0'));
}

std::wstring wideOnClipboard()
{
    const std::string raw = rawText(CF_UNICODETEXT);
    std::wstring text(reinterpret_cast<const wchar_t*>(raw.data()), raw.size() / sizeof(wchar_t));
    return text.substr(0, text.find(L'\0'));
}

void putUnicode(const std::wstring& text)
{
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
    memcpy(GlobalLock(block), text.c_str(), bytes);
    GlobalUnlock(block);
    if (!SetClipboardData(CF_UNICODETEXT, block))
        GlobalFree(block);
    CloseClipboard();
}

// Holds the clipboard open from another process until destroyed: a copy of this
// program that opens it, says so, and waits for its input to close.
class ClipboardHolder {
public:
    ClipboardHolder()
    {
        std::string line;
        holding = holder_.readLine(line, 10000) && line == "open";
    }
    bool holding = false;

private:
    RunningScenario holder_{"HoldClipboard"};
};

CHILD_SCENARIO(HoldClipboard)
{
    // Opened for a window: Wine lets a second opener in when neither names one.
    const HWND owner = CreateWindowExW(0, L"STATIC", L"holder", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    if (!OpenClipboard(owner))
        return;
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), "open\n", 5, &written, nullptr);
    char buffer[16];
    DWORD got = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &got, nullptr) && got > 0) {
    }
    CloseClipboard();
}

class Clipboard : public ModuleFixture {
protected:
    void SetUp() override
    {
        saved_ = wideOnClipboard();
        server_ = createServer();
        ASSERT_NE(server_, nullptr);
    }
    void TearDown() override
    {
        server_->Release();
        putUnicode(saved_ == L"<none>" ? L"" : saved_);
    }

    void set(VARIANT argument)
    {
        DISPPARAMS parameters{&argument, nullptr, 1, 0};
        EXPECT_EQ(server_->Invoke(kSetClipboard, IID_NULL, 0, DISPATCH_METHOD, &parameters, nullptr, nullptr,
                                  nullptr),
                  S_OK);
        VariantClear(&argument);
    }
    void set(const std::wstring& text)
    {
        VARIANT argument;
        V_VT(&argument) = VT_BSTR;
        V_BSTR(&argument) = SysAllocStringLen(text.data(), UINT(text.size()));
        set(argument);
    }
    // The result VARIANT after getClipboard, starting from the one given.
    VARIANT get(VARIANT result = VARIANT{})
    {
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        EXPECT_EQ(server_->Invoke(kGetClipboard, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr),
                  S_OK);
        return result;
    }
    std::wstring getText()
    {
        VARIANT result = get();
        std::wstring text = V_VT(&result) == VT_BSTR ? V_BSTR(&result) : L"<not a string>";
        VariantClear(&result);
        return text;
    }

    IDispatch* server_ = nullptr;
    std::wstring saved_;
};

} // namespace

TEST_F(Clipboard, RoundTripsTextInBothFormats)
{
    set(L"plain text 123");
    EXPECT_EQ(getText(), L"plain text 123");
    EXPECT_EQ(narrowOnClipboard(), "plain text 123");
    EXPECT_EQ(wideOnClipboard(), L"plain text 123");
}

TEST_F(Clipboard, KeepsCharactersOutsideTheCodePageExact)
{
    set(L"a\x3042\xE9");
    EXPECT_EQ(getText(), L"a\x3042\xE9");
    EXPECT_EQ(wideOnClipboard(), L"a\x3042\xE9");
    // The ANSI form holds what the code page can: the escape text otherwise.
    EXPECT_EQ(narrowOnClipboard(), GetACP() == 932 ? "a\x82\xA0{%u00E9}" : "a{%u3042}\xE9");
}

TEST_F(Clipboard, EmptyTextIsAnEmptyClipboardText)
{
    set(L"something");
    set(L"");
    EXPECT_EQ(rawText(CF_TEXT), std::string(1, '\0'));
    EXPECT_EQ(getText(), L"");
}

TEST_F(Clipboard, ReturnsTextUpToAnEmbeddedNul)
{
    putUnicode(std::wstring(L"ab\0cd", 5));
    EXPECT_EQ(getText(), L"ab");
}

TEST_F(Clipboard, LeavesTheResultAsPassedWithoutText)
{
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    CloseClipboard();
    VARIANT result = get();
    EXPECT_EQ(V_VT(&result), VT_EMPTY);
}

TEST_F(Clipboard, RefusesANonStringAndChangesNothing)
{
    set(L"before");
    VARIANT number;
    V_VT(&number) = VT_I4;
    V_I4(&number) = 5;
    set(number);
    EXPECT_EQ(getText(), L"before");
}

TEST_F(Clipboard, ReportsAClipboardHeldOpenElsewhere)
{
    set(L"unchanged");
    {
        ClipboardHolder holder;
        ASSERT_TRUE(holder.holding);
        CaptureStdout();
        VARIANT sentinel;
        V_VT(&sentinel) = VT_I4;
        V_I4(&sentinel) = 0x5EED;
        VARIANT result = get(sentinel);
        set(L"not stored");
        const std::string output = GetCapturedStdout();
        EXPECT_EQ(V_VT(&result), VT_I4);
        EXPECT_EQ(V_I4(&result), 0x5EED);
        const std::string line = "Error 17000: OpenClipboard() failed: ";
        ASSERT_EQ(output.rfind(line, 0), 0u) << output;
        EXPECT_NE(output.find(line, line.size()), std::string::npos) << "one line for each method: " << output;
    }
    EXPECT_EQ(getText(), L"unchanged");
}

TEST_F(Clipboard, LibraryReadersAppendWhatTheClipboardHolds)
{
    set(L"library");
    LString narrow("<");
    EXPECT_TRUE(FGetClipboardText(nullptr, narrow));
    EXPECT_STREQ(narrow.data(), "<library");
    LWString wide(L">");
    EXPECT_TRUE(FGetClipboardWText(nullptr, wide));
    EXPECT_STREQ(wide.data(), L">library");
    EXPECT_GE(FGetOsMajorVersion(), 5u);
    EXPECT_TRUE(FPutClipboardText("narrow only", nullptr));
    EXPECT_EQ(narrowOnClipboard(), "narrow only");
}

namespace {
int allocationsBeforeFailure = 0;
HGLOBAL WINAPI allocateUntilExhausted(UINT flags, SIZE_T bytes)
{
    if (allocationsBeforeFailure-- > 0)
        return GlobalAlloc(flags, bytes);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
}
} // namespace

TEST_F(Clipboard, AFailedAllocationKeepsWhatTheClipboardHeld)
{
    // The narrow block failing, then the wide one after the narrow was filled.
    for (int succeeding : {0, 1}) {
        SCOPED_TRACE(succeeding);
        set(L"kept");
        const ClipboardBlockAllocator real = clipboardBlockAllocator();
        clipboardBlockAllocator() = allocateUntilExhausted;
        allocationsBeforeFailure = succeeding;
        CaptureStdout();
        const bool taken = FPutClipboardText("lost", nullptr, L"lost");
        const std::string output = GetCapturedStdout();
        clipboardBlockAllocator() = real;
        EXPECT_FALSE(taken);
        EXPECT_EQ(output.rfind("Error 17000: GlobalAlloc() failed: ", 0), 0u) << output;
        EXPECT_EQ(narrowOnClipboard(), "kept");
        EXPECT_EQ(wideOnClipboard(), L"kept");
    }
}
