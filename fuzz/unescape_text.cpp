// unescapeText on any bytes: it only ever shortens the text, and a text without
// a decoded escape stays exactly as it was.
#include "lib/facilities/escapes.h"
#include "fuzz/harness.h"

FUZZ_SILENT_INIT

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const LString original(reinterpret_cast<const char*>(data), int32_t(size));
    LString text = original;
    const int32_t decoded = unescapeText(text);
    FUZZ_CHECK(decoded >= 0);
    FUZZ_CHECK(text.length() <= original.length());
    FUZZ_CHECK(decoded > 0 || keyCompare(text.data(), original.data()) == 0);
    FUZZ_CHECK(decoded > 0 || text.length() == original.length());
    // Every escape takes at least two bytes and gives at most two.
    FUZZ_CHECK(int64_t(decoded) * 2 <= original.length());
    return 0;
}
