#include "lib/clipboard.h"

#include <cstring>
#include <optional>
#include <type_traits>

#include "lib/messages.h"

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

// A movable global block holding a copy of the bytes; freed unless the system
// takes it.
class GlobalBlock {
public:
    GlobalBlock(const void* bytes, size_t count) : block_(clipboardBlockAllocator()(GMEM_MOVEABLE, count))
    {
        void* memory = block_ ? GlobalLock(block_) : nullptr;
        if (!memory) {
            message(kMsgWin32Error, "GlobalAlloc() failed");
            release();
            return;
        }
        memcpy(memory, bytes, count);
        GlobalUnlock(block_);
    }
    ~GlobalBlock() { release(); }
    GlobalBlock(const GlobalBlock&) = delete;
    GlobalBlock& operator=(const GlobalBlock&) = delete;

    // False (reported) when the block could not be had or locked.
    explicit operator bool() const { return block_ != nullptr; }

    // Hands the block to the clipboard; it is the system's once accepted.
    bool giveToClipboard(UINT format)
    {
        if (!SetClipboardData(format, block_)) {
            message(kMsgWin32Error, "SetClipboardData() failed");
            return false;
        }
        block_ = nullptr;
        return true;
    }

private:
    void release()
    {
        if (block_) {
            const DWORD lastError = GetLastError();
            GlobalFree(block_);
            SetLastError(lastError);
            block_ = nullptr;
        }
    }

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

} // namespace

DWORD FGetOsMajorVersion()
{
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    return GetVersionExA(&version) ? version.dwMajorVersion : 0;
}

bool FGetClipboardText(HWND owner, LString& text) { return readClipboard(owner, CF_TEXT, text); }

bool FGetClipboardWText(HWND owner, LWString& text) { return readClipboard(owner, CF_UNICODETEXT, text); }

ClipboardBlockAllocator& clipboardBlockAllocator()
{
    static ClipboardBlockAllocator allocator = GlobalAlloc;
    return allocator;
}

bool FPutClipboardText(const char* text, HWND owner, const wchar_t* wideText)
{
    OpenClipboardScope clipboard(owner);
    if (!clipboard)
        return false;
    // Both blocks are filled before the clipboard is emptied: a failed
    // allocation leaves what the clipboard held.
    GlobalBlock narrow(text, strlen(text) + 1);
    if (!narrow)
        return false;
    std::optional<GlobalBlock> wide;
    if (wideText && !wide.emplace(wideText, (wcslen(wideText) + 1) * sizeof(wchar_t)))
        return false;
    EmptyClipboard();
    const bool narrowTaken = narrow.giveToClipboard(CF_TEXT);
    if (narrowTaken && wide)
        wide->giveToClipboard(CF_UNICODETEXT);
    return narrowTaken;
}
