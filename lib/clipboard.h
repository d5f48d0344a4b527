// Clipboard text for the library's callers: read in either text format, written
// as ANSI text and, where given, as the exact UTF-16 text too.
#pragma once
#include <windows.h>

#include "lib/strings.h"

// The system's major version number; 0 when it cannot be read.
DWORD FGetOsMajorVersion();

// Append the clipboard's CF_TEXT / CF_UNICODETEXT text (up to its first NUL) and
// return true when the clipboard held that format. A null owner stands for the
// calling thread's focus window. A clipboard that cannot be opened is reported
// as message 17000 and gives false; so is an owner of another thread that does
// not render text it promised within 5 seconds ("GetClipboardData() failed",
// ERROR_TIMEOUT), the text left unread. Until that owner answers, the clipboard
// functions of this process give up after 5 seconds too ("OpenClipboard()
// failed", ERROR_TIMEOUT).
bool FGetClipboardText(HWND owner, LString& text);
bool FGetClipboardWText(HWND owner, LWString& text);

// Replaces the clipboard's content with the text as CF_TEXT and, when wideText
// is given, also as CF_UNICODETEXT, so other programs get the exact characters.
// True when the clipboard took the text. An owner of another thread that does
// not answer within 5 seconds keeps the clipboard as it is: message 17000
// ("EmptyClipboard() failed", ERROR_TIMEOUT) and false.
bool FPutClipboardText(const char* text, HWND owner, const wchar_t* wideText = nullptr);

// Allocates the blocks handed to the clipboard; tests replace it to make the
// allocation fail.
using ClipboardBlockAllocator = HGLOBAL(WINAPI*)(UINT flags, SIZE_T bytes);
ClipboardBlockAllocator& clipboardBlockAllocator();
