#include "clipboard.h"

#include <cstring>
#include <type_traits>

#include "messages.h"

namespace {

// The clipboard, open for as long as the object lives.
class OpenClipboardScope {
public:
    explicit OpenClipboardScope(HWND owner) : open_(OpenClipboard(owner ? owner : GetFocus()) != FALSE)
    {
        if (!open_)
            message(kMsgWin32Error, "OpenClipboard() failed");
    }
    ~OpenClipboardScope()
    {
        if (open_) {
            const DWORD lastError = GetLastError();
            CloseClipboard();
            SetLastError(lastError);
        }
    }
    OpenClipboardScope(const OpenClipboardScope&) = delete;
    OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
    explicit operator bool() const { return open_; }

private:
    bool open_;
};

// A movable global block that is freed unless the system takes it.
class GlobalBlock {
public:
    explicit GlobalBlock(size_t bytes) : block_(GlobalAlloc(GMEM_MOVEABLE, bytes)) {}
    ~GlobalBlock()
    {
        if (block_)
            GlobalFree(block_);
    }
    GlobalBlock(const GlobalBlock&) = delete;
    GlobalBlock& operator=(const GlobalBlock&) = delete;

    // Copies the bytes in; false when the block could not be had or locked.
    bool fill(const void* bytes, size_t count)
    {
        void* memory = block_ ? GlobalLock(block_) : nullptr;
        if (!memory)
            return false;
        memcpy(memory, bytes, count);
        GlobalUnlock(block_);
        return true;
    }

    // Hands the block to the clipboard; it is the system's once accepted.
    bool giveToClipboard(UINT format)
    {
        if (!SetClipboardData(format, block_))
            return false;
        block_ = nullptr;
        return true;
    }

private:
    HGLOBAL block_;
};

template <typename Text>
bool readClipboard(HWND owner, UINT format, Text& text)
{
    using Unit = std::remove_cvref_t<decltype(*text.data())>;
    OpenClipboardScope clipboard(owner);
    if (!clipboard)
        return false;
    const HANDLE data = GetClipboardData(format);
    if (!data)
        return false;
    if (const auto* units = static_cast<const Unit*>(GlobalLock(data))) {
        // Bounded by the block's size: clipboard data from another program need
        // not carry its terminator.
        const size_t available = GlobalSize(data) / sizeof(Unit);
        size_t length = 0;
        while (length < available && units[length])
            ++length;
        text.append(units, int32_t(length));
        GlobalUnlock(data);
    }
    return true;
}

bool putOnClipboard(UINT format, const void* bytes, size_t count)
{
    GlobalBlock block(count);
    if (!block.fill(bytes, count)) {
        message(kMsgWin32Error, "GlobalAlloc() failed");
        return false;
    }
    if (!block.giveToClipboard(format)) {
        message(kMsgWin32Error, "SetClipboardData() failed");
        return false;
    }
    return true;
}

} // namespace

DWORD FGetOsMajorVersion()
{
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    return GetVersionExA(&version) ? version.dwMajorVersion : 0;
}

bool FGetClipboardText(HWND owner, LString& text) { return readClipboard(owner, CF_TEXT, text); }

bool FGetClipboardWText(HWND owner, LWString& text) { return readClipboard(owner, CF_UNICODETEXT, text); }

bool FPutClipboardText(const char* text, HWND owner, const wchar_t* wideText)
{
    OpenClipboardScope clipboard(owner);
    if (!clipboard)
        return false;
    EmptyClipboard();
    const bool narrowTaken = putOnClipboard(CF_TEXT, text, strlen(text) + 1);
    if (narrowTaken && wideText)
        putOnClipboard(CF_UNICODETEXT, wideText, (wcslen(wideText) + 1) * sizeof(wchar_t));
    return narrowTaken;
}
