// escapeText then unescapeText gives back the original bytes, with as many
// escapes decoded as were written, and the escaped form holds no control bytes.
#include <cstring>

#include "lib/facilities/escapes.h"
#include "fuzz/harness.h"

FUZZ_SILENT_INIT

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const LString original(reinterpret_cast<const char*>(data), int32_t(size));
    LString text = original;
    const int32_t written = escapeText(text);
    FUZZ_CHECK(written >= 0);
    for (int32_t i = 0; i < text.length(); ++i)
        FUZZ_CHECK(uint8_t(text[i]) >= 32);
    FUZZ_CHECK(written > 0 || text.length() == original.length());
    const int32_t decoded = unescapeText(text);
    FUZZ_CHECK(decoded == written);
    FUZZ_CHECK(text.length() == original.length());
    FUZZ_CHECK(memcmp(text.data(), original.data(), size_t(original.length())) == 0);
    return 0;
}
