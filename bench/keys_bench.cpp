// Row 5: sendKeys of 1,000 characters into a window of the calling thread and of
// another thread, against a loop of the bare SendMessageA calls that deliver
// the same messages (key down, character, key up per character).
#include <windows.h>
#include <oaidl.h>

#include <cstdio>
#include <string>

#include "bench/automation_client.h"
#include "bench/bench_common.h"

using bench::Goal;

namespace {

constexpr int kRuns = 5;
constexpr int kCharacters = 1000;

volatile LONG received = 0;

LRESULT CALLBACK countingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_KEYDOWN || message == WM_CHAR || message == WM_KEYUP) {
        InterlockedIncrement(&received);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND makeWindow()
{
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = countingProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "VexaBenchKeys";
    RegisterClassA(&windowClass);
    return CreateWindowExA(0, "VexaBenchKeys", "keys", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                           windowClass.hInstance, nullptr);
}

struct OtherThread {
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HWND window = nullptr;
    DWORD id = 0;
};

DWORD WINAPI windowThread(void* context)
{
    auto* other = static_cast<OtherThread*>(context);
    other->window = makeWindow();
    SetEvent(other->ready);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        DispatchMessageA(&message);
    DestroyWindow(other->window);
    return 0;
}

// Lower-case letters and digits: three sent messages each, no prefixes.
std::string keyText()
{
    std::string text;
    for (int i = 0; i < kCharacters; ++i)
        text += "abcdefghijklmnopqrstuvwxyz0123456789"[i * 7 % 36];
    return text;
}

void bareMessages(HWND window, const std::string& text)
{
    for (char key : text) {
        const WPARAM code = key >= 'a' && key <= 'z' ? WPARAM(key - 32) : WPARAM(key);
        SendMessageA(window, WM_KEYDOWN, code, 0x00000001);
        SendMessageA(window, WM_CHAR, WPARAM(static_cast<unsigned char>(key)), 0x00000001);
        SendMessageA(window, WM_KEYUP, code, 0x40000001);
    }
}

// The same messages with the call the server makes, bounded by a timeout.
void boundedMessages(HWND window, const std::string& text)
{
    DWORD_PTR answer = 0;
    for (char key : text) {
        const WPARAM code = key >= 'a' && key <= 'z' ? WPARAM(key - 32) : WPARAM(key);
        SendMessageTimeoutA(window, WM_KEYDOWN, code, 0x00000001, SMTO_NORMAL, 5000, &answer);
        SendMessageTimeoutA(window, WM_CHAR, WPARAM(static_cast<unsigned char>(key)), 0x00000001, SMTO_NORMAL,
                            5000, &answer);
        SendMessageTimeoutA(window, WM_KEYUP, code, 0x40000001, SMTO_NORMAL, 5000, &answer);
    }
}

void measure(const char* label, IDispatch* vexa, DISPID sendKeys, HWND window, const std::string& text)
{
    std::wstring wide(text.begin(), text.end());
    VARIANT arguments[2]; // reversed: window handle, then the text
    VariantInit(&arguments[0]);
    VariantInit(&arguments[1]);
    arguments[0].vt = VT_I4;
    arguments[0].lVal = LONG(reinterpret_cast<intptr_t>(window));
    arguments[1].vt = VT_BSTR;
    arguments[1].bstrVal = SysAllocString(wide.c_str());

    received = 0;
    bench::call(vexa, sendKeys, DISPATCH_METHOD, arguments, 2);
    const LONG perVexaCall = received;
    received = 0;
    bareMessages(window, text);
    const LONG perBareLoop = received;
    if (perVexaCall != perBareLoop || perBareLoop != 3 * kCharacters)
        std::printf("bench: message counts differ: sendKeys %ld, bare loop %ld\n", long(perVexaCall),
                    long(perBareLoop));

    const double vexaMs =
        bench::medianNs(kRuns, 1, [&] { bench::call(vexa, sendKeys, DISPATCH_METHOD, arguments, 2); }) / 1e6;
    const double bareMs = bench::medianNs(kRuns, 1, [&] { bareMessages(window, text); }) / 1e6;
    bench::row("5", label, vexaMs, bareMs, "ms", Goal::AtMost, 1.2, "<= 1.2");
    const double boundedMs = bench::medianNs(kRuns, 1, [&] { boundedMessages(window, text); }) / 1e6;
    bench::row("5", "  same 3,000 messages by SendMessageTimeoutA vs SendMessageA", boundedMs, bareMs, "ms",
               Goal::None, 0, "-");
    SysFreeString(arguments[1].bstrVal);
}

} // namespace

int main()
{
    CoInitialize(nullptr);
    IDispatch* vexa = bench::createByName(L"Vexa.Server");
    if (!vexa)
        return 1;
    const DISPID sendKeys = bench::idOf(vexa, L"sendKeys");
    const std::string text = keyText();

    const HWND own = makeWindow();
    measure("sendKeys 1,000 chars vs 3,000 SendMessageA, window of the same thread", vexa, sendKeys, own, text);

    OtherThread other;
    HANDLE thread = CreateThread(nullptr, 0, windowThread, &other, 0, &other.id);
    WaitForSingleObject(other.ready, INFINITE);
    measure("sendKeys 1,000 chars vs 3,000 SendMessageA, window of another thread", vexa, sendKeys, other.window,
            text);
    PostThreadMessageA(other.id, WM_QUIT, 0, 0);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    CloseHandle(other.ready);

    DestroyWindow(own);
    vexa->Release();
    CoUninitialize();
    return 0;
}
