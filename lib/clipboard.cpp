#include "lib/clipboard.h"

#include <cstring>
#include <memory>
#include <optional>
#include <type_traits>

#include "lib/messages.h"
#include "lib/owners.h"

namespace {

// How long one clipboard call may wait for other threads in all: the bound that
// clicks, keys and the window methods give a window that does not answer.
constexpr DWORD kCallBoundMs = 5000;

// Milliseconds left until the deadline, 0 once it has passed.
DWORD timeLeft(ULONGLONG deadline)
{
    const ULONGLONG now = GetTickCount64();
    return now < deadline ? DWORD(deadline - now) : 0;
}

// Waits as a thread inside SendMessage does: what other threads send to this
// thread's windows is handled meanwhile, so that an owner that asks this thread
// something while it renders is answered; posted messages stay queued.
bool waitHandlingSentMessages(HANDLE object, ULONGLONG deadline)
{
    for (;;) {
        const DWORD left = timeLeft(deadline);
        if (left == 0)
            return WaitForSingleObject(object, 0) == WAIT_OBJECT_0;
        const DWORD woken = MsgWaitForMultipleObjectsEx(1, &object, left, QS_SENDMESSAGE, MWMO_INPUTAVAILABLE);
        if (woken != WAIT_OBJECT_0 + 1)
            return woken == WAIT_OBJECT_0;
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

// Lets one clipboard call of this process at a time have the clipboard, from
// before it opens it until after it closes it. A reader left waiting for an owner
// keeps the clipboard open, and under Wine GetClipboardData also keeps a lock of
// the process's own for as long, which every other GetClipboardData of the
// process then waits for without a limit: the next call waits here, within its
// bound, instead.
class ClipboardGate {
public:
    // Null when the system has no semaphore to give.
    static HANDLE semaphore()
    {
        static const LKernelHandle gate(CreateSemaphoreW(nullptr, 1, 1, nullptr));
        return gate.get();
    }

    // Waits for the gate until the deadline; a failure is reported as message
    // 17000 ("OpenClipboard() failed", ERROR_TIMEOUT when the wait ran out).
    explicit ClipboardGate(ULONGLONG deadline)
        : held_(semaphore() && (WaitForSingleObject(semaphore(), 0) == WAIT_OBJECT_0 ||
                                waitHandlingSentMessages(semaphore(), deadline)))
    {
        if (held_)
            return;
        if (semaphore())
            SetLastError(ERROR_TIMEOUT);
        message(kMsgWin32Error, "OpenClipboard() failed");
    }
    ~ClipboardGate()
    {
        if (held_)
            leave();
    }
    ClipboardGate(const ClipboardGate&) = delete;
    ClipboardGate& operator=(const ClipboardGate&) = delete;
    explicit operator bool() const { return held_; }

    // The gate is another thread's to leave from now on.
    void handOver() { held_ = false; }
    static void leave()
    {
        const DWORD lastError = GetLastError();
        ReleaseSemaphore(semaphore(), 1, nullptr);
        SetLastError(lastError);
    }

private:
    bool held_;
};

// The clipboard, open for as long as the owner lives.
LOpenClipboard openClipboard(HWND window) { return LOpenClipboard(OpenClipboard(window) != FALSE); }

// A movable global block holding a copy of the bytes; freed unless the system
// takes it. A block that cannot be had is reported.
class GlobalBlock {
public:
    GlobalBlock(const void* bytes, size_t count) : block_(clipboardBlockAllocator()(GMEM_MOVEABLE, count))
    {
        void* memory = block_ ? GlobalLock(block_.get()) : nullptr;
        if (!memory) {
            message(kMsgWin32Error, "GlobalAlloc() failed");
            block_.reset();
            return;
        }
        memcpy(memory, bytes, count);
        GlobalUnlock(block_.get());
    }

    explicit operator bool() const { return bool(block_); }

    // Hands the block to the clipboard; it is the system's once accepted.
    bool giveToClipboard(UINT format)
    {
        if (!SetClipboardData(format, block_.get())) {
            message(kMsgWin32Error, "SetClipboardData() failed");
            return false;
        }
        block_.release();
        return true;
    }

private:
    LGlobalBlock block_;
};

// A window whose thread is not this one: the system waits for that thread when
// GetClipboardData asks the window to render, and when EmptyClipboard tells it
// that it no longer owns the clipboard.
bool ofAnotherThread(HWND window)
{
    return window && GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId();
}

// Appends the format's text from the clipboard that this thread holds open; true
// when the clipboard held the format.
template <typename Text>
bool appendClipboardData(UINT format, Text& text)
{
    using Unit = std::remove_cvref_t<decltype(*text.data())>;
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

// Any address inside this module: a reader pins the module by it.
const char kModuleAnchor = 0;

// What a reader shares with the caller that started it. Each holds one
// reference and the last to let go frees it, so a reader that finishes after its
// caller gave up writes only here.
template <typename Text>
struct SharedRead {
    SharedRead(HWND window, UINT textFormat) : openWindow(window), format(textFormat) {}
    HWND openWindow;
    UINT format;
    LModule module;          // the reader's pin, given back once it has returned
    LKernelHandle done;      // set once the fields below are final
    bool opened = false;
    DWORD openError = 0;
    bool held = false; // the clipboard held the format
    Text text;
    LONG references = 2;
};

template <typename Text>
void letGo(SharedRead<Text>* shared)
{
    if (InterlockedDecrement(&shared->references) == 0)
        delete shared;
}

template <typename Text>
struct LetGo {
    void operator()(SharedRead<Text>* shared) const { letGo(shared); }
};

// The reader, on a thread of the system's pool, holding the gate that its caller
// handed over. Its pin goes back only once it has returned: a module that its
// client unloaded meanwhile stays mapped until no thread runs in it.
template <typename Text>
void CALLBACK readForCaller(PTP_CALLBACK_INSTANCE instance, void* parameter)
{
    auto* shared = static_cast<SharedRead<Text>*>(parameter);
    {
        const LOpenClipboard clipboard = openClipboard(shared->openWindow);
        shared->openError = GetLastError();
        shared->opened = bool(clipboard);
        if (clipboard)
            shared->held = appendClipboardData(shared->format, shared->text);
    }
    ClipboardGate::leave();
    SetEvent(shared->done.get());
    const HMODULE module = shared->module.release();
    letGo(shared);
    FreeLibraryWhenCallbackReturns(instance, module);
}

// Reads on a thread of the system's pool, for an owner of another thread that
// may have promised the text and never render it: GetClipboardData gives the
// owner no time limit. At the deadline the caller goes on and the reader is left
// waiting. Until the owner renders (or its window goes) the reader holds the
// clipboard open and the gate shut: other programs cannot open the clipboard,
// except openers that name the same window as the reader (the caller's focus
// window, mostly none), which the system lets in; under Wine other code of this
// process that calls GetClipboardData waits too; the library's own calls wait for
// the gate and give up at their bound. Then the reader copies the text into the
// shared state that nobody reads any more, closes the clipboard and leaves the
// gate. A thread of the pool, rather than one of its own, costs a tenth as much
// under Wine.
template <typename Text>
bool readOnPoolThread(ClipboardGate& gate, ULONGLONG deadline, HWND openWindow, UINT format, Text& text)
{
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&kModuleAnchor),
                            &module)) {
        message(kMsgWin32Error, "GetModuleHandleEx() failed");
        return false;
    }
    const std::unique_ptr<SharedRead<Text>, LetGo<Text>> shared(new SharedRead<Text>(openWindow, format));
    shared->module.reset(module);
    shared->done.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!shared->done) {
        message(kMsgWin32Error, "CreateEvent() failed");
        return false;
    }
    if (!TrySubmitThreadpoolCallback(readForCaller<Text>, shared.get(), nullptr)) {
        message(kMsgWin32Error, "TrySubmitThreadpoolCallback() failed");
        InterlockedDecrement(&shared->references); // the reader's, never taken
        return false;
    }
    gate.handOver();
    if (!waitHandlingSentMessages(shared->done.get(), deadline)) {
        SetLastError(ERROR_TIMEOUT);
        message(kMsgWin32Error, "GetClipboardData() failed");
        return false;
    }
    if (!shared->opened) {
        SetLastError(shared->openError);
        message(kMsgWin32Error, "OpenClipboard() failed");
        return false;
    }
    if (shared->held)
        text.append(shared->text.data(), shared->text.length());
    return shared->held;
}

template <typename Text>
bool readClipboard(HWND owner, UINT format, Text& text)
{
    const ULONGLONG deadline = GetTickCount64() + kCallBoundMs;
    ClipboardGate gate(deadline);
    if (!gate)
        return false;
    const HWND openWindow = owner ? owner : GetFocus();
    {
        const LOpenClipboard clipboard = openClipboard(openWindow);
        if (!clipboard) {
            message(kMsgWin32Error, "OpenClipboard() failed");
            return false;
        }
        // While the clipboard is open here its owner cannot change. No owner, or a
        // window of this thread, makes GetClipboardData wait for no other thread:
        // text already there costs no thread.
        if (!ofAnotherThread(GetClipboardOwner()))
            return appendClipboardData(format, text);
    }
    return readOnPoolThread(gate, deadline, openWindow, format, text);
}

// EmptyClipboard waits for the owner to handle WM_DESTROYCLIPBOARD. An owner of
// another thread first has to show before the deadline that its thread handles
// messages; one that the system already knows as hung fails at once, and a window
// that is gone waits for nothing. False, with ERROR_TIMEOUT, when it does not
// answer. (An owner that hangs right after answering is left to the system's own
// bound, as for the window methods.)
bool ownerAnswers(ULONGLONG deadline)
{
    const HWND owner = GetClipboardOwner();
    if (!ofAnotherThread(owner))
        return true;
    DWORD_PTR ignored = 0;
    if (SendMessageTimeoutW(owner, WM_NULL, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG, timeLeft(deadline), &ignored) ||
        !IsWindow(owner))
        return true;
    SetLastError(ERROR_TIMEOUT);
    return false;
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
    const ULONGLONG deadline = GetTickCount64() + kCallBoundMs;
    const ClipboardGate gate(deadline);
    if (!gate)
        return false;
    const LOpenClipboard clipboard = openClipboard(owner ? owner : GetFocus());
    if (!clipboard) {
        message(kMsgWin32Error, "OpenClipboard() failed");
        return false;
    }
    // Both blocks are filled before the clipboard is emptied: a failed
    // allocation leaves what the clipboard held.
    GlobalBlock narrow(text, strlen(text) + 1);
    if (!narrow)
        return false;
    std::optional<GlobalBlock> wide;
    if (wideText && !wide.emplace(wideText, (wcslen(wideText) + 1) * sizeof(wchar_t)))
        return false;
    if (!ownerAnswers(deadline)) {
        message(kMsgWin32Error, "EmptyClipboard() failed");
        return false;
    }
    EmptyClipboard();
    const bool narrowTaken = narrow.giveToClipboard(CF_TEXT);
    if (narrowTaken && wide)
        wide->giveToClipboard(CF_UNICODETEXT);
    return narrowTaken;
}
