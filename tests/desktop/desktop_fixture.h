// A server object for tests that act on the shared desktop, with helpers to call
// its methods; the fixture puts the pointer and the foreground back afterwards.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "server/dispatch_ids.h"
#include "tests/module_fixture.h"


// Argument VARIANTs; the call helpers free them.
VARIANT i4(int32_t value);
VARIANT i2(int16_t value);
VARIANT ui1(uint8_t value);
VARIANT r8(double value);
VARIANT text(const std::wstring& value);
// Handles cross as signed 32-bit integers and come back sign-extended.
VARIANT handleArgument(HWND window);
HWND asHandle(int32_t value);

constexpr int32_t kSentinel = 0x5EED;

POINT pointerPosition();
RECT windowRect(HWND window);
bool operator==(const POINT& a, const POINT& b);
bool operator==(const RECT& a, const RECT& b);
void PrintTo(const POINT& point, std::ostream* out);
void PrintTo(const RECT& rect, std::ostream* out);
// Handles what is waiting for this thread's windows.
void pumpMessages();
// Moves the pointer and waits until it stays there: under Wine a late event of
// an earlier move or a newly shown window can put it back. Gives where it is.
POINT placePointer(POINT at);
// The foreground window once it is the expected one (or after a few seconds)
// and this thread has handled the focus events of the change. Activating another
// thread's window is not immediate under Wine: the foreground reads 0 until that
// thread has handled its activation.
HWND waitForForeground(HWND expected);

class DesktopTest : public ModuleFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    // Calls a method (arguments in the client's order) and expects S_OK.
    HRESULT call(DISPID id, std::vector<VARIANT> arguments, VARIANT* result = nullptr);
    // The VT_I4 that the call wrote into an empty result; none when it wrote nothing.
    std::optional<int32_t> intResult(DISPID id, std::vector<VARIANT> arguments);
    // The handle that the call wrote, sign-extended; 0x5EED when it wrote none.
    HWND handleResult(DISPID id, std::vector<VARIANT> arguments);
    // True when the call left a VT_I4 sentinel result as passed.
    bool keepsResult(DISPID id, std::vector<VARIANT> arguments);

    IDispatch* server_ = nullptr;

private:
    POINT pointer_{};
    HWND foreground_ = nullptr;
};
