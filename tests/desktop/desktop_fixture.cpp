#include "tests/desktop/desktop_fixture.h"

#include <algorithm>

namespace {

VARIANT variantOf(VARTYPE type)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = type;
    return v;
}

} // namespace

VARIANT i4(int32_t value)
{
    VARIANT v = variantOf(VT_I4);
    V_I4(&v) = value;
    return v;
}

VARIANT i2(int16_t value)
{
    VARIANT v = variantOf(VT_I2);
    V_I2(&v) = value;
    return v;
}

VARIANT ui1(uint8_t value)
{
    VARIANT v = variantOf(VT_UI1);
    V_UI1(&v) = value;
    return v;
}

VARIANT r8(double value)
{
    VARIANT v = variantOf(VT_R8);
    V_R8(&v) = value;
    return v;
}

VARIANT text(const std::wstring& value)
{
    VARIANT v = variantOf(VT_BSTR);
    V_BSTR(&v) = SysAllocStringLen(value.data(), UINT(value.size()));
    return v;
}

VARIANT handleArgument(HWND window) { return i4(int32_t(reinterpret_cast<intptr_t>(window))); }

HWND asHandle(int32_t value) { return reinterpret_cast<HWND>(static_cast<LONG_PTR>(static_cast<LONG>(value))); }

POINT pointerPosition()
{
    POINT point{-99999, -99999};
    GetCursorPos(&point);
    return point;
}

RECT windowRect(HWND window)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

bool operator==(const POINT& a, const POINT& b) { return a.x == b.x && a.y == b.y; }

bool operator==(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

void PrintTo(const POINT& point, std::ostream* out) { *out << "(" << point.x << ", " << point.y << ")"; }

void PrintTo(const RECT& rect, std::ostream* out)
{
    *out << "(" << rect.left << ", " << rect.top << ")-(" << rect.right << ", " << rect.bottom << ")";
}

void pumpMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

POINT placePointer(POINT at)
{
    for (int tries = 0; tries < 20; ++tries) {
        SetCursorPos(at.x, at.y);
        int steady = 0;
        for (; steady < 3 && pointerPosition() == at; ++steady) {
            Sleep(10);
            pumpMessages();
        }
        if (steady == 3)
            break;
    }
    return pointerPosition();
}

HWND waitForForeground(HWND expected)
{
    const ULONGLONG deadline = GetTickCount64() + 3000;
    // No pumping meanwhile: this thread would take its window's focus-out for a
    // loss to a foreign window and make the desktop the foreground.
    while (GetForegroundWindow() != expected && GetTickCount64() < deadline)
        Sleep(5);
    // Then this thread's own focus events, handled now, cannot undo a later change.
    pumpMessages();
    Sleep(50);
    pumpMessages();
    return GetForegroundWindow();
}

void DesktopTest::SetUp()
{
    server_ = createServer();
    ASSERT_NE(server_, nullptr);
    pointer_ = pointerPosition();
    foreground_ = GetForegroundWindow();
}

void DesktopTest::TearDown()
{
    if (server_)
        server_->Release();
    SetCursorPos(pointer_.x, pointer_.y);
    if (foreground_ && IsWindow(foreground_) && GetForegroundWindow() != foreground_)
        SetForegroundWindow(foreground_);
    pumpMessages();
}

HRESULT DesktopTest::call(DISPID id, std::vector<VARIANT> arguments, VARIANT* result)
{
    std::reverse(arguments.begin(), arguments.end()); // the client's last argument comes first
    DISPPARAMS parameters{arguments.empty() ? nullptr : arguments.data(), nullptr, UINT(arguments.size()), 0};
    const HRESULT answer = server_->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &parameters, result, nullptr, nullptr);
    for (VARIANT& argument : arguments)
        VariantClear(&argument);
    EXPECT_EQ(answer, S_OK) << "method " << id;
    return answer;
}

std::optional<int32_t> DesktopTest::intResult(DISPID id, std::vector<VARIANT> arguments)
{
    VARIANT result;
    VariantInit(&result);
    call(id, std::move(arguments), &result);
    if (V_VT(&result) != VT_I4) {
        VariantClear(&result);
        return std::nullopt;
    }
    return V_I4(&result);
}

HWND DesktopTest::handleResult(DISPID id, std::vector<VARIANT> arguments)
{
    return asHandle(intResult(id, std::move(arguments)).value_or(kSentinel));
}

bool DesktopTest::keepsResult(DISPID id, std::vector<VARIANT> arguments)
{
    VARIANT result = i4(kSentinel);
    call(id, std::move(arguments), &result);
    const bool kept = V_VT(&result) == VT_I4 && V_I4(&result) == kSentinel;
    VariantClear(&result);
    return kept;
}
