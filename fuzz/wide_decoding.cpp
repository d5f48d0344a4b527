// The wide conversion's escape decoding (narrowToWide): the output stays within
// its bound, a text without escapes converts as the whole text does in one call
// however it is cut into pieces, and a wide text that holds no escape prefix
// comes back whole from its narrow form.
#include <windows.h>

#include <cstring>
#include <vector>

#include "lib/charset.h"
#include "fuzz/harness.h"
#include "lib/messages.h"

namespace {

std::vector<wchar_t> wholeConversion(const std::string& text, unsigned codePage)
{
    std::vector<wchar_t> units(text.size() + 1);
    const int n = MultiByteToWideChar(codePage, 0, text.data(), int(text.size()), units.data(), int(units.size()));
    units.resize(size_t(n > 0 ? n : 0));
    return units;
}

bool same(const LWString& wide, const wchar_t* units, size_t count)
{
    return size_t(wide.length()) == count && (count == 0 || memcmp(wide.data(), units, count * sizeof(wchar_t)) == 0);
}

bool holdsPrefix(const std::vector<wchar_t>& units)
{
    for (size_t i = 0; i + 2 < units.size(); ++i)
        if (units[i] == L'{' && units[i + 1] == L'%' && units[i + 2] == L'u')
            return true;
    return false;
}

bool holdsLoneSurrogate(const std::vector<wchar_t>& units)
{
    for (size_t i = 0; i < units.size(); ++i) {
        const bool high = units[i] >= 0xD800 && units[i] <= 0xDBFF;
        const bool low = units[i] >= 0xDC00 && units[i] <= 0xDFFF;
        if (high && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF)
            ++i;
        else if (high || low)
            return true;
    }
    return false;
}

void checkDecoding(const std::string& text, unsigned codePage, const char* prefix, const char* suffix)
{
    LWString wide;
    narrowToWide(text.data(), int32_t(text.size()), wide, codePage, prefix, suffix);
    // A byte gives at most one unit; an escape gives its unit and, when malformed, "<?>".
    FUZZ_CHECK(int64_t(wide.length()) <= int64_t(text.size()) * 4);
    if (*prefix && text.find(prefix) == std::string::npos) {
        const std::vector<wchar_t> whole = wholeConversion(text, codePage);
        FUZZ_CHECK(same(wide, whole.data(), whole.size()));
    }
}

void checkRoundTrip(const uint8_t* data, size_t size, unsigned codePage)
{
    std::vector<wchar_t> units;
    for (size_t i = 0; i + 1 < size; i += 2)
        units.push_back(wchar_t(data[i] | data[i + 1] << 8));
    // UTF-8 has no form for a lone surrogate: it becomes U+FFFD by design.
    if (holdsPrefix(units) || (codePage == CP_UTF8 && holdsLoneSurrogate(units)))
        return;
    LString narrow;
    wideToNarrow(units.data(), int32_t(units.size()), narrow, codePage, kEscapePrefix, kEscapeSuffix);
    LWString back;
    narrowToWide(narrow.data(), narrow.length(), back, codePage, kEscapePrefix, kEscapeSuffix);
    FUZZ_CHECK(same(back, units.data(), units.size()));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    silenceMessages();
    messenger().beginQuiet(); // the conversion's reports are warnings
    return 0;
}

// The first byte picks the code page, the escapes and whether the text is
// repeated past the conversion's piece size, so that pieces end everywhere.
// With bit 3, the second byte gives the lengths (up to 3) of a prefix and a
// suffix taken from the bytes behind it.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const unsigned codePage = data[0] & 1 ? CP_UTF8 : 1252;
    const bool otherEscapes = data[0] & 2;
    const bool repeated = data[0] & 4;
    std::string prefix = otherEscapes ? "%" : kEscapePrefix;
    std::string suffix = otherEscapes ? "" : kEscapeSuffix;
    size_t used = 1;
    if (data[0] & 8) {
        const size_t prefixLength = data[1] & 3, suffixLength = data[1] >> 2 & 3;
        if (size < 2 + prefixLength + suffixLength)
            return 0;
        prefix = textOf(data + 2, prefixLength);
        suffix = textOf(data + 2 + prefixLength, suffixLength);
        used = 2 + prefixLength + suffixLength;
    }
    std::string text(reinterpret_cast<const char*>(data + used), size - used);
    if (repeated && !text.empty())
        while (text.size() < 4500)
            text += text;
    checkDecoding(text, codePage, prefix.c_str(), suffix.c_str());
    checkRoundTrip(data + used, size - used, codePage);
    return 0;
}
