// Clipboard methods: text in, text out.
#include "lib/charset.h"
#include "lib/clipboard.h"
#include "server/server.h"
#include "server/variants.h"

namespace {
// Systems from this major version on keep UTF-16 text on the clipboard.
constexpr DWORD kUnicodeClipboardVersion = 5;
} // namespace

HRESULT TServer::getClipboard(UINT, VARIANT*, VARIANT* result)
{
    LWString text;
    if (FGetOsMajorVersion() < kUnicodeClipboardVersion) {
        LString narrow;
        if (!FGetClipboardText(nullptr, narrow))
            return S_OK;
        appendNarrow(text, narrow.data(), narrow.length());
    } else if (!FGetClipboardWText(nullptr, text)) {
        return S_OK;
    }
    return setStrResult(result, text.data());
}

HRESULT TServer::setClipboard(UINT count, VARIANT* arguments, VARIANT*)
{
    LWString text;
    const HRESULT converted = varToStr(argumentAt(arguments, count, 0), text);
    if (FAILED(converted))
        return converted;
    const LString narrow = narrowFromWide(text);
    // The ANSI form holds escape texts for characters outside the code page; the
    // UTF-16 form keeps them exact for every program that reads it.
    const bool unicode = FGetOsMajorVersion() >= kUnicodeClipboardVersion;
    FPutClipboardText(narrow.data(), nullptr, unicode ? text.data() : nullptr);
    return S_OK;
}
